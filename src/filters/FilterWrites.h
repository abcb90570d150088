#pragma once
// The two pixel writes of every filter routine, at a coverage c (0..255):
// WriteColour blends the colour bytes and keeps alpha; WritePixel blends
// alpha first and the colour only where the blended alpha is not zero.
// Both use the shared colour blend (x * c * 32897 + old * (8388735 - c *
// 32897)) >> 23, which at c = 255 gives x exactly.
#include <cstdint>

namespace morvane {

inline uint32_t BlendByte(uint32_t neu, uint32_t old, uint32_t c)
{
    return (neu * c * 32897u + old * (8388735u - c * 32897u)) >> 23;
}

inline uint32_t WriteColour(uint32_t old, uint32_t colour, uint32_t c)
{
    if (c == 0)
        return old;
    if (c == 255)
        return (colour & 0x00FFFFFFu) | (old & 0xFF000000u);
    return BlendByte(colour & 0xFF, old & 0xFF, c) | BlendByte((colour >> 8) & 0xFF, (old >> 8) & 0xFF, c) << 8 |
           BlendByte((colour >> 16) & 0xFF, (old >> 16) & 0xFF, c) << 16 | (old & 0xFF000000u);
}

inline uint32_t WritePixel(uint32_t old, uint32_t pixel, uint32_t c)
{
    if (c == 0)
        return old;
    const uint32_t alpha = BlendByte(pixel >> 24, old >> 24, c);
    const uint32_t withAlpha = (old & 0x00FFFFFFu) | alpha << 24;
    return alpha == 0 ? withAlpha : WriteColour(withAlpha, pixel, c);
}

// The same over a row of n pixels with a row of coverage (null: all 255).
void WriteColourRow(uint32_t* row, const uint32_t* colours, const uint8_t* coverage, int32_t n);
void WritePixelRow(uint32_t* row, const uint32_t* pixels, const uint8_t* coverage, int32_t n);

} // namespace morvane
