#pragma once
// The parameter set of one painting tool: the tool window's current tool, a
// brush list item, the brush editor. It is copied into a TStroke before a
// stroke and split into the stored records for presets and settings.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paint/PaintKind.h"
#include "paint/PaintRecords.h"

namespace morvane {

class TChannel;
class TMTC;
class TStroke;

// The settings that have a per-kind default (units and ranges as the setters
// of TPaintParam say). The name comes from the kind table.
struct TPaintParamR {
    float density = 1.0f;
    float spacing = 0.1f;
    float effect1 = 0.0f, effect2 = 0.0f, effect3 = 0.0f;
    float gamma = 1.0f;
    bool pressureDensity = false;
    bool pressureSize = false;
    bool useGradation = false;
    bool useTone = false;
    float radius = 1.0f;
    float minRadius = 0.0f;
    float denseStepRadius = 0.0f;
    float subStepRadius = 0.0f;
    float aspect = 1.0f;
    float angle = 0.0f;
    uint8_t airMap = 0;
    float airMapFlat = 0.0f;
    float airMapAdd = 0.0f;
    float bitmapScale = 1.0f;
    bool softEdge = false;
    bool aliased = false;
    bool operator==(const TPaintParamR&) const = default;
};

const TPaintParamR& PaintParamDefaults(PaintKind kind);

// Scale and radius range of the size control.
struct SizeControlLimits {
    float minScale, maxScale;
    float minRadius, maxRadius;
};

// A nib preset as a parameter set reads and writes it. The bitmap channel
// holds 255 - coverage, as presets keep it.
struct NibPresetParts {
    NibRecord nib;
    AirMapRecord airMap;
    bool hardEdge = false;
    const TChannel* bitmap = nullptr;
    int32_t scalePercent = 100;
    int32_t id = -1;
};

inline constexpr int32_t kMaxNibBitmapSide = 4096;

class TPaintParam {
public:
    explicit TPaintParam(PaintKind kind = PaintKind::Pencil4);
    TPaintParam(const TPaintParam& other);
    TPaintParam& operator=(const TPaintParam& other);
    ~TPaintParam();

    // Back to the kind's defaults; the name, icon and bitmap nib go.
    void ResetToKind(PaintKind kind);

    PaintKind Kind() const { return kind_; }
    const PaintKindInfo& Info() const { return KindInfo(kind_); }
    uint8_t Generation() const { return Info().generation; }
    uint32_t Capabilities() const { return Info().capabilities; }
    uint8_t AirMapGroup() const { return Info().airMapGroup; }
    const std::string& Name() const { return name_; }
    const TPaintParamR& Settings() const { return values_; }
    int32_t NibId() const { return nibId_; }

    // Each setter stores the value only when it differs and says whether it
    // did. Values are clamped to their range; a value that is not finite (or
    // an unknown curve) is refused.
    bool SetName(const std::string& name);
    bool SetDensity(float v);        // 0.01-1
    bool SetSpacing(float v);        // fraction of the radius, 0.01-2
    bool SetEffect(int effect, float v); // effect 1-3, 0-100
    bool SetGamma(float v);          // 0.01-6
    bool SetPressureDensity(bool on);
    bool SetPressureSize(bool on);
    bool SetUseGradation(bool on);
    bool SetUseTone(bool on);
    bool SetRadius(float v);         // 0.1-200 px
    bool SetMinRadius(float v);      // fraction of the radius, 0-1
    bool SetDenseStepRadius(float v); // 0-1000 px
    bool SetSubStepRadius(float v);  // 0-1000 px
    bool SetAspect(float v);         // 0.01-1
    bool SetAngle(float v);          // degrees
    bool SetAirMap(int curve);       // param code 0-7
    bool SetAirMapFlat(float v);     // 0-1
    bool SetAirMapAdd(float v);      // 0-1
    bool SetBitmapScale(float v);    // 0.01-5
    bool SetSoftEdge(bool on);
    bool SetAliased(bool on);
    bool SetNibId(int32_t id);

    // The custom icon (deep copy). The built-in one is the kind's.
    bool SetIcon(const TMTC& icon);
    void ClearIcon();
    const TMTC* CustomIcon() const { return icon_.get(); }
    ToolIcon BuiltinIcon() const { return Info().icon; }

    // Bitmap nib: coverage bytes, rows from the top. False (and no bitmap)
    // for an empty or oversized size, a short block or failed allocation.
    bool SetBitmap(int32_t width, int32_t height, const std::vector<uint8_t>& coverage);
    void ClearBitmap();
    bool HasBitmap() const { return !bitmap_.empty(); }
    const std::vector<uint8_t>& BitmapBits() const { return bitmap_; }
    int32_t BitmapWidth() const { return bitmapWidth_; }
    int32_t BitmapHeight() const { return bitmapHeight_; }

    // Size control: scale and radius range, and the radius shown (0 with a
    // bitmap nib, whose size is its scale).
    SizeControlLimits SizeLimits() const;
    float SizeControlRadius() const;

    // ---- conversions ----
    bool ToStroke(TStroke& stroke) const;
    // Resets to the compatible kind of the stroke's method.
    bool FromStroke(const TStroke& stroke);

    PenSettingRecord ToPenSetting() const;
    // Resets to `kind`, then takes the record's values.
    void FromPenSetting(const PenSettingRecord& record, PaintKind kind);

    // Nothing for the compatible kinds 0-8.
    std::optional<BrushMethodRecord> ToBrushMethod() const;
    BrushRecord ToBrushRecord() const;
    // Resets to the kind of `method` and takes both records' values; false
    // (nothing changes) for an unknown render class. Name, icon, the
    // gradation and tone switches and the nib are the preset's to set after.
    bool FromBrushRecords(const BrushMethodRecord& method, const BrushRecord& brush);

    NibRecord ToNibRecord() const;
    // The air map handed to the nib generator.
    AirMapRecord NibAirMap() const;
    // The bitmap as a preset keeps it (255 - coverage); null without one or
    // when it cannot be allocated.
    std::unique_ptr<TChannel> NibBitmapChannel() const;
    int32_t NibScalePercent() const;
    void FromNibPreset(const NibPresetParts& preset);

private:
    bool StoreFloat(float TPaintParamR::*field, float v, float lo, float hi);
    bool StoreFlag(bool TPaintParamR::*field, bool on);
    void CopyFrom(const TPaintParam& other);

    PaintKind kind_ = PaintKind::Pencil4;
    std::string name_;
    TPaintParamR values_;
    std::unique_ptr<TMTC> icon_;
    std::vector<uint8_t> bitmap_;
    int32_t bitmapWidth_ = 0;
    int32_t bitmapHeight_ = 0;
    int32_t nibId_ = -1;
};

} // namespace morvane
