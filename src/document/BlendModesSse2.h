#pragma once
// SSE2 pieces shared by the compositing kernels. SSE2 is the x86-64
// baseline, so no runtime dispatch is needed (wider forms check the
// processor first). Every helper computes exactly the scalar formula it
// names.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MORVANE_DOCUMENT_SSE2 1

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

} // namespace morvane::sse2
#endif
