#include "storage/FixedPoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace morvane {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FixedPoint, SaturatingConversions)
{
    struct Case {
        double v;
        int32_t trunc, round, away;
    };
    const Case cases[] = {
        {2.7, 2, 3, 3},          {-2.7, -2, -2, -3},      {2.5, 2, 3, 3},
        {-2.5, -2, -2, -3},      {-1.7, -1, -1, -2},      {0.49, 0, 0, 0},
        {kNaN, 0, 0, 0},         {kInf, kMax, kMax, kMax}, {-kInf, kMin, kMin, kMin},
        {3e9, kMax, kMax, kMax}, {-3e9, kMin, kMin, kMin}, {2147483646.6, 2147483646, kMax, kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(truncSat(c.v), c.trunc);
        EXPECT_EQ(roundSat(c.v), c.round);
        EXPECT_EQ(roundAwaySat(c.v), c.away);
    }
    // Other widths saturate at their own limits.
    EXPECT_EQ(truncSat<uint8_t>(300.0), 255);
    EXPECT_EQ(truncSat<uint8_t>(-1.0), 0);
    EXPECT_EQ(truncSat<int64_t>(1e19), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(truncSat<int64_t>(-1e19), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(truncSat<int64_t>(1e15 + 0.5), int64_t{1000000000000000});
    EXPECT_EQ(truncSat(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(FixedPoint, Mul16AndDiv16)
{
    struct Case {
        int32_t a, b, expected;
    };
    const Case products[] = {
        {65536, 65536, 65536},   {-65536, 32768, -32768}, {3 * 65536, -2 * 65536, -6 * 65536},
        {1, 1, 0},               {-1, 1, -1}, // the shift floors
        {100000, 100000, 152587}, {-100000, 100000, -152588}, {kMax, 65536, kMax},
    };
    for (const Case& c : products)
        EXPECT_EQ(mul16(c.a, c.b), c.expected) << c.a << " * " << c.b;

    const Case quotients[] = {
        {1, 2, 32768},  {-1, 2, -32768},   {1, -2, -32768},  {1, 3, 21845},      {2, 3, 43691},
        {-2, 3, -43691}, {1, 131072, 1},   {-1, 131072, -1}, {3, 131072, 2},     {65536, 65536, 65536},
        {5, 0, kMax},   {-5, 0, kMin},     {0, 0, 0},        {kMax, 1, kMax},    {kMin, 1, kMin},
    };
    for (const Case& c : quotients)
        EXPECT_EQ(div16(c.a, c.b), c.expected) << c.a << " / " << c.b;
}

TEST(FixedPoint, RgbToHlsValues)
{
    struct Case {
        uint8_t r, g, b;
        HlsColour hls;
    };
    const Case cases[] = {
        {77, 77, 77, {0, 77 * 65536, 0}},
        {255, 0, 0, {0, 32768 * 255, 65536 * 255}},
        {0, 255, 0, {120 * 65536, 32768 * 255, 65536 * 255}},
        {0, 0, 255, {240 * 65536, 32768 * 255, 65536 * 255}},
        // P(128) = 32896, so the hue is 32896 / 65536 of 60 degrees.
        {255, 128, 0, {32896 * 60, 32768 * 255, 65536 * 255}},
        // P = 51400, 25700, 12850; s = div16(38550, 64250) = 39322; hue = 21845 * 60.
        {200, 100, 50, {21845 * 60, 32125 * 255, 39322 * 255}},
        // Red minus a little blue: a negative hue wraps below 360 degrees.
        {255, 0, 51, {360 * 65536 - div16(13107, 65536) * 60, 32768 * 255, 65536 * 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
        EXPECT_EQ(RgbToHls(c.r, c.g, c.b), c.hls);
    }
    // The truncating steps lose up to one step on the way back.
    EXPECT_EQ(HlsToRgb(RgbToHls(200, 100, 50)), (RgbColour{199, 99, 49}));
}

TEST(FixedPoint, HlsRoundTrip)
{
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<uint8_t>(v);
        ASSERT_EQ(HlsToRgb(RgbToHls(b, b, b)), (RgbColour{b, b, b})) << v;
    }
    const RgbColour exact[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    for (const RgbColour& c : exact)
        EXPECT_EQ(HlsToRgb(RgbToHls(c.red, c.green, c.blue)), c)
            << int(c.red) << "," << int(c.green) << "," << int(c.blue);

    int maxError = 0;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                const RgbColour back = HlsToRgb(RgbToHls(uint8_t(r), uint8_t(g), uint8_t(b)));
                maxError = std::max({maxError, std::abs(back.red - r), std::abs(back.green - g),
                                     std::abs(back.blue - b)});
            }
    RecordProperty("max_round_trip_error", maxError);
    EXPECT_LE(maxError, 1);
}

TEST(FixedPoint, HlsToRgbOutOfRangeInput)
{
    const HlsColour base{200 * 65536, 100 * 65536, 180 * 65536};
    for (int turns : {-5, -1, 1, 5})
        EXPECT_EQ(HlsToRgb({base.hue + turns * 360 * 65536, base.lightness, base.saturation}), HlsToRgb(base))
            << turns;
    EXPECT_EQ(HlsToRgb({kMax, kMax, 0}), (RgbColour{255, 255, 255}));
    EXPECT_EQ(HlsToRgb({kMin, kMin, kMin}), (RgbColour{0, 0, 0}));
    EXPECT_EQ(HlsToRgb({0, 128 * 65536, kMax}), HlsToRgb({0, 128 * 65536, 255 * 65536}));
}

} // namespace
} // namespace morvane
