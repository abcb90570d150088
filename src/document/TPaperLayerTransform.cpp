// Operations that replace one layer by a transformed copy of itself: rotate
// by 90 degrees or by any angle, scale. The copy is made whole before
// anything is recorded or touched; the former layer moves into the history.
// Each turns the layer's content about the picture's centre, so the picture
// itself keeps its place and size.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "document/TPaper.h"
#include "document/TransformOperations.h"
#include "platform/BusyCursor.h"
#include "platform/UserNotifier.h"
#include "storage/CScaleImage.h"
#include "storage/FixedPoint.h"
#include "storage/RotateStore.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";
// Origins stay as far from the int32 edge as shifted ones do.
constexpr int64_t kMaxOrigin = int64_t(1) << 30;

// Paint lands only inside a layer's store, so a turned or shrunk store that
// no longer covers the whole picture grows (transparent) until it does.
std::unique_ptr<CLayerData> CoveringPicture(std::unique_ptr<CLayerData> layer)
{
    if (layer->ClampOrigin(false))
        return layer;
    const EdgeRect c = layer->ContentBounds();
    const EdgeRect u{std::min(c.left, 0), std::min(c.top, 0), std::max(c.right, layer->NominalW),
                     std::max(c.bottom, layer->NominalH)};
    std::unique_ptr<CLayerData> grown =
        layer->Resized(u.right - u.left, u.bottom - u.top, {c.left - u.left, c.top - u.top});
    if (grown)
        grown->CopyAttributes(*layer);
    return grown;
}

// A layer like `from` (its attributes and nominal size) holding store at
// origin, with its thumbnail made; nullptr when anything is missing.
std::unique_ptr<CLayerData> LayerLike(const CLayerData& from, std::unique_ptr<CBlockVMTC> store, int64_t originX,
                                      int64_t originY, const CLayerMngr& layers)
{
    if (!store || !store->IsValid() || std::llabs(originX) > kMaxOrigin ||
        std::llabs(originY) > kMaxOrigin)
        return nullptr;
    auto layer = std::make_unique<CLayerData>(from.Position);
    layer->CopyAttributes(from);
    layer->Store = std::move(store);
    layer->OriginX = int32_t(originX);
    layer->OriginY = int32_t(originY);
    layer->NominalW = from.NominalW;
    layer->NominalH = from.NominalH;
    layer = CoveringPicture(std::move(layer));
    if (!layer || !layer->SizeThumbnail(layers.ThumbW, layers.ThumbH) || !layer->RefreshThumbnail())
        return nullptr;
    return layer;
}

// The copy build() makes; on failure (memory, sizes past the store limits)
// the user is told and nullptr comes back.
template <typename Build>
std::unique_ptr<CLayerData> Built(Build build)
{
    std::unique_ptr<CLayerData> layer;
    try {
        layer = build();
    } catch (const std::bad_alloc&) {
        layer.reset();
    }
    if (!layer)
        Notifier().Warn(kNoMemory);
    return layer;
}

// The layer's store turned a quarter store to store. The origin keeps the
// picture's centre on the same content point; where the picture's sides
// differ by an odd number the centre lies half a pixel off the grid, and the
// turn goes about the grid point to its left, the same one both ways, so
// that a turn and its reverse, and four turns, restore the origin exactly.
std::unique_ptr<CLayerData> QuarterTurned(const CLayerData& from, bool clockwise, const CLayerMngr& layers)
{
    const CBlockVMTC& old = *from.Store;
    auto store = std::make_unique<CBlockVMTC>(old.Height, old.Width);
    store->DefaultUniform = old.DefaultUniform;
    if (!store->IsValid() || !old.RotateIntoStore90(*store, {0, 0}, clockwise))
        return nullptr;
    const int64_t w = from.NominalW, h = from.NominalH;
    const int64_t half = (w - h) >> 1; // floor, below 0 too
    const int64_t ox = from.OriginX, oy = from.OriginY;
    if (clockwise)
        return LayerLike(from, std::move(store), old.Height - oy - h - half, ox + half, layers);
    return LayerLike(from, std::move(store), oy - half, old.Width - ox - h - half, layers);
}

// A half turn maps the pixel grid onto itself about any picture centre.
std::unique_ptr<CLayerData> HalfTurned(const CLayerData& from, const CLayerMngr& layers)
{
    auto layer = std::make_unique<CLayerData>(from.Position);
    if (!layer->CopyFrom(from) || !layer->ApplyCommand(10))
        return nullptr;
    if (!layer->SizeThumbnail(layers.ThumbW, layers.ThumbH) || !layer->RefreshThumbnail())
        return nullptr;
    return layer;
}

std::unique_ptr<CLayerData> FreelyTurned(const CLayerData& from, double degrees, const CLayerMngr& layers)
{
    const double turn = std::fmod(degrees, 360.0);
    // Right angles take the exact paths.
    if (std::fmod(turn, 90.0) == 0.0) {
        const int quarters = (int(turn / 90.0) % 4 + 4) % 4;
        if (quarters == 0)
            return LayerLike(from, std::make_unique<CBlockVMTC>(*from.Store), from.OriginX, from.OriginY, layers);
        if (quarters == 2)
            return HalfTurned(from, layers);
        return QuarterTurned(from, quarters == 1, layers);
    }
    // The picture's centre in store coordinates.
    const double cx = from.OriginX + from.NominalW / 2.0, cy = from.OriginY + from.NominalH / 2.0;
    Point topLeft;
    std::unique_ptr<CBlockVMTC> store = RotateStore(*from.Store, cx, cy, turn, topLeft);
    return LayerLike(from, std::move(store), int64_t(from.OriginX) - topLeft.x, int64_t(from.OriginY) - topLeft.y,
                     layers);
}

// ⌊v + 0.5⌋, saturated.
int64_t RoundDown(double v) { return truncSat<int64_t>(std::floor(v + 0.5)); }

std::unique_ptr<CLayerData> Scaled(const CLayerData& from, int32_t width, int32_t height, const CLayerMngr& layers)
{
    const double fx = double(width) / from.NominalW, fy = double(height) / from.NominalH;
    const int64_t sw = RoundDown(from.Store->Width * fx), sh = RoundDown(from.Store->Height * fy);
    if (!IsStoreSizeAllowed(sw, sh))
        return nullptr;
    auto store = std::make_unique<CBlockVMTC>(int32_t(sw), int32_t(sh));
    store->DefaultUniform = from.Store->DefaultUniform;
    if (!store->IsValid() || !ScaleLayerStore(*from.Store, *store))
        return nullptr;
    store->Compact();
    return LayerLike(from, std::move(store), RoundDown(from.OriginX * fx), RoundDown(from.OriginY * fy), layers);
}
} // namespace

// ---- a layer replaced by a transformed copy ----------------------------------------

ReplaceLayerOp::ReplaceLayerOp() = default;
ReplaceLayerOp::ReplaceLayerOp(ReplaceLayerOp&&) noexcept = default;
ReplaceLayerOp::~ReplaceLayerOp() = default;

Verdict ReplaceLayerOp::CheckLayer(OpContext& c, bool valid)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    return layer && layer->HasStore() && valid ? Verdict::Go : Verdict::Refuse;
}

// Filled by Apply: the rectangle and the Id are the new layer's.
HistoryRecord ReplaceLayerOp::History(OpContext&)
{
    HistoryRecord h;
    h.record = CUndoData::Command(UndoKind::ReplaceLayer, index, -1, {});
    return h;
}

bool ReplaceLayerOp::Apply(OpContext& c, CUndoData* record)
{
    std::unique_ptr<CLayerData> former = c.paper.Layers().ReplaceLayer(index, std::move(replacement));
    if (!record)
        return true;
    const CLayerData& now = *c.paper.LayerAt(index);
    record->layerId = now.Id;
    // The record refreshes in the store coordinates of whichever layer is
    // in: the picture's place in both stores covers the picture for either.
    const int32_t left = std::min(now.OriginX, former->OriginX), top = std::min(now.OriginY, former->OriginY);
    record->rect = {left, top, c.paper.Width + std::abs(now.OriginX - former->OriginX),
                    c.paper.Height + std::abs(now.OriginY - former->OriginY)};
    // Records of the former layer name its Id: without this one the history
    // could not reach them again.
    record->kept.layer = std::move(former);
    return true;
}

void ReplaceLayerOp::Refresh(OpContext& c)
{
    TPaper& paper = c.paper;
    paper.Host().MarkModified();
    paper.RenderAll(true);
    paper.LayerChanged(index, {0, 0, paper.Width, paper.Height});
    paper.SelectLayer(paper.CurrentLayer());
}

RotateLayer90Op::RotateLayer90Op(int32_t i, bool cw) : clockwise(cw) { index = i; }

Verdict RotateLayer90Op::Check(OpContext& c) { return CheckLayer(c, true); }

bool RotateLayer90Op::Prepare(OpContext& c)
{
    replacement = Built([&] { return QuarterTurned(*c.paper.LayerAt(index), clockwise, c.paper.Layers()); });
    return replacement != nullptr;
}

std::vector<uint8_t> RotateLayer90Op::Packet(OpContext&) const
{
    LayerIndexPayload p;
    p.SetKind(clockwise ? PacketId::RotateLayerRight : PacketId::RotateLayerLeft);
    p.layer = int16_t(index);
    return p.Encode();
}

std::optional<RotateLayer90Op> RotateLayer90Op::Replayed(OpContext&, PacketId id, const LayerIndexPayload& p)
{
    return RotateLayer90Op(p.layer, id == PacketId::RotateLayerRight);
}

RotateLayerFreeOp::RotateLayerFreeOp(int32_t i, float d) : degrees(d) { index = i; }

Verdict RotateLayerFreeOp::Check(OpContext& c) { return CheckLayer(c, std::isfinite(degrees)); }

bool RotateLayerFreeOp::Prepare(OpContext& c)
{
    replacement = Built([&] { return FreelyTurned(*c.paper.LayerAt(index), degrees, c.paper.Layers()); });
    return replacement != nullptr;
}

std::vector<uint8_t> RotateLayerFreeOp::Packet(OpContext&) const
{
    RotateLayerPayload p;
    p.layer = int16_t(index), p.degrees = degrees;
    return p.Encode();
}

std::optional<RotateLayerFreeOp> RotateLayerFreeOp::Replayed(OpContext&, PacketId, const RotateLayerPayload& p)
{
    return RotateLayerFreeOp(p.layer, p.degrees);
}

ScaleLayerOp::ScaleLayerOp(int32_t i, int32_t w, int32_t h) : width(w), height(h) { index = i; }

Verdict ScaleLayerOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    return CheckLayer(c, IsStoreSizeAllowed(width, height) && layer && layer->NominalW >= 1 && layer->NominalH >= 1);
}

bool ScaleLayerOp::Prepare(OpContext& c)
{
    replacement = Built([&] { return Scaled(*c.paper.LayerAt(index), width, height, c.paper.Layers()); });
    return replacement != nullptr;
}

std::vector<uint8_t> ScaleLayerOp::Packet(OpContext&) const
{
    ScaleLayerPayload p;
    p.layer = int16_t(index), p.second = height, p.first = width;
    return p.Encode();
}

std::optional<ScaleLayerOp> ScaleLayerOp::Replayed(OpContext&, PacketId, const ScaleLayerPayload& p)
{
    if (!IsStoreSizeAllowed(p.first, p.second))
        return std::nullopt;
    return ScaleLayerOp(p.layer, p.first, p.second);
}

// ---- the document's side ------------------------------------------------------------

bool TPaper::RotateLayer90(int32_t index, bool clockwise, bool record)
{
    return RunOperation(*this, RotateLayer90Op(index, clockwise), record);
}

bool TPaper::RotateLayerFree(int32_t index, float degrees, bool record)
{
    return RunOperation(*this, RotateLayerFreeOp(index, degrees), record);
}

TrimLayerOutsideOp::TrimLayerOutsideOp(int32_t i) { index = i; }

// A store no larger than the picture has nothing outside it.
Verdict TrimLayerOutsideOp::Check(OpContext& c)
{
    const Verdict v = CheckLayer(c, true);
    return v == Verdict::Go && !c.paper.LayerAt(index)->IsLargerThanPicture() ? Verdict::Unchanged : v;
}

bool TrimLayerOutsideOp::Prepare(OpContext& c)
{
    replacement = Built([&]() -> std::unique_ptr<CLayerData> {
        const CLayerData& from = *c.paper.LayerAt(index);
        std::unique_ptr<CLayerData> cut = from.Resized(from.NominalW, from.NominalH, {-from.OriginX, -from.OriginY});
        if (!cut)
            return nullptr;
        cut->CopyAttributes(from);
        cut->Store->Compact();
        if (!cut->SizeThumbnail(c.paper.Layers().ThumbW, c.paper.Layers().ThumbH) || !cut->RefreshThumbnail())
            return nullptr;
        return cut;
    });
    return replacement != nullptr;
}

std::vector<uint8_t> TrimLayerOutsideOp::Packet(OpContext&) const
{
    LayerIndexPayload p;
    p.SetKind(PacketId::TrimLayer);
    p.layer = int16_t(index), p.value = int16_t(index);
    return p.Encode();
}

std::optional<TrimLayerOutsideOp> TrimLayerOutsideOp::Replayed(OpContext&, PacketId, const LayerIndexPayload& p)
{
    if (p.value != p.layer)
        return std::nullopt;
    return TrimLayerOutsideOp(p.layer);
}

bool TPaper::TrimLayerOutside(int32_t layer, bool record)
{
    return RunOperation(*this, TrimLayerOutsideOp(layer), record);
}

bool TPaper::ScaleLayer(int32_t index, int32_t width, int32_t height, bool record)
{
    return RunOperation(*this, ScaleLayerOp(index, width, height), record);
}

} // namespace morvane
