#include "view/BrushGhost.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "paint/TPaintParam.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr int kMarkArm = 4;
constexpr double kRadians = std::numbers::pi / 180.0;

// The nib frame into the document: across-axis squeezed by the aspect, then
// turned by the angle (y downward).
struct NibFrame {
    double cosA, sinA, aspect;
    explicit NibFrame(double aspect, double angleDegrees)
        : cosA(std::cos(angleDegrees * kRadians)), sinA(std::sin(angleDegrees * kRadians)),
          aspect(std::clamp(std::isfinite(aspect) ? aspect : 1.0, 0.01, 1.0))
    {
    }
    DocPoint operator()(double u, double v) const
    {
        v *= aspect;
        return {u * cosA - v * sinA, u * sinA + v * cosA};
    }
};

// Where the coverage crosses 128 along an edge of the marching squares.
double Cross(double c0, double c1)
{
    return c0 == c1 ? 0.5 : std::clamp((128.0 - c0) / (c1 - c0), 0.0, 1.0);
}

} // namespace

// ---- the outline ----

void BrushGhost::SetNib(const TPaintParam& param)
{
    const TPaintParamR& v = param.Settings();
    if (param.HasBitmap())
        SetBitmap(param.BitmapBits().data(), param.BitmapWidth(), param.BitmapHeight(), v.bitmapScale, v.aspect,
                  v.angle);
    else
        SetEllipse(v.radius, v.aspect, v.angle);
}

void BrushGhost::SetEllipse(double radius, double aspect, double angleDegrees)
{
    Forget();
    outline_.clear();
    if (!std::isfinite(radius) || radius <= 0)
        return;
    const NibFrame frame(aspect, std::isfinite(angleDegrees) ? angleDegrees : 0.0);
    // A chord of three pixels strays a hundredth of a pixel from a circle of
    // radius 200, and a fifth at 16x: close enough, and few points to draw.
    // A multiple of four puts a point on each tip of the axes.
    const int n = int(std::clamp(std::ceil(2 * std::numbers::pi * radius / 12), 6.0, 180.0)) * 4;
    DocPoint previous = frame(radius, 0);
    for (int i = 1; i <= n; ++i) {
        const double t = 2 * std::numbers::pi * i / n;
        const DocPoint p = frame(radius * std::cos(t), radius * std::sin(t));
        outline_.push_back({previous, p});
        previous = p;
    }
}

void BrushGhost::SetBitmap(const uint8_t* coverage, int32_t w, int32_t h, double scale, double aspect,
                           double angleDegrees)
{
    Forget();
    outline_.clear();
    if (!coverage || w < 1 || h < 1 || !std::isfinite(scale) || scale <= 0)
        return;
    const NibFrame frame(aspect, std::isfinite(angleDegrees) ? angleDegrees : 0.0);
    // Samples outside the bitmap count as empty, so the contour closes.
    const auto at = [&](int32_t x, int32_t y) -> double {
        return x < 0 || y < 0 || x >= w || y >= h ? 0.0 : coverage[size_t(y) * size_t(w) + size_t(x)];
    };
    const auto place = [&](double x, double y) { return frame((x + 0.5 - w / 2.0) * scale, (y + 0.5 - h / 2.0) * scale); };
    for (int32_t y = -1; y < h; ++y)
        for (int32_t x = -1; x < w; ++x) {
            const double c[4] = {at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)};
            const int index = (c[0] >= 128) | (c[1] >= 128) << 1 | (c[2] >= 128) << 2 | (c[3] >= 128) << 3;
            if (index == 0 || index == 15)
                continue;
            // The crossings on the four edges: top, right, bottom, left.
            const DocPoint e[4] = {place(x + Cross(c[0], c[1]), y), place(x + 1, y + Cross(c[1], c[2])),
                                   place(x + Cross(c[3], c[2]), y + 1), place(x, y + Cross(c[0], c[3]))};
            const bool cut[4] = {(c[0] >= 128) != (c[1] >= 128), (c[1] >= 128) != (c[2] >= 128),
                                 (c[3] >= 128) != (c[2] >= 128), (c[0] >= 128) != (c[3] >= 128)};
            // Two or four crossings; pair them in order around the cell.
            int found[4], n = 0;
            for (int k = 0; k < 4; ++k)
                if (cut[k])
                    found[n++] = k;
            for (int k = 0; k + 1 < n; k += 2)
                outline_.push_back({e[found[k]], e[found[k + 1]]});
        }
}

std::vector<BrushGhost::Segment> BrushGhost::OnScreen(const CViewState& view) const
{
    // The view's linear part, from where it puts the unit steps.
    const DocPoint origin = view.DocumentToWindow({0, 0}), ex = view.DocumentToWindow({1, 0}),
                   ey = view.DocumentToWindow({0, 1});
    const double ax = ex.x - origin.x, ay = ex.y - origin.y, bx = ey.x - origin.x, by = ey.y - origin.y;
    const auto map = [&](DocPoint p) { return DocPoint{p.x * ax + p.y * bx, p.x * ay + p.y * by}; };
    std::vector<Segment> out;
    out.reserve(outline_.size());
    for (const Segment& s : outline_)
        out.push_back({map(s.a), map(s.b)});
    return out;
}

double BrushGhost::ScreenRadius(const CViewState& view) const
{
    double r = 0;
    for (const Segment& s : OnScreen(view))
        r = std::max({r, std::hypot(s.a.x, s.a.y), std::hypot(s.b.x, s.b.y)});
    return r;
}

namespace {

constexpr int32_t kBandRows = 8;
// Pixels of a band closer than this share a rectangle.
constexpr int32_t kBandGap = 16;

int32_t FloorDiv(int32_t a, int32_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Whole-pixel offsets of a line from a to b (offsets from the centre's
// pixel, whose centre is at 0.5, 0.5), one a step along the major axis.
void AddLine(std::vector<int64_t>& keys, DocPoint a, DocPoint b)
{
    // Far off any window a line shows nothing (and would not fit the keys).
    constexpr double kReach = 1 << 20;
    if (!(std::abs(a.x) < kReach && std::abs(a.y) < kReach && std::abs(b.x) < kReach && std::abs(b.y) < kReach))
        return;
    const int64_t x0 = std::llround((a.x + 0.5) * 65536), y0 = std::llround((a.y + 0.5) * 65536);
    const int64_t dx = std::llround((b.x + 0.5) * 65536) - x0, dy = std::llround((b.y + 0.5) * 65536) - y0;
    const int64_t steps = (std::max(std::abs(dx), std::abs(dy)) + 0xFFFF) >> 16;
    const int64_t sx = steps ? dx / steps : 0, sy = steps ? dy / steps : 0;
    const auto add = [&keys](int64_t x, int64_t y) { keys.push_back((y >> 16) * (int64_t(1) << 32) + (x >> 16)); };
    int64_t x = x0, y = y0;
    for (int64_t i = 0; i < steps; ++i, x += sx, y += sy)
        add(x, y);
    add(x0 + dx, y0 + dy);
}

Point OffsetOf(int64_t key)
{
    // key = dy * 2^32 + dx with |dx| < 2^31
    const int64_t dy = (key + (int64_t(1) << 31)) >> 32;
    return {int32_t(key - dy * (int64_t(1) << 32)), int32_t(dy)};
}

// Runs of each row, merged band by band of kBandRows rows.
std::vector<EdgeRect> BandsOf(const std::vector<Point>& offsets)
{
    std::vector<EdgeRect> bands;
    for (size_t i = 0; i < offsets.size();) {
        const int32_t y = offsets[i].y;
        EdgeRect run{offsets[i].x, y, offsets[i].x + 1, y + 1};
        for (++i; i < offsets.size() && offsets[i].y == y && offsets[i].x - run.right < kBandGap; ++i)
            run.right = offsets[i].x + 1;
        bands.push_back(run);
    }
    const auto band = [](const EdgeRect& r) { return FloorDiv(r.top, kBandRows); };
    std::stable_sort(bands.begin(), bands.end(), [&](const EdgeRect& a, const EdgeRect& b) {
        return band(a) != band(b) ? band(a) < band(b) : a.left < b.left;
    });
    std::vector<EdgeRect> merged;
    for (const EdgeRect& r : bands) {
        if (!merged.empty() && band(merged.back()) == band(r) && r.left - merged.back().right < kBandGap) {
            EdgeRect& last = merged.back();
            last.right = std::max(last.right, r.right);
            last.top = std::min(last.top, r.top);
            last.bottom = std::max(last.bottom, r.bottom);
        } else {
            merged.push_back(r);
        }
    }
    return merged;
}

EdgeRect Shifted(const EdgeRect& r, int32_t dx, int32_t dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// The pixel under a window point; false for one far off any window.
bool CentrePixel(DocPoint centre, int32_t& x, int32_t& y)
{
    constexpr double kReach = 1 << 24;
    if (!(std::abs(centre.x) < kReach && std::abs(centre.y) < kReach))
        return false;
    x = int32_t(std::floor(centre.x));
    y = int32_t(std::floor(centre.y));
    return true;
}

} // namespace

const BrushGhost::Pattern& BrushGhost::PatternFor(const CViewState& view, bool centreMark) const
{
    const DocPoint origin = view.DocumentToWindow({0, 0}), ex = view.DocumentToWindow({1, 0}),
                   ey = view.DocumentToWindow({0, 1});
    const double ax = ex.x - origin.x, ay = ex.y - origin.y, bx = ey.x - origin.x, by = ey.y - origin.y;
    Pattern& p = pattern_;
    if (p.valid && p.ax == ax && p.ay == ay && p.bx == bx && p.by == by && p.mark == centreMark)
        return p;
    p = Pattern{ax, ay, bx, by, centreMark, true, {}, {}, {}};
    std::vector<int64_t> keys;
    for (const Segment& s : OnScreen(view))
        AddLine(keys, s.a, s.b);
    if (centreMark)
        for (int d = -kMarkArm; d <= kMarkArm; ++d) {
            keys.push_back(int64_t(d));
            keys.push_back(int64_t(d) * (int64_t(1) << 32));
        }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    p.offsets.reserve(keys.size());
    for (int64_t key : keys)
        p.offsets.push_back(OffsetOf(key));
    p.bands = BandsOf(p.offsets);
    for (const EdgeRect& b : p.bands)
        p.box = p.box.IsEmpty() ? b : EdgeRect{std::min(p.box.left, b.left), std::min(p.box.top, b.top),
                                               std::max(p.box.right, b.right), std::max(p.box.bottom, b.bottom)};
    return p;
}

EdgeRect BrushGhost::Box(const CViewState& view, DocPoint centre, bool centreMark) const
{
    int32_t x = 0, y = 0;
    EdgeRect clipped;
    if (!CentrePixel(centre, x, y) ||
        !Intersect(Shifted(PatternFor(view, centreMark).box, x, y), {0, 0, view.ClientWidth(), view.ClientHeight()},
                   clipped))
        return {};
    return clipped;
}

std::vector<EdgeRect> BrushGhost::Bands(const CViewState& view, DocPoint centre, bool centreMark) const
{
    std::vector<EdgeRect> out;
    int32_t x = 0, y = 0;
    if (!CentrePixel(centre, x, y))
        return out;
    const EdgeRect client{0, 0, view.ClientWidth(), view.ClientHeight()};
    for (const EdgeRect& band : PatternFor(view, centreMark).bands) {
        EdgeRect clipped;
        if (Intersect(Shifted(band, x, y), client, clipped))
            out.push_back(clipped);
    }
    return out;
}

std::vector<EdgeRect> BrushGhost::MoveBands(const std::vector<EdgeRect>& from, const std::vector<EdgeRect>& to)
{
    // The same outline moved a little: each band meets its own again.
    std::vector<EdgeRect> out;
    const bool paired = from.size() == to.size();
    for (size_t i = 0; i < to.size(); ++i) {
        EdgeRect meet;
        if (paired && Intersect(from[i], to[i], meet))
            out.push_back({std::min(from[i].left, to[i].left), std::min(from[i].top, to[i].top),
                           std::max(from[i].right, to[i].right), std::max(from[i].bottom, to[i].bottom)});
        else
            out.push_back(to[i]);
    }
    for (size_t i = 0; i < from.size(); ++i) {
        EdgeRect meet;
        if (!(paired && Intersect(from[i], to[i], meet)))
            out.push_back(from[i]);
    }
    return out;
}

void BrushGhost::Draw(TMTC& window, const EdgeRect& clip, const CViewState& view, DocPoint centre,
                      bool centreMark) const
{
    EdgeRect area;
    int32_t x = 0, y = 0;
    if (!CentrePixel(centre, x, y) || !Intersect(clip, {0, 0, window.Width, window.Height}, area))
        return;
    const std::vector<Point>& offsets = PatternFor(view, centreMark).offsets;
    // The rows of the clip only: the offsets are in row order.
    const auto first = std::lower_bound(offsets.begin(), offsets.end(), area.top - y,
                                        [](const Point& p, int32_t row) { return p.y < row; });
    for (auto it = first; it != offsets.end() && it->y + y < area.bottom; ++it) {
        const int32_t px = it->x + x, py = it->y + y;
        if (px < area.left || px >= area.right)
            continue;
        uint32_t& p = *window.PixelPtr(px, py);
        const uint32_t luma = (p >> 16 & 0xFF) * 77 + (p >> 8 & 0xFF) * 150 + (p & 0xFF) * 29;
        p = luma >= 128 * 256 ? 0xFF000000u : 0xFFFFFFFFu;
    }
}

} // namespace morvane
