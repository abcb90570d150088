#include "filters/BoxSample.h"

#include <algorithm>

namespace morvane {
namespace {

constexpr int64_t kOne = 65536, kHalf = 32768;

} // namespace

uint32_t BoxSampler::Box(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    // Into the band's own coordinates; a box the band cannot hold (a reach
    // the caller did not load) falls back to the nearest band pixel.
    const EdgeRect& r = band_.Rect();
    x0 -= int64_t(r.left) * kOne, x1 -= int64_t(r.left) * kOne;
    y0 -= int64_t(r.top) * kOne, y1 -= int64_t(r.top) * kOne;
    sampler_.Result = 0;
    if (!sampler_.ClippedAreaSample(0, 0, x0, y0, x1, y1))
        return band_.At(int32_t((x0 >> 16) + r.left), int32_t((y0 >> 16) + r.top));
    return sampler_.Result;
}

uint32_t BoxSampler::Around(int64_t px, int64_t py)
{
    const int64_t w = int64_t(band_.LayerWidth()) * kOne, h = int64_t(band_.LayerHeight()) * kOne;
    return Box(std::clamp(px - kHalf, int64_t(0), w - kHalf), std::clamp(py - kHalf, int64_t(0), h - kHalf),
               std::clamp(px + kHalf, kHalf, w), std::clamp(py + kHalf, kHalf, h));
}

uint32_t BoxSampler::AroundInside(int64_t px, int64_t py)
{
    const int64_t w = int64_t(band_.LayerWidth() - 1) * kOne, h = int64_t(band_.LayerHeight() - 1) * kOne;
    const int64_t x0 = std::clamp(px - kHalf, int64_t(0), w), x1 = std::clamp(px + kHalf, int64_t(0), w);
    const int64_t y0 = std::clamp(py - kHalf, int64_t(0), h), y1 = std::clamp(py + kHalf, int64_t(0), h);
    // A box squeezed to nothing at the last row or column reads the pixel there.
    return Box(x0, y0, std::max(x1, x0 + 1), std::max(y1, y0 + 1));
}

} // namespace morvane
