#include "view/AntsDraw.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {
constexpr uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu;

struct Run {
    int32_t length;
    // One step along the run and the shift of right and bottom edges, in
    // window pixels (16.16).
    int32_t stepX, stepY;
};
} // namespace

int64_t DrawAnts(const CAntPoints& ants, const CViewState& view, TMTC& target, const EdgeRect& clip)
{
    if (!ants.HasOutline())
        return 0;
    EdgeRect c;
    if (!Intersect(clip, {0, 0, target.Width, target.Height}, c))
        return 0;
    const double zoom = view.ScaleValue();
    const int32_t length = zoom < 1.0 ? 1 : int32_t((int64_t(std::lround(zoom * 65536)) + 40960) >> 16);
    const int32_t cosF = int32_t(std::lround(view.Cos() * 65536)), sinF = int32_t(std::lround(view.Sin() * 65536));
    // Document x runs along (cos, -sin) on the window, document y along
    // (sin, cos).
    const Run alongY{length, sinF, cosF}, alongX{length, cosF, -sinF};
    const uint8_t phase = ants.Phase();
    int64_t drawn = 0;
    // The document rectangle the clip can show (its corners mapped back,
    // grown by a pixel and a run): points beyond it are skipped unmapped.
    double l = 1e18, t = 1e18, r = -1e18, b = -1e18;
    for (const DocPoint corner : {DocPoint{double(c.left), double(c.top)}, DocPoint{double(c.right), double(c.top)},
                                  DocPoint{double(c.left), double(c.bottom)},
                                  DocPoint{double(c.right), double(c.bottom)}}) {
        const DocPoint d = view.WindowToDocument(corner);
        l = std::min(l, d.x), t = std::min(t, d.y), r = std::max(r, d.x), b = std::max(b, d.y);
    }
    const double margin = 2.0 + 2.0 / std::max(zoom, 1e-3);
    l -= margin + ants.Offset.x, r += margin - ants.Offset.x, t -= margin + ants.Offset.y, b += margin - ants.Offset.y;
    // Only the rows the clip can show are visited, from the first point at
    // or right of its left edge.
    const auto draw = [&](int which, const Run& run, bool farSide, const Run& across) {
        const CPointList& list = ants.List(which);
        const int32_t shift = zoom < 1.0 ? 1 : -1;
        const auto plot = [&](Point p) {
            // The pixel corner (x - 0.5, y - 0.5) is the edge's start.
            const DocPoint w = view.DocumentToWindow({p.x + ants.Offset.x - 0.5, p.y + ants.Offset.y - 0.5});
            if (!std::isfinite(w.x) || !std::isfinite(w.y) || std::fabs(w.x) > 1e9 || std::fabs(w.y) > 1e9)
                return;
            // Window pixel centres lie on the integers: the corner is half
            // a pixel before the first pixel's centre.
            int64_t fx = std::llround((w.x + 0.5) * 65536), fy = std::llround((w.y + 0.5) * 65536);
            if (farSide)
                fx += int64_t(across.stepX) * shift, fy += int64_t(across.stepY) * shift;
            for (int32_t i = 0; i < run.length; ++i, fx += run.stepX, fy += run.stepY) {
                const int64_t x = fx >> 16, y = fy >> 16;
                if (x < c.left || x >= c.right || y < c.top || y >= c.bottom)
                    continue;
                const bool black = (phase >> (7 - int((x + y) & 7))) & 1;
                *target.PixelPtr(int32_t(x), int32_t(y)) = black ? kBlack : kWhite;
                ++drawn;
            }
        };
        const double firstRow = std::max(std::ceil(t), double(ants.FirstRow()));
        const double lastRow = std::min(std::floor(b), double(ants.LastRow()));
        for (double row = firstRow; row <= lastRow; ++row) {
            const auto y = int32_t(row);
            int64_t from = ants.RowStart(which, y);
            const int64_t to = ants.RowStart(which, y + 1);
            if (from == to)
                continue;
            for (int64_t count = to - from; count > 0;) {
                const int64_t half = count / 2;
                if (list.At(from + half).x < l)
                    from += half + 1, count -= half + 1;
                else
                    count = half;
            }
            for (; from < to; ++from) {
                const Point p = list.At(from);
                if (p.x > r)
                    break;
                plot(p);
            }
        }
    };
    draw(0, alongY, false, alongX);
    draw(1, alongY, true, alongX);
    draw(2, alongX, false, alongY);
    draw(3, alongX, true, alongY);
    return drawn;
}

} // namespace morvane
