// The stamps that read the picture as they paint: watercolour, blur, spread
// and fingertip, with the arithmetic they share and the pick-up patches.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "paint/CPenTC.h"
#include "paint/PenStampMath.h"
#include "storage/BlendTables.h"

namespace morvane {
namespace {

constexpr int32_t kOne = 0x10000;

uint32_t Noise(uint32_t& s)
{
    s = s * 134775813u + 1;
    return s;
}

void FillNoise(TMTC& image, uint32_t seed)
{
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x)
            *image.PixelPtr(x, y) = Noise(seed);
}

// ---- pick-up patches

TEST(PenPickupPatch, HalfSizeFollowsTheDabNotTheRecord)
{
    EXPECT_EQ(CPenTC::HalfSizeFor(10 * kOne, 10 * kOne), 13);
    EXPECT_EQ(CPenTC::HalfSizeFor(10 * kOne + 1, 3 * kOne), 14);
    // A 512 px bitmap nib at 100 % has half extents of 256 px.
    EXPECT_EQ(CPenTC::HalfSizeFor(256 * kOne, 100 * kOne), 259);
}

TEST(PenPickupPatch, RepeatsTheEdgeAndCoversTheDabBox)
{
    TMTC image(8, 6);
    FillNoise(image, 3);
    CPenTC patch;
    EXPECT_FALSE(patch.Covers({0, 0, 1, 1}, 0, 0));
    // Centre (1.75, 4.25), half extents 1.5: h = 2 + 3.
    ASSERT_TRUE(patch.Pick(image, 1 * kOne + 0xC000, 4 * kOne + 0x4000, 0x18000, 0x18000));
    EXPECT_EQ(patch.Width, 11);
    EXPECT_EQ(patch.originX, -4);
    EXPECT_EQ(patch.originY, -1);
    EXPECT_FLOAT_EQ(patch.fracX, 0.75f);
    EXPECT_FLOAT_EQ(patch.fracY, 0.25f);
    for (int32_t dy = -5; dy <= 5; ++dy)
        for (int32_t dx = -5; dx <= 5; ++dx)
            ASSERT_EQ(*patch.RowAt(dx, dy), image.GetPixelClamped(1 + dx, 4 + dy)) << dx << "," << dy;
    EXPECT_TRUE(patch.Covers({-4, -1, 7, 10}, 1, 4));
    EXPECT_FALSE(patch.Covers({-4, -1, 8, 10}, 1, 4));
    EXPECT_FALSE(patch.Covers({-5, -1, 7, 10}, 1, 4));

    // Wholly outside the image: every pixel is the nearest corner.
    ASSERT_TRUE(patch.Pick(image, 40 * kOne, -30 * kOne, kOne, kOne));
    EXPECT_EQ(*patch.RowAt(-4, -4), image.GetPixel(7, 0));
    EXPECT_EQ(*patch.RowAt(4, 4), image.GetPixel(7, 0));
    EXPECT_FALSE(patch.Pick(TMTC(), 0, 0, kOne, kOne));
    EXPECT_FALSE(patch.Picked());
}

// ---- watercolour arithmetic

TEST(WatercolourArithmetic, SamplesAndMixes)
{
    TMTC image(20, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x)
            *image.PixelPtr(x, y) = 0xFF000000u | uint32_t(x * 10) << 16 | uint32_t(y * 10);
    // Each end of an axis is moved one 16.16 unit first: 9.99998 - 2 reads row 8.
    const int32_t cx = 9 * kOne, cy = 10 * kOne - 1, r = 2 * kOne;
    // Points (9, 8), (9, 12), (7, 9), (11, 9): red 90 90 70 110, blue 80 120 90 90.
    EXPECT_EQ(penstamp::AverageFour(image, cx, cy, r, r), 0xFF5A0000u | 95u);
    // The 11 x 11 square at a corner clamps onto the edge: red (0 x 6 + 10 +
    // ... + 50) / 11 = 13, blue (140 + ... + 180 + 190 x 6) / 11 = 176.
    EXPECT_EQ(penstamp::AverageSquare11(image, 0, 19), 0xFF0D00B0u);

    const uint32_t pick = 0xFF204060u, brush = 0xFFE0C0A0u;
    EXPECT_EQ(penstamp::WetStartColour(pick, brush, 0), brush);
    EXPECT_EQ(penstamp::WetStartColour(pick, brush, 100), pick);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 5.0f, 0.0f), brush);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 0.0f, 8.0f), pick);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 80.0f, 8.0f), brush);
    // Half way: alpha (0x8000 * 255) >> 16 = 127.
    uint32_t half = pick;
    BlendColour(half, brush, 127);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 4.0f, 8.0f), half);

    EXPECT_EQ(penstamp::WatercolourDensity(0xFF0000), int32_t((int64_t{0xFF0000} * 22937) >> 16));
}

TEST(WatercolourArithmetic, RunningColourStepsTowardsTheCanvas)
{
    std::array<float, 3> run{100.0f, 100.0f, 100.0f};
    // effect 2 = 25: steps of 2.5; blue is near enough to snap.
    penstamp::StepRunColour(run, 0xFF000000u | 110u << 16 | 90u << 8 | 102u, 25);
    EXPECT_FLOAT_EQ(run[0], 102.0f);
    EXPECT_FLOAT_EQ(run[1], 97.5f);
    EXPECT_FLOAT_EQ(run[2], 102.5f);
    EXPECT_EQ(penstamp::RunColourPixel(run), 0xFF000000u | 102u << 16 | 97u << 8 | 102u);
    // trunc(100 x 2.55) = 254.
    uint32_t expected = 0xFF000000u;
    BlendColour(expected, penstamp::RunColourPixel(run), 254);
    EXPECT_EQ(penstamp::MixRunColour(0xFF000000u, run, 100), expected);
    EXPECT_EQ(penstamp::MixRunColour(0xFF123456u, run, 0), 0xFF123456u);
}

// ---- blur arithmetic

void AddTerm(uint32_t (&sums)[4], uint32_t term, uint64_t times = 1)
{
    for (int k = 0; k < 4; ++k)
        sums[k] += uint32_t(times * ((term >> (8 * k)) & 0xFF));
}

bool BruteBox(const TMTC& source, int32_t x, int32_t y, int32_t L, bool protect, uint32_t& colour)
{
    uint32_t sums[4] = {};
    for (int32_t j = -L; j <= L; ++j)
        for (int32_t i = -L; i <= L; ++i)
            AddTerm(sums, penstamp::BoxTerm(source.GetPixel(x + i, y + j), protect));
    return penstamp::BoxColour(sums, L, protect, colour);
}

TEST(BlurArithmetic, SlidingBoxesMatchDirectSums)
{
    for (bool protect : {false, true}) {
        for (int32_t L : {1, 3}) {
            TMTC source(13, 11);
            FillNoise(source, uint32_t(7 + L));
            std::vector<uint32_t> terms;
            for (int32_t y = 0; y < source.Height; ++y)
                for (int32_t x = 0; x < source.Width; ++x)
                    terms.push_back(penstamp::BoxTerm(source.GetPixel(x, y), protect));
            const int32_t w = 13 - 2 * L, h = 11 - 2 * L;
            std::vector<uint32_t> columns(4 * 13), boxes(4 * size_t(w));
            int rows = 0;
            penstamp::ForEachBoxRow(terms.data(), 13, 11, L, columns.data(), boxes.data(),
                                    [&](int32_t y, const uint32_t* sums) {
                EXPECT_EQ(y, rows++);
                for (int32_t x = 0; x < w; ++x) {
                    uint32_t colour = 0, expected = 0;
                    const bool touched = BruteBox(source, x + L, y + L, L, protect, expected);
                    ASSERT_EQ(penstamp::BoxColour(sums + 4 * x, L, protect, colour), touched);
                    EXPECT_EQ(colour, expected) << "L " << L << " protect " << protect << " at " << x << "," << y;
                }
            });
            EXPECT_EQ(rows, h);
        }
    }
}

TEST(BlurArithmetic, TransparentBoxIsLeftAloneAndWideBoxesDoNotOverflow)
{
    uint32_t colour = 0x12345678u;
    const uint32_t none[4] = {};
    EXPECT_FALSE(penstamp::BoxColour(none, 2, false, colour));
    EXPECT_EQ(colour, 0x12345678u);

    // L = 200: half of the box opaque (250, 128, 3), half white at alpha 1;
    // sum x 255 is far beyond 32 bits. Reference in 64 bits.
    const int32_t L = 200;
    const uint64_t area = uint64_t(2 * L + 1) * (2 * L + 1), opaque = area / 2, faint = area - opaque;
    uint32_t sums[4] = {};
    AddTerm(sums, penstamp::BoxTerm(0xFFFA8003u, false), opaque);
    AddTerm(sums, penstamp::BoxTerm(0x01FFFFFFu, false), faint);
    const uint64_t alphaSum = opaque * 255 + faint;
    auto ref = [&](uint64_t opaqueByte) { return (opaque * opaqueByte + faint) * 255 / alphaSum; };
    ASSERT_TRUE(penstamp::BoxColour(sums, L, false, colour));
    EXPECT_EQ(colour >> 24, alphaSum / area);
    EXPECT_EQ((colour >> 16) & 0xFF, ref(250));
    EXPECT_EQ((colour >> 8) & 0xFF, ref(128));
    EXPECT_EQ(colour & 0xFF, ref(3));
}

} // namespace
} // namespace morvane
