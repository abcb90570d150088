#include "paint/CEllipseFiller.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "storage/SizeLimits.h"

namespace morvane {

bool SEllipseRows::Build(PointF p1, PointF p2, PointF p3)
{
    points.clear();
    cx = (p1.x + p2.x) / 2, cy = (p1.y + p2.y) / 2;
    const double ux = p1.x - cx, uy = p1.y - cy, vx = p3.x - cx, vy = p3.y - cy;
    const double cross = ux * vy - uy * vx;
    if ((p1.x == p2.x && p1.y == p2.y) || cross == 0 || !std::isfinite(cross))
        return false;
    const double a = uy * uy + vy * vy, b = -(ux * uy + vx * vy), c = ux * ux + vx * vx, k = cross * cross;
    const double det = a * c - b * b;
    halfHeight = std::sqrt(k * a / det);
    const double first = std::floor(cy - halfHeight), last = std::ceil(cy + halfHeight);
    // Far more rows than any store has is no shape to walk.
    if (!std::isfinite(halfHeight) || last - first > 4.0 * kMaxStoreSide)
        return false;
    try {
        for (double y = first; y <= last; y += 1.0) {
            const double d = y - cy;
            const double D = std::fabs(d) >= halfHeight ? 0.0 : a * k - det * d * d;
            if (D > 0) {
                const double r = std::sqrt(D);
                points.push_back({cx + (-b * d - r) / a, y});
                points.push_back({cx + (-b * d + r) / a, y});
            } else {
                points.push_back({cx - b * d / a, y});
            }
        }
    } catch (const std::bad_alloc&) {
        points.clear();
        return false;
    }
    return true;
}

CEllipseFiller::CEllipseFiller(int32_t layerWidth, int32_t layerHeight, bool newGeometry)
    : CFillMngr(layerWidth, layerHeight), newGeometry_(newGeometry)
{
}

bool CEllipseFiller::SetEllipse(PointF c1, PointF c2)
{
    valid_ = false;
    const double left = std::min(c1.x, c2.x), right = std::max(c1.x, c2.x);
    const double top = std::min(c1.y, c2.y), bottom = std::max(c1.y, c2.y);
    const double midX = (left + right) / 2, midY = (top + bottom) / 2;
    if (!rows_.Build({left, midY}, {right, midY}, {midX, top}))
        return false;
    double minX = rows_.points.front().x, maxX = minX;
    for (const PointF& p : rows_.points)
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    const double boxTop = rows_.cy - rows_.halfHeight, boxBottom = rows_.cy + rows_.halfHeight;
    const auto whole = [](double v) { return int32_t(std::clamp(v, -2147483648.0, 2147483647.0)); };
    slopeBox_ = {whole(std::floor(minX)), whole(std::floor(boxTop)),
                 whole(std::ceil(maxX) - std::floor(minX)), whole(std::ceil(boxBottom) - std::floor(boxTop))};
    if (!ClipBox(float(minX), float(boxTop), float(maxX), float(boxBottom)))
        return false;
    if (!newGeometry_)
        slopeBox_ = dirtyRect_;
    return true;
}

void CEllipseFiller::SetSlopes()
{
    const float a = float(slopeBox_.height) / 2.0f;
    const float b = float(row_ - slopeBox_.top) - a;
    const float c = a * a - b * b > 0 ? std::sqrt(a * a - b * b) : 0.1f;
    float d = b * (float(slopeBox_.width) / 2.0f) / (a * c);
    if (d == 0.0f)
        d = 0.1f;
    leftSlope_ = -d, rightSlope_ = d;
}

int32_t CEllipseFiller::Render(TChannel& target, Point origin)
{
    if (!valid_)
        return 0;
    target_ = &target;
    origin_ = origin;
    const std::vector<PointF>& p = rows_.points;
    const size_t count = p.size();
    const double top = rows_.cy - rows_.halfHeight, bottom = rows_.cy + rows_.halfHeight;
    size_t i = 0;
    int32_t rows = 0;
    row_ = int32_t(std::floor(p[0].y));
    // Takes one row: both points when they share it, else one.
    auto take = [&](float coverage, bool pairAllowed) {
        spanLeft_ = float(p[i].x);
        const bool pair = pairAllowed && i + 1 < count && p[i + 1].y == p[i].y;
        spanRight_ = float(pair ? p[i + 1].x : p[i].x);
        i += pair ? 2 : 1;
        rowCoverage_ = coverage;
        SetSlopes();
        WriteSpan();
        ++row_;
        ++rows;
    };
    take(float(std::floor(top) + 1.0 - top), true);
    while (count - i > 2)
        take(1.0f, true);
    if (i < count)
        take(float(1.0 - (std::ceil(bottom) - bottom)), count - i == 2);
    return rows;
}

} // namespace morvane
