#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "storage/TMTC.h"

namespace morvane {
namespace {

constexpr uint32_t kBg = 0xFF808080u;

// Rows of pixels, top to bottom.
using Pixels = std::vector<std::vector<uint32_t>>;

Pixels Read(const TMTC& image)
{
    Pixels rows(size_t(image.Height));
    for (int32_t y = 0; y < image.Height; ++y)
        rows[size_t(y)].assign(image.Row(y), image.Row(y) + image.Width);
    return rows;
}

void Write(TMTC& image, const Pixels& rows)
{
    ASSERT_TRUE(image.Resize(int32_t(rows[0].size()), int32_t(rows.size())));
    for (int32_t y = 0; y < image.Height; ++y)
        std::copy(rows[size_t(y)].begin(), rows[size_t(y)].end(), image.Row(y));
}

// All four bytes set to v.
constexpr uint32_t Grey4(uint32_t v) { return v * 0x01010101u; }

// Noise from the house generator, so every byte of every pixel differs.
void FillNoise(TMTC& image, uint32_t seed)
{
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x) {
            seed = seed * 134775813u + 1;
            image.Row(y)[x] = seed;
        }
}

uint32_t Checksum(const TMTC& image)
{
    uint32_t h = 2166136261u;
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x)
            for (int k = 0; k < 32; k += 8)
                h = (h ^ ((image.Row(y)[x] >> k) & 0xFF)) * 16777619u;
    return h;
}

// The box shrink exactly as defined, one pixel at a time.
uint32_t ReferenceShrinkArea(const TMTC& src, int32_t dstW, int32_t dstH, int32_t x, int32_t y)
{
    const int64_t stepX = int64_t{src.Width} * 1024 / dstW, stepY = int64_t{src.Height} * 1024 / dstH;
    const int64_t bw = src.Width / dstW + 1, bh = src.Height / dstH + 1;
    const int64_t x0 = (stepX * x) >> 10, y0 = (stepY * y) >> 10;
    uint64_t sum[4] = {};
    for (int64_t i = 0; i < bh; ++i)
        for (int64_t j = 0; j < bw; ++j) {
            const uint32_t p = src.GetPixelClamped(int32_t(x0 + j), int32_t(y0 + i));
            for (int k = 0; k < 4; ++k)
                sum[k] += (p >> (8 * k)) & 0xFF;
        }
    uint32_t result = 0;
    for (int k = 0; k < 4; ++k)
        result |= uint32_t(sum[k] / uint64_t(bw * bh)) << (8 * k);
    return result;
}

// ---- StretchNearest -----------------------------------------------------------

TEST(StretchNearest, HandCheckedCases)
{
    const uint32_t A = 0xFF0000AAu, B = 0x800000BBu, C = 0x000000CCu;
    TMTC src, dst;
    Write(src, {{A, B, C}});

    // 0.6 source pixels a step: columns 0, 0, 1, 1, 2; one source row for both.
    dst.Resize(5, 2);
    ASSERT_TRUE(dst.StretchNearest(src, {0, 0, 3, 1}, {0, 0, 5, 2}));
    EXPECT_EQ(Read(dst), (Pixels{{A, A, B, B, C}, {A, A, B, B, C}}));

    // Each rectangle is clipped to its own buffer before the steps are taken:
    // source (-2, 0, 4, 1) keeps A B, target (1, 0, 10, 1) keeps three pixels.
    Write(dst, {{kBg, kBg, kBg, kBg}});
    ASSERT_TRUE(dst.StretchNearest(src, {-2, 0, 4, 1}, {1, 0, 10, 1}));
    EXPECT_EQ(Read(dst), (Pixels{{kBg, A, A, B}}));

    // Halving picks every second pixel of every second row.
    Write(src, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
    dst.Resize(2, 2);
    ASSERT_TRUE(dst.StretchNearest(src, {0, 0, 4, 4}, {0, 0, 2, 2}));
    EXPECT_EQ(Read(dst), (Pixels{{1, 3}, {9, 11}}));
}

TEST(StretchNearest, WithinOneBufferReadsTheOriginal)
{
    TMTC image;
    Write(image, {{1, 2, 3, 4}, {5, 6, 7, 8}});
    ASSERT_TRUE(image.StretchNearest(image, {0, 0, 2, 2}, {0, 0, 4, 2}));
    EXPECT_EQ(Read(image), (Pixels{{1, 1, 2, 2}, {5, 5, 6, 6}}));
}

TEST(StretchNearest, EmptyOrOutsideWritesNothing)
{
    TMTC src(4, 4), dst(3, 3), empty;
    FillNoise(src, 1);
    dst.FillAll(kBg);
    const ExtentRect all{0, 0, 4, 4};
    EXPECT_FALSE(dst.StretchNearest(src, {0, 0, 0, 4}, all));
    EXPECT_FALSE(dst.StretchNearest(src, all, {0, 0, 3, -1}));
    EXPECT_FALSE(dst.StretchNearest(src, {4, 0, 2, 2}, all));
    EXPECT_FALSE(dst.StretchNearest(src, all, {-5, -5, 5, 5}));
    EXPECT_FALSE(dst.StretchNearest(empty, all, all));
    EXPECT_FALSE(empty.StretchNearest(src, all, all));
    EXPECT_EQ(Read(dst), Pixels(3, std::vector<uint32_t>(3, kBg)));
}

// ---- ShrinkBox4 ------------------------------------------------------------------

TEST(ShrinkBox4, HandCheckedCases)
{
    // 4 x 4 to 2 x 2: samples at 2x + {0, 0, 1, 1}, so each 2 x 2 block is
    // counted four times and the sum >> 4 is its truncated mean.
    TMTC src, dst(2, 2);
    Write(src, {{Grey4(10), Grey4(20), 0, 0},
                {Grey4(30), Grey4(41), 0, Grey4(255)},
                {0, 0, Grey4(255), Grey4(255)},
                {0, 0, Grey4(255), Grey4(255)}});
    ASSERT_TRUE(dst.ShrinkBox4(src));
    EXPECT_EQ(Read(dst), (Pixels{{Grey4(25), Grey4(63)}, {0, Grey4(255)}}));

    // 5 to 2 (step 2560, quarter 640): columns {0, 0, 1, 1} and {2, 3, 3, 4}.
    Write(src, {{Grey4(0), Grey4(40), Grey4(80), Grey4(120), Grey4(160)}});
    ASSERT_TRUE(dst.Resize(2, 1));
    ASSERT_TRUE(dst.ShrinkBox4(src));
    EXPECT_EQ(Read(dst), (Pixels{{Grey4(20), Grey4(120)}}));

    // Enlarging repeats samples: 2 to 4 gives columns 0, 0, 1, 1.
    Write(src, {{Grey4(7), Grey4(9)}});
    ASSERT_TRUE(dst.Resize(4, 1));
    ASSERT_TRUE(dst.ShrinkBox4(src));
    EXPECT_EQ(Read(dst), (Pixels{{Grey4(7), Grey4(7), Grey4(9), Grey4(9)}}));

    TMTC empty;
    EXPECT_FALSE(dst.ShrinkBox4(empty));
    EXPECT_FALSE(empty.ShrinkBox4(src));
}

// ---- ShrinkArea ------------------------------------------------------------------

TEST(ShrinkArea, HandCheckedCase)
{
    // 4 to 2 takes 3 x 3 boxes from (2x, 2y); the right and bottom boxes
    // count the last column and row twice. Pixel value 10x + 40y.
    TMTC src(4, 4), dst(2, 2);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            src.Row(y)[x] = Grey4(uint32_t(10 * x + 40 * y));
    ASSERT_TRUE(src.ShrinkArea(dst, {0, 0, 2, 2}));
    // 450 / 9, 600 / 9, 1050 / 9, 1200 / 9, truncated.
    EXPECT_EQ(Read(dst), (Pixels{{Grey4(50), Grey4(66)}, {Grey4(116), Grey4(133)}}));
}

TEST(ShrinkArea, MatchesPlainDefinition)
{
    struct Case {
        int32_t srcW, srcH, dstW, dstH;
        ExtentRect region;
    };
    const Case cases[] = {
        {64, 48, 8, 6, {0, 0, 8, 6}},       // integer ratio
        {37, 23, 11, 7, {0, 0, 11, 7}},     // non-integer, odd byte count per row
        {100, 3, 7, 2, {0, 0, 7, 2}},
        {13, 11, 1, 1, {0, 0, 1, 1}},       // one-pixel target
        {7, 3, 1, 3, {0, 0, 1, 3}},
        {3, 4, 7, 9, {0, 0, 7, 9}},         // larger than the source
        {5, 5, 5, 5, {0, 0, 5, 5}},         // same size: 2 x 2 boxes
        {1, 1, 3, 3, {0, 0, 3, 3}},
        {64, 48, 13, 17, {2, 3, 5, 6}},     // part of the target
        {64, 48, 13, 17, {-3, -3, 6, 6}},   // region partly outside the target
        {1, 4300000, 1, 1, {0, 0, 1, 1}},   // a box of more than 2^23 samples
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.srcW << "x" << c.srcH << " -> " << c.dstW << "x" << c.dstH);
        TMTC src(c.srcW, c.srcH), dst(c.dstW, c.dstH);
        FillNoise(src, uint32_t(c.srcW * 31 + c.srcH));
        dst.FillAll(kBg);
        ASSERT_TRUE(src.ShrinkArea(dst, c.region));
        const EdgeRect r{std::max(c.region.left, 0), std::max(c.region.top, 0),
                         std::min(c.region.left + c.region.width, c.dstW),
                         std::min(c.region.top + c.region.height, c.dstH)};
        for (int32_t y = 0; y < c.dstH; ++y)
            for (int32_t x = 0; x < c.dstW; ++x) {
                const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                ASSERT_EQ(dst.Row(y)[x], inside ? ReferenceShrinkArea(src, c.dstW, c.dstH, x, y) : kBg)
                    << x << "," << y;
            }
    }
}

TEST(ShrinkArea, IntoItselfReadsTheOriginal)
{
    TMTC image(9, 6);
    FillNoise(image, 5);
    const TMTC original(image);
    ASSERT_TRUE(image.ShrinkArea(image, {0, 0, 9, 6}));
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 9; ++x)
            ASSERT_EQ(image.Row(y)[x], ReferenceShrinkArea(original, 9, 6, x, y)) << x << "," << y;
}

TEST(ShrinkArea, EmptyOrInvalidReturnsFalse)
{
    TMTC src(8, 8), dst(4, 4), empty;
    FillNoise(src, 3);
    dst.FillAll(kBg);
    EXPECT_FALSE(src.ShrinkArea(dst, {0, 0, 0, 4}));
    EXPECT_FALSE(src.ShrinkArea(dst, {0, 0, 4, -4}));
    EXPECT_FALSE(src.ShrinkArea(dst, {4, 0, 2, 2}));
    EXPECT_FALSE(src.ShrinkArea(empty, {0, 0, 4, 4}));
    EXPECT_FALSE(empty.ShrinkArea(dst, {0, 0, 4, 4}));
    TMTC zero(0, 3);
    EXPECT_FALSE(zero.ShrinkArea(dst, {0, 0, 4, 4}));
    EXPECT_FALSE(src.ShrinkArea(zero, {0, 0, 4, 4}));
    EXPECT_EQ(Read(dst), Pixels(4, std::vector<uint32_t>(4, kBg)));
}

// ---- RotateSample ----------------------------------------------------------------

TEST(RotateSample, HandCheckedCases)
{
    TMTC src, dst;
    Write(src, {{1, 2, 3}, {4, 5, 6}});

    // Unturned at factor 1 with the centre on this buffer's centre: a copy.
    dst.Resize(3, 2);
    ASSERT_TRUE(dst.RotateSample(src, 1.0f, 1.0f, 1.0f, 0.0f, {0, 0, 3, 2}, kBg));
    EXPECT_EQ(Read(dst), Read(src));

    // A quarter turn: target (x, y) samples source (2 - y, x).
    dst.Resize(2, 3);
    ASSERT_TRUE(dst.RotateSample(src, 1.0f, 1.0f, 1.0f, 90.0f, {0, 0, 2, 3}, kBg));
    EXPECT_EQ(Read(dst), (Pixels{{3, 6}, {2, 5}, {1, 4}}));

    // Two source pixels a step: every second pixel of every second row.
    Write(src, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
    dst.Resize(2, 2);
    ASSERT_TRUE(dst.RotateSample(src, 2.0f, 2.0f, 2.0f, 0.0f, {0, 0, 2, 2}, kBg));
    EXPECT_EQ(Read(dst), (Pixels{{1, 3}, {9, 11}}));

    // Positions left of or above the source (-0.5 floors to -1) are background.
    Write(src, {{1, 2}, {3, 4}});
    dst.Resize(4, 4);
    ASSERT_TRUE(dst.RotateSample(src, 1.0f, 1.0f, 1.0f, 0.0f, {0, 0, 4, 4}, kBg));
    EXPECT_EQ(Read(dst), (Pixels{{kBg, kBg, kBg, kBg}, {kBg, 1, 2, kBg}, {kBg, 3, 4, kBg}, {kBg, kBg, kBg, kBg}}));

    // Only the region is written.
    dst.FillAll(0);
    ASSERT_TRUE(dst.RotateSample(src, 1.0f, 1.0f, 1.0f, 0.0f, {1, 1, 1, 2}, kBg));
    EXPECT_EQ(Read(dst), (Pixels{{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 3, 0, 0}, {0, 0, 0, 0}}));
}

TEST(RotateSample, HostileParametersGiveBackground)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        float cx, cy, factor, angle;
        bool ok;
    };
    const Case cases[] = {
        {nan, 1, 1, 0, false},  {1, inf, 1, 0, false},  {1, 1, nan, 0, false}, {1, 1, -inf, 0, false},
        {1, 1, 1, nan, false},  {1, 1, 1, inf, false},  {1e30f, -1e30f, 1, 0, true},
        {1, 1, 1e30f, 0, true}, {1, 1, -1e30f, 33, true}, {1, 1, 1, 1e30f, true},
    };
    TMTC src(3, 3), dst(16, 16);
    src.FillAll(Grey4(9));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cx << " " << c.cy << " " << c.factor << " " << c.angle);
        dst.FillAll(0);
        EXPECT_EQ(dst.RotateSample(src, c.cx, c.cy, c.factor, c.angle, {0, 0, 16, 16}, kBg), c.ok);
        if (!c.ok) {
            EXPECT_EQ(Read(dst), Pixels(16, std::vector<uint32_t>(16, kBg)));
        }
    }
    // A huge factor leaves the source after one step.
    dst.FillAll(0);
    ASSERT_TRUE(dst.RotateSample(src, 1, 1, 1e30f, 0, {8, 8, 2, 1}, kBg));
    EXPECT_EQ(dst.Row(8)[8], Grey4(9));
    EXPECT_EQ(dst.Row(8)[9], kBg);

    TMTC empty;
    EXPECT_FALSE(empty.RotateSample(src, 1, 1, 1, 0, {0, 0, 4, 4}, kBg));
    EXPECT_FALSE(dst.RotateSample(src, 1, 1, 1, 0, {0, 0, 0, 4}, kBg));
    EXPECT_FALSE(dst.RotateSample(empty, 1, 1, 1, 0, {0, 0, 16, 16}, kBg));
    EXPECT_EQ(dst.Row(0)[0], kBg);
}

// ---- pinned results ----------------------------------------------------------------

// The exact pixels decide replays; these sums pin each resampler on noise.
TEST(Resample, GoldenChecksums)
{
    TMTC src(37, 23);
    FillNoise(src, 12345);

    TMTC stretched(53, 17);
    ASSERT_TRUE(stretched.StretchNearest(src, {3, 2, 30, 20}, {0, 0, 53, 17}));
    TMTC box4(11, 7);
    ASSERT_TRUE(box4.ShrinkBox4(src));
    TMTC area(11, 7);
    ASSERT_TRUE(src.ShrinkArea(area, {0, 0, 11, 7}));
    TMTC turned(40, 40);
    ASSERT_TRUE(turned.RotateSample(src, 18.5f, 11.0f, 0.7f, 30.0f, {0, 0, 40, 40}, kBg));

    EXPECT_EQ(Checksum(stretched), 531771214u);
    EXPECT_EQ(Checksum(box4), 1521268662u);
    EXPECT_EQ(Checksum(area), 142071251u);
    EXPECT_EQ(Checksum(turned), 3308287017u);
}

} // namespace
} // namespace morvane
