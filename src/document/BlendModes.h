#pragma once
// The per-channel arithmetic of the blend modes. Pixels are 0xAARRGGBB
// (blue in the low byte), colour not premultiplied. These are the plain
// definitions; the compositing kernels use tables built from them.
#include <cstdint>

#include "storage/BlendTables.h"

namespace morvane::blend {

// F(d, s) of a separable mode whose result does not depend on the alpha.
using ChannelFn = uint8_t (*)(uint8_t d, uint8_t s);
// The modes that take the alpha inside their function (0, 1, 2, 18).
using AlphaChannelFn = uint8_t (*)(uint8_t d, uint8_t s, uint8_t a);

// nullptr unless the mode is separable and independent of the alpha
// (3-13, 19-21); the HSL and alpha-aware modes have none.
ChannelFn ChannelFunction(int mode);
// nullptr unless the mode is 0, 1, 2 or 18.
AlphaChannelFn AlphaChannelFunction(int mode);
constexpr bool IsAlphaAware(int mode) { return mode == 0 || mode == 1 || mode == 2 || mode == 18; }
constexpr bool IsHslMode(int mode) { return mode >= 14 && mode <= 17; }

// The 256 x 256 table [d][s] of a mode's ChannelFunction, built on first use
// and kept for the life of the program; nullptr when the mode has none.
const ByteTable* ChannelTable(int mode);

// Soft light's lightening curve D in 16.16 on x = d * 65536 / 255.
int32_t SoftLightCurve(int32_t x);

// The HSL helpers: luminance (weights summing to 65536), chroma (largest
// minus smallest byte) and SetHSL. The alpha of SetHSL's result is c's.
uint32_t Luminance(uint32_t r, uint32_t g, uint32_t b);
uint32_t LuminanceOf(uint32_t pixel);
uint32_t ChromaOf(uint32_t pixel);
uint32_t SetHSL(uint32_t c, uint32_t chroma, uint32_t luminance);

// The whole-pixel F(d, s) of any mode: per byte for the separable ones (the
// alpha-aware ones at full strength), SetHSL for 14-17. The alpha byte is
// d's for separable modes and the first SetHSL argument's for HSL modes.
// mode must be valid.
uint32_t CombinePixel(int mode, uint32_t d, uint32_t s);

} // namespace morvane::blend
