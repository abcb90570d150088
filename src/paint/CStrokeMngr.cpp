#include "paint/CStrokeMngr.h"

#include <algorithm>
#include <cmath>

#include "paint/StrokeSkip.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"
#include "storage/RepeatedSum.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr float kMinGamma = 0.01f, kMaxGamma = 6.0f;
// Sub-steps are divided by three below this radius, else by two.
constexpr float kFineSubStepRadius = 0.7f;
// What the segment rectangle starts as around the segment's older end.
constexpr int32_t kSegmentMargin = 10;
// Added around each dab's extent.
constexpr int32_t kDabMargin = 2;
// Fewer steps off the target are walked one by one.
constexpr int64_t kSkipAtLeast = 8;

float ClampPressure(float p)
{
    return std::isnan(p) ? 0.0f : std::clamp(p, 0.0f, 1.0f);
}

StrokePoint PointOf(float x, float y, float pressure)
{
    return {x, y, ClampPressure(pressure)};
}

ExtentRect Shifted(const EdgeRect& r, Point by)
{
    return ToExtent({r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y});
}

} // namespace

void CStrokeMngr::SetBrush(const BrushRecord& brush)
{
    brush_ = brush;
    brush_.Sanitize();
}

bool CStrokeMngr::Start(int32_t layer, TFlowImage& flow, TStroke& stroke, const StrokeContext& context)
{
    layer_ = layer;
    flow_ = &flow;
    stroke_ = &stroke;
    context_ = context;
    return flow.IsLoaded();
}

void CStrokeMngr::BeginAt(float x, float y, float pressure)
{
    stepCount_ = 0;
    dabCount_ = 0;
    segmentRect_ = strokeRect_ = {};
    segmentHasDab_ = false;
    xMajor_ = previousXMajor_ = true;
    smoother_.Reset();
    smoother_.Add(PointOf(x, y, pressure));
    lastX_ = x;
    lastY_ = y;
    stroke_->strokeLength = 0;
    brush_.density = BrushRecord::DensityOf(stroke_->Opacity());
    if (flow_)
        target_->Prepare(flow_->Image(), context_.setup, x + float(context_.toTarget.x),
                         y + float(context_.toTarget.y));
}

void CStrokeMngr::AddPoint(float x, float y, float pressure)
{
    smoother_.Add(PointOf(x, y, pressure));
}

int64_t CStrokeMngr::IntervalFor(float radius) const
{
    const float interval = std::ceil(target_->DabInterval(float(brush_.spacing) / 1000.0f, radius));
    return std::max<int64_t>(1, truncSat<int64_t>(double(interval)));
}

void CStrokeMngr::RenderPendingSegment()
{
    if (!flow_ || smoother_.Count() < 2)
        return;
    const StrokePoint& from = smoother_.SegmentFrom();
    const StrokePoint& to = smoother_.SegmentTo();
    const int32_t cx = roundAwaySat(from.x), cy = roundAwaySat(from.y);
    segmentRect_ = {cx - kSegmentMargin, cy - kSegmentMargin, cx + kSegmentMargin, cy + kSegmentMargin};
    segmentHasDab_ = false;

    const float ox = float(context_.toTarget.x), oy = float(context_.toTarget.y);
    const float bx = from.x + ox, by = from.y + oy;
    const float gamma = std::clamp(float(brush_.gamma) / 100.0f, kMinGamma, kMaxGamma);
    const float pA = PowUnit(to.pressure, gamma), pB = PowUnit(from.pressure, gamma);
    const float dx = (to.x + ox) - bx, dy = (to.y + oy) - by, dp = pA - pB;
    const float h = std::max(std::fabs(dx), std::fabs(dy));
    if (!(h > 0.0f))
        return;

    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    float sx = dx, sy = dy, sp = dp;
    int64_t n = 1;
    if (h >= 1.0f) {
        const float major = xMajor ? std::fabs(dx) : std::fabs(dy);
        sx = dx / major;
        sy = dy / major;
        sp = dp / major;
        n = truncSat<int64_t>(std::ceil(double(h)));
    }

    const float R = target_->CurrentRadius();
    float E = R, D = 0.0f;
    if (brush_.pressureSize) {
        E = target_->MinRadius(R);
        D = R - E;
    }
    const float F = E + D * pB, G = E + D * pA;
    int64_t interval = IntervalFor(R);
    if (F < float(brush_.denseStepRadius) || G < float(brush_.denseStepRadius))
        interval = 1;
    if (F < float(brush_.subStepRadius) || G < float(brush_.subStepRadius)) {
        const int32_t k = std::min(F, G) <= kFineSubStepRadius ? 3 : 2;
        sx /= float(k);
        sy /= float(k);
        sp /= float(k);
        n *= k;
    }

    target_->SetSpanAcross(!xMajor);
    const float stepLength = std::hypot(dx, dy) / h;
    const float c = 4.0f * stepLength;
    const TMTC& image = flow_->Image();
    const DabReach reach = DabReach::Around(image.Width, image.Height, target_->StrokeReach());
    float x = bx + 0.25f, y = by + 0.25f, v = pB;
    for (int64_t i = 0; i < n;) {
        // Steps whose dabs would fall off the target are taken in one go.
        const int64_t unseen = StepsOutside(x, y, sx, sy, reach, n - i);
        if (unseen >= kSkipAtLeast) {
            stroke_->strokeLength = LengthAfter(stroke_->strokeLength, c, v, sp, unseen);
            x = RepeatedSum(x, sx, unseen);
            y = RepeatedSum(y, sy, unseen);
            v = PressureAfter(v, sp, unseen);
            stepCount_ += unseen;
            i += unseen;
            continue;
        }
        if (stepCount_ % interval == 0)
            StampDab(x, y, E + D * v, brush_.pressureDensity ? v : 1.0f);
        x += sx;
        y += sy;
        v = std::clamp(v + sp, 0.0f, 1.0f);
        stroke_->strokeLength += c * v;
        ++stepCount_;
        ++i;
    }
    lastX_ = x;
    lastY_ = y;
    previousXMajor_ = xMajor_;
    xMajor_ = xMajor;
}

void CStrokeMngr::StampDab(float x, float y, float radius, float factor)
{
    // The record's density is the stroke's opacity, which the pencil's
    // coverage gets only once, when it is composited; applied here as well
    // it would paint a 50 % pencil at 25 %.
    if (target_->IsPencil())
        target_->StampCoverage(flow_->Coverage(), {x, y, factor, radius, stroke_->color});
    else
        StampColour({x, y, factor * float(brush_.density) / 1000.0f, radius, stroke_->color});
    ++dabCount_;
    GrowRects(x, y, radius);
}

// A watercolour dab takes its pressure-to-density switch from the brush
// record; player windows do so only for data that carried it.
void CStrokeMngr::StampColour(const PenDab& dab)
{
    constexpr int32_t kFirstVersionWithSwitch = 34;
    const bool swap = target_->IsWatercolour() &&
                      (!context_.playerWindow || context_.dataVersion >= kFirstVersionWithSwitch);
    if (!swap) {
        target_->StampColour(flow_->Image(), dab);
        return;
    }
    const bool own = stroke_->PressureDensity(), changed = stroke_->changed;
    stroke_->SetPressureDensity(brush_.pressureDensity);
    target_->StampColour(flow_->Image(), dab);
    stroke_->SetPressureDensity(own);
    stroke_->changed = changed;
}

void CStrokeMngr::GrowRects(float x, float y, float radius)
{
    const Point extent = target_->DabExtent(radius);
    const int32_t cx = roundAwaySat(x) - context_.toTarget.x, cy = roundAwaySat(y) - context_.toTarget.y;
    const EdgeRect box{cx - extent.x - kDabMargin, cy - extent.y - kDabMargin, cx + extent.x + kDabMargin,
                       cy + extent.y + kDabMargin};
    segmentRect_ = segmentHasDab_ ? Union(segmentRect_, box) : box;
    segmentHasDab_ = true;
    strokeRect_ = Union(strokeRect_, box);
}

void CStrokeMngr::ClearCoverage(const EdgeRect& rect, bool force)
{
    if (flow_ && (force || target_->IsPencil()))
        flow_->ClearCoverage(Shifted(rect, context_.toTarget));
}

void CStrokeMngr::ClearAllCoverage(bool force)
{
    if (flow_ && (force || target_->IsPencil()))
        flow_->ClearCoverage({0, 0, flow_->Coverage().Width, flow_->Coverage().Height});
}

} // namespace morvane
