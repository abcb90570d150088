// The tools kept over a restart: with "DrawToolAutoSave" the pen slots,
// every kind's parameter set (a bitmap nib included while the list has it)
// and each end's tool come back as they were; without it only the colours
// do. Stored values out of range are clamped, unknown kinds, operations and
// records of the wrong size leave the defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/CAppProfile.h"
#include "app/ToolSettings.h"
#include "input/ToolState.h"
#include "paint/CPenShapeObj.h"
#include "platform/SettingsStore.h"
#include "storage/TChannel.h"

namespace morvane {
namespace {

int32_t AddBitmapNib(ToolState& tools)
{
    auto channel = std::make_unique<TChannel>(12, 10);
    channel->FillAll(0);
    auto nib = std::make_unique<CPenShapeObj>();
    nib->valid = true;
    nib->isBitmap = 1;
    EXPECT_TRUE(nib->SetBitmap(std::move(channel)));
    return tools.Nibs().Add(std::move(nib));
}

// A second program start over the same settings.
struct Restart {
    CAppProfile profile{AppEnvironment{}};
    MemorySettingsStore store;
};

TEST(ToolSettings, WithAutoSaveTheToolsComeBackAsTheyWere)
{
    Restart run;
    run.profile.config.DrawToolAutoSave = true;
    {
        ToolState tools;
        AddBitmapNib(tools);
        tools.SelectKind(PaintKind::WaterColor4);
        tools.Edit([](TPaintParam& p) {
            return p.SetRadius(23) && p.SetDensity(0.55f) && p.SetEffect(2, 71) && p.SetAspect(0.5f) &&
                   p.SetAngle(30) && p.SetAirMap(5) && p.SetAirMapFlat(0.2f) && p.SetAliased(true) &&
                   p.SetName("にじみ");
        });
        tools.SelectKind(PaintKind::AirBrush4);
        tools.ChooseNib(tools.Nibs().Count() - 1);
        tools.SetSize(150);
        tools.SelectKind(PaintKind::Burn1);
        tools.ChooseSlot(4);
        tools.SetSize(33);
        tools.SetEnd(PenEnd::Eraser);
        tools.Select({ToolClass::View, kViewHand});
        tools.SetEnd(PenEnd::Tip);
        tools.SetMainColour(0xFF123456u);
        tools.SetSubColour(0xFFABCDEFu);
        SaveTools(tools, run.profile, &run.store);
    }
    EXPECT_EQ(run.profile.color.fgCol, 0x123456);
    EXPECT_EQ(run.profile.color.bgCol, 0xABCDEF);

    ToolState tools;
    AddBitmapNib(tools);
    LoadToolColours(tools, run.profile);
    LoadToolValues(tools, run.store);
    EXPECT_EQ(tools.MainColour(), 0xFF123456u);
    EXPECT_EQ(tools.SubColour(), 0xFFABCDEFu);
    EXPECT_EQ(tools.Kind(), PaintKind::Burn1);
    EXPECT_EQ(tools.ChosenSlot(PaintKind::Burn1), 4);
    EXPECT_EQ(tools.Size().value, 33.0f);
    EXPECT_EQ(tools.OperationOf(PenEnd::Eraser), (Operation{ToolClass::View, kViewHand}));
    const TPaintParamR& wc = tools.ParamOf(PaintKind::WaterColor4).Settings();
    EXPECT_EQ(tools.ParamOf(PaintKind::WaterColor4).Name(), "にじみ");
    EXPECT_FLOAT_EQ(wc.radius, 23);
    EXPECT_FLOAT_EQ(wc.density, 0.55f);
    EXPECT_FLOAT_EQ(wc.effect2, 71);
    EXPECT_FLOAT_EQ(wc.aspect, 0.5f);
    EXPECT_FLOAT_EQ(wc.angle, 30);
    EXPECT_EQ(wc.airMap, 5);
    EXPECT_FLOAT_EQ(wc.airMapFlat, 0.2f);
    EXPECT_TRUE(wc.aliased);
    const TPaintParam& air = tools.ParamOf(PaintKind::AirBrush4);
    ASSERT_TRUE(air.HasBitmap());
    EXPECT_FLOAT_EQ(air.Settings().bitmapScale, 1.5f);
}

TEST(ToolSettings, WithoutAutoSaveOnlyTheColoursAreKept)
{
    Restart run;
    ToolState tools;
    tools.SetSize(77);
    tools.SetMainColour(0xFF010203u);
    SaveTools(tools, run.profile, &run.store);
    EXPECT_EQ(run.store.Size(), 0u);
    EXPECT_EQ(run.profile.color.fgCol, 0x010203);
}

TEST(ToolSettings, HostileStoredValuesAreClampedOrIgnored)
{
    MemorySettingsStore store;
    store.Write(kToolSection, "tipClass", int32_t(42));
    store.Write(kToolSection, "tipSub", int32_t(0));
    store.Write(kToolSection, "tipKind", int32_t(5)); // Blur2: in no menu
    store.Write(kToolSection, "eraserClass", int32_t(3));
    store.Write(kToolSection, "eraserSub", int32_t(-7));
    store.Write(kToolSection, "eraserKind", int32_t(1000));
    store.Write(kToolSection, "Pencil4", std::vector<uint8_t>(12, 0xFF)); // the wrong size
    store.Write(kToolSection, "slotPencil1", int32_t(9));
    // A record of the right size full of extremes.
    std::vector<uint8_t> extremes(100, 0x7F);
    store.Write(kToolSection, "WaterColor4", extremes);
    store.Write(kToolSection, "nibWaterColor4", int32_t(1 << 30));
    // A pen slot with a width beyond the range and a NaN gamma.
    store.Write("penSetting/pen1", "MIN", 0.5);
    store.Write("penSetting/pen1", "WIDTH", 1e9);
    store.Write("penSetting/pen1", "GAMMA", std::nan(""));

    ToolState tools;
    LoadToolValues(tools, store);
    EXPECT_EQ(tools.Current(), Operation{});
    EXPECT_EQ(tools.Kind(), PaintKind::Pencil4);
    EXPECT_EQ(tools.OperationOf(PenEnd::Eraser), Operation{});
    EXPECT_EQ(tools.KindOf(PenEnd::Eraser), PaintKind::Eraser4);
    EXPECT_EQ(tools.ChosenSlot(PaintKind::Pencil1), 1);
    EXPECT_TRUE(tools.ParamOf(PaintKind::Pencil4).Settings().pressureSize) << "the defaults stay";
    const TPaintParamR& wc = tools.ParamOf(PaintKind::WaterColor4).Settings();
    EXPECT_LE(wc.radius, 200.0f);
    EXPECT_LE(wc.density, 1.0f);
    EXPECT_LE(wc.airMapFlat, 1.0f);
    EXPECT_LT(wc.airMap, kAirMapCurves);
    EXPECT_FALSE(tools.ParamOf(PaintKind::WaterColor4).HasBitmap());
    const TPaintParamR& pencil1 = tools.ParamOf(PaintKind::Pencil1).Settings();
    EXPECT_EQ(pencil1.radius, 200.0f);
    EXPECT_EQ(pencil1.gamma, 1.0f);

    CAppProfile profile{AppEnvironment{}};
    MemorySettingsStore colours;
    colours.Write("color", "fgCol", int32_t(-5));
    colours.Write("color", "bgCol", int32_t(0x7FFFFFFF));
    profile.Load(colours);
    LoadToolColours(tools, profile);
    EXPECT_EQ(tools.MainColour(), 0xFF000000u);
    EXPECT_EQ(tools.SubColour(), 0xFFFFFFFFu);
}

} // namespace
} // namespace morvane
