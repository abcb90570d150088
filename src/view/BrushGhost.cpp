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

// The window pixels of the outline, each once: the colour a pixel takes
// depends on what it showed, so marking one twice would undo it.
class PixelSet {
public:
    explicit PixelSet(const EdgeRect& clip) : clip_(clip) {}
    void Add(int32_t x, int32_t y)
    {
        if (x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom)
            keys_.push_back(uint64_t(uint32_t(y)) << 32 | uint32_t(x));
    }
    // A line from a to b, one pixel a step along its major axis.
    void Line(DocPoint a, DocPoint b)
    {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const int steps = int(std::ceil(std::max(std::abs(dx), std::abs(dy))));
        if (steps > 1 << 16)
            return;
        for (int i = 0; i <= steps; ++i) {
            const double t = steps ? double(i) / steps : 0.0;
            Add(int32_t(std::floor(a.x + dx * t)), int32_t(std::floor(a.y + dy * t)));
        }
    }
    // Black over light pixels, white over dark ones.
    void Mark(TMTC& image)
    {
        std::sort(keys_.begin(), keys_.end());
        keys_.erase(std::unique(keys_.begin(), keys_.end()), keys_.end());
        for (const uint64_t key : keys_) {
            uint32_t& p = *image.PixelPtr(int32_t(uint32_t(key)), int32_t(key >> 32));
            const uint32_t luma = (p >> 16 & 0xFF) * 77 + (p >> 8 & 0xFF) * 150 + (p & 0xFF) * 29;
            p = luma >= 128 * 256 ? 0xFF000000u : 0xFFFFFFFFu;
        }
    }

private:
    EdgeRect clip_;
    std::vector<uint64_t> keys_;
};

// Where the coverage crosses 128 along an edge of the marching squares.
double Cross(double c0, double c1)
{
    return c0 == c1 ? 0.5 : std::clamp((128.0 - c0) / (c1 - c0), 0.0, 1.0);
}

} // namespace

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
    outline_.clear();
    if (!std::isfinite(radius) || radius <= 0)
        return;
    const NibFrame frame(aspect, std::isfinite(angleDegrees) ? angleDegrees : 0.0);
    // Enough points that a chord strays under a pixel at 16x.
    const int n = std::clamp(int(radius * 16.0), 24, 720);
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
    const DocPoint origin = view.DocumentToWindow({0, 0});
    const auto map = [&](DocPoint p) {
        const DocPoint w = view.DocumentToWindow(p);
        return DocPoint{w.x - origin.x, w.y - origin.y};
    };
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

EdgeRect BrushGhost::Box(const CViewState& view, DocPoint centre, bool centreMark) const
{
    if (outline_.empty() && !centreMark)
        return {};
    const double r = std::max(ScreenRadius(view), centreMark ? double(kMarkArm) : 0.0) + 2;
    if (!std::isfinite(r) || !std::isfinite(centre.x) || !std::isfinite(centre.y) || r > 1e6)
        return {};
    const EdgeRect box{int32_t(std::floor(centre.x - r)), int32_t(std::floor(centre.y - r)),
                       int32_t(std::ceil(centre.x + r)) + 1, int32_t(std::ceil(centre.y + r)) + 1};
    EdgeRect clipped;
    return Intersect(box, {0, 0, view.ClientWidth(), view.ClientHeight()}, clipped) ? clipped : EdgeRect{};
}

void BrushGhost::Draw(TMTC& window, const EdgeRect& clip, const CViewState& view, DocPoint centre,
                      bool centreMark) const
{
    EdgeRect area;
    if (!Intersect(clip, {0, 0, window.Width, window.Height}, area) || !std::isfinite(centre.x) ||
        !std::isfinite(centre.y))
        return;
    PixelSet pixels(area);
    for (const Segment& s : OnScreen(view))
        pixels.Line({centre.x + s.a.x, centre.y + s.a.y}, {centre.x + s.b.x, centre.y + s.b.y});
    if (centreMark) {
        const auto cx = int32_t(std::floor(centre.x)), cy = int32_t(std::floor(centre.y));
        for (int d = -kMarkArm; d <= kMarkArm; ++d) {
            pixels.Add(cx + d, cy);
            pixels.Add(cx, cy + d);
        }
    }
    pixels.Mark(window);
}

} // namespace morvane
