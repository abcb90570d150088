#include "view/OutlineDraw.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {
constexpr uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu;
// Window coordinates beyond this are taken as unusable.
constexpr double kFar = 1e8;

DocPoint ToWindow(const CViewState& view, DocPoint edge)
{
    // The corner (x, y) of a pixel lies half a pixel before its centre.
    return view.DocumentToWindow({edge.x - 0.5, edge.y - 0.5});
}

bool Usable(DocPoint p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < kFar && std::fabs(p.y) < kFar;
}

// Cuts the segment a-b to the box (Liang-Barsky); false when it misses.
bool ClipSegment(DocPoint& a, DocPoint& b, double l, double t, double r, double bottom)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy}, q[4] = {a.x - l, r - a.x, a.y - t, bottom - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double u = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, u);
        else
            t1 = std::min(t1, u);
        if (t0 > t1)
            return false;
    }
    b = {a.x + t1 * dx, a.y + t1 * dy};
    a = {a.x + t0 * dx, a.y + t0 * dy};
    return true;
}
} // namespace

int64_t DrawOutline(std::span<const DocPoint> points, bool closed, uint8_t phase, const CViewState& view,
                    TMTC& target, const EdgeRect& clip)
{
    EdgeRect c;
    if (points.empty() || !Intersect(clip, {0, 0, target.Width, target.Height}, c))
        return 0;
    int64_t drawn = 0;
    const auto plot = [&](int64_t x, int64_t y) {
        if (x < c.left || x >= c.right || y < c.top || y >= c.bottom)
            return;
        const bool black = (phase >> (7 - int((x + y) & 7))) & 1;
        *target.PixelPtr(int32_t(x), int32_t(y)) = black ? kBlack : kWhite;
        ++drawn;
    };
    const size_t n = points.size();
    const size_t segments = closed || n == 1 ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        DocPoint a = ToWindow(view, points[i]), b = ToWindow(view, points[(i + 1) % n]);
        if (!Usable(a) || !Usable(b) ||
            !ClipSegment(a, b, c.left - 1.0, c.top - 1.0, double(c.right), double(c.bottom)))
            continue;
        const double dx = b.x - a.x, dy = b.y - a.y;
        const int64_t steps = int64_t(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
        for (int64_t s = 0; s <= steps; ++s) {
            const double f = steps ? double(s) / double(steps) : 0.0;
            plot(int64_t(std::floor(a.x + f * dx + 0.5)), int64_t(std::floor(a.y + f * dy + 0.5)));
        }
    }
    return drawn;
}

EdgeRect OutlineBox(std::span<const DocPoint> points, const CViewState& view)
{
    double l = kFar, t = kFar, r = -kFar, b = -kFar;
    for (const DocPoint& p : points) {
        const DocPoint w = ToWindow(view, p);
        if (!Usable(w))
            continue;
        l = std::min(l, w.x), t = std::min(t, w.y), r = std::max(r, w.x), b = std::max(b, w.y);
    }
    if (l > r || t > b)
        return {};
    return {int32_t(std::floor(l)) - 1, int32_t(std::floor(t)) - 1, int32_t(std::ceil(r)) + 2,
            int32_t(std::ceil(b)) + 2};
}

} // namespace morvane
