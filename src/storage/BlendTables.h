#pragma once
// The integer blend arithmetic shared by painting, filters and compositing.
// Division by 255 is a multiply by 32897 and a shift by 23, which is exact:
// (x * 32897) >> 23 == x / 255 for every x in 0 .. 65025.
#include <cstdint>

namespace morvane {

// A 256 x 256 byte table indexed [i][j].
struct ByteTable {
    uint8_t v[256][256];
    constexpr const uint8_t* operator[](unsigned i) const { return v[i]; }
};

// MulTable[i][j] = floor(i * j / 255).
extern const ByteTable MulTable;
// TintTable[a][c] = 255 - floor(a * (255 - c) / 255): c moved towards white by a.
extern const ByteTable TintTable;
// DeltaTable[a][k]: the step of the table blend for the halved difference k
// (k taken as a signed byte), i.e. trunc(a * k * 2 / 255), stored modulo 256.
extern const ByteTable DeltaTable;

inline constexpr uint32_t kDiv255Mul = 32897;
inline constexpr uint32_t kDiv255Full = 8388735; // 255 * 32897

// x * a / 255 for bytes x and a.
constexpr uint32_t MulDiv255(uint32_t x, uint32_t a) { return (x * a * kDiv255Mul) >> 23; }
// floor((s * a + d * (255 - a)) / 255) for bytes s, d and a.
constexpr uint32_t Lerp255(uint32_t s, uint32_t d, uint32_t a)
{
    return (s * a * kDiv255Mul + d * (kDiv255Full - a * kDiv255Mul)) >> 23;
}

// Applies fn(d, s) to the blue, green and red bytes of d and s; d's alpha
// byte is kept.
template <typename ByteFn>
constexpr uint32_t MapColourBytes(uint32_t d, uint32_t s, ByteFn fn)
{
    uint32_t r = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        r |= uint32_t(fn((d >> shift) & 0xFF, (s >> shift) & 0xFF)) << shift;
    return r;
}

// The colour blend of `colour` into the colour bytes of dst at strength a;
// dst's alpha byte is kept.
constexpr void BlendColour(uint32_t& dst, uint32_t colour, uint32_t a)
{
    if (a == 0)
        return;
    if (a >= 255)
        dst = (dst & 0xFF000000u) | (colour & 0x00FFFFFFu);
    else
        dst = MapColourBytes(dst, colour, [a](uint32_t d, uint32_t s) { return Lerp255(s, d, a); });
}

// The table form of the colour blend for one byte.
inline uint8_t DeltaBlendByte(uint8_t d, uint8_t s, uint8_t a)
{
    return static_cast<uint8_t>(d + DeltaTable[a][static_cast<uint8_t>((s >> 1) - (d >> 1))]);
}

inline void BlendColourFast(uint32_t& dst, uint32_t colour, uint32_t a)
{
    if (a == 0)
        return;
    if (a >= 255)
        dst = (dst & 0xFF000000u) | (colour & 0x00FFFFFFu);
    else
        dst = MapColourBytes(dst, colour, [a](uint32_t d, uint32_t s) {
            return DeltaBlendByte(uint8_t(d), uint8_t(s), uint8_t(a));
        });
}

// Per-byte multiply, add and subtract at strength a; alpha kept.
inline uint32_t MultiplyPixel(uint32_t d, uint32_t s, uint32_t a)
{
    return MapColourBytes(d, s, [a](uint32_t db, uint32_t sb) { return MulTable[db][TintTable[a][sb]]; });
}

inline uint32_t AddPixel(uint32_t d, uint32_t s, uint32_t a)
{
    return MapColourBytes(d, s, [a](uint32_t db, uint32_t sb) {
        uint32_t v = db + MulTable[a][sb];
        return v > 255 ? 255u : v;
    });
}

inline uint32_t SubtractPixel(uint32_t d, uint32_t s, uint32_t a)
{
    return MapColourBytes(d, s, [a](uint32_t db, uint32_t sb) {
        int32_t v = int32_t(db) - MulTable[a][sb];
        return uint32_t(v < 0 ? 0 : v);
    });
}

// A colour of the windowing system (red in the low byte) as a pixel, alpha 0.
constexpr uint32_t PixelFromSystemColour(uint32_t c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

} // namespace morvane
