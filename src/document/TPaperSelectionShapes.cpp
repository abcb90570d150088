// Rectangle, ellipse and polygon selections: the shape is rasterised at full
// coverage over the current layer and combined into the current mask.
#include <algorithm>
#include <new>

#include "document/SelectionOperations.h"
#include "document/TPaper.h"
#include "paint/CEllipseFiller.h"
#include "paint/CPolygonFiller.h"

namespace morvane {

namespace {
// Earlier recordings draw their ellipses with the current geometry from
// this version on.
constexpr int32_t kNewEllipseAfter = 305;

bool InReach(const std::vector<PointF>& points, const CLayerData& layer)
{
    for (const PointF& p : points)
        if (!CoordinateInReach(p.x, layer.Store->Width) || !CoordinateInReach(p.y, layer.Store->Height))
            return false;
    return true;
}

// The filler for the shape, set; nullptr when the shape is degenerate or
// misses the layer.
std::unique_ptr<CFillMngr> Filler(const SelectShapeOp& op, const CLayerData& layer)
{
    const int32_t w = layer.Store->Width, h = layer.Store->Height;
    const std::vector<PointF>& p = op.points;
    switch (op.shape) {
    case SelectionShape::Rectangle: {
        auto f = std::make_unique<CFillMngr>(w, h);
        return f->SetRect(p[0], p[1]) ? std::move(f) : nullptr;
    }
    case SelectionShape::Ellipse:
    case SelectionShape::EllipseEarlier: {
        auto f = std::make_unique<CEllipseFiller>(w, h, op.newGeometry);
        return f->SetEllipse(p[0], p[1]) ? std::move(f) : nullptr;
    }
    case SelectionShape::Polygon: {
        auto f = std::make_unique<CPolygonFiller>(w, h);
        return f->SetPolygon(p.data(), int32_t(p.size())) ? std::move(f) : nullptr;
    }
    }
    return nullptr;
}

// The shape's coverage over its dirty rectangle, placed on the canvas.
bool ShapeCoverage(CFillMngr& filler, const CLayerData& layer, SCoverage& out)
{
    const ExtentRect d = filler.DirtyRect();
    TChannel channel(d.width, d.height);
    if (!channel.IsValid())
        return false;
    channel.FillAll(0);
    filler.UseChannel(255, 1.0f);
    filler.Render(channel, {d.left, d.top});
    const EdgeRect canvas{d.left - layer.OriginX, d.top - layer.OriginY, d.left + d.width - layer.OriginX,
                          d.top + d.height - layer.OriginY};
    if (!out.Allocate(canvas))
        return false;
    for (int32_t y = 0; y < d.height; ++y)
        std::copy_n(channel.PixelPtr(0, y), d.width, out.Row(canvas.top + y));
    return true;
}
} // namespace

Verdict SelectShapeOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(c.paper.CurrentLayer());
    const size_t needed = shape == SelectionShape::Polygon ? 3 : 2;
    if (!layer || !layer->HasStore() || uint8_t(mode) >= kCombineModeCount || points.size() < needed ||
        (shape != SelectionShape::Polygon && points.size() != 2) || points.size() > kMaxPoints ||
        !InReach(points, *layer))
        return Verdict::Refuse;
    // Nothing is selected to take from.
    if (!c.paper.Masks().HasSelection() && (mode == CombineMode::Subtract || mode == CombineMode::Intersect))
        return Verdict::Unchanged;
    return Verdict::Go;
}

bool SelectShapeOp::Prepare(OpContext& c)
{
    TPaper& paper = c.paper;
    const CLayerData& layer = *paper.LayerAt(paper.CurrentLayer());
    try {
        std::unique_ptr<CFillMngr> filler = Filler(*this, layer);
        SCoverage coverage;
        if (!filler || !ShapeCoverage(*filler, layer, coverage))
            return false;
        bool unchanged = false;
        next = paper.CombinedWithSelection(coverage, mode, unchanged);
        return next != nullptr;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::vector<uint8_t> SelectShapeOp::Packet(OpContext& c) const
{
    const int16_t layer = int16_t(c.paper.CurrentLayer());
    const uint16_t mask = uint16_t(c.paper.Masks().Current());
    if (shape == SelectionShape::Polygon) {
        SelectionPolygonPayload p;
        p.layer = layer, p.mask = mask, p.combine = uint8_t(mode), p.count = uint16_t(points.size());
        for (const PointF& q : points)
            p.points.push_back({float(q.x), float(q.y)});
        return p.Encode();
    }
    SelectionShapePayload p;
    p.SetKind(shape == SelectionShape::Rectangle ? PacketId::SelectRectangle : PacketId::SelectEllipse);
    p.layer = layer, p.mask = mask, p.combine = uint8_t(mode);
    p.first = {float(points[0].x), float(points[0].y)};
    p.second = {float(points[1].x), float(points[1].y)};
    return p.Encode();
}

HistoryRecord SelectShapeOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = CUndoData::Command(UndoKind::MaskPixels, -1, -1, ExtentRect{},
                                  {c.paper.Masks().Current(), int32_t(next->maskId), 0, 0});
    return h;
}

bool SelectShapeOp::Apply(OpContext& c, CUndoData* record)
{
    TPaper& paper = c.paper;
    std::unique_ptr<CMaskData> former = paper.Masks().Replace(paper.Masks().Current(), std::move(next));
    if (record)
        record->kept.object = std::move(former);
    paper.SelectionBorderShown = paper.SelectionUsed = true;
    return true;
}

void SelectShapeOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// Points in the stream are floats; live they are rounded the same way
// before the shape is drawn, so the live mask is the replayed one.
std::optional<SelectShapeOp> SelectShapeOp::Replayed(OpContext& c, PacketId id, const SelectionShapePayload& p)
{
    if (p.mask != c.paper.Masks().Current() || p.combine >= kCombineModeCount)
        return std::nullopt;
    SelectShapeOp op;
    op.shape = id == PacketId::SelectRectangle ? SelectionShape::Rectangle
               : id == PacketId::SelectEllipse ? SelectionShape::Ellipse
                                               : SelectionShape::EllipseEarlier;
    op.newGeometry = op.shape != SelectionShape::EllipseEarlier || c.paper.PlayerAppVersion > kNewEllipseAfter;
    op.points = {{p.first.x, p.first.y}, {p.second.x, p.second.y}};
    op.mode = CombineMode(p.combine);
    return op;
}

std::optional<SelectShapeOp> SelectShapeOp::Replayed(OpContext& c, PacketId, const SelectionPolygonPayload& p)
{
    if (p.mask != c.paper.Masks().Current() || p.combine >= kCombineModeCount)
        return std::nullopt;
    SelectShapeOp op;
    op.shape = SelectionShape::Polygon;
    for (const StreamPoint& q : p.points)
        op.points.push_back({q.x, q.y});
    op.mode = CombineMode(p.combine);
    return op;
}

namespace {
std::vector<PointF> AsStreamFloats(std::vector<PointF> points)
{
    for (PointF& p : points)
        p = {double(float(p.x)), double(float(p.y))};
    return points;
}
} // namespace

bool TPaper::SelectRectangle(PointF c1, PointF c2, CombineMode mode, bool record)
{
    SelectShapeOp op;
    op.points = AsStreamFloats({c1, c2});
    op.mode = mode;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::SelectEllipse(PointF c1, PointF c2, CombineMode mode, bool record)
{
    SelectShapeOp op;
    op.shape = SelectionShape::Ellipse;
    op.points = AsStreamFloats({c1, c2});
    op.mode = mode;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::SelectPolygon(const std::vector<PointF>& points, CombineMode mode, bool record)
{
    SelectShapeOp op;
    op.shape = SelectionShape::Polygon;
    op.points = AsStreamFloats(points);
    op.mode = mode;
    return RunOperation(*this, std::move(op), record);
}

} // namespace morvane
