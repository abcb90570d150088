#include "paint/TPaintParam.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>

#include "paint/TStroke.h"
#include "storage/FixedPoint.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr float TPaintParamR::*kEffects[3] = {&TPaintParamR::effect1, &TPaintParamR::effect2,
                                              &TPaintParamR::effect3};

constexpr uint8_t kFlatAirMap = 2;
constexpr uint8_t kConstantAirMap = 7;
constexpr uint8_t kLinearNibCurve = 3;
constexpr uint8_t kCircleNibCurve = 0;
constexpr int32_t kHardFlat = 900;

// A preset's nib channel (255 - coverage) as coverage bytes, rows from the
// top; empty when the channel is unusable or too large for a nib.
std::vector<uint8_t> CoverageOf(const TChannel& channel)
{
    std::vector<uint8_t> coverage;
    if (!channel.IsValid() || channel.Width > kMaxNibBitmapSide || channel.Height > kMaxNibBitmapSide)
        return coverage;
    try {
        coverage.resize(size_t(channel.Width) * size_t(channel.Height));
    } catch (const std::bad_alloc&) {
        return {};
    }
    uint8_t* out = coverage.data();
    for (int32_t y = 0; y < channel.Height; ++y)
        for (int32_t x = 0; x < channel.Width; ++x)
            *out++ = uint8_t(255 - channel.GetValue(x, y));
    return coverage;
}

// The fraction f in 1/1000, rounded and clamped.
int32_t Permille(float f) { return std::clamp(roundSat(f * 1000.0f), 0, 1000); }

} // namespace

const TPaintParamR& PaintParamDefaults(PaintKind kind)
{
    static const std::array<TPaintParamR, kPaintKinds> table = [] {
        std::array<TPaintParamR, kPaintKinds> t{};
        for (int k = 0; k < kPaintKinds; ++k)
            t[size_t(k)].airMap = KindInfo(PaintKind(k)).defaultAirMap;
        return t;
    }();
    const auto i = size_t(kind);
    return table[i < kPaintKinds ? i : 0];
}

TPaintParam::TPaintParam(PaintKind kind) { ResetToKind(kind); }

TPaintParam::TPaintParam(const TPaintParam& other) { CopyFrom(other); }

TPaintParam& TPaintParam::operator=(const TPaintParam& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

TPaintParam::~TPaintParam() = default;

void TPaintParam::CopyFrom(const TPaintParam& other)
{
    ResetToKind(other.kind_);
    name_ = other.name_;
    values_ = other.values_;
    nibId_ = other.nibId_;
    if (other.icon_)
        SetIcon(*other.icon_);
    if (!other.HasBitmap() || !SetBitmap(other.bitmapWidth_, other.bitmapHeight_, other.bitmap_))
        values_.bitmapScale = 1.0f;
}

void TPaintParam::ResetToKind(PaintKind kind)
{
    kind_ = IsPaintKind(int(kind)) ? kind : PaintKind::Pencil1;
    ClearIcon();
    ClearBitmap();
    values_ = PaintParamDefaults(kind_);
    name_ = Info().defaultName;
}

// ---- setters ----

bool TPaintParam::StoreFloat(float TPaintParamR::*field, float v, float lo, float hi)
{
    if (!std::isfinite(v))
        return false;
    v = std::clamp(v, lo, hi);
    if (values_.*field == v)
        return false;
    values_.*field = v;
    return true;
}

bool TPaintParam::StoreFlag(bool TPaintParamR::*field, bool on)
{
    if (values_.*field == on)
        return false;
    values_.*field = on;
    return true;
}

bool TPaintParam::SetName(const std::string& name)
{
    if (name_ == name)
        return false;
    name_ = name;
    return true;
}

bool TPaintParam::SetDensity(float v) { return StoreFloat(&TPaintParamR::density, v, 0.01f, 1.0f); }
bool TPaintParam::SetSpacing(float v) { return StoreFloat(&TPaintParamR::spacing, v, 0.01f, 2.0f); }
bool TPaintParam::SetGamma(float v) { return StoreFloat(&TPaintParamR::gamma, v, 0.01f, 6.0f); }
bool TPaintParam::SetRadius(float v) { return StoreFloat(&TPaintParamR::radius, v, 0.1f, 200.0f); }
bool TPaintParam::SetMinRadius(float v) { return StoreFloat(&TPaintParamR::minRadius, v, 0.0f, 1.0f); }
bool TPaintParam::SetAspect(float v) { return StoreFloat(&TPaintParamR::aspect, v, 0.01f, 1.0f); }
bool TPaintParam::SetAirMapFlat(float v) { return StoreFloat(&TPaintParamR::airMapFlat, v, 0.0f, 1.0f); }
bool TPaintParam::SetAirMapAdd(float v) { return StoreFloat(&TPaintParamR::airMapAdd, v, 0.0f, 1.0f); }
bool TPaintParam::SetBitmapScale(float v) { return StoreFloat(&TPaintParamR::bitmapScale, v, 0.01f, 5.0f); }

bool TPaintParam::SetDenseStepRadius(float v)
{
    return StoreFloat(&TPaintParamR::denseStepRadius, v, 0.0f, 1000.0f);
}

bool TPaintParam::SetSubStepRadius(float v)
{
    return StoreFloat(&TPaintParamR::subStepRadius, v, 0.0f, 1000.0f);
}

// Any finite angle; the nib record reduces it to one turn.
bool TPaintParam::SetAngle(float v)
{
    return StoreFloat(&TPaintParamR::angle, v, -std::numeric_limits<float>::max(),
                      std::numeric_limits<float>::max());
}

bool TPaintParam::SetEffect(int effect, float v)
{
    if (effect < 1 || effect > 3)
        return false;
    return StoreFloat(kEffects[effect - 1], v, 0.0f, 100.0f);
}

bool TPaintParam::SetAirMap(int curve)
{
    if (curve < 0 || curve >= kAirMapCurves || values_.airMap == curve)
        return false;
    values_.airMap = uint8_t(curve);
    return true;
}

bool TPaintParam::SetPressureDensity(bool on) { return StoreFlag(&TPaintParamR::pressureDensity, on); }
bool TPaintParam::SetPressureSize(bool on) { return StoreFlag(&TPaintParamR::pressureSize, on); }
bool TPaintParam::SetUseGradation(bool on) { return StoreFlag(&TPaintParamR::useGradation, on); }
bool TPaintParam::SetUseTone(bool on) { return StoreFlag(&TPaintParamR::useTone, on); }
bool TPaintParam::SetSoftEdge(bool on) { return StoreFlag(&TPaintParamR::softEdge, on); }
bool TPaintParam::SetAliased(bool on) { return StoreFlag(&TPaintParamR::aliased, on); }

bool TPaintParam::SetNibId(int32_t id)
{
    if (nibId_ == id)
        return false;
    nibId_ = id;
    return true;
}

// ---- icon and bitmap nib ----

bool TPaintParam::SetIcon(const TMTC& icon)
{
    try {
        auto copy = std::make_unique<TMTC>(icon);
        if (!copy->IsValid())
            return false;
        icon_ = std::move(copy);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void TPaintParam::ClearIcon() { icon_.reset(); }

bool TPaintParam::SetBitmap(int32_t width, int32_t height, const std::vector<uint8_t>& coverage)
{
    ClearBitmap();
    if (width < 1 || height < 1 || width > kMaxNibBitmapSide || height > kMaxNibBitmapSide ||
        coverage.size() != size_t(width) * size_t(height))
        return false;
    try {
        bitmap_ = coverage;
    } catch (const std::bad_alloc&) {
        return false;
    }
    bitmapWidth_ = width;
    bitmapHeight_ = height;
    return true;
}

void TPaintParam::ClearBitmap()
{
    bitmap_ = {};
    bitmapWidth_ = bitmapHeight_ = 0;
}

SizeControlLimits TPaintParam::SizeLimits() const
{
    if (!HasBitmap())
        return {0.01f, 5.0f, 0.1f, 200.0f};
    const auto a = float(std::min(bitmapWidth_, bitmapHeight_));
    const auto b = float(std::max(bitmapWidth_, bitmapHeight_));
    const float maxScale = std::min(512.0f / b, 5.0f);
    // A long thin bitmap would want a smallest scale above the largest.
    const float minScale = std::min(std::max(4.0f / a, 0.01f), maxScale);
    return {minScale, maxScale, b * minScale / 2, b * maxScale / 2};
}

float TPaintParam::SizeControlRadius() const { return HasBitmap() ? 0.0f : values_.radius; }

// ---- TStroke ----

bool TPaintParam::ToStroke(TStroke& stroke) const
{
    const TPaintParamR& v = values_;
    stroke.SetMethod(Info().strokeMethod);
    stroke.SetOpacity(v.density);
    stroke.SetEffect(1, v.effect1);
    stroke.SetEffect(2, v.effect2);
    stroke.SetGamma(v.gamma);
    stroke.SetSoftEdge(v.softEdge);
    stroke.SetPressureSize(v.pressureSize);
    stroke.SetPressureDensity(v.pressureDensity);
    stroke.SetMinRadiusPercent(v.minRadius * 100.0f);
    stroke.SetSpacing(v.spacing);
    stroke.SetEffect(3, v.effect3);
    stroke.SetRadius(v.radius);
    if (HasCapability(kind_, paintcap::CompatibleAirMap))
        stroke.SetAirMap(CompatibleOfAirMap(v.airMap));
    else if (HasCapability(kind_, paintcap::SoftEdgeAirMap))
        stroke.SetSoftEdge(v.airMap != kFlatAirMap);
    if (stroke.GradationAllowed())
        stroke.SetUseGradation(v.useGradation);
    if (stroke.ToneAllowed())
        stroke.SetUseTone(v.useTone);
    return true;
}

bool TPaintParam::FromStroke(const TStroke& stroke)
{
    const std::optional<PaintKind> kind = KindFromStrokeMethod(int(stroke.Method()));
    if (!kind)
        return false;
    ResetToKind(*kind);
    SetDensity(stroke.Opacity());
    for (int e = 1; e <= 3; ++e)
        SetEffect(e, stroke.Effect(e));
    SetGamma(stroke.Gamma());
    SetSoftEdge(stroke.SoftEdge());
    SetPressureSize(stroke.PressureSize());
    SetPressureDensity(stroke.PressureDensity());
    SetRadius(stroke.Radius());
    SetMinRadius(stroke.MinRadiusPercent() / 100.0f);
    SetSpacing(stroke.EffectiveSpacing());
    return true;
}

// ---- pen setting record ----

PenSettingRecord TPaintParam::ToPenSetting() const
{
    const TPaintParamR& v = values_;
    PenSettingRecord r;
    r.minRadius = v.minRadius;
    r.radius = v.radius;
    r.gamma = v.gamma;
    r.effect1 = v.effect1;
    r.effect2 = v.effect2;
    r.effect3 = v.effect3;
    r.pressureSize = v.pressureSize;
    r.pressureDensity = v.pressureDensity;
    r.softEdge = v.softEdge;
    r.useTone = v.useTone;
    r.useGradation = v.useGradation;
    r.density = v.density;
    r.spacing = v.spacing;
    if (HasCapability(kind_, paintcap::CompatibleAirMap))
        r.airMap = CompatibleOfAirMap(v.airMap) & 0x7F;
    else if (HasCapability(kind_, paintcap::SoftEdgeAirMap))
        r.softEdge = v.airMap != kFlatAirMap;
    return r;
}

void TPaintParam::FromPenSetting(const PenSettingRecord& r, PaintKind kind)
{
    ResetToKind(kind);
    SetMinRadius(r.minRadius);
    SetRadius(r.radius);
    SetGamma(r.gamma);
    SetEffect(1, r.effect1);
    SetEffect(2, r.effect2);
    SetEffect(3, r.effect3);
    SetPressureSize(r.pressureSize);
    SetPressureDensity(r.pressureDensity);
    SetSoftEdge(r.softEdge);
    SetUseTone(r.useTone);
    SetUseGradation(r.useGradation);
    SetDensity(r.density);
    SetSpacing(r.spacing);
    if (HasCapability(kind_, paintcap::CompatibleAirMap)) {
        // An unknown code keeps the kind's default curve.
        if (const std::optional<uint8_t> curve = AirMapOfCompatible(r.airMap))
            SetAirMap(*curve);
    } else if (HasCapability(kind_, paintcap::SoftEdgeAirMap)) {
        SetAirMap(r.softEdge ? 3 : kFlatAirMap);
    }
}

// ---- brush preset records ----

std::optional<BrushMethodRecord> TPaintParam::ToBrushMethod() const
{
    std::optional<BrushMethodRecord> r = BrushMethodOfKind(kind_);
    if (r) {
        r->effect1 = roundSat<uint16_t>(values_.effect1);
        r->effect2 = roundSat<uint16_t>(values_.effect2);
        r->effect3 = roundSat<uint16_t>(values_.effect3);
    }
    return r;
}

BrushRecord TPaintParam::ToBrushRecord() const
{
    const TPaintParamR& v = values_;
    BrushRecord r;
    r.pressureSize = v.pressureSize;
    r.pressureDensity = v.pressureDensity;
    r.density = BrushRecord::DensityOf(v.density);
    r.gamma = truncSat(v.gamma * 100.0f);
    r.spacing = roundSat(v.spacing * 100.0f) * 10;
    r.denseStepRadius = roundSat(v.denseStepRadius);
    r.subStepRadius = roundSat(v.subStepRadius);
    return r;
}

bool TPaintParam::FromBrushRecords(const BrushMethodRecord& method, const BrushRecord& brush)
{
    const std::optional<PaintKind> kind = KindFromBrushMethod(method);
    if (!kind)
        return false;
    ResetToKind(*kind);
    SetPressureSize(brush.pressureSize);
    SetPressureDensity(brush.pressureDensity);
    SetDenseStepRadius(float(brush.denseStepRadius));
    SetSubStepRadius(float(brush.subStepRadius));
    SetDensity(float(brush.density) / 1000.0f);
    SetSpacing(float(brush.spacing) / 1000.0f);
    SetGamma(float(brush.gamma) / 100.0f);
    SetEffect(1, method.effect1);
    SetEffect(2, method.effect2);
    SetEffect(3, method.effect3);
    return true;
}

// ---- nib preset ----

NibRecord TPaintParam::ToNibRecord() const
{
    const TPaintParamR& v = values_;
    NibRecord r;
    const float radius = HasBitmap() ? v.bitmapScale * 100.0f : v.radius;
    r.radius = roundSat(radius * 100.0f);
    r.minRadius = roundSat(v.minRadius * 1000.0f);
    r.aspect = roundSat(v.aspect * 1000.0f);
    r.angle = roundSat(v.angle * 10.0f);
    r.Sanitize(HasBitmap()); // the record's clamps and the angle reduced to one turn
    return r;
}

AirMapRecord TPaintParam::NibAirMap() const
{
    const TPaintParamR& v = values_;
    AirMapRecord r;
    r.curve = kLinearNibCurve;
    r.flat = Permille(v.airMapFlat);
    r.add = Permille(v.airMapAdd);
    const std::optional<uint8_t> nibCurve = NibCurveOfAirMap(v.airMap);
    if (v.airMap != kFlatAirMap && v.airMap != kConstantAirMap) {
        r.curve = nibCurve.value_or(kLinearNibCurve);
        return r;
    }
    const bool flat = v.airMap == kFlatAirMap;
    switch (AirMapGroup()) {
    case 0:
        if (v.softEdge)
            r.curve = kCircleNibCurve;
        else
            r.flat = kHardFlat;
        break;
    case 1:
        if (flat)
            r.flat = kHardFlat;
        else
            r.curve = *nibCurve;
        break;
    default:
        // Current kinds carry the flat part in airMapFlat: both the flat and
        // the constant curve build on 1 - x, as presets made elsewhere expect.
        break;
    }
    return r;
}

std::unique_ptr<TChannel> TPaintParam::NibBitmapChannel() const
{
    if (!HasBitmap())
        return nullptr;
    try {
        auto channel = std::make_unique<TChannel>(bitmapWidth_, bitmapHeight_);
        if (!channel->IsValid())
            return nullptr;
        for (int32_t y = 0; y < bitmapHeight_; ++y) {
            const uint8_t* row = bitmap_.data() + size_t(y) * size_t(bitmapWidth_);
            uint8_t* out = channel->PixelPtr(0, y);
            for (int32_t x = 0; x < bitmapWidth_; ++x)
                out[x] = uint8_t(255 - row[x]);
        }
        return channel;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int32_t TPaintParam::NibScalePercent() const { return roundSat(values_.bitmapScale * 100.0f); }

void TPaintParam::FromNibPreset(const NibPresetParts& preset)
{
    NibRecord nib = preset.nib;
    nib.Sanitize(preset.bitmap != nullptr);
    AirMapRecord airMap = preset.airMap;
    airMap.Sanitize();

    SetAliased(preset.hardEdge);
    SetMinRadius(float(nib.minRadius) / 1000.0f);
    SetAspect(float(nib.aspect) / 1000.0f);
    SetAngle(float(nib.angle) / 10.0f);
    SetAirMap(AirMapOfNibCurve(airMap.curve));
    SetAirMapFlat(float(airMap.flat) / 1000.0f);
    SetAirMapAdd(float(airMap.add) / 1000.0f);
    SetSoftEdge(false);
    ClearBitmap();
    values_.bitmapScale = 1.0f;
    if (const TChannel* channel = preset.bitmap) {
        if (SetBitmap(channel->Width, channel->Height, CoverageOf(*channel)))
            SetBitmapScale(float(preset.scalePercent) / 100.0f);
    } else {
        SetRadius(float(nib.radius) / 100.0f);
    }
    nibId_ = preset.id;
}

} // namespace morvane
