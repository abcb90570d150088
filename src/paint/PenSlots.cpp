#include "paint/PenSlots.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/SettingsStore.h"

namespace morvane {

namespace {

constexpr PaintKind kSlotKinds[kPenSlotTools] = {
    PaintKind::Pencil1, PaintKind::Eraser1, PaintKind::WaterColor1, PaintKind::AirBrush1,
    PaintKind::Blur1, PaintKind::FingerTip1, PaintKind::Burn1, PaintKind::Dodge1,
};

using R = PenSettingRecord;

constexpr R kBurnDodge = {.minRadius = 0.6f, .radius = 25, .effect1 = 50, .pressureSize = true,
                          .pressureDensity = true, .density = 0.2f, .spacing = 0.15f};

// Indexed by StrokeMethod; fields not named keep the record's own defaults.
constexpr R kDefaults[kStrokeMethods] = {
    {.minRadius = 0.75f, .pressureSize = true, .pressureDensity = true},
    {.minRadius = 0.333f, .radius = 16, .effect1 = 65, .effect2 = 40, .effect3 = 30, .pressureSize = true,
     .pressureDensity = true},
    {.radius = 12, .effect1 = 10},
    {.radius = 12, .pressureDensity = true, .softEdge = true},
    {},
    {.minRadius = 0.6f, .radius = 30, .pressureSize = true, .pressureDensity = true, .density = 0.1f,
     .spacing = 0.15f},
    {.minRadius = 0.6f, .radius = 15, .pressureDensity = true, .density = 0.6f, .spacing = 0.04f},
    kBurnDodge,
    kBurnDodge,
};

// One stored value: a real, a flag or an integer field of the record.
struct SlotValue {
    const char* name;
    float R::*real = nullptr;
    bool R::*flag = nullptr;
    int32_t R::*integer = nullptr;
};

constexpr SlotValue kGroup1[] = {{"MIN", &R::minRadius}, {"WIDTH", &R::radius}, {"GAMMA", &R::gamma}};
constexpr SlotValue kGroup2[] = {{"EFFECT", &R::effect1}, {"ENV", &R::effect2}, {"SPEED", &R::effect3}};
constexpr SlotValue kGroup3[] = {{"ifSIZE", nullptr, &R::pressureSize},
                                 {"ifTRANSPARENCY", nullptr, &R::pressureDensity},
                                 {"ifEDGE", nullptr, &R::softEdge}};
constexpr SlotValue kGroup4[] = {{"useGradation", nullptr, &R::useGradation},
                                 {"opaque", &R::density},
                                 {"penSpacing", &R::spacing},
                                 {"airMap", nullptr, nullptr, &R::airMap}};
constexpr std::span<const SlotValue> kGroups[] = {kGroup1, kGroup2, kGroup3, kGroup4};
constexpr SlotValue kUseTone = {"useTone", nullptr, &R::useTone};

// A stored double as a float; beyond the float range it saturates (infinity
// and NaN pass, for Sanitize to replace).
float ToFloat(double d)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    return std::isfinite(d) ? float(std::clamp(d, -kMax, kMax)) : float(d);
}

// False when the value is missing (or of another kind).
bool ReadValue(const SettingsStore& store, const std::string& section, const SlotValue& v, R& r)
{
    if (v.real) {
        const std::optional<double> d = store.ReadReal(section, v.name);
        if (d)
            r.*v.real = ToFloat(*d);
        return d.has_value();
    }
    const std::optional<int32_t> i = store.ReadInt(section, v.name);
    if (i && v.flag)
        r.*v.flag = *i != 0;
    else if (i)
        r.*v.integer = *i;
    return i.has_value();
}

void WriteValue(SettingsStore& store, const std::string& section, const SlotValue& v, const R& r)
{
    if (v.real)
        store.Write(section, v.name, double(r.*v.real));
    else if (v.flag)
        store.Write(section, v.name, int32_t(r.*v.flag ? 1 : 0));
    else
        store.Write(section, v.name, r.*v.integer);
}

bool IsSlot(int tool, int slot)
{
    return tool >= 0 && tool < kPenSlotTools && slot >= 1 && slot <= kPenSlotsPerTool;
}

StrokeMethod MethodOfTool(int tool) { return KindInfo(kSlotKinds[tool]).strokeMethod; }

} // namespace

std::span<const PaintKind> PenSlotKinds() { return kSlotKinds; }

PenSettingRecord PenSlotDefaults(StrokeMethod method)
{
    const auto i = size_t(method);
    return i < kStrokeMethods ? kDefaults[i] : PenSettingRecord{};
}

PenSlots::PenSlots()
{
    for (int tool = 0; tool < kPenSlotTools; ++tool)
        slots_[size_t(tool)].fill(PenSlotDefaults(MethodOfTool(tool)));
}

PenSettingRecord* PenSlots::Slot(int tool, int slot)
{
    return IsSlot(tool, slot) ? &slots_[size_t(tool)][size_t(slot - 1)] : nullptr;
}

const PenSettingRecord* PenSlots::Slot(int tool, int slot) const
{
    return IsSlot(tool, slot) ? &slots_[size_t(tool)][size_t(slot - 1)] : nullptr;
}

std::string PenSlots::Section(int tool, int slot)
{
    return std::string("penSetting/") + StrokeMethodName(MethodOfTool(tool)) + std::to_string(slot);
}

void PenSlots::Load(const SettingsStore& store)
{
    for (int tool = 0; tool < kPenSlotTools; ++tool) {
        const PenSettingRecord defaults = PenSlotDefaults(MethodOfTool(tool));
        for (int slot = 1; slot <= kPenSlotsPerTool; ++slot) {
            const std::string section = Section(tool, slot);
            PenSettingRecord r = defaults;
            for (std::span<const SlotValue> group : kGroups) {
                PenSettingRecord next = r;
                const bool complete = std::all_of(group.begin(), group.end(), [&](const SlotValue& v) {
                    return ReadValue(store, section, v, next);
                });
                if (!complete)
                    break;
                r = next;
            }
            r.useTone = false;
            r.Sanitize(defaults);
            *Slot(tool, slot) = r;
        }
    }
}

void PenSlots::Save(SettingsStore& store) const
{
    for (int tool = 0; tool < kPenSlotTools; ++tool) {
        for (int slot = 1; slot <= kPenSlotsPerTool; ++slot) {
            const std::string section = Section(tool, slot);
            PenSettingRecord r = *Slot(tool, slot);
            r.useTone = false;
            for (std::span<const SlotValue> group : kGroups)
                for (const SlotValue& v : group)
                    WriteValue(store, section, v, r);
            WriteValue(store, section, kUseTone, r);
        }
    }
}

} // namespace morvane
