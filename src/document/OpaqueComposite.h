#pragma once
// Compositing a layer onto the opaque composite, one pixel and one row at a
// time. The composite's alpha byte is never changed. Block walks call one
// row kernel per row (or one piece kernel per block piece): with the
// layer's pixels, or with one colour for a uniform block.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane {

using OpaqueRowFn = void (*)(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity);
// n x h pixels, rows strides apart (in pixels), as h calls of the row kernel.
using OpaquePieceFn = void (*)(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride, int n,
                               int h, uint8_t opacity);
using OpaqueColourRowFn = void (*)(uint32_t* dst, uint32_t colour, int n, uint8_t opacity);

// One pixel d of the composite after layer pixel s of the given mode at the
// layer's opacity: the effective alpha a = opacity * alpha(s) / 255; modes 0,
// 1, 2 and 18 apply their function at a, the others blend F(d, s) in at a.
// d unchanged for a mode outside 0..21.
uint32_t OpaqueCompositePixel(int mode, uint32_t d, uint32_t s, uint8_t opacity);

// The fastest row kernels of a mode; nullptr for a mode outside 0..21.
OpaqueRowFn OpaqueRowKernel(int mode);
OpaqueColourRowFn OpaqueColourRowKernel(int mode);
// The piece kernel of a mode that has a vector one; nullptr for the others.
OpaquePieceFn OpaquePieceKernel(int mode);
// The plain scalar row kernel the vector ones must match bit for bit.
OpaqueRowFn OpaqueRowKernelScalar(int mode);
// Every vector form of the normal-mode row kernel this processor runs.
std::vector<OpaqueRowFn> OpaqueNormalRowVariants();
std::vector<OpaquePieceFn> OpaqueNormalPieceVariants();

} // namespace morvane
