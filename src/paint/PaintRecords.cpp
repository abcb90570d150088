#include "paint/PaintRecords.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "storage/FixedPoint.h"

namespace morvane {

namespace {

void PutLE(uint8_t* out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = uint8_t(v >> (8 * i));
}

uint32_t GetLE(const uint8_t* in, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(in[i]) << (8 * i);
    return v;
}

void PutI32(uint8_t* out, int32_t v) { PutLE(out, uint32_t(v), 4); }
int32_t GetI32(const uint8_t* in) { return int32_t(GetLE(in, 4)); }
void PutF32(uint8_t* out, float v) { PutLE(out, std::bit_cast<uint32_t>(v), 4); }
float GetF32(const uint8_t* in) { return std::bit_cast<float>(GetLE(in, 4)); }

// A float that is not finite takes `fallback`, then the range.
void ClampFloat(float& v, float lo, float hi, float fallback)
{
    v = std::clamp(std::isfinite(v) ? v : fallback, lo, hi);
}

constexpr int kNibCurves = 7;
constexpr int kCompatibleCurves = 6;

} // namespace

// ---- NibRecord ----

void NibRecord::Encode(uint8_t (&out)[kBytes]) const
{
    PutI32(out, radius);
    PutI32(out + 4, aspect);
    PutI32(out + 8, angle);
    PutI32(out + 12, minRadius);
}

NibRecord NibRecord::Decode(const uint8_t (&in)[kBytes])
{
    NibRecord r;
    r.radius = GetI32(in);
    r.aspect = GetI32(in + 4);
    r.angle = GetI32(in + 8);
    r.minRadius = GetI32(in + 12);
    return r;
}

void NibRecord::Sanitize(bool holdsBitmapScale)
{
    radius = holdsBitmapScale ? std::clamp(radius, 100, 50000) : std::clamp(radius, 10, 20000);
    aspect = std::clamp(aspect, 10, 1000);
    angle %= 3600;
    if (angle < 0)
        angle += 3600;
    minRadius = std::clamp(minRadius, 0, 1000);
}

// ---- AirMapRecord ----

void AirMapRecord::Encode(uint8_t (&out)[kBytes]) const
{
    PutLE(out, curve, 4); // three bytes of padding, zero
    PutI32(out + 4, flat);
    PutI32(out + 8, add);
}

AirMapRecord AirMapRecord::Decode(const uint8_t (&in)[kBytes])
{
    AirMapRecord r;
    r.curve = in[0];
    r.flat = GetI32(in + 4);
    r.add = GetI32(in + 8);
    return r;
}

void AirMapRecord::Sanitize()
{
    if (curve >= kNibCurves)
        curve = 3;
    flat = std::clamp(flat, 0, 1000);
    add = std::clamp(add, 0, 1000);
}

// ---- BrushMethodRecord ----

void BrushMethodRecord::Encode(uint8_t (&out)[kBytes]) const
{
    std::fill_n(out, kBytes, uint8_t(0));
    out[0] = renderClass;
    out[1] = dodge ? 1 : 0;
    out[2] = exact ? 1 : 0;
    out[3] = pencil ? 1 : 0;
    PutLE(out + 4, effect1, 2);
    PutLE(out + 6, effect2, 2);
    PutLE(out + 8, effect3, 2);
}

BrushMethodRecord BrushMethodRecord::Decode(const uint8_t (&in)[kBytes])
{
    BrushMethodRecord r;
    r.renderClass = in[0];
    r.dodge = in[1] != 0;
    r.exact = in[2] != 0;
    r.pencil = in[3] != 0;
    r.effect1 = uint16_t(GetLE(in + 4, 2));
    r.effect2 = uint16_t(GetLE(in + 6, 2));
    r.effect3 = uint16_t(GetLE(in + 8, 2));
    return r;
}

void BrushMethodRecord::Sanitize()
{
    for (uint16_t* e : {&effect1, &effect2, &effect3})
        *e = std::min<uint16_t>(*e, 100);
}

// ---- BrushRecord ----

void BrushRecord::Encode(uint8_t (&out)[kBytes]) const
{
    out[0] = pressureSize ? 1 : 0;
    out[1] = pressureDensity ? 1 : 0;
    out[2] = out[3] = 0;
    PutI32(out + 4, density);
    PutI32(out + 8, gamma);
    PutI32(out + 12, spacing);
    PutI32(out + 16, denseStepRadius);
    PutI32(out + 20, subStepRadius);
}

BrushRecord BrushRecord::Decode(const uint8_t (&in)[kBytes])
{
    BrushRecord r;
    r.pressureSize = in[0] != 0;
    r.pressureDensity = in[1] != 0;
    r.density = GetI32(in + 4);
    r.gamma = GetI32(in + 8);
    r.spacing = GetI32(in + 12);
    r.denseStepRadius = GetI32(in + 16);
    r.subStepRadius = GetI32(in + 20);
    return r;
}

void BrushRecord::Sanitize()
{
    density = std::clamp(density, 10, 1000);
    gamma = std::clamp(gamma, 1, 600);
    spacing = std::clamp(spacing, 10, 2000);
    denseStepRadius = std::clamp(denseStepRadius, 0, 1000);
    subStepRadius = std::clamp(subStepRadius, 0, 1000);
}

int32_t BrushRecord::DensityOf(float opacity)
{
    return truncSat(opacity * 1000.0f);
}

// ---- PenSettingRecord ----

void PenSettingRecord::Encode(uint8_t (&out)[kBytes]) const
{
    PutF32(out, minRadius);
    PutF32(out + 4, radius);
    PutF32(out + 8, gamma);
    PutF32(out + 12, effect1);
    PutF32(out + 16, effect2);
    PutF32(out + 20, effect3);
    out[24] = pressureSize ? 1 : 0;
    out[25] = pressureDensity ? 1 : 0;
    out[26] = softEdge ? 1 : 0;
    out[27] = useTone ? 1 : 0;
    out[28] = useGradation ? 1 : 0;
    out[29] = out[30] = out[31] = 0;
    PutF32(out + 32, density);
    PutF32(out + 36, spacing);
    PutI32(out + 40, airMap);
}

PenSettingRecord PenSettingRecord::Decode(const uint8_t (&in)[kBytes])
{
    PenSettingRecord r;
    r.minRadius = GetF32(in);
    r.radius = GetF32(in + 4);
    r.gamma = GetF32(in + 8);
    r.effect1 = GetF32(in + 12);
    r.effect2 = GetF32(in + 16);
    r.effect3 = GetF32(in + 20);
    r.pressureSize = in[24] != 0;
    r.pressureDensity = in[25] != 0;
    r.softEdge = in[26] != 0;
    r.useTone = in[27] != 0;
    r.useGradation = in[28] != 0;
    r.density = GetF32(in + 32);
    r.spacing = GetF32(in + 36);
    r.airMap = GetI32(in + 40);
    return r;
}

void PenSettingRecord::Sanitize(const PenSettingRecord& defaults)
{
    ClampFloat(minRadius, 0.0f, 1.0f, defaults.minRadius);
    ClampFloat(radius, 0.1f, 200.0f, defaults.radius);
    ClampFloat(gamma, 0.01f, 6.0f, defaults.gamma);
    ClampFloat(effect1, 0.0f, 100.0f, defaults.effect1);
    ClampFloat(effect2, 0.0f, 100.0f, defaults.effect2);
    ClampFloat(effect3, 0.0f, 100.0f, defaults.effect3);
    ClampFloat(density, 0.01f, 1.0f, defaults.density);
    ClampFloat(spacing, 0.01f, 2.0f, defaults.spacing);
    if (airMap < 0 || airMap >= kCompatibleCurves)
        airMap = defaults.airMap;
}

} // namespace morvane
