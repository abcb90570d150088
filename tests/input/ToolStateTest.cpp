// The program's tool state: what a fresh start paints with, a parameter set
// per kind that keeps its edits, a tool per pen end, compatible kinds kept
// in their pen slots, presets and nibs taken over, the size control's own
// limits, and listeners told of every change.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "input/ToolState.h"
#include "paint/CPenShapeObj.h"
#include "storage/TChannel.h"

namespace morvane {
namespace {

TEST(ToolState, AFreshStartPaintsWithPressureAndTheEraserEndErases)
{
    ToolState tools;
    EXPECT_EQ(tools.End(), PenEnd::Tip);
    EXPECT_EQ(tools.Current(), Operation{});
    EXPECT_EQ(tools.Kind(), PaintKind::Pencil4);
    EXPECT_EQ(tools.KindOf(PenEnd::Eraser), PaintKind::Eraser4);
    EXPECT_EQ(tools.MainColour(), 0xFF000000u);
    EXPECT_EQ(tools.SubColour(), 0xFFFFFFFFu);
    // Each kind takes its stroke method's first-use switches and smallest size.
    const struct {
        PaintKind kind;
        bool size, density;
        float minRadius;
    } cases[] = {{PaintKind::Pencil4, true, true, 0.75f},     {PaintKind::Eraser4, false, true, 1.0f},
                 {PaintKind::WaterColor4, true, true, 0.333f}, {PaintKind::Blur4, false, false, 1.0f},
                 {PaintKind::FingerTip4, false, true, 0.6f},   {PaintKind::Burn4, true, true, 0.6f},
                 {PaintKind::Pencil1, true, true, 0.75f},      {PaintKind::AirBrush1, true, true, 0.6f}};
    for (const auto& c : cases) {
        const TPaintParamR& v = tools.ParamOf(c.kind).Settings();
        EXPECT_EQ(v.pressureSize, c.size) << int(c.kind);
        EXPECT_EQ(v.pressureDensity, c.density) << int(c.kind);
        EXPECT_FLOAT_EQ(v.minRadius, c.minRadius) << int(c.kind);
    }
    // The compatible kinds come from their first slot: the airbrush's width.
    EXPECT_FLOAT_EQ(tools.ParamOf(PaintKind::AirBrush1).Settings().radius, 30.0f);
    EXPECT_GT(tools.Brushes().Count(), 0);
    EXPECT_EQ(tools.Nibs().Count(), CPenShapeMngr::kBuiltInCount);
}

TEST(ToolState, EachKindKeepsItsEditsAndEachEndItsTool)
{
    ToolState tools;
    ASSERT_TRUE(tools.SetSize(12));
    ASSERT_TRUE(tools.SelectKind(PaintKind::WaterColor4));
    EXPECT_TRUE(tools.Edit([](TPaintParam& p) { return p.SetDensity(0.4f); }));
    ASSERT_TRUE(tools.SelectKind(PaintKind::Pencil4));
    EXPECT_EQ(tools.Size().value, 12.0f) << "switching back keeps the edit";
    EXPECT_FLOAT_EQ(tools.ParamOf(PaintKind::WaterColor4).Settings().density, 0.4f);
    EXPECT_FALSE(tools.SelectKind(PaintKind::Blur2)) << "no menu offers it";
    EXPECT_FALSE(tools.SelectKind(PaintKind(40)));

    tools.Select({ToolClass::View, kViewHand});
    EXPECT_EQ(tools.Kind(), PaintKind::Pencil4) << "another operation keeps the kind";
    tools.SetEnd(PenEnd::Eraser);
    EXPECT_EQ(tools.Current(), Operation{});
    EXPECT_EQ(tools.Kind(), PaintKind::Eraser4);
    tools.SelectKind(PaintKind::Eraser1);
    tools.SetEnd(PenEnd::Tip);
    EXPECT_EQ(tools.Current(), (Operation{ToolClass::View, kViewHand}));
    tools.Select({});
    EXPECT_EQ(tools.Kind(), PaintKind::Pencil4);
    EXPECT_EQ(tools.KindOf(PenEnd::Eraser), PaintKind::Eraser1);
    // Stored tools out of range leave the end as it was.
    tools.SetTool(PenEnd::Tip, {ToolClass(77), 0}, PaintKind(99));
    EXPECT_EQ(tools.Current(), Operation{});
    EXPECT_EQ(tools.Kind(), PaintKind::Pencil4);
}

TEST(ToolState, TheSizeControlUsesTheNibsOwnLimits)
{
    ToolState tools;
    EXPECT_FALSE(tools.SetSize(std::nanf("")));
    tools.SetSize(1e9f);
    EXPECT_EQ(tools.Size().value, 200.0f);
    tools.SetSize(-3);
    EXPECT_FLOAT_EQ(tools.Size().value, 0.1f);
    EXPECT_FALSE(tools.StepSize(false)) << "the smallest size stays";
    EXPECT_TRUE(tools.StepSize(true));
    EXPECT_FLOAT_EQ(tools.Size().value, 0.2f);
    tools.SetSize(50);
    tools.StepSize(true);
    EXPECT_FLOAT_EQ(tools.Size().value, 55.0f);
    tools.StepSize(false);
    EXPECT_FLOAT_EQ(tools.Size().value, 50.0f);

    // A bitmap nib of 8 x 200: its scale in percent, 50 to 256.
    auto bitmap = std::make_unique<TChannel>(8, 200);
    auto nib = std::make_unique<CPenShapeObj>();
    nib->valid = true;
    nib->isBitmap = 1;
    ASSERT_TRUE(nib->SetBitmap(std::move(bitmap)));
    const int32_t index = tools.Nibs().Add(std::move(nib));
    ASSERT_TRUE(tools.ChooseNib(index));
    const SizeControl size = tools.Size();
    EXPECT_TRUE(size.percent);
    EXPECT_FLOAT_EQ(size.lo, 50.0f);
    EXPECT_FLOAT_EQ(size.hi, 256.0f);
    tools.SetSize(1000);
    EXPECT_FLOAT_EQ(tools.Size().value, 256.0f);
    ASSERT_NE(tools.BitmapNib(), nullptr);
    EXPECT_EQ(tools.BitmapNib()->Scale(), 256);
    const int32_t id = tools.BitmapNib()->Id();
    tools.SetSize(100);
    EXPECT_EQ(tools.BitmapNib()->Id(), id) << "the same bitmap keeps its id and the renderers' caches";
    EXPECT_EQ(tools.BitmapNib()->Scale(), 100);
    tools.ChooseNib(0);
    EXPECT_EQ(tools.BitmapNib(), nullptr);
    EXPECT_FALSE(tools.Size().percent);
}

TEST(ToolState, CompatibleKindsEditTheirChosenSlot)
{
    ToolState tools;
    tools.SelectKind(PaintKind::WaterColor1);
    EXPECT_EQ(tools.ChosenSlot(PaintKind::WaterColor1), 1);
    EXPECT_EQ(tools.ChosenSlot(PaintKind::WaterColor4), 0);
    tools.SetSize(40);
    const int tool = 2; // WaterColor1 in slot order
    EXPECT_EQ(tools.Slots().Slot(tool, 1)->radius, 40.0f);
    ASSERT_TRUE(tools.ChooseSlot(3));
    EXPECT_EQ(tools.Size().value, 16.0f) << "slot 3 still holds its first-use width";
    tools.SetSize(7);
    EXPECT_EQ(tools.Slots().Slot(tool, 3)->radius, 7.0f);
    EXPECT_EQ(tools.Slots().Slot(tool, 1)->radius, 40.0f);
    EXPECT_FALSE(tools.ChooseSlot(6));
    tools.SelectKind(PaintKind::Pencil4);
    EXPECT_FALSE(tools.ChooseSlot(1)) << "current kinds have no slots";
}

TEST(ToolState, APresetBecomesItsKindsSetAndTheTool)
{
    ToolState tools;
    int32_t index = -1;
    for (int32_t i = 0; i < tools.Brushes().Count(); ++i)
        if (tools.Brushes().Item(i)->Kind() == PaintKind::AirBrush4)
            index = i;
    ASSERT_GE(index, 0);
    tools.Brushes().Item(index)->name = "霧";
    ASSERT_TRUE(tools.ChoosePreset(index));
    EXPECT_EQ(tools.Kind(), PaintKind::AirBrush4);
    EXPECT_EQ(tools.Param().Name(), "霧");
    EXPECT_EQ(tools.Brushes().Selected(), index);
    EXPECT_FALSE(tools.ChoosePreset(tools.Brushes().Count()));
}

TEST(ToolState, ListenersHearEveryChangeUntilTheyAreForgotten)
{
    ToolState tools;
    std::vector<uint32_t> heard;
    const int id = tools.Listen([&](uint32_t changes) { heard.push_back(changes); });
    tools.SelectKind(PaintKind::Blur4);
    tools.Edit([](TPaintParam& p) { return p.SetGamma(2); });
    tools.Edit([](TPaintParam& p) { return p.SetGamma(2); }); // no change: no word
    tools.SetMainColour(0xFF102030u);
    tools.SetMainColour(0x00102030u); // the same opaque colour
    tools.SwapColours();
    tools.SetEnd(PenEnd::Eraser);
    tools.Select({ToolClass::ColourPicker, 0});
    ASSERT_EQ(heard.size(), 6u);
    EXPECT_TRUE(heard[0] & toolchange::kOperation);
    EXPECT_EQ(heard[1], toolchange::kParams);
    EXPECT_EQ(heard[2], toolchange::kColours);
    EXPECT_EQ(heard[3], toolchange::kColours);
    EXPECT_EQ(tools.SubColour(), 0xFF102030u);
    EXPECT_TRUE(heard[4] & toolchange::kOperation);
    EXPECT_TRUE(heard[5] & toolchange::kOperation);
    tools.Forget(id);
    tools.ResetColours();
    EXPECT_EQ(heard.size(), 6u);
    EXPECT_EQ(tools.MainColour(), 0xFF000000u);
}

} // namespace
} // namespace morvane
