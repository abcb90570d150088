// What the tool window offers: the painting menus in their order with the
// group keys and stepping, and for each of the eighteen kinds exactly the
// controls its capability bits allow, with their labels, hints and ranges,
// values going through the parameter set's setters.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/ToolCatalog.h"
#include "app/ToolOptions.h"
#include "input/ToolState.h"

namespace morvane {
namespace {

std::vector<std::string> Captions(const ToolGroup& group)
{
    std::vector<std::string> out;
    for (const ToolItem& item : group.items)
        out.push_back(item.caption);
    return out;
}

TEST(ToolCatalog, PaintingMenusInTheirOrderAndEveryOperationOnce)
{
    const std::span<const ToolGroup> groups = ToolGroups();
    using V = std::vector<std::string>;
    EXPECT_EQ(Captions(groups[0]), (V{"鉛筆", "鉛筆 - 3互換"}));
    EXPECT_EQ(Captions(groups[1]), (V{"消しゴム", "マジック消しゴム", "消しゴム - 3互換"}));
    EXPECT_EQ(Captions(groups[2]), (V{"透明水彩", "透明水彩 - 3互換"}));
    EXPECT_EQ(Captions(groups[3]), (V{"エアーブラシ", "エア-ブラシ - 3互換"}));
    EXPECT_EQ(Captions(groups[4]), (V{"ぼかし", "指先", "のばし", "ぼかし - 3互換", "指先 - 3互換"}));
    EXPECT_EQ(Captions(groups[5]), (V{"焼き込み", "覆い焼き", "焼き込み - 3互換", "覆い焼き - 3互換"}));
    std::string keys;
    std::map<std::pair<int, int>, int> operations;
    std::map<int, int> kinds;
    for (const ToolGroup& g : groups) {
        if (g.key)
            keys += g.key;
        for (const ToolItem& item : g.items) {
            EXPECT_TRUE(item.icon && *item.icon) << item.caption;
            if (item.kind >= 0)
                ++kinds[item.kind];
            else
                ++operations[{int(item.operation.toolClass), item.operation.sub}];
        }
    }
    EXPECT_EQ(keys, "BEWAROIHZ");
    EXPECT_EQ(kinds.size(), 17u) << "every kind but Blur2";
    EXPECT_EQ(kinds.count(int(PaintKind::Blur2)), 0u);
    for (const auto& [op, n] : operations)
        EXPECT_EQ(n, 1) << op.first << "/" << op.second;
    // Classes 1-9 each have their operations; only zoom, picker and view are built.
    for (int c = 1; c < kToolClasses; ++c) {
        int of = 0;
        for (const auto& [op, n] : operations)
            of += op.first == c;
        EXPECT_GT(of, 0) << "class " << c;
    }
}

TEST(ToolCatalog, AKeyPicksItsGroupsLastToolAndAgainStepsThroughIt)
{
    for (bool findNext : {true, false}) {
        SCOPED_TRACE(findNext);
        ToolState tools;
        ToolPicker picker;
        const auto press = [&](char key, bool shift = false) {
            const ToolItem* item = picker.Key(key, shift, findNext, tools);
            if (item)
                ChooseItem(tools, *item);
            picker.Follow(tools);
            return item;
        };
        EXPECT_EQ(press('q'), nullptr);
        press('r');
        EXPECT_EQ(tools.Kind(), PaintKind::Blur4);
        press('r', !findNext);
        EXPECT_EQ(tools.Kind(), PaintKind::FingerTip4);
        press('r', findNext); // the other form picks the last again
        EXPECT_EQ(tools.Kind(), PaintKind::FingerTip4);
        press('h');
        EXPECT_EQ(tools.Current(), (Operation{ToolClass::View, kViewHand}));
        press('R');
        EXPECT_EQ(tools.Kind(), PaintKind::FingerTip4) << "the group's last tool, not its first";
        EXPECT_EQ(tools.Current(), Operation{});
        // The magic eraser is not built: stepping passes it.
        press('e');
        press('e', !findNext);
        EXPECT_EQ(tools.Kind(), PaintKind::Eraser1);
        press('e', !findNext);
        EXPECT_EQ(tools.Kind(), PaintKind::Eraser4);
    }
}

// The controls a kind shows, by capability bit.
std::vector<OptionId> Expected(PaintKind kind)
{
    using namespace paintcap;
    const uint32_t caps = KindInfo(kind).capabilities;
    const uint8_t group = KindInfo(kind).airMapGroup;
    std::vector<OptionId> out;
    const auto add = [&](uint32_t bit, OptionId id) {
        if (caps & bit)
            out.push_back(id);
    };
    add(Name, OptionId::Name);
    add(Radius, OptionId::Size);
    add(MinRadius, OptionId::MinSize);
    add(Density, OptionId::Density);
    add(Spacing, OptionId::Spacing);
    add(Gamma, OptionId::Gamma);
    add(PressureSize, OptionId::PressureSize);
    add(PressureDensity, OptionId::PressureDensity);
    add(Effect1, OptionId::Effect1);
    add(Effect2, OptionId::Effect2);
    add(Effect3, OptionId::Effect3);
    add(Aspect, OptionId::Flatness);
    add(Angle, OptionId::Angle);
    if (group != 0)
        out.push_back(OptionId::AirMap);
    else
        add(SoftEdgeAirMap, OptionId::SoftEdge);
    if (group == 2) {
        out.push_back(OptionId::Flat);
        out.push_back(OptionId::Add);
    }
    add(Antialias, OptionId::Antialias);
    add(BitmapNib, OptionId::Nib);
    return out;
}

TEST(ToolOptions, EachKindShowsExactlyTheControlsOfItsCapabilities)
{
    ToolState tools;
    for (int k = 0; k < kPaintKinds; ++k) {
        const auto kind = PaintKind(k);
        SCOPED_TRACE(KindInfo(kind).kindName);
        std::vector<OptionId> shown;
        for (const OptionControl& c : OptionControlsFor(tools, kind))
            if (c.id != OptionId::Gradation && c.id != OptionId::Tone)
                shown.push_back(c.id);
        EXPECT_EQ(shown, Expected(kind));
        for (const OptionControl& c : OptionControlsFor(tools, kind)) {
            const int e = c.id == OptionId::Effect1 ? 1 : c.id == OptionId::Effect2 ? 2 : c.id == OptionId::Effect3 ? 3 : 0;
            if (e) {
                EXPECT_EQ(c.caption, EffectLabel(kind, e));
                EXPECT_EQ(c.hint, EffectHint(kind, e));
            }
            if (c.id == OptionId::AirMap) {
                for (int v : c.choiceValues)
                    EXPECT_TRUE(KindInfo(kind).airMapGroup == 2 || HasCompatibleCode(uint8_t(v))) << v;
            }
            if (c.id == OptionId::Gradation || c.id == OptionId::Tone) {
                EXPECT_FALSE(c.enabled) << "no gradation or tone list yet";
            }
        }
    }
    tools.SelectKind(PaintKind::WaterColor4);
    const std::vector<OptionControl> wc = OptionControlsFor(tools);
    const auto caption = [&](OptionId id) {
        for (const OptionControl& c : wc)
            if (c.id == id)
                return c.caption;
        return std::string();
    };
    EXPECT_EQ(caption(OptionId::Effect1), "のばし効果");
    EXPECT_EQ(caption(OptionId::Effect3), "効果の影響距離");
    EXPECT_EQ(caption(OptionId::Flat), "平坦(&F)");
    EXPECT_EQ(caption(OptionId::Add), "底上げ(&B)");
    EXPECT_EQ(caption(OptionId::Antialias), "アンチエイリアス有効(&T)");
}

TEST(ToolOptions, ValuesGoThroughTheSettersInThePanelsUnits)
{
    ToolState tools;
    tools.SelectKind(PaintKind::WaterColor4);
    const struct {
        OptionId id;
        double in, shown;
    } cases[] = {{OptionId::Size, 25, 25},       {OptionId::Size, 900, 200},     {OptionId::Density, 40, 40},
                 {OptionId::Density, 0, 1},       {OptionId::Spacing, 250, 200},  {OptionId::MinSize, 35, 35},
                 {OptionId::Gamma, 0, 0.05},      {OptionId::Effect2, 70, 70},    {OptionId::Flatness, 30, 30},
                 {OptionId::Angle, 400, 40},      {OptionId::Flat, 20, 20},       {OptionId::Antialias, 0, 0},
                 {OptionId::PressureSize, 0, 0},  {OptionId::AirMap, 5, 5}};
    for (const auto& c : cases) {
        SetOption(tools, c.id, c.in);
        EXPECT_NEAR(OptionValue(tools, c.id), c.shown, 1e-4) << int(c.id) << " " << c.in;
    }
    EXPECT_TRUE(tools.Param().Settings().aliased);
    EXPECT_FALSE(SetOption(tools, OptionId::Density, std::nan("")));
    EXPECT_FALSE(SetOption(tools, OptionId::Size, INFINITY));
    EXPECT_NEAR(OptionValue(tools, OptionId::Density), 1, 1e-4);
    // A compatible airbrush takes only curves with a compatible code.
    tools.SelectKind(PaintKind::AirBrush1);
    const double before = OptionValue(tools, OptionId::AirMap);
    EXPECT_FALSE(SetOption(tools, OptionId::AirMap, 1));
    EXPECT_EQ(OptionValue(tools, OptionId::AirMap), before);
    EXPECT_TRUE(SetOption(tools, OptionId::AirMap, 6));
    // The compatible eraser's soft edge is its air map.
    tools.SelectKind(PaintKind::Eraser1);
    SetOption(tools, OptionId::SoftEdge, 0);
    EXPECT_EQ(tools.Param().Settings().airMap, 2);
    SetOption(tools, OptionId::SoftEdge, 1);
    EXPECT_EQ(tools.Param().Settings().airMap, 3);
    EXPECT_TRUE(SetOptionText(tools, OptionId::Name, "x") == false) << "compatible kinds keep their name";
    tools.SelectKind(PaintKind::Pencil4);
    EXPECT_TRUE(SetOptionText(tools, OptionId::Name, "細筆"));
    EXPECT_EQ(tools.Param().Name(), "細筆");
}

} // namespace
} // namespace morvane
