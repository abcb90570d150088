#include "paint/TPaintParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "paint/TStroke.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

using namespace morvane;

namespace {

std::vector<uint8_t> Ramp(int32_t w, int32_t h)
{
    std::vector<uint8_t> bits(size_t(w) * size_t(h));
    std::iota(bits.begin(), bits.end(), uint8_t(7));
    return bits;
}

// A current-kind set with every field off its default.
TPaintParam Custom(PaintKind kind)
{
    TPaintParam p(kind);
    p.SetName("私のブラシ");
    p.SetDensity(0.5f);
    p.SetSpacing(0.25f);
    p.SetEffect(1, 40);
    p.SetEffect(2, 50);
    p.SetEffect(3, 60);
    p.SetGamma(2.5f);
    p.SetPressureDensity(true);
    p.SetPressureSize(true);
    p.SetUseGradation(true);
    p.SetUseTone(true);
    p.SetRadius(12.5f);
    p.SetMinRadius(0.25f);
    p.SetDenseStepRadius(3);
    p.SetSubStepRadius(2);
    p.SetAspect(0.5f);
    p.SetAngle(30.5f);
    p.SetAirMap(5);
    p.SetAirMapFlat(0.25f);
    p.SetAirMapAdd(0.125f);
    p.SetAliased(true);
    p.SetNibId(42);
    return p;
}

void ExpectSame(const TPaintParam& a, const TPaintParam& b)
{
    EXPECT_EQ(a.Kind(), b.Kind());
    EXPECT_EQ(a.Name(), b.Name());
    EXPECT_EQ(a.Settings(), b.Settings());
    EXPECT_EQ(a.BitmapBits(), b.BitmapBits());
    EXPECT_EQ(a.BitmapWidth(), b.BitmapWidth());
    EXPECT_EQ(a.BitmapHeight(), b.BitmapHeight());
    EXPECT_EQ(a.NibId(), b.NibId());
}

// Through the records a brush preset and its nib preset keep, and back.
TPaintParam ThroughPresetRecords(const TPaintParam& p)
{
    const std::optional<BrushMethodRecord> method = p.ToBrushMethod();
    EXPECT_TRUE(method);
    const std::unique_ptr<TChannel> bitmap = p.NibBitmapChannel();
    EXPECT_EQ(bitmap != nullptr, p.HasBitmap());

    TPaintParam back;
    EXPECT_TRUE(back.FromBrushRecords(*method, p.ToBrushRecord()));
    // What the preset keeps outside the records.
    back.SetName(p.Name());
    back.SetUseGradation(p.Settings().useGradation);
    back.SetUseTone(p.Settings().useTone);
    back.FromNibPreset({p.ToNibRecord(), p.NibAirMap(), p.Settings().aliased, bitmap.get(), p.NibScalePercent(),
                        p.NibId()});
    return back;
}

} // namespace

TEST(TPaintParam, DefaultsFollowTheKindTable)
{
    for (int k = 0; k < kPaintKinds; ++k) {
        const TPaintParam p{PaintKind(k)};
        TPaintParamR expected;
        expected.airMap = KindInfo(PaintKind(k)).defaultAirMap;
        EXPECT_EQ(p.Settings(), expected) << k;
        EXPECT_EQ(p.Name(), KindInfo(PaintKind(k)).defaultName);
        EXPECT_EQ(p.NibId(), -1);
    }
    EXPECT_EQ(TPaintParam(PaintKind::Blur2).Name(), "ぼかし");
    EXPECT_EQ(TPaintParam(PaintKind::Spread4).Name(), "のばし");
}

TEST(TPaintParam, ResetDiscardsNameIconAndBitmap)
{
    TPaintParam p = Custom(PaintKind::Pencil4);
    ASSERT_TRUE(p.SetIcon(TMTC(4, 4)));
    ASSERT_TRUE(p.SetBitmap(3, 2, Ramp(3, 2)));
    p.ResetToKind(PaintKind::Eraser4);
    EXPECT_EQ(p.Kind(), PaintKind::Eraser4);
    EXPECT_EQ(p.Name(), "消しゴム");
    EXPECT_EQ(p.CustomIcon(), nullptr);
    EXPECT_EQ(p.BuiltinIcon(), ToolIcon::Eraser);
    EXPECT_FALSE(p.HasBitmap());
    EXPECT_EQ(p.BitmapWidth(), 0);
    EXPECT_EQ(p.Settings(), PaintParamDefaults(PaintKind::Eraser4));
}

TEST(TPaintParam, SettersStoreOnlyChangesWithinRange)
{
    TPaintParam p(PaintKind::AirBrush4);
    EXPECT_FALSE(p.SetDensity(1.0f));
    EXPECT_TRUE(p.SetDensity(0.0f));
    EXPECT_EQ(p.Settings().density, 0.01f);
    EXPECT_FALSE(p.SetDensity(-3.0f)); // clamps to the value it has
    EXPECT_FALSE(p.SetDensity(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(p.SetRadius(std::numeric_limits<float>::infinity()));
    EXPECT_TRUE(p.SetRadius(1e9f));
    EXPECT_EQ(p.Settings().radius, 200.0f);
    EXPECT_TRUE(p.SetAspect(1e-9f));
    EXPECT_EQ(p.Settings().aspect, 0.01f);
    EXPECT_TRUE(p.SetGamma(100));
    EXPECT_EQ(p.Settings().gamma, 6.0f);
    EXPECT_TRUE(p.SetSpacing(0));
    EXPECT_EQ(p.Settings().spacing, 0.01f);
    EXPECT_TRUE(p.SetDenseStepRadius(5000));
    EXPECT_EQ(p.Settings().denseStepRadius, 1000.0f);
    EXPECT_FALSE(p.SetAirMap(8));
    EXPECT_FALSE(p.SetAirMap(-1));
    EXPECT_FALSE(p.SetAirMap(0));
    EXPECT_FALSE(p.SetEffect(4, 10));
    EXPECT_TRUE(p.SetEffect(3, 150));
    EXPECT_EQ(p.Settings().effect3, 100.0f);
    EXPECT_FALSE(p.SetName("エアーブラシ"));
    EXPECT_TRUE(p.SetName("霧"));
}

TEST(TPaintParam, CopyOwnsItsIconAndBitmap)
{
    TPaintParam a = Custom(PaintKind::WaterColor4);
    TMTC icon(2, 2);
    icon.Row(0)[0] = 0xFF112233;
    ASSERT_TRUE(a.SetIcon(icon));
    ASSERT_TRUE(a.SetBitmap(4, 3, Ramp(4, 3)));
    a.SetBitmapScale(2.5f);

    TPaintParam b(a);
    ExpectSame(a, b);
    ASSERT_NE(b.CustomIcon(), nullptr);
    EXPECT_NE(b.CustomIcon(), a.CustomIcon());
    EXPECT_EQ(b.CustomIcon()->Row(0)[0], 0xFF112233u);
    a.ResetToKind(PaintKind::Pencil4);
    EXPECT_EQ(b.BitmapBits(), Ramp(4, 3));
    EXPECT_EQ(b.Settings().bitmapScale, 2.5f);

    // Without a bitmap the copy's scale is 1.
    TPaintParam c(PaintKind::Pencil4);
    c.SetBitmapScale(3);
    TPaintParam d(PaintKind::Blur4);
    d = c;
    EXPECT_EQ(d.Kind(), PaintKind::Pencil4);
    EXPECT_EQ(d.Settings().bitmapScale, 1.0f);
}

TEST(TPaintParam, BitmapRefusesEmptyOversizedAndShortBlocks)
{
    TPaintParam p(PaintKind::Pencil4);
    EXPECT_FALSE(p.SetBitmap(0, 5, {}));
    EXPECT_FALSE(p.SetBitmap(4097, 1, std::vector<uint8_t>(4097)));
    EXPECT_FALSE(p.SetBitmap(3, 3, std::vector<uint8_t>(8)));
    EXPECT_FALSE(p.SetBitmap(-2, -2, std::vector<uint8_t>(4)));
    EXPECT_FALSE(p.HasBitmap());
    EXPECT_TRUE(p.SetBitmap(4096, 1, std::vector<uint8_t>(4096)));
}

TEST(TPaintParam, SizeControlLimits)
{
    TPaintParam p(PaintKind::Pencil4);
    p.SetRadius(7);
    SizeControlLimits l = p.SizeLimits();
    EXPECT_EQ(l.minScale, 0.01f);
    EXPECT_EQ(l.maxScale, 5.0f);
    EXPECT_EQ(l.minRadius, 0.1f);
    EXPECT_EQ(l.maxRadius, 200.0f);
    EXPECT_EQ(p.SizeControlRadius(), 7.0f);

    ASSERT_TRUE(p.SetBitmap(8, 200, std::vector<uint8_t>(1600)));
    l = p.SizeLimits();
    EXPECT_FLOAT_EQ(l.minScale, 0.5f);
    EXPECT_FLOAT_EQ(l.maxScale, 2.56f);
    EXPECT_FLOAT_EQ(l.minRadius, 50.0f);
    EXPECT_FLOAT_EQ(l.maxRadius, 256.0f);
    EXPECT_EQ(p.SizeControlRadius(), 0.0f);

    // 2 x 300 would want 2.0 at least but allows 1.71 at most: the range closes there.
    ASSERT_TRUE(p.SetBitmap(2, 300, std::vector<uint8_t>(600)));
    l = p.SizeLimits();
    EXPECT_FLOAT_EQ(l.maxScale, 512.0f / 300);
    EXPECT_EQ(l.minScale, l.maxScale);
    EXPECT_EQ(l.minRadius, l.maxRadius);
}

TEST(TPaintParam, ToStrokeCarriesMethodAndSettings)
{
    TStroke spread, finger;
    TPaintParam p = Custom(PaintKind::Spread4);
    ASSERT_TRUE(p.ToStroke(spread));
    ASSERT_TRUE(Custom(PaintKind::FingerTip4).ToStroke(finger));
    EXPECT_EQ(int(spread.Method()), 6);
    EXPECT_EQ(finger.Method(), spread.Method());
    EXPECT_EQ(spread.Opacity(), 0.5f);
    EXPECT_EQ(spread.Effect(3), 60.0f);
    EXPECT_EQ(spread.Gamma(), 2.5f);
    EXPECT_EQ(spread.Radius(), 12.5f);
    EXPECT_EQ(spread.MinRadiusPercent(), 25.0f);
    EXPECT_EQ(spread.Spacing(), 0.25f);
    EXPECT_TRUE(spread.PressureSize() && spread.PressureDensity());
    EXPECT_TRUE(spread.UseTone());
    EXPECT_FALSE(spread.UseGradation()); // rubpen paints no gradation
    EXPECT_TRUE(spread.changed);

    TStroke eraser;
    Custom(PaintKind::Eraser4).ToStroke(eraser);
    EXPECT_FALSE(eraser.UseTone() || eraser.UseGradation());
}

TEST(TPaintParam, AirMapReachesCompatibleStrokes)
{
    struct Case {
        PaintKind kind;
        int airMap;
        int strokeAirMap;
        bool softEdge;
    };
    const Case cases[] = {
        {PaintKind::AirBrush1, 6, 4, false}, {PaintKind::Burn1, 2, 0, false},
        {PaintKind::Burn1, 7, 3, false}, // no compatible code: the default curve
        {PaintKind::Eraser1, 2, 3, false},   {PaintKind::Eraser1, 3, 3, true},
        {PaintKind::WaterColor1, 7, 3, true}, {PaintKind::Pencil1, 2, 3, false},
    };
    for (const Case& c : cases) {
        TPaintParam p(c.kind);
        p.SetAirMap(c.airMap);
        TStroke s;
        p.ToStroke(s);
        EXPECT_EQ(s.AirMap(), c.strokeAirMap) << KindInfo(c.kind).kindName << " " << c.airMap;
        EXPECT_EQ(s.SoftEdge(), c.softEdge) << KindInfo(c.kind).kindName << " " << c.airMap;
    }
}

TEST(TPaintParam, FromStrokeGivesTheCompatibleKind)
{
    TStroke s;
    s.SetMethod(StrokeMethod::RubPen);
    s.SetOpacity(0.3f);
    s.SetRadius(9);
    s.SetMinRadiusPercent(40);
    s.SetSpacing(0.5f);
    s.SetEffect(2, 12);
    s.SetSoftEdge(true);
    TPaintParam p(PaintKind::Pencil4);
    p.SetName("消える名前");
    ASSERT_TRUE(p.FromStroke(s));
    EXPECT_EQ(p.Kind(), PaintKind::FingerTip1);
    EXPECT_EQ(p.Name(), "指先");
    EXPECT_EQ(p.Settings().density, 0.3f);
    EXPECT_EQ(p.Settings().radius, 9.0f);
    EXPECT_FLOAT_EQ(p.Settings().minRadius, 0.4f);
    EXPECT_EQ(p.Settings().spacing, 0.5f);
    EXPECT_EQ(p.Settings().effect2, 12.0f);
    EXPECT_TRUE(p.Settings().softEdge);

    s.SetMethod(StrokeMethod::Pen); // fixed spacing 1/6 is what the stroke uses
    p.FromStroke(s);
    EXPECT_EQ(p.Kind(), PaintKind::Pencil1);
    EXPECT_EQ(p.Settings().spacing, 1.0f / 6);
}

TEST(TPaintParam, PenSettingRecordRoundTrips)
{
    // Soft-edge kinds keep the air map in "ifEDGE": 2 is hard, anything else soft.
    for (int airMap : {2, 3}) {
        TPaintParam p(PaintKind::Eraser1);
        p.SetAirMap(airMap);
        const PenSettingRecord r = p.ToPenSetting();
        EXPECT_EQ(r.softEdge, airMap != 2);
        TPaintParam back(PaintKind::Pencil4);
        back.FromPenSetting(r, PaintKind::Eraser1);
        EXPECT_EQ(back.Settings().airMap, airMap);
    }
    // Compatible-numbering kinds keep the code; one without a code reads back
    // as the kind's default.
    for (int airMap : {0, 2, 3, 5, 6, 7}) {
        TPaintParam p = Custom(PaintKind::FingerTip1);
        p.SetAirMap(airMap);
        const PenSettingRecord r = p.ToPenSetting();
        EXPECT_EQ(r.airMap, CompatibleOfAirMap(uint8_t(airMap)) & 0x7F);
        TPaintParam back(PaintKind::Pencil4);
        back.FromPenSetting(r, PaintKind::FingerTip1);
        EXPECT_EQ(back.Settings().airMap, airMap == 7 ? 5 : airMap) << airMap;
        TPaintParamR expected = p.Settings();
        expected.airMap = back.Settings().airMap;
        // Fields the record does not carry stay at the kind's defaults.
        const TPaintParamR& d = PaintParamDefaults(PaintKind::FingerTip1);
        expected.denseStepRadius = d.denseStepRadius;
        expected.subStepRadius = d.subStepRadius;
        expected.aspect = d.aspect;
        expected.angle = d.angle;
        expected.airMapFlat = d.airMapFlat;
        expected.airMapAdd = d.airMapAdd;
        expected.aliased = d.aliased;
        EXPECT_EQ(back.Settings(), expected);
    }
}

TEST(TPaintParam, NibRecordAnglesAndAspect)
{
    struct Case {
        float angle;
        int32_t stored;
    };
    // Negative angles round up by the house rule: -45 is -449 tenths, so 3151.
    for (const Case& c : {Case{360, 0}, Case{450, 900}, Case{-45, 3151}, Case{359.95f, 0}, Case{-720, 1},
                          Case{1e30f, 847}}) {
        TPaintParam p(PaintKind::Pencil4);
        p.SetAngle(c.angle);
        EXPECT_EQ(p.ToNibRecord().angle, c.stored) << c.angle;
    }
    TPaintParam p(PaintKind::Pencil4);
    p.SetAspect(1.2f);
    EXPECT_EQ(p.ToNibRecord().aspect, 1000);
    p.SetRadius(0.104f);
    EXPECT_EQ(p.ToNibRecord().radius, 10);
    ASSERT_TRUE(p.SetBitmap(2, 2, Ramp(2, 2)));
    p.SetBitmapScale(1.5f);
    EXPECT_EQ(p.ToNibRecord().radius, 15000); // scale percent x 100
    EXPECT_EQ(p.NibScalePercent(), 150);
}

TEST(TPaintParam, NibAirMapByGroup)
{
    struct Case {
        PaintKind kind;
        int airMap;
        bool softEdge;
        AirMapRecord expected;
    };
    const Case cases[] = {
        {PaintKind::Pencil4, 5, false, {2, 250, 125}},
        {PaintKind::Pencil4, 2, false, {3, 250, 125}},
        {PaintKind::Pencil4, 7, false, {3, 250, 125}},
        {PaintKind::AirBrush1, 2, false, {3, 900, 125}},
        {PaintKind::AirBrush1, 7, false, {6, 250, 125}},
        {PaintKind::Pencil1, 7, true, {0, 250, 125}},
        {PaintKind::Pencil1, 7, false, {3, 900, 125}},
        {PaintKind::Eraser1, 2, true, {0, 250, 125}},
    };
    for (const Case& c : cases) {
        TPaintParam p(c.kind);
        p.SetAirMap(c.airMap);
        p.SetSoftEdge(c.softEdge);
        p.SetAirMapFlat(0.25f);
        p.SetAirMapAdd(0.125f);
        EXPECT_EQ(p.NibAirMap(), c.expected) << KindInfo(c.kind).kindName << " " << c.airMap;
    }
}

TEST(TPaintParam, PresetRecordsKeepEveryField)
{
    for (PaintKind kind : BrushEditorKinds()) {
        const TPaintParam p = Custom(kind);
        ExpectSame(ThroughPresetRecords(p), p);
    }
    // A bitmap nib: its scale goes through the preset, the round radius does not.
    TPaintParam p = Custom(PaintKind::Blur4);
    p.SetRadius(1);
    ASSERT_TRUE(p.SetBitmap(5, 3, Ramp(5, 3)));
    p.SetBitmapScale(2.25f);
    const TPaintParam back = ThroughPresetRecords(p);
    ExpectSame(back, p);
    ASSERT_TRUE(back.HasBitmap());
}

TEST(TPaintParam, UnknownBrushClassLeavesTheSetAlone)
{
    TPaintParam p = Custom(PaintKind::Burn4);
    BrushMethodRecord bad;
    bad.renderClass = 200;
    EXPECT_FALSE(p.FromBrushRecords(bad, BrushRecord{}));
    ExpectSame(p, Custom(PaintKind::Burn4));
    EXPECT_FALSE(TPaintParam(PaintKind::Blur1).ToBrushMethod());
}

TEST(TPaintParam, HostileNibPresetIsClamped)
{
    TPaintParam p(PaintKind::Pencil4);
    p.FromNibPreset({NibRecord{-5, 5000, -1, 99999}, AirMapRecord{9, -7, 5000}, false, nullptr, 100, 3});
    EXPECT_EQ(p.Settings().radius, 0.1f);
    EXPECT_EQ(p.Settings().aspect, 1.0f);
    EXPECT_FLOAT_EQ(p.Settings().angle, 359.9f);
    EXPECT_EQ(p.Settings().minRadius, 1.0f);
    EXPECT_EQ(p.Settings().airMap, 0); // unknown curve: 1 - x
    EXPECT_EQ(p.Settings().airMapFlat, 0.0f);
    EXPECT_EQ(p.Settings().airMapAdd, 1.0f);
    EXPECT_EQ(p.NibId(), 3);
}

TEST(TPaintParam, HostilePenSettingKeepsKindDefaults)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    PenSettingRecord r{nan, nan, 1e30f, -1, nan, 500, true, true, true, true, true, nan, -1, 99};
    TPaintParam p(PaintKind::Pencil4);
    p.FromPenSetting(r, PaintKind::Burn1);
    const TPaintParamR& d = PaintParamDefaults(PaintKind::Burn1);
    EXPECT_EQ(p.Settings().minRadius, d.minRadius);
    EXPECT_EQ(p.Settings().radius, d.radius);
    EXPECT_EQ(p.Settings().gamma, 6.0f);
    EXPECT_EQ(p.Settings().effect1, 0.0f);
    EXPECT_EQ(p.Settings().effect2, d.effect2);
    EXPECT_EQ(p.Settings().effect3, 100.0f);
    EXPECT_EQ(p.Settings().density, d.density);
    EXPECT_EQ(p.Settings().spacing, 0.01f);
    EXPECT_EQ(p.Settings().airMap, d.airMap);
}
