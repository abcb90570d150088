// Free rotation of a store: right angles land exactly on the grid, edges
// take no colour from the transparent outside, the box holds everything.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "storage/CBlockVMTC.h"
#include "storage/RotateStore.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

std::vector<uint32_t> PixelsOf(const CBlockVMTC& store)
{
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < store.Height; ++y)
        for (int32_t x = 0; x < store.Width; ++x)
            out.push_back(store.GetPixel(x, y));
    return out;
}

// Random opaque pixels with a transparent stripe (whose colour is lost: a
// pixel nobody sees keeps no colour).
CBlockVMTC Painted(int32_t w, int32_t h)
{
    CBlockVMTC store(w, h);
    uint32_t s = 0x9E3779B9u;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            store.SetPixel(x, y, x % 7 == 0 ? CBlockVMTC::kDefaultUniform : s | 0xFF000000u);
        }
    return store;
}

// 70 x 40 turned about (35, 20), a grid point: every right angle maps the
// grid onto itself and must give exactly what the exact turns give.
TEST(RotateStore, RightAnglesEqualTheExactTurns)
{
    const CBlockVMTC source = Painted(70, 40);
    CBlockVMTC cw(40, 70), ccw(40, 70), half(source);
    ASSERT_TRUE(source.RotateIntoStore90(cw, {0, 0}, true));
    ASSERT_TRUE(source.RotateIntoStore90(ccw, {0, 0}, false));
    ASSERT_TRUE(half.Rotate180({0, 0, 70, 40}));
    const struct {
        double degrees;
        const CBlockVMTC* expected;
        Point topLeft;
    } cases[] = {{0, &source, {0, 0}},     {360, &source, {0, 0}}, {90, &cw, {15, -15}},
                 {-270, &cw, {15, -15}},   {270, &ccw, {15, -15}}, {180, &half, {0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        Point topLeft{-99, -99};
        const std::unique_ptr<CBlockVMTC> turned = RotateStore(source, 35, 20, c.degrees, topLeft);
        ASSERT_TRUE(turned);
        EXPECT_EQ(topLeft, c.topLeft);
        EXPECT_EQ(PixelsOf(*turned), PixelsOf(*c.expected));
    }
}

TEST(RotateStore, EdgesOfAnOpaqueShapeKeepItsColourAndTheBoxHoldsItAll)
{
    CBlockVMTC square(40, 40);
    square.FillAll(0xFF2060A0u);
    for (double degrees : {30.0, 45.0, -17.5}) {
        SCOPED_TRACE(degrees);
        Point topLeft;
        const std::unique_ptr<CBlockVMTC> turned = RotateStore(square, 20, 20, degrees, topLeft);
        ASSERT_TRUE(turned);
        uint64_t alphaSum = 0;
        bool edge[4] = {};
        for (int32_t y = 0; y < turned->Height; ++y)
            for (int32_t x = 0; x < turned->Width; ++x) {
                const uint32_t p = turned->GetPixel(x, y);
                alphaSum += p >> 24;
                if ((p >> 24) == 0) {
                    ASSERT_EQ(p, CBlockVMTC::kDefaultUniform);
                    continue;
                }
                ASSERT_EQ(p & 0xFFFFFFu, 0x2060A0u) << x << "," << y; // no white bled in
                edge[0] |= x <= 1, edge[1] |= y <= 1;
                edge[2] |= x >= turned->Width - 2, edge[3] |= y >= turned->Height - 2;
            }
        // The box is the turned store's, rounded out: content reaches within a
        // pixel of each side (a sharp corner's last pixel centre can miss it),
        // and the area (in alpha) is kept.
        EXPECT_TRUE(edge[0] && edge[1] && edge[2] && edge[3]);
        EXPECT_NEAR(double(alphaSum) / 255.0, 1600.0, 16.0);
        EXPECT_EQ(turned->GetPixel(20 - topLeft.x, 20 - topLeft.y), 0xFF2060A0u);
    }
}

TEST(RotateStore, RefusesWhatItCannotPlace)
{
    const CBlockVMTC small(8, 8);
    const CBlockVMTC wide(30000, 30000); // turned by 45 degrees its box is past the store limit
    Point topLeft;
    EXPECT_FALSE(RotateStore(small, 4, 4, std::numeric_limits<double>::quiet_NaN(), topLeft));
    EXPECT_FALSE(RotateStore(small, 4, 4, std::numeric_limits<double>::infinity(), topLeft));
    EXPECT_FALSE(RotateStore(small, std::numeric_limits<double>::quiet_NaN(), 4, 10, topLeft));
    EXPECT_FALSE(RotateStore(small, 1e300, 4, 10, topLeft));
    EXPECT_FALSE(RotateStore(wide, 15000, 15000, 45, topLeft));
    EXPECT_TRUE(RotateStore(wide, 15000, 15000, 90, topLeft));
}

} // namespace
} // namespace morvane
