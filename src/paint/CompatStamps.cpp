#include "paint/CompatStamps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "paint/CPenTC.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr int32_t kSpan = CPenRender::kChainSpan;
// Watercolour lays thin paint.
constexpr float kWatercolourDensity = 0.35f;
// 32-bit discs sample 4 x 4 points a pixel.
constexpr int32_t kDiscSubPixels = 4;
constexpr uint32_t kDiscSamples = kDiscSubPixels * kDiscSubPixels;

int32_t Fixed(float v)
{
    return roundSat(double(v) * kFixedOne);
}

int32_t RoundedEffect(const TStroke& stroke, int effect)
{
    return truncSat(stroke.Effect(effect) + 0.5f);
}

uint8_t ByteOf(float unit)
{
    return uint8_t(std::clamp(truncSat(unit * 255.0f), 0, 255));
}

} // namespace

// ---- the chain

template <typename ColourAt>
void CompatStamper::ApplyMaskRow(int32_t y, Plot plot, uint32_t colour, ColourAt colourAt)
{
    uint8_t alpha[kSpan];
    uint32_t colours[kSpan];
    for (int32_t x = box_.left; x < box_.right; x += kSpan) {
        const int32_t n = std::min(kSpan, box_.right - x);
        const uint8_t* m = MaskRow(y) + (x - box_.left);
        if (std::all_of(m, m + n, [](uint8_t a) { return a == 0; }))
            continue;
        std::copy_n(m, n, alpha);
        const uint32_t* perPixel = nullptr;
        if constexpr (!std::is_null_pointer_v<ColourAt>) {
            colourAt(x, y, n, alpha, colours);
            perPixel = colours;
        }
        render_->ChainRow(*image_, x, y, n, alpha, perPixel, colour, plot);
    }
}

template <typename ColourAt>
void CompatStamper::ApplyMask(Plot plot, uint32_t colour, ColourAt colourAt)
{
    for (int32_t y = box_.top; y < box_.bottom; ++y)
        ApplyMaskRow(y, plot, colour, colourAt);
}

// ---- stroke start

bool CompatStamper::Prepare(int engine, TStroke& stroke, CPenRender& render, TFlowImage& flow, float x, float y)
{
    engine_ = engine;
    stroke_ = &stroke;
    render_ = &render;
    image_ = &flow.Image();
    coverage_ = &flow.Coverage();
    if (!image_->IsValid() || !coverage_->IsValid())
        return false;
    airMap_.Select(stroke.AirMap());
    if (!airMap_.IsValid())
        return false;
    switch (stroke.Method()) {
    case StrokeMethod::Darken:
    case StrokeMethod::Lighten:
        render.PrepareLightness(RoundedEffect(stroke, 1), stroke.Method() == StrokeMethod::Lighten);
        return true;
    case StrokeMethod::WaterColor: {
        const uint32_t pick = penstamp::AverageSquare11(*image_, truncSat(x), truncSat(y));
        stroke.pickColor = pick;
        for (int c = 0; c < 3; ++c)
            stroke.runColor[size_t(c)] = float((pick >> (8 * c)) & 0xFF);
        stroke.wetColor = penstamp::WetStartColour(pick, stroke.color, RoundedEffect(stroke, 1));
        return true;
    }
    case StrokeMethod::Blur:
        if (!render.BlurSource() || !render.BlurSource()->IsValid()) {
            Diagnose("pen: a compatible blur stroke without a layer to read");
            return false;
        }
        return true;
    case StrokeMethod::RubPen: {
        stroke.pickups.Reset();
        stroke.pickCounter = 0;
        stroke.lastPickX = int32_t(std::floor(x));
        stroke.lastPickY = int32_t(std::floor(y));
        CPenTC* patch = stroke.pickups.Get(0);
        const int32_t reach = Fixed(stroke.Radius() + 1);
        return patch && patch->Pick(*image_, Fixed(x), Fixed(y), reach, reach);
    }
    default:
        return true;
    }
}

float CompatStamper::Density(const CompatDab& dab) const
{
    return stroke_->OpacityFor(engine_) * (stroke_->PressureDensity() ? dab.pressure : 1.0f);
}

bool CompatStamper::Stamp(const CompatDab& dab)
{
    if (!stroke_ || !std::isfinite(dab.radius) || !(dab.radius > 0) || !CoordinateInReach(dab.x, image_->Width) ||
        !CoordinateInReach(dab.y, image_->Height))
        return false;
    switch (stroke_->Method()) {
    case StrokeMethod::Pen:
        return engine_ == 0 ? StampPenOldest(dab) : StampPen(dab);
    case StrokeMethod::WaterColor:
        return StampWatercolour(dab);
    case StrokeMethod::Blur:
        return StampBlur(dab);
    case StrokeMethod::Eraser:
        return StampEraser(dab);
    case StrokeMethod::Blur2:
        return engine_ == 0 && StampBlur2(dab);
    case StrokeMethod::AirBrush:
        return StampAirMap(dab, render_->NormalPlot(), stroke_->color);
    case StrokeMethod::RubPen:
        return StampRubPen(dab);
    case StrokeMethod::Darken:
    case StrokeMethod::Lighten:
        return RoundedEffect(*stroke_, 1) != 0 && StampAirMap(dab, Plot::Lightness, 0);
    }
    return false;
}

// ---- stamps

bool CompatStamper::StampPen(const CompatDab& dab)
{
    const uint8_t value = ByteOf(stroke_->PressureDensity() ? dab.pressure : 1.0f);
    if (value == 0 || !BeginMask(dab.x, dab.y, dab.radius))
        return false;
    // Thin pens get both scans, so a line of them has no gaps whichever way
    // it runs; the first dabs of a thick one are whole discs, the rest only
    // need the scan across the way the stroke goes.
    if (dab.radius < 3) {
        MaskSpanDisc(dab.x, dab.y, dab.radius, true);
        MaskSpanDisc(dab.x, dab.y, dab.radius, false);
    } else if (stroke_->dabCount < 5) {
        mask_.StampDiscMax(dab.x - box_.left, dab.y - box_.top, dab.radius, 255, 1.0);
    } else {
        MaskSpanDisc(dab.x, dab.y, dab.radius, !dab.xMajor);
    }
    ApplyCoverage(value);
    return true;
}

bool CompatStamper::StampPenOldest(const CompatDab& dab)
{
    const uint8_t value = ByteOf(stroke_->PressureDensity() ? dab.pressure : 1.0f);
    if (value == 0 || !BeginMask(dab.x, dab.y, dab.radius))
        return false;
    const float r = dab.radius;
    if (r > 1)
        mask_.StampDiscMax(dab.x - box_.left, dab.y - box_.top, r, 255, 1.0);
    // A thin pen's disc may cover no pixel centre; the span through it
    // along the stroke always leaves a mark.
    if (r < 8) {
        const double x = dab.x - box_.left, y = dab.y - box_.top;
        if (dab.xMajor)
            mask_.SegmentH(x - r, x + r, int32_t(std::floor(y)), 255);
        else
            mask_.SegmentV(int32_t(std::floor(x)), y - r, y + r, 255);
    }
    ApplyCoverage(value);
    return true;
}

bool CompatStamper::StampWatercolour(const CompatDab& dab)
{
    // As for every stamp, a dab that touches nothing does nothing: its
    // samples would be edge pixels repeated, not paint under the brush.
    if (!BeginMask(dab.x, dab.y, dab.radius))
        return false;
    TStroke& s = *stroke_;
    const int32_t effect2 = RoundedEffect(s, 2);
    const float distance = float(RoundedEffect(s, 3)) * s.Radius() * 2.0f;
    uint32_t colour = penstamp::WetDabColour(s.wetColor, s.color, s.strokeLength, distance);
    const int32_t reach = Fixed(dab.radius + 1);
    penstamp::StepRunColour(s.runColor, penstamp::AverageFour(*image_, Fixed(dab.x), Fixed(dab.y), reach, reach),
                            effect2);
    colour = penstamp::MixRunColour(colour, s.runColor, effect2);
    s.dabColor = colour;
    MaskDisc(dab.x, dab.y, dab.radius, kWatercolourDensity * Density(dab), s.SoftEdge());
    ApplyMask(render_->NormalPlot(), colour);
    return true;
}

bool CompatStamper::StampBlur(const CompatDab& dab)
{
    const CBlockVMTC* source = render_->BlurSource();
    if (!source || !BeginMask(dab.x, dab.y, dab.radius))
        return false;
    MaskDisc(dab.x, dab.y, dab.radius, Density(dab), false);
    const int32_t L = std::max(1, truncSat(dab.radius * stroke_->Effect(1) / 100.0f));
    const bool protect = render_->NormalPlot() == Plot::Keep;
    const Plot plot = protect ? Plot::Keep : Plot::Mix;
    return ForEachBoxBlurRow(*source, box_, L, protect, scratch_, [&](int32_t y, const uint32_t* sums) {
        ApplyMaskRow(y, plot, 0, [&](int32_t x, int32_t, int32_t n, uint8_t* alpha, uint32_t* colours) {
            for (int32_t i = 0; i < n; ++i)
                if (alpha[i] != 0 && !penstamp::BoxColour(sums + 4 * (x - box_.left + i), L, protect, colours[i]))
                    alpha[i] = 0;
        });
    });
}

bool CompatStamper::StampEraser(const CompatDab& dab)
{
    if (!BeginMask(dab.x, dab.y, dab.radius))
        return false;
    const uint32_t background = render_->BackgroundColour();
    if (engine_ == 0) {
        MaskDisc(dab.x, dab.y, dab.radius, Density(dab), false);
        ApplyMask(render_->NormalPlot(), background);
        return true;
    }
    MaskDisc(dab.x, dab.y, dab.radius, Density(dab), stroke_->SoftEdge());
    // A protected layer keeps its alpha, so erasing paints its background.
    if (render_->NormalPlot() == Plot::Keep)
        ApplyMask(Plot::Keep, background);
    else
        ApplyMask(Plot::Erase, 0);
    return true;
}

bool CompatStamper::StampBlur2(const CompatDab& dab)
{
    const uint8_t value = uint8_t(std::clamp(truncSat(dab.pressure * 32.0f), 0, 32));
    if (value == 0 || !BeginMask(dab.x, dab.y, dab.radius))
        return false;
    mask_.StampDiscMax(dab.x - box_.left, dab.y - box_.top, dab.radius, 255, 1.0);
    ApplyCoverage(value);
    return true;
}

bool CompatStamper::StampAirMap(const CompatDab& dab, Plot plot, uint32_t colour)
{
    if (!BeginMask(dab.x, dab.y, dab.radius))
        return false;
    MaskAirMap(dab.x, dab.y, dab.radius, Density(dab));
    ApplyMask(plot, colour);
    return true;
}

bool CompatStamper::StampRubPen(const CompatDab& dab)
{
    // Off the target nothing is picked up either.
    if (!BeginMask(dab.x, dab.y, dab.radius))
        return false;
    TStroke& s = *stroke_;
    const int32_t ix = int32_t(std::floor(dab.x)), iy = int32_t(std::floor(dab.y));
    if (ix != s.lastPickX || iy != s.lastPickY) {
        ++s.pickCounter;
        CPenTC* patch = s.pickups.Get(s.pickCounter);
        const int32_t reach = Fixed(s.Radius() + 1);
        if (patch)
            patch->Pick(*image_, Fixed(dab.x), Fixed(dab.y), reach, reach);
        s.lastPickX = ix;
        s.lastPickY = iy;
    }
    // Put down the patch picked before the latest one: nothing until the
    // dab first leaves the start position.
    const CPenTC* down = s.pickups.Get(s.pickCounter + 1);
    if (!down || !down->Picked() || !down->Covers(box_, ix, iy))
        return false;
    MaskAirMap(dab.x, dab.y, dab.radius, Density(dab));
    const Plot plot = render_->NormalPlot() == Plot::Keep ? Plot::Keep : Plot::Mix;
    ApplyMask(plot, 0, [&](int32_t x, int32_t y, int32_t n, uint8_t*, uint32_t* colours) {
        const uint32_t* row = down->RowAt(x - ix, y - iy);
        for (int32_t i = 0; i < n; ++i)
            colours[i] = (row[i] >> 24) != 0 ? row[i] : s.color;
    });
    return true;
}

// ---- the alpha scratch

bool CompatStamper::BeginMask(float cx, float cy, float r)
{
    const double left = std::floor(double(cx) - r), top = std::floor(double(cy) - r);
    const double right = std::ceil(double(cx) + r) + 1, bottom = std::ceil(double(cy) + r) + 1;
    const EdgeRect square{int32_t(std::clamp(left, -1.0, double(image_->Width))),
                          int32_t(std::clamp(top, -1.0, double(image_->Height))),
                          int32_t(std::clamp(right, -1.0, double(image_->Width))),
                          int32_t(std::clamp(bottom, -1.0, double(image_->Height)))};
    if (!Intersect(square, {0, 0, image_->Width, image_->Height}, box_))
        return false;
    const int32_t w = box_.right - box_.left, h = box_.bottom - box_.top;
    if ((mask_.Width < w || mask_.Height < h) &&
        !mask_.Resize(std::max(w, mask_.Width), std::max(h, mask_.Height)))
        return false;
    mask_.FillRect({0, 0, w, h}, 0);
    return true;
}

void CompatStamper::MaskDisc(float cx, float cy, float r, float density, bool soft)
{
    const uint32_t opacity = DiscSampler::OpacityByte(density);
    DiscSampler s;
    if (opacity == 0 || !s.Setup(double(cx) - box_.left, double(cy) - box_.top, r, kDiscSubPixels, false,
                                 box_.right - box_.left, box_.bottom - box_.top))
        return;
    const bool fade = soft && r >= 3;
    s.ForEachPixel(mask_, [&](uint8_t* p, uint32_t count, int32_t x, int32_t y) {
        uint32_t alpha = uint32_t(uint64_t{opacity} * count / kDiscSamples);
        if (fade)
            alpha = (alpha * s.Falloff(x, y)) >> 8;
        *p = uint8_t(alpha);
    });
}

void CompatStamper::MaskAirMap(float cx, float cy, float r, float density)
{
    const int64_t d = std::clamp<int64_t>(roundSat(double(density) * kFixedOne), 0, kFixedOne);
    const int32_t last = CompatAirMap::kEntries - 1;
    for (int32_t y = box_.top; y < box_.bottom; ++y) {
        uint8_t* row = MaskRow(y);
        const float dy = float(y) + 0.5f - cy;
        if (!(std::fabs(dy) < r))
            continue;
        // Only the chord's pixels (and one more each side) can lie inside.
        const double half = std::sqrt(double(r) * r - double(dy) * dy) + 1;
        const int32_t from = int32_t(std::clamp(std::floor(cx - half), double(box_.left), double(box_.right)));
        const int32_t to = int32_t(std::clamp(std::ceil(cx + half), double(box_.left), double(box_.right)));
        const auto put = [&](int32_t x, int32_t index) {
            const int32_t i = std::clamp(index, 0, last);
            row[x - box_.left] = uint8_t(std::min<int64_t>((int64_t{airMap_.At(i)} * d) >> 32, 255));
        };
        int32_t x = from;
#ifdef __SSE2__
        // Four pixels at a time by the same float operations, each exact
        // per lane; inside the disc the index is at most last, so the
        // truncations agree. Pixels outside keep the 0 BeginMask left.
        const __m128 centre = _mm_set1_ps(cx), dd = _mm_set1_ps(dy * dy), radius = _mm_set1_ps(r),
                     scale = _mm_set1_ps(float(last)), centreOffset = _mm_set1_ps(0.5f);
        const __m128i density = _mm_set1_epi32(int32_t(d)), byteMax = _mm_set1_epi32(255),
                      oddLanes = _mm_set_epi32(-1, 0, -1, 0);
        for (; x + 4 <= to; x += 4) {
            const __m128i xs = _mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3));
            const __m128 dx = _mm_sub_ps(_mm_add_ps(_mm_cvtepi32_ps(xs), centreOffset), centre);
            const __m128 l = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(dx, dx), dd));
            const __m128 inside = _mm_cmplt_ps(l, radius);
            if (_mm_movemask_ps(inside) == 0)
                continue;
            alignas(16) int32_t entry[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(entry),
                            _mm_cvttps_epi32(_mm_div_ps(_mm_mul_ps(l, scale), radius)));
            for (int32_t& e : entry)
                e = airMap_.At(std::clamp(e, 0, last));
            const __m128i at = _mm_load_si128(reinterpret_cast<const __m128i*>(entry));
            // (at x d) >> 32 in 64 bits: the unsigned products' high halves,
            // less d where at is negative.
            const __m128i even = _mm_srli_epi64(_mm_mul_epu32(at, density), 32);
            const __m128i odd = _mm_and_si128(_mm_mul_epu32(_mm_srli_epi64(at, 32), density), oddLanes);
            __m128i q = _mm_sub_epi32(_mm_or_si128(even, odd), _mm_and_si128(_mm_srai_epi32(at, 31), density));
            const __m128i over = _mm_cmpgt_epi32(q, byteMax);
            q = _mm_or_si128(_mm_andnot_si128(over, q), _mm_and_si128(over, byteMax));
            q = _mm_and_si128(q, _mm_and_si128(_mm_castps_si128(inside), byteMax)); // the byte, as cast
            q = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
            const int32_t bytes = _mm_cvtsi128_si32(q);
            std::memcpy(row + (x - box_.left), &bytes, 4);
        }
#endif
        for (; x < to; ++x) {
            const float dx = float(x) + 0.5f - cx;
            const float l = std::sqrt(dx * dx + dy * dy);
            if (l < r)
                put(x, truncSat(l * float(last) / r));
        }
    }
}

void CompatStamper::MaskSpanDisc(float cx, float cy, float r, bool rows)
{
    // Spans are laid along rows (or columns) through each pixel centre
    // line the disc crosses.
    const double c = rows ? cy : cx, along = rows ? cx : cy;
    const int32_t origin = rows ? box_.top : box_.left, alongOrigin = rows ? box_.left : box_.top;
    const int32_t first = int32_t(std::floor(c - r)), last = int32_t(std::ceil(c + r));
    for (int32_t i = first; i <= last; ++i) {
        const double d = i + 0.5 - c;
        const double h2 = double(r) * r - d * d;
        if (h2 <= 0)
            continue;
        const double half = std::sqrt(h2);
        const double a = along - half - alongOrigin, b = along + half - alongOrigin;
        if (rows)
            mask_.SegmentH(a, b, i - origin, 255);
        else
            mask_.SegmentV(i - origin, a, b, 255);
    }
}

void CompatStamper::ApplyCoverage(uint8_t value)
{
    uint8_t alpha[kSpan];
    for (int32_t y = box_.top; y < box_.bottom; ++y)
        for (int32_t x = box_.left; x < box_.right; x += kSpan) {
            const int32_t n = std::min(kSpan, box_.right - x);
            const uint8_t* m = MaskRow(y) + (x - box_.left);
            if (std::all_of(m, m + n, [](uint8_t a) { return a == 0; }))
                continue;
            std::copy_n(m, n, alpha);
            render_->CoverageRow(*coverage_, x, y, n, alpha, value);
        }
}

} // namespace morvane
