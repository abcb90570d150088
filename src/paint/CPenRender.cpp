// The pen renderer's configuration, dab set-up and per-pixel chain. The
// class stamps live in CPenRenderDraw.cpp and the files named in the header.
#include "paint/CPenRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "paint/CPenShapeObj.h"
#include "paint/PaintHooks.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "storage/BlendTables.h"
#include "storage/FixedPoint.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

// Row spans go through the chain in pieces of this many pixels, so the
// buffers live on the stack.
constexpr int32_t kSpan = CPenRender::kChainSpan;

// ceil(n / m) for n > 0, m > 0; in 32 bits when it fits, where dividing is
// cheaper (once a row for every dab).
inline int64_t CeilDiv(int64_t n, int64_t m)
{
    if (n <= INT32_MAX - m)
        return int64_t((uint32_t(n) + uint32_t(m) - 1) / uint32_t(m));
    return (n + m - 1) / m;
}

int32_t AspectPercent(const NibRecord& nib)
{
    return std::clamp(nib.aspect / 10, 1, 100);
}
int32_t AngleDegrees(const NibRecord& nib)
{
    return nib.angle / 10;
}

// ---- final writes

// BlendColour on the three colour bytes at once: each byte takes a 16-bit
// lane of a 64-bit word, where s * a + d * (255 - a) stays below 2^16, and
// floor(t / 255) = (t + 1 + (t >> 8)) >> 8 for every such t. Same bits.
constexpr uint64_t kLanes = 0x000000FF00FF00FFull;
constexpr uint64_t Spread(uint32_t p)
{
    return (p & 0xFFu) | uint64_t(p & 0xFF00u) << 8 | uint64_t(p & 0xFF0000u) << 16;
}
constexpr uint32_t Gather(uint64_t v)
{
    return uint32_t(v & 0xFFu) | (uint32_t(v >> 8) & 0xFF00u) | (uint32_t(v >> 16) & 0xFF0000u);
}
inline void BlendLanes(uint32_t& dst, uint32_t colour, uint32_t a)
{
    const uint64_t t = Spread(colour) * a + Spread(dst) * (255 - a);
    const uint64_t q = ((t + 0x0000'0001'0001'0001ull + ((t >> 8) & kLanes)) >> 8) & kLanes;
    dst = (dst & 0xFF000000u) | Gather(q);
}

// floor(x / c) = (x * ceil(2^24 / c)) >> 24 for x = a * 255, a <= c <= 255.
struct Reciprocals {
    uint32_t v[256] = {};
    constexpr Reciprocals()
    {
        for (uint32_t c = 1; c < 256; ++c)
            v[c] = ((1u << 24) + c - 1) / c;
    }
};
constexpr Reciprocals kReciprocal;

template <Plot P> struct Write;

template <> struct Write<Plot::Over> {
    static void Pixel(uint32_t& px, uint32_t colour, uint32_t a, const int32_t*)
    {
        if (a >= 255) {
            px = colour | 0xFF000000u;
            return;
        }
        const uint32_t c = px >> 24;
        if (c == 255) {
            BlendLanes(px, colour, a);
            return;
        }
        if (c == 0) { // the general case at c = 0: alpha a, exactly the colour
            px = (colour & 0x00FFFFFFu) | (a << 24);
            return;
        }
        const uint32_t covered = c + MulTable[a][255 - c]; // >= a > 0
        px = (px & 0x00FFFFFFu) | (covered << 24);
        BlendLanes(px, colour, uint32_t((uint64_t{a * 255} * kReciprocal.v[covered]) >> 24));
    }
};

template <> struct Write<Plot::Keep> {
    static void Pixel(uint32_t& px, uint32_t colour, uint32_t a, const int32_t*)
    {
        BlendLanes(px, colour, a);
    }
};

template <> struct Write<Plot::Erase> {
    static void Pixel(uint32_t& px, uint32_t, uint32_t a, const int32_t*)
    {
        const uint32_t c = px >> 24;
        px = (px & 0x00FFFFFFu) | ((c - MulTable[c][a]) << 24);
    }
};

template <> struct Write<Plot::Mix> {
    static void Pixel(uint32_t& px, uint32_t colour, uint32_t a, const int32_t*)
    {
        const uint32_t alpha = Lerp255(colour >> 24, px >> 24, a);
        px = (px & 0x00FFFFFFu) | (alpha << 24);
        if (alpha != 0)
            BlendLanes(px, colour, a);
    }
};

static_assert(CPenRender::kLightnessEntries == kLightnessCurveSize);

constexpr bool FullValueKeepsAlpha()
{
    for (uint32_t a = 0; a < 256; ++a)
        if (MulDiv255(a, 255) != a)
            return false;
    return true;
}
static_assert(FullValueKeepsAlpha());

#ifdef __SSE2__
// floor(t / 255) = (t * 0x8081) >> 23 per 16-bit lane, for every t < 2^16.
inline __m128i Div255(__m128i t)
{
    return _mm_srli_epi16(_mm_mulhi_epu16(t, _mm_set1_epi16(int16_t(0x8081))), 7);
}

// floor((s * w + d * (255 - w)) / 255) on the bytes of two pixels widened
// to 16-bit lanes, w given per lane. The sum is formed as d * 255 + (s - d) * w
// modulo 2^16, which it never leaves: one multiplication instead of two.
inline __m128i BlendWidened(__m128i d, __m128i s, __m128i w)
{
    const __m128i d255 = _mm_sub_epi16(_mm_slli_epi16(d, 8), d);
    return Div255(_mm_add_epi16(d255, _mm_mullo_epi16(_mm_sub_epi16(s, d), w)));
}

// Write<Over> on four pixels without branches: the general case's formulas
// give the others too (a = 0 keeps the pixel, an opaque target blends at a,
// a transparent one takes the colour at alpha a), and the weight
// floor(a * 255 / covered) comes from a float division, exact here since a
// quotient below 256 that is not whole lies at least 1/255 from one.
inline __m128i OverFour(__m128i px, __m128i colours, __m128i a)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c = _mm_srli_epi32(px, 24);
    const __m128i t = _mm_mullo_epi16(a, _mm_sub_epi32(_mm_set1_epi32(255), c));
    const __m128i covered = _mm_add_epi32(c, Div255(t)); // t < 2^16: the lanes' high halves stay 0
    const __m128 quotient = _mm_div_ps(_mm_mul_ps(_mm_cvtepi32_ps(a), _mm_set1_ps(255.0f)),
                                       _mm_max_ps(_mm_cvtepi32_ps(covered), _mm_set1_ps(1.0f)));
    const __m128i w = _mm_cvttps_epi32(quotient); // a = 0 (and covered = 0): 0
    const __m128i w2 = _mm_or_si128(w, _mm_slli_epi32(w, 16));
    const __m128i low = BlendWidened(_mm_unpacklo_epi8(px, zero), _mm_unpacklo_epi8(colours, zero),
                                     _mm_unpacklo_epi32(w2, w2));
    const __m128i high = BlendWidened(_mm_unpackhi_epi8(px, zero), _mm_unpackhi_epi8(colours, zero),
                                      _mm_unpackhi_epi32(w2, w2));
    const __m128i rgb = _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
    return _mm_or_si128(rgb, _mm_slli_epi32(covered, 24));
}

// The normal write dominates the pencil's rebuild: eight pixels at a time
// (one test for all their alphas being 0), then four, the rest one by one. Returns the
// number of pixels written.
template <bool PerPixel>
int32_t OverSpanWide(uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t* colours,
                     uint32_t colour)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi32(int32_t(colour));
    const auto four = [&](int32_t at, __m128i a) {
        auto* p = reinterpret_cast<__m128i*>(px + at);
        const __m128i s = PerPixel ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + at)) : one;
        _mm_storeu_si128(p, OverFour(_mm_loadu_si128(p), s, a));
    };
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, alpha + i, 8);
        if (eight == 0)
            continue;
        const __m128i a =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + i)), zero);
        four(i, _mm_unpacklo_epi16(a, zero));
        four(i + 4, _mm_unpackhi_epi16(a, zero));
    }
    // Small nibs' rows are often shorter than eight.
    if (i + 4 <= count) {
        uint32_t four_alphas;
        std::memcpy(&four_alphas, alpha + i, 4);
        if (four_alphas != 0)
            four(i, _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(four_alphas)), zero), zero));
        i += 4;
    }
    return i;
}
#else
template <bool> int32_t OverSpanWide(uint32_t*, const uint8_t*, int32_t, const uint32_t*, uint32_t)
{
    return 0;
}
#endif

// One span through a final write; colours, when given, one per pixel.
template <Plot P, bool PerPixel>
void WriteSpan(uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t* colours, uint32_t colour,
               const int32_t* table)
{
    int32_t i = 0;
    if constexpr (P == Plot::Over)
        i = OverSpanWide<PerPixel>(px, alpha, count, colours, colour);
    for (; i < count; ++i)
        if (alpha[i] != 0)
            Write<P>::Pixel(px[i], PerPixel ? colours[i] : colour, alpha[i], table);
}

// The colour conversions dominate burn and dodge: the span from the first to
// the last pixel the nib reaches converts in one pass, then blends.
template <>
void WriteSpan<Plot::Lightness, false>(uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t*,
                                       uint32_t, const int32_t* table)
{
    uint32_t lit[kSpan];
    for (int32_t start = 0; start < count; start += kSpan) {
        int32_t first = start, end = std::min(start + kSpan, count);
        while (first < end && alpha[first] == 0)
            ++first;
        while (end > first && alpha[end - 1] == 0)
            --end;
        ApplyLightnessCurve(px + first, lit, end - first, table);
        for (int32_t i = first; i < end; ++i)
            if (alpha[i] != 0)
                BlendLanes(px[i], lit[i - first], alpha[i]);
    }
}

template <>
void WriteSpan<Plot::Lightness, true>(uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t*,
                                      uint32_t colour, const int32_t* table)
{
    WriteSpan<Plot::Lightness, false>(px, alpha, count, nullptr, colour, table);
}

template <Plot P>
void WriteSpan(uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t* colours, uint32_t colour,
               const int32_t* table)
{
    if (colours)
        WriteSpan<P, true>(px, alpha, count, colours, colour, table);
    else
        WriteSpan<P, false>(px, alpha, count, colours, colour, table);
}

// alpha := alpha x modifier value / 255 over the span (MulTable's floor,
// by arithmetic so the loop vectorises); 0 outside the modifier's extent.
void ApplyModifier(const AlphaModifier& modifier, int32_t x, int32_t y, int32_t count, uint8_t* alpha)
{
    const EdgeRect extent = modifier.Extent();
    const int32_t from = std::clamp(extent.left - x, 0, count);
    const int32_t to = std::clamp(extent.right - x, from, count);
    if (y < extent.top || y >= extent.bottom || from == to) {
        std::fill_n(alpha, count, uint8_t{0});
        return;
    }
    uint8_t values[kSpan];
    modifier.Row(x + from, y, to - from, values);
    std::fill_n(alpha, from, uint8_t{0});
    for (int32_t i = from; i < to; ++i)
        alpha[i] = uint8_t(MulDiv255(values[i - from], alpha[i]));
    std::fill(alpha + to, alpha + count, uint8_t{0});
}

// Rows of a large picture lie far apart, so the next rows of a dab are
// asked for ahead of time.
constexpr int32_t kPrefetchRows = 2;
inline void PrefetchSpan(const uint32_t* px, int32_t count)
{
    for (int32_t i = 0; i < count; i += 16)
        __builtin_prefetch(px + i, 1);
    __builtin_prefetch(px + count - 1, 1);
}

bool AllZero(const uint8_t* alpha, int32_t count)
{
    return std::all_of(alpha, alpha + count, [](uint8_t a) { return a == 0; });
}

} // namespace

CPenRender::CPenRender(TStroke& stroke) : stroke(&stroke)
{
    shape.SetComputeCoverage(true);
    shape.SetUseAirMap(true);
    shape.SetUseDistance(true);
}

CPenRender::~CPenRender() = default;

TStroke& CPenRender::SetStroke(TStroke& s)
{
    TStroke& previous = *stroke;
    stroke = &s;
    return previous;
}

TPaper* CPenRender::SetPaper(TPaper* p)
{
    TPaper* previous = paper;
    paper = p;
    return previous;
}

// ---- configuration

bool CPenRender::SetThreshold(uint32_t threshold)
{
    if (threshold == aliased)
        return false;
    aliased = threshold;
    return true;
}

bool CPenRender::SetNib(const NibRecord& record)
{
    NibRecord clean = record;
    clean.Sanitize(hasBitmapNib);
    if (clean == nib)
        return false;
    nib = clean;
    return true;
}

bool CPenRender::SetMethod(const BrushMethodRecord& record, unsigned effectMask)
{
    BrushMethodRecord clean = record;
    clean.Sanitize();
    clean.effect1 = std::min<uint16_t>(clean.effect1, 100);
    if (!(effectMask & kEffect1))
        clean.effect1 = method.effect1;
    if (!(effectMask & kEffect2))
        clean.effect2 = method.effect2;
    if (!(effectMask & kEffect3))
        clean.effect3 = method.effect3;
    if (clean == method)
        return false;
    method = clean;
    return true;
}

bool CPenRender::SetAirMap(const AirMapRecord& record)
{
    AirMapRecord clean = record;
    clean.Sanitize();
    if (!airMapTable.SetAirMap(clean))
        return false;
    shape.RebuildDensity();
    return true;
}

void CPenRender::SetNibPreset(CPenShapeObj* preset, bool updateAirMap, bool updateThreshold, bool updateNib)
{
    if (preset && updateAirMap)
        SetAirMap(preset->airMap);
    if (preset && updateThreshold)
        SetThreshold(preset->aliased);
    hasBitmapNib = preset && preset->IsBitmapNib();
    bitmapNib = hasBitmapNib ? preset : nullptr;
    bitmapScale = hasBitmapNib ? preset->Scale() : 0;
    if (preset && updateNib)
        SetNib(preset->nib);
    if (hasBitmapNib)
        shape.MakeBitmap(*bitmapNib, bitmapScale * kFixedOne, AspectPercent(nib), AngleDegrees(nib), true);
}

void CPenRender::SetColours(uint32_t main, uint32_t second)
{
    colors = {main, second};
}

// ---- sizes

// A bitmap nib's preset is rescaled by every dab; the sizes of a stroke
// come from the scale it had when the stroke began.
float CPenRender::CurrentRadius() const
{
    return hasBitmapNib ? float(bitmapScale) : float(nib.radius) / 100.0f;
}

float CPenRender::MinRadius(float nominal) const
{
    const float fraction = float(nib.minRadius) / 1000.0f;
    if (!hasBitmapNib)
        return fraction * nominal;
    const float smallest = float(bitmapNib->ScaleMin());
    return smallest + fraction * (float(bitmapScale) - smallest);
}

float CPenRender::DabInterval(float spacing, float radius) const
{
    if (!hasBitmapNib)
        return spacing * radius;
    return spacing * float(bitmapNib->BitmapMaxSide()) * radius * 0.01f;
}

Point CPenRender::DabExtent(float radius) const
{
    if (!hasBitmapNib) {
        const int32_t r = truncSat(std::ceil(double(radius)));
        return {r, r};
    }
    const TChannel& bitmap = *bitmapNib->Bitmap();
    return {truncSat(std::ceil(double(bitmap.Width) * radius * 0.005)),
            truncSat(std::ceil(double(bitmap.Height) * radius * 0.005))};
}

// ---- stroke

void CPenRender::SelectChain(const PenStrokeSetup& setup)
{
    chain_ = {};
    chain_.mask = setup.mask;
    chain_.tone = stroke->UseTone() ? setup.tone : nullptr;
    chain_.gradation = stroke->UseGradation() ? setup.gradation : nullptr;
    chain_.plot = stroke->ProtectAlpha() || setup.oldestEngine ? Plot::Keep : Plot::Over;
    coverageChain_ = {setup.mask, chain_.tone, nullptr, Plot::Over};
}

void CPenRender::PrepareChain(const PenStrokeSetup& setup)
{
    colors = {stroke->color, stroke->subColor};
    backgroundColour = setup.backgroundColour;
    blurSource = setup.blurSource;
    SelectChain(setup);
}

bool CPenRender::Prepare(TMTC& image, const PenStrokeSetup& setup, float x, float y)
{
    PrepareChain(setup);
    hasBitmapNib = bitmapNib && bitmapNib->IsBitmapNib();
    bitmapScale = hasBitmapNib ? bitmapNib->Scale() : 0;
    strokeReach = LargestDabReach();
    switch (RenderClass(method.renderClass)) {
    case RenderClass::Watercolour:
        strokeReady_ = PrepareWatercolour(image, x, y);
        break;
    case RenderClass::Blur:
        strokeReady_ = PrepareBlur();
        break;
    case RenderClass::Spread:
    case RenderClass::Fingertip:
        strokeReady_ = PrepareSmudge(image, x, y);
        break;
    case RenderClass::BurnDodge:
        BuildLightnessTable();
        strokeReady_ = true;
        break;
    case RenderClass::Draw:
    case RenderClass::Erase:
        strokeReady_ = true;
        break;
    default:
        Diagnose("pen: unknown render class " + std::to_string(method.renderClass));
        strokeReady_ = false;
    }
    return strokeReady_;
}

void CPenRender::EndStroke()
{
    if (hasBitmapNib && bitmapNib->Scale() != bitmapScale)
        bitmapNib->SetScale(bitmapScale);
}

bool CPenRender::Stamp(TMTC& image, TChannel& coverage, const PenDab& dab)
{
    if (RenderClass(method.renderClass) == RenderClass::Draw && method.pencil)
        return StampCoverage(coverage, dab);
    return StampImage(image, dab);
}

bool CPenRender::StampImage(TMTC& image, const PenDab& dab)
{
    if (!strokeReady_ || !SetupDab(dab, image.Width, image.Height, method.exact, spanAcross != 0))
        return false;
    switch (RenderClass(method.renderClass)) {
    case RenderClass::Draw:
        return StampDraw(image);
    case RenderClass::Watercolour:
        return StampWatercolour(image, dab);
    case RenderClass::Blur:
        return StampBlur(image);
    case RenderClass::Erase:
        return StampErase(image);
    case RenderClass::Spread:
        return StampSpread(image);
    case RenderClass::Fingertip:
        return StampFingertip(image);
    case RenderClass::BurnDodge:
        return StampBurnDodge(image);
    }
    return false;
}

// ---- dab set-up

bool CPenRender::SetupDab(const PenDab& dab, int32_t width, int32_t height, bool exact, bool yMajor)
{
    dabLeft = dabTop = dabRight = dabBottom = 0;
    if (!(dab.density > 0) || !std::isfinite(dab.radius) || !CoordinateInReach(dab.x, width) ||
        !CoordinateInReach(dab.y, height))
        return false;
    dabX = roundSat(double(dab.x) * kFixedOne);
    dabY = roundSat(double(dab.y) * kFixedOne);
    dabDensity = roundSat(double(std::min(dab.density, 1.0f)) * kFixedOne);
    dabColor = dab.colour;
    if (dabDensity <= 0 || !MakeNib(dab.radius, exact, yMajor))
        return false;

    const int64_t left = (int64_t{dabX} - dabRadiusX) >> 16;
    const int64_t top = (int64_t{dabY} - dabRadiusY) >> 16;
    const int64_t right = (int64_t{dabX} + dabRadiusX + 0xFFFF) >> 16;
    const int64_t bottom = (int64_t{dabY} + dabRadiusY + 0xFFFF) >> 16;
    dabLeft = int32_t(std::clamp<int64_t>(left, 0, width));
    dabTop = int32_t(std::clamp<int64_t>(top, 0, height));
    dabRight = int32_t(std::clamp<int64_t>(right, dabLeft, width));
    dabBottom = int32_t(std::clamp<int64_t>(bottom, dabTop, height));
    clipDX = int32_t(dabLeft - left);
    clipDY = int32_t(dabTop - top);
    return dabLeft < dabRight && dabTop < dabBottom;
}

bool CPenRender::MakeNib(float radius, bool exact, bool yMajor)
{
    if (hasBitmapNib)
        return MakeBitmapNib(radius);
    const int32_t r = RoundNibRadius(radius);
    dabRadiusX = dabRadiusY = r;
    const int32_t aspect = AspectPercent(nib);
    const int32_t angle = AngleDegrees(nib);
    if (exact) {
        const int32_t fx = dabX & 0xFFFF, fy = dabY & 0xFFFF;
        return aspect == 100 ? shape.RenderExactRound(fx, fy, yMajor, r)
                             : shape.RenderExactEllipse(fx, fy, yMajor, r, angle, aspect);
    }
    return aspect == 100 ? shape.MakeRound(r) : shape.MakeEllipse(r, aspect, angle);
}

bool CPenRender::MakeBitmapNib(float radius)
{
    CPenShapeObj& item = *bitmapNib;
    const int32_t scale = std::clamp(roundSat(radius), item.ScaleMin(), item.ScaleMax());
    item.SetScale(scale); // refused when unchanged
    if (!shape.MakeBitmap(item, item.Scale() * kFixedOne, AspectPercent(nib), AngleDegrees(nib), false))
        return false;
    const Point reach = GridReach();
    dabRadiusX = reach.x;
    dabRadiusY = reach.y;
    return true;
}

int32_t CPenRender::RoundNibRadius(float radius)
{
    return roundSat(double(std::max(radius, 0.1f)) * kFixedOne);
}

Point CPenRender::GridReach() const
{
    // The box around the centre that holds the whole grid.
    const NibGrid& grid = *shape.Grid();
    return {std::max(grid.centreX, grid.boxW * kFixedOne - grid.centreX),
            std::max(grid.centreY, grid.boxH * kFixedOne - grid.centreY)};
}

int32_t CPenRender::LargestDabReach()
{
    // No dab of a stroke is larger than the nib's radius (a bitmap nib:
    // its scale at the start), pressure only shrinks it.
    if (!hasBitmapNib)
        return RoundNibRadius(CurrentRadius());
    if (!shape.MakeBitmap(*bitmapNib, bitmapScale * kFixedOne, AspectPercent(nib), AngleDegrees(nib), false))
        return 0;
    const Point reach = GridReach();
    return std::max(reach.x, reach.y);
}

// ---- the chain

void CPenRender::NibRow(int32_t x, int32_t y, int32_t count, uint8_t* alpha) const
{
    const NibGrid* grid = shape.Grid();
    const int64_t m = grid->oversample;
    const int64_t row = ((int64_t{y} * kFixedOne - dabY + 0x8000 + grid->centreY) * m) >> 16;
    const int64_t col0 = ((int64_t{x} * kFixedOne - dabX + 0x8000 + grid->centreX) * m) >> 16;
    // Pixels first .. last - 1 fall on grid columns; the rest read 0.
    int64_t first = 0, last = 0;
    if (row >= 0 && row < grid->gridH) {
        first = col0 >= 0 ? 0 : CeilDiv(-col0, m);
        last = grid->gridW > col0 ? CeilDiv(grid->gridW - col0, m) : 0;
    }
    first = std::min<int64_t>(first, count);
    last = std::clamp<int64_t>(last, first, count);
    std::fill(alpha, alpha + first, uint8_t{0});
    std::fill(alpha + last, alpha + count, uint8_t{0});

    // alpha = ((v x density) >> 16) >> 16 reaches 2^40; split v into its
    // high and low 16 bits, each product fits 32 bits and the floors agree.
    const int32_t* densities = grid->density + row * grid->gridW + col0;
    const uint32_t density = uint32_t(dabDensity);
    if (aliased != 0) {
        const uint8_t hard = uint8_t(std::min<uint32_t>((0xFFu * density) >> 16, 255));
        for (int64_t i = first; i < last; ++i)
            alpha[i] = uint32_t(densities[i * m]) < aliased ? 0 : hard;
        return;
    }
    const auto byte = [density](uint32_t v) {
        return uint8_t(
            std::min<uint32_t>(((v >> 16) * density + (((v & 0xFFFFu) * density) >> 16)) >> 16, 255));
    };
    if (m == 1 && density == kFixedOne) {
        for (int64_t i = first; i < last; ++i)
            alpha[i] = uint8_t(std::min<uint32_t>(uint32_t(densities[i]) >> 16, 255));
    } else if (m == 1) {
        for (int64_t i = first; i < last; ++i)
            alpha[i] = byte(uint32_t(densities[i]));
    } else {
        for (int64_t i = first; i < last; ++i)
            alpha[i] = byte(uint32_t(densities[i * m]));
    }
}

void CPenRender::ApplyModifiers(int32_t x, int32_t y, int32_t count, uint8_t* alpha, const uint32_t*& colours,
                                uint32_t* shades) const
{
    if (chain_.mask)
        ApplyModifier(*chain_.mask, x, y, count, alpha);
    if (chain_.tone)
        ApplyModifier(*chain_.tone, x, y, count, alpha);
    if (chain_.gradation && !AllZero(alpha, count)) {
        chain_.gradation->Row(x, y, count, shades);
        for (int32_t i = 0; i < count; ++i)
            alpha[i] = uint8_t(MulDiv255(alpha[i], shades[i] >> 24));
        colours = shades;
    }
}

void CPenRender::Write(Plot plot, uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t* colours,
                       uint32_t colour) const
{
    const int32_t* table = lightnessTable.data();
    switch (plot) {
    case Plot::Over: return WriteSpan<Plot::Over>(px, alpha, count, colours, colour, table);
    case Plot::Keep: return WriteSpan<Plot::Keep>(px, alpha, count, colours, colour, table);
    case Plot::Erase: return WriteSpan<Plot::Erase>(px, alpha, count, colours, colour, table);
    case Plot::Mix: return WriteSpan<Plot::Mix>(px, alpha, count, colours, colour, table);
    case Plot::Lightness:
        if (!lightnessTable.empty())
            WriteSpan<Plot::Lightness>(px, alpha, count, colours, colour, table);
        return;
    }
}

void CPenRender::ChainRow(TMTC& image, int32_t x, int32_t y, int32_t count, uint8_t* alpha,
                          const uint32_t* colours, uint32_t colour, Plot plot) const
{
    uint32_t shades[kSpan];
    ApplyModifiers(x, y, count, alpha, colours, shades);
    Write(plot, image.PixelPtr(x, y), alpha, count, colours, colour);
}

void CPenRender::ChainRow(TMTC& image, int32_t x, int32_t y, int32_t count, uint8_t* alpha, uint32_t colour) const
{
    ChainRow(image, x, y, count, alpha, nullptr, colour, chain_.plot);
}

void CPenRender::WriteRow(TMTC& image, int32_t x, int32_t y, int32_t count, const uint8_t* alpha,
                          const uint32_t* colours) const
{
    Write(chain_.plot, image.PixelPtr(x, y), alpha, count, colours, 0);
}

void CPenRender::WriteRow(TMTC& image, int32_t x, int32_t y, int32_t count, const uint8_t* alpha,
                          const uint32_t* colours, Plot plot) const
{
    Write(plot, image.PixelPtr(x, y), alpha, count, colours, 0);
}

void CPenRender::CoverageRow(TChannel& coverage, int32_t x, int32_t y, int32_t count, uint8_t* alpha,
                             uint8_t value) const
{
    if (coverageChain_.mask)
        ApplyModifier(*coverageChain_.mask, x, y, count, alpha);
    if (coverageChain_.tone)
        ApplyModifier(*coverageChain_.tone, x, y, count, alpha);
    uint8_t* px = coverage.PixelPtr(x, y);
    for (int32_t i = 0; i < count; ++i)
        px[i] = std::max<uint8_t>(px[i], uint8_t(MulDiv255(alpha[i], value)));
}

template <Plot P, bool Modified> void CPenRender::PaintWith(TMTC& image, uint32_t colour) const
{
    uint8_t alpha[kSpan];
    uint32_t shades[Modified ? kSpan : 1];
    const int32_t* table = lightnessTable.data();
    for (int32_t y = dabTop; y < dabBottom; ++y) {
        if (y + kPrefetchRows < dabBottom)
            PrefetchSpan(image.PixelPtr(dabLeft, y + kPrefetchRows), dabRight - dabLeft);
        for (int32_t x = dabLeft; x < dabRight; x += kSpan) {
            const int32_t count = std::min(kSpan, dabRight - x);
            NibRow(x, y, count, alpha);
            if (AllZero(alpha, count))
                continue;
            const uint32_t* colours = nullptr;
            if constexpr (Modified)
                ApplyModifiers(x, y, count, alpha, colours, shades);
            WriteSpan<P>(image.PixelPtr(x, y), alpha, count, colours, colour, table);
        }
    }
}

void CPenRender::Paint(TMTC& image, uint32_t colour, Plot plot) const
{
    const bool modified = chain_.HasModifiers();
    const auto paint = [&]<Plot P>() {
        if (modified)
            PaintWith<P, true>(image, colour);
        else
            PaintWith<P, false>(image, colour);
    };
    switch (plot) {
    case Plot::Over:
        return paint.template operator()<Plot::Over>();
    case Plot::Keep:
        return paint.template operator()<Plot::Keep>();
    case Plot::Erase:
        return paint.template operator()<Plot::Erase>();
    case Plot::Mix:
        return paint.template operator()<Plot::Mix>();
    case Plot::Lightness:
        if (!lightnessTable.empty())
            paint.template operator()<Plot::Lightness>();
        return;
    }
}

void CPenRender::PaintCoverage(TChannel& coverage, uint8_t value) const
{
    // Full value and no modifier: alpha x 255 / 255 is alpha, the maximum alone.
    const bool plain = value == 255 && !coverageChain_.mask && !coverageChain_.tone;
    uint8_t alpha[kSpan];
    for (int32_t y = dabTop; y < dabBottom; ++y)
        for (int32_t x = dabLeft; x < dabRight; x += kSpan) {
            const int32_t count = std::min(kSpan, dabRight - x);
            NibRow(x, y, count, alpha);
            if (!plain) {
                CoverageRow(coverage, x, y, count, alpha, value);
                continue;
            }
            uint8_t* px = coverage.PixelPtr(x, y);
            for (int32_t i = 0; i < count; ++i)
                px[i] = std::max(px[i], alpha[i]);
        }
}

} // namespace morvane
