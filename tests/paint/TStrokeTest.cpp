#include "paint/TStroke.h"
#include "paint/CPenTC.h"

#include <gtest/gtest.h>

#include <limits>

using namespace morvane;

TEST(TStroke, SettersClampAndNoteChanges)
{
    TStroke s;
    EXPECT_FALSE(s.changed);
    EXPECT_FALSE(s.SetOpacity(1.0f));
    EXPECT_FALSE(s.changed);
    struct Case {
        bool (TStroke::*set)(float);
        float (TStroke::*get)() const;
        float in, out;
    };
    const Case cases[] = {
        {&TStroke::SetOpacity, &TStroke::Opacity, 0, 0.01f},   {&TStroke::SetMinRadiusPercent, &TStroke::MinRadiusPercent, 150, 100},
        {&TStroke::SetRadius, &TStroke::Radius, 0, 0.1f},      {&TStroke::SetRadius, &TStroke::Radius, 1e20f, 200},
        {&TStroke::SetGamma, &TStroke::Gamma, -1, 0.01f},      {&TStroke::SetGamma, &TStroke::Gamma, 9, 6},
        {&TStroke::SetSpacing, &TStroke::Spacing, 0, 0.02f},   {&TStroke::SetSpacing, &TStroke::Spacing, 3, 2},
    };
    for (const Case& c : cases) {
        TStroke t;
        EXPECT_TRUE((t.*c.set)(c.in));
        EXPECT_EQ((t.*c.get)(), c.out);
        EXPECT_TRUE(t.changed);
        EXPECT_FALSE((t.*c.set)(std::numeric_limits<float>::quiet_NaN()));
        EXPECT_EQ((t.*c.get)(), c.out);
    }
    EXPECT_FALSE(s.SetAirMap(5));
    EXPECT_FALSE(s.SetAirMap(127));
    EXPECT_TRUE(s.SetAirMap(4));
    EXPECT_EQ(s.AirMap(), 4);
    EXPECT_TRUE(s.SetAirMap(127)); // no profile: the default, not the curve before
    EXPECT_EQ(s.AirMap(), 3);
    EXPECT_FALSE(s.SetMethod(StrokeMethod(9)));
}

TEST(TStroke, MethodRules)
{
    TStroke s;
    s.SetSpacing(0.01f);
    EXPECT_EQ(s.EffectiveSpacing(), 1.0f / 6); // pen: fixed
    s.SetMethod(StrokeMethod::AirBrush);
    EXPECT_EQ(s.EffectiveSpacing(), 0.02f);
    s.SetSpacing(0.3f);
    EXPECT_EQ(s.EffectiveSpacing(), 0.3f);

    s.SetRadius(20);
    s.SetMinRadiusPercent(25);
    EXPECT_EQ(s.RadiusAt(0.5f), 20.0f); // pressure-to-size off
    s.SetPressureSize(true);
    EXPECT_EQ(s.RadiusAt(0.0f), 5.0f);
    EXPECT_EQ(s.RadiusAt(0.5f), 12.5f);
    s.SetMethod(StrokeMethod::Blur2); // size never follows pressure
    EXPECT_EQ(s.RadiusAt(0.5f), 20.0f);

    s.SetMethod(StrokeMethod::Eraser);
    EXPECT_FALSE(s.ToneAllowed() || s.GradationAllowed());
    s.SetMethod(StrokeMethod::WaterColor);
    EXPECT_TRUE(s.ToneAllowed() && s.GradationAllowed());
    EXPECT_FALSE(s.PaintsCoverage());
}

TEST(TStroke, EngineOpacityAndRunningState)
{
    TStroke s;
    s.SetOpacity(0.4f);
    EXPECT_EQ(s.OpacityFor(1), 0.4f);
    EXPECT_EQ(s.OpacityFor(2), 0.4f);
    EXPECT_EQ(s.OpacityFor(0), 1.0f); // the oldest engine paints at full opacity

    // The pick-up patches belong to the running stroke: a copy has none.
    ASSERT_NE(s.pickups.Get(1), nullptr);
    TStroke copy = s;
    EXPECT_EQ(copy.Opacity(), 0.4f);
    ASSERT_NE(copy.pickups.Get(1), nullptr);
    EXPECT_NE(copy.pickups.Get(1), s.pickups.Get(1));
    EXPECT_FALSE(copy.pickups.Get(1)->Picked());
}
