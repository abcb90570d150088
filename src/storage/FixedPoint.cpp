#include "storage/FixedPoint.h"

#include <algorithm>

namespace morvane {

namespace {

constexpr int32_t kDegree = kFixedOne;
constexpr int64_t kFullTurn = 360 * int64_t{kDegree};
constexpr int32_t kScaleMax = 255 * kFixedOne;

// A byte on the 0..1 scale of 16.16, truncated.
constexpr int32_t Unit(uint8_t v) { return v * kFixedOne / 255; }

int32_t WrapHue(int64_t hue)
{
    int64_t h = hue % kFullTurn;
    return static_cast<int32_t>(h < 0 ? h + kFullTurn : h);
}

// One colour component of the HLS model at hue h (wrapped, 16.16 degrees).
int32_t HueValue(int32_t m1, int32_t m2, int32_t h)
{
    if (h < 60 * kDegree)
        return m1 + mul16(m2 - m1, h) / 60;
    if (h < 180 * kDegree)
        return m2;
    if (h < 240 * kDegree)
        return m1 + mul16(m2 - m1, 240 * kDegree - h) / 60;
    return m1;
}

uint8_t ToByte(int32_t v)
{
    return static_cast<uint8_t>(std::clamp<int64_t>((int64_t{v} * 255) >> 16, 0, 255));
}

} // namespace

int32_t div16(int32_t a, int32_t b)
{
    return roundAwaySat<int32_t>(static_cast<double>(a) / static_cast<double>(b) * 65536.0);
}

HlsColour RgbToHls(uint8_t red, uint8_t green, uint8_t blue)
{
    const uint8_t mx = std::max({red, green, blue});
    const uint8_t mn = std::min({red, green, blue});
    if (mx == mn)
        return {0, red * kFixedOne, 0};

    const int32_t pmx = Unit(mx), pmn = Unit(mn);
    const int32_t pr = Unit(red), pg = Unit(green), pb = Unit(blue);
    const int32_t d = pmx - pmn;
    const int32_t lh = (pmx + pmn) / 2;
    const int32_t s = lh <= kFixedOne / 2 ? div16(d, pmx + pmn) : div16(d, 2 * kFixedOne - pmx - pmn);

    int32_t hue;
    if (mx == red)
        hue = div16(pg - pb, d);
    else if (mx == green)
        hue = div16(pb - pr, d) + 2 * kFixedOne;
    else
        hue = div16(pr - pg, d) + 4 * kFixedOne;
    hue *= 60;
    if (hue < 0)
        hue += static_cast<int32_t>(kFullTurn);
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
    const int32_t l = lightness / 255, s = saturation / 255;
    const int32_t m2 = l <= kFixedOne / 2 ? mul16(l, kFixedOne + s) : l + s - mul16(l, s);
    const int32_t m1 = 2 * l - m2;
    const int64_t hue = hls.hue;
    return {ToByte(HueValue(m1, m2, WrapHue(hue + 120 * kDegree))),
            ToByte(HueValue(m1, m2, WrapHue(hue))),
            ToByte(HueValue(m1, m2, WrapHue(hue - 120 * kDegree)))};
}

} // namespace morvane
