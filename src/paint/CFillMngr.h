#pragma once
// The shape rasteriser: a rectangle here, an ellipse and a polygon in the
// fillers derived from it. A shape is walked row by row as spans with an
// analytic coverage (row fraction x end-pixel fraction x edge ramp), no
// supersampling. In channel mode each span raises the bytes of a coverage
// channel; the selection shapes use it.
#include <cstdint>
#include <vector>

#include "storage/Rect.h"
#include "storage/TChannel.h"

namespace morvane {

class CFillMngr {
public:
    // A filler for a layer of width x height (layer coordinates).
    CFillMngr(int32_t layerWidth, int32_t layerHeight);
    virtual ~CFillMngr();
    CFillMngr(const CFillMngr&) = delete;
    CFillMngr& operator=(const CFillMngr&) = delete;

    // The rectangle spanned by two corners; false when it misses the layer
    // or a corner is not finite.
    bool SetRect(PointF c1, PointF c2);
    // Channel mode: bytes become max(byte, value x coverage x opacity).
    void UseChannel(uint8_t value, float opacity = 1.0f);
    // Writes the shape into target, whose pixel (0, 0) is layer pixel
    // origin; the number of rows walked comes back.
    virtual int32_t Render(TChannel& target, Point origin);
    // The shape's box clipped to the layer, in whole pixels.
    const ExtentRect& DirtyRect() const { return dirtyRect_; }
    bool IsValid() const { return valid_; }

protected:
    // Clips the float box to the layer into the dirty rectangle.
    bool ClipBox(float left, float top, float right, float bottom);
    // The current span (spanLeft_ ... spanRight_ on row_ at rowCoverage_)
    // into the target.
    void WriteSpan();
    // Coverage share of entry j of a ramp of n entries from floor(L).
    float Ramp(int32_t j, int32_t n) const;

    int32_t layerW_, layerH_;
    bool valid_ = false;
    uint8_t channelValue_ = 255;
    float opacity_ = 1.0f;
    ExtentRect dirtyRect_{};
    float boxLeft_ = 0, boxTop_ = 0, boxRight_ = 0, boxBottom_ = 0;
    float spanLeft_ = 0, spanRight_ = 0;
    int32_t row_ = 0;
    float rowCoverage_ = 0;
    float leftSlope_ = 0.01f, rightSlope_ = 0.01f;
    TChannel* target_ = nullptr;
    Point origin_{};
};

} // namespace morvane
