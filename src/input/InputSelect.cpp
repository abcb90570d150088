// The selection tools and the moves of a document window: rectangle and
// ellipse drawn by a drag, the polygon clicked vertex by vertex, the
// free-form line followed move by move, and the layer and selection moves.
// Each gesture shows its outline while it runs and records one document
// operation when it ends.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/SelectionOperations.h"
#include "document/TPaper.h"
#include "input/InputRouter.h"
#include "platform/Clock.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {

// Points of the ellipse's outline while it is dragged.
constexpr int kEllipseOutlinePoints = 64;
// Document points farther out than this are not taken (the document
// refuses them well before).
constexpr double kFarthest = double(1 << 24);

bool Usable(PointD doc)
{
    return IsFinite(doc) && std::abs(doc.x) <= kFarthest && std::abs(doc.y) <= kFarthest;
}

// The document pixel under a document point (pixel centres lie on the
// integers).
PointD PixelOf(PointD doc)
{
    return {std::floor(doc.x + 0.5), std::floor(doc.y + 0.5)};
}

bool IsBoxShape(uint8_t shape)
{
    return shape == kSelectRectangle || shape == kSelectEllipse;
}

// The box of whole pixels from the press pixel a to the pixel b, both
// included, in pixel-edge coordinates.
std::pair<PointD, PointD> PixelBox(PointD a, PointD b)
{
    return {{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1}};
}

std::vector<PointD> EllipseOutline(PointD c1, PointD c2)
{
    const double cx = (c1.x + c2.x) / 2, cy = (c1.y + c2.y) / 2;
    const double rx = std::abs(c2.x - c1.x) / 2, ry = std::abs(c2.y - c1.y) / 2;
    std::vector<PointD> points;
    for (int i = 0; i < kEllipseOutlinePoints; ++i) {
        const double a = 2 * std::numbers::pi * i / kEllipseOutlinePoints;
        points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return points;
}

} // namespace

bool InputRouter::WantsMiddleMoves() const
{
    const ToolClass c = tools_.Current().toolClass;
    return c == ToolClass::View || c == ToolClass::Move || c == ToolClass::Selection;
}

bool InputRouter::PointerInSelection(PointD at) const
{
    const PointD doc = view_.WindowToDocument(at);
    if (!paper_.Masks().HasSelection() || !Usable(doc))
        return false;
    const PointD pixel = PixelOf(doc);
    return paper_.Masks().CurrentMask()->ValueAt(int32_t(pixel.x), int32_t(pixel.y)) > 0;
}

CombineMode InputRouter::CombineFor(uint32_t modifiers) const
{
    const bool shift = modifiers & kModShift;
    const bool combineKey = modifiers & (settings_.shortcutMode == 1 ? kModCtrl : kModAlt);
    if (shift && combineKey)
        return CombineMode::Intersect;
    if (shift)
        return CombineMode::Add;
    if (combineKey)
        return CombineMode::Subtract;
    return tools_.Combine();
}

// ---- selection shapes ----

void InputRouter::SelectDown(const PointerEvent& event)
{
    const uint8_t shape = tools_.Current().sub;
    if (gesture_.button == MouseButton::Right) {
        // The right button takes back the polygon's last vertex.
        if (draft_.active && draft_.shape == kSelectPolygon) {
            draft_.points.pop_back();
            if (draft_.points.empty())
                DropDraft();
            else
                ShowDraft();
        }
        return;
    }
    const PointD doc = view_.WindowToDocument(event.at);
    if (!Usable(doc) || !CanEdit(&paper_, window))
        return;
    const PointD edge{doc.x + 0.5, doc.y + 0.5};
    if (draft_.active && shape == kSelectPolygon) {
        if (draft_.points.size() < SelectShapeOp::kMaxPoints)
            draft_.points.push_back(edge);
        draft_.pointer = edge;
        ShowDraft();
        return;
    }
    draft_ = ShapeDraft{true, shape, CombineFor(event.modifiers), {}, edge};
    if (IsBoxShape(shape))
        draft_.points = {PixelOf(doc), PixelOf(doc)};
    else
        draft_.points = {edge};
    ShowDraft();
}

void InputRouter::SelectDrag(const PointerEvent& event)
{
    const PointD doc = view_.WindowToDocument(event.at);
    if (!draft_.active || gesture_.button == MouseButton::Right || !Usable(doc))
        return;
    const PointD edge{doc.x + 0.5, doc.y + 0.5};
    std::vector<PointD>& points = draft_.points;
    if (IsBoxShape(draft_.shape)) {
        PointD to = PixelOf(doc);
        // Shift pressed during the drag (not the one that chose "add")
        // makes a square or a circle.
        const bool shiftNow = event.modifiers & kModShift;
        if (shiftNow && (!(gesture_.modifiersAtPress & kModShift) || gesture_.shiftLifted)) {
            const PointD from = points[0];
            const double side = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
            to = {from.x + std::copysign(side, to.x - from.x), from.y + std::copysign(side, to.y - from.y)};
        }
        points[1] = to;
    } else if (draft_.shape == kSelectPolygon) {
        // Dragging places the vertex of this press.
        points.back() = edge;
        draft_.pointer = edge;
    } else {
        const PointD& last = points.back();
        if ((last.x == edge.x && last.y == edge.y) || points.size() >= SelectShapeOp::kMaxPoints)
            return;
        points.push_back(edge);
    }
    ShowDraft();
}

void InputRouter::SelectUp(const PointerEvent& event)
{
    if (!draft_.active || gesture_.button == MouseButton::Right || draft_.shape == kSelectPolygon)
        return;
    SelectDrag(event);
    const std::vector<PointD>& points = draft_.points;
    // A click that never left its pixel selects nothing.
    const bool click = IsBoxShape(draft_.shape) && points[0].x == points[1].x && points[0].y == points[1].y;
    if (!click && points.size() >= (IsBoxShape(draft_.shape) ? 2u : 3u)) {
        const auto [c1, c2] = PixelBox(points[0], points[1]);
        RunShape(IsBoxShape(draft_.shape) ? std::vector<PointD>{c1, c2} : points);
    }
    DropDraft();
}

void InputRouter::PolygonHover(PointD at)
{
    const PointD doc = view_.WindowToDocument(at);
    if (draft_.shape != kSelectPolygon || !Usable(doc))
        return;
    draft_.pointer = {doc.x + 0.5, doc.y + 0.5};
    ShowDraft();
}

void InputRouter::ClosePolygon()
{
    if (!draft_.active || draft_.shape != kSelectPolygon)
        return;
    if (draft_.points.size() >= 3)
        RunShape(draft_.points);
    DropDraft();
}

void InputRouter::Key(InputKey key)
{
    if (key == InputKey::Escape)
        DropDraft();
    else if (key == InputKey::Space && !gesture_.held)
        ClosePolygon();
}

void InputRouter::DropDraft()
{
    if (!draft_.active)
        return;
    draft_ = ShapeDraft{};
    SetOutline({});
}

void InputRouter::ShowDraft()
{
    ToolOutline outline;
    const std::vector<PointD>& p = draft_.points;
    switch (draft_.shape) {
    case kSelectRectangle: {
        const auto [a, b] = PixelBox(p[0], p[1]);
        outline.points = {a, {b.x, a.y}, b, {a.x, b.y}};
        break;
    }
    case kSelectEllipse: {
        const auto [a, b] = PixelBox(p[0], p[1]);
        outline.points = EllipseOutline(a, b);
        break;
    }
    case kSelectPolygon:
        // The edge from the last vertex follows the pointer.
        outline.points = p;
        outline.points.push_back(draft_.pointer);
        break;
    default:
        outline.points = p;
        outline.closed = false;
        break;
    }
    SetOutline(std::move(outline));
}

// The points are canvas pixel edges; the document takes the current
// layer's coordinates.
bool InputRouter::RunShape(const std::vector<PointD>& points)
{
    const CLayerData* layer = paper_.LayerAt(paper_.CurrentLayer());
    if (!layer || !CanEdit(&paper_, window))
        return false;
    std::vector<PointF> inLayer;
    for (const PointD& p : points)
        inLayer.push_back({p.x + layer->OriginX, p.y + layer->OriginY});
    const CombineMode mode = draft_.mode;
    lastActionTime_ = CurrentClock().Milliseconds();
    switch (draft_.shape) {
    case kSelectRectangle: return paper_.SelectRectangle(inLayer[0], inLayer[1], mode, true);
    case kSelectEllipse: return paper_.SelectEllipse(inLayer[0], inLayer[1], mode, true);
    default: return paper_.SelectPolygon(inLayer, mode, true);
    }
}

// ---- moves ----

void InputRouter::MoveDown()
{
    const bool selection = tools_.Current().sub == kMoveSelection;
    gesture_.moving = CanEdit(&paper_, window) && (!selection || paper_.Masks().HasSelection());
}

Point InputRouter::MoveDelta(PointD at) const
{
    const PointD a = view_.WindowToDocument(gesture_.press), b = view_.WindowToDocument(at);
    if (!Usable(a) || !Usable(b))
        return {};
    const PointD pa = PixelOf(a), pb = PixelOf(b);
    return {truncSat(pb.x - pa.x), truncSat(pb.y - pa.y)};
}

void InputRouter::MoveDrag(const PointerEvent& event)
{
    if (!gesture_.moving)
        return;
    const Point d = MoveDelta(event.at);
    const uint8_t sub = tools_.Current().sub;
    if (sub == kMoveSelection || sub == kMoveLayerAndSelection) {
        // The ants follow the drag; the layer's outline below joins them.
        Point& offset = paper_.Masks().Ants.Offset;
        const bool changed = offset != d;
        offset = d;
        if (sub == kMoveSelection) {
            if (changed && outlineChanged)
                outlineChanged();
            return;
        }
    }
    // The layer's part of the canvas, where it would land.
    const CLayerData* layer = paper_.LayerAt(paper_.CurrentLayer());
    EdgeRect r;
    if (!layer || !layer->HasStore() ||
        !Intersect({-layer->OriginX, -layer->OriginY, layer->Store->Width - layer->OriginX,
                    layer->Store->Height - layer->OriginY},
                   {0, 0, paper_.Width, paper_.Height}, r))
        return;
    const double l = double(r.left) + d.x, t = double(r.top) + d.y, rr = double(r.right) + d.x,
                 b = double(r.bottom) + d.y;
    SetOutline({{{l, t}, {rr, t}, {rr, b}, {l, b}}, true});
}

void InputRouter::MoveUp(const PointerEvent& event)
{
    if (!gesture_.moving)
        return;
    gesture_.moving = false;
    const Point d = MoveDelta(event.at);
    Point& offset = paper_.Masks().Ants.Offset;
    const bool shown = offset != Point{} || !outline_.Empty();
    offset = {};
    outline_ = {};
    if (shown && outlineChanged)
        outlineChanged();
    if ((d.x == 0 && d.y == 0) || !CanEdit(&paper_, window))
        return;
    lastActionTime_ = CurrentClock().Milliseconds();
    switch (tools_.Current().sub) {
    case kMoveSelection: paper_.MoveSelection(d.x, d.y, true); break;
    case kMoveLayerAndSelection: paper_.ShiftLayerMasked(paper_.CurrentLayer(), d.x, d.y, true); break;
    default: paper_.ShiftLayer(paper_.CurrentLayer(), d.x, d.y, true); break;
    }
}

void InputRouter::SetOutline(ToolOutline outline)
{
    outline_ = std::move(outline);
    if (outlineChanged)
        outlineChanged();
}

} // namespace morvane
