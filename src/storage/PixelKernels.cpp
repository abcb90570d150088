#include "storage/PixelKernels.h"

#include "storage/BlendTables.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MORVANE_X86 1
#endif

namespace morvane::kernels {

namespace {

void ScalarBlendColourRow(uint32_t* dst, int32_t n, uint32_t colour, uint32_t a)
{
    for (int32_t i = 0; i < n; ++i)
        BlendColour(dst[i], colour, a);
}

void ScalarBlendRow(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t a)
{
    for (int32_t i = 0; i < n; ++i)
        BlendColour(dst[i], src[i], a);
}

#ifdef MORVANE_X86
// Eight 16-bit lanes: (s * a + d * (255 - a)) * 32897 >> 23.
inline __m128i Lerp16(__m128i s16a, __m128i d16, __m128i inv)
{
    __m128i x = _mm_add_epi16(s16a, _mm_mullo_epi16(d16, inv));
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(int16_t(kDiv255Mul))), 7);
}

void Sse2BlendColourRow(uint32_t* dst, int32_t n, uint32_t colour, uint32_t a)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i inv = _mm_set1_epi16(int16_t(255 - a));
    const __m128i alphaMask = _mm_set1_epi32(int32_t(0xFF000000u));
    const __m128i sa = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_set1_epi32(int32_t(colour)), zero),
                                       _mm_set1_epi16(int16_t(a)));
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        __m128i lo = Lerp16(sa, _mm_unpacklo_epi8(d, zero), inv);
        __m128i hi = Lerp16(sa, _mm_unpackhi_epi8(d, zero), inv);
        __m128i r = _mm_packus_epi16(lo, hi);
        r = _mm_or_si128(_mm_andnot_si128(alphaMask, r), _mm_and_si128(alphaMask, d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), r);
    }
    ScalarBlendColourRow(dst + i, n - i, colour, a);
}

void Sse2BlendRow(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t a)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i av = _mm_set1_epi16(int16_t(a));
    const __m128i inv = _mm_set1_epi16(int16_t(255 - a));
    const __m128i alphaMask = _mm_set1_epi32(int32_t(0xFF000000u));
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i lo = Lerp16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), av), _mm_unpacklo_epi8(d, zero), inv);
        __m128i hi = Lerp16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), av), _mm_unpackhi_epi8(d, zero), inv);
        __m128i r = _mm_packus_epi16(lo, hi);
        r = _mm_or_si128(_mm_andnot_si128(alphaMask, r), _mm_and_si128(alphaMask, d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), r);
    }
    ScalarBlendRow(dst + i, src + i, n - i, a);
}

#define AVX2_FN __attribute__((target("avx2")))

AVX2_FN inline __m256i Lerp16x16(__m256i s16a, __m256i d16, __m256i inv)
{
    __m256i x = _mm256_add_epi16(s16a, _mm256_mullo_epi16(d16, inv));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(int16_t(kDiv255Mul))), 7);
}

AVX2_FN void Avx2BlendColourRow(uint32_t* dst, int32_t n, uint32_t colour, uint32_t a)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i inv = _mm256_set1_epi16(int16_t(255 - a));
    const __m256i alphaMask = _mm256_set1_epi32(int32_t(0xFF000000u));
    const __m256i sa = _mm256_mullo_epi16(_mm256_unpacklo_epi8(_mm256_set1_epi32(int32_t(colour)), zero),
                                          _mm256_set1_epi16(int16_t(a)));
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        __m256i lo = Lerp16x16(sa, _mm256_unpacklo_epi8(d, zero), inv);
        __m256i hi = Lerp16x16(sa, _mm256_unpackhi_epi8(d, zero), inv);
        __m256i r = _mm256_packus_epi16(lo, hi); // unpack and pack both work per 128-bit lane
        r = _mm256_or_si256(_mm256_andnot_si256(alphaMask, r), _mm256_and_si256(alphaMask, d));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), r);
    }
    _mm256_zeroupper(); // the SSE tail must not pay for dirty upper halves
    Sse2BlendColourRow(dst + i, n - i, colour, a);
}

AVX2_FN void Avx2BlendRow(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t a)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i av = _mm256_set1_epi16(int16_t(a));
    const __m256i inv = _mm256_set1_epi16(int16_t(255 - a));
    const __m256i alphaMask = _mm256_set1_epi32(int32_t(0xFF000000u));
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        __m256i lo = Lerp16x16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), av),
                               _mm256_unpacklo_epi8(d, zero), inv);
        __m256i hi = Lerp16x16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), av),
                               _mm256_unpackhi_epi8(d, zero), inv);
        __m256i r = _mm256_packus_epi16(lo, hi);
        r = _mm256_or_si256(_mm256_andnot_si256(alphaMask, r), _mm256_and_si256(alphaMask, d));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), r);
    }
    _mm256_zeroupper();
    Sse2BlendRow(dst + i, src + i, n - i, a);
}
#endif

const KernelSet kScalar{"scalar", ScalarBlendColourRow, ScalarBlendRow};
#ifdef MORVANE_X86
const KernelSet kSse2{"sse2", Sse2BlendColourRow, Sse2BlendRow};
const KernelSet kAvx2{"avx2", Avx2BlendColourRow, Avx2BlendRow};
#endif

} // namespace

const KernelSet& Scalar() { return kScalar; }

const KernelSet* Sse2()
{
#ifdef MORVANE_X86
    return __builtin_cpu_supports("sse2") ? &kSse2 : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet* Avx2()
{
#ifdef MORVANE_X86
    return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet& Best()
{
    static const KernelSet* best = [] {
        if (const KernelSet* k = Avx2())
            return k;
        if (const KernelSet* k = Sse2())
            return k;
        return &kScalar;
    }();
    return *best;
}

} // namespace morvane::kernels
