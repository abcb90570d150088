// Whole strokes against libmypaint's brush engine. Ours runs the document's
// path: begin, 2000 moves along a sine with a pressure ramp, end with the
// commit, no recorder. libmypaint strokes the same points with a basic round
// brush (hardness 1, opaque 1, radius ln r, no speed, tracking or jitter
// inputs) on a 4096 x 4096 fixed tiled surface, one atomic section per move
// as a program would; its dabs per radius are tuned so its dab count is
// within a few percent of ours. Both dab counts are printed as counters.
// The pressure figure paints with the program's default pen as a fresh
// start has it (pressure to size and density), against libmypaint's brush
// with its radius mapped to pressure over the same span.
#include <mypaint-brush.h>
#include <mypaint-fixed-tiled-surface.h>
#include <mypaint-surface.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/DocumentHost.h"
#include "input/InputRouter.h"
#include "input/ToolState.h"
#include "document/TPaper.h"
#include "files/PresetLocation.h"
#include "paint/CPenRender.h"
#include "paint/CStrokeMngr.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane::bench {
namespace {

constexpr int kPoints = 2000;
constexpr int32_t kSpacing = 100; // 0.1 of the radius

struct PathPoint {
    float x, y, p;
};

// Three periods of a sine across the picture; pressure from 0.2 to 1.
std::vector<PathPoint> SinePath(float radius)
{
    std::vector<PathPoint> path;
    const float margin = radius + 8;
    const float amplitude = 0.8f * (float(kSide) / 2 - margin);
    for (int i = 0; i < kPoints; ++i) {
        const float t = float(i) / float(kPoints - 1);
        path.push_back({margin + t * (float(kSide) - 2 * margin),
                        float(kSide) / 2 + amplitude * std::sin(t * 6 * std::numbers::pi_v<float>),
                        0.2f + 0.8f * t});
    }
    return path;
}

// The tool: a hard round nib of radius r, pressure to density.
void SetUpTool(CPenRender& render, TStroke& stroke, float radius, bool pencil)
{
    BrushMethodRecord method;
    method.renderClass = uint8_t(RenderClass::Draw);
    method.pencil = method.exact = pencil;
    render.SetMethod(method);
    AirMapRecord airMap;
    airMap.flat = 1000;
    render.SetAirMap(airMap);
    NibRecord nib;
    nib.radius = int32_t(radius * 100);
    render.SetNib(nib);
    stroke.color = 0xFF3060C0;
    // The compatible engine reads the stroke's own settings.
    stroke.SetMethod(StrokeMethod::AirBrush);
    stroke.SetRadius(radius);
    stroke.SetSpacing(float(kSpacing) / 1000);
    stroke.SetPressureDensity(true);
}

struct DocumentScene {
    SilentDocumentHost host;
    TPaper paper{host};
    TStroke stroke;
    CPenRender render{stroke};
    TFlowImage flow;
    bool ready = false;

    DocumentScene(float radius, bool pencil, uint8_t engine)
    {
        if (!paper.NewPicture("b", false, false, 72, kSide, kSide, kSide, kSide, false) ||
            !paper.SetStrokeEngine(engine) || !paper.SetPenRenderer(&render))
            return;
        SetUpTool(render, stroke, radius, pencil);
        BrushRecord brush;
        brush.pressureDensity = true;
        brush.spacing = kSpacing;
        paper.StrokeManager().SetBrush(brush);
        ready = true;
    }
    // The default pen of a fresh start on the shipped presets at that
    // radius, set up as a stroke begin sets it up.
    explicit DocumentScene(float radius)
    {
        ToolState tools;
        PresetLocation brushes{std::string(MORVANE_PRESETS) + "/" + kDefaultBrushFile, "", ""};
        PresetLocation nibs{std::string(MORVANE_PRESETS) + "/" + kDefaultNibFile, "", ""};
        tools.LoadPresets(brushes, nibs);
        if (brushes.rememberedPath.empty() ||
            !paper.NewPicture("b", false, false, 72, kSide, kSide, kSide, kSide, false) ||
            !paper.SetPenRenderer(&render) || !tools.SetSize(radius))
            return;
        PrepareEdit(paper, tools, stroke);
        ready = paper.SetStrokeEngine(EngineForKind(tools.Kind(), paper.EngineLevelMax));
    }

    bool Run(const std::vector<PathPoint>& path)
    {
        if (!ready || !paper.StrokeBegin(flow, stroke, false, path[0].p, path[0].y, path[0].x))
            return false;
        for (size_t i = 1; i < path.size(); ++i)
            paper.StrokePoint(flow, stroke, false, path[i].p, path[i].y, path[i].x);
        EdgeRect out;
        return paper.StrokeEnd(flow, stroke, false, out);
    }
};

// The current engine's queries with stamps that do nothing.
class IdleTarget final : public DabTarget {
public:
    explicit IdleTarget(float radius) : radius_(radius) {}
    float CurrentRadius() const override { return radius_; }
    float MinRadius(float nominal) const override { return 0.3f * nominal; }
    float DabInterval(float spacing, float radius) const override { return spacing * radius; }
    Point DabExtent(float radius) const override
    {
        const int32_t e = int32_t(std::ceil(radius));
        return {e, e};
    }
    // No target to fall off: every step is walked.
    float StrokeReach() const override { return 1e30f; }
    bool IsPencil() const override { return false; }
    bool IsWatercolour() const override { return false; }
    void SetSpanAcross(bool) override {}
    bool Prepare(TMTC&, const PenStrokeSetup&, float, float) override { return true; }
    void EndStroke() override {}
    bool StampColour(TMTC&, const PenDab&) override { return true; }
    bool StampCoverage(TChannel&, const PenDab&) override { return true; }

private:
    float radius_;
};

// ---- libmypaint ----

// Counts the dabs on their way to the surface; without one they stop here.
struct CountingSurface {
    MyPaintSurface base; // first: the brush sees only this
    MyPaintSurface* inner = nullptr;
    int64_t dabs = 0;
};

CountingSurface& Counting(MyPaintSurface* self)
{
    return *reinterpret_cast<CountingSurface*>(self);
}

int CountDab(MyPaintSurface* self, float x, float y, float radius, float r, float g, float b, float opaque,
             float hardness, float eraser, float aspect, float angle, float lockAlpha, float colorize)
{
    CountingSurface& s = Counting(self);
    ++s.dabs;
    return s.inner ? s.inner->draw_dab(s.inner, x, y, radius, r, g, b, opaque, hardness, eraser, aspect,
                                       angle, lockAlpha, colorize)
                   : 1;
}

void PickColour(MyPaintSurface* self, float x, float y, float radius, float* r, float* g, float* b, float* a)
{
    CountingSurface& s = Counting(self);
    if (s.inner)
        s.inner->get_color(s.inner, x, y, radius, r, g, b, a);
    else
        *r = *g = *b = *a = 0;
}

void BeginAtomic(MyPaintSurface* self)
{
    if (MyPaintSurface* inner = Counting(self).inner)
        mypaint_surface_begin_atomic(inner);
}

void EndAtomic(MyPaintSurface* self, MyPaintRectangle* roi)
{
    if (MyPaintSurface* inner = Counting(self).inner)
        mypaint_surface_end_atomic(inner, roi);
}

void MakeCounting(CountingSurface& s, MyPaintSurface* inner)
{
    s.base = {};
    s.base.draw_dab = CountDab;
    s.base.get_color = PickColour;
    s.base.begin_atomic = BeginAtomic;
    s.base.end_atomic = EndAtomic;
    s.base.refcount = 1;
    s.inner = inner;
}

// The default pen's smallest size: the radius at pressure 0 in its part.
constexpr float kPenMinimum = 0.75f;

MyPaintBrush* MakeBrush(float radius, float dabsPerRadius, bool sizeByPressure = false)
{
    MyPaintBrush* brush = mypaint_brush_new();
    mypaint_brush_from_defaults(brush);
    const std::pair<MyPaintBrushSetting, float> values[] = {
        {MYPAINT_BRUSH_SETTING_RADIUS_LOGARITHMIC, std::log(radius)},
        {MYPAINT_BRUSH_SETTING_HARDNESS, 1.0f},
        {MYPAINT_BRUSH_SETTING_OPAQUE, 1.0f},
        {MYPAINT_BRUSH_SETTING_DABS_PER_ACTUAL_RADIUS, dabsPerRadius},
        {MYPAINT_BRUSH_SETTING_DABS_PER_BASIC_RADIUS, 0.0f},
        {MYPAINT_BRUSH_SETTING_DABS_PER_SECOND, 0.0f},
        {MYPAINT_BRUSH_SETTING_RADIUS_BY_RANDOM, 0.0f},
        {MYPAINT_BRUSH_SETTING_OFFSET_BY_RANDOM, 0.0f},
        {MYPAINT_BRUSH_SETTING_OFFSET_BY_SPEED, 0.0f},
        {MYPAINT_BRUSH_SETTING_SLOW_TRACKING, 0.0f},
        {MYPAINT_BRUSH_SETTING_SLOW_TRACKING_PER_DAB, 0.0f},
        {MYPAINT_BRUSH_SETTING_TRACKING_NOISE, 0.0f},
        {MYPAINT_BRUSH_SETTING_COLOR_H, 0.6f},
        {MYPAINT_BRUSH_SETTING_COLOR_S, 0.7f},
        {MYPAINT_BRUSH_SETTING_COLOR_V, 0.75f},
    };
    for (auto [setting, value] : values)
        mypaint_brush_set_base_value(brush, setting, value);
    if (sizeByPressure) {
        // ln of the radius from ln(r * minimum) at no pressure to ln r at full.
        mypaint_brush_set_mapping_n(brush, MYPAINT_BRUSH_SETTING_RADIUS_LOGARITHMIC, MYPAINT_BRUSH_INPUT_PRESSURE, 2);
        mypaint_brush_set_mapping_point(brush, MYPAINT_BRUSH_SETTING_RADIUS_LOGARITHMIC, MYPAINT_BRUSH_INPUT_PRESSURE,
                                        0, 0.0f, std::log(kPenMinimum));
        mypaint_brush_set_mapping_point(brush, MYPAINT_BRUSH_SETTING_RADIUS_LOGARITHMIC, MYPAINT_BRUSH_INPUT_PRESSURE,
                                        1, 1.0f, 0.0f);
    }
    return brush;
}

// One stroke of the path, one atomic section per move.
void MyPaintStroke(MyPaintBrush* brush, MyPaintSurface* surface, const std::vector<PathPoint>& path)
{
    mypaint_brush_reset(brush);
    mypaint_brush_new_stroke(brush);
    for (const PathPoint& p : path) {
        mypaint_surface_begin_atomic(surface);
        mypaint_brush_stroke_to(brush, surface, p.x, p.y, p.p, 0, 0, 0.01);
        MyPaintRectangle roi;
        mypaint_surface_end_atomic(surface, &roi);
    }
}

// Dabs per radius that give about `target` dabs on the path.
float TunedDabsPerRadius(float radius, const std::vector<PathPoint>& path, int64_t target,
                         bool sizeByPressure = false)
{
    float perRadius = 2.0f;
    CountingSurface counter;
    MakeCounting(counter, nullptr);
    for (int round = 0; round < 8; ++round) {
        MyPaintBrush* brush = MakeBrush(radius, perRadius, sizeByPressure);
        counter.dabs = 0;
        MyPaintStroke(brush, &counter.base, path);
        mypaint_brush_unref(brush);
        if (counter.dabs == 0 || std::llabs(counter.dabs - target) * 100 <= target * 2)
            break;
        perRadius *= float(target) / float(counter.dabs);
    }
    return perRadius;
}

// Dabs of our stroke on the path, counted once.
int64_t OurDabs(float radius, bool pencil, uint8_t engine, const std::vector<PathPoint>& path)
{
    DocumentScene scene(radius, pencil, engine);
    return scene.Run(path) ? scene.paper.LastStrokeDabs() : 0;
}

void Ours(benchmark::State& state, float radius, bool pencil, uint8_t engine)
{
    const std::vector<PathPoint> path = SinePath(radius);
    DocumentScene scene(radius, pencil, engine);
    TimeEach(state, kPoints, [&] { return scene.Run(path); });
    state.counters["dabs"] = double(scene.paper.LastStrokeDabs());
}

// libmypaint's stroke along path timed, with its dab count beside ours.
void TimeMyPaint(benchmark::State& state, MyPaintBrush* brush, CountingSurface& counter,
                 const std::vector<PathPoint>& path, int64_t target)
{
    TimeEach(state, kPoints, [&] {
        counter.dabs = 0;
        MyPaintStroke(brush, &counter.base, path);
        return true;
    });
    state.counters["dabs"] = double(counter.dabs);
    state.counters["our_dabs"] = double(target);
}

// libmypaint's stroke drawn on a fixed tiled surface (or only counted), timed.
void TimeMyPaintStroke(benchmark::State& state, MyPaintBrush* brush, const std::vector<PathPoint>& path,
                       int64_t target, bool draw)
{
    MyPaintFixedTiledSurface* fixed = draw ? mypaint_fixed_tiled_surface_new(kSide, kSide) : nullptr;
    if (draw && !fixed) {
        state.SkipWithError("libmypaint could not make the surface");
        return;
    }
    CountingSurface counter;
    MakeCounting(counter, fixed ? mypaint_fixed_tiled_surface_interface(fixed) : nullptr);
    TimeMyPaint(state, brush, counter, path, target);
    if (fixed)
        mypaint_surface_unref(counter.inner);
}

void Baseline(benchmark::State& state, float radius, bool pencil, uint8_t engine, bool draw)
{
    const std::vector<PathPoint> path = SinePath(radius);
    const int64_t target = OurDabs(radius, pencil, engine, path);
    MyPaintBrush* brush = MakeBrush(radius, TunedDabsPerRadius(radius, path, target));
    TimeMyPaintStroke(state, brush, path, target, draw);
    mypaint_brush_unref(brush);
}

void StrokeR3(benchmark::State& state)
{
    Ours(state, 3, false, 2);
}
void StrokeR30(benchmark::State& state)
{
    Ours(state, 30, false, 2);
}
void StrokeR150(benchmark::State& state)
{
    Ours(state, 150, false, 2);
}
void PencilR3(benchmark::State& state)
{
    Ours(state, 3, true, 2);
}
void CompatR30(benchmark::State& state)
{
    Ours(state, 30, false, 1);
}
void MyPaintR3(benchmark::State& state)
{
    Baseline(state, 3, false, 2, true);
}
void MyPaintR30(benchmark::State& state)
{
    Baseline(state, 30, false, 2, true);
}
void MyPaintR150(benchmark::State& state)
{
    Baseline(state, 150, false, 2, true);
}
void MyPaintPencilR3(benchmark::State& state)
{
    Baseline(state, 3, true, 2, true);
}
void MyPaintCompatR30(benchmark::State& state)
{
    Baseline(state, 30, false, 1, true);
}

constexpr float kPressureRadius = 30;

void PressureSizeR30(benchmark::State& state)
{
    const std::vector<PathPoint> path = SinePath(kPressureRadius);
    DocumentScene scene(kPressureRadius);
    TimeEach(state, kPoints, [&] { return scene.Run(path); });
    state.counters["dabs"] = double(scene.paper.LastStrokeDabs());
}

void MyPaintPressureSizeR30(benchmark::State& state)
{
    const std::vector<PathPoint> path = SinePath(kPressureRadius);
    DocumentScene scene(kPressureRadius);
    const int64_t target = scene.Run(path) ? scene.paper.LastStrokeDabs() : 0;
    MyPaintBrush* brush =
        MakeBrush(kPressureRadius, TunedDabsPerRadius(kPressureRadius, path, target, true), true);
    TimeMyPaintStroke(state, brush, path, target, true);
    mypaint_brush_unref(brush);
}

// The walk alone: the engine's stepping and dab placement, nothing stamped.
constexpr float kWalkRadius = 30;

void Walk(CStrokeMngr& mngr, TFlowImage& flow, TStroke& stroke, const std::vector<PathPoint>& path)
{
    mngr.Start(0, flow, stroke, {});
    mngr.BeginAt(path[0].x, path[0].y, path[0].p);
    for (size_t i = 1; i < path.size(); ++i) {
        mngr.AddPoint(path[i].x, path[i].y, path[i].p);
        mngr.RenderPendingSegment();
    }
    mngr.End();
}

struct WalkScene {
    TStroke stroke;
    IdleTarget target{kWalkRadius};
    TFlowImage flow;
    CStrokeMngr mngr{stroke, target};
    WalkScene()
    {
        BrushRecord brush;
        brush.pressureDensity = true;
        brush.spacing = kSpacing;
        mngr.SetBrush(brush);
    }
};

void WalkR30(benchmark::State& state)
{
    const std::vector<PathPoint> path = SinePath(kWalkRadius);
    WalkScene scene;
    TimeEach(state, kPoints, [&] {
        Walk(scene.mngr, scene.flow, scene.stroke, path);
        benchmark::DoNotOptimize(scene.mngr.StrokeRect());
        return true;
    });
    state.counters["dabs"] = double(scene.mngr.DabCount());
}

void MyPaintWalkR30(benchmark::State& state)
{
    const std::vector<PathPoint> path = SinePath(kWalkRadius);
    WalkScene scene;
    Walk(scene.mngr, scene.flow, scene.stroke, path);
    const int64_t target = scene.mngr.DabCount();
    MyPaintBrush* brush = MakeBrush(kWalkRadius, TunedDabsPerRadius(kWalkRadius, path, target));
    CountingSurface counter;
    MakeCounting(counter, nullptr);
    TimeMyPaint(state, brush, counter, path, target);
    mypaint_brush_unref(brush);
}

} // namespace

MORVANE_FIGURE(stroke_r3, StrokeR3, MyPaintR3);
MORVANE_FIGURE(stroke_r30, StrokeR30, MyPaintR30);
MORVANE_FIGURE(stroke_r150, StrokeR150, MyPaintR150);
MORVANE_FIGURE(stroke_pencil_r3, PencilR3, MyPaintPencilR3);
MORVANE_FIGURE(stroke_compat_r30, CompatR30, MyPaintCompatR30);
MORVANE_FIGURE(stroke_walk, WalkR30, MyPaintWalkR30);
MORVANE_FIGURE(stroke_pressure_size_r30, PressureSizeR30, MyPaintPressureSizeR30);

} // namespace morvane::bench
