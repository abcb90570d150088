#pragma once
// The current stroke engine: smooths the points of a stroke, walks each new
// piece of path in unit steps of its major axis (32-bit float, as recorded
// strokes must replay to the same dabs), places dabs at the interval the
// brush record gives, and keeps the rectangles they changed. Steps whose
// dabs would fall off the target are taken in one go (StrokeSkip.h): they
// are not stamped, counted as dabs or added to the rectangles.
#include <cstdint>

#include "paint/CInterpolate.h"
#include "paint/PaintRecords.h"
#include "paint/StrokeEngine.h"

namespace morvane {

class CStrokeMngr final : public StrokeEngine {
public:
    // Neither is owned; both must outlive the manager or be replaced.
    CStrokeMngr(TStroke& stroke, DabTarget& target) : stroke_(&stroke), target_(&target) {}

    void SetStroke(TStroke& stroke) { stroke_ = &stroke; }
    void SetTarget(DabTarget& target) { target_ = &target; }
    TStroke& Stroke() const { return *stroke_; }

    uint8_t SmootherMode() const { return smoother_.Mode(); }
    void SetSmootherMode(uint8_t mode) { smoother_.SetMode(mode); }
    // Taken sanitised, so gamma stays within 0.01-6 and the interval at
    // least one step whatever the record says.
    const BrushRecord& Brush() const { return brush_; }
    void SetBrush(const BrushRecord& brush);

    // StrokeEngine
    bool Start(int32_t layer, TFlowImage& flow, TStroke& stroke, const StrokeContext& context) override;
    void BeginAt(float x, float y, float pressure) override;
    void AddPoint(float x, float y, float pressure) override;
    void RenderPendingSegment() override;
    EdgeRect SegmentRect() const override { return WidenToEven(segmentRect_); }
    EdgeRect StrokeRect() const override { return WidenToEven(strokeRect_); }
    bool PaintsCoverage() const override { return target_->IsPencil(); }
    void ClearCoverage(const EdgeRect& rect, bool force) override;
    void ClearAllCoverage(bool force) override;
    void End() override { target_->EndStroke(); }
    int64_t DabCount() const override { return dabCount_; }

    int32_t Layer() const { return layer_; }
    int64_t StepCount() const { return stepCount_; }
    const CInterpolate& Smoother() const { return smoother_; }

private:
    // The steps between dabs for nominal radius R, at least 1.
    int64_t IntervalFor(float radius) const;
    // One dab at (x, y) (target coordinates); factor scales the record's density.
    void StampDab(float x, float y, float radius, float factor);
    void StampColour(const PenDab& dab);
    void GrowRects(float x, float y, float radius);

    TStroke* stroke_;
    DabTarget* target_;
    TFlowImage* flow_ = nullptr;
    StrokeContext context_;
    BrushRecord brush_;
    int32_t layer_ = -1;
    // Document coordinates, right and bottom exclusive.
    EdgeRect segmentRect_, strokeRect_;
    bool segmentHasDab_ = false;
    float lastX_ = 0, lastY_ = 0;
    bool xMajor_ = true, previousXMajor_ = true;
    int64_t stepCount_ = 0, dabCount_ = 0;
    CInterpolate smoother_;
};

} // namespace morvane
