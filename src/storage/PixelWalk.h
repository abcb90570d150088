#pragma once
// Region walks shared by the buffer operations: clip once, then hand whole
// row spans to the per-row work.
#include "storage/TMTC.h"

namespace morvane {

// f(uint32_t* row, int32_t count, int32_t x, int32_t y) for every row span of
// the region; false when the region is empty after clipping.
template <typename F>
bool ForEachRowSpan(TMTC& image, const ExtentRect& rect, F&& f)
{
    EdgeRect r;
    if (!image.IsValid() || !ClipToBuffer(rect, image.Width, image.Height, r))
        return false;
    for (int32_t y = r.top; y < r.bottom; ++y)
        f(image.PixelPtr(r.left, y), r.right - r.left, r.left, y);
    return true;
}

// f(uint32_t* target, const uint32_t* source, int32_t count) for every row of a
// copy of the source region rect to the target point, clipped on both sides.
template <typename Target, typename Source, typename F>
bool ForEachRowPair(Target& target, const Source& source, Point at, const ExtentRect& rect, F&& f)
{
    CopyRegion c;
    if (!target.IsValid() || !source.IsValid() ||
        !ClipCopy(rect, at, source.Width, source.Height, target.Width, target.Height, c))
        return false;
    for (int32_t i = 0; i < c.height; ++i)
        f(target.PixelPtr(c.dstX, c.dstY + i), source.PixelPtr(c.srcX, c.srcY + i), c.width);
    return true;
}

} // namespace morvane
