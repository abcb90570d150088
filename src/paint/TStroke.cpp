#include "paint/TStroke.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "paint/CPenTC.h"

namespace morvane {

namespace {

struct MethodRules {
    float fixedSpacing; // 0: the stroke's own spacing
    bool sizeFollowsPressure;
    bool toneAllowed;
    bool gradationAllowed;
    bool paintsCoverage;
};

// Indexed by StrokeMethod.
constexpr MethodRules kRules[kStrokeMethods] = {
    {1.0f / 6, true, true, true, true},     // pen
    {1.0f / 12, true, true, true, false},   // wc
    {0.25f, true, true, false, false},      // blur
    {0.25f, true, false, false, false},     // eraser
    {0.25f, false, false, false, true},     // blur2
    {0.0f, true, true, true, false},        // airbrush
    {0.0f, true, true, false, false},       // rubpen
    {0.0f, true, true, false, false},       // darken
    {0.0f, true, true, false, false},       // lighten
};

constexpr int kCompatibleProfiles = 5;
constexpr float kMinSpacing = 0.02f;

} // namespace

PickupPatches::PickupPatches() = default;
PickupPatches::~PickupPatches() = default;

CPenTC* PickupPatches::Get(int index)
{
    auto& patch = patches_[size_t(index & 1)];
    if (!patch)
        patch.reset(new (std::nothrow) CPenTC);
    return patch.get();
}

void PickupPatches::Reset()
{
    for (auto& patch : patches_)
        if (patch)
            patch->Reset();
}

template <typename T>
bool TStroke::Store(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    changed = true;
    return true;
}

bool TStroke::StoreClamped(float& field, float value, float lo, float hi)
{
    if (!std::isfinite(value))
        return false;
    return Store(field, std::clamp(value, lo, hi));
}

bool TStroke::SetMethod(StrokeMethod method)
{
    return IsStrokeMethod(int(method)) && Store(method_, method);
}

bool TStroke::SetOpacity(float value) { return StoreClamped(opacity_, value, 0.01f, 1.0f); }
bool TStroke::SetRadius(float value) { return StoreClamped(radius_, value, 0.1f, 200.0f); }
bool TStroke::SetMinRadiusPercent(float value) { return StoreClamped(minRadiusPercent_, value, 0.0f, 100.0f); }
bool TStroke::SetGamma(float value) { return StoreClamped(gamma_, value, 0.01f, 6.0f); }
bool TStroke::SetSpacing(float value) { return StoreClamped(spacing_, value, kMinSpacing, 2.0f); }

bool TStroke::SetEffect(int effect, float value)
{
    if (effect < 1 || effect > 3)
        return false;
    return StoreClamped(effects_[size_t(effect - 1)], value, 0.0f, 100.0f);
}

float TStroke::Effect(int effect) const
{
    return effect >= 1 && effect <= 3 ? effects_[size_t(effect - 1)] : 0.0f;
}

bool TStroke::SetAirMap(int32_t compatibleCode)
{
    constexpr int32_t kDefaultProfile = 3;
    if (compatibleCode < 0 || compatibleCode >= kCompatibleProfiles)
        compatibleCode = kDefaultProfile;
    return Store(airMap_, uint8_t(compatibleCode));
}

bool TStroke::SetSoftEdge(bool on) { return Store(softEdge_, on); }
bool TStroke::SetPressureSize(bool on) { return Store(pressureSize_, on); }
bool TStroke::SetPressureDensity(bool on) { return Store(pressureDensity_, on); }
bool TStroke::SetUseTone(bool on) { return Store(useTone_, on); }
bool TStroke::SetUseGradation(bool on) { return Store(useGradation_, on); }
bool TStroke::SetProtectAlpha(bool on) { return Store(protectAlpha_, on); }

bool TStroke::SizeFollowsPressure() const { return kRules[size_t(method_)].sizeFollowsPressure; }
bool TStroke::ToneAllowed() const { return kRules[size_t(method_)].toneAllowed; }
bool TStroke::GradationAllowed() const { return kRules[size_t(method_)].gradationAllowed; }
bool TStroke::PaintsCoverage() const { return kRules[size_t(method_)].paintsCoverage; }

float TStroke::EffectiveSpacing() const
{
    const float fixed = kRules[size_t(method_)].fixedSpacing;
    return std::max(kMinSpacing, fixed > 0 ? fixed : spacing_);
}

float TStroke::RadiusAt(float pressure) const
{
    if (!SizeFollowsPressure() || !pressureSize_)
        return radius_;
    const float m = radius_ * minRadiusPercent_ / 100;
    return m + pressure * (radius_ - m);
}

} // namespace morvane
