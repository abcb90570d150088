#include "paint/CCompatStroke.h"

#include <algorithm>
#include <cmath>

#include "paint/CompatBlur2.h"
#include "paint/StrokeSkip.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"
#include "storage/RepeatedSum.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

// Per-method constants of engine 1, indexed by StrokeMethod. A minimum
// radius fraction below 0 takes the stroke's setting.
struct Engine1Rules {
    float minRadiusFraction;
    float denseStepRadius; // below it every step gets a dab
    float subStepRadius;   // below it the steps are halved
};
constexpr Engine1Rules kEngine1[kStrokeMethods] = {
    {-1, 8, 2},     // pen
    {0.333f, 0, 0}, // wc
    {1, 0, 0},      // blur
    {1, 4, 3},      // eraser
    {1, 0, 0},      // blur2
    {-1, 0, 0},     // airbrush
    {-1, 0, 0},     // rubpen
    {-1, 0, 0},     // darken
    {-1, 0, 0},     // lighten
};

// Points are at most 2^20 px off the canvas, so no segment is longer than
// this; a longer one is not walked at all.
constexpr float kLongestSegment = 4.0f * 1048576.0f;

// How far the dab rectangles reach past the dab.
constexpr int32_t kRectMargin = 2;
// Fewer steps off the target are walked one by one.
constexpr int64_t kSkipAtLeast = 8;
// The step counter wraps within 31 bits.
constexpr int64_t kStepCountMask = 0x7FFFFFFF;

// Dabs among `count` steps from counter value `start`: the counter values,
// wrapping within 31 bits, that are multiples of interval.
int64_t DabsAmong(int64_t start, int64_t count, int64_t interval)
{
    // Multiples of interval in [0, end).
    const auto below = [interval](int64_t end) { return end <= 0 ? 0 : (end - 1) / interval + 1; };
    int64_t dabs = 0;
    while (count > 0) {
        const int64_t run = std::min(count, kStepCountMask + 1 - start);
        dabs += below(start + run) - below(start);
        count -= run;
        start = 0;
    }
    return dabs;
}

float ClampUnit(float v)
{
    return v > 0 ? std::min(v, 1.0f) : 0.0f; // NaN gives 0
}

bool Finite(const StrokePoint& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace

CCompatStroke::CCompatStroke(int engine, CPenRender& render) : engine_(engine == 0 ? 0 : 1), render_(&render) {}

bool CCompatStroke::Start(int32_t layer, TFlowImage& flow, TStroke& stroke, const StrokeContext& context)
{
    flow_ = &flow;
    stroke_ = &stroke;
    context_ = context;
    stroke.layerIndex = layer;
    stroke.stepCount = 0;
    stroke.dabCount = 0;
    stroke.strokeLength = 0;
    stroke.strokeBounds = {};
    segment_ = {};
    pending_ = false;
    render_->SetStroke(stroke);
    render_->PrepareChain(context.setup);
    ready_ = flow.IsLoaded();
    return ready_;
}

void CCompatStroke::BeginAt(float x, float y, float pressure)
{
    if (!stroke_)
        return;
    const StrokePoint p{x, y, ClampUnit(pressure)};
    stroke_->history.fill(p);
    pending_ = false;
    const float tx = x + float(context_.toTarget.x), ty = y + float(context_.toTarget.y);
    ready_ = ready_ && Finite(p) && stamper_.Prepare(engine_, *stroke_, *render_, *flow_, tx, ty);
}

void CCompatStroke::AddPoint(float x, float y, float pressure)
{
    // The document refuses such points; one that gets here anyway is dropped
    // before it can reach the history.
    if (!stroke_ || !std::isfinite(x) || !std::isfinite(y))
        return;
    auto& h = stroke_->history;
    std::copy_backward(h.begin(), h.end() - 1, h.end());
    h[0] = {x, y, ClampUnit(pressure)};
    if (!stroke_->rawPoints)
        h[1] = {(h[0].x + h[2].x) / 2, (h[0].y + h[2].y) / 2, (h[0].pressure + h[2].pressure) / 2};
    pending_ = true;
}

void CCompatStroke::RenderPendingSegment()
{
    segment_ = {};
    if (!stroke_ || !pending_)
        return;
    pending_ = false;
    const auto& h = stroke_->history;
    if (!ready_)
        return;
    const float tx = float(context_.toTarget.x), ty = float(context_.toTarget.y);
    const StrokePoint from{h[2].x + tx, h[2].y + ty, Curved(h[2].pressure)};
    const StrokePoint to{h[1].x + tx, h[1].y + ty, Curved(h[1].pressure)};
    if (engine_ == 0)
        WalkEngine0(from, to);
    else
        WalkEngine1(from, to);
    stroke_->segmentLeft = float(segment_.left - context_.toTarget.x);
    stroke_->segmentRight = float(segment_.right - context_.toTarget.x);
    stroke_->segmentTop = float(segment_.top - context_.toTarget.y);
    stroke_->segmentBottom = float(segment_.bottom - context_.toTarget.y);

    const CBlockVMTC* layer = context_.setup.blurSource;
    if (engine_ == 0 && stroke_->Method() == StrokeMethod::Blur2 && layer && !segment_.IsEmpty())
        RebuildBlur2(*flow_, segment_, *layer, Blur2Reach(stroke_->Radius(), stroke_->Effect(1)), *render_,
                     scratch_);
}

float CCompatStroke::Curved(float pressure) const
{
    return PowUnit(ClampUnit(pressure), stroke_->Gamma());
}

void CCompatStroke::WalkEngine1(const StrokePoint& from, const StrokePoint& to)
{
    const TStroke& s = *stroke_;
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float h = std::max(std::fabs(dx), std::fabs(dy));
    if (!(h > 0) || !(h <= kLongestSegment))
        return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    float dp = to.pressure - from.pressure;
    float sx = dx, sy = dy;
    int64_t n = 1;
    if (h >= 1) {
        sx /= h;
        sy /= h;
        dp /= h;
        n = int64_t(std::ceil(h));
    }

    const Engine1Rules& rules = kEngine1[size_t(s.Method())];
    const float R = s.Radius();
    float E = R, D = 0;
    if (s.SizeFollowsPressure() && s.PressureSize()) {
        const bool setting = rules.minRadiusFraction < 0 || s.version > 0;
        E = R * (setting ? s.MinRadiusPercent() / 100 : rules.minRadiusFraction);
        D = R - E;
    }
    const float F = E + D * from.pressure, G = E + D * to.pressure;
    int64_t interval = std::max<int64_t>(1, int64_t(std::ceil(R * s.EffectiveSpacing())));
    if (F < rules.denseStepRadius || G < rules.denseStepRadius)
        interval = 1;
    if (F < rules.subStepRadius || G < rules.subStepRadius) {
        sx /= 2;
        sy /= 2;
        dp /= 2;
        n *= 2;
    }

    const float length = std::hypot(dx, dy) / h;
    const float c = 4 * length;
    // Off the target a dab only counts.
    const TMTC& image = flow_->Image();
    const DabReach reach = DabReach::Around(image.Width, image.Height, std::max(R, 0.1f) + 1);
    float x = from.x + 0.5f, y = from.y + 0.5f, v = from.pressure;
    for (int64_t k = 0; k < n;) {
        const int64_t unseen = StepsOutside(x, y, sx, sy, reach, n - k);
        if (unseen >= kSkipAtLeast) {
            CountDabs(DabsAmong(stroke_->stepCount, unseen, interval));
            stroke_->strokeLength = LengthAfter(stroke_->strokeLength, c, v, dp, unseen);
            x = RepeatedSum(x, sx, unseen);
            y = RepeatedSum(y, sy, unseen);
            v = PressureAfter(v, dp, unseen);
            NextSteps(unseen);
            k += unseen;
            continue;
        }
        if (stroke_->stepCount % interval == 0)
            Dab({x, y, std::max(E + D * v, 0.1f), v, xMajor});
        x += sx;
        y += sy;
        v = ClampUnit(v + dp);
        stroke_->strokeLength += c * v;
        NextStep();
        ++k;
    }
}

void CCompatStroke::WalkEngine0(const StrokePoint& from, const StrokePoint& to)
{
    const TStroke& s = *stroke_;
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float major = std::max(std::fabs(dx), std::fabs(dy));
    if (!(major > 0) || !(major <= kLongestSegment))
        return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    int64_t n = int64_t(major) + 1;

    const float R = s.Radius();
    const StrokeMethod method = s.Method();
    const bool watercolour = method == StrokeMethod::WaterColor;
    const auto radiusAt = [&](float p) {
        if (watercolour)
            return s.SizeFollowsPressure() && s.PressureSize() ? p * 2 * R / 3 + R / 3 : R;
        return s.RadiusAt(p);
    };
    const float r0 = radiusAt(from.pressure), r1 = radiusAt(to.pressure);
    int64_t m = 1;
    switch (method) {
    case StrokeMethod::Pen:
        m = std::min(int64_t(r0 / 8), int64_t(r1 / 8)) + 1;
        break;
    case StrokeMethod::WaterColor:
        m = int64_t(R / 12) + 1;
        break;
    case StrokeMethod::Eraser:
        m = std::min(int64_t(r0 / 4), int64_t(r1 / 4)) + 1;
        break;
    case StrokeMethod::Blur:
    case StrokeMethod::Blur2:
        m = int64_t(R / 4) + 1;
        break;
    default:
        break;
    }
    const float smallest = std::min(r0, r1);
    if ((method == StrokeMethod::Pen && smallest < 2) || (method == StrokeMethod::Eraser && smallest < 3))
        n *= 2;

    const float sx = dx / float(n), sy = dy / float(n), dp = (to.pressure - from.pressure) / float(n);
    const float length = std::hypot(dx, dy) / float(n);
    for (int64_t k = 0; k < n; ++k) {
        const float v = ClampUnit(from.pressure + dp * float(k));
        if (stroke_->stepCount % m == 0)
            Dab({from.x + sx * float(k) + 0.5f, from.y + sy * float(k) + 0.5f, std::max(radiusAt(v), 0.1f), v,
                 xMajor});
        stroke_->strokeLength += 4 * length * v;
        NextStep();
    }
}

void CCompatStroke::NextStep()
{
    NextSteps(1);
}

void CCompatStroke::NextSteps(int64_t count)
{
    // The counter only sets the rhythm of the dabs; it wraps rather than overflows.
    stroke_->stepCount = int32_t((int64_t{stroke_->stepCount} + count) & kStepCountMask);
}

void CCompatStroke::CountDabs(int64_t count)
{
    stroke_->dabCount = int32_t(std::min<int64_t>(int64_t{stroke_->dabCount} + count, INT32_MAX));
}

void CCompatStroke::Dab(const CompatDab& dab)
{
    if (observer_)
        observer_(dab);
    const bool stamped = stamper_.Stamp(dab);
    CountDabs(1);
    if (!stamped)
        return;
    const int32_t r = truncSat(std::ceil(dab.radius)) + kRectMargin;
    const int32_t x = truncSat(std::floor(dab.x)), y = truncSat(std::floor(dab.y));
    const EdgeRect rect{x - r, y - r, x + r + 1, y + r + 1};
    segment_ = segment_.IsEmpty() ? rect : Union(segment_, rect);
    const EdgeRect document{rect.left - context_.toTarget.x, rect.top - context_.toTarget.y,
                            rect.right - context_.toTarget.x, rect.bottom - context_.toTarget.y};
    stroke_->strokeBounds =
        stroke_->strokeBounds.IsEmpty() ? document : Union(stroke_->strokeBounds, document);
}

EdgeRect CCompatStroke::SegmentRect() const
{
    if (segment_.IsEmpty())
        return {};
    const Point t = context_.toTarget;
    return WidenToEven({segment_.left - t.x, segment_.top - t.y, segment_.right - t.x, segment_.bottom - t.y});
}

EdgeRect CCompatStroke::StrokeRect() const
{
    return stroke_ ? WidenToEven(stroke_->strokeBounds) : EdgeRect{};
}

bool CCompatStroke::PaintsCoverage() const
{
    return stroke_ && stroke_->Method() == StrokeMethod::Pen;
}

void CCompatStroke::ClearCoverage(const EdgeRect& rect, bool force)
{
    if (!flow_ || !stroke_ || !(force || stroke_->PaintsCoverage()))
        return;
    const Point t = context_.toTarget;
    flow_->ClearCoverage(ToExtent({rect.left + t.x, rect.top + t.y, rect.right + t.x, rect.bottom + t.y}));
}

void CCompatStroke::ClearAllCoverage(bool force)
{
    if (flow_ && stroke_ && (force || stroke_->PaintsCoverage()) && flow_->Coverage().IsValid())
        flow_->Coverage().FillAll(0);
}

void CCompatStroke::End()
{
    render_->EndStroke();
    pending_ = false;
}

int64_t CCompatStroke::DabCount() const
{
    return stroke_ ? stroke_->dabCount : 0;
}

std::unique_ptr<StrokeEngine> MakeCompatStrokeEngine(int engine, CPenRender& render)
{
    if (engine != 0 && engine != 1)
        return nullptr;
    return std::make_unique<CCompatStroke>(engine, render);
}

} // namespace morvane
