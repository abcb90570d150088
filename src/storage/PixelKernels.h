#pragma once
// Hot row kernels of the colour blend. Each has a scalar reference; the SIMD
// variants compute the same formula, (x * 32897) >> 23 per 16-bit lane with
// x = s * a + d * (255 - a), so their results are identical bit for bit, and a
// test proves it over every input.
#include <cstdint>

namespace morvane::kernels {

struct KernelSet {
    const char* name;
    // Blends one colour into n pixels at 0 < a < 255; alpha bytes kept.
    void (*blendColourRow)(uint32_t* dst, int32_t n, uint32_t colour, uint32_t a);
    // Blends n source pixels' colours into dst at 0 < a < 255; dst alpha kept.
    void (*blendRow)(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t a);
};

const KernelSet& Scalar();
// nullptr when the processor lacks the instructions.
const KernelSet* Sse2();
const KernelSet* Avx2();
// The fastest set this processor runs.
const KernelSet& Best();

} // namespace morvane::kernels
