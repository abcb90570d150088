#include "view/ViewRender.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "document/TPaper.h"
#include "storage/BlendTables.h"
#include "storage/FixedPoint.h"
#include "view/CScaleImage.h"

namespace morvane {

namespace {
constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int32_t kMinGrid = 2;
// Start positions of the rotated walk are kept where a row of steps cannot
// overflow 64 bits whatever the rotation centre holds.
constexpr double kFixedLimit = double(int64_t(1) << 60);

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The document column (or row) whose pixel is nearest to the centre of window
// column x; -1 when it lies outside the document. Exact integer arithmetic, so
// wide windows at 1/16 cannot wrap.
int32_t NearestSource(int32_t x, int32_t winAnchor, int32_t docAnchor, int64_t num, int64_t den, int32_t size)
{
    const int64_t v = FloorDiv((2 * (int64_t(x) - winAnchor) + 1) * den, 2 * num) + docAnchor;
    return v >= 0 && v < size ? int32_t(v) : -1;
}

// The document edge position of window edge x, as 16.16. Only asked for
// columns whose nearest pixel lies inside the document, so it stays small.
int64_t SourceEdge(int32_t x, int32_t winAnchor, int32_t docAnchor, int64_t num, int64_t den)
{
    const int64_t a = (int64_t(x) - winAnchor) * den;
    const int64_t q = FloorDiv(a, num);
    return (q + docAnchor) * 65536 + FloorDiv((a - q * num) * 65536, num);
}

int64_t Fixed(double v)
{
    return int64_t(std::clamp(std::round(v * 65536.0), -kFixedLimit, kFixedLimit));
}

// Turns a composite pixel into what the window shows.
class Presenter {
public:
    explicit Presenter(const ViewSource& s)
        : opaque_(s.opaquePaper), checker_(s.checker), grid_(s.grid), gridX_(std::max(s.gridX, kMinGrid)),
          gridY_(std::max(s.gridY, kMinGrid)), gridColour_(s.gridColour)
    {
    }

    uint32_t operator()(uint32_t p, int32_t x, int32_t y, int32_t sx, int32_t sy) const
    {
        if (opaque_) {
            p |= kOpaque;
        } else if ((p >> 24) != 255) {
            uint32_t background = checker_ ? Checker(x, y) : kWhite;
            BlendColour(background, p, p >> 24);
            p = background;
        }
        if (grid_ && (sx % gridX_ == 0 || sy % gridY_ == 0))
            BlendColour(p, gridColour_, gridColour_ >> 24);
        return p;
    }

    static uint32_t Checker(int32_t x, int32_t y) { return ((x >> 3) + (y >> 3)) & 1 ? kViewCheckerLight : kViewCheckerDark; }

private:
    bool opaque_, checker_, grid_;
    int32_t gridX_, gridY_;
    uint32_t gridColour_;
};

// A one-pixel destination for the area sampler: the box average of the
// composite lands in Result.
class CScaleImageSample : public CScaleImage32 {
public:
    explicit CScaleImageSample(const TMTC& source) : CScaleImage32(source.Width, source.Height, 1, 1), source_(source) {}
    uint32_t Result = 0;

protected:
    const uint8_t* SourcePixel(int32_t x, int32_t y) override
    {
        return reinterpret_cast<const uint8_t*>(source_.PixelPtr(x, y));
    }
    uint8_t* DestPixel(int32_t, int32_t) override { return reinterpret_cast<uint8_t*>(&Result); }

private:
    const TMTC& source_;
};

struct Walk {
    const CViewState& view;
    const TMTC& doc;
    TTC& window;
    EdgeRect r;
    Presenter present;
};

void RenderUnrotated(const Walk& w, bool areaAverage)
{
    const ScaleRatio s = w.view.Scale();
    const Point wa = w.view.WindowAnchor(), da = w.view.DocumentAnchor();
    std::vector<int32_t> columns(size_t(w.r.right - w.r.left));
    for (int32_t x = w.r.left; x < w.r.right; ++x)
        columns[size_t(x - w.r.left)] = NearestSource(x, wa.x, da.x, s.num, s.den, w.doc.Width);
    areaAverage = areaAverage && s.num < s.den;
    CScaleImageSample sampler(w.doc);
    for (int32_t y = w.r.top; y < w.r.bottom; ++y) {
        uint32_t* out = w.window.Row(y);
        const int32_t sy = NearestSource(y, wa.y, da.y, s.num, s.den, w.doc.Height);
        if (sy < 0) {
            std::fill(out + w.r.left, out + w.r.right, kViewOutside);
            continue;
        }
        const uint32_t* in = w.doc.Row(sy);
        const int64_t y0 = areaAverage ? SourceEdge(y, wa.y, da.y, s.num, s.den) : 0;
        const int64_t y1 = areaAverage ? SourceEdge(y + 1, wa.y, da.y, s.num, s.den) : 0;
        for (int32_t x = w.r.left; x < w.r.right; ++x) {
            const int32_t sx = columns[size_t(x - w.r.left)];
            if (sx < 0) {
                out[x] = kViewOutside;
                continue;
            }
            uint32_t p = in[sx];
            // A box with nothing of the document left keeps the nearest pixel.
            if (areaAverage && sampler.ClippedAreaSample(0, 0, SourceEdge(x, wa.x, da.x, s.num, s.den), y0,
                                                         SourceEdge(x + 1, wa.x, da.x, s.num, s.den), y1))
                p = sampler.Result;
            out[x] = w.present(p, x, y, sx, sy);
        }
    }
}

void RenderRotated(const Walk& w)
{
    const double s = w.view.ScaleValue(), c = w.view.Cos(), n = w.view.Sin();
    const DocPoint centre = w.view.RotationCentre();
    const int32_t halfW = w.view.ClientWidth() / 2, halfH = w.view.ClientHeight() / 2;
    const int64_t stepX = Fixed(c / s), stepY = Fixed(n / s);
    const uint32_t docW = uint32_t(w.doc.Width), docH = uint32_t(w.doc.Height);
    for (int32_t y = w.r.top; y < w.r.bottom; ++y) {
        uint32_t* out = w.window.Row(y);
        const double d = (w.r.left - halfW) / s, e = (y - halfH) / s;
        // Half a pixel added, so the shifts below give the nearest pixel.
        int64_t fx = Fixed(centre.x + 0.5 + c * d - n * e), fy = Fixed(centre.y + 0.5 + n * d + c * e);
        for (int32_t x = w.r.left; x < w.r.right; ++x, fx += stepX, fy += stepY) {
            const int64_t sx = fx >> 16, sy = fy >> 16;
            if (uint64_t(sx) >= docW || uint64_t(sy) >= docH)
                out[x] = kViewOutside;
            else
                out[x] = w.present(w.doc.GetPixel(int32_t(sx), int32_t(sy)), x, y, int32_t(sx), int32_t(sy));
        }
    }
}
} // namespace

ViewSource ViewSourceOf(const TPaper& paper, bool areaAverage)
{
    ViewSource s;
    s.composite = &paper.Composite();
    s.opaquePaper = paper.OpaquePaper;
    s.checker = paper.CheckerTransparency;
    s.areaAverage = areaAverage;
    s.grid = paper.GridOn;
    s.gridX = paper.GridX;
    s.gridY = paper.GridY;
    s.gridColour = paper.GridColour;
    return s;
}

bool RenderView(const CViewState& view, const ViewSource& source, TTC& window, const EdgeRect& invalid)
{
    const int32_t w = view.ClientWidth(), h = view.ClientHeight();
    if (w <= 0 || h <= 0 || !source.composite || !source.composite->IsValid())
        return false;
    EdgeRect r;
    if (!Intersect(invalid, {0, 0, w, h}, r))
        return false;
    try {
        if ((window.Width != w || window.Height != h || !window.IsValid()) && !window.Resize(w, h))
            return false;
        const Walk walk{view, *source.composite, window, r, Presenter(source)};
        if (view.Rotated())
            RenderRotated(walk);
        else
            RenderUnrotated(walk, source.areaAverage);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace morvane
