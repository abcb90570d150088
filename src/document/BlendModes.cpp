#include "document/BlendModes.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "document/SLayerParam.h"

namespace morvane::blend {

namespace {

constexpr uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

uint8_t Normal(uint8_t, uint8_t s) { return s; }
uint8_t Screen(uint8_t d, uint8_t s) { return Clamp8(d + s - int32_t(MulDiv255(d, s))); }

// Overlay and hard light differ only in which byte picks the branch.
uint8_t OverlayBranch(int32_t test, int32_t d, int32_t s)
{
    if (test < 128)
        return Clamp8(2 * d * s / 255);
    return Clamp8((65025 - 2 * (255 - d) * (255 - s)) / 255);
}
uint8_t Overlay(uint8_t d, uint8_t s) { return OverlayBranch(d, d, s); }
uint8_t HardLight(uint8_t d, uint8_t s) { return OverlayBranch(s, d, s); }

uint8_t SoftLight(uint8_t d8, uint8_t s8)
{
    const int32_t d = d8, s = s8, f = 2 * s;
    if (s >= 128) {
        const int32_t g = (SoftLightCurve(d * 65536 / 255) * 255) >> 16;
        return Clamp8((d * 255 + (g - d) * (f - 255)) / 255);
    }
    const int32_t spread = int32_t((uint32_t(d * (255 - d)) * kDiv255Mul) >> 23);
    return Clamp8((d * 255 - (255 - f) * spread) / 255);
}

uint8_t Difference(uint8_t d, uint8_t s) { return uint8_t(d > s ? d - s : s - d); }
uint8_t Exclusion(uint8_t d, uint8_t s) { return Clamp8(d + s - 2 * int32_t(MulDiv255(d, s))); }
uint8_t Darken(uint8_t d, uint8_t s) { return std::min(d, s); }
uint8_t Lighten(uint8_t d, uint8_t s) { return std::max(d, s); }

uint8_t Burn(uint8_t d, uint8_t s)
{
    if (s == 0)
        return d == 255 ? 255 : 0;
    return uint8_t(255 - std::min(255, (255 - d) * 255 / s));
}

uint8_t Dodge(uint8_t d, uint8_t s)
{
    if (s == 255)
        return d != 0 ? 255 : 0;
    return uint8_t(std::min(255, d * 255 / (255 - s)));
}

// 256, not 255: a middle grey of 128 is the neutral value.
uint8_t LinearLight(uint8_t d, uint8_t s) { return Clamp8(d + 2 * s - 256); }

uint8_t VividLight(uint8_t d, uint8_t s)
{
    if (s > 127)
        return s > 254 ? 255 : uint8_t(std::min(255, (d * 255 / (255 - s)) >> 1));
    return s == 0 ? 0 : uint8_t(255 - std::min(255, ((255 - d) * 255 / s) >> 1));
}

uint8_t PinLight(uint8_t d, uint8_t s) { return Clamp8(std::min(std::max<int32_t>(d, 2 * s - 255), 2 * s)); }

uint8_t MultiplyA(uint8_t d, uint8_t s, uint8_t a) { return MulTable[d][TintTable[a][s]]; }
uint8_t AddA(uint8_t d, uint8_t s, uint8_t a) { return Clamp8(d + MulTable[a][s]); }
uint8_t SubtractA(uint8_t d, uint8_t s, uint8_t a) { return Clamp8(d - MulTable[a][s]); }
uint8_t SubtractNegativeA(uint8_t d, uint8_t s, uint8_t a)
{
    return Clamp8(d - int32_t(((255u - s) * a * kDiv255Mul) >> 23));
}

constexpr ChannelFn kChannelFns[kModeCount] = {
    nullptr, nullptr, nullptr, Normal, Screen, Overlay, HardLight, SoftLight,
    Difference, Exclusion, Darken, Lighten, Burn, Dodge, nullptr, nullptr,
    nullptr, nullptr, nullptr, LinearLight, VividLight, PinLight,
};

// Rounded integer square root, exact for every 64-bit input below 2^52.
uint32_t RoundedSqrt(uint64_t n)
{
    uint64_t k = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
    while (k * k > n)
        --k;
    while ((k + 1) * (k + 1) <= n)
        ++k;
    // sqrt(n) >= k + 1/2 exactly when n > k * k + k.
    return static_cast<uint32_t>(n - k * k > k ? k + 1 : k);
}

uint32_t Byte(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

} // namespace

ChannelFn ChannelFunction(int mode) { return IsValidMode(mode) ? kChannelFns[mode] : nullptr; }

AlphaChannelFn AlphaChannelFunction(int mode)
{
    switch (mode) {
    case kModeMultiply: return MultiplyA;
    case kModeAdd: return AddA;
    case kModeSubtract: return SubtractA;
    case kModeSubtractNegative: return SubtractNegativeA;
    default: return nullptr;
    }
}

const ByteTable* ChannelTable(int mode)
{
    static std::once_flag once[kModeCount];
    static std::unique_ptr<ByteTable> tables[kModeCount];
    const ChannelFn fn = ChannelFunction(mode);
    if (!fn)
        return nullptr;
    std::call_once(once[mode], [&] {
        auto table = std::make_unique<ByteTable>();
        for (int d = 0; d < 256; ++d)
            for (int s = 0; s < 256; ++s)
                table->v[d][s] = fn(uint8_t(d), uint8_t(s));
        tables[mode] = std::move(table);
    });
    return tables[mode].get();
}

int32_t SoftLightCurve(int32_t x)
{
    if (x > 0x4000)
        return int32_t(RoundedSqrt(uint64_t(x) * 65536));
    // ((16x - 12) x + 4) x in 16.16, each product shifted back arithmetically.
    const int64_t inner = ((int64_t{16} * x - 12 * 65536) * x) >> 16;
    return int32_t(((inner + 4 * 65536) * x) >> 16);
}

uint32_t Luminance(uint32_t r, uint32_t g, uint32_t b) { return (19595 * r + 38469 * g + 7472 * b) >> 16; }
uint32_t LuminanceOf(uint32_t p) { return Luminance(Byte(p, 16), Byte(p, 8), Byte(p, 0)); }

uint32_t ChromaOf(uint32_t p)
{
    const uint32_t r = Byte(p, 16), g = Byte(p, 8), b = Byte(p, 0);
    return std::max({r, g, b}) - std::min({r, g, b});
}

uint32_t SetHSL(uint32_t c, uint32_t chroma, uint32_t luminance)
{
    int32_t v[3] = {int32_t(Byte(c, 0)), int32_t(Byte(c, 8)), int32_t(Byte(c, 16))};
    const int32_t m = std::min({v[0], v[1], v[2]});
    int32_t top = std::max({v[0], v[1], v[2]});
    const int32_t k = int32_t(std::min<uint32_t>(chroma, 255)), y = int32_t(std::min<uint32_t>(luminance, 255));
    uint32_t out = c & 0xFF000000u;
    if (k == 0 || top == m)
        return out | uint32_t(y) * 0x010101u;
    for (int32_t& byte : v)
        byte = k * (byte - m) / (top - m);
    // The branch below tests the maximum of the scaled bytes (which is k).
    top = std::max({v[0], v[1], v[2]});
    const int32_t lum = int32_t(Luminance(uint32_t(v[2]), uint32_t(v[1]), uint32_t(v[0])));
    const int32_t delta = y - lum;
    const int32_t spread =
        std::max<int32_t>(1, int32_t(Luminance(uint32_t(top - v[2]), uint32_t(top - v[1]), uint32_t(top - v[0]))));
    for (int i = 0; i < 3; ++i) {
        int32_t r;
        if (top + delta >= 256)
            r = 255 - (255 - y) * (top - v[i]) / spread;
        else if (delta < 0)
            r = y * v[i] / lum; // lum > y >= 0 here
        else
            r = v[i] + delta;
        out |= uint32_t(Clamp8(r)) << (8 * i);
    }
    return out;
}

uint32_t CombinePixel(int mode, uint32_t d, uint32_t s)
{
    switch (mode) {
    case kModeHue: return SetHSL(s, ChromaOf(d), LuminanceOf(d));
    case kModeSaturation: return SetHSL(d, ChromaOf(s), LuminanceOf(d));
    case kModeColour: return SetHSL(s, ChromaOf(s), LuminanceOf(d));
    case kModeLuminosity: return SetHSL(d, ChromaOf(d), LuminanceOf(s));
    default: break;
    }
    const ChannelFn fn = ChannelFunction(mode);
    const AlphaChannelFn fa = AlphaChannelFunction(mode);
    uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint8_t db = uint8_t(d >> shift), sb = uint8_t(s >> shift);
        out |= uint32_t(fn ? fn(db, sb) : fa ? fa(db, sb, 255) : db) << shift;
    }
    return out;
}

} // namespace morvane::blend
