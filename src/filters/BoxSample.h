#pragma once
// The one-pixel box sample of emboss, radial diffuse and the distortions:
// the area-weighted average of the band's pixels under a box in 16.16
// layer coordinates, through the area sampler of the preview panes.
#include <cstdint>

#include "filters/LayerBand.h"
#include "storage/CScaleImage.h"

namespace morvane {

class BoxSampler {
public:
    explicit BoxSampler(const LayerBand& band) : band_(band), sampler_(band.Image()) {}

    // The box [P - 0.5, P + 0.5] around P, its near corners clamped into
    // [0, size - 0.5] and its far ones into [0.5, size].
    uint32_t Around(int64_t px, int64_t py);
    // The box [x0, x1) x [y0, y1), corners clamped into [lo, hi] per axis.
    uint32_t Box(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    // The box around P with every corner clamped into [0, size - 1].
    uint32_t AroundInside(int64_t px, int64_t py);

private:
    const LayerBand& band_;
    CScaleImageSample sampler_;
};

} // namespace morvane
