#pragma once
// The two compatible stroke engines on TStroke: engine 1 walks like the
// current engine with per-method constants, engine 0 (the oldest) puts a dab
// on every m-th whole step. Both smooth with the stroke's eight-point
// history and stamp the compatible dabs.
//
// The pen paints into the coverage channel (PaintsCoverage: the document
// rebuilds the wet paint from it after every move, at full opacity on
// engine 0). A "blur2" stroke also fills the coverage channel but rebuilds
// its wet paint itself, in RenderPendingSegment, so PaintsCoverage is false
// for it while ClearCoverage still clears its coverage.
#include <cstdint>
#include <functional>
#include <memory>

#include "paint/CompatStamps.h"
#include "paint/StrokeEngine.h"
#include "paint/TStroke.h"

namespace morvane {

class CCompatStroke final : public StrokeEngine {
public:
    // engine: 0 or 1 (anything else is taken as 1).
    CCompatStroke(int engine, CPenRender& render);

    bool Start(int32_t layer, TFlowImage& flow, TStroke& stroke, const StrokeContext& context) override;
    void BeginAt(float x, float y, float pressure) override;
    void AddPoint(float x, float y, float pressure) override;
    void RenderPendingSegment() override;
    EdgeRect SegmentRect() const override;
    EdgeRect StrokeRect() const override;
    bool PaintsCoverage() const override;
    void ClearCoverage(const EdgeRect& rect, bool force) override;
    void ClearAllCoverage(bool force) override;
    void End() override;
    int64_t DabCount() const override;

    // Sees every dab where it falls, before it is stamped (tests).
    using DabObserver = std::function<void(const CompatDab&)>;
    void SetDabObserver(DabObserver observer) { observer_ = std::move(observer); }

private:
    void WalkEngine1(const StrokePoint& from, const StrokePoint& to);
    void WalkEngine0(const StrokePoint& from, const StrokePoint& to);
    void Dab(const CompatDab& dab);
    void NextStep();
    void NextSteps(int64_t count);
    // The stroke's dab counter, which only tells its first dabs apart: it
    // stops at its largest value.
    void CountDabs(int64_t count);
    // Pressure after the stroke's gamma, 0..1.
    float Curved(float pressure) const;

    int engine_;
    CPenRender* render_;
    TStroke* stroke_ = nullptr;
    TFlowImage* flow_ = nullptr;
    StrokeContext context_;
    CompatStamper stamper_;
    BlurScratch scratch_;
    EdgeRect segment_; // target coordinates
    bool ready_ = false;
    bool pending_ = false;
    DabObserver observer_;
};

// The engine the document runs for engine 0 or 1; nothing for any other.
std::unique_ptr<StrokeEngine> MakeCompatStrokeEngine(int engine, CPenRender& render);

} // namespace morvane
