// The octagon filter against the plain definition: every output byte the
// maximum (minimum) over the octagon's offsets, 0 outside the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "document/MaskMorphology.h"

namespace morvane {
namespace {

uint8_t Naive(const SCoverage& in, int32_t n, bool expand, int32_t x, int32_t y)
{
    const int32_t h = (n + 1) / 2;
    uint8_t best = expand ? 0 : 255;
    for (int32_t dy = -n; dy <= n; ++dy) {
        const int32_t reach = std::min(n, n + h - std::abs(dy));
        for (int32_t dx = -reach; dx <= reach; ++dx) {
            const int32_t sx = x + dx, sy = y + dy;
            const EdgeRect& r = in.rect;
            const uint8_t v =
                sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom ? in.Row(sy)[sx - r.left] : 0;
            best = expand ? std::max(best, v) : std::min(best, v);
        }
    }
    return best;
}

TEST(OctagonFilter, MatchesTheNaiveOctagonForEveryRadiusBothWays)
{
    std::mt19937 random(7);
    for (int32_t n = 1; n <= kMaxGrowRadius; ++n) {
        SCoverage in;
        const int32_t w = 3 + int32_t(random() % 40), h = 3 + int32_t(random() % 30);
        ASSERT_TRUE(in.Allocate({-2, 5, w - 2, 5 + h}));
        // Blobs: runs of full coverage with soft bytes between.
        for (uint8_t& b : in.bytes)
            b = random() % 4 == 0 ? uint8_t(random()) : random() % 3 == 0 ? 0 : 255;
        for (const bool expand : {true, false}) {
            SCoverage out;
            ASSERT_TRUE(out.Allocate({in.rect.left - n, in.rect.top - n, in.rect.right + n, in.rect.bottom + n}));
            ASSERT_TRUE(OctagonFilter(in, n, expand, out));
            for (int32_t y = out.rect.top; y < out.rect.bottom; ++y)
                for (int32_t x = out.rect.left; x < out.rect.right; ++x)
                    ASSERT_EQ(out.Row(y)[x - out.rect.left], Naive(in, n, expand, x, y))
                        << "n " << n << (expand ? " expand" : " contract") << " at " << x << "," << y;
        }
    }
}

} // namespace
} // namespace morvane
