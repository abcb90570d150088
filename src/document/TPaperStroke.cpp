// The document's side of a stroke: the wet paint of the current layer is
// loaded, the stroke recorded before anything is drawn, every move stamped
// into the wet paint and shown, and at the end the stroke's rectangle pushed
// to the history and copied into the layer in one piece.
#include <algorithm>
#include <cmath>
#include <vector>

#include "document/CMaskModifier.h"
#include "document/PaperOperation.h"
#include "document/TPaper.h"
#include "document/LayerComposite.h"
#include "paint/CCompatStroke.h"
#include "paint/CPenRender.h"
#include "paint/CStrokeMngr.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {

// Farther than this from the picture a point can only come from a corrupt
// stream; refusing it keeps a hostile point from starting an endless walk.
constexpr float kPointReach = float(1 << 20);
// Stroke starts by engine: free and shape (straight segments). The start
// names the stroke kind, from which a replay picks the engine again, so a
// compatible document's strokes replay on their own engine; the current
// engine paints through the wet-paint routines (kind 4).
constexpr PacketId kStrokeStart[3][2] = {{PacketId::StrokeStartEarlier, PacketId::LineStartEarlier},
                                         {PacketId::StrokeStartCompatible, PacketId::LineStartCompatible},
                                         {PacketId::WetStrokeStart, PacketId::WetLineStart}};
constexpr uint16_t kNoMask = 0xFFFF;
constexpr int32_t kFirstEngine2Version = 4;

bool PointAllowed(float x, float y, int32_t width, int32_t height)
{
    return std::isfinite(x) && std::isfinite(y) && x >= -kPointReach && y >= -kPointReach &&
           x <= float(width) + kPointReach && y <= float(height) + kPointReach;
}

float ClampPressure(float p)
{
    return std::isnan(p) ? 0.0f : std::clamp(p, 0.0f, 1.0f);
}

// The layer's store in picture coordinates.
EdgeRect LayerArea(const CLayerData& layer)
{
    return {-layer.OriginX, -layer.OriginY, layer.Store->Width - layer.OriginX,
            layer.Store->Height - layer.OriginY};
}

ExtentRect InStore(const CLayerData& layer, const EdgeRect& r)
{
    return ToExtent(
        {r.left + layer.OriginX, r.top + layer.OriginY, r.right + layer.OriginX, r.bottom + layer.OriginY});
}

// What a shape stroke switches off, kept to be given back at its end.
struct SShapeSaved {
    bool pressureSize = false, pressureDensity = false, rawPoints = false, shapeMode = false, changed = false;
    BrushRecord brush;
    uint8_t smoother = CInterpolate::kMidpoint;
};

// The tiles of the layer a stroke touched, so that its end copies and
// recomposes those and not the whole bounding rectangle of a long stroke.
class DirtyTiles {
public:
    static constexpr int32_t kShift = 5;

    void Reset(const EdgeRect& area)
    {
        area_ = area;
        cols_ = ((area.right - area.left) >> kShift) + 1;
        rows_ = ((area.bottom - area.top) >> kShift) + 1;
        marks_.assign(size_t(cols_) * size_t(rows_), 0);
    }
    // r lies inside the area.
    void Mark(const EdgeRect& r)
    {
        for (int32_t ty = (r.top - area_.top) >> kShift; ty <= (r.bottom - 1 - area_.top) >> kShift; ++ty)
            for (int32_t tx = (r.left - area_.left) >> kShift; tx <= (r.right - 1 - area_.left) >> kShift;
                 ++tx)
                marks_[size_t(ty) * size_t(cols_) + size_t(tx)] = 1;
    }
    // Each run of touched tiles along a row of tiles, clipped to bounds.
    template <typename Visit> void ForEachRun(const EdgeRect& bounds, Visit&& visit) const
    {
        for (int32_t ty = 0; ty < rows_; ++ty) {
            const uint8_t* row = marks_.data() + size_t(ty) * size_t(cols_);
            for (int32_t tx = 0; tx < cols_; ++tx) {
                if (!row[tx])
                    continue;
                const int32_t first = tx;
                while (tx < cols_ && row[tx])
                    ++tx;
                const EdgeRect run{area_.left + (first << kShift), area_.top + (ty << kShift),
                                   area_.left + (tx << kShift), area_.top + ((ty + 1) << kShift)};
                EdgeRect clipped;
                if (Intersect(run, bounds, clipped))
                    visit(clipped);
            }
        }
    }

private:
    EdgeRect area_;
    int32_t cols_ = 0, rows_ = 0;
    std::vector<uint8_t> marks_;
};

} // namespace

struct SStrokeState {
    // The document's own renderer needs a stroke before the first stroke
    // hands it the real one.
    TStroke idlePen;
    CPenRender ownRender{idlePen};
    PenRenderTarget target{ownRender};
    CStrokeMngr manager{idlePen, target};
    CPenRender* render = &ownRender;

    // Engines 0 and 1, made on first use for the renderer they stamp through.
    std::unique_ptr<StrokeEngine> compat[2];
    CPenRender* compatRender[2] = {nullptr, nullptr};

    // The running stroke; engine is null between strokes.
    StrokeEngine* engine = nullptr;
    TFlowImage* flow = nullptr;
    TStroke* stroke = nullptr;
    int32_t layer = -1;
    int32_t layerId = -1;
    bool shape = false;
    SShapeSaved saved;
    DirtyTiles touched;
    int64_t lastDabs = 0;
    int32_t playerDataVersion = 0;
    // The selection the running stroke paints within.
    CMaskModifier selection;

    void EnterShape(TStroke& pen)
    {
        saved = {pen.PressureSize(), pen.PressureDensity(), pen.rawPoints,         pen.shapeMode,
                 pen.changed,        manager.Brush(),       manager.SmootherMode()};
        pen.SetPressureSize(false);
        pen.SetPressureDensity(false);
        pen.rawPoints = pen.shapeMode = true;
        BrushRecord brush = saved.brush;
        brush.pressureSize = brush.pressureDensity = false;
        manager.SetBrush(brush);
        manager.SetSmootherMode(CInterpolate::kNone);
    }
    void LeaveShape(TStroke& pen)
    {
        pen.SetPressureSize(saved.pressureSize);
        pen.SetPressureDensity(saved.pressureDensity);
        pen.rawPoints = saved.rawPoints;
        pen.shapeMode = saved.shapeMode;
        pen.changed = saved.changed;
        manager.SetBrush(saved.brush);
        manager.SetSmootherMode(saved.smoother);
    }
};

void SStrokeStateDelete::operator()(SStrokeState* state) const
{
    delete state;
}

void TPaper::StartStrokeEngines()
{
    strokes_.reset(new SStrokeState);
    SetEngineLevel(std::clamp<uint8_t>(settings_.strokeEngine, 1, 2));
}

bool TPaper::IsStroking() const
{
    return strokes_->engine != nullptr;
}

CStrokeMngr& TPaper::StrokeManager()
{
    return strokes_->manager;
}

const CStrokeMngr& TPaper::StrokeManager() const
{
    return strokes_->manager;
}

bool TPaper::SetPenRenderer(CPenRender* render)
{
    if (IsStroking())
        return false;
    SStrokeState& s = *strokes_;
    s.render = render ? render : &s.ownRender;
    s.target = PenRenderTarget(*s.render);
    return true;
}

CPenRender& TPaper::UsePen(TStroke& pen)
{
    SStrokeState& s = *strokes_;
    if (!IsStroking()) {
        s.render->SetStroke(pen);
        s.manager.SetStroke(pen);
        strokePen_ = &pen;
        penRenderer_ = s.render;
    }
    return *s.render;
}

bool TPaper::SetStrokeEngine(uint8_t engine)
{
    if (IsStroking() || engine > 2)
        return false;
    SetEngineLevel(engine);
    return true;
}

bool TPaper::SetStrokeEngineForVersion(int32_t version)
{
    if (engineLevel_ == 0)
        return !IsStroking();
    return SetStrokeEngine(version >= kFirstEngine2Version ? 2 : 1);
}

bool TPaper::SetShapeStroke(bool on)
{
    if (IsStroking())
        return false;
    strokes_->shape = on;
    return true;
}

bool TPaper::ShapeStroke() const
{
    return strokes_->shape;
}

int64_t TPaper::LastStrokeDabs() const
{
    return strokes_->lastDabs;
}

void TPaper::SetPlayerDataVersion(int32_t version)
{
    strokes_->playerDataVersion = version;
}

StrokeEngine* TPaper::EngineFor(uint8_t engine)
{
    SStrokeState& s = *strokes_;
    if (engine >= 2)
        return &s.manager;
    if (!s.compat[engine] || s.compatRender[engine] != s.render) {
        s.compat[engine] = MakeCompatStrokeEngine(engine, *s.render);
        s.compatRender[engine] = s.render;
    }
    return s.compat[engine].get();
}

bool TPaper::StrokeBegin(TFlowImage& flow, TStroke& stroke, bool record, float pressure, float y, float x)
{
    if (IsStroking() || !PointAllowed(x, y, Width, Height))
        return false;
    const int32_t index = layers_->Current();
    CLayerData* layer = layers_->At(index);
    if (!layer || !layer->HasStore())
        return false;
    // The wet paint is taken again when the layer changed since it was
    // loaded, so no undone pixels come back with the stroke.
    if (!flow.LoadLayer({index, layer->Store.get(), {layer->OriginX, layer->OriginY}}, wetPaintStale_,
                        &stroke)) {
        Notifier().Warn("メモリ不足のため実行できませんでした！");
        return false;
    }
    wetPaintStale_ = false;
    return StrokeOnLayer(flow, stroke, record, ClampPressure(pressure), y, x);
}

bool TPaper::StrokeOnLayer(TFlowImage& flow, TStroke& stroke, bool record, float pressure, float y, float x)
{
    SStrokeState& s = *strokes_;
    const int32_t index = layers_->Current();
    CLayerData& layer = *layers_->At(index);
    StrokeEngine* engine = EngineFor(engineLevel_);
    if (!engine)
        return false;
    s.render->SetStroke(stroke);
    s.manager.SetStroke(stroke);
    strokePen_ = &stroke;
    penRenderer_ = s.render;
    if (s.shape)
        s.EnterShape(stroke);
    if (!RecordStrokeStart(record, pressure, y, x)) {
        if (s.shape)
            s.LeaveShape(stroke);
        return false;
    }
    s.engine = engine;
    stroke.SetProtectAlpha(layer.ProtectAlpha);
    StrokeContext context;
    context.toTarget = {layer.OriginX, layer.OriginY};
    context.setup.backgroundColour = PaperColour | 0xFF000000u;
    context.setup.blurSource = layer.Store.get();
    context.setup.oldestEngine = engineLevel_ == 0 && host_.IsPlayingBack();
    if (const CMaskData* mask = ActiveSelection()) {
        s.selection.Aim(*mask, {layer.OriginX, layer.OriginY});
        context.setup.mask = &s.selection;
    }
    context.playerWindow = host_.IsPlayingBack();
    context.dataVersion = s.playerDataVersion;
    s.touched.Reset(LayerArea(layer));
    engine->Start(index, flow, stroke, context);
    engine->BeginAt(x, y, pressure);
    s.flow = &flow;
    s.stroke = &stroke;
    s.layer = index;
    s.layerId = layer.Id;
    host_.SetStroking(true);
    host_.SetMoveCount(0);
    return true;
}

bool TPaper::RecordStrokeStart(bool record, float pressure, float y, float x)
{
    if (!record)
        return true;
    int32_t maskIndex = -1, maskId = 0;
    const uint16_t mask = CurrentSelection(maskIndex, maskId) ? uint16_t(maskIndex) : kNoMask;
    const PacketId start = kStrokeStart[std::min<int>(engineLevel_, 2)][strokes_->shape ? 1 : 0];
    return recorder_->BeginStroke(start, uint16_t(layers_->Current()), mask, x, y, pressure);
}

// The layer the running stroke began on, while it still stands at that
// index: the wet paint holds its pixels and no other layer's.
CLayerData* TPaper::StrokeLayer()
{
    CLayerData* layer = layers_->At(strokes_->layer);
    return layer && layer->Id == strokes_->layerId && layer->HasStore() ? layer : nullptr;
}

bool TPaper::StrokePoint(TFlowImage& flow, TStroke& stroke, bool record, float pressure, float y, float x)
{
    SStrokeState& s = *strokes_;
    if (!IsStroking() || &flow != s.flow || &stroke != s.stroke || !PointAllowed(x, y, Width, Height))
        return false;
    pressure = ClampPressure(pressure);
    if (record && !recorder_->AddPoint(x, y, pressure))
        return false;
    host_.SetMoveCount(host_.MoveCount() + 1);
    s.engine->AddPoint(x, y, pressure);
    s.engine->RenderPendingSegment();
    const CLayerData* layer = StrokeLayer();
    EdgeRect changed;
    if (!layer || !Intersect(s.engine->SegmentRect(), LayerArea(*layer), changed))
        return true;
    s.touched.Mark(changed);
    if (s.engine->PaintsCoverage()) {
        const SPencilRebuild how{s.render, nullptr, stroke.color, PencilOpacity(stroke, engineLevel_ == 0)};
        flow.RebuildPencil(InStore(*layer, changed), *layer->Store, how);
    }
    // The layer's store takes the paint at the end; until then it is shown
    // from the wet paint.
    if (host_.ShowsPicture()) {
        const SWetLayer wet{s.layer, &flow.Image()};
        RenderRect(ToExtent(changed), true, &wet);
    }
    host_.InvalidateRect(ToExtent(changed));
    return true;
}

bool TPaper::StrokeEnd(TFlowImage& flow, TStroke& stroke, bool record, EdgeRect& out)
{
    SStrokeState& s = *strokes_;
    if (!IsStroking() || &flow != s.flow || &stroke != s.stroke)
        return false;
    if (record && !recorder_->EndStroke())
        Diagnose("failed to record the stroke end!");
    CLayerData* layer = StrokeLayer();
    EdgeRect rect;
    const bool changed =
        layer && layer->HasStore() && Intersect(s.engine->StrokeRect(), LayerArea(*layer), rect);
    if (changed)
        CommitStroke(flow, record, rect);
    FinishStroke();
    out = changed ? rect : EdgeRect{};
    if (changed) {
        const ExtentRect picture = ToExtent(rect);
        s.touched.ForEachRun(rect, [&](const EdgeRect& run) { RenderRect(ToExtent(run), true); });
        host_.InvalidateRect(picture);
        LayerChanged(s.layer, picture);
        // The wet paint holds exactly what the layer now holds.
        wetPaintStale_ = false;
        host_.MarkModified();
    }
    return true;
}

// The history keeps the layer as it was; a record that cannot be made leaves
// the stroke committed all the same, and the history goes with the user told
// (the stroke's step is in the stream already).
void TPaper::CommitStroke(TFlowImage& flow, bool record, const EdgeRect& rect)
{
    SStrokeState& s = *strokes_;
    CLayerData& layer = *StrokeLayer();
    const ExtentRect store = InStore(layer, rect);
    if (record && UndoEnabled()) {
        HistoryRecord history;
        history.record = undo_->MakePixels(layer, s.layer, store, UndoKind::Stroke);
        KeepHistory(std::move(history));
    }
    // Outside the touched tiles the wet paint holds the layer's own pixels.
    s.touched.ForEachRun(rect, [&](const EdgeRect& run) {
        flow.CommitRegion(InStore(layer, run), s.layer, *layer.Store);
        s.engine->ClearCoverage(run, false);
    });
}

void TPaper::FinishStroke()
{
    SStrokeState& s = *strokes_;
    s.engine->End();
    s.lastDabs = s.engine->DabCount();
    // Shape mode holds for one stroke.
    if (s.shape)
        s.LeaveShape(*s.stroke);
    s.shape = false;
    s.engine = nullptr;
    s.flow = nullptr;
    s.stroke = nullptr;
    host_.SetStroking(false);
}

} // namespace morvane
