#pragma once
// A flat copy of part of the layer as it was before the run (the backup):
// the WorkRect grown by what a routine reads around it and clipped to the
// layer. Neighbourhood routines read only this, so no pixel sees a
// neighbour the same run already wrote, and a preview pane costs what the
// pane shows, not the whole layer.
#include <cstdint>

#include "filters/FilterContext.h"
#include "storage/Rect.h"
#include "storage/TMTC.h"

namespace morvane {

class LayerBand {
public:
    // rect (layer coordinates) clipped to the layer; false when memory is
    // refused or nothing is left.
    bool Load(const FilterContext& c, const EdgeRect& rect);
    // The WorkRect grown by mx columns and my rows on each side.
    bool LoadAround(const FilterContext& c, int32_t mx, int32_t my);
    // The same without clipping: pixels outside the layer repeat its nearest
    // edge pixel, so a kernel reads its taps without clamping.
    bool LoadPadded(const FilterContext& c, int32_t mx, int32_t my);

    const EdgeRect& Rect() const { return rect_; }
    int32_t LayerWidth() const { return layerW_; }
    int32_t LayerHeight() const { return layerH_; }
    // A layer pixel, its coordinates clamped into the band (which gives the
    // layer's nearest pixel whenever the margin covers the reach).
    uint32_t At(int32_t x, int32_t y) const;
    // Row y (layer coordinates), indexed by layer x.
    const uint32_t* Row(int32_t y) const { return image_.Row(y - rect_.top) - rect_.left; }
    uint32_t* Row(int32_t y) { return image_.Row(y - rect_.top) - rect_.left; }
    TMTC& Image() { return image_; }
    const TMTC& Image() const { return image_; }

private:
    TMTC image_;
    EdgeRect rect_{};
    int32_t layerW_ = 0, layerH_ = 0;
};

} // namespace morvane
