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
// Both vector forms compute (s * a + d * (255 - a)) * 32897 >> 23 per colour
// byte, as sse2::Lerp16. A row of at least one vector whose length is no
// multiple of it starts with two overlapping vectors, both worked out from
// the untouched target before either is stored, so the overlap gets the
// same pixels twice and the row is still read front to back for the
// prefetcher.

// Four pixels, in 16-bit lanes of even bytes (blue, red) and odd bytes
// (green, alpha) split by a mask and a shift rather than unpacked. The odd
// lanes blend at a = 0 in the alpha byte, which keeps it.
inline __m128i Sse2Normal4(__m128i s, __m128i d, __m128i op)
{
    const __m128i lowBytes = _mm_set1_epi16(0x00FF), div255 = _mm_set1_epi16(int16_t(kDiv255Mul));
    const __m128i so = _mm_srli_epi16(s, 8), dout = _mm_srli_epi16(d, 8);
    // MulDiv255(opacity, alpha) in the upper word of each pixel, copied down.
    __m128i a = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(so, op), div255), 7);
    a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1));
    const __m128i aOdd = _mm_and_si128(a, _mm_set1_epi32(0xFFFF));
    const __m128i xe = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(s, lowBytes), a),
                                     _mm_mullo_epi16(_mm_and_si128(d, lowBytes), _mm_sub_epi16(lowBytes, a)));
    const __m128i xo = _mm_add_epi16(_mm_mullo_epi16(so, aOdd), _mm_mullo_epi16(dout, _mm_sub_epi16(lowBytes, aOdd)));
    const __m128i even = _mm_srli_epi16(_mm_mulhi_epu16(xe, div255), 7);
    const __m128i odd = _mm_srli_epi16(_mm_mulhi_epu16(xo, div255), 7);
    return _mm_or_si128(even, _mm_slli_epi16(odd, 8));
}

// Normal mode four pixels at a time, each at its own effective alpha.
inline void Sse2NormalSpan(uint32_t* dst, const uint32_t* src, int n, __m128i op)
{
    const int r = n % 4;
    int i = 0;
    if (r != 0) {
        const __m128i head = Sse2Normal4(sse2::Load(src), sse2::Load(dst), op);
        const __m128i next = Sse2Normal4(sse2::Load(src + r), sse2::Load(dst + r), op);
        sse2::Store(dst, head);
        sse2::Store(dst + r, next);
        i = r + 4;
    }
    for (; i < n; i += 4)
        sse2::Store(dst + i, Sse2Normal4(sse2::Load(src + i), sse2::Load(dst + i), op));
}

inline void Sse2NormalPieceBody(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride, int n,
                                int h, uint8_t opacity)
{
    const __m128i op = _mm_set1_epi16(opacity);
    for (int y = 0; y < h; ++y, dst += dstStride, src += srcStride) {
        if (n < 4)
            Row<kModeNormal>(dst, src, n, opacity);
        else
            Sse2NormalSpan(dst, src, n, op);
    }
}

void Sse2NormalPiece(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride, int n, int h,
                     uint8_t opacity)
{
    Sse2NormalPieceBody(dst, dstStride, src, srcStride, n, h, opacity);
}

void Sse2NormalRow(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    Sse2NormalPieceBody(dst, 0, src, 0, n, 1, opacity);
}

// Spreads byte k of each 128-bit half to the pair lanes of the colour
// channels of one pixel ([k k][k k][k k][none]), for pixels k / 4 and k / 4 + 1.
MORVANE_AVX2_FN inline __m256i SpreadMask(int k)
{
    const auto pixel = [](int64_t b) { return int64_t(0x8080000000000000) | b * 0x010101010101; };
    return _mm256_broadcastsi128_si256(_mm_set_epi64x(pixel(k + 4), pixel(k)));
}

// Eight pixels. Source and target bytes are interleaved, less 128 so they
// pass as signed, and each pair is multiplied by (a, 255 - a) and summed in
// one instruction: a * (s - 128) + (255 - a) * (d - 128) is the blend's
// numerator less 32640, within 16 signed bits. The alpha pair weighs
// (0, 255) and so keeps the target's byte. For every numerator x up to
// 255 * 255, ((x + 1) * 257) >> 16 is x * 32897 >> 23: the + 1 joins the
// bias and the shift comes free with the high half. At full opacity the
// effective alpha is the source's byte 3; else it is worked out into byte 0.
template <bool FullOpacity>
MORVANE_AVX2_FN inline __m256i Avx2Normal8(__m256i s, __m256i d, __m256i op)
{
    const __m256i div255 = _mm256_set1_epi16(int16_t(kDiv255Mul)), flip = _mm256_set1_epi8(-128);
    const __m256i inverse = _mm256_set1_epi16(int16_t(0xFF00)), bias = _mm256_set1_epi16(32640 + 1);
    const __m256i by257 = _mm256_set1_epi16(257);
    __m256i a = s;
    if constexpr (!FullOpacity) {
        const __m256i alpha = _mm256_broadcastsi128_si256(_mm_set_epi64x(0x800F800F800B800B, 0x8007800780038003));
        a = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(_mm256_shuffle_epi8(s, alpha), op), div255), 7);
    }
    constexpr int k = FullOpacity ? 3 : 0;
    const __m256i wLo = _mm256_xor_si256(_mm256_shuffle_epi8(a, SpreadMask(k)), inverse);
    const __m256i wHi = _mm256_xor_si256(_mm256_shuffle_epi8(a, SpreadMask(k + 8)), inverse);
    const __m256i sx = _mm256_xor_si256(s, flip), dx = _mm256_xor_si256(d, flip);
    const __m256i xLo = _mm256_add_epi16(_mm256_maddubs_epi16(wLo, _mm256_unpacklo_epi8(sx, dx)), bias);
    const __m256i xHi = _mm256_add_epi16(_mm256_maddubs_epi16(wHi, _mm256_unpackhi_epi8(sx, dx)), bias);
    return _mm256_packus_epi16(_mm256_mulhi_epu16(xLo, by257), _mm256_mulhi_epu16(xHi, by257));
}

template <bool FullOpacity>
MORVANE_AVX2_FN inline void Avx2NormalSpan(uint32_t* dst, const uint32_t* src, int n, __m256i op)
{
    const int r = n % 8;
    int i = 0;
    if (r != 0) {
        const __m256i head = Avx2Normal8<FullOpacity>(sse2::Load8(src), sse2::Load8(dst), op);
        const __m256i next = Avx2Normal8<FullOpacity>(sse2::Load8(src + r), sse2::Load8(dst + r), op);
        sse2::Store8(dst, head);
        sse2::Store8(dst + r, next);
        i = r + 8;
    }
    for (; i < n; i += 8)
        sse2::Store8(dst + i, Avx2Normal8<FullOpacity>(sse2::Load8(src + i), sse2::Load8(dst + i), op));
}

// One call for all rows of a piece, so that the constants are set up once.
template <bool FullOpacity>
MORVANE_AVX2_FN void Avx2NormalSpans(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride,
                                     int n, int h, uint8_t opacity)
{
    const __m256i op = _mm256_set1_epi16(opacity);
    for (int y = 0; y < h; ++y, dst += dstStride, src += srcStride)
        Avx2NormalSpan<FullOpacity>(dst, src, n, op);
}

// The same eight pixels at a time; narrower pieces take the four-pixel
// form, compiled here with the same encoding.
MORVANE_AVX2_FN void Avx2NormalPiece(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride,
                                     int n, int h, uint8_t opacity)
{
    if (n < 8)
        Sse2NormalPieceBody(dst, dstStride, src, srcStride, n, h, opacity);
    else if (opacity == 255)
        Avx2NormalSpans<true>(dst, dstStride, src, srcStride, n, h, opacity);
    else
        Avx2NormalSpans<false>(dst, dstStride, src, srcStride, n, h, opacity);
    // The compiler leaves the upper halves dirty on return; legacy SSE code
    // after that (ours or a library's) would pay for it on every
    // instruction.
    _mm256_zeroupper();
}

MORVANE_AVX2_FN void Avx2NormalRow(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    Avx2NormalPiece(dst, 0, src, 0, n, 1, opacity);
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
OpaquePieceFn OpaquePieceKernel(int mode)
{
#ifdef MORVANE_DOCUMENT_SSE2
    static const OpaquePieceFn normal = sse2::HasAvx2() ? Avx2NormalPiece : Sse2NormalPiece;
    if (mode == kModeNormal)
        return normal;
#endif
    (void)mode;
    return nullptr;
}
OpaqueRowFn OpaqueRowKernelScalar(int mode) { return IsValidMode(mode) ? kScalarRows[mode] : nullptr; }

std::vector<OpaqueRowFn> OpaqueNormalRowVariants()
{
#ifdef MORVANE_DOCUMENT_SSE2
    return sse2::VectorForms<OpaqueRowFn>(Sse2NormalRow, Avx2NormalRow);
#else
    return {};
#endif
}

std::vector<OpaquePieceFn> OpaqueNormalPieceVariants()
{
#ifdef MORVANE_DOCUMENT_SSE2
    return sse2::VectorForms<OpaquePieceFn>(Sse2NormalPiece, Avx2NormalPiece);
#else
    return {};
#endif
}

} // namespace morvane
