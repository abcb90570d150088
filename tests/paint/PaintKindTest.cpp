#include "paint/PaintKind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace morvane;

TEST(PaintKind, TableColumnsOfSampleKinds)
{
    struct Row {
        PaintKind kind;
        StrokeMethod method;
        int renderMethod, generation, group, curve;
        const char* name;
    };
    const Row rows[] = {
        {PaintKind::Pencil1, StrokeMethod::Pen, -1, 1, 0, 7, "鉛筆"},
        {PaintKind::Blur2, StrokeMethod::Blur2, -1, 0, 0, 7, "ぼかし"},
        {PaintKind::FingerTip1, StrokeMethod::RubPen, -1, 1, 1, 5, "指先"},
        {PaintKind::WaterColor4, StrokeMethod::WaterColor, 1, 2, 2, 0, "透明水彩"},
        {PaintKind::Spread4, StrokeMethod::RubPen, 4, 2, 2, 0, "のばし"},
        {PaintKind::FingerTip4, StrokeMethod::RubPen, 5, 2, 2, 0, "指先"},
        {PaintKind::Dodge4, StrokeMethod::Lighten, 6, 2, 2, 0, "覆い焼き"},
    };
    for (const Row& r : rows) {
        const PaintKindInfo& info = KindInfo(r.kind);
        SCOPED_TRACE(info.kindName);
        EXPECT_EQ(info.strokeMethod, r.method);
        EXPECT_EQ(info.renderMethod, r.renderMethod);
        EXPECT_EQ(info.generation, r.generation);
        EXPECT_EQ(info.airMapGroup, r.group);
        EXPECT_EQ(info.defaultAirMap, r.curve);
        EXPECT_STREQ(info.defaultName, r.name);
    }
}

TEST(PaintKind, CapabilityMasks)
{
    EXPECT_EQ(KindInfo(PaintKind::Pencil1).capabilities, 0x3F84u);    // 2, 7-13
    EXPECT_EQ(KindInfo(PaintKind::Eraser1).capabilities, 0x103384u);  // 2, 7-9, 12, 13, 20
    EXPECT_EQ(KindInfo(PaintKind::AirBrush1).capabilities, 0x13F8Cu); // 2, 3, 7-13, 16
    EXPECT_EQ(KindInfo(PaintKind::Blur1).capabilities, 0x3A94u);      // 2, 4, 7, 9, 11-13
    EXPECT_EQ(KindInfo(PaintKind::Pencil4).capabilities, 0x2FFF8Fu);  // 0-3, 7-19, 21
    EXPECT_EQ(KindInfo(PaintKind::WaterColor4).capabilities, 0x2FFFFFu);
    EXPECT_EQ(KindInfo(PaintKind::Burn4).capabilities, 0x2FFF9Fu);
    // Every kind with an air map of its own carries the compatible numbering
    // too; the others reduce it to the soft-edge flag or have none.
    for (int k = 0; k < kPaintKinds; ++k) {
        const PaintKindInfo& info = KindInfo(PaintKind(k));
        EXPECT_EQ(HasCapability(PaintKind(k), paintcap::CompatibleAirMap), info.airMapGroup != 0) << info.kindName;
    }
}

TEST(PaintKind, StrokeMethodsAndBackToCompatibleKinds)
{
    const char* names[] = {"pen", "wc", "blur", "eraser", "blur2", "airbrush", "rubpen", "darken", "lighten"};
    const int kinds[] = {0, 2, 4, 1, 5, 3, 6, 7, 8};
    for (int code = 0; code < kStrokeMethods; ++code) {
        EXPECT_STREQ(StrokeMethodName(StrokeMethod(code)), names[code]);
        ASSERT_TRUE(KindFromStrokeMethod(code));
        EXPECT_EQ(int(*KindFromStrokeMethod(code)), kinds[code]);
        EXPECT_EQ(int(KindInfo(PaintKind(kinds[code])).strokeMethod), code);
    }
    EXPECT_FALSE(KindFromStrokeMethod(9));
    EXPECT_FALSE(KindFromStrokeMethod(-1));
    EXPECT_EQ(KindInfo(PaintKind::Spread4).strokeMethod, StrokeMethod::RubPen);
}

TEST(PaintKind, BrushMethodRecordsOfEveryCurrentKindRoundTrip)
{
    for (PaintKind kind : BrushEditorKinds()) {
        const std::optional<BrushMethodRecord> r = BrushMethodOfKind(kind);
        ASSERT_TRUE(r) << KindInfo(kind).kindName;
        EXPECT_EQ(KindFromBrushMethod(*r), kind);
    }
    for (int k = 0; k <= int(PaintKind::Dodge1); ++k)
        EXPECT_FALSE(BrushMethodOfKind(PaintKind(k)));
    BrushMethodRecord unknown;
    unknown.renderClass = 7;
    EXPECT_FALSE(KindFromBrushMethod(unknown));
    BrushMethodRecord draw;
    EXPECT_EQ(KindFromBrushMethod(draw), PaintKind::AirBrush4);
    draw.pencil = true;
    EXPECT_EQ(KindFromBrushMethod(draw), PaintKind::Pencil4);
}

TEST(PaintKind, AirMapNumberings)
{
    // param code -> nib-preset code (-1 none), compatible code as stored.
    const int nib[kAirMapCurves] = {3, 4, -1, 0, 1, 2, 5, 6};
    const int compatible[kAirMapCurves] = {3, 0, 0, 1, 0, 2, 4, 127};
    for (uint8_t p = 0; p < kAirMapCurves; ++p) {
        SCOPED_TRACE(int(p));
        const std::optional<uint8_t> n = NibCurveOfAirMap(p);
        EXPECT_EQ(n ? int(*n) : -1, nib[p]);
        if (n) {
            EXPECT_EQ(AirMapOfNibCurve(*n), p);
        }
        EXPECT_EQ(CompatibleOfAirMap(p), compatible[p]);
        if (HasCompatibleCode(p)) {
            EXPECT_EQ(AirMapOfCompatible(CompatibleOfAirMap(p)), p);
        }
    }
    EXPECT_EQ(AirMapOfCompatible(5), 7);
    EXPECT_FALSE(AirMapOfCompatible(6));
    EXPECT_FALSE(AirMapOfCompatible(127));
    EXPECT_FALSE(AirMapOfCompatible(-1));
    // An unknown nib-preset curve falls back to 1 - x.
    EXPECT_EQ(AirMapOfNibCurve(7), 0);
    EXPECT_EQ(AirMapOfNibCurve(-3), 0);
}

TEST(PaintKind, OfferedCurvesHaveTheGroupsNumbering)
{
    EXPECT_TRUE(OfferedAirMaps(0).empty());
    const auto group1 = OfferedAirMaps(1);
    EXPECT_EQ(std::vector<uint8_t>(group1.begin(), group1.end()), (std::vector<uint8_t>{0, 2, 3, 5, 6}));
    for (uint8_t p : group1) // none may reach a compatible stroke without a code
        EXPECT_TRUE(HasCompatibleCode(p) && CompatibleOfAirMap(p) <= 4) << int(p);
    EXPECT_EQ(OfferedAirMaps(2).size(), 8u);
    // Every kind's default curve is on offer in its own group (or the group offers none).
    for (int k = 0; k < kPaintKinds; ++k) {
        const PaintKindInfo& info = KindInfo(PaintKind(k));
        const auto offered = OfferedAirMaps(info.airMapGroup);
        if (!offered.empty()) {
            EXPECT_NE(std::find(offered.begin(), offered.end(), info.defaultAirMap), offered.end()) << info.kindName;
        }
    }
}

TEST(PaintKind, EffectLabelsAndHints)
{
    EXPECT_STREQ(EffectLabel(PaintKind::WaterColor4, 3), "効果の影響距離");
    EXPECT_STREQ(EffectLabel(PaintKind::WaterColor1, 1), "のばし効果");
    EXPECT_STREQ(EffectLabel(PaintKind::Blur2, 1), "ぼかし強度");
    EXPECT_STREQ(EffectLabel(PaintKind::Blur4, 2), "効果");
    EXPECT_STREQ(EffectLabel(PaintKind::Dodge1, 1), "露出量");
    EXPECT_STREQ(EffectLabel(PaintKind::Pencil4, 1), "効果");
    EXPECT_STREQ(EffectLabel(PaintKind::WaterColor4, 0), "効果");
    EXPECT_EQ(EffectHint(PaintKind::Burn4, 1), "露出量|露出量の変更");
}
