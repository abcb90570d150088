#include "paint/PenSlots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/SettingsStore.h"

using namespace morvane;

namespace {

// Every field off the first-use values, within range.
PenSettingRecord Distinct(int tool, int slot)
{
    const float k = float(tool * 5 + slot);
    return {0.01f * k, k + 0.5f, 0.1f * k, k, k + 1, k + 2, slot % 2 == 0, slot % 2 == 1, tool % 2 == 0,
            false, slot == 3, 0.02f * k, 0.03f * k, (tool + slot) % 6};
}

} // namespace

TEST(PenSlots, FirstUseValuesPerMethod)
{
    const PenSlots slots;
    EXPECT_EQ(PenSlots::Section(0, 1), "penSetting/pen1");
    EXPECT_EQ(PenSlots::Section(7, 5), "penSetting/lighten5");
    EXPECT_EQ(PenSlots::Section(5, 2), "penSetting/rubpen2");
    struct Row {
        int tool;
        PenSettingRecord r;
    };
    const Row rows[] = {
        {0, {0.75f, 1, 1, 0, 0, 0, true, true, false, false, false, 1, 0.5f, 3}},
        {1, {1, 12, 1, 0, 0, 0, false, true, true, false, false, 1, 0.5f, 3}},
        {2, {0.333f, 16, 1, 65, 40, 30, true, true, false, false, false, 1, 0.5f, 3}},
        {3, {0.6f, 30, 1, 0, 0, 0, true, true, false, false, false, 0.1f, 0.15f, 3}},
        {4, {1, 12, 1, 10, 0, 0, false, false, false, false, false, 1, 0.5f, 3}},
        {5, {0.6f, 15, 1, 0, 0, 0, false, true, false, false, false, 0.6f, 0.04f, 3}},
        {6, {0.6f, 25, 1, 50, 0, 0, true, true, false, false, false, 0.2f, 0.15f, 3}},
        {7, {0.6f, 25, 1, 50, 0, 0, true, true, false, false, false, 0.2f, 0.15f, 3}},
    };
    for (const Row& row : rows)
        for (int slot = 1; slot <= kPenSlotsPerTool; ++slot)
            EXPECT_EQ(*slots.Slot(row.tool, slot), row.r) << row.tool << " " << slot;
    EXPECT_EQ(PenSlotDefaults(StrokeMethod::Blur2), PenSettingRecord{});
    EXPECT_EQ(slots.Slot(8, 1), nullptr);
    EXPECT_EQ(slots.Slot(0, 0), nullptr);
    EXPECT_EQ(slots.Slot(0, 6), nullptr);
}

TEST(PenSlots, EverySlotWrittenIsReadBack)
{
    PenSlots saved;
    for (int tool = 0; tool < kPenSlotTools; ++tool)
        for (int slot = 1; slot <= kPenSlotsPerTool; ++slot)
            *saved.Slot(tool, slot) = Distinct(tool, slot);
    saved.Slot(2, 4)->useTone = true; // never kept
    MemorySettingsStore store;
    saved.Save(store);
    EXPECT_EQ(store.Size(), size_t(kPenSlotTools * kPenSlotsPerTool * 14));
    EXPECT_EQ(store.ReadReal("penSetting/wc4", "WIDTH"), double(Distinct(2, 4).radius));
    EXPECT_EQ(store.ReadInt("penSetting/wc4", "useTone"), 0);
    EXPECT_EQ(store.ReadInt("penSetting/darken3", "airMap"), Distinct(6, 3).airMap);

    PenSlots loaded;
    loaded.Load(store);
    for (int tool = 0; tool < kPenSlotTools; ++tool)
        for (int slot = 1; slot <= kPenSlotsPerTool; ++slot)
            EXPECT_EQ(*loaded.Slot(tool, slot), Distinct(tool, slot)) << tool << " " << slot;
}

TEST(PenSlots, AnIncompleteGroupEndsTheSlot)
{
    PenSlots saved;
    for (int slot = 1; slot <= kPenSlotsPerTool; ++slot)
        *saved.Slot(3, slot) = Distinct(3, slot);
    MemorySettingsStore store;
    saved.Save(store);
    store.Remove("penSetting/airbrush2", "ENV");
    store.Write("penSetting/airbrush3", "ifEDGE", std::string("1")); // wrong kind counts as missing
    store.Remove("penSetting/airbrush4", "airMap");

    PenSlots loaded;
    loaded.Load(store);
    const PenSettingRecord defaults = PenSlotDefaults(StrokeMethod::AirBrush);
    const PenSettingRecord& two = *loaded.Slot(3, 2);
    PenSettingRecord expected = defaults;
    expected.minRadius = Distinct(3, 2).minRadius;
    expected.radius = Distinct(3, 2).radius;
    expected.gamma = Distinct(3, 2).gamma;
    EXPECT_EQ(two, expected); // group 1 only; EFFECT and SPEED stay at their defaults

    expected = Distinct(3, 3);
    expected.pressureSize = defaults.pressureSize;
    expected.pressureDensity = defaults.pressureDensity;
    expected.softEdge = defaults.softEdge;
    expected.useGradation = defaults.useGradation;
    expected.density = defaults.density;
    expected.spacing = defaults.spacing;
    expected.airMap = defaults.airMap;
    EXPECT_EQ(*loaded.Slot(3, 3), expected);

    expected = Distinct(3, 4);
    expected.useGradation = defaults.useGradation;
    expected.density = defaults.density;
    expected.spacing = defaults.spacing;
    expected.airMap = defaults.airMap;
    EXPECT_EQ(*loaded.Slot(3, 4), expected);
    EXPECT_EQ(*loaded.Slot(3, 5), Distinct(3, 5));
}

TEST(PenSlots, HostileStoredValuesAreSanitized)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    MemorySettingsStore store;
    PenSlots().Save(store);
    const std::string s = "penSetting/rubpen1";
    store.Write(s, "MIN", nan);
    store.Write(s, "WIDTH", 1e300);
    store.Write(s, "GAMMA", -std::numeric_limits<double>::infinity());
    store.Write(s, "EFFECT", -5.0);
    store.Write(s, "ifSIZE", int32_t(77));
    store.Write(s, "opaque", 1e-300);
    store.Write(s, "penSpacing", 0.0);
    store.Write(s, "airMap", int32_t(127));

    PenSlots loaded;
    loaded.Load(store);
    const PenSettingRecord& r = *loaded.Slot(5, 1);
    const PenSettingRecord defaults = PenSlotDefaults(StrokeMethod::RubPen);
    EXPECT_EQ(r.minRadius, defaults.minRadius);
    EXPECT_EQ(r.radius, 200.0f);
    EXPECT_EQ(r.gamma, defaults.gamma);
    EXPECT_EQ(r.effect1, 0.0f);
    EXPECT_TRUE(r.pressureSize);
    EXPECT_EQ(r.density, 0.01f);
    EXPECT_EQ(r.spacing, 0.01f);
    EXPECT_EQ(r.airMap, defaults.airMap); // unknown code
}
