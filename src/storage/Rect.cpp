#include "storage/Rect.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvane {

namespace {
int32_t Saturate(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t SaturateFloat(double v)
{
    if (std::isnan(v))
        return 0;
    if (v <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (v >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

// One step of the copy clip: the range [s, s + n) must lie inside [0, limit);
// a negative start shortens n and advances the other side's start d.
bool ClipStep(int64_t& s, int64_t& d, int64_t& n, int64_t limit)
{
    if (s < 0) {
        n += s;
        d -= s;
        s = 0;
    }
    if (n <= 0 || s >= limit)
        return false;
    n = std::min(n, limit - s);
    return true;
}
} // namespace

EdgeRect ToEdge(const ExtentRect& r)
{
    return {r.left, r.top, Saturate(int64_t{r.left} + r.width), Saturate(int64_t{r.top} + r.height)};
}

ExtentRect ToExtent(const EdgeRect& r)
{
    return {r.left, r.top, Saturate(int64_t{r.right} - r.left), Saturate(int64_t{r.bottom} - r.top)};
}

ExtentRect Normalised(ExtentRect r)
{
    if (r.width < 0) {
        r.left = Saturate(int64_t{r.left} + r.width);
        r.width = Saturate(-int64_t{r.width});
    }
    if (r.height < 0) {
        r.top = Saturate(int64_t{r.top} + r.height);
        r.height = Saturate(-int64_t{r.height});
    }
    return r;
}

EdgeRect EdgeFromFloat(double left, double top, double right, double bottom)
{
    return {SaturateFloat(std::floor(left)), SaturateFloat(std::floor(top)),
            SaturateFloat(std::ceil(right)), SaturateFloat(std::ceil(bottom))};
}

bool Intersect(const EdgeRect& r, const EdgeRect& bounds, EdgeRect& out)
{
    EdgeRect c{std::max(r.left, bounds.left), std::max(r.top, bounds.top),
               std::min(r.right, bounds.right), std::min(r.bottom, bounds.bottom)};
    if (c.left >= c.right || c.top >= c.bottom)
        return false;
    out = c;
    return true;
}

EdgeRect Union(const EdgeRect& a, const EdgeRect& b)
{
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top),
            std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

bool ClipToBuffer(const ExtentRect& r, int32_t width, int32_t height, EdgeRect& out)
{
    if (r.width <= 0 || r.height <= 0)
        return false;
    return Intersect(ToEdge(r), EdgeRect{0, 0, width, height}, out);
}

bool ClipCopy(const ExtentRect& src, Point dst, int32_t srcW, int32_t srcH,
              int32_t dstW, int32_t dstH, CopyRegion& out)
{
    int64_t sx = src.left, sy = src.top, dx = dst.x, dy = dst.y;
    int64_t w = src.width, h = src.height;
    // Source left and top, then target left and top.
    if (!ClipStep(sx, dx, w, srcW) || !ClipStep(sy, dy, h, srcH) ||
        !ClipStep(dx, sx, w, dstW) || !ClipStep(dy, sy, h, dstH))
        return false;
    out = {static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(dx),
           static_cast<int32_t>(dy), static_cast<int32_t>(w), static_cast<int32_t>(h)};
    return true;
}

} // namespace morvane
