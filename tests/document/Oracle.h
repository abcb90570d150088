#pragma once
// Slow, literal transcriptions of the blend formulas, written apart from the
// production code (plain divisions, no tables) so that the fast kernels have
// something independent to be compared with.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>

namespace morvane::oracle {

inline int Clamp(int v) { return std::clamp(v, 0, 255); }
inline int ByteOf(uint32_t p, int i) { return int((p >> (8 * i)) & 0xFF); }

inline int SoftLightD(int x)
{
    if (x > 0x4000)
        return int(std::floor(std::sqrt(double(x) * 65536.0) + 0.5));
    const int64_t a = ((16 * int64_t(x) - 12 * 65536) * x) >> 16;
    return int(((a + 4 * 65536) * x) >> 16);
}

inline int F(int mode, int d, int s)
{
    switch (mode) {
    case 3: return s;
    case 4: return d + s - d * s / 255;
    case 5: return d < 128 ? 2 * d * s / 255 : (65025 - 2 * (255 - d) * (255 - s)) / 255;
    case 6: return s < 128 ? 2 * d * s / 255 : (65025 - 2 * (255 - d) * (255 - s)) / 255;
    case 7: {
        const int f = 2 * s;
        if (s >= 128) {
            const int g = (SoftLightD(d * 65536 / 255) * 255) >> 16;
            return Clamp((d * 255 + (g - d) * (f - 255)) / 255);
        }
        return Clamp((d * 255 - (255 - f) * (d * (255 - d) / 255)) / 255);
    }
    case 8: return std::abs(d - s);
    case 9: return d + s - 2 * (d * s / 255);
    case 10: return std::min(d, s);
    case 11: return std::max(d, s);
    case 12: return s == 0 ? (d == 255 ? 255 : 0) : 255 - std::min(255, (255 - d) * 255 / s);
    case 13: return s >= 255 ? (d != 0 ? 255 : 0) : std::min(255, d * 255 / (255 - s));
    case 19: return Clamp(d + 2 * s - 256);
    case 20:
        if (s > 127)
            return s > 254 ? 255 : std::min(255, (d * 255 / (255 - s)) >> 1);
        return s == 0 ? 0 : 255 - std::min(255, ((255 - d) * 255 / s) >> 1);
    case 21: return std::min(std::max(d, 2 * s - 255), 2 * s);
    default: return -1;
    }
}

// Modes 0, 1, 2, 18 at strength a.
inline int AlphaF(int mode, int d, int s, int a)
{
    switch (mode) {
    case 0: return d * (255 - a * (255 - s) / 255) / 255;
    case 1: return std::min(255, d + a * s / 255);
    case 2: return std::max(0, d - a * s / 255);
    case 18: return std::max(0, d - (255 - s) * a / 255);
    default: return -1;
    }
}

inline bool AlphaAware(int mode) { return mode == 0 || mode == 1 || mode == 2 || mode == 18; }

inline int Lum(int r, int g, int b) { return (19595 * r + 38469 * g + 7472 * b) >> 16; }
inline int LumOf(uint32_t p) { return Lum(ByteOf(p, 2), ByteOf(p, 1), ByteOf(p, 0)); }
inline int ChromaOf(uint32_t p)
{
    return std::max({ByteOf(p, 0), ByteOf(p, 1), ByteOf(p, 2)}) - std::min({ByteOf(p, 0), ByteOf(p, 1), ByteOf(p, 2)});
}

inline uint32_t SetHSL(uint32_t c, int k, int y)
{
    int b = ByteOf(c, 0), g = ByteOf(c, 1), r = ByteOf(c, 2);
    const int m = std::min({r, g, b}), M = std::max({r, g, b});
    uint32_t out = c & 0xFF000000u;
    if (k == 0 || M == m)
        return out | uint32_t(y) << 16 | uint32_t(y) << 8 | uint32_t(y);
    r = k * (r - m) / (M - m);
    g = k * (g - m) / (M - m);
    b = k * (b - m) / (M - m);
    const int top = std::max({r, g, b});
    const int lum = Lum(r, g, b), delta = y - lum;
    auto one = [&](int v) {
        if (top + delta >= 256)
            return Clamp(255 - (255 - y) * (top - v) / std::max(1, Lum(top - r, top - g, top - b)));
        if (delta < 0)
            return Clamp(y * v / lum);
        return Clamp(v + delta);
    };
    return out | uint32_t(one(r)) << 16 | uint32_t(one(g)) << 8 | uint32_t(one(b));
}

inline uint32_t Hsl(int mode, uint32_t d, uint32_t s)
{
    switch (mode) {
    case 14: return SetHSL(s, ChromaOf(d), LumOf(d));
    case 15: return SetHSL(d, ChromaOf(s), LumOf(d));
    case 16: return SetHSL(s, ChromaOf(s), LumOf(d));
    default: return SetHSL(d, ChromaOf(d), LumOf(s));
    }
}

// F of a whole pixel for the modes that blend their result in afterwards.
inline int CombinedByte(int mode, uint32_t d, uint32_t s, int i)
{
    if (mode >= 14 && mode <= 17)
        return ByteOf(Hsl(mode, d, s), i);
    return F(mode, ByteOf(d, i), ByteOf(s, i));
}

inline uint32_t Opaque(int mode, uint32_t d, uint32_t s, int opacity)
{
    const int alpha = int(s >> 24);
    const int a = mode == 3 ? int((uint32_t(opacity) * uint32_t(alpha) * 32897u) >> 23) : opacity * alpha / 255;
    uint32_t out = d & 0xFF000000u;
    for (int i = 0; i < 3; ++i) {
        const int db = ByteOf(d, i), sb = ByteOf(s, i);
        const int v = AlphaAware(mode) ? AlphaF(mode, db, sb, a)
                                       : (CombinedByte(mode, d, s, i) * a + db * (255 - a)) / 255;
        out |= uint32_t(v) << (8 * i);
    }
    return out;
}

// The over forms, per colour byte; the alpha is the union ra unless a form
// says otherwise. e is the target's alpha, D the layer's effective alpha.
struct Over {
    int d, s, e, D, both, ra;
};

inline int MultiplyOver(const Over& o) { return (o.d * o.e + o.s * o.D - o.both * (o.s + o.d - o.d * o.s / 255)) / o.ra; }
inline int ScreenOver(const Over& o) { return (o.d * o.e + o.s * o.D - o.both * (o.d * o.s / 255)) / o.ra; }
inline int DifferenceOver(const Over& o)
{
    return (o.D * std::abs(255 * o.s - o.e * o.d) + o.e * o.d * (255 - o.D)) / (255 * o.ra);
}
// Flattened over white, then the white outside the union taken out again.
inline int DarkenOver(const Over& o)
{
    const int w = o.e * o.d + 65025 - 255 * o.e;
    return (o.D * std::min(w, 255 * o.s) + (255 - o.D) * w - 65025 * (255 - o.ra)) / (255 * o.ra);
}
inline int LightenOver(const Over& o) { return (o.D * std::max(o.e * o.d, 255 * o.s) + (255 - o.D) * o.e * o.d) / (255 * o.ra); }

// by is the byte function; f(i) the mode's result byte i where one is needed.
template <class ByteFn>
uint32_t UnionOver(uint32_t t, uint32_t s, int opacity, ByteFn by)
{
    const int e = int(t >> 24), D = int(s >> 24) * opacity / 255, both = e * D / 255, ra = e + D - both;
    if (ra == 0)
        return t;
    uint32_t out = uint32_t(ra) << 24;
    for (int i = 0; i < 3; ++i)
        out |= uint32_t(Clamp(by(Over{ByteOf(t, i), ByteOf(s, i), e, D, both, ra}, i))) << (8 * i);
    return out;
}

inline uint32_t GeneralOver(int mode, uint32_t t, uint32_t s, int opacity)
{
    return UnionOver(t, s, opacity, [&](const Over& o, int i) {
        if (AlphaAware(mode))
            return (255 * o.e * AlphaF(mode, o.d, o.s, o.D) + (255 - o.e) * o.D * o.s) / (255 * o.ra);
        const int mixed = ((255 - o.e) * o.s + o.e * CombinedByte(mode, t, s, i)) / 255;
        return (o.d * (o.e - o.both) + mixed * o.D) / o.ra;
    });
}

inline uint32_t NormalOver(uint32_t t, uint32_t s, int opacity)
{
    const int sa = opacity * int(s >> 24) / 255, ta = int(t >> 24);
    if (sa == 0)
        return t;
    if (sa == 255)
        return s | 0xFF000000u;
    const int ra = ta == 255 ? 255 : ta + sa * (255 - ta) / 255;
    const int at = ta == 255 ? sa : sa * 255 / ra;
    uint32_t out = uint32_t(ra) << 24;
    for (int i = 0; i < 3; ++i)
        out |= uint32_t((ByteOf(s, i) * at + ByteOf(t, i) * (255 - at)) / 255) << (8 * i);
    return out;
}

inline uint32_t WeightedOver(uint32_t t, uint32_t s, int opacity)
{
    const int ta = int(t >> 24), sa = int(s >> 24) * opacity / 255, both = sa * ta / 255;
    if (ta + sa == both)
        return t;
    const int ra = ta > 0 && sa != 0 ? 255 : ta + sa - both;
    uint32_t out = uint32_t(ra) << 24;
    for (int i = 0; i < 3; ++i)
        out |= uint32_t(Clamp((ByteOf(t, i) * ta + ByteOf(s, i) * sa) / ra)) << (8 * i);
    return out;
}

// Random pixels that hit the edge values 0, 1, 127, 128, 254, 255 often.
class PixelSource {
public:
    explicit PixelSource(uint32_t seed) : rng_(seed) {}
    int Byte()
    {
        static constexpr int kEdges[] = {0, 1, 127, 128, 254, 255};
        const uint32_t r = rng_();
        return (r & 3) == 0 ? kEdges[(r >> 2) % 6] : int((r >> 8) & 0xFF);
    }
    uint32_t Pixel() { return uint32_t(Byte()) << 24 | uint32_t(Byte()) << 16 | uint32_t(Byte()) << 8 | uint32_t(Byte()); }

private:
    std::mt19937 rng_;
};

} // namespace morvane::oracle
