#pragma once
// What a document asks of a stroke engine, so it drives the current engine
// and the two compatible ones the same way: start a stroke on a layer's wet
// paint, feed it points, render the piece of path each point adds, and read
// back the rectangles that changed. Points and rectangles are in document
// coordinates; the engine converts to the wet paint's store coordinates.
#include <cstdint>
#include <memory>

#include "paint/CPenRender.h"
#include "storage/Rect.h"

namespace morvane {

class TChannel;
class TFlowImage;
class TMTC;
class TStroke;

// What the document hands an engine at stroke start; nothing here is owned.
struct StrokeContext {
    // Added to document coordinates to give wet-paint (store) coordinates.
    Point toTarget;
    // Mask, tone, gradation, background colour and the layer before the
    // stroke, as the renderer's chain needs them.
    PenStrokeSetup setup;
    // The event player runs the stroke; dataVersion is its event data version.
    bool playerWindow = false;
    int32_t dataVersion = 0;
};

// Where an engine's dabs go and the nib queries that place them. The pen
// renderer is the real one; tests record the dabs, the walk benchmark stamps
// nothing.
class DabTarget {
public:
    virtual ~DabTarget() = default;
    // Bitmap nib: its scale percent; else the nib radius in pixels.
    virtual float CurrentRadius() const = 0;
    virtual float MinRadius(float nominal) const = 0;
    // Distance between dabs for spacing s (a fraction) and radius R.
    virtual float DabInterval(float spacing, float radius) const = 0;
    // Half sides in whole pixels of the dab of radius N.
    virtual Point DabExtent(float radius) const = 0;
    // Half the largest dab the stroke begun by Prepare can make, in pixels:
    // a dab centred farther than that off the target touches nothing.
    virtual float StrokeReach() const = 0;
    // Pencil dabs go into the coverage channel.
    virtual bool IsPencil() const = 0;
    // Watercolour dabs read the pressure-to-density switch of the brush record.
    virtual bool IsWatercolour() const = 0;
    virtual void SetSpanAcross(bool yMajor) = 0;
    // Stroke start at (x, y) in target coordinates; false when the stroke
    // cannot paint. EndStroke gives a bitmap nib its scale back.
    virtual bool Prepare(TMTC& image, const PenStrokeSetup& setup, float x, float y) = 0;
    virtual void EndStroke() = 0;
    virtual bool StampColour(TMTC& image, const PenDab& dab) = 0;
    virtual bool StampCoverage(TChannel& coverage, const PenDab& dab) = 0;
};

// The pen renderer as a dab target.
class PenRenderTarget final : public DabTarget {
public:
    explicit PenRenderTarget(CPenRender& render) : render_(&render) {}
    CPenRender& Render() const { return *render_; }

    float CurrentRadius() const override { return render_->CurrentRadius(); }
    float MinRadius(float nominal) const override { return render_->MinRadius(nominal); }
    float DabInterval(float spacing, float radius) const override
    {
        return render_->DabInterval(spacing, radius);
    }
    Point DabExtent(float radius) const override { return render_->DabExtent(radius); }
    float StrokeReach() const override { return render_->StrokeReach(); }
    bool IsPencil() const override
    {
        return RenderClass(render_->Method().renderClass) == RenderClass::Draw && render_->Method().pencil;
    }
    bool IsWatercolour() const override
    {
        return RenderClass(render_->Method().renderClass) == RenderClass::Watercolour;
    }
    void SetSpanAcross(bool yMajor) override { render_->SetSpanAcross(yMajor); }
    bool Prepare(TMTC& image, const PenStrokeSetup& setup, float x, float y) override
    {
        return render_->Prepare(image, setup, x, y);
    }
    void EndStroke() override { render_->EndStroke(); }
    bool StampColour(TMTC& image, const PenDab& dab) override { return render_->StampImage(image, dab); }
    bool StampCoverage(TChannel& coverage, const PenDab& dab) override
    {
        return render_->StampCoverage(coverage, dab);
    }

private:
    CPenRender* render_;
};

class StrokeEngine {
public:
    virtual ~StrokeEngine() = default;

    // Takes the layer (its index in the stack), its wet paint and the stroke
    // state for one stroke and prepares the renderer. False when the stroke
    // cannot paint; its dabs then change nothing.
    virtual bool Start(int32_t layer, TFlowImage& flow, TStroke& stroke, const StrokeContext& context) = 0;
    // The first point of the stroke: nothing is stamped yet.
    virtual void BeginAt(float x, float y, float pressure) = 0;
    virtual void AddPoint(float x, float y, float pressure) = 0;
    // Stamps the piece of path the last point added.
    virtual void RenderPendingSegment() = 0;
    // The last segment's and the whole stroke's changed area, widened to
    // even coordinates; empty when nothing was stamped.
    virtual EdgeRect SegmentRect() const = 0;
    virtual EdgeRect StrokeRect() const = 0;
    // Whether the dabs go into the coverage channel (the wet paint is then
    // rebuilt from it after every move).
    virtual bool PaintsCoverage() const = 0;
    // Zeroes the coverage in rect (document coordinates), or all of it,
    // when the stroke paints coverage or when forced.
    virtual void ClearCoverage(const EdgeRect& rect, bool force) = 0;
    virtual void ClearAllCoverage(bool force) = 0;
    // Stroke end: the renderer's bitmap nib gets its scale back.
    virtual void End() = 0;
    // Dabs stamped since the stroke began.
    virtual int64_t DabCount() const = 0;
};

// Rectangles handed out: left and top down to even, right and bottom up to even.
inline int32_t FloorEven(int32_t v)
{
    return v & ~int32_t(1);
}
inline int32_t CeilEven(int32_t v)
{
    return v + (v & 1);
}
inline EdgeRect WidenToEven(const EdgeRect& r)
{
    if (r.IsEmpty())
        return r;
    return {FloorEven(r.left), FloorEven(r.top), CeilEven(r.right), CeilEven(r.bottom)};
}

} // namespace morvane
