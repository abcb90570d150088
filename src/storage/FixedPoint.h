#pragma once
// 16.16 fixed point (0x10000 = 1), the saturating float-to-integer
// conversions every float from outside goes through, and the fixed-point HLS
// colour model shared by the painting engine and the tone filters.
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>

namespace morvane {

inline constexpr int32_t kFixedOne = 0x10000;

// v truncated toward zero. NaN gives 0 and values beyond T's range give its
// limits, so hostile floats never reach an undefined conversion.
template <std::integral T = int32_t>
T truncSat(double v)
{
    // The limits are powers of two (or one below), so the comparisons are exact.
    constexpr double lo = static_cast<double>(std::numeric_limits<T>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<T>::max());
    if (std::isnan(v))
        return 0;
    if (v <= lo)
        return std::numeric_limits<T>::min();
    if (v >= hi)
        return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

// The house rounding: v + 0.5 truncated toward zero. Negative values follow
// the same rule (-1.7 gives -1, -2.5 gives -2); use roundAwaySat where a
// negative value must round to its nearest integer.
template <std::integral T = int32_t>
T roundSat(double v)
{
    return truncSat<T>(v + 0.5);
}

// Nearest integer, halves away from zero (-2.5 gives -3).
template <std::integral T = int32_t>
T roundAwaySat(double v)
{
    return truncSat<T>(std::round(v));
}

// (a * b) >> 16 with a 64-bit product and an arithmetic shift; the result
// keeps the low 32 bits when it does not fit.
constexpr int32_t mul16(int32_t a, int32_t b)
{
    return static_cast<int32_t>((int64_t{a} * b) >> 16);
}

// a / b as 16.16, computed in floating point and rounded to the nearest
// integer (halves away from zero). b = 0 gives the limit of a's sign, 0 / 0
// gives 0.
int32_t div16(int32_t a, int32_t b);

// Hue in degrees, 0 <= hue < 360; lightness and saturation on the 0..255
// scale; all three as 16.16.
struct HlsColour {
    int32_t hue = 0;
    int32_t lightness = 0;
    int32_t saturation = 0;
    bool operator==(const HlsColour&) const = default;
};

struct RgbColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const RgbColour&) const = default;
};

HlsColour RgbToHls(uint8_t red, uint8_t green, uint8_t blue);
// Any hue is wrapped into [0, 360); lightness and saturation outside the
// 0..255 scale are clamped onto it.
RgbColour HlsToRgb(const HlsColour& hls);

// Burn and dodge in one pass over count colours (0xRRGGBB; the top byte is
// ignored and comes back 0): each with its lightness L replaced by
// curve[((L >> 13) * 2047) div 2040], the curve's 2048 entries on the 0..1
// scale (16.16, clamped onto it). The same bits as RgbToHls, that change and
// HlsToRgb.
inline constexpr int32_t kLightnessCurveSize = 2048;
void ApplyLightnessCurve(const uint32_t* colours, uint32_t* out, int32_t count, const int32_t* curve);

} // namespace morvane
