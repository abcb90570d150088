// Operations that replace one layer by a transformed copy of itself: rotate
// by 90 degrees or by any angle, scale. The copy is made whole before
// anything is recorded or touched; the former layer moves into the history.
// Each turns the layer's content about the picture's centre, so the picture
// itself keeps its place and size.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "document/EventPacket.h"
#include "document/TPaper.h"
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

bool Recorded(const EventPacket& packet, EventRecorder& recorder, bool record)
{
    return !record || packet.SendTo(recorder);
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

bool TPaper::RotateLayer90(int32_t index, bool clockwise, bool record)
{
    const CLayerData* layer = layers_->At(index);
    if (!layer || !layer->HasStore())
        return false;
    BusyCursor busy;
    std::unique_ptr<CLayerData> turned = Built([&] { return QuarterTurned(*layer, clockwise, *layers_); });
    return turned && Recorded(EventPacket(4, clockwise ? 36 : 37, 4).I16(0, index), *recorder_, record) &&
           ReplaceLayer(index, std::move(turned), record);
}

bool TPaper::RotateLayerFree(int32_t index, float degrees, bool record)
{
    const CLayerData* layer = layers_->At(index);
    if (!layer || !layer->HasStore() || !std::isfinite(degrees))
        return false;
    BusyCursor busy;
    std::unique_ptr<CLayerData> turned = Built([&] { return FreelyTurned(*layer, degrees, *layers_); });
    return turned && Recorded(EventPacket(4, 38, 12).I16(0, index).F32(4, degrees), *recorder_, record) &&
           ReplaceLayer(index, std::move(turned), record);
}

bool TPaper::ScaleLayer(int32_t index, int32_t width, int32_t height, bool record)
{
    const CLayerData* layer = layers_->At(index);
    if (!layer || !layer->HasStore() || !IsStoreSizeAllowed(width, height) || layer->NominalW < 1 ||
        layer->NominalH < 1)
        return false;
    BusyCursor busy;
    std::unique_ptr<CLayerData> scaled = Built([&] { return Scaled(*layer, width, height, *layers_); });
    return scaled &&
           Recorded(EventPacket(4, 39, 12).I16(0, index).I32(4, height).I32(8, width), *recorder_, record) &&
           ReplaceLayer(index, std::move(scaled), record);
}

bool TPaper::ReplaceLayer(int32_t index, std::unique_ptr<CLayerData> layer, bool record)
{
    if (!layer || !layers_->IsValidIndex(index))
        return false;
    std::unique_ptr<CLayerData> former = layers_->ReplaceLayer(index, std::move(layer));
    const CLayerData& now = *layers_->At(index);
    if (record && undo_) {
        SUndoCommand command;
        command.kind = kUndoReplaceLayer;
        command.layerIndex = index;
        command.layerId = now.Id;
        // The record refreshes in the store coordinates of whichever layer
        // is in: the picture's place in both stores covers the picture for
        // either.
        const int32_t left = std::min(now.OriginX, former->OriginX), top = std::min(now.OriginY, former->OriginY);
        command.rect = {left, top, Width + std::abs(now.OriginX - former->OriginX),
                        Height + std::abs(now.OriginY - former->OriginY)};
        command.kept.layer = std::move(former);
        // Records of the former layer name its Id: without this one the
        // history could not reach them again.
        if (!undo_->PushCommand(std::move(command)))
            undo_->ClearHistory();
    }
    host_.MarkModified();
    RenderAll(true);
    LayerChanged(index, {0, 0, Width, Height});
    SelectLayer(layers_->Current());
    return true;
}

} // namespace morvane
