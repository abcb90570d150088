#include "filters/HueSaturation.h"

#include <algorithm>
#include <cstdlib>

#include "filters/PixelPass.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"

namespace morvane {
namespace {

constexpr int32_t kLevelMax = 255 * kFixedOne;

int32_t SaturationEntry(int32_t s, int32_t k)
{
    const double v = double(k) * kFixedOne;
    const double a = std::abs(s);
    const double out = s < 0 ? v - a * v / 100.0 : v / (255.0 - a * 253.0 / 100.0) * 255.0 + 0.5;
    return std::clamp(s == 0 ? k * kFixedOne : truncSat(out), 0, kLevelMax);
}

} // namespace

HueSaturationTables::HueSaturationTables(const HueSaturationSettings& s)
{
    const int32_t h0 = (s.hue % 360 + 360) % 360;
    for (int32_t k = 0; k < 360; ++k)
        hue_[size_t(k)] = (s.monotone ? h0 : (h0 + k) % 360) * kFixedOne;
    const int32_t monoSaturation = std::clamp((s.saturation * 255 + 50) / 100, 0, 255) * kFixedOne;
    for (int32_t k = 0; k < 256; ++k)
        saturation_[size_t(k)] = s.monotone ? monoSaturation : SaturationEntry(s.saturation, k);

    const int32_t l = std::clamp(s.lightness, -127, 127);
    const float k = 1.0f - float(std::abs(l)) * 0.007f, c = 1.0f / k;
    const int32_t lowCount = 128 - l, highCount = l + 127;
    for (int32_t j = 0; j <= lowCount; ++j)
        curveLightness_[size_t(j)] =
            truncSat(PowUnit(float(j) / float(lowCount), c) * 128.0f * float(kFixedOne));
    for (int32_t j = 1; j <= highCount; ++j)
        curveLightness_[size_t(lowCount + j)] =
            truncSat((PowUnit(float(j) / float(highCount), k) * 127.0f + 128.0f) * float(kFixedOne));

    const int32_t a = (std::abs(l) * 255 + 50) / 100;
    for (int32_t i = 0; i < 256; ++i)
        linearLightness_[size_t(i)] = uint8_t(std::clamp(i - (a * i + 127) / 255 + (l > 0 ? a : 0), 0, 255));

    linear_ = s.linear;
    convertInLinear_ = s.hue != 0 || s.saturation != 0 || s.monotone;
    identity_ = s.hue == 0 && s.saturation == 0 && s.lightness == 0 && !s.monotone;
}

uint32_t HueSaturationTables::Map(uint32_t pixel) const
{
    const uint8_t r = uint8_t(pixel >> 16), g = uint8_t(pixel >> 8), b = uint8_t(pixel);
    RgbColour out{r, g, b};
    if (!linear_ || convertInLinear_) {
        HlsColour hls = RgbToHls(r, g, b);
        hls.hue = hue_[size_t(std::clamp(hls.hue >> 16, 0, 359))];
        hls.saturation = saturation_[size_t(std::clamp(hls.saturation >> 16, 0, 255))];
        if (!linear_)
            hls.lightness = curveLightness_[size_t(std::clamp(hls.lightness >> 16, 0, 255))];
        out = HlsToRgb(hls);
    }
    if (linear_)
        out = {linearLightness_[out.red], linearLightness_[out.green], linearLightness_[out.blue]};
    return uint32_t(out.blue) | uint32_t(out.green) << 8 | uint32_t(out.red) << 16;
}

bool ApplyHueSaturation(const FilterContext& context, const HueSaturationSettings& s)
{
    const HueSaturationTables tables(s);
    if (tables.IsIdentity())
        return true;
    return PixelPass<PassWrite::Colour>(context, [&tables](uint32_t v) { return tables.Map(v); });
}

} // namespace morvane
