#include "storage/FixedPoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

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

// The conversions as first written, straight from the formulas: double
// division, 64-bit hue remainder, one branch per case. The fast ones must
// give the same bits.
namespace reference {

constexpr int64_t kFullTurn = 360 * int64_t{65536};

int32_t Unit(uint8_t v) { return v * 65536 / 255; }

int32_t WrapHue(int64_t hue)
{
    const int64_t h = hue % kFullTurn;
    return static_cast<int32_t>(h < 0 ? h + kFullTurn : h);
}

int32_t HueValue(int32_t m1, int32_t m2, int32_t h)
{
    if (h < 60 * 65536)
        return m1 + mul16(m2 - m1, h) / 60;
    if (h < 180 * 65536)
        return m2;
    if (h < 240 * 65536)
        return m1 + mul16(m2 - m1, 240 * 65536 - h) / 60;
    return m1;
}

uint8_t ToByte(int32_t v)
{
    return static_cast<uint8_t>(std::clamp<int64_t>((int64_t{v} * 255) >> 16, 0, 255));
}

HlsColour RgbToHls(uint8_t red, uint8_t green, uint8_t blue)
{
    const uint8_t mx = std::max({red, green, blue});
    const uint8_t mn = std::min({red, green, blue});
    if (mx == mn)
        return {0, red * 65536, 0};
    const int32_t pmx = Unit(mx), pmn = Unit(mn);
    const int32_t pr = Unit(red), pg = Unit(green), pb = Unit(blue);
    const int32_t d = pmx - pmn;
    const int32_t lh = (pmx + pmn) / 2;
    const int32_t s = lh <= 32768 ? div16(d, pmx + pmn) : div16(d, 131072 - pmx - pmn);
    int32_t hue;
    if (mx == red)
        hue = div16(pg - pb, d);
    else if (mx == green)
        hue = div16(pb - pr, d) + 131072;
    else
        hue = div16(pr - pg, d) + 262144;
    hue *= 60;
    if (hue < 0)
        hue += static_cast<int32_t>(kFullTurn);
    return {hue, lh * 255, s * 255};
}

RgbColour HlsToRgb(const HlsColour& hls)
{
    const int32_t lightness = std::clamp(hls.lightness, 0, 255 * 65536);
    const int32_t saturation = std::clamp(hls.saturation, 0, 255 * 65536);
    if (saturation == 0) {
        const auto v = static_cast<uint8_t>(lightness >> 16);
        return {v, v, v};
    }
    const int32_t l = lightness / 255, s = saturation / 255;
    const int32_t m2 = l <= 32768 ? mul16(l, 65536 + s) : l + s - mul16(l, s);
    const int32_t m1 = 2 * l - m2;
    const int64_t hue = hls.hue;
    return {ToByte(HueValue(m1, m2, WrapHue(hue + 120 * 65536))), ToByte(HueValue(m1, m2, WrapHue(hue))),
            ToByte(HueValue(m1, m2, WrapHue(hue - 120 * 65536)))};
}

// Burn and dodge: the lightness of a conversion replaced, then back.
uint32_t ApplyLightnessCurve(HlsColour hls, const int32_t* curve)
{
    hls.lightness = curve[std::clamp(((hls.lightness >> 13) * 2047) / 2040, 0, 2047)] * 255;
    const RgbColour rgb = reference::HlsToRgb(hls);
    return uint32_t{rgb.red} << 16 | uint32_t{rgb.green} << 8 | rgb.blue;
}

} // namespace reference

std::string Describe(const HlsColour& c)
{
    std::ostringstream out;
    out << "hls(" << c.hue << ", " << c.lightness << ", " << c.saturation << ")";
    return out.str();
}

std::string Describe(uint32_t colour)
{
    std::ostringstream out;
    out << "0x" << std::hex << colour;
    return out.str();
}

std::string Describe(const RgbColour& c)
{
    std::ostringstream out;
    out << "rgb(" << int(c.red) << ", " << int(c.green) << ", " << int(c.blue) << ")";
    return out.str();
}

// Every byte triple to HLS and through a burn curve in one pass; every third
// one, and all with two equal bytes, also back from HLS as it is and with
// its lightness scrambled, and through a scrambled curve (a little off the
// 0..1 scale at places). Counted without a gtest macro per colour, so the
// sweep stays within seconds under the sanitizers.
TEST(FixedPoint, HlsConversionsMatchTheFormulasForEveryColour)
{
    std::vector<int32_t> burn(kLightnessCurveSize), scrambled(kLightnessCurveSize);
    for (int32_t i = 0; i < kLightnessCurveSize; ++i) {
        burn[i] = roundSat(std::pow(i / double(kLightnessCurveSize - 1), 1.1) * 65536);
        scrambled[i] = int32_t((uint32_t(i) * 2654435761u >> 12) % 68000) - 1000;
    }
    int64_t mismatches = 0;
    std::string first;
    const auto check = [&](const auto& got, const auto& want, const auto& from) {
        if (got == want)
            return;
        if (mismatches++ == 0)
            first = Describe(from) + " gives " + Describe(got) + ", formulas " + Describe(want);
    };
    constexpr uint32_t kBatch = 4096;
    std::vector<uint32_t> colours(kBatch), burnt(kBatch), mixed(kBatch);
    for (uint32_t start = 0; start < (1u << 24); start += kBatch) {
        for (uint32_t i = 0; i < kBatch; ++i)
            colours[i] = 0xA5000000u | (start + i); // the top byte is not colour
        ApplyLightnessCurve(colours.data(), burnt.data(), kBatch, burn.data());
        ApplyLightnessCurve(colours.data(), mixed.data(), kBatch, scrambled.data());
        for (uint32_t i = 0; i < kBatch; ++i) {
            const uint32_t rgb = start + i;
            const auto r = uint8_t(rgb >> 16), g = uint8_t(rgb >> 8), b = uint8_t(rgb);
            const HlsColour hls = reference::RgbToHls(r, g, b);
            check(RgbToHls(r, g, b), hls, rgb);
            check(burnt[i], reference::ApplyLightnessCurve(hls, burn.data()), rgb);
            if (rgb % 3 != 0 && r != g && g != b && r != b)
                continue;
            check(HlsToRgb(hls), reference::HlsToRgb(hls), hls);
            HlsColour relit = hls;
            relit.lightness = int32_t((rgb * 2654435761u >> 8) % 65537) * 255;
            check(HlsToRgb(relit), reference::HlsToRgb(relit), relit);
            check(mixed[i], reference::ApplyLightnessCurve(hls, scrambled.data()), rgb);
        }
    }
    EXPECT_EQ(mismatches, 0) << first;
}

// Any value is valid input to HlsToRgb: hues turns away, either limit, and
// lightness and saturation off the scale.
TEST(FixedPoint, HlsToRgbMatchesTheFormulasOnAnyInput)
{
    uint64_t state = 0x9E3779B97F4A7C15ull;
    const auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return int32_t(state >> 32);
    };
    const int32_t edges[] = {kMin, kMin + 1, -360 * 65536 - 1, -360 * 65536, -1, 0, 1, 360 * 65536 - 1,
                             360 * 65536, 720 * 65536 - 1, 720 * 65536, kMax};
    for (int32_t hue : edges)
        for (int32_t value : {0, 1, 128 * 65536, 255 * 65536, kMax, kMin}) {
            const HlsColour c{hue, value, 200 * 65536};
            EXPECT_EQ(HlsToRgb(c), reference::HlsToRgb(c)) << Describe(c);
        }
    int64_t mismatches = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        // Mostly on the scale, sometimes anywhere.
        const int32_t hue = next(), l = next(), s = next();
        const auto onScale = [](int32_t v) { return (v & 0x7FFFFFFF) % (256 * 65536); };
        const HlsColour c{i % 4 == 0 ? hue : hue % (360 * 65536), i % 8 == 1 ? l : onScale(l),
                          i % 8 == 2 ? s : onScale(s)};
        if (HlsToRgb(c) != reference::HlsToRgb(c) && mismatches++ == 0)
            ADD_FAILURE() << Describe(c);
    }
    EXPECT_EQ(mismatches, 0);
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
