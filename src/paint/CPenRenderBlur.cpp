// Blur: each dab pixel moves towards the box average of the layer as it was
// before the stroke, so a stroke never blurs its own result.
#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>

#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/PenStampMath.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"
#include "storage/TMTC.h"

namespace morvane {

namespace penstamp {

uint32_t BoxTerm(uint32_t pixel, bool protect)
{
    if (protect)
        return pixel;
    const uint32_t a = pixel >> 24;
    return (a << 24) | (MulDiv255(a, (pixel >> 16) & 0xFF) << 16) | (MulDiv255(a, (pixel >> 8) & 0xFF) << 8) |
           MulDiv255(a, pixel & 0xFF);
}

namespace {

// n / d for n < 2^40 and d > 0: a double estimate is off by at most one, and
// one step each way makes it exact (the division itself is the slow part).
inline uint32_t Quotient(uint64_t n, uint32_t d, double reciprocal)
{
    uint64_t q = uint64_t(double(n) * reciprocal);
    if (q * d > n)
        --q;
    else if ((q + 1) * d <= n)
        ++q;
    return uint32_t(q);
}

} // namespace

bool BoxColour(const uint32_t* sums, int32_t L, bool protect, uint32_t& colour)
{
    const uint32_t area = uint32_t(2 * L + 1) * uint32_t(2 * L + 1);
    if (protect) {
        const double r = 1.0 / area;
        colour = 0xFF000000u | Quotient(sums[2], area, r) << 16 | Quotient(sums[1], area, r) << 8 |
                 Quotient(sums[0], area, r);
        return true;
    }
    const uint32_t alpha = sums[3];
    if (alpha == 0)
        return false;
    // sum x 255 passes 2^32 from L = 91 on.
    const double r = 1.0 / alpha;
    auto byte = [alpha, r](uint32_t sum) { return Quotient(uint64_t{sum} * 255, alpha, r); };
    colour =
        Quotient(alpha, area, 1.0 / area) << 24 | byte(sums[2]) << 16 | byte(sums[1]) << 8 | byte(sums[0]);
    return true;
}

#ifdef __SSE2__
namespace {
inline __m128i Lanes(uint32_t term)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(term)), zero), zero);
}

// Two pixels as 16-bit lanes: colour x alpha / 255 (floor, as MulDiv255:
// (x + 1 + (x >> 8)) >> 8 equals x / 255 for every product of two bytes),
// alpha kept.
inline __m128i WeighTwo(__m128i v)
{
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF);
    const __m128i x = _mm_mullo_epi16(v, a);
    const __m128i q =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
    return _mm_or_si128(_mm_and_si128(alphaLanes, v), _mm_andnot_si128(alphaLanes, q));
}
} // namespace

void BoxTermRow(uint32_t* pixels, int32_t n, bool protect)
{
    if (protect)
        return;
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        auto* p = reinterpret_cast<__m128i*>(pixels + i);
        const __m128i v = _mm_loadu_si128(p);
        _mm_storeu_si128(
            p, _mm_packus_epi16(WeighTwo(_mm_unpacklo_epi8(v, zero)), WeighTwo(_mm_unpackhi_epi8(v, zero))));
    }
    for (; i < n; ++i)
        pixels[i] = BoxTerm(pixels[i], false);
}

void SlideColumns(uint32_t* columns, const uint32_t* in, const uint32_t* out, int32_t n)
{
    auto* c = reinterpret_cast<__m128i*>(columns);
    for (int32_t i = 0; i < n; ++i) {
        __m128i v = _mm_loadu_si128(c + i);
        v = _mm_add_epi32(v, Lanes(in[i]));
        if (out)
            v = _mm_sub_epi32(v, Lanes(out[i]));
        _mm_storeu_si128(c + i, v);
    }
}

void SlideBoxes(const uint32_t* columns, int32_t side, int32_t w, uint32_t* boxes)
{
    const auto* c = reinterpret_cast<const __m128i*>(columns);
    auto* b = reinterpret_cast<__m128i*>(boxes);
    __m128i box = _mm_setzero_si128();
    for (int32_t i = 0; i < side; ++i)
        box = _mm_add_epi32(box, _mm_loadu_si128(c + i));
    _mm_storeu_si128(b, box);
    for (int32_t x = 1; x < w; ++x) {
        box =
            _mm_add_epi32(box, _mm_sub_epi32(_mm_loadu_si128(c + x - 1 + side), _mm_loadu_si128(c + x - 1)));
        _mm_storeu_si128(b + x, box);
    }
}
#else
void BoxTermRow(uint32_t* pixels, int32_t n, bool protect)
{
    for (int32_t i = 0; i < n; ++i)
        pixels[i] = BoxTerm(pixels[i], protect);
}

void SlideColumns(uint32_t* columns, const uint32_t* in, const uint32_t* out, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        for (int k = 0; k < 4; ++k)
            columns[4 * i + k] += ((in[i] >> (8 * k)) & 0xFF) - (out ? (out[i] >> (8 * k)) & 0xFF : 0);
}

void SlideBoxes(const uint32_t* columns, int32_t side, int32_t w, uint32_t* boxes)
{
    uint32_t box[4] = {};
    for (int32_t i = 0; i < side; ++i)
        for (int k = 0; k < 4; ++k)
            box[k] += columns[4 * i + k];
    std::copy_n(box, 4, boxes);
    for (int32_t x = 1; x < w; ++x) {
        for (int k = 0; k < 4; ++k)
            box[k] += columns[4 * (x - 1 + side) + k] - columns[4 * (x - 1) + k];
        std::copy_n(box, 4, boxes + 4 * x);
    }
}
#endif

// The terms of row y of the store from x0 on, n of them, with coordinates
// clamped into the store; whole block rows at a time.
void ReadTermRow(const CBlockVMTC& store, int32_t x0, int32_t y, int32_t n, bool protect, uint32_t* out)
{
    y = std::clamp(y, 0, store.Height - 1);
    const int32_t in0 = std::clamp(-x0, 0, n);
    const int32_t in1 = std::clamp(store.Width - x0, in0, n);
    if (in0 == in1) {
        std::fill_n(out, n, store.GetPixelClamped(x0, y));
    } else {
        for (int32_t i = in0; i < in1;) {
            const int32_t x = x0 + i;
            const SBlock& b = *store.BlockAtIndex(x >> store.BlockShift, y >> store.BlockShift);
            const int32_t count = std::min(in1 - i, store.BlockWidth - (x & store.BlockMask));
            if (b.Committed())
                std::copy_n(store.RowIn<uint32_t>(b, x & store.BlockMask, y & store.BlockMask), count,
                            out + i);
            else
                std::fill_n(out + i, count, b.Uniform);
            i += count;
        }
        std::fill(out, out + in0, out[in0]);
        std::fill(out + in1, out + n, out[in1 - 1]);
    }
    BoxTermRow(out, n, protect);
}

} // namespace penstamp

namespace {

// ChainRow takes spans of at most this many pixels.
constexpr int32_t kSpan = CPenRender::kChainSpan;
// Effect 1 is at most 100, so L never exceeds the nominal radius; radii are
// at most 500 (a bitmap nib's scale).
constexpr int32_t kMaxReach = 500;

int32_t BlurReach(float blurRadius)
{
    // Nearest, ties to even.
    const double r = std::nearbyint(std::clamp(double(blurRadius), 0.0, double(kMaxReach)));
    return std::max(1, int32_t(r));
}

void WarnBlurMemory()
{
    Notifier().Warn(std::string("メモリ不足により") + "ぼかし" + "の実行に失敗しました！");
}

// The scratch holds the box's terms (the dab box widened by L all round),
// then four column sums per terms column, then four box sums per box column.
size_t BlurScratchSize(int64_t boxW, int64_t boxH, int32_t L)
{
    const int64_t tw = boxW + 2 * L, th = boxH + 2 * L;
    return size_t(tw * th + 4 * tw + 4 * boxW);
}

} // namespace

bool GrowBlurScratch(BlurScratch& scratch, size_t size)
{
    if (scratch.size() >= size)
        return true;
    try {
        scratch.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool CPenRender::PrepareBlur()
{
    if (!blurSource || !blurSource->IsValid() || blurSource->Width <= 0 || blurSource->Height <= 0) {
        Diagnose("pen: a blur stroke without a layer to read");
        return false;
    }
    // Room for the largest dab of the stroke now, so a stroke that cannot
    // have it stops before it changes anything.
    const float nominal =
        hasBitmapNib ? float(bitmapNib->Scale()) : std::max(CurrentRadius(), stroke->Radius());
    const Point half = DabExtent(nominal);
    const int32_t L = BlurReach(float(method.effect1) * nominal / 100.0f);
    if (!GrowBlurScratch(scratch, BlurScratchSize(2 * int64_t(half.x) + 2, 2 * int64_t(half.y) + 2, L))) {
        WarnBlurMemory();
        return false;
    }
    return true;
}

bool CPenRender::StampBlur(TMTC& image)
{
    // The nominal radius: the bitmap nib's scale, else the dab's radius.
    const float nominal = hasBitmapNib ? float(bitmapNib->Scale()) : float(dabRadiusX) / float(kFixedOne);
    blurRadius = float(method.effect1) * nominal / 100.0f;
    const int32_t L = BlurReach(blurRadius);
    const int32_t w = dabRight - dabLeft, h = dabBottom - dabTop;
    const int32_t tw = w + 2 * L, th = h + 2 * L;
    if (!GrowBlurScratch(scratch, BlurScratchSize(w, h, L))) {
        WarnBlurMemory();
        strokeReady_ = false;
        return false;
    }
    const bool protect = chain_.plot == Plot::Keep;
    const Plot plot = protect ? Plot::Keep : Plot::Mix;
    uint32_t* terms = scratch.data();
    uint32_t* columns = terms + size_t(tw) * th;
    uint32_t* boxes = columns + 4 * size_t(tw);
    for (int32_t j = 0; j < th; ++j)
        penstamp::ReadTermRow(*blurSource, dabLeft - L, dabTop - L + j, tw, protect, terms + size_t(j) * tw);

    penstamp::ForEachBoxRow(terms, tw, th, L, columns, boxes, [&](int32_t row, const uint32_t* sums) {
        const int32_t y = dabTop + row;
        uint8_t alpha[kSpan];
        uint32_t colours[kSpan];
        for (int32_t x = dabLeft; x < dabRight; x += kSpan) {
            const int32_t count = std::min(kSpan, dabRight - x);
            NibRow(x, y, count, alpha);
            bool any = false;
            for (int32_t i = 0; i < count; ++i) {
                if (alpha[i] != 0 &&
                    !penstamp::BoxColour(sums + 4 * (x - dabLeft + i), L, protect, colours[i]))
                    alpha[i] = 0;
                any = any || alpha[i] != 0;
            }
            if (any)
                ChainRow(image, x, y, count, alpha, colours, 0, plot);
        }
    });
    return true;
}

} // namespace morvane
