#include "document/OpaqueComposite.h"

#include <array>
#include <utility>
#include <vector>

#include "document/BlendModes.h"
#include "document/BlendModesSse2.h"
#include "document/SLayerParam.h"
#include "storage/BlendTables.h"


namespace morvane {

namespace {

uint32_t SubtractNegativePixel(uint32_t d, uint32_t s, uint32_t a)
{
    const auto fn = blend::AlphaChannelFunction(kModeSubtractNegative);
    uint32_t r = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        r |= uint32_t{fn(uint8_t(d >> shift), uint8_t(s >> shift), uint8_t(a))} << shift;
    return r;
}

uint32_t TablePixel(const ByteTable& t, uint32_t d, uint32_t s)
{
    return (d & 0xFF000000u) | uint32_t{t[(d >> 16) & 0xFF][(s >> 16) & 0xFF]} << 16 |
           uint32_t{t[(d >> 8) & 0xFF][(s >> 8) & 0xFF]} << 8 | t[d & 0xFF][s & 0xFF];
}

// The step of one pixel at effective alpha a > 0; `table` is the mode's
// channel table when it has one.
template <int Mode>
uint32_t Step(const ByteTable* table, uint32_t d, uint32_t s, uint32_t a)
{
    if constexpr (Mode == kModeMultiply)
        return MultiplyPixel(d, s, a);
    else if constexpr (Mode == kModeAdd)
        return AddPixel(d, s, a);
    else if constexpr (Mode == kModeSubtract)
        return SubtractPixel(d, s, a);
    else if constexpr (Mode == kModeSubtractNegative)
        return SubtractNegativePixel(d, s, a);
    else {
        uint32_t v;
        if constexpr (Mode == kModeNormal)
            v = s;
        else if constexpr (blend::IsHslMode(Mode))
            v = blend::CombinePixel(Mode, d, s);
        else
            v = TablePixel(*table, d, s);
        BlendColour(d, v, a);
        return d;
    }
}

template <int Mode>
const ByteTable* TableOf()
{
    if constexpr (Mode == kModeNormal || blend::IsAlphaAware(Mode) || blend::IsHslMode(Mode))
        return nullptr;
    else
        return blend::ChannelTable(Mode);
}

// One walk for both a source row and a constant colour.
template <int Mode, class Source>
void Walk(uint32_t* dst, Source source, int n, uint8_t opacity)
{
    const ByteTable* table = TableOf<Mode>();
    for (int i = 0; i < n; ++i) {
        const uint32_t s = source(i);
        // Normal mode's (A * alpha * 32897) >> 23 and the others' A * alpha / 255
        // are the same number for bytes.
        const uint32_t a = MulDiv255(opacity, s >> 24);
        if (a != 0)
            dst[i] = Step<Mode>(table, dst[i], s, a);
    }
}

template <int Mode>
void Row(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    Walk<Mode>(dst, [src](int i) { return src[i]; }, n, opacity);
}

template <int Mode>
void ColourRow(uint32_t* dst, uint32_t colour, int n, uint8_t opacity)
{
    if (MulDiv255(opacity, colour >> 24) != 0)
        Walk<Mode>(dst, [colour](int) { return colour; }, n, opacity);
}

#ifdef MORVANE_DOCUMENT_SSE2
// Normal mode four pixels at a time, each at its own effective alpha.
void Sse2NormalRow(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    const __m128i op = _mm_set1_epi32(opacity);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i s = sse2::Load(src + i), d = sse2::Load(dst + i);
        const __m128i a = sse2::MulDiv255x4(_mm_srli_epi32(s, 24), op);
        const __m128i r = sse2::LerpPixels(s, d, a);
        sse2::Store(dst + i, _mm_or_si128(sse2::ColourOnly(r), _mm_andnot_si128(_mm_set1_epi32(0x00FFFFFF), d)));
    }
    Row<kModeNormal>(dst + i, src + i, n - i, opacity);
}

#define MORVANE_AVX2_FN __attribute__((target("avx2")))

MORVANE_AVX2_FN inline __m256i Lerp16x16(__m256i v16, __m256i d16, __m256i a16)
{
    const __m256i inv = _mm256_sub_epi16(_mm256_set1_epi16(255), a16);
    const __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(v16, a16), _mm256_mullo_epi16(d16, inv));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(int16_t(kDiv255Mul))), 7);
}

// The same eight pixels at a time; unpacking and packing work within each
// 128-bit half, so the pixel order is kept as in the SSE2 form.
MORVANE_AVX2_FN void Avx2NormalRow(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    const __m256i zero = _mm256_setzero_si256(), op = _mm256_set1_epi32(opacity);
    const __m256i colourMask = _mm256_set1_epi32(0x00FFFFFF);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        __m256i a = _mm256_mullo_epi16(_mm256_srli_epi32(s, 24), op);
        a = _mm256_srli_epi16(_mm256_mulhi_epu16(a, _mm256_set1_epi16(int16_t(kDiv255Mul))), 7);
        a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
        const __m256i lo = Lerp16x16(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero),
                                     _mm256_unpacklo_epi32(a, a));
        const __m256i hi = Lerp16x16(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero),
                                     _mm256_unpackhi_epi32(a, a));
        const __m256i r = _mm256_packus_epi16(lo, hi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_or_si256(_mm256_and_si256(r, colourMask), _mm256_andnot_si256(colourMask, d)));
    }
    // The compiler leaves the upper halves dirty on a tail call; legacy SSE
    // code after that (ours or a library's) would pay for it on every
    // instruction.
    _mm256_zeroupper();
    Sse2NormalRow(dst + i, src + i, n - i, opacity);
}
#endif

template <size_t... M>
constexpr auto MakeRows(std::index_sequence<M...>)
{
    return std::array<OpaqueRowFn, kModeCount>{&Row<int(M)>...};
}

template <size_t... M>
constexpr auto MakeColourRows(std::index_sequence<M...>)
{
    return std::array<OpaqueColourRowFn, kModeCount>{&ColourRow<int(M)>...};
}

constexpr auto kScalarRows = MakeRows(std::make_index_sequence<kModeCount>());
constexpr auto kColourRows = MakeColourRows(std::make_index_sequence<kModeCount>());

// The normal kernel is the one that pays for wider vectors: it is bound by
// arithmetic, not by memory.
const std::array<OpaqueRowFn, kModeCount>& FastRows()
{
    static const auto rows = [] {
        auto r = kScalarRows;
#ifdef MORVANE_DOCUMENT_SSE2
        r[kModeNormal] = __builtin_cpu_supports("avx2") ? Avx2NormalRow : Sse2NormalRow;
#endif
        return r;
    }();
    return rows;
}

} // namespace

uint32_t OpaqueCompositePixel(int mode, uint32_t d, uint32_t s, uint8_t opacity)
{
    if (IsValidMode(mode))
        kScalarRows[mode](&d, &s, 1, opacity);
    return d;
}

OpaqueRowFn OpaqueRowKernel(int mode) { return IsValidMode(mode) ? FastRows()[mode] : nullptr; }
OpaqueColourRowFn OpaqueColourRowKernel(int mode) { return IsValidMode(mode) ? kColourRows[mode] : nullptr; }
OpaqueRowFn OpaqueRowKernelScalar(int mode) { return IsValidMode(mode) ? kScalarRows[mode] : nullptr; }

std::vector<OpaqueRowFn> OpaqueNormalRowVariants()
{
    std::vector<OpaqueRowFn> variants;
#ifdef MORVANE_DOCUMENT_SSE2
    variants.push_back(Sse2NormalRow);
    if (__builtin_cpu_supports("avx2"))
        variants.push_back(Avx2NormalRow);
#endif
    return variants;
}

} // namespace morvane
