#pragma once
// The stroke state shared by the stroke engines: settings of the current tool
// (copied in from a TPaintParam before a stroke) and the running values of the
// stroke. Setters clamp to the engines' ranges and note any change.
#include <array>
#include <cstdint>

#include <memory>

#include "paint/PaintKind.h"
#include "storage/Rect.h"

namespace morvane {

class CPenTC;

struct StrokePoint {
    float x = 0, y = 0, pressure = 0;
};

// The two pick-up patches of the compatible fingertip. They belong to the
// running stroke only, so a copied stroke starts without them.
class PickupPatches {
public:
    PickupPatches();
    ~PickupPatches();
    PickupPatches(const PickupPatches&) : PickupPatches() {}
    PickupPatches& operator=(const PickupPatches&) { return *this; }
    // Patch 0 or 1, made on first use; null when memory runs out.
    CPenTC* Get(int index);
    void Reset();

private:
    std::array<std::unique_ptr<CPenTC>, 2> patches_;
};

class TStroke {
public:
    static constexpr int kHistory = 8;

    explicit TStroke(int32_t version = 0) : version(version) {}

    // Each returns true when the value changed (and then sets `changed`).
    // Values that are not finite are refused (false, nothing changes).
    bool SetMethod(StrokeMethod method);
    bool SetOpacity(float value);          // 0.01-1
    bool SetRadius(float value);           // 0.1-200 px
    bool SetMinRadiusPercent(float value); // 0-100
    bool SetGamma(float value);            // 0.01-6
    bool SetSpacing(float value);          // 0.02-2
    bool SetEffect(int effect, float value); // effect 1-3, 0-100
    // Compatible codes 0-4, the ones the compatible renderer has profiles
    // for; any other (127 is what settings hold for a curve without a
    // compatible code) counts as 3, the default, so no earlier curve lingers.
    bool SetAirMap(int32_t compatibleCode);
    bool SetSoftEdge(bool on);
    bool SetPressureSize(bool on);
    bool SetPressureDensity(bool on);
    bool SetUseTone(bool on);
    bool SetUseGradation(bool on);
    bool SetProtectAlpha(bool on);

    StrokeMethod Method() const { return method_; }
    float Opacity() const { return opacity_; }
    float Radius() const { return radius_; }
    float MinRadiusPercent() const { return minRadiusPercent_; }
    float Gamma() const { return gamma_; }
    float Spacing() const { return spacing_; }
    float Effect(int effect) const;
    uint8_t AirMap() const { return airMap_; }
    bool SoftEdge() const { return softEdge_; }
    bool PressureSize() const { return pressureSize_; }
    bool PressureDensity() const { return pressureDensity_; }
    bool UseTone() const { return useTone_; }
    bool UseGradation() const { return useGradation_; }
    bool ProtectAlpha() const { return protectAlpha_; }

    // Per-method rules.
    bool SizeFollowsPressure() const;
    bool ToneAllowed() const;
    bool GradationAllowed() const;
    bool PaintsCoverage() const;
    // The method's fixed spacing, else `spacing`, at least 0.02.
    float EffectiveSpacing() const;
    // Radius at pressure p on the compatible engines.
    float RadiusAt(float pressure) const;
    // The opacity a stroke paints at: the oldest engine (0) always paints at 1.
    float OpacityFor(int engine) const { return engine == 0 ? 1.0f : opacity_; }

    // Running state, owned by whichever engine runs the stroke. The bounds
    // are the compatible engines' (document coordinates): the segment's dab
    // area and the accumulator of the whole stroke.
    float segmentLeft = 0, segmentRight = 0, segmentTop = 0, segmentBottom = 0;
    EdgeRect strokeBounds;
    std::array<StrokePoint, kHistory> history{}; // newest first
    uint32_t subColor = 0xFFFFFFFF;
    uint32_t color = 0xFF000000;
    bool rawPoints = false;
    bool shapeMode = false;
    bool changed = false;
    int32_t layerIndex = 0;
    int32_t stepCount = 0;
    float strokeLength = 0;
    int32_t dabCount = 0;
    int32_t version = 0;
    int32_t lastPickX = 0, lastPickY = 0;
    int32_t pickCounter = -1;
    PickupPatches pickups;
    uint32_t pickColor = 0, wetColor = 0, dabColor = 0;
    std::array<float, 3> runColor{};

private:
    template <typename T>
    bool Store(T& field, T value);
    bool StoreClamped(float& field, float value, float lo, float hi);

    StrokeMethod method_ = StrokeMethod::Pen;
    float opacity_ = 1.0f;
    uint8_t airMap_ = 3;
    bool useTone_ = false;
    bool useGradation_ = false;
    bool protectAlpha_ = false;
    bool pressureSize_ = false;
    bool pressureDensity_ = false;
    bool softEdge_ = false;
    float minRadiusPercent_ = 0.0f;
    float radius_ = 1.0f;
    float gamma_ = 1.0f;
    std::array<float, 3> effects_{};
    float spacing_ = 0.1f;
};

} // namespace morvane
