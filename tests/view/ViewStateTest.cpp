#include "view/CViewState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace morvane;

namespace {

CViewState View(int32_t docW, int32_t docH, int32_t clientW, int32_t clientH, ScaleRatio s = {1, 1})
{
    CViewState v;
    v.SetDocument(docW, docH);
    v.SetClient(clientW, clientH);
    v.SetScale(s.num, s.den);
    return v;
}

} // namespace

TEST(CViewState, ZoomStepsFromEveryStepAndBetween)
{
    for (size_t i = 0; i < kScaleSteps.size(); ++i) {
        CViewState v = View(100, 100, 10, 10, kScaleSteps[i]);
        SCOPED_TRACE(i);
        EXPECT_EQ(v.StepIn(), kScaleSteps[std::min(i + 1, kScaleSteps.size() - 1)]);
        EXPECT_EQ(v.StepOut(), kScaleSteps[i == 0 ? 0 : i - 1]);
        EXPECT_EQ(v.CanZoomIn(), i + 1 < kScaleSteps.size());
        EXPECT_EQ(v.CanZoomOut(), i > 0);
    }
    struct Case {
        ScaleRatio from, in, out;
    } cases[] = {
        {{1, 1}, {3, 2}, {2, 3}}, {{5, 4}, {3, 2}, {1, 1}}, {{3, 2}, {2, 1}, {1, 1}},
        {{2, 3}, {1, 1}, {1, 2}}, {{7, 100}, {1, 12}, {1, 16}}, {{15, 1}, {16, 1}, {12, 1}},
    };
    for (const Case& c : cases) {
        CViewState v = View(100, 100, 10, 10, c.from);
        EXPECT_EQ(v.StepIn(), c.in) << c.from.num << "/" << c.from.den;
        EXPECT_EQ(v.StepOut(), c.out) << c.from.num << "/" << c.from.den;
    }
    CViewState top = View(100, 100, 10, 10, {16, 1}), bottom = View(100, 100, 10, 10, {1, 16});
    EXPECT_FALSE(top.ZoomIn({5, 5}));
    EXPECT_FALSE(bottom.ZoomOut({5, 5}));
    EXPECT_EQ(top.Scale(), (ScaleRatio{16, 1}));
    EXPECT_EQ(bottom.Scale(), (ScaleRatio{1, 16}));
}

TEST(CViewState, TransformsRoundTripRotatedOrNotWithNegativeAnchors)
{
    struct Case {
        ScaleRatio scale;
        Point window, doc;
        double angle;
    } cases[] = {
        {{1, 1}, {0, 0}, {0, 0}, 0.0},    {{3, 2}, {-1, 0}, {517, 33}, 0.0}, {{16, 1}, {-15, -7}, {-3, 9}, 0.0},
        {{1, 16}, {0, 0}, {2000, 0}, 0.0}, {{2, 3}, {0, 0}, {0, 0}, 30.0},   {{12, 1}, {0, 0}, {0, 0}, -90.0},
    };
    const DocPoint points[] = {{0, 0}, {639, 479}, {-40.25, 12.5}, {320, 240}};
    for (const Case& c : cases) {
        CViewState v = View(4000, 4000, 640, 480, c.scale);
        v.SetAnchors(c.window, c.doc);
        ASSERT_TRUE(v.SetRotation(c.angle));
        for (DocPoint p : points) {
            const DocPoint back = v.DocumentToWindow(v.WindowToDocument(p));
            EXPECT_NEAR(back.x, p.x, 1e-6);
            EXPECT_NEAR(back.y, p.y, 1e-6);
        }
    }
}

TEST(CViewState, WindowCentrePointFollowsNegativeAnchors)
{
    CViewState v = View(1000, 1000, 200, 100, {2, 1});
    v.SetAnchors({-1, -1}, {100, 50});
    EXPECT_EQ(v.WindowAnchor(), (Point{-1, -1}));
    // (100 + 1 + 0.5) / 2 + 100 - 0.5 = 150.25, likewise 75.25 down.
    EXPECT_EQ(v.WindowCentrePoint(), (Point{150, 75}));
    // Entering rotation keeps that point at the window centre.
    ASSERT_TRUE(v.SetRotation(45.0));
    EXPECT_EQ(v.WindowCentrePoint(), (Point{150, 75}));
    ASSERT_TRUE(v.SetRotation(360.0));
    EXPECT_FALSE(v.Rotated());
    EXPECT_EQ(v.WindowCentrePoint(), (Point{150, 75}));
}

TEST(CViewState, ZoomKeepsThePointUnderThePointer)
{
    for (double angle : {0.0, 30.0}) {
        CViewState v = View(4000, 3000, 640, 480);
        v.SetAnchors({0, 0}, {1000, 700});
        ASSERT_TRUE(v.SetRotation(angle));
        const DocPoint at{123, 321};
        for (int i = 0; i < 16; ++i) {
            const DocPoint before = v.WindowToDocument(at);
            ASSERT_TRUE(i < 8 ? v.ZoomIn(at) : v.ZoomOut(at));
            const DocPoint after = v.WindowToDocument(at);
            // Anchors are whole window pixels: within half a window pixel.
            const double tolerance = 0.5 / v.ScaleValue() + 1e-9;
            EXPECT_NEAR(after.x, before.x, tolerance) << angle << " step " << i;
            EXPECT_NEAR(after.y, before.y, tolerance) << angle << " step " << i;
        }
    }
}

TEST(CViewState, SmallDocumentsAreCentredWithDocumentAnchorZero)
{
    CViewState v = View(100, 1000, 400, 400, {1, 1});
    v.SetAnchors({50, 30}, {7, 20});
    // Across: 100 < 400, centred. Down: 1000 > 400, the positive window
    // anchor becomes document rows.
    EXPECT_EQ(v.WindowAnchor(), (Point{150, 0}));
    EXPECT_EQ(v.DocumentAnchor(), (Point{0, -10}));
}

TEST(CViewState, FitTakesTheLargestStepThatFitsAndCentres)
{
    struct Case {
        int32_t docW, docH, clientW, clientH;
        double angle;
        ScaleRatio expected;
    } cases[] = {
        {4000, 3000, 1000, 1000, 0.0, {1, 4}},  {3000, 4000, 1000, 1000, 90.0, {1, 4}},
        {100, 100, 1000, 1000, 0.0, {8, 1}},    {100, 100, 1000, 1000, 30.0, {6, 1}},
        {4096, 4096, 10, 10, 0.0, {1, 16}},     {300, 200, 300, 200, 0.0, {1, 1}},
    };
    for (const Case& c : cases) {
        CViewState v = View(c.docW, c.docH, c.clientW, c.clientH, {16, 1});
        ASSERT_TRUE(v.SetRotation(c.angle));
        v.Fit();
        EXPECT_EQ(v.Scale(), c.expected) << c.docW << "x" << c.docH << " at " << c.angle;
        // The document's centre shows at the client's centre.
        const DocPoint centre = v.DocumentToWindow({(c.docW - 1) / 2.0, (c.docH - 1) / 2.0});
        EXPECT_NEAR(centre.x, (c.clientW - 1) / 2.0, 0.5);
        EXPECT_NEAR(centre.y, (c.clientH - 1) / 2.0, 0.5);
    }
}

TEST(CViewState, DocumentRectangleCoversItsWindowPixelsGrownByOne)
{
    CViewState v = View(1000, 1000, 500, 500, {3, 2});
    v.SetAnchors({-1, 0}, {10, 20});
    // Document columns 10..11 show at window columns -1..1, rows 20..21 at
    // 0..2; one pixel more each side, clipped to the client.
    EXPECT_EQ(v.DocumentRectToWindow({10, 20, 12, 22}), (EdgeRect{0, 0, 3, 4}));
    EXPECT_EQ(v.DocumentRectToWindow({5000, 5000, 5001, 5001}), (EdgeRect{}));
}

TEST(CViewState, HostileValuesAreRefusedOrLimited)
{
    CViewState v = View(100, 100, 50, 50, {1, 1});
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(v.SetScaleValue(nan));
    EXPECT_FALSE(v.SetScaleValue(inf));
    EXPECT_FALSE(v.SetScaleValue(-2.0));
    EXPECT_FALSE(v.SetScale(0, 1));
    EXPECT_FALSE(v.SetScale(1, -3));
    EXPECT_EQ(v.Scale(), (ScaleRatio{1, 1}));
    EXPECT_TRUE(v.SetScaleValue(1e30));
    EXPECT_EQ(v.Scale(), (ScaleRatio{16, 1}));
    EXPECT_TRUE(v.SetScale(1, std::numeric_limits<int32_t>::max()));
    EXPECT_EQ(v.Scale(), (ScaleRatio{1, 16}));
    EXPECT_TRUE(v.SetScale(65537, 65539));
    EXPECT_NEAR(v.ScaleValue(), 65537.0 / 65539.0, 1.0 / 4096);
    EXPECT_FALSE(v.SetRotation(nan));
    EXPECT_FALSE(v.SetRotation(-inf));
    EXPECT_FALSE(v.Rotated());
    EXPECT_TRUE(v.SetRotation(1e300));
    EXPECT_TRUE(std::isfinite(v.Sin()) && std::isfinite(v.Cos()));
    EXPECT_FALSE(v.ZoomAt({2, 1}, {nan, 0}));
    v.SetClient(-5, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(v.ClientWidth(), 0);
    EXPECT_LE(v.ClientHeight(), 16384);
}
