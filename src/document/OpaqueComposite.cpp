#include "document/OpaqueComposite.h"

#include <array>
#include <utility>
#include <vector>

#include "document/BlendModes.h"
#include "document/BlendModesSse2.h"
#include "document/SLayerParam.h"
#include "storage/BlendTables.h"
#include "storage/PixelKernels.h"


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
    const uint32_t a = MulDiv255(opacity, colour >> 24);
    if (a == 0)
        return;
    if constexpr (Mode == kModeNormal) {
        // A uniform block in normal mode is the plain colour blend at one strength.
        if (a < 255) {
            kernels::Best().blendColourRow(dst, n, colour, a);
            return;
        }
    }
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

// The same eight pixels at a time.
MORVANE_AVX2_FN void Avx2NormalRow(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    const __m256i op = _mm256_set1_epi32(opacity);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = sse2::Load8(src + i), d = sse2::Load8(dst + i);
        const __m256i r = sse2::LerpPixels8(s, d, sse2::MulDiv255x8(_mm256_srli_epi32(s, 24), op));
        sse2::Store8(dst + i, _mm256_or_si256(sse2::ColourOnly8(r), _mm256_andnot_si256(_mm256_set1_epi32(0x00FFFFFF), d)));
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
        r[kModeNormal] = sse2::HasAvx2() ? Avx2NormalRow : Sse2NormalRow;
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
#ifdef MORVANE_DOCUMENT_SSE2
    return sse2::VectorForms<OpaqueRowFn>(Sse2NormalRow, Avx2NormalRow);
#else
    return {};
#endif
}

} // namespace morvane
