#pragma once
// Row kernels made from a per-pixel step Pixel(dst, src, opacity): the plain
// loops every compositing table falls back on.
#include <cstdint>

namespace morvane {

template <auto Pixel>
void PixelRow(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity)
{
    for (int i = 0; i < n; ++i)
        dst[i] = Pixel(dst[i], src[i], opacity);
}

template <auto Pixel>
void PixelColourRow(uint32_t* dst, uint32_t colour, int n, uint8_t opacity)
{
    for (int i = 0; i < n; ++i)
        dst[i] = Pixel(dst[i], colour, opacity);
}

} // namespace morvane
