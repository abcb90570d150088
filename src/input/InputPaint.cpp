// The painting side of a document window's input: whether the document may
// be changed now, and freehand strokes from the mouse and the tablet.
#include <algorithm>
#include <cmath>

#include "document/TPaper.h"
#include "input/InputRouter.h"
#include "input/TabletState.h"
#include "paint/CPenRender.h"
#include "paint/CStrokeMngr.h"
#include "platform/Clock.h"

namespace morvane {

namespace {

constexpr uint32_t kPaintBlockers = kModShift | kModCtrl | kModAlt | kModSpace;
// Document points farther out than this cannot be painted (the document
// refuses them well before) and would not fit a float.
constexpr double kFarthest = double(1 << 24);

bool Paintable(PointD doc)
{
    return IsFinite(doc) && std::abs(doc.x) <= kFarthest && std::abs(doc.y) <= kFarthest;
}

} // namespace

bool CanEdit(const TPaper* paper, const WindowEditState& window, EditQuery query)
{
    if (!paper || window.renderMode || !paper->Ready || window.busy || window.modal || window.replaying ||
        paper->IsStroking())
        return false;
    const bool playerPasses = query.checkPlayer && (!query.playerMustHaveEnded || window.replayEnded);
    if (window.playerWindow && !playerPasses)
        return false;
    return query.evenWhilePlayedBack || paper->PlaybackState == 0;
}

void PrepareEdit(TPaper& paper, ToolState& tools, TStroke& pen)
{
    const TPaintParam& param = tools.Param();
    param.ToStroke(pen);
    pen.color = tools.MainColour();
    pen.subColor = tools.SubColour();
    paper.StrokeManager().SetBrush(param.ToBrushRecord());
    // In the renderer's own order: threshold, nib, method, air map, nib preset.
    CPenRender& render = paper.UsePen(pen);
    render.SetThreshold(param.Settings().aliased ? 1 : 0);
    render.SetNib(param.ToNibRecord());
    if (const std::optional<BrushMethodRecord> method = param.ToBrushMethod())
        render.SetMethod(*method);
    render.SetAirMap(param.NibAirMap());
    render.SetNibPreset(tools.BitmapNib(), false, false, false);
}

uint8_t EngineForKind(PaintKind kind, uint8_t engineLevelMax)
{
    const uint8_t wanted = KindInfo(kind).generation >= 2 ? 2 : 1;
    return std::min(wanted, std::max<uint8_t>(engineLevelMax, 1));
}

void InputRouter::TabletPacket(PointD at, float pressure, uint32_t modifiers, bool startAllowed)
{
    if (inputDisabled || !IsFinite(at))
        return;
    pressure = TabletState::SanitizePressure(pressure);
    lastWindow_ = at;
    const bool freehand = tools_.Current().toolClass == ToolClass::Freehand;
    if (pressure == 0.0f) {
        SetAutoScroll(false);
        if (freehand)
            FinishStroke(view_.WindowToDocument(at));
        return;
    }
    const bool inClient = at.x >= 0 && at.y >= 0 && at.x < view_.ClientWidth() && at.y < view_.ClientHeight();
    if (!paper_.IsStroking() && !(freehand && startAllowed && inClient))
        return;
    Paint(at, pressure, modifiers);
    SetAutoScroll(true);
}

void InputRouter::Paint(PointD at, float pressure, uint32_t modifiers)
{
    if (!paper_.ShapeStroke() && (window.playerWindow || (modifiers & kPaintBlockers)))
        return;
    const PointD doc = view_.WindowToDocument(at);
    if (!Paintable(doc))
        return;
    Remember(doc);
    TStroke& pen = pen_;
    if (!paper_.IsStroking()) {
        if (!CanEdit(&paper_, window))
            return;
        PrepareEdit();
        // An oldest-generation document keeps its engine.
        if (paper_.EngineLevel() != 0)
            paper_.SetStrokeEngine(EngineForKind(tools_.Kind(), paper_.EngineLevelMax));
        if (paper_.StrokeBegin(flow_, pen, true, pressure, float(doc.y), float(doc.x)))
            strokeLast_ = doc;
        lastActionTime_ = CurrentClock().Milliseconds();
        return;
    }
    if (paper_.Host().MoveCount() >= kMaxStrokeMoves) {
        EdgeRect changed;
        paper_.StrokeEnd(flow_, pen, true, changed);
        return;
    }
    if (DropsPoint(doc))
        return;
    if (paper_.StrokePoint(flow_, pen, true, pressure, float(doc.y), float(doc.x)))
        strokeLast_ = doc;
}

bool InputRouter::DropsPoint(PointD doc) const
{
    if (paper_.Host().MoveCount() < 2)
        return false;
    const double s = view_.Scale();
    double threshold;
    if (paper_.EngineLevel() >= 2)
        threshold = s > 2 ? 4 / s : 1;
    else
        threshold = s == 0.25 ? 4 : s == 0.5 ? 3 : 2;
    return std::hypot(doc.x - strokeLast_.x, doc.y - strokeLast_.y) <= threshold;
}

void InputRouter::FinishStroke(PointD doc)
{
    if (window.playerWindow && !paper_.ShapeStroke())
        return;
    if (!Paintable(doc))
        doc = strokeLast_;
    Remember(doc);
    if (paper_.IsStroking()) {
        TStroke& pen = pen_;
        paper_.StrokePoint(flow_, pen, true, 0.0f, float(doc.y), float(doc.x));
        EdgeRect changed;
        paper_.StrokeEnd(flow_, pen, true, changed);
    }
    lastActionTime_ = CurrentClock().Milliseconds();
}

void InputRouter::Remember(PointD doc)
{
    if (IsFinite(doc))
        lastDocument_ = {std::floor(doc.x), std::floor(doc.y)};
}

} // namespace morvane
