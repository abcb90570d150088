#include "view/ViewRender.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "document/TPaper.h"
#include "storage/BlendTables.h"
#include "storage/CScaleImage.h"
#include "storage/FixedPoint.h"

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

// Whether window column (or row) x shows a grid line of the given spacing.
// Enlarged or at 1/1, where its nearest pixel lies on a line; reduced, where
// any pixel it covers does, so no line is lost between the samples.
bool GridLineAt(int32_t x, int32_t nearest, int32_t winAnchor, int32_t docAnchor, ScaleRatio s, int32_t size,
                int32_t spacing)
{
    if (s.num >= s.den)
        return nearest % spacing == 0;
    const auto ceilPixel = [](int64_t edge) { return -FloorDiv(-edge, 65536); };
    const int64_t first = std::max<int64_t>(0, ceilPixel(SourceEdge(x, winAnchor, docAnchor, s.num, s.den)));
    const int64_t last =
        std::min<int64_t>(size - 1, ceilPixel(SourceEdge(x + 1, winAnchor, docAnchor, s.num, s.den)) - 1);
    return last >= first && FloorDiv(last, spacing) * spacing >= first;
}

// Whether the document pixels [(f - reach) >> 16, (f + reach) >> 16] of one
// axis (16.16 positions shifted by half a pixel) hold a grid line.
bool GridLineWithin(int64_t f, int64_t reach, int32_t size, int32_t spacing)
{
    const int64_t first = std::max<int64_t>(0, (f - reach) >> 16);
    const int64_t last = std::min<int64_t>(size - 1, (f + reach) >> 16);
    return last >= first && FloorDiv(last, spacing) * spacing >= first;
}

int64_t Fixed(double v)
{
    return int64_t(std::clamp(std::round(v * 65536.0), -kFixedLimit, kFixedLimit));
}

uint32_t CheckerAt(int32_t x, int32_t y)
{
    return ((x >> 3) + (y >> 3)) & 1 ? kViewCheckerLight : kViewCheckerDark;
}

// The colour blend of p over an opaque background at p's alpha: the same
// formula as BlendColour (x = s * a + d * (255 - a), then (x * 32897) >> 23),
// so the vector form below gives the same bytes.
uint32_t FlattenPixel(uint32_t p, uint32_t background)
{
    BlendColour(background, p, p >> 24);
    return background;
}

#ifdef __SSE2__
// Four pixels over one background colour.
__m128i Flatten4(__m128i p, __m128i background)
{
    const __m128i zero = _mm_setzero_si128(), k255 = _mm_set1_epi16(255), kMul = _mm_set1_epi16(short(32897));
    auto half = [&](__m128i s, __m128i d) {
        __m128i a = _mm_shufflelo_epi16(s, 0xFF);
        a = _mm_shufflehi_epi16(a, 0xFF);
        const __m128i x = _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(k255, a)));
        return _mm_srli_epi16(_mm_mulhi_epu16(x, kMul), 7);
    };
    const __m128i lo = half(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(background, zero));
    const __m128i hi = half(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(background, zero));
    return _mm_or_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(int32_t(kOpaque)));
}
#endif

// Pixels in a row one after the other.
struct Contiguous {
    const uint32_t* p;
    uint32_t operator()(int32_t i) const { return p[i]; }
#ifdef __SSE2__
    __m128i Load4(int32_t i) const { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)); }
#endif
};

// Pixels of a document row picked by a column map.
struct Mapped {
    const uint32_t* row;
    const int32_t* columns;
    uint32_t operator()(int32_t i) const { return row[columns[i]]; }
#ifdef __SSE2__
    __m128i Load4(int32_t i) const
    {
        return _mm_setr_epi32(int32_t(row[columns[i]]), int32_t(row[columns[i + 1]]), int32_t(row[columns[i + 2]]),
                              int32_t(row[columns[i + 3]]));
    }
#endif
};

// What the window shows of n gathered pixels starting at window (x0, y):
// every pixel made opaque over its background. Grey outside pixels are
// already opaque and come through as they are.
class Presenter {
public:
    explicit Presenter(const ViewSource& s)
        : opaque_(s.opaquePaper), checker_(s.checker), grid_(s.grid), gridX_(std::max(s.gridX, kMinGrid)),
          gridY_(std::max(s.gridY, kMinGrid)), gridColour_(s.gridColour)
    {
    }

    // out[i] := what the window shows of fetch(i), for n pixels from window
    // (x0, y).
    template <typename Fetch>
    void Row(uint32_t* out, int32_t n, int32_t x0, int32_t y, const Fetch& fetch) const
    {
        if (opaque_) {
            for (int32_t i = 0; i < n; ++i)
                out[i] = fetch(i) | kOpaque;
            return;
        }
        int32_t i = 0;
#ifdef __SSE2__
        // Whole groups of four share a checker cell (cells are 8 wide).
        for (; i < n && ((x0 + i) & 3) != 0; ++i)
            out[i] = FlattenPixel(fetch(i), Background(x0 + i, y));
        for (; i + 4 <= n; i += 4) {
            const __m128i bg = _mm_set1_epi32(int32_t(Background(x0 + i, y)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Flatten4(fetch.Load4(i), bg));
        }
#endif
        for (; i < n; ++i)
            out[i] = FlattenPixel(fetch(i), Background(x0 + i, y));
    }

    // Rows look alike when they show the same document row over the same
    // background.
    bool SameBackgroundRow(int32_t y0, int32_t y1) const { return opaque_ || !checker_ || (y0 >> 3) == (y1 >> 3); }

    bool Grid() const { return grid_; }
    int32_t GridX() const { return gridX_; }
    int32_t GridY() const { return gridY_; }
    void GridLine(uint32_t& p) const
    {
        BlendColour(p, gridColour_, gridColour_ >> 24);
    }

private:
    uint32_t Background(int32_t x, int32_t y) const { return checker_ ? CheckerAt(x, y) : kWhite; }

    bool opaque_, checker_, grid_;
    int32_t gridX_, gridY_;
    uint32_t gridColour_;
};

// The mean of the k x k block at (x, y), all inside the document: the same
// bytes as the area sampler gives for a box of whole pixels (its small lift
// never reaches the next integer), with the division as an exact reciprocal.
uint32_t BlockMean(const TMTC& doc, int32_t x, int32_t y, int32_t k, uint64_t reciprocal)
{
    uint32_t sum[4] = {};
    for (int32_t j = 0; j < k; ++j) {
        const uint32_t* row = doc.Row(y + j) + x;
        for (int32_t i = 0; i < k; ++i)
            for (int c = 0; c < 4; ++c)
                sum[c] += (row[i] >> (8 * c)) & 0xFF;
    }
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c)
        out |= uint32_t((sum[c] * reciprocal) >> 32) << (8 * c);
    return out;
}

struct Walk {
    const CViewState& view;
    const TMTC& doc;
    TTC& window;
    EdgeRect r;
    Presenter present;
};

// The box averages of the inside pixels of one gathered row.
class RowAverager {
public:
    RowAverager(const Walk& w, int32_t y)
        : w_(w), s_(w.view.Scale()), wa_(w.view.WindowAnchor()), da_(w.view.DocumentAnchor()), sampler_(w.doc),
          y0_(SourceEdge(y, wa_.y, da_.y, s_.num, s_.den)), y1_(SourceEdge(y + 1, wa_.y, da_.y, s_.num, s_.den)),
          reciprocal_(((uint64_t(1) << 32) + uint64_t(s_.den) * s_.den - 1) / (uint64_t(s_.den) * s_.den))
    {
    }

    uint32_t At(int32_t x, uint32_t nearest)
    {
        const int64_t x0 = SourceEdge(x, wa_.x, da_.x, s_.num, s_.den);
        const int64_t x1 = SourceEdge(x + 1, wa_.x, da_.x, s_.num, s_.den);
        // Scales 1/k put every box on whole pixels.
        if (s_.num == 1 && x0 >= 0 && y0_ >= 0 && x1 <= (int64_t(w_.doc.Width) << 16) &&
            y1_ <= (int64_t(w_.doc.Height) << 16))
            return BlockMean(w_.doc, int32_t(x0 >> 16), int32_t(y0_ >> 16), s_.den, reciprocal_);
        // A box with nothing of the document left keeps the nearest pixel.
        return sampler_.ClippedAreaSample(0, 0, x0, y0_, x1, y1_) ? sampler_.Result : nearest;
    }

private:
    const Walk& w_;
    ScaleRatio s_;
    Point wa_, da_;
    CScaleImageSample sampler_;
    int64_t y0_, y1_;
    uint64_t reciprocal_;
};

void RenderUnrotated(const Walk& w, bool areaAverage)
{
    const ScaleRatio s = w.view.Scale();
    const Point wa = w.view.WindowAnchor(), da = w.view.DocumentAnchor();
    const int32_t left = w.r.left, n = w.r.right - w.r.left;
    std::vector<int32_t> columns(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        columns[size_t(i)] = NearestSource(left + i, wa.x, da.x, s.num, s.den, w.doc.Width);
    // The map rises with x, so the document shows in one run [first, last).
    const auto inside = [](int32_t c) { return c >= 0; };
    const int32_t first = int32_t(std::find_if(columns.begin(), columns.end(), inside) - columns.begin());
    const int32_t last = int32_t(std::find_if(columns.rbegin(), columns.rend(), inside).base() - columns.begin());
    const int32_t shown = std::max(0, last - first);
    const int32_t* map = columns.data() + first;
    const bool unit = s.num == s.den;
    areaAverage = areaAverage && s.num < s.den;
    std::vector<uint8_t> gridColumns;
    if (w.present.Grid())
        for (int32_t i = 0; i < shown; ++i)
            gridColumns.push_back(GridLineAt(left + first + i, map[i], wa.x, da.x, s, w.doc.Width, w.present.GridX()));
    int32_t previous = -1;
    for (int32_t y = w.r.top; y < w.r.bottom; ++y) {
        uint32_t* out = w.window.Row(y) + left;
        const int32_t sy = NearestSource(y, wa.y, da.y, s.num, s.den, w.doc.Height);
        if (sy < 0 || shown == 0) {
            std::fill(out, out + n, kViewOutside);
        } else if (sy == previous && w.present.SameBackgroundRow(y - 1, y)) {
            // Enlarged rows repeat the row above.
            std::copy(w.window.Row(y - 1) + left, w.window.Row(y - 1) + left + n, out);
        } else {
            std::fill(out, out + first, kViewOutside);
            std::fill(out + first + shown, out + n, kViewOutside);
            const uint32_t* in = w.doc.Row(sy);
            uint32_t* run = out + first;
            if (areaAverage) {
                RowAverager average(w, y);
                for (int32_t i = 0; i < shown; ++i)
                    run[i] = average.At(left + first + i, in[map[i]]);
                w.present.Row(run, shown, left + first, y, Contiguous{run});
            } else if (unit) {
                w.present.Row(run, shown, left + first, y, Contiguous{in + map[0]});
            } else {
                w.present.Row(run, shown, left + first, y, Mapped{in, map});
            }
            if (w.present.Grid()) {
                const bool rowLine = GridLineAt(y, sy, wa.y, da.y, s, w.doc.Height, w.present.GridY());
                for (int32_t i = 0; i < shown; ++i)
                    if (rowLine || gridColumns[size_t(i)])
                        w.present.GridLine(run[i]);
            }
        }
        previous = sy;
    }
}

void RenderRotated(const Walk& w)
{
    const double s = w.view.ScaleValue(), c = w.view.Cos(), n = w.view.Sin();
    const DocPoint centre = w.view.RotationCentre();
    const int32_t halfW = w.view.ClientWidth() / 2, halfH = w.view.ClientHeight() / 2;
    const int64_t stepX = Fixed(c / s), stepY = Fixed(n / s);
    const uint32_t docW = uint32_t(w.doc.Width), docH = uint32_t(w.doc.Height);
    const int32_t left = w.r.left, count = w.r.right - w.r.left;
    // Reduced, a window pixel stands for a square of 1/s document pixels: it
    // shows a line that crosses the square, so no line falls between the
    // samples (the band is 1 + s window pixels wide whatever the angle).
    // Enlarged or at 1/1 it shows its nearest pixel's line.
    const int64_t reach = s < 1.0 ? Fixed(0.5 / s) : 0;
    // Calls visit(i, fx, fy) with the 16.16 positions (nearest pixel:
    // fx >> 16, fy >> 16) of the row's pixels inside the document and
    // outside(i) for the others.
    auto walkRow = [&](int32_t y, auto&& visit, auto&& outside) {
        const double d = (left - halfW) / s, e = (y - halfH) / s;
        // Half a pixel added, so the shifts below give the nearest pixel.
        int64_t fx = Fixed(centre.x + 0.5 + c * d - n * e), fy = Fixed(centre.y + 0.5 + n * d + c * e);
        for (int32_t i = 0; i < count; ++i, fx += stepX, fy += stepY) {
            if (uint64_t(fx >> 16) >= docW || uint64_t(fy >> 16) >= docH)
                outside(i);
            else
                visit(i, fx, fy);
        }
    };
    for (int32_t y = w.r.top; y < w.r.bottom; ++y) {
        uint32_t* out = w.window.Row(y) + left;
        walkRow(
            y,
            [&](int32_t i, int64_t fx, int64_t fy) {
                out[i] = w.doc.GetPixel(int32_t(fx >> 16), int32_t(fy >> 16));
            },
            [&](int32_t i) { out[i] = kViewOutside; });
        w.present.Row(out, count, left, y, Contiguous{out});
        if (w.present.Grid())
            walkRow(
                y,
                [&](int32_t i, int64_t fx, int64_t fy) {
                    if (GridLineWithin(fx, reach, w.doc.Width, w.present.GridX()) ||
                        GridLineWithin(fy, reach, w.doc.Height, w.present.GridY()))
                        w.present.GridLine(out[i]);
                },
                [](int32_t) {});
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
