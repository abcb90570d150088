#pragma once
// The eighteen paint kinds and what each one is: stroke method, render
// method, generation, air-map group and default curve, default name, icon,
// capabilities. Kinds 0-8 are the version-3-compatible tools, 9-17 the
// current ones. Also the three numberings of the air-map curves.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "paint/PaintRecords.h"

namespace morvane {

enum class PaintKind : uint8_t {
    Pencil1, Eraser1, WaterColor1, AirBrush1, Blur1, Blur2, FingerTip1, Burn1, Dodge1,
    Pencil4, Eraser4, WaterColor4, AirBrush4, Blur4, FingerTip4, Spread4, Burn4, Dodge4,
};
inline constexpr int kPaintKinds = 18;

// The method a TStroke runs; its name also names the compatible pen slots.
enum class StrokeMethod : uint8_t { Pen, WaterColor, Blur, Eraser, Blur2, AirBrush, RubPen, Darken, Lighten };
inline constexpr int kStrokeMethods = 9;

// First byte of the brush method record. Draw is pencil or airbrush by the
// record's pencil flag, BurnDodge burn or dodge by its dodge flag.
enum class RenderMethod : uint8_t { Draw, WaterColor, Blur, Erase, Spread, FingerTip, BurnDodge };
inline constexpr int kRenderMethods = 7;

// Built-in tool images; the desktop program maps them to pictures.
enum class ToolIcon : uint8_t {
    Pencil, Eraser, WaterColor, AirBrush, Blur, FingerTip, Spread, Burn, Dodge,
    Pencil3, Eraser3, WaterColor3, AirBrush3, Blur3, FingerTip3, Burn3, Dodge3,
};

// Capability bits: which controls the tool window shows, how the air map is
// carried.
namespace paintcap {
inline constexpr uint32_t Name = 1u << 0;
inline constexpr uint32_t Density = 1u << 2;
inline constexpr uint32_t Spacing = 1u << 3;
inline constexpr uint32_t Effect1 = 1u << 4;
inline constexpr uint32_t Effect2 = 1u << 5;
inline constexpr uint32_t Effect3 = 1u << 6;
inline constexpr uint32_t Gamma = 1u << 7;
inline constexpr uint32_t PressureDensity = 1u << 8;
inline constexpr uint32_t PressureSize = 1u << 9;
inline constexpr uint32_t Radius = 1u << 12;
inline constexpr uint32_t MinRadius = 1u << 13;
inline constexpr uint32_t Aspect = 1u << 14;
inline constexpr uint32_t Angle = 1u << 15;
inline constexpr uint32_t CompatibleAirMap = 1u << 16;
inline constexpr uint32_t BitmapNib = 1u << 19;
inline constexpr uint32_t SoftEdgeAirMap = 1u << 20;
inline constexpr uint32_t Antialias = 1u << 21;
} // namespace paintcap

struct PaintKindInfo {
    const char* kindName;
    StrokeMethod strokeMethod;
    int8_t renderMethod; // -1: never reaches the pen renderer
    bool pencil;         // completes RenderMethod::Draw
    bool dodge;          // completes RenderMethod::BurnDodge
    uint8_t generation;  // 0 offered by no menu, 1 compatible, 2 current
    uint8_t airMapGroup;
    uint8_t defaultAirMap; // param curve code
    const char* defaultName;
    ToolIcon icon;
    uint32_t capabilities;
};

// A value outside 0-17 reads kind 0's entry rather than outside the table;
// values from outside are checked with IsPaintKind when they are made kinds.
const PaintKindInfo& KindInfo(PaintKind kind);
bool IsPaintKind(int value);
inline bool HasCapability(PaintKind kind, uint32_t bits) { return (KindInfo(kind).capabilities & bits) == bits; }

const char* StrokeMethodName(StrokeMethod method);
bool IsStrokeMethod(int value);
// Always to the compatible kind; a code above 8 gives nothing.
std::optional<PaintKind> KindFromStrokeMethod(int code);

// The kind of a brush method record; nothing for an unknown class.
std::optional<PaintKind> KindFromBrushMethod(const BrushMethodRecord& record);
// Class and flags of a current kind (effects left 0); nothing for kinds 0-8.
std::optional<BrushMethodRecord> BrushMethodOfKind(PaintKind kind);

// The brush editor's kind list, in order.
std::span<const PaintKind> BrushEditorKinds();

// Air-map curves: the parameter numbering 0-7, the nib-preset numbering 0-6
// and the compatible one 0-5. A param code outside 0-7 is treated as 0.
inline constexpr int kAirMapCurves = 8;
// Nothing for the flat curve (2), which nib presets cannot name.
std::optional<uint8_t> NibCurveOfAirMap(uint8_t airMap);
// An unknown nib-preset code gives 0 (1 - x).
uint8_t AirMapOfNibCurve(int nibCurve);
// Codes without a compatible form give what the settings store for them:
// 0 for curves 1 and 4, 127 for 7.
int32_t CompatibleOfAirMap(uint8_t airMap);
bool HasCompatibleCode(uint8_t airMap);
// Nothing for an unknown compatible code.
std::optional<uint8_t> AirMapOfCompatible(int32_t code);
// The param codes the tool window offers for an air-map group: none for
// group 0 (only the soft-edge switch), the ones with a compatible code for
// group 1, all eight for group 2.
std::span<const uint8_t> OfferedAirMaps(uint8_t airMapGroup);

// Label of effect 1-3 of a kind, and the hint "label|labelの変更".
const char* EffectLabel(PaintKind kind, int effect);
std::string EffectHint(PaintKind kind, int effect);

} // namespace morvane
