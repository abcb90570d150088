// The compatible stroke engines: where their dabs fall (engine 1's constants,
// engine 0's whole steps), what each method's stamps paint, the compatible
// air-map table, the blur2 rebuild and input that must not be walked.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "paint/CCompatStroke.h"
#include "paint/CompatAirMap.h"
#include "paint/CompatBlur2.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

constexpr int32_t kW = 48, kH = 40;

// FNV-1a over the wet paint's image and coverage.
uint64_t Checksum(const TFlowImage& flow)
{
    uint64_t h = support::kFnvStart;
    for (int32_t y = 0; y < flow.Image().Height; ++y) {
        h = support::Fnv(flow.Image().Row(y), size_t(flow.Image().Width) * 4, h);
        h = support::Fnv(flow.Coverage().PixelPtr(0, y), size_t(flow.Coverage().Width), h);
    }
    return h;
}

// A layer with something to blur and smudge: opaque vertical bands of two
// colours, and a transparent corner.
void PaintBands(CBlockVMTC& store)
{
    for (int32_t y = 0; y < store.Height; ++y)
        for (int32_t x = 0; x < store.Width; ++x) {
            uint32_t c = (x / 6) % 2 ? 0xFF2060C0u : 0xFFF0E0A0u;
            if (x >= 40 && y >= 32)
                c = 0x00FFFFFFu;
            store.SetPixel(x, y, c);
        }
}

// A document's pieces around one compatible engine.
struct Rig {
    TStroke stroke;
    CPenRender render{stroke};
    CBlockVMTC store{kW, kH};
    TFlowImage flow;
    CCompatStroke engine;
    std::vector<CompatDab> dabs;

    explicit Rig(int engineNumber, StrokeMethod method, float radius, int32_t height = kH)
        : store(kW, height), engine(engineNumber, render)
    {
        PaintBands(store);
        EXPECT_TRUE(flow.FitToDocument(kW, height, false));
        EXPECT_TRUE(flow.LoadLayer({0, &store, {0, 0}}, true, &stroke));
        stroke.SetMethod(method);
        stroke.SetRadius(radius);
        stroke.color = 0xFF102030u;
        engine.SetDabObserver([this](const CompatDab& d) { dabs.push_back(d); });
    }

    // Begin at the first point, then every further point is one move; the
    // pen's coverage becomes colour after every move, as the document does it.
    void Stroke(const std::vector<StrokePoint>& points, Point toTarget = {})
    {
        StrokeContext context;
        context.toTarget = toTarget;
        context.setup.blurSource = &store;
        context.setup.backgroundColour = 0xFFFFFFFFu;
        ASSERT_TRUE(engine.Start(0, flow, stroke, context));
        engine.BeginAt(points[0].x, points[0].y, points[0].pressure);
        for (size_t i = 1; i < points.size(); ++i) {
            engine.AddPoint(points[i].x, points[i].y, points[i].pressure);
            engine.RenderPendingSegment();
            const EdgeRect r = engine.SegmentRect();
            if (engine.PaintsCoverage() && !r.IsEmpty())
                flow.RebuildPencil(ToExtent(r), store, {&render, nullptr, stroke.color, 255});
        }
        engine.End();
    }
};

std::vector<float> Xs(const std::vector<CompatDab>& dabs)
{
    std::vector<float> xs;
    for (const CompatDab& d : dabs)
        xs.push_back(d.x);
    return xs;
}

// ---- where the dabs fall

TEST(CompatStroke, DabPlacementByEngineAndMethod)
{
    struct Case {
        const char* what;
        int engine;
        StrokeMethod method;
        float radius;
        std::vector<float> xs; // a raw segment from x = 10 to 19, y = 20
    };
    const Case cases[] = {
        // Engine 1: dense steps below r = 8 and halved steps below r = 2.
        {"e1 pen r1.5", 1, StrokeMethod::Pen, 1.5f,
         {10.5f, 11, 11.5f, 12, 12.5f, 13, 13.5f, 14, 14.5f, 15, 15.5f, 16, 16.5f, 17, 17.5f, 18, 18.5f, 19}},
        // Pen r = 10: interval ceil(10 / 6) = 2, whole steps.
        {"e1 pen r10", 1, StrokeMethod::Pen, 10, {10.5f, 12.5f, 14.5f, 16.5f, 18.5f}},
        // Airbrush r = 30, spacing 0.1: every third step.
        {"e1 airbrush r30", 1, StrokeMethod::AirBrush, 30, {10.5f, 13.5f, 16.5f}},
        // Eraser r = 3.5: dense (< 4) but not halved (>= 3).
        {"e1 eraser r3.5", 1, StrokeMethod::Eraser, 3.5f,
         {10.5f, 11.5f, 12.5f, 13.5f, 14.5f, 15.5f, 16.5f, 17.5f, 18.5f}},
        // Engine 0: trunc(9) + 1 = 10 steps of 0.9 from x + 0.5, a dab on every m-th.
        {"e0 pen r20 (m 3)", 0, StrokeMethod::Pen, 20, {10.5f, 13.2f, 15.9f, 18.6f}},
        {"e0 wc r30 (m 3)", 0, StrokeMethod::WaterColor, 30, {10.5f, 13.2f, 15.9f, 18.6f}},
        {"e0 eraser r10 (m 3)", 0, StrokeMethod::Eraser, 10, {10.5f, 13.2f, 15.9f, 18.6f}},
        {"e0 blur r9 (m 3)", 0, StrokeMethod::Blur, 9, {10.5f, 13.2f, 15.9f, 18.6f}},
        {"e0 blur2 r4 (m 2)", 0, StrokeMethod::Blur2, 4, {10.5f, 12.3f, 14.1f, 15.9f, 17.7f}},
        {"e0 airbrush r30 (m 1)", 0, StrokeMethod::AirBrush, 30,
         {10.5f, 11.4f, 12.3f, 13.2f, 14.1f, 15, 15.9f, 16.8f, 17.7f, 18.6f}},
        // Small pen: 20 half steps, a dab on each.
        {"e0 pen r1.5 (halved)", 0, StrokeMethod::Pen, 1.5f,
         {10.5f, 10.95f, 11.4f, 11.85f, 12.3f, 12.75f, 13.2f, 13.65f, 14.1f, 14.55f,
          15, 15.45f, 15.9f, 16.35f, 16.8f, 17.25f, 17.7f, 18.15f, 18.6f, 19.05f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.engine, c.method, c.radius);
        // Raw points still lag one point: the repeated last point (the
        // release) draws the segment to it.
        rig.stroke.rawPoints = true;
        rig.Stroke({{10, 20, 1}, {19, 20, 1}, {19, 20, 1}});
        const std::vector<float> xs = Xs(rig.dabs);
        ASSERT_EQ(xs.size(), c.xs.size());
        for (size_t i = 0; i < xs.size(); ++i)
            EXPECT_NEAR(xs[i], c.xs[i], 1e-4f) << i;
        for (const CompatDab& d : rig.dabs)
            EXPECT_EQ(d.y, 20.5f);
        EXPECT_EQ(rig.engine.DabCount(), int64_t(xs.size()));
    }
}

TEST(CompatStroke, SmoothingRhythmAndPressure)
{
    // Smoothed: the first move draws to the midpoint; the step counter runs
    // on across segments, so airbrush dabs stay three steps apart.
    Rig rig(1, StrokeMethod::AirBrush, 30);
    rig.Stroke({{10, 20, 1}, {18, 20, 1}, {30, 20, 1}});
    EXPECT_EQ(Xs(rig.dabs), (std::vector<float>{10.5f, 13.5f, 16.5f, 19.5f}));

    // Gamma and the size table: pressure 0.5 at gamma 2 counts as 0.25; wc's
    // minimum radius is a third whatever the setting, the pen's the setting.
    Rig wc(1, StrokeMethod::WaterColor, 12);
    wc.stroke.rawPoints = true;
    wc.stroke.SetGamma(2);
    wc.stroke.SetPressureSize(true);
    wc.stroke.SetMinRadiusPercent(0);
    wc.Stroke({{10, 20, 0.5f}, {11, 20, 0.5f}, {11, 20, 0.5f}});
    ASSERT_EQ(wc.dabs.size(), 1u);
    EXPECT_EQ(wc.dabs[0].pressure, 0.25f);
    EXPECT_NEAR(wc.dabs[0].radius, 12 * 0.333f + 12 * (1 - 0.333f) * 0.25f, 1e-4f);

    Rig pen(1, StrokeMethod::Pen, 12);
    pen.stroke.rawPoints = true;
    pen.stroke.SetPressureSize(true);
    pen.stroke.SetMinRadiusPercent(50);
    pen.Stroke({{10, 20, 0.5f}, {11, 20, 0.5f}, {11, 20, 0.5f}});
    ASSERT_EQ(pen.dabs.size(), 1u);
    EXPECT_EQ(pen.dabs[0].radius, 9.0f);
}

TEST(CompatStroke, LayerOffsetAndRectangles)
{
    // Dabs fall in the layer's store; rectangles come back in document
    // coordinates, widened to even, around every stamped dab.
    Rig rig(1, StrokeMethod::AirBrush, 3);
    rig.stroke.rawPoints = true;
    rig.Stroke({{10, 20, 1}, {14, 20, 1}, {14, 20, 1}}, {5, -3});
    ASSERT_EQ(Xs(rig.dabs), (std::vector<float>{15.5f, 16.5f, 17.5f, 18.5f}));
    EXPECT_EQ(rig.dabs[0].y, 17.5f);
    // Dabs 15.5 .. 18.5 of radius 3 reach ceil(3) + 2 around their pixel:
    // 10 .. 24 by 12 .. 23, (5, 15, 19, 26) in the document, then even.
    EXPECT_EQ(rig.engine.StrokeRect(), (EdgeRect{4, 14, 20, 26}));
    EXPECT_EQ(rig.engine.SegmentRect(), rig.engine.StrokeRect()); // all from the last move
}

TEST(CompatStroke, RubPenPutsDownOnlyAfterLeavingTheStart)
{
    Rig rig(1, StrokeMethod::RubPen, 4);
    rig.stroke.rawPoints = true;
    const uint64_t before = Checksum(rig.flow);
    rig.Stroke({{10.1f, 20.1f, 1}, {10.4f, 20.3f, 1}, {10.6f, 20.7f, 1}, {10.6f, 20.7f, 1}});
    EXPECT_EQ(rig.dabs.size(), 2u);
    EXPECT_EQ(Checksum(rig.flow), before);

    // Across the band edge at x = 12 the patch from the start comes down.
    Rig moved(1, StrokeMethod::RubPen, 4);
    moved.stroke.rawPoints = true;
    moved.Stroke({{10, 20, 1}, {14, 20, 1}, {14, 20, 1}});
    EXPECT_NE(Checksum(moved.flow), before);
}

TEST(CompatStroke, HostileInputIsNotWalked)
{
    Rig rig(1, StrokeMethod::Pen, 1);
    rig.stroke.rawPoints = true;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A segment far beyond any canvas, a point that is not a number, and
    // pressures out of range.
    rig.Stroke({{10, 20, 1}, {1e9f, 1e9f, 1}, {nan, 20, 1}, {12, 20, nan}, {13, 20, 7}, {14, 20, -3}});
    for (const CompatDab& d : rig.dabs) {
        EXPECT_TRUE(std::isfinite(d.x) && d.x < kW + 2) << d.x;
        EXPECT_GE(d.pressure, 0.0f);
        EXPECT_LE(d.pressure, 1.0f);
    }
    EXPECT_LT(rig.dabs.size(), 20u);
}

// ---- what the stamps paint

// The colour bytes' sum of a pixel seen over white.
int32_t Brightness(uint32_t pixel)
{
    const uint32_t a = pixel >> 24;
    int32_t sum = 0;
    for (int shift : {0, 8, 16})
        sum += int32_t((((pixel >> shift) & 0xFF) * a + 255 * (255 - a)) / 255);
    return sum;
}

// Far off the target engine 1 takes its steps in one go. The same stroke on
// a target tall enough to hold the whole path walks every step: the dabs that
// land on the small one, the step counter, the dab counter and, under a
// steady pressure, the stroke length agree.
TEST(CompatStroke, StepsOffTheTargetAreSkippedAndTheDabsThatLandAreTheSame)
{
    const std::vector<StrokePoint> path = {
        {20, 20, 1}, {24.5f, 17, 0.7f}, {30.25f, 9900, 0.7f}, {10, 5, 0.7f}, {40, 9500, 0.7f}, {22, 30, 0.7f}};
    Rig skipping(1, StrokeMethod::AirBrush, 4), walking(1, StrokeMethod::AirBrush, 4, 10000);
    for (Rig* rig : {&skipping, &walking}) {
        rig->stroke.rawPoints = true;
        rig->stroke.SetSpacing(0.5f);
        rig->Stroke(path);
    }
    // Within radius + 1 + the margin of 2 around the small target every dab
    // is stamped.
    const auto landing = [](const std::vector<CompatDab>& dabs) {
        std::vector<CompatDab> on;
        for (const CompatDab& d : dabs)
            if (d.x >= -7 && d.x < kW + 7 && d.y >= -7 && d.y < kH + 7)
                on.push_back(d);
        return on;
    };
    const std::vector<CompatDab> landed = landing(skipping.dabs), expected = landing(walking.dabs);
    ASSERT_GT(expected.size(), 10u);
    ASSERT_LT(skipping.dabs.size(), walking.dabs.size() / 100);
    ASSERT_EQ(landed.size(), expected.size());
    for (size_t i = 0; i < landed.size(); ++i) {
        EXPECT_EQ(landed[i].x, expected[i].x) << i;
        EXPECT_EQ(landed[i].y, expected[i].y) << i;
        EXPECT_EQ(landed[i].radius, expected[i].radius) << i;
        EXPECT_EQ(landed[i].pressure, expected[i].pressure) << i;
    }
    EXPECT_EQ(skipping.stroke.stepCount, walking.stroke.stepCount);
    EXPECT_EQ(skipping.stroke.dabCount, walking.stroke.dabCount);
    EXPECT_EQ(skipping.stroke.strokeLength, walking.stroke.strokeLength);
}

// Off the target a watercolour dab samples nothing and a rubbing dab picks
// nothing up: a stroke that leaves the target and comes back paints as the
// same stroke that turns at its edge.
TEST(CompatStroke, DabsOffTheTargetCarryNoPaint)
{
    for (StrokeMethod method : {StrokeMethod::WaterColor, StrokeMethod::RubPen}) {
        Rig away(1, method, 3), turning(1, method, 3);
        // A dab every step, so the longer way keeps the rhythm; the
        // watercolour mixes in what it passes over.
        for (Rig* rig : {&away, &turning}) {
            rig->stroke.rawPoints = true;
            rig->stroke.SetSpacing(0.02f);
            rig->stroke.SetEffect(2, 50);
        }
        away.Stroke({{10, 10, 1}, {30, 12, 1}, {30, -40, 1}, {38, -40, 1}, {38, 12, 1}, {44, 20, 1}});
        turning.Stroke({{10, 10, 1}, {30, 12, 1}, {30, -6, 1}, {38, -6, 1}, {38, 12, 1}, {44, 20, 1}});
        EXPECT_EQ(Checksum(away.flow), Checksum(turning.flow)) << int(method);
    }
}

TEST(CompatStroke, GoldenStrokePerMethodAndEngine)
{
    // A pixel on the path, in a blue band, must get darker (-1), lighter
    // (+1) or just change (0) seen over white.
    struct Case {
        StrokeMethod method;
        float radius;
        int tone;
        uint64_t engine1, engine0; // engine 1's blur2 paints nothing
    };
    const Case cases[] = {
        {StrokeMethod::Pen, 3, -1, 0x59c7f9d68c525c9ull, 0x43653d9ae2fe6e06ull},
        // Thick enough for whole discs first and single scans after.
        {StrokeMethod::Pen, 8, -1, 0x4cf409844326b1e0ull, 0x6588fe7e374db0aull},
        {StrokeMethod::WaterColor, 6, 0, 0x1b5adb211681aa6cull, 0x26a0a0b2ce8541dfull},
        {StrokeMethod::Blur, 5, 0, 0x810aff2865d8771aull, 0x13c4af900d39ffaeull},
        {StrokeMethod::Eraser, 4, 1, 0xcb478cafcf1c9510ull, 0xb0213a9d4c017db2ull},
        {StrokeMethod::Blur2, 5, 0, 0ull, 0x63127108f3d1b934ull},
        {StrokeMethod::AirBrush, 6, -1, 0x826062251c427538ull, 0x920ba0de20cc3fd2ull},
        {StrokeMethod::RubPen, 5, 0, 0x8646d76b74e500eeull, 0x4d004b9f2fe26592ull},
        {StrokeMethod::Darken, 6, -1, 0xe54c3facd9688179ull, 0x141866e2bb096470ull},
        {StrokeMethod::Lighten, 6, 1, 0x13a2704418fb43f7ull, 0x3a197002769ebe30ull},
    };
    const uint32_t band = 0xFF2060C0u;
    const std::vector<StrokePoint> path{{8, 10, 0.3f}, {20, 14, 0.8f}, {30, 26, 1}, {34, 34, 0.6f}};
    for (const Case& c : cases) {
        for (int engine : {1, 0}) {
            SCOPED_TRACE(std::string(StrokeMethodName(c.method)) + " engine " + std::to_string(engine));
            Rig rig(engine, c.method, c.radius);
            rig.stroke.SetOpacity(0.8f);
            rig.stroke.SetPressureDensity(true);
            rig.stroke.SetPressureSize(true);
            rig.stroke.SetMinRadiusPercent(40);
            rig.stroke.SetEffect(1, 60);
            rig.stroke.SetEffect(2, 40);
            rig.stroke.SetEffect(3, 30);
            const uint64_t before = Checksum(rig.flow);
            rig.Stroke(path);
            const uint64_t after = Checksum(rig.flow);
            // Engine 1's blur2 stamps nothing.
            if (engine == 1 && c.method == StrokeMethod::Blur2) {
                EXPECT_EQ(after, before);
                continue;
            }
            const int32_t change = Brightness(rig.flow.Image().GetPixel(18, 16)) - Brightness(band);
            EXPECT_TRUE(c.tone == 0 ? change != 0 : change * c.tone > 0) << change;
            EXPECT_EQ(after, engine == 1 ? c.engine1 : c.engine0);
        }
    }
}

// ---- the air map

TEST(CompatAirMap, TableFromCompatibleCodes)
{
    struct Case {
        int32_t code;
        uint8_t curve; // nib-preset numbering
        int32_t flat;
    };
    const Case cases[] = {
        {0, 3, 900}, // no curve: 1 - x with a flat part
        {1, 0, 0},   // circle
        {2, 2, 0},   // smooth step
        {3, 3, 0},   // 1 - x
        {4, 5, 0},
        {127, 3, 0}, // no entry: the default
        {-1, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const AirMapRecord r = CompatAirMapRecord(c.code);
        EXPECT_EQ(r.curve, c.curve);
        EXPECT_EQ(r.flat, c.flat);
        EXPECT_EQ(r.add, 0);
    }
    constexpr int32_t kFull = 255 << 16;
    CompatAirMap flat, linear, unknown;
    flat.Select(0);
    linear.Select(3);
    unknown.Select(127);
    EXPECT_EQ(flat.At(0), kFull);
    EXPECT_EQ(flat.At(1800), kFull); // 0.88 lies in the flat part
    EXPECT_LT(flat.At(2000), kFull);
    EXPECT_EQ(flat.At(CompatAirMap::kEntries - 1), 0);
    EXPECT_NEAR(linear.At(1024), kFull / 2, kFull / 1000);
    for (int32_t i = 0; i < CompatAirMap::kEntries; i += 89)
        EXPECT_EQ(unknown.At(i), linear.At(i));
}

// ---- the blur2 rebuild

TEST(CompatBlur2, RebuildBlursTheLayerThroughTheCoverage)
{
    // Black columns 0-3, white 4-7; the rebuild restores the rectangle first.
    CBlockVMTC store(8, 8);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x)
            store.SetPixel(x, y, x < 4 ? 0xFF000000u : 0xFFFFFFFFu);
    TStroke stroke;
    CPenRender render(stroke);
    render.PrepareChain({});
    TFlowImage flow;
    ASSERT_TRUE(flow.FitToDocument(8, 8, false));
    ASSERT_TRUE(flow.LoadLayer({0, &store, {0, 0}}, true));
    flow.Image().FillAll(0xFF00FF00u); // stale paint
    flow.Coverage().FillAll(0);
    *flow.Coverage().PixelPtr(3, 3) = 32; // alpha 255
    *flow.Coverage().PixelPtr(4, 3) = 4;  // alpha 32
    BlurScratch scratch;
    ASSERT_TRUE(RebuildBlur2(flow, {2, 2, 6, 5}, store, 1, render, scratch));

    uint32_t grey = 0xFFFFFFFFu;
    BlendColour(grey, 0xFFAAAAAAu, 32); // two white columns of three
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            uint32_t expected = x < 4 ? 0xFF000000u : 0xFFFFFFFFu;
            if (y < 2 || y >= 5 || x < 2 || x >= 6)
                expected = 0xFF00FF00u; // outside the rectangle
            if (x == 3 && y == 3)
                expected = 0xFF555555u; // one white column of three, in whole
            if (x == 4 && y == 3)
                expected = grey;
            EXPECT_EQ(flow.Image().GetPixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(Blur2Reach(10, 25), 2);
    EXPECT_EQ(Blur2Reach(3, 10), 1);
}

} // namespace
} // namespace morvane
