#include "document/OverComposite.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>
#include <vector>

#include "document/BlendModes.h"
#include "document/BlendModesSse2.h"
#include "document/PixelRows.h"
#include "document/SLayerParam.h"
#include "storage/BlendTables.h"

namespace morvane {

namespace {

constexpr uint32_t Clamp8(int32_t v) { return uint32_t(std::clamp(v, 0, 255)); }

// What the union forms share: target alpha e, source alpha D, their overlap
// and the union ra, in the integer arithmetic of the buffers.
struct Coverage {
    int32_t e, D, both, ra;
};

Coverage CoverageOf(uint32_t t, uint32_t s, uint8_t o)
{
    const int32_t e = int32_t(t >> 24), D = int32_t(MulDiv255(s >> 24, o));
    const int32_t both = int32_t(MulDiv255(uint32_t(e), uint32_t(D)));
    return {e, D, both, e + D - both};
}

// Runs fn(d, s, f) over the three colour bytes (f the byte of an extra
// pixel, the mode's result where one is needed) and stores ra as alpha.
template <class ByteFn>
uint32_t PerByte(uint32_t t, uint32_t s, uint32_t f, int32_t ra, ByteFn fn)
{
    uint32_t out = uint32_t(ra) << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= Clamp8(fn(int32_t((t >> shift) & 0xFF), int32_t((s >> shift) & 0xFF), int32_t((f >> shift) & 0xFF)))
               << shift;
    return out;
}

// Separable modes whose function is independent of the alpha, and HSL modes.
template <int Mode>
uint32_t GeneralSeparable(uint32_t t, uint32_t s, const Coverage& c)
{
    const uint32_t f = blend::CombinePixel(Mode, t, s);
    return PerByte(t, s, f, c.ra, [&](int32_t d, int32_t sb, int32_t fb) {
        const int32_t mixed = ((255 - c.e) * sb + c.e * fb) / 255;
        return (d * (c.e - c.both) + mixed * c.D) / c.ra;
    });
}

// Modes 0, 1, 2, 18: their result over an opaque target already holds the
// blend at sa, so it is weighted by the target's coverage as a whole.
template <int Mode>
uint32_t GeneralAlphaAware(uint32_t t, uint32_t s, const Coverage& c)
{
    const auto fn = blend::AlphaChannelFunction(Mode);
    uint32_t g = 0;
    for (int shift = 0; shift < 24; shift += 8)
        g |= uint32_t{fn(uint8_t(t >> shift), uint8_t(s >> shift), uint8_t(c.D))} << shift;
    return PerByte(t, s, g, c.ra, [&](int32_t, int32_t sb, int32_t gb) {
        return (255 * c.e * gb + (255 - c.e) * c.D * sb) / (255 * c.ra);
    });
}

template <int Mode>
uint32_t GeneralOver(uint32_t t, uint32_t s, uint8_t o)
{
    const Coverage c = CoverageOf(t, s, o);
    if (c.ra <= 0)
        return t; // both empty: the alpha byte is already 0
    if constexpr (blend::IsAlphaAware(Mode))
        return GeneralAlphaAware<Mode>(t, s, c);
    else
        return GeneralSeparable<Mode>(t, s, c);
}

template <class ByteFn>
uint32_t UnionOver(uint32_t t, uint32_t s, uint8_t o, ByteFn fn)
{
    const Coverage c = CoverageOf(t, s, o);
    if (c.ra <= 0)
        return t;
    return PerByte(t, s, 0, c.ra, [&](int32_t d, int32_t sb, int32_t) { return fn(c, d, sb); });
}

using PixelFn = uint32_t (*)(uint32_t, uint32_t, uint8_t);

template <size_t... M>
constexpr auto MakeGeneral(std::index_sequence<M...>)
{
    return std::array<PixelFn, kModeCount>{&GeneralOver<int(M)>...};
}
template <size_t... M>
constexpr auto MakeGeneralRows(std::index_sequence<M...>)
{
    return std::array<OverRowFn, kModeCount>{&PixelRow<&GeneralOver<int(M)>>...};
}
template <size_t... M>
constexpr auto MakeGeneralColourRows(std::index_sequence<M...>)
{
    return std::array<OverColourRowFn, kModeCount>{&PixelColourRow<&GeneralOver<int(M)>>...};
}

constexpr auto kGeneral = MakeGeneral(std::make_index_sequence<kModeCount>());
constexpr auto kGeneralRows = MakeGeneralRows(std::make_index_sequence<kModeCount>());
constexpr auto kGeneralColourRows = MakeGeneralColourRows(std::make_index_sequence<kModeCount>());

// Indexed by OverForm; General's slot is filled per mode.
constexpr PixelFn kClosed[] = {nullptr, NormalOverPixel, MultiplyOverPixel, WeightedOverPixel,
                               ScreenOverPixel, DifferenceOverPixel, DarkenOverPixel, LightenOverPixel};
constexpr OverRowFn kClosedRows[] = {
    nullptr, PixelRow<NormalOverPixel>, PixelRow<MultiplyOverPixel>, PixelRow<WeightedOverPixel>,
    PixelRow<ScreenOverPixel>, PixelRow<DifferenceOverPixel>, PixelRow<DarkenOverPixel>, PixelRow<LightenOverPixel>};
constexpr OverColourRowFn kClosedColourRows[] = {
    nullptr, PixelColourRow<NormalOverPixel>, PixelColourRow<MultiplyOverPixel>, PixelColourRow<WeightedOverPixel>,
    PixelColourRow<ScreenOverPixel>, PixelColourRow<DifferenceOverPixel>, PixelColourRow<DarkenOverPixel>,
    PixelColourRow<LightenOverPixel>};

struct PairRow {
    uint8_t target, layer;
    OverForm form;
};
// Searched in this order; a merge method limits how many rows are seen.
constexpr PairRow kPairs[] = {
    {0, 0, OverForm::MultiplyOver}, {2, 2, OverForm::WeightedOver}, {3, 0, OverForm::MultiplyOver},
    {0, 3, OverForm::NormalOver},   {3, 3, OverForm::NormalOver},   {1, 1, OverForm::WeightedOver},
};

void ScalarNormalOverFrom(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n, uint8_t opacity)
{
    for (int i = 0; i < n; ++i)
        dst[i] = NormalOverPixel(under[i], src[i], opacity);
}

#ifdef MORVANE_DOCUMENT_SSE2
// The vector forms of normal-over share one formula for NormalOverPixel's
// branches: the union ta' = ta + sa * (255 - ta) / 255 and the strength
// sa * 255 / ta' give colour unchanged at sa = 0, the source at sa = 255 and
// the blend at sa when ta = 255. The strength is a float division truncated:
// both operands are exact integers (x <= 65025, ta' <= 255) and a quotient
// that is not whole lies at least 1/255 below the next integer, far beyond
// the division's rounding, so truncation gives the exact floor everywhere.
// Each reads the target from `under` and writes dst (which may be under),
// so a merge writes a fresh block without copying the lower one in first.
// The opacity scales sa only when it is below 255 (MulDiv255 by 255 is the
// identity).

template <bool Scaled>
void Sse2NormalOverLoop(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n, uint8_t opacity)
{
    const __m128i op = _mm_set1_epi32(opacity), full = _mm_set1_epi32(255), one = _mm_set1_epi32(1);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i s = sse2::Load(src + i), t = sse2::Load(under + i);
        __m128i sa = _mm_srli_epi32(s, 24);
        if constexpr (Scaled)
            sa = sse2::MulDiv255x4(sa, op);
        const __m128i ta = _mm_srli_epi32(t, 24);
        const __m128i union_ = _mm_add_epi32(ta, sse2::MulDiv255x4(sa, _mm_sub_epi32(full, ta)));
        const __m128 q = _mm_div_ps(_mm_cvtepi32_ps(_mm_mullo_epi16(sa, full)),
                                    _mm_cvtepi32_ps(_mm_max_epi16(union_, one)));
        const __m128i r = sse2::LerpPixels(s, t, _mm_cvttps_epi32(q));
        sse2::Store(dst + i, _mm_or_si128(sse2::ColourOnly(r), _mm_slli_epi32(union_, 24)));
    }
    ScalarNormalOverFrom(dst + i, under + i, src + i, n - i, opacity);
}

void Sse2NormalOverFrom(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n, uint8_t opacity)
{
    if (opacity == 255)
        Sse2NormalOverLoop<false>(dst, under, src, n, opacity);
    else
        Sse2NormalOverLoop<true>(dst, under, src, n, opacity);
}

// Eight pixels at a time. The colour is blended in 16-bit lanes of even
// bytes (blue, red) and odd bytes (green, alpha) split by a mask and a shift
// rather than unpacked; the odd lanes' alpha takes the union before the
// halves are joined.
template <bool Scaled>
MORVANE_AVX2_FN void Avx2NormalOverLoop(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n,
                                        uint8_t opacity)
{
    const __m256i op = _mm256_set1_epi32(opacity), full = _mm256_set1_epi32(255), one = _mm256_set1_epi32(1);
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF), div255 = _mm256_set1_epi16(int16_t(kDiv255Mul));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = sse2::Load8(src + i), t = sse2::Load8(under + i);
        __m256i sa = _mm256_srli_epi32(s, 24);
        if constexpr (Scaled)
            sa = sse2::MulDiv255x8(sa, op);
        const __m256i ta = _mm256_srli_epi32(t, 24);
        const __m256i union_ = _mm256_add_epi32(ta, sse2::MulDiv255x8(sa, _mm256_sub_epi32(full, ta)));
        const __m256 q = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_mullo_epi16(sa, full)),
                                       _mm256_cvtepi32_ps(_mm256_max_epi16(union_, one)));
        __m256i a = _mm256_cvttps_epi32(q);
        a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
        const __m256i inv = _mm256_sub_epi16(lowBytes, a);
        // (s * a + t * (255 - a)) / 255 per byte, as sse2::Lerp16.
        const __m256i xe = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, lowBytes), a),
                                            _mm256_mullo_epi16(_mm256_and_si256(t, lowBytes), inv));
        const __m256i xo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a),
                                            _mm256_mullo_epi16(_mm256_srli_epi16(t, 8), inv));
        const __m256i even = _mm256_srli_epi16(_mm256_mulhi_epu16(xe, div255), 7);
        const __m256i odd = _mm256_srli_epi16(_mm256_mulhi_epu16(xo, div255), 7);
        const __m256i greenUnion = _mm256_blend_epi16(odd, _mm256_slli_epi32(union_, 16), 0xAA);
        sse2::Store8(dst + i, _mm256_or_si256(even, _mm256_slli_epi16(greenUnion, 8)));
    }
    _mm256_zeroupper(); // see the opaque normal kernel
    ScalarNormalOverFrom(dst + i, under + i, src + i, n - i, opacity);
}

MORVANE_AVX2_FN void Avx2NormalOverFrom(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n,
                                        uint8_t opacity)
{
    if (opacity == 255)
        Avx2NormalOverLoop<false>(dst, under, src, n, opacity);
    else
        Avx2NormalOverLoop<true>(dst, under, src, n, opacity);
}

// Sixteen pixels at a time: the same steps, with the even and odd halves
// joined by one three-way logic operation.
// GCC 12 warns inside its own AVX-512 headers, whose undefined-vector idiom
// it then takes for an uninitialised read.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define MORVANE_AVX512_FN __attribute__((target("avx512f,avx512bw")))
MORVANE_AVX512_FN inline __m512i MulDiv255x16(__m512i x, __m512i y)
{
    return _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_mullo_epi16(x, y), _mm512_set1_epi16(int16_t(kDiv255Mul))), 7);
}

template <bool Scaled>
MORVANE_AVX512_FN void Avx512NormalOverLoop(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n,
                                            uint8_t opacity)
{
    const __m512i op = _mm512_set1_epi32(opacity), full = _mm512_set1_epi32(255), one = _mm512_set1_epi32(1);
    const __m512i lowBytes = _mm512_set1_epi16(0x00FF), div255 = _mm512_set1_epi16(int16_t(kDiv255Mul));
    const __m512i green = _mm512_set1_epi32(0x0000FF00);
    // The strength of each pixel into both 16-bit halves of its lane.
    const __m512i spread = _mm512_set4_epi32(0x0D0C0D0C, 0x09080908, 0x05040504, 0x01000100);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i s = _mm512_loadu_si512(src + i), t = _mm512_loadu_si512(under + i);
        __m512i sa = _mm512_srli_epi32(s, 24);
        if constexpr (Scaled)
            sa = MulDiv255x16(sa, op);
        const __m512i ta = _mm512_srli_epi32(t, 24);
        const __m512i union_ = _mm512_add_epi32(ta, MulDiv255x16(sa, _mm512_sub_epi32(full, ta)));
        const __m512 q = _mm512_div_ps(_mm512_cvtepi32_ps(_mm512_mullo_epi16(sa, full)),
                                       _mm512_cvtepi32_ps(_mm512_max_epi16(union_, one)));
        const __m512i a = _mm512_shuffle_epi8(_mm512_cvttps_epi32(q), spread);
        const __m512i inv = _mm512_sub_epi16(lowBytes, a);
        const __m512i xe = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(s, lowBytes), a),
                                            _mm512_mullo_epi16(_mm512_and_si512(t, lowBytes), inv));
        const __m512i xo = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(s, 8), a),
                                            _mm512_mullo_epi16(_mm512_srli_epi16(t, 8), inv));
        const __m512i even = _mm512_srli_epi16(_mm512_mulhi_epu16(xe, div255), 7);
        // (x * 32897 >> 23) << 8 of the odd lanes is twice the high product, masked.
        const __m512i oddHigh = _mm512_mulhi_epu16(xo, div255);
        const __m512i colour = _mm512_ternarylogic_epi32(even, _mm512_add_epi16(oddHigh, oddHigh), green, 0xF8);
        _mm512_storeu_si512(dst + i, _mm512_or_si512(colour, _mm512_slli_epi32(union_, 24)));
    }
    _mm256_zeroupper();
    ScalarNormalOverFrom(dst + i, under + i, src + i, n - i, opacity);
}

MORVANE_AVX512_FN void Avx512NormalOverFrom(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n,
                                            uint8_t opacity)
{
    if (opacity == 255)
        Avx512NormalOverLoop<false>(dst, under, src, n, opacity);
    else
        Avx512NormalOverLoop<true>(dst, under, src, n, opacity);
}
#pragma GCC diagnostic pop

bool HasAvx512Bw() { return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"); }
#endif

template <OverFromRowFn From>
void InPlace(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    From(dst, dst, src, n, opacity);
}

// The fastest normal-over this processor runs, in both row forms.
struct NormalOverForms {
    OverFromRowFn from;
    OverRowFn inPlace;
};
template <OverFromRowFn From>
constexpr NormalOverForms FormsOf()
{
    return {From, InPlace<From>};
}

const NormalOverForms& FastestNormalOver()
{
#ifdef MORVANE_DOCUMENT_SSE2
    static const NormalOverForms fastest = HasAvx512Bw()     ? FormsOf<Avx512NormalOverFrom>()
                                           : sse2::HasAvx2() ? FormsOf<Avx2NormalOverFrom>()
                                                             : FormsOf<Sse2NormalOverFrom>();
#else
    static const NormalOverForms fastest = FormsOf<ScalarNormalOverFrom>();
#endif
    return fastest;
}

bool IsClosed(OverForm form) { return form != OverForm::General && size_t(form) < std::size(kClosed); }

} // namespace

uint32_t NormalOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    const uint32_t sa = MulTable[o][s >> 24], ta = t >> 24;
    if (sa == 0)
        return t;
    if (sa == 255)
        return s | 0xFF000000u;
    if (ta == 255) {
        BlendColour(t, s, sa);
        return t;
    }
    const uint32_t union_ = ta + MulTable[sa][255 - ta]; // >= sa > 0
    BlendColour(t, s, sa * 255 / union_);
    return (t & 0x00FFFFFFu) | union_ << 24;
}

uint32_t MultiplyOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    return UnionOver(t, s, o, [](const Coverage& c, int32_t d, int32_t sb) {
        return (d * c.e + sb * c.D - c.both * (sb + d - int32_t(MulDiv255(d, sb)))) / c.ra;
    });
}

uint32_t WeightedOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    const int32_t ta = int32_t(t >> 24), sa = MulTable[s >> 24][o];
    const int32_t both = MulTable[sa][ta];
    if (ta + sa == both)
        return t;
    // Adding onto anything already there counts as fully covered.
    const int32_t ra = (ta > 0 && sa != 0) ? 255 : ta + sa - both;
    return PerByte(t, s, 0, ra, [&](int32_t d, int32_t sb, int32_t) { return (d * ta + sb * sa) / ra; });
}

uint32_t ScreenOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    return UnionOver(t, s, o, [](const Coverage& c, int32_t d, int32_t sb) {
        return (d * c.e + sb * c.D - c.both * int32_t(MulDiv255(d, sb))) / c.ra;
    });
}

uint32_t DifferenceOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    return UnionOver(t, s, o, [](const Coverage& c, int32_t d, int32_t sb) {
        return (c.D * std::abs(255 * sb - c.e * d) + c.e * d * (255 - c.D)) / (255 * c.ra);
    });
}

uint32_t DarkenOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    return UnionOver(t, s, o, [](const Coverage& c, int32_t d, int32_t sb) {
        // W is the target flattened over white; the white that the union
        // does not cover is taken out again before dividing by ra.
        const int32_t w = c.e * d + 65025 - 255 * c.e;
        return (c.D * std::min(w, 255 * sb) + (255 - c.D) * w - 65025 * (255 - c.ra)) / (255 * c.ra);
    });
}

uint32_t LightenOverPixel(uint32_t t, uint32_t s, uint8_t o)
{
    return UnionOver(t, s, o, [](const Coverage& c, int32_t d, int32_t sb) {
        return (c.D * std::max(c.e * d, 255 * sb) + (255 - c.D) * c.e * d) / (255 * c.ra);
    });
}

uint32_t GeneralOverPixel(int layerMode, uint32_t t, uint32_t s, uint8_t o)
{
    return IsValidMode(layerMode) ? kGeneral[layerMode](t, s, o) : t;
}

OverForm PairForm(int targetMode, int layerMode, int method)
{
    const int rows = 2 * std::clamp(method, 0, 3);
    for (int i = 0; i < rows; ++i)
        if (kPairs[i].target == targetMode && kPairs[i].layer == layerMode)
            return kPairs[i].form;
    return OverForm::General;
}

OverForm MergeDownForm(int upperMode)
{
    switch (upperMode) {
    case kModeMultiply: return OverForm::MultiplyOver;
    case kModeAdd:
    case kModeSubtract: return OverForm::WeightedOver;
    case kModeNormal: return OverForm::NormalOver;
    case kModeScreen: return OverForm::ScreenOver;
    case kModeDifference: return OverForm::DifferenceOver;
    case kModeDarken: return OverForm::DarkenOver;
    case kModeLighten: return OverForm::LightenOver;
    default: return OverForm::General;
    }
}

uint32_t OverPixel(OverForm form, int layerMode, uint32_t t, uint32_t s, uint8_t o)
{
    return IsClosed(form) ? kClosed[size_t(form)](t, s, o) : GeneralOverPixel(layerMode, t, s, o);
}

OverRowFn OverRowKernel(OverForm form, int layerMode)
{
    if (form == OverForm::NormalOver)
        return FastestNormalOver().inPlace;
    if (IsClosed(form))
        return kClosedRows[size_t(form)];
    return IsValidMode(layerMode) ? kGeneralRows[layerMode] : nullptr;
}

OverColourRowFn OverColourRowKernel(OverForm form, int layerMode)
{
    if (IsClosed(form))
        return kClosedColourRows[size_t(form)];
    return IsValidMode(layerMode) ? kGeneralColourRows[layerMode] : nullptr;
}

OverFromRowFn NormalOverFromKernel() { return FastestNormalOver().from; }

std::vector<OverFromRowFn> NormalOverFromVariants()
{
    std::vector<OverFromRowFn> forms{ScalarNormalOverFrom};
#ifdef MORVANE_DOCUMENT_SSE2
    forms.push_back(Sse2NormalOverFrom);
    if (sse2::HasAvx2())
        forms.push_back(Avx2NormalOverFrom);
    if (HasAvx512Bw())
        forms.push_back(Avx512NormalOverFrom);
#endif
    return forms;
}

} // namespace morvane
