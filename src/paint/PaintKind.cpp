#include "paint/PaintKind.h"

#include <iterator>

namespace morvane {

namespace {

constexpr uint32_t Bits(int first, int last)
{
    uint32_t m = 0;
    for (int b = first; b <= last; ++b)
        m |= 1u << b;
    return m;
}

constexpr uint32_t Bit(int b) { return 1u << b; }

constexpr uint32_t kCurrentCaps = Bits(0, 3) | Bits(7, 19) | Bit(21);
constexpr uint32_t kCurrentCapsEffect1 = kCurrentCaps | Bit(4);

using SM = StrokeMethod;
using TI = ToolIcon;
constexpr int8_t kNone = -1;

// The one place that says what a kind is.
constexpr PaintKindInfo kKinds[kPaintKinds] = {
    {"Pencil1", SM::Pen, kNone, false, false, 1, 0, 7, "鉛筆", TI::Pencil3, Bit(2) | Bits(7, 13)},
    {"Eraser1", SM::Eraser, kNone, false, false, 1, 0, 7, "消しゴム", TI::Eraser3,
     Bit(2) | Bits(7, 9) | Bits(12, 13) | Bit(20)},
    {"WaterColor1", SM::WaterColor, kNone, false, false, 1, 0, 7, "透明水彩", TI::WaterColor3,
     Bit(2) | Bits(4, 13) | Bit(20)},
    {"AirBrush1", SM::AirBrush, kNone, false, false, 1, 1, 0, "エアーブラシ", TI::AirBrush3,
     Bits(2, 3) | Bits(7, 13) | Bit(16)},
    {"Blur1", SM::Blur, kNone, false, false, 1, 0, 0, "ぼかし", TI::Blur3,
     Bit(2) | Bit(4) | Bit(7) | Bit(9) | Bits(11, 13)},
    {"Blur2", SM::Blur2, kNone, false, false, 0, 0, 7, "ぼかし", TI::Blur3,
     Bit(2) | Bit(4) | Bit(7) | Bit(9) | Bits(12, 13)},
    {"FingerTip1", SM::RubPen, kNone, false, false, 1, 1, 5, "指先", TI::FingerTip3,
     Bits(2, 3) | Bits(7, 9) | Bits(11, 13) | Bit(16)},
    {"Burn1", SM::Darken, kNone, false, false, 1, 1, 5, "焼き込み", TI::Burn3,
     Bits(2, 4) | Bits(7, 9) | Bits(11, 13) | Bit(16)},
    {"Dodge1", SM::Lighten, kNone, false, false, 1, 1, 5, "覆い焼き", TI::Dodge3,
     Bits(2, 4) | Bits(7, 9) | Bits(11, 13) | Bit(16)},
    {"Pencil4", SM::Pen, 0, true, false, 2, 2, 0, "鉛筆", TI::Pencil, kCurrentCaps},
    {"Eraser4", SM::Eraser, 3, false, false, 2, 2, 0, "消しゴム", TI::Eraser, kCurrentCaps},
    {"WaterColor4", SM::WaterColor, 1, false, false, 2, 2, 0, "透明水彩", TI::WaterColor,
     Bits(0, 19) | Bit(21)},
    {"AirBrush4", SM::AirBrush, 0, false, false, 2, 2, 0, "エアーブラシ", TI::AirBrush, kCurrentCaps},
    {"Blur4", SM::Blur, 2, false, false, 2, 2, 0, "ぼかし", TI::Blur, kCurrentCapsEffect1},
    {"FingerTip4", SM::RubPen, 5, false, false, 2, 2, 0, "指先", TI::FingerTip, kCurrentCaps},
    {"Spread4", SM::RubPen, 4, false, false, 2, 2, 0, "のばし", TI::Spread, kCurrentCaps},
    {"Burn4", SM::Darken, 6, false, false, 2, 2, 0, "焼き込み", TI::Burn, kCurrentCapsEffect1},
    {"Dodge4", SM::Lighten, 6, false, true, 2, 2, 0, "覆い焼き", TI::Dodge, kCurrentCapsEffect1},
};

constexpr const char* kStrokeMethodNames[kStrokeMethods] = {
    "pen", "wc", "blur", "eraser", "blur2", "airbrush", "rubpen", "darken", "lighten",
};

constexpr PaintKind kKindOfStrokeMethod[kStrokeMethods] = {
    PaintKind::Pencil1, PaintKind::WaterColor1, PaintKind::Blur1, PaintKind::Eraser1, PaintKind::Blur2,
    PaintKind::AirBrush1, PaintKind::FingerTip1, PaintKind::Burn1, PaintKind::Dodge1,
};

constexpr PaintKind kBrushEditorKinds[] = {
    PaintKind::Pencil4, PaintKind::Eraser4, PaintKind::WaterColor4, PaintKind::AirBrush4, PaintKind::Blur4,
    PaintKind::FingerTip4, PaintKind::Spread4, PaintKind::Burn4, PaintKind::Dodge4,
};

// Air-map numberings, indexed by param code. -1: no such code.
constexpr int8_t kNibOfParam[kAirMapCurves] = {3, 4, -1, 0, 1, 2, 5, 6};
constexpr int8_t kCompatibleOfParam[kAirMapCurves] = {3, -1, 0, 1, -1, 2, 4, -1};
constexpr uint8_t kParamOfNib[] = {3, 4, 5, 0, 1, 6, 7};
constexpr uint8_t kParamOfCompatible[] = {2, 3, 5, 0, 6, 7};

constexpr uint8_t kOfferedGroup1[] = {0, 2, 3, 5, 6};
constexpr uint8_t kOfferedGroup2[] = {0, 1, 2, 3, 4, 5, 6, 7};

uint8_t ParamCode(uint8_t airMap) { return airMap < kAirMapCurves ? airMap : 0; }

} // namespace

const PaintKindInfo& KindInfo(PaintKind kind)
{
    const auto i = size_t(kind);
    return kKinds[i < kPaintKinds ? i : 0];
}

bool IsPaintKind(int value) { return value >= 0 && value < kPaintKinds; }

const char* StrokeMethodName(StrokeMethod method)
{
    const auto i = size_t(method);
    return i < kStrokeMethods ? kStrokeMethodNames[i] : "";
}

bool IsStrokeMethod(int value) { return value >= 0 && value < kStrokeMethods; }

std::optional<PaintKind> KindFromStrokeMethod(int code)
{
    if (!IsStrokeMethod(code))
        return std::nullopt;
    return kKindOfStrokeMethod[code];
}

std::optional<PaintKind> KindFromBrushMethod(const BrushMethodRecord& record)
{
    switch (RenderMethod(record.renderClass)) {
    case RenderMethod::Draw: return record.pencil ? PaintKind::Pencil4 : PaintKind::AirBrush4;
    case RenderMethod::WaterColor: return PaintKind::WaterColor4;
    case RenderMethod::Blur: return PaintKind::Blur4;
    case RenderMethod::Erase: return PaintKind::Eraser4;
    case RenderMethod::Spread: return PaintKind::Spread4;
    case RenderMethod::FingerTip: return PaintKind::FingerTip4;
    case RenderMethod::BurnDodge: return record.dodge ? PaintKind::Dodge4 : PaintKind::Burn4;
    }
    return std::nullopt;
}

std::optional<BrushMethodRecord> BrushMethodOfKind(PaintKind kind)
{
    const PaintKindInfo& info = KindInfo(kind);
    if (info.renderMethod < 0)
        return std::nullopt;
    BrushMethodRecord r;
    r.renderClass = uint8_t(info.renderMethod);
    r.pencil = info.pencil;
    r.dodge = info.dodge;
    return r;
}

std::span<const PaintKind> BrushEditorKinds() { return kBrushEditorKinds; }

std::optional<uint8_t> NibCurveOfAirMap(uint8_t airMap)
{
    const int8_t c = kNibOfParam[ParamCode(airMap)];
    return c < 0 ? std::nullopt : std::optional<uint8_t>(uint8_t(c));
}

uint8_t AirMapOfNibCurve(int nibCurve)
{
    return nibCurve >= 0 && nibCurve < int(std::size(kParamOfNib)) ? kParamOfNib[nibCurve] : 0;
}

int32_t CompatibleOfAirMap(uint8_t airMap)
{
    const uint8_t p = ParamCode(airMap);
    if (kCompatibleOfParam[p] >= 0)
        return kCompatibleOfParam[p];
    return p == 7 ? 127 : 0;
}

bool HasCompatibleCode(uint8_t airMap) { return kCompatibleOfParam[ParamCode(airMap)] >= 0; }

std::optional<uint8_t> AirMapOfCompatible(int32_t code)
{
    if (code < 0 || code >= int32_t(std::size(kParamOfCompatible)))
        return std::nullopt;
    return kParamOfCompatible[code];
}

std::span<const uint8_t> OfferedAirMaps(uint8_t airMapGroup)
{
    switch (airMapGroup) {
    case 1: return kOfferedGroup1;
    case 2: return kOfferedGroup2;
    default: return {};
    }
}

const char* EffectLabel(PaintKind kind, int effect)
{
    static constexpr const char* kGeneric = "効果";
    switch (kind) {
    case PaintKind::WaterColor1:
    case PaintKind::WaterColor4: {
        static constexpr const char* kLabels[] = {"のばし効果", "ぼかし効果", "効果の影響距離"};
        return effect >= 1 && effect <= 3 ? kLabels[effect - 1] : kGeneric;
    }
    case PaintKind::Blur1:
    case PaintKind::Blur2:
    case PaintKind::Blur4: return effect == 1 ? "ぼかし強度" : kGeneric;
    case PaintKind::Burn1:
    case PaintKind::Dodge1:
    case PaintKind::Burn4:
    case PaintKind::Dodge4: return effect == 1 ? "露出量" : kGeneric;
    default: return kGeneric;
    }
}

std::string EffectHint(PaintKind kind, int effect)
{
    const std::string label = EffectLabel(kind, effect);
    return label + "|" + label + "の変更";
}

} // namespace morvane
