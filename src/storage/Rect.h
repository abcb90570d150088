#pragma once
// The two rectangle forms and the clipping rules every pixel operation uses.
#include <cstdint>

namespace morvane {

// left, top, width, height.
struct ExtentRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ExtentRect&) const = default;
};

// left, top, right, bottom; right and bottom exclusive.
struct EdgeRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const EdgeRect&) const = default;
    bool IsEmpty() const { return left >= right || top >= bottom; }
};

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// Extent to edge saturates at the int32 range, so hostile extents cannot wrap.
EdgeRect ToEdge(const ExtentRect& r);
ExtentRect ToExtent(const EdgeRect& r);
// A negative width moves left by the width and makes it positive; likewise height.
ExtentRect Normalised(ExtentRect r);
// Floors left and top, takes the ceiling of right and bottom (saturating; NaN gives 0).
EdgeRect EdgeFromFloat(double left, double top, double right, double bottom);

// Moves each edge of r inwards to bounds; false when nothing is left.
bool Intersect(const EdgeRect& r, const EdgeRect& bounds, EdgeRect& out);
// The smallest rectangle holding both; an empty one takes no part.
EdgeRect Union(const EdgeRect& a, const EdgeRect& b);
// Clips an extent rectangle to a buffer of width x height.
bool ClipToBuffer(const ExtentRect& r, int32_t width, int32_t height, EdgeRect& out);

// The result of clipping a copy: source origin, target origin and the size.
struct CopyRegion {
    int32_t srcX = 0, srcY = 0, dstX = 0, dstY = 0, width = 0, height = 0;
};

// Clips a copy of the source region src to the target point (dstX, dstY)
// against both buffers, in four steps (source left, source top, target left,
// target top); a negative edge shortens the extent and advances the other
// side by the same amount. False when nothing is left to copy.
bool ClipCopy(const ExtentRect& src, Point dst, int32_t srcW, int32_t srcH,
              int32_t dstW, int32_t dstH, CopyRegion& out);

} // namespace morvane
