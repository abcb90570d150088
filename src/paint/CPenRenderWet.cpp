// Watercolour: the paint is mixed from the brush colour and the colours the
// stroke passes over, and laid down thinly.
#include <algorithm>
#include <cmath>

#include "paint/CPenRender.h"
#include "paint/PenStampMath.h"
#include "paint/TStroke.h"
#include "storage/BlendTables.h"
#include "storage/FixedPoint.h"
#include "storage/TMTC.h"

namespace morvane {

namespace penstamp {

namespace {

uint32_t ColourByte(uint32_t pixel, int channel)
{
    return (pixel >> (8 * channel)) & 0xFF;
}

uint32_t PackColour(const uint32_t (&bytes)[3])
{
    return 0xFF000000u | (bytes[2] << 16) | (bytes[1] << 8) | bytes[0];
}

} // namespace

uint32_t AverageSquare11(const TMTC& image, int32_t x, int32_t y)
{
    uint32_t sums[3] = {};
    for (int32_t j = -5; j <= 5; ++j)
        for (int32_t i = -5; i <= 5; ++i) {
            const uint32_t p = image.GetPixelClamped(x + i, y + j);
            for (int c = 0; c < 3; ++c)
                sums[c] += ColourByte(p, c);
        }
    for (uint32_t& s : sums)
        s /= 121;
    return PackColour(sums);
}

uint32_t AverageFour(const TMTC& image, int32_t cx, int32_t cy, int32_t rx, int32_t ry)
{
    // 64-bit so that centres near the 16.16 limit cannot wrap.
    auto at = [](int64_t v) { return int32_t((v + 1) >> 16); };
    const uint32_t points[4] = {
        image.GetPixelClamped(cx >> 16, at(int64_t{cy} - ry)),
        image.GetPixelClamped(cx >> 16, at(int64_t{cy} + ry)),
        image.GetPixelClamped(at(int64_t{cx} - rx), cy >> 16),
        image.GetPixelClamped(at(int64_t{cx} + rx), cy >> 16),
    };
    uint32_t sums[3] = {};
    for (uint32_t p : points)
        for (int c = 0; c < 3; ++c)
            sums[c] += ColourByte(p, c);
    for (uint32_t& s : sums)
        s >>= 2;
    return PackColour(sums);
}

uint32_t WetStartColour(uint32_t pick, uint32_t brush, int32_t effect1)
{
    const int32_t tint = std::clamp(effect1, 0, 100) * 255 / 100;
    uint32_t wet = pick;
    BlendColour(wet, brush, uint32_t(~tint) & 0xFF);
    return wet;
}

uint32_t WetDabColour(uint32_t wet, uint32_t brush, float strokeLength, float distance)
{
    int32_t b = kFixedOne;
    if (distance != 0)
        b = std::min(roundSat(double(strokeLength / distance) * 65536.0), kFixedOne);
    uint32_t colour = wet;
    BlendColour(colour, brush, uint32_t((int64_t{std::max(b, 0)} * 255) >> 16));
    return colour;
}

void StepRunColour(std::array<float, 3>& run, uint32_t average, int32_t effect2)
{
    const float step = float(roundSat(double(std::clamp(effect2, 0, 100)) / 10.0 * 65536.0)) / 65536.0f;
    for (int c = 0; c < 3; ++c) {
        const float target = float(ColourByte(average, c));
        const float d = target - run[c];
        if (std::fabs(d) < step)
            run[c] = target;
        else
            run[c] += d > 0 ? step : -step;
    }
}

uint32_t RunColourPixel(const std::array<float, 3>& run)
{
    uint32_t bytes[3];
    for (int c = 0; c < 3; ++c)
        bytes[c] = uint32_t(std::clamp(truncSat(double(run[c])), 0, 255));
    return PackColour(bytes);
}

uint32_t RunColourWeight(int32_t effect2)
{
    // In float, as the brush always mixed: 100 x 2.55f is 255, in double 254.
    return uint32_t(truncSat(float(std::clamp(effect2, 0, 100)) * 2.55f));
}

uint32_t MixRunColour(uint32_t dabColour, const std::array<float, 3>& run, int32_t effect2)
{
    BlendColour(dabColour, RunColourPixel(run), RunColourWeight(effect2));
    return dabColour;
}

} // namespace penstamp

bool CPenRender::PrepareWatercolour(const TMTC& image, float x, float y)
{
    if (!image.IsValid() || image.Width <= 0 || image.Height <= 0)
        return false;
    const uint32_t pick = penstamp::AverageSquare11(image, truncSat(x), truncSat(y));
    stroke->pickColor = pick;
    for (int c = 0; c < 3; ++c)
        stroke->runColor[size_t(c)] = float((pick >> (8 * c)) & 0xFF);
    stroke->wetColor = penstamp::WetStartColour(pick, colors[0], method.effect1);
    return true;
}

bool CPenRender::StampWatercolour(TMTC& image, const PenDab&)
{
    // The paint turns into the pure brush colour over a stroke length of
    // effect 3 x 2 nib radii.
    const float distance = float(method.effect3) * (float(nib.radius) / 100.0f) * 2.0f;
    uint32_t colour = penstamp::WetDabColour(stroke->wetColor, dabColor, stroke->strokeLength, distance);
    penstamp::StepRunColour(stroke->runColor,
                            penstamp::AverageFour(image, dabX, dabY, dabRadiusX, dabRadiusY), method.effect2);
    colour = penstamp::MixRunColour(colour, stroke->runColor, method.effect2);
    stroke->dabColor = colour;
    const int32_t density =
        stroke->PressureDensity() ? dabDensity : roundSat(double(stroke->Opacity()) * kFixedOne);
    dabDensity = penstamp::WatercolourDensity(density);
    if (dabDensity <= 0)
        return false;
    Paint(image, colour, chain_.plot);
    return true;
}

} // namespace morvane
