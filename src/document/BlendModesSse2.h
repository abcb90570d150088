#pragma once
// SSE2 pieces shared by the compositing kernels. SSE2 is the x86-64
// baseline, so no runtime dispatch is needed (wider forms check the
// processor first). Every helper computes exactly the scalar formula it
// names.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MORVANE_DOCUMENT_SSE2 1

#include <vector>

#include "storage/BlendTables.h"

namespace morvane::sse2 {

// x * y / 255 (MulDiv255) in the low 16 bits of each 32-bit lane, for bytes
// x and y whose upper 16 bits are zero.
inline __m128i MulDiv255x4(__m128i x, __m128i y)
{
    return _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(x, y), _mm_set1_epi16(int16_t(kDiv255Mul))), 7);
}

// Eight 16-bit lanes: (v * a + d * (255 - a)) * 32897 >> 23, exact for all
// bytes and the same as BlendColour, including a = 0 and a = 255.
inline __m128i Lerp16(__m128i v16, __m128i d16, __m128i a16)
{
    const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), a16);
    const __m128i x = _mm_add_epi16(_mm_mullo_epi16(v16, a16), _mm_mullo_epi16(d16, inv));
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(int16_t(kDiv255Mul))), 7);
}

// Four pixels of d with v's colour blended in at four strengths (one per
// 32-bit lane, 0..255); the alpha bytes come back blended too, for the
// caller to replace.
inline __m128i LerpPixels(__m128i v, __m128i d, __m128i a)
{
    const __m128i zero = _mm_setzero_si128();
    a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    const __m128i lo = Lerp16(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi32(a, a));
    const __m128i hi = Lerp16(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi32(a, a));
    return _mm_packus_epi16(lo, hi);
}

inline __m128i Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i ColourOnly(__m128i v) { return _mm_and_si128(v, _mm_set1_epi32(0x00FFFFFF)); }

// The same three helpers on eight pixels, for functions compiled for AVX2
// and called only after a processor check.
#define MORVANE_AVX2_FN __attribute__((target("avx2")))

MORVANE_AVX2_FN inline __m256i MulDiv255x8(__m256i x, __m256i y)
{
    return _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(x, y), _mm256_set1_epi16(int16_t(kDiv255Mul))), 7);
}

MORVANE_AVX2_FN inline __m256i Lerp16x16(__m256i v16, __m256i d16, __m256i a16)
{
    const __m256i inv = _mm256_sub_epi16(_mm256_set1_epi16(255), a16);
    const __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(v16, a16), _mm256_mullo_epi16(d16, inv));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(int16_t(kDiv255Mul))), 7);
}

// Unpacking and packing work within each 128-bit half, so the pixel order
// comes back as it went in.
MORVANE_AVX2_FN inline __m256i LerpPixels8(__m256i v, __m256i d, __m256i a)
{
    const __m256i zero = _mm256_setzero_si256();
    a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
    const __m256i lo = Lerp16x16(_mm256_unpacklo_epi8(v, zero), _mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi32(a, a));
    const __m256i hi = Lerp16x16(_mm256_unpackhi_epi8(v, zero), _mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi32(a, a));
    return _mm256_packus_epi16(lo, hi);
}

MORVANE_AVX2_FN inline __m256i Load8(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
MORVANE_AVX2_FN inline void Store8(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
MORVANE_AVX2_FN inline __m256i ColourOnly8(__m256i v) { return _mm256_and_si256(v, _mm256_set1_epi32(0x00FFFFFF)); }

inline bool HasAvx2() { return __builtin_cpu_supports("avx2"); }

// The vector forms of a kernel this processor runs, narrowest first.
template <class Fn>
std::vector<Fn> VectorForms(Fn sse2Form, Fn avx2Form)
{
    std::vector<Fn> forms{sse2Form};
    if (HasAvx2())
        forms.push_back(avx2Form);
    return forms;
}

} // namespace morvane::sse2
#endif
