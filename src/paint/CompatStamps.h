#pragma once
// The dabs of the compatible stroke engines. Each stamp first draws its
// alpha into a scratch channel with the disc primitives, then hands the rows
// to the pen renderer's per-pixel chain (selection mask, tone, gradation and
// the final write), so the compatible tools paint through the same
// operations as the current ones.
#include <cstdint>

#include "paint/CompatAirMap.h"
#include "paint/CPenRender.h"
#include "paint/PenStampMath.h"
#include "storage/Rect.h"
#include "storage/TChannel.h"

namespace morvane {

class CBlockVMTC;
class TFlowImage;
class TMTC;
class TStroke;

// One dab in wet-paint (store) coordinates.
struct CompatDab {
    float x = 0, y = 0;
    float radius = 1;
    float pressure = 1; // after the gamma, 0..1
    bool xMajor = true; // the step runs along x
};

// Sums of the (2L + 1)^2 box of the store around every pixel of box,
// protected or not (see penstamp::BoxColour), a row at a time:
// fn(y, sums) with four sums per pixel of the row from box.left. False when
// the scratch cannot be had.
template <typename RowFn>
bool ForEachBoxBlurRow(const CBlockVMTC& store, const EdgeRect& box, int32_t L, bool protect,
                       BlurScratch& scratch, RowFn fn);

class CompatStamper {
public:
    // Stroke start at (x, y), store coordinates: the air map, the
    // lightness curve, the watercolour's colours and the first pick-up.
    // engine is 0 or 1. False when the stroke cannot paint.
    bool Prepare(int engine, TStroke& stroke, CPenRender& render, TFlowImage& flow, float x, float y);
    // One dab of the stroke's method; false when nothing could be stamped.
    bool Stamp(const CompatDab& dab);

private:
    bool StampPen(const CompatDab& dab);
    bool StampPenOldest(const CompatDab& dab);
    bool StampWatercolour(const CompatDab& dab);
    bool StampBlur(const CompatDab& dab);
    bool StampEraser(const CompatDab& dab);
    bool StampBlur2(const CompatDab& dab);
    bool StampAirMap(const CompatDab& dab, Plot plot, uint32_t colour);
    bool StampRubPen(const CompatDab& dab);

    // Engine 1's density: opacity x (pressure with pressure-to-density).
    float Density(const CompatDab& dab) const;

    // The scratch alpha of the box around (cx, cy) of radius r, cleared;
    // false when the box misses the target.
    bool BeginMask(float cx, float cy, float r);
    // A 4 x 4 sampled disc at alpha density, fading to the rim when soft.
    void MaskDisc(float cx, float cy, float r, float density, bool soft);
    // Every pixel centre closer than r: air-map entry x density.
    void MaskAirMap(float cx, float cy, float r, float density);
    // Row- or column-scanned disc: one-pixel spans per row (column), each
    // antialiased along its own axis only.
    void MaskSpanDisc(float cx, float cy, float r, bool rows);
    uint8_t* MaskRow(int32_t y) { return mask_.PixelPtr(0, y - box_.top); }
    // A row of the box's alpha through the colour chain: one colour, or
    // per-pixel colours from colourAt(x, y, count, alpha, colours), which may
    // clear alphas (nullptr: one colour).
    template <typename ColourAt>
    void ApplyMaskRow(int32_t y, Plot plot, uint32_t colour, ColourAt colourAt);
    template <typename ColourAt>
    void ApplyMask(Plot plot, uint32_t colour, ColourAt colourAt);
    void ApplyMask(Plot plot, uint32_t colour) { ApplyMask(plot, colour, nullptr); }
    void ApplyCoverage(uint8_t value);

    int engine_ = 1;
    TStroke* stroke_ = nullptr;
    CPenRender* render_ = nullptr;
    TMTC* image_ = nullptr;
    TChannel* coverage_ = nullptr;
    CompatAirMap airMap_;
    TChannel mask_;
    EdgeRect box_; // the mask's area in the target
    BlurScratch scratch_;
};

// ---- implementation

template <typename RowFn>
bool ForEachBoxBlurRow(const CBlockVMTC& store, const EdgeRect& box, int32_t L, bool protect,
                       BlurScratch& scratch, RowFn fn)
{
    const int32_t w = box.right - box.left, h = box.bottom - box.top;
    if (w <= 0 || h <= 0 || L < 0)
        return true;
    const int32_t tw = w + 2 * L, th = h + 2 * L;
    if (!GrowBlurScratch(scratch, size_t(tw) * size_t(th) + 4 * size_t(tw) + 4 * size_t(w)))
        return false;
    uint32_t* terms = scratch.data();
    uint32_t* columns = terms + size_t(tw) * th;
    uint32_t* boxes = columns + 4 * size_t(tw);
    for (int32_t j = 0; j < th; ++j)
        penstamp::ReadTermRow(store, box.left - L, box.top - L + j, tw, protect, terms + size_t(j) * tw);
    penstamp::ForEachBoxRow(terms, tw, th, L, columns, boxes,
                            [&](int32_t row, const uint32_t* sums) { fn(box.top + row, sums); });
    return true;
}

} // namespace morvane
