// The current stroke engine through a target that records its dabs: where
// dabs fall along a smoothed path, their radius and density from pressure,
// the interval across segment joins, sub-steps, and the changed rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "paint/CInterpolate.h"
#include "paint/CStrokeMngr.h"
#include "paint/TFlowImage.h"
#include "paint/TPaintParam.h"
#include "paint/TStroke.h"

namespace morvane {
namespace {

// Keeps every dab and the stroke's pressure-to-density switch at its stamp.
class RecordingTarget final : public DabTarget {
public:
    float CurrentRadius() const override { return radius; }
    float MinRadius(float nominal) const override { return minFraction * nominal; }
    float DabInterval(float spacing, float r) const override { return spacing * r; }
    Point DabExtent(float r) const override
    {
        const int32_t e = int32_t(std::ceil(r));
        return {e, e};
    }
    float StrokeReach() const override { return reach; }
    bool IsPencil() const override { return pencil; }
    bool IsWatercolour() const override { return watercolour; }
    void SetSpanAcross(bool yMajor) override { across = yMajor; }
    bool Prepare(TMTC&, const PenStrokeSetup&, float x, float y) override
    {
        prepared = {x, y};
        return true;
    }
    void EndStroke() override { ++ends; }
    bool StampColour(TMTC&, const PenDab& dab) override { return Keep(dab, false); }
    bool StampCoverage(TChannel&, const PenDab& dab) override { return Keep(dab, true); }

    float radius = 10, minFraction = 0;
    // Dabs are kept wherever they fall unless a test gives the target a reach.
    float reach = 1e30f;
    bool pencil = false, watercolour = false, across = false;
    const TStroke* stroke = nullptr;
    std::vector<PenDab> dabs;
    std::vector<bool> intoCoverage, pressureDensity;
    std::pair<float, float> prepared{};
    int ends = 0;

private:
    bool Keep(const PenDab& dab, bool coverage)
    {
        dabs.push_back(dab);
        intoCoverage.push_back(coverage);
        pressureDensity.push_back(stroke->PressureDensity());
        return true;
    }
};

struct Engine {
    TStroke stroke;
    RecordingTarget target;
    TFlowImage flow;
    CStrokeMngr mngr{stroke, target};

    explicit Engine(float radius = 10, int32_t spacing = 100)
    {
        target.radius = radius;
        target.stroke = &stroke;
        BrushRecord brush;
        brush.spacing = spacing;
        mngr.SetBrush(brush);
    }
    void Begin(float x, float y, float p, Point toTarget = {}, StrokeContext context = {})
    {
        context.toTarget = toTarget;
        mngr.Start(0, flow, stroke, context);
        mngr.BeginAt(x, y, p);
    }
    void Move(float x, float y, float p)
    {
        mngr.AddPoint(x, y, p);
        mngr.RenderPendingSegment();
    }
    std::vector<float> Xs() const
    {
        std::vector<float> xs;
        for (const PenDab& d : target.dabs)
            xs.push_back(d.x);
        return xs;
    }
};

TEST(CInterpolate, FirstPointStartsAtZeroPressureAndMidpointsFollow)
{
    CInterpolate smooth(CInterpolate::kMidpoint);
    smooth.Add({0, 0, 1});
    for (int i = 0; i < CInterpolate::kEntries; ++i)
        EXPECT_EQ(smooth.Entry(i).pressure, 0.0f);
    smooth.Add({10, 4, 1});
    EXPECT_EQ(smooth.SegmentFrom().x, 0.0f);
    EXPECT_EQ(smooth.SegmentTo().x, 5.0f);
    EXPECT_EQ(smooth.SegmentTo().y, 2.0f);
    EXPECT_EQ(smooth.SegmentTo().pressure, 0.5f);
    smooth.Add({20, 4, 1});
    EXPECT_EQ(smooth.SegmentFrom().x, 5.0f);
    EXPECT_EQ(smooth.SegmentTo().x, 12.5f);
    EXPECT_EQ(smooth.SegmentTo().pressure, 0.75f);

    CInterpolate raw(CInterpolate::kNone);
    raw.Add({0, 0, 1});
    raw.Add({10, 4, 1});
    EXPECT_EQ(raw.SegmentFrom().pressure, 0.0f);
    EXPECT_EQ(raw.SegmentTo().x, 10.0f);
    EXPECT_EQ(raw.SegmentTo().pressure, 1.0f);
}

struct WalkCase {
    std::string name;
    float radius;
    int32_t spacing;
    std::vector<StrokePoint> points; // the first begins the stroke
    std::vector<float> xs;           // dab x positions expected
};

TEST(CStrokeMngr, DabPositionsAlongTheWalk)
{
    const std::vector<WalkCase> cases = {
        // One move: from the start point (pressure 0) to the midpoint.
        {"single move", 10, 100, {{0, 0, 1}, {10, 0, 1}}, {0.25f, 1.25f, 2.25f, 3.25f, 4.25f}},
        // Press and release at one place: the release move adds nothing.
        {"press and release", 10, 100, {{5, 5, 1}, {5, 5, 0}}, {}},
        // Spacing 0.1 at r = 30: every third step, on across the join at 10.
        {"interval 3 across joins",
         30,
         100,
         {{0, 0, 1}, {20, 0, 1}, {40, 0, 1}},
         {0.25f, 3.25f, 6.25f, 9.25f, 12.25f, 15.25f, 18.25f, 21.25f, 24.25f}},
        // Shorter than a pixel: one step.
        {"sub-pixel segment", 10, 100, {{0, 0, 1}, {0.6f, 0.2f, 1}}, {0.25f}},
        // Larger spacing: interval ceil(0.25 * 10) = 3.
        {"interval rounded up", 10, 250, {{0, 0, 1}, {16, 0, 1}}, {0.25f, 3.25f, 6.25f}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        Engine e(c.radius, c.spacing);
        e.Begin(c.points[0].x, c.points[0].y, c.points[0].pressure);
        for (size_t i = 1; i < c.points.size(); ++i)
            e.Move(c.points[i].x, c.points[i].y, c.points[i].pressure);
        EXPECT_EQ(e.Xs(), c.xs);
    }
}

TEST(CStrokeMngr, IntervalOneAtRadiusTenAndThreeAtThirty)
{
    for (auto [radius, interval] : {std::pair{10.0f, 1}, std::pair{30.0f, 3}}) {
        Engine e(radius, 100);
        e.Begin(0, 0, 1);
        e.Move(60, 0, 1);
        ASSERT_EQ(e.target.dabs.size(), size_t(30 / interval));
        EXPECT_EQ(e.target.dabs[1].x - e.target.dabs[0].x, float(interval));
    }
}

TEST(CStrokeMngr, SubStepsAndDenseSteps)
{
    struct Case {
        float radius;
        int32_t dense, sub;
        size_t dabs;
        float step;
    };
    // A 10 px segment (after smoothing: 0 to 10): dense steps force every
    // step, sub-steps halve (or third below 0.7 px) the step.
    for (const Case& c : std::initializer_list<Case>{{30, 0, 0, 4, 3.0f},
                                                     {30, 40, 0, 10, 1.0f},
                                                     {1.5f, 8, 2, 20, 0.5f},
                                                     {0.5f, 8, 2, 30, 1.0f / 3}}) {
        SCOPED_TRACE(c.radius);
        Engine e(c.radius, 100);
        BrushRecord brush = e.mngr.Brush();
        brush.denseStepRadius = c.dense;
        brush.subStepRadius = c.sub;
        e.mngr.SetBrush(brush);
        e.Begin(0, 0, 1);
        e.Move(20, 0, 1);
        ASSERT_EQ(e.target.dabs.size(), c.dabs);
        EXPECT_FLOAT_EQ(e.target.dabs[1].x - e.target.dabs[0].x, c.step);
    }
}

TEST(CStrokeMngr, PressureGivesRadiusAndDensityWithGamma)
{
    Engine e(10, 100);
    e.target.minFraction = 0.25f;
    BrushRecord brush = e.mngr.Brush();
    brush.pressureSize = brush.pressureDensity = true;
    brush.gamma = 200;
    e.mngr.SetBrush(brush);
    e.mngr.SetSmootherMode(CInterpolate::kNone);
    e.Begin(0, 0, 0.5f);
    e.Move(10, 0, 0.5f);
    // The forced start pressure: the minimum radius and no density.
    ASSERT_EQ(e.target.dabs.size(), 10u);
    EXPECT_FLOAT_EQ(e.target.dabs[0].radius, 2.5f);
    EXPECT_EQ(e.target.dabs[0].density, 0.0f);
    // Gamma 2: a pressure of 0.5 counts as 0.25 all along the next segment.
    e.target.dabs.clear();
    e.Move(20, 0, 0.5f);
    ASSERT_EQ(e.target.dabs.size(), 10u);
    for (const PenDab& d : e.target.dabs) {
        EXPECT_FLOAT_EQ(d.density, 0.25f);
        EXPECT_FLOAT_EQ(d.radius, 2.5f + 7.5f * 0.25f);
    }
}

// The stroke's opacity becomes the record's density in 1/1000, x 1000 in
// float and truncated, as the parameter set's own record has it: a double
// product gives 289 for 29 %.
TEST(CStrokeMngr, OpacityBecomesDensityPermilleInFloat)
{
    const std::pair<float, int32_t> cases[] = {{0.29f, 290}, {0.01f, 10}, {0.13f, 130}, {0.5f, 500}, {0.96f, 960}, {1.0f, 1000}};
    for (const auto& [opacity, permille] : cases) {
        Engine e;
        e.stroke.SetOpacity(opacity);
        e.Begin(0, 0, 1);
        EXPECT_EQ(e.mngr.Brush().density, permille) << opacity;
        TPaintParam param(PaintKind::Pencil4);
        param.SetDensity(opacity);
        EXPECT_EQ(param.ToBrushRecord().density, permille) << opacity;
    }
}

// Points far off the target: the steps whose dabs cannot land
// are taken in one go, and the dabs that do land are the ones a walk of every
// step places, on the same floats, with the same spacing phase. Here the
// target is the square [-12, 12) around the origin (reach 10 plus the margin).
TEST(CStrokeMngr, StepsOffTheTargetAreSkippedAndTheDabsThatLandAreTheSame)
{
    struct Case {
        const char* name;
        float pressure[4];
    };
    const Case cases[] = {{"steady pressure", {0.6f, 0.6f, 0.6f, 0.6f}},
                          {"changing pressure", {0.2f, 1.0f, 0.4f, 0.9f}}};
    // Without smoothing the segments run from point to point: a short one,
    // then three that cross the target from far off.
    const StrokePoint path[] = {{5, 5, 0}, {7.25f, -2.0f, 0}, {-3.0e5f, 3.5f, 0}, {2.6e5f, 8.0f, 0}, {-3.0f, -2.2e5f, 0}};
    for (const Case& c : cases) {
        Engine every(3, 1000), skipping(3, 1000);
        skipping.target.reach = 10;
        for (Engine* e : {&every, &skipping}) {
            BrushRecord brush = e->mngr.Brush();
            brush.pressureSize = brush.pressureDensity = true;
            e->mngr.SetBrush(brush);
            e->mngr.SetSmootherMode(CInterpolate::kNone);
            e->Begin(path[0].x, path[0].y, 1);
            for (int i = 1; i < 5; ++i)
                e->Move(path[i].x, path[i].y, c.pressure[i - 1]);
        }
        std::vector<PenDab> landing;
        for (const PenDab& d : every.target.dabs)
            if (d.x >= -12 && d.x < 12 && d.y >= -12 && d.y < 12)
                landing.push_back(d);
        ASSERT_GT(landing.size(), 5u) << c.name;
        ASSERT_LT(skipping.target.dabs.size(), every.target.dabs.size() / 1000) << c.name;
        // The skipped dabs left nothing behind that could land.
        std::vector<PenDab> landed;
        for (const PenDab& d : skipping.target.dabs)
            if (d.x >= -12 && d.x < 12 && d.y >= -12 && d.y < 12)
                landed.push_back(d);
        ASSERT_EQ(landed.size(), landing.size()) << c.name;
        for (size_t i = 0; i < landed.size(); ++i) {
            EXPECT_EQ(landed[i].x, landing[i].x) << c.name << " dab " << i;
            EXPECT_EQ(landed[i].y, landing[i].y) << c.name << " dab " << i;
            EXPECT_EQ(landed[i].radius, landing[i].radius) << c.name << " dab " << i;
            EXPECT_EQ(landed[i].density, landing[i].density) << c.name << " dab " << i;
        }
        EXPECT_EQ(skipping.mngr.StepCount(), every.mngr.StepCount()) << c.name;
        // Under a steady pressure the length is the same float. Over a long
        // run of changing pressure it is the line's sum rounded once, where
        // step by step it is rounded a million times (and drifts by more).
        if (c.pressure[1] == c.pressure[3])
            EXPECT_EQ(skipping.stroke.strokeLength, every.stroke.strokeLength) << c.name;
        else
            EXPECT_NEAR(skipping.stroke.strokeLength, every.stroke.strokeLength, every.stroke.strokeLength * 0.01)
                << c.name;
    }
}

TEST(CStrokeMngr, HostileRecordValuesStayUsable)
{
    Engine e(10, 100);
    BrushRecord brush;
    brush.gamma = 0;    // would make pow(0, 0) = 1
    brush.spacing = -5; // would give no interval
    brush.pressureDensity = true;
    e.mngr.SetBrush(brush);
    e.Begin(0, 0, std::nanf(""));
    e.Move(10, 0, -3);
    ASSERT_EQ(e.target.dabs.size(), 5u);
    EXPECT_EQ(e.target.dabs[0].density, 0.0f);
    for (const PenDab& d : e.target.dabs)
        EXPECT_TRUE(d.density >= 0 && d.density <= 1);
}

TEST(CStrokeMngr, RectanglesInDocumentCoordinatesWidenedToEven)
{
    Engine e(10, 100);
    // The store lies 3, 4 px off the picture: dabs go there, rectangles not.
    e.Begin(1, 1, 1, {3, 4});
    EXPECT_EQ(e.target.prepared, std::make_pair(4.0f, 5.0f));
    e.Move(1.6f, 1.2f, 1);
    ASSERT_EQ(e.target.dabs.size(), 1u);
    EXPECT_EQ(e.target.dabs[0].x, 4.25f);
    EXPECT_EQ(e.target.dabs[0].y, 5.25f);
    // Centre (1, 1), extent 10, margin 2: (-11, -11, 13, 13), widened.
    EXPECT_EQ(e.mngr.SegmentRect(), (EdgeRect{-12, -12, 14, 14}));
    EXPECT_EQ(e.mngr.StrokeRect(), (EdgeRect{-12, -12, 14, 14}));
    e.Move(41, 1, 1);
    // Last dab of the next segment at x 20.55: 21 + 12, widened.
    EXPECT_EQ(e.mngr.StrokeRect().right, 34);
    EXPECT_EQ(e.mngr.SegmentRect().left, -10);
    EXPECT_EQ(e.mngr.DabCount(), int64_t(e.target.dabs.size()));
}

TEST(CStrokeMngr, PencilDabsGoIntoCoverageAndSpanFollowsTheMajorAxis)
{
    Engine e(10, 100);
    e.target.pencil = true;
    e.Begin(0, 0, 1);
    e.Move(2, 20, 1);
    ASSERT_FALSE(e.target.dabs.empty());
    EXPECT_TRUE(e.target.intoCoverage[0]);
    EXPECT_TRUE(e.target.across); // y-major
    EXPECT_TRUE(e.mngr.PaintsCoverage());
    e.mngr.End();
    EXPECT_EQ(e.target.ends, 1);
}

TEST(CStrokeMngr, WatercolourDabsTakeTheRecordsDensitySwitch)
{
    struct Case {
        bool player;
        int32_t dataVersion;
        bool taken;
    };
    for (const Case& c : {Case{false, 0, true}, Case{true, 34, true}, Case{true, 33, false}}) {
        Engine e(10, 100);
        e.target.watercolour = true;
        BrushRecord brush = e.mngr.Brush();
        brush.pressureDensity = true;
        e.mngr.SetBrush(brush);
        e.stroke.changed = false;
        StrokeContext context;
        context.playerWindow = c.player;
        context.dataVersion = c.dataVersion;
        e.Begin(0, 0, 1, {}, context);
        e.Move(4, 0, 1);
        ASSERT_FALSE(e.target.dabs.empty());
        EXPECT_EQ(e.target.pressureDensity[0], c.taken);
        // Only for the dab: the stroke keeps its own switch.
        EXPECT_FALSE(e.stroke.PressureDensity());
        EXPECT_FALSE(e.stroke.changed);
    }
}

} // namespace
} // namespace morvane
