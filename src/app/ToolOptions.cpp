#include "app/ToolOptions.h"

#include <algorithm>
#include <cmath>

#include "input/ToolState.h"
#include "paint/CPenShapeObj.h"
#include "paint/TStroke.h"

namespace morvane {

namespace {

using namespace paintcap;

constexpr const char* kCurveCaptions[kAirMapCurves] = {
    "直線", "急減", "なし", "円", "放物線", "S字", "鋭角", "一定",
};

// A control shown for a capability, with the caption it carries.
struct NumberRow {
    OptionId id;
    uint32_t capability;
    const char* caption;
    double lo, hi;
    int decimals;
    const char* unit;
};

constexpr NumberRow kValueRows[] = {
    {OptionId::MinSize, MinRadius, "最小サイズ", 0, 100, 0, "%"},
    {OptionId::Density, Density, "濃度", 1, 100, 0, "%"},
    {OptionId::Spacing, Spacing, "間隔", 1, 200, 0, "%"},
    {OptionId::Gamma, Gamma, "筆圧ガンマ", 0.05, 6, 2, ""},
};

constexpr OptionId kEffects[3] = {OptionId::Effect1, OptionId::Effect2, OptionId::Effect3};
constexpr uint32_t kEffectBits[3] = {Effect1, Effect2, Effect3};

OptionControl Control(OptionId id, OptionKind kind, std::string caption)
{
    OptionControl c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    return c;
}

OptionControl Number(OptionId id, std::string caption, double lo, double hi, int decimals, const char* unit)
{
    OptionControl c = Control(id, OptionKind::Number, std::move(caption));
    c.lo = lo;
    c.hi = hi;
    c.decimals = decimals;
    c.unit = unit;
    return c;
}

OptionControl Check(OptionId id, std::string caption)
{
    return Control(id, OptionKind::Check, std::move(caption));
}

bool Has(const TPaintParam& p, uint32_t bit) { return (p.Capabilities() & bit) != 0; }

OptionControl SizeControlOf(const ToolState& tools, PaintKind kind)
{
    const SizeControl size = tools.SizeOf(kind);
    return Number(OptionId::Size, "サイズ", size.lo, size.hi, 1, size.percent ? "%" : "px");
}

// The curves the kind's air-map group offers; group 0 carries only the
// soft-edge switch (bit 20) or nothing.
void AddAirMap(const TPaintParam& p, std::vector<OptionControl>& out)
{
    const std::span<const uint8_t> offered = OfferedAirMaps(p.AirMapGroup());
    if (!offered.empty()) {
        OptionControl c = Control(OptionId::AirMap, OptionKind::Choice, "濃度分布");
        for (uint8_t curve : offered) {
            c.choices.push_back(kCurveCaptions[curve]);
            c.choiceValues.push_back(curve);
        }
        out.push_back(std::move(c));
    } else if (Has(p, SoftEdgeAirMap)) {
        out.push_back(Check(OptionId::SoftEdge, "ソフトエッジ"));
    }
    if (p.AirMapGroup() == 2) {
        out.push_back(Number(OptionId::Flat, "平坦(&F)", 0, 100, 0, "%"));
        out.push_back(Number(OptionId::Add, "底上げ(&B)", 0, 100, 0, "%"));
    }
}

// The gradation and tone switches of the methods that paint with them;
// disabled until there is a gradation and a tone to paint with.
void AddPaintSwitches(const TPaintParam& p, std::vector<OptionControl>& out)
{
    TStroke stroke;
    stroke.SetMethod(p.Info().strokeMethod);
    if (stroke.GradationAllowed()) {
        out.push_back(Check(OptionId::Gradation, "グラデーション"));
        out.back().enabled = false;
    }
    if (stroke.ToneAllowed()) {
        out.push_back(Check(OptionId::Tone, "トーン"));
        out.back().enabled = false;
    }
}

int NibIndexOf(const ToolState& tools)
{
    const int32_t id = tools.Param().NibId();
    for (int32_t i = 0; i < tools.Nibs().Count(); ++i)
        if (tools.Nibs().Item(i)->Id() == id)
            return i;
    return -1;
}

} // namespace

const char* AirMapCaption(uint8_t curve) { return kCurveCaptions[curve < kAirMapCurves ? curve : 0]; }

std::vector<OptionControl> OptionControlsFor(const ToolState& tools)
{
    return OptionControlsFor(tools, tools.Kind());
}

std::vector<OptionControl> OptionControlsFor(const ToolState& tools, PaintKind kind)
{
    const TPaintParam& p = tools.ParamOf(kind);
    std::vector<OptionControl> out;
    if (Has(p, Name))
        out.push_back(Control(OptionId::Name, OptionKind::Text, "名前"));
    if (Has(p, Radius))
        out.push_back(SizeControlOf(tools, kind));
    for (const NumberRow& row : kValueRows)
        if (Has(p, row.capability))
            out.push_back(Number(row.id, row.caption, row.lo, row.hi, row.decimals, row.unit));
    if (Has(p, PressureSize))
        out.push_back(Check(OptionId::PressureSize, "筆圧でサイズ"));
    if (Has(p, PressureDensity))
        out.push_back(Check(OptionId::PressureDensity, "筆圧で濃度"));
    for (int e = 0; e < 3; ++e)
        if (Has(p, kEffectBits[e])) {
            out.push_back(Number(kEffects[e], EffectLabel(p.Kind(), e + 1), 0, 100, 0, ""));
            out.back().hint = EffectHint(p.Kind(), e + 1);
        }
    if (Has(p, Aspect))
        out.push_back(Number(OptionId::Flatness, "扁平率", 0, 99, 0, "%"));
    if (Has(p, Angle))
        out.push_back(Number(OptionId::Angle, "角度", 0, 359, 0, "°"));
    AddAirMap(p, out);
    if (Has(p, Antialias))
        out.push_back(Check(OptionId::Antialias, "アンチエイリアス有効(&T)"));
    if (Has(p, BitmapNib)) {
        OptionControl nib = Control(OptionId::Nib, OptionKind::Choice, "ペン先");
        for (int32_t i = 0; i < tools.Nibs().Count(); ++i) {
            const std::string& name = tools.Nibs().Item(i)->name;
            std::string caption = name;
            if (caption.empty())
                caption.append("ペン先 ").append(std::to_string(i + 1));
            nib.choices.push_back(std::move(caption));
            nib.choiceValues.push_back(i);
        }
        out.push_back(std::move(nib));
    }
    AddPaintSwitches(p, out);
    return out;
}

double OptionValue(const ToolState& tools, OptionId id)
{
    const TPaintParamR& v = tools.Param().Settings();
    switch (id) {
    case OptionId::Name: return 0;
    case OptionId::Size: return tools.Size().value;
    case OptionId::MinSize: return double(v.minRadius) * 100;
    case OptionId::Density: return double(v.density) * 100;
    case OptionId::Spacing: return double(v.spacing) * 100;
    case OptionId::Gamma: return v.gamma;
    case OptionId::PressureSize: return v.pressureSize;
    case OptionId::PressureDensity: return v.pressureDensity;
    case OptionId::Effect1: return v.effect1;
    case OptionId::Effect2: return v.effect2;
    case OptionId::Effect3: return v.effect3;
    case OptionId::Flatness: return 100 - double(v.aspect) * 100;
    case OptionId::Angle: {
        const double a = std::fmod(double(v.angle), 360.0);
        return a < 0 ? a + 360 : a;
    }
    case OptionId::AirMap: return v.airMap;
    case OptionId::SoftEdge: return v.airMap != 2;
    case OptionId::Flat: return double(v.airMapFlat) * 100;
    case OptionId::Add: return double(v.airMapAdd) * 100;
    case OptionId::Antialias: return !v.aliased;
    case OptionId::Nib: return NibIndexOf(tools);
    case OptionId::Gradation: return v.useGradation;
    case OptionId::Tone: return v.useTone;
    }
    return 0;
}

bool SetOption(ToolState& tools, OptionId id, double value)
{
    if (!std::isfinite(value))
        return false;
    const auto f = float(value);
    const bool on = value != 0;
    switch (id) {
    case OptionId::Size: return tools.SetSize(f);
    case OptionId::Nib: return tools.ChooseNib(int32_t(std::lround(std::clamp(value, -1.0, 1e6))));
    default: break;
    }
    return tools.Edit([&](TPaintParam& p) {
        switch (id) {
        case OptionId::MinSize: return p.SetMinRadius(f / 100);
        case OptionId::Density: return p.SetDensity(f / 100);
        case OptionId::Spacing: return p.SetSpacing(f / 100);
        case OptionId::Gamma: return p.SetGamma(std::max(f, 0.05f));
        case OptionId::PressureSize: return p.SetPressureSize(on);
        case OptionId::PressureDensity: return p.SetPressureDensity(on);
        case OptionId::Effect1: return p.SetEffect(1, f);
        case OptionId::Effect2: return p.SetEffect(2, f);
        case OptionId::Effect3: return p.SetEffect(3, f);
        case OptionId::Flatness: return p.SetAspect(1 - std::clamp(f, 0.0f, 99.0f) / 100);
        case OptionId::Angle: return p.SetAngle(std::fmod(f, 360.0f));
        case OptionId::AirMap: {
            // Only a curve the kind's group offers: a compatible kind must
            // not be handed one without a compatible code.
            const std::span<const uint8_t> offered = OfferedAirMaps(p.AirMapGroup());
            const int curve = int(std::lround(std::clamp(value, -1.0, 8.0)));
            return std::find(offered.begin(), offered.end(), curve) != offered.end() && p.SetAirMap(curve);
        }
        case OptionId::SoftEdge: return p.SetAirMap(on ? 3 : 2);
        case OptionId::Flat: return p.SetAirMapFlat(f / 100);
        case OptionId::Add: return p.SetAirMapAdd(f / 100);
        case OptionId::Antialias: return p.SetAliased(!on);
        default: return false; // the gradation and tone lists are not there yet
        }
    });
}

bool SetOptionText(ToolState& tools, OptionId id, const std::string& text)
{
    if (id != OptionId::Name || text.empty() || !HasCapability(tools.Kind(), Name))
        return false;
    return tools.Edit([&](TPaintParam& p) { return p.SetName(text); });
}

} // namespace morvane
