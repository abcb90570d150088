#include "storage/FixedPoint.h"

#include <algorithm>

namespace morvane {

namespace {

constexpr int32_t kDegree = kFixedOne;
constexpr int32_t kFullTurn = 360 * kDegree;
constexpr int32_t kScaleMax = 255 * kFixedOne;

// The colour conversions run per pixel on pictures whose colours follow no
// pattern, so most of their choices are made with masks, not branches.
constexpr int32_t Mask(bool condition) { return -int32_t{condition}; }
constexpr int32_t Pick(bool condition, int32_t a, int32_t b) { return b ^ (Mask(condition) & (a ^ b)); }
constexpr int32_t Max(int32_t a, int32_t b) { return std::max(a, b); }
constexpr int32_t Min(int32_t a, int32_t b) { return std::min(a, b); }

// A byte on the 0..1 scale of 16.16, truncated: 257 v, and 65536 for 255
// (65536 = 257 * 255 + 1). Looked up, as three are needed per pixel.
struct Units {
    int32_t of[256] = {};
    constexpr Units()
    {
        for (int32_t v = 0; v < 256; ++v)
            of[v] = v * kFixedOne / 255;
    }
};
constexpr Units kUnits;
constexpr int32_t Unit(int32_t v) { return kUnits.of[v]; }

// The divisors of the conversion to HLS therefore take few values, each named
// by a byte difference or sum and whether the largest byte is 255. Their
// reciprocals ceil(2^56 / b) spare the divisions per pixel.
struct Reciprocals {
    uint64_t hue[512] = {}; // of d = P(mx) - P(mn), by mx - mn
    struct BySum {
        uint64_t saturation = 0; // of the saturation's divisor
        int32_t curveIndex = 0;  // of the lightness (P(mx) + P(mn)) div 2
    } bySum[1024] = {};          // by mx + mn
    constexpr Reciprocals()
    {
        constexpr uint64_t kScale = uint64_t{1} << 56;
        for (int32_t top = 0; top < 2; ++top) {
            for (int32_t k = 1; k < 256; ++k)
                hue[256 * top + k] = (kScale + 257 * k + top - 1) / (257 * k + top);
            for (int32_t sum = 1; sum < 511; ++sum) {
                const int32_t both = 257 * sum + top; // P(mx) + P(mn)
                const int32_t divisor = both / 2 <= kFixedOne / 2 ? both : 2 * kFixedOne - both;
                bySum[512 * top + sum] = {(kScale + divisor - 1) / divisor,
                                          ((both / 2 * 255 >> 13) * (kLightnessCurveSize - 1)) / 2040};
            }
        }
    }
};
constexpr Reciprocals kReciprocal;

// div16(n, b) for the ratios of the colour model, |n| <= b, 257 <= b < 2^17,
// from r = ceil(2^56 / b). n r / 2^40 exceeds n / b * 65536 by less than
// 2^-24, while such a quotient is never a tie (b * 2 has fewer than 18
// factors of two) and so misses one by at least 1 / (2 b) > 2^-18: adding
// a half and truncating rounds as div16 does, halves away from zero.
int32_t UnitRatio(uint32_t n, uint64_t r)
{
    return int32_t((n * r + (uint64_t{1} << 39)) >> 40);
}
int32_t UnitRatio(int32_t n, uint64_t r)
{
    const int32_t sign = n >> 31;
    const int32_t q = UnitRatio(uint32_t((n ^ sign) - sign), r);
    return (q ^ sign) - sign;
}

// The hue in [0, 360) degrees.
int32_t WrapHue(int32_t hue)
{
    const int32_t h = hue % kFullTurn;
    return h < 0 ? h + kFullTurn : h;
}

// A hue at most one turn outside [0, 360) wrapped into it.
constexpr int32_t WrapOnce(int32_t hue)
{
    return hue + (Mask(hue < 0) & kFullTurn) - (Mask(hue >= kFullTurn) & kFullTurn);
}

// One colour component of the HLS model at hue h (wrapped, 16.16 degrees):
// m1 + mul16(m2 - m1, t) / 60 with t = h below 60 degrees, 240 - h from 180
// to 240, and 60 (giving m2) or 0 (giving m1) on the flat stretches.
int32_t HueValue(int32_t m1, int32_t m2, int32_t h)
{
    const int32_t t = Max(0, Min(Min(h, 240 * kDegree - h), 60 * kDegree));
    return m1 + mul16(m2 - m1, t) / 60;
}

// m1 and m2 of the HLS model for lightness l and saturation s on the 0..1
// scale; mul16(l, 1 + s) below one half.
struct Extremes {
    int32_t m1, m2;
};
Extremes ExtremesOf(int32_t l, int32_t s)
{
    const int32_t ls = mul16(l, s);
    const int32_t m2 = Pick(l <= kFixedOne / 2, l + ls, l + s - ls);
    return {2 * l - m2, m2};
}

// The curve's entry for lightness L on the 0..255 scale.
int32_t CurveAt(const int32_t* curve, int32_t lightness)
{
    return std::clamp(curve[((lightness >> 13) * (kLightnessCurveSize - 1)) / 2040], 0, kFixedOne);
}

uint8_t ToByte(int32_t v)
{
    const auto scaled = int32_t((int64_t{v} * 255) >> 16);
    return static_cast<uint8_t>(Max(0, Min(scaled, 255)));
}

// Whatever the hue, each byte v comes back on the ramp from m1 to m2, q of
// the way along it, where q = (P(v) - P(mn)) / (P(mx) - P(mn)) is the ratio
// the hue's sector is made of: m1 + mul16(m2 - m1, 60 q) / 60 reduces to
// m1 + mul16(m2 - m1, q) as both factors are positive, and q is exactly 0
// for the smallest byte and 1 for the largest. m1 >= 0 and m2 <= 1 for l and
// s on the 0..1 scale, so the bytes need no clamping.
uint32_t ApplyLightnessCurve(uint32_t colour, const int32_t* curve)
{
    const int32_t red = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, blue = colour & 0xFF;
    const int32_t mx = Max(Max(red, green), blue);
    const int32_t mn = Min(Min(red, green), blue);
    if (mx == mn) {
        const auto v = uint32_t((CurveAt(curve, red * kFixedOne) * 255) >> 16);
        return v * 0x010101u;
    }
    const int32_t pmn = Unit(mn);
    const int32_t top = mx == 255;
    const Reciprocals::BySum& bySum = kReciprocal.bySum[512 * top + mx + mn];
    const int32_t s = UnitRatio(uint32_t(Unit(mx) - pmn), bySum.saturation);
    const int32_t l = std::clamp(curve[bySum.curveIndex], 0, kFixedOne);
    // Named copies: a lambda may not capture structured bindings everywhere.
    const Extremes extremes = ExtremesOf(l, s);
    const int32_t m1 = extremes.m1, m2 = extremes.m2;
    const uint64_t hueReciprocal = kReciprocal.hue[256 * top + mx - mn];
    const auto byte = [&](int32_t v) {
        const int32_t q = UnitRatio(uint32_t(Unit(v) - pmn), hueReciprocal);
        return uint32_t(((m1 + mul16(m2 - m1, q)) * 255) >> 16);
    };
    return byte(red) << 16 | byte(green) << 8 | byte(blue);
}

} // namespace

int32_t div16(int32_t a, int32_t b)
{
    return roundAwaySat<int32_t>(static_cast<double>(a) / static_cast<double>(b) * 65536.0);
}

HlsColour RgbToHls(uint8_t red, uint8_t green, uint8_t blue)
{
    const int32_t mx = Max(Max(red, green), blue);
    const int32_t mn = Min(Min(red, green), blue);
    if (mx == mn)
        return {0, red * kFixedOne, 0};

    const int32_t pmx = Unit(mx), pmn = Unit(mn);
    const int32_t d = pmx - pmn;
    const int32_t lh = (pmx + pmn) / 2;
    const int32_t top = mx == 255;
    const int32_t s = UnitRatio(d, kReciprocal.bySum[512 * top + mx + mn].saturation);

    // The sector of the largest component and the difference of the other two.
    const bool redTop = mx == red, greenTop = !redTop && mx == green;
    const int32_t pr = Unit(red), pg = Unit(green), pb = Unit(blue);
    const int32_t num = Pick(redTop, pg - pb, Pick(greenTop, pb - pr, pr - pg));
    const int32_t sector = Pick(redTop, 0, Pick(greenTop, 2 * kFixedOne, 4 * kFixedOne));
    const int32_t hue = WrapOnce((UnitRatio(num, kReciprocal.hue[256 * top + mx - mn]) + sector) * 60);
    return {hue, lh * 255, s * 255};
}

RgbColour HlsToRgb(const HlsColour& hls)
{
    const int32_t lightness = std::clamp(hls.lightness, 0, kScaleMax);
    const int32_t saturation = std::clamp(hls.saturation, 0, kScaleMax);
    if (saturation == 0) {
        const auto v = static_cast<uint8_t>(lightness >> 16);
        return {v, v, v};
    }
    const auto [m1, m2] = ExtremesOf(lightness / 255, saturation / 255);
    // Hues in range, as the colour model gives them, skip the remainder.
    const int32_t hue = hls.hue >= 0 && hls.hue < kFullTurn ? hls.hue : WrapHue(hls.hue);
    return {ToByte(HueValue(m1, m2, WrapOnce(hue + 120 * kDegree))), ToByte(HueValue(m1, m2, hue)),
            ToByte(HueValue(m1, m2, WrapOnce(hue - 120 * kDegree)))};
}

// Runs of one colour (flat paint) convert once.
void ApplyLightnessCurve(const uint32_t* colours, uint32_t* out, int32_t count, const int32_t* curve)
{
    uint32_t from = 0xFFFFFFFFu, to = 0;
    for (int32_t i = 0; i < count; ++i) {
        if ((colours[i] & 0x00FFFFFFu) != from) {
            from = colours[i] & 0x00FFFFFFu;
            to = ApplyLightnessCurve(from, curve);
        }
        out[i] = to;
    }
}

} // namespace morvane
