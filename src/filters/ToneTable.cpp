#include "filters/ToneTable.h"

#include <algorithm>

#include "filters/PixelPass.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"

namespace morvane {
namespace {

uint8_t ClampByte(int64_t v) { return uint8_t(std::clamp<int64_t>(v, 0, 255)); }

// 255 * x^y in single precision, truncated and clamped to a byte.
uint8_t PowerByte(float x, float y) { return ClampByte(truncSat(255.0f * PowUnit(x, y))); }

} // namespace

ToneTable ToneTable::Identity()
{
    ToneTable t;
    for (int i = 0; i < 256; ++i)
        t.blue[size_t(i)] = t.green[size_t(i)] = t.red[size_t(i)] = t.alpha[size_t(i)] = uint8_t(i);
    return t;
}

ToneTable ToneTable::FromCurve(const std::array<uint8_t, 256>& curve)
{
    ToneTable t = Identity();
    t.blue = t.green = t.red = curve;
    return t;
}

bool ApplyToneTable(const FilterContext& context, const ToneTable& table)
{
    return PixelPass<PassWrite::Colour>(context, [&table](uint32_t v) { return table.Map(v); });
}

ToneTable SolarizeTable()
{
    std::array<uint8_t, 256> c{};
    for (int i = 0; i < 256; ++i)
        c[size_t(i)] = uint8_t(std::min(i, 255 - i));
    return ToneTable::FromCurve(c);
}

ToneTable PosterizeTable(int32_t levels)
{
    const int32_t n = std::clamp(levels, 2, 255);
    std::array<uint8_t, 256> c{};
    for (int32_t i = 0; i < 256; ++i)
        c[size_t(i)] = ClampByte((n * i / 255) * 255 / (n - 1));
    return ToneTable::FromCurve(c);
}

ToneTable ColourBalanceTable(float red, float green, float blue)
{
    ToneTable t = ToneTable::Identity();
    for (int i = 0; i < 256; ++i) {
        const float x = float(i) / 255.0f;
        t.red[size_t(i)] = PowerByte(x, red);
        t.green[size_t(i)] = PowerByte(x, green);
        t.blue[size_t(i)] = PowerByte(x, blue);
    }
    return t;
}

namespace {

std::array<uint8_t, 256> LinearBrightnessContrast(int32_t b, int32_t c)
{
    int64_t d = 65536, e = 65536;
    if (c < 0)
        d = std::min<int64_t>((int64_t{c} * 65536 + 50) / 100 + 65536, 65536);
    else
        e = 65536 - std::min<int64_t>((int64_t{c} * 65436 + 50) / 100, 65535);
    std::array<uint8_t, 256> curve{};
    for (int32_t i = 0; i < 256; ++i)
        curve[size_t(i)] = ClampByte((int64_t{i} + b - 127) * d / e + b + 127);
    return curve;
}

// 1 / k(x) for x >= 0, else k(x), with k(x) = 1 - |x| * 0.007.
float CurveFactor(int32_t x)
{
    const float k = 1.0f - float(x < 0 ? -x : x) * 0.007f;
    return x >= 0 ? 1.0f / k : k;
}

std::array<uint8_t, 256> CurvedBrightnessContrast(int32_t b, int32_t c)
{
    const float kB = CurveFactor(-b), kC1 = CurveFactor(c), kC2 = CurveFactor(-c);
    std::array<float, 256> f{};
    for (int i = 0; i < 256; ++i) {
        const float x = float(i) / 255.0f;
        f[size_t(i)] = PowUnit(x, kB) - x;
    }
    for (int j = 0; j < 128; ++j) {
        const float x = float(j) / 127.0f;
        f[size_t(j)] += PowUnit(x, kC1) - x;
        f[size_t(128 + j)] += PowUnit(x, kC2) - x;
    }
    std::array<uint8_t, 256> curve{};
    for (int i = 0; i < 256; ++i)
        curve[size_t(i)] = ClampByte(truncSat(float(i) + 255.0f * f[size_t(i)]));
    return curve;
}

} // namespace

ToneTable BrightnessContrastTable(int32_t brightness, int32_t contrast, bool linear)
{
    return ToneTable::FromCurve(linear ? LinearBrightnessContrast(brightness, contrast)
                                       : CurvedBrightnessContrast(brightness, contrast));
}

// ---- levels ---------------------------------------------------------------------------

namespace {

int32_t LevelFixed(uint8_t x) { return std::clamp(truncSat(x * 257.003921568627451 + 0.5), 0, 65536); }

struct LevelCurve {
    int32_t min, middle, max, outMin, outMax;
    bool linear;

    static LevelCurve Of(std::span<const uint8_t> r, size_t group)
    {
        return {LevelFixed(r[group]), truncSat(r[4 + group] * 655.36 + 0.5), LevelFixed(r[8 + group]),
                LevelFixed(r[12 + group]), LevelFixed(r[16 + group]), r[20] != 0};
    }

    // Where X lies between the input ends. Equal ends make a step at the
    // minimum (the limit of the curve); the bound keeps the later products
    // inside 32 bits without touching any curve with distinct ends.
    int32_t Position(int32_t x) const
    {
        constexpr int32_t kFar = 1 << 24;
        if (max == min)
            return x > min ? kFar : x < min ? -kFar : 0;
        return std::clamp(div16(x - min, max - min), -kFar, kFar);
    }

    int32_t operator()(int32_t x) const
    {
        int32_t t = Position(x);
        int32_t u;
        if (linear) {
            const int32_t h = (middle + 1) / 2;
            u = h < t ? div16(mul16(t - h, 32768), 65536 - h) + 32768 : div16(mul16(t, 32768), h);
        } else {
            t = std::clamp(t, 0, 65536);
            if (middle <= 65536)
                u = truncSat(PowUnit(float(t) / 65536.0f, float(middle) / 65536.0f) * 65536.0f);
            else
                u = 65536 - truncSat(PowUnit(float(65536 - t) / 65536.0f, float(131072 - middle) / 65536.0f) *
                                     65536.0f);
        }
        u = std::clamp(u, 0, 65536);
        return std::clamp(outMin + mul16(u, outMax - outMin), 0, 65536);
    }
};

uint8_t LevelByte(int32_t v) { return ClampByte((int64_t{v} * 255 + 32768) >> 16); }

} // namespace

ToneTable LevelsTable(std::span<const uint8_t> record)
{
    const LevelCurve master = LevelCurve::Of(record, 0), red = LevelCurve::Of(record, 1),
                     green = LevelCurve::Of(record, 2), blue = LevelCurve::Of(record, 3);
    ToneTable t = ToneTable::Identity();
    for (int i = 0; i < 256; ++i) {
        const int32_t x = LevelFixed(uint8_t(i));
        t.red[size_t(i)] = LevelByte(master(red(x)));
        t.green[size_t(i)] = LevelByte(master(green(x)));
        t.blue[size_t(i)] = LevelByte(master(blue(x)));
    }
    return t;
}

} // namespace morvane
