// Operations of the layer panel that change the stack: add, delete,
// duplicate, move, merge down, merge visible, alpha changes. New layers are
// built whole before their packet is recorded; the merges are made by the
// stack and put back when the packet cannot be kept, so the stream never
// holds a change the picture lacks.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "codecs/CodePage.h"
#include "document/EventPacket.h"
#include "document/LayerComposite.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "platform/BusyCursor.h"
#include "platform/UserNotifier.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";
// The byte merge visible records for "no method".
constexpr uint8_t kNoMethod = 0xFF;

bool IsNewLayerValid(int32_t width, int32_t height, int32_t opacity, int32_t mode)
{
    return IsStoreSizeAllowed(width, height) && opacity >= 0 && opacity <= 255 && IsValidMode(mode);
}

// Low half the merge kind 0-3, high half the flags 1 (skip transparent) and
// 2 (take all of the lower layer's attributes).
bool IsMergeMethod(int32_t method) { return method >= 0 && (method & 0xFFFF) <= 3 && (method >> 16) <= 3; }

uint16_t LayerFlags(const CLayerData& layer)
{
    return uint16_t((layer.Visible ? 1 : 0) | (layer.ProtectAlpha ? 2 : 0));
}

// The picture's place in the layer's store: the rectangle an undo record
// refreshes.
ExtentRect PictureInStore(const CLayerData& layer, int32_t width, int32_t height)
{
    return {layer.OriginX, layer.OriginY, width, height};
}

// A layer made exactly as the stack's AddLayer makes one (store, nominal
// size, thumbnail, dither seed), in a scratch stack so that nothing of the
// document changes until it goes in. nullptr when AddLayer refused it (it
// told the user why).
std::unique_ptr<CLayerData> BuiltLayer(const CLayerMngr& layers, int32_t index, int32_t width, int32_t height,
                                       bool visible, int32_t opacity, int32_t mode)
{
    try {
        CLayerMngr scratch(1);
        scratch.PictureW = layers.PictureW;
        scratch.PictureH = layers.PictureH;
        scratch.ThumbW = layers.ThumbW;
        scratch.ThumbH = layers.ThumbH;
        scratch.CreatedCount = layers.CreatedCount;
        if (scratch.AddLayer(index, width, visible, uint8_t(opacity), mode, height) < 0)
            return nullptr;
        return scratch.RemoveLayer(0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<CLayerData> CopiedLayer(const CLayerData& source)
{
    try {
        auto copy = std::make_unique<CLayerData>(source.Position);
        // The thumbnail comes along with the copy: it shows the same pixels.
        if (!copy->CopyFrom(source))
            return nullptr;
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Room for one more layer, so that inserting cannot fail once recorded.
bool RoomForOne(CLayerMngr& layers)
{
    try {
        layers.Reserve(1);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The name as a string field: CP932 bytes, zero-filled to (len + 2) & ~1.
std::vector<uint8_t> NameField(const std::string& name)
{
    const std::string bytes = Utf8ToCp932(name);
    std::vector<uint8_t> field((bytes.size() + 2) & ~size_t(1), 0);
    std::copy(bytes.begin(), bytes.end(), field.begin());
    return field;
}

// ---- merge visible: the layers that leave ----------------------------------------------

// Where each layer that leaves stood and its Id: the bottom, then the
// visible ones above it, bottom up. The merge visible record keeps it.
struct SLeaving {
    int32_t index, id;
};

class CLeavingTable final : public IUndoKept {
public:
    explicit CLeavingTable(const CLayerMngr& layers)
    {
        for (int32_t i = 0; i < layers.Count(); ++i)
            if (i == 0 || layers.At(i)->Visible)
                entries.push_back({i, layers.At(i)->Id});
    }
    int64_t HeldBytes() const override { return int64_t(entries.size() * sizeof(SLeaving)); }
    int32_t Count() const { return int32_t(entries.size()); }

    std::vector<SLeaving> entries;
};

// The merged layer (Id mergedId, at the bottom) goes out into merged and
// the layers of `away` come back where they stood. False, nothing changed,
// when the stack or `away` is not the one the table describes.
bool PutBackMerged(CLayerMngr& layers, int32_t mergedId, const CLeavingTable& table, CLayerMngr& away,
                   std::unique_ptr<CLayerData>& merged)
{
    const int32_t n = table.Count();
    if (n < 1 || away.Count() != n || layers.IdAt(0) != mergedId ||
        int64_t(layers.Count()) + n - 1 > CLayerMngr::kMaxLayers)
        return false;
    for (int32_t k = 0; k < n; ++k)
        if (away.IdAt(k) != table.entries[size_t(k)].id)
            return false;
    try {
        layers.Reserve(n - 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    merged = layers.ReplaceLayer(0, away.RemoveLayer(0));
    // Bottom up, so every index is the one the layer had.
    for (int32_t k = 1; k < n; ++k)
        layers.InsertLayer(table.entries[size_t(k)].index, away.RemoveLayer(0));
    return true;
}

// The reverse: the table's layers leave into `away` and merged takes the
// bottom place.
bool TakeAwayMerged(CLayerMngr& layers, std::unique_ptr<CLayerData>& merged, const CLeavingTable& table,
                    CLayerMngr& away)
{
    const int32_t n = table.Count();
    if (n < 1 || !merged || away.Count() != 0)
        return false;
    for (const SLeaving& e : table.entries)
        if (layers.IdAt(e.index) != e.id)
            return false;
    try {
        away.Reserve(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int32_t k = n - 1; k >= 1; --k)
        away.InsertLayer(0, layers.RemoveLayer(table.entries[size_t(k)].index));
    away.InsertLayer(0, layers.ReplaceLayer(0, std::move(merged)));
    return true;
}
} // namespace

// ---- add, duplicate, delete, move ------------------------------------------------------

bool TPaper::AddLayer(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                      bool record)
{
    return AddNewLayer(index, width, height, visible, opacity, mode, nullptr, 0, record);
}

bool TPaper::AddLayerNamed(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                           const std::string& name, uint32_t fill, bool record)
{
    return AddNewLayer(index, width, height, visible, opacity, mode, &name, fill, record);
}

bool TPaper::AddNewLayer(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                         const std::string* name, uint32_t fill, bool record)
{
    const std::vector<uint8_t> field = name ? NameField(*name) : std::vector<uint8_t>{};
    // The field's length is a u16 of the packet.
    if (!IsNewLayerValid(width, height, opacity, mode) || !layers_->CanAdd() || field.size() > 0xFFFF)
        return false;
    std::unique_ptr<CLayerData> layer = BuiltLayer(*layers_, index, width, height, visible, opacity, mode);
    if (!layer || !RoomForOne(*layers_))
        return index >= 0 && LayerMemoryFailed(record);
    const int32_t at = std::min(index, layers_->Count());
    EventPacket packet(4, 0, 14);
    if (!name) {
        layer->Name = layers_->NextName(1);
        packet.I16(0, at).I32(2, width).I32(6, height).Byte(10, uint8_t(mode)).Byte(11, uint8_t(opacity));
        packet.I16(12, LayerFlags(*layer));
    } else {
        layer->Name = *name;
        // One uniform value per block: no pixel memory is taken.
        layer->Store->FillAll(fill);
        layer->RefreshThumbnail();
        packet = EventPacket(4, 11, 42 + field.size());
        packet.I16(0, at).I32(2, width).I32(6, height).Byte(18, uint8_t(mode)).Byte(19, uint8_t(opacity));
        packet.I16(20, LayerFlags(*layer)).U32(22, fill).I16(40, int32_t(field.size()));
        for (size_t i = 0; i < field.size(); ++i)
            packet.Byte(42 + i, field[i]);
    }
    if (record && !packet.SendTo(*recorder_))
        return false;
    // The dialog proposed the next default name: it is used up either way.
    ++layers_->NameCounter;
    ++layers_->CreatedCount;
    return InsertNewLayer(std::move(layer), at, kUndoNewLayer, record);
}

bool TPaper::DuplicateLayer(int32_t index, bool record)
{
    const CLayerData* source = layers_->At(index);
    if (!source || !source->HasStore() || !layers_->CanAdd())
        return false;
    BusyCursor busy;
    std::unique_ptr<CLayerData> copy = CopiedLayer(*source);
    if (!copy || !RoomForOne(*layers_))
        return LayerMemoryFailed(record);
    if (record && !EventPacket(4, 3, 4).I16(0, index).I16(2, index).SendTo(*recorder_))
        return false;
    return InsertNewLayer(std::move(copy), index + 1, 29, record);
}

bool TPaper::InsertNewLayer(std::unique_ptr<CLayerData> layer, int32_t index, int kind, bool record)
{
    const EdgeRect bounds = layer->ContentBounds();
    if (record) {
        SUndoCommand command;
        command.kind = kind;
        command.layerIndex = index;
        command.layerId = layer->Id;
        command.rect = PictureInStore(*layer, Width, Height);
        // Undo makes this layer current again.
        command.values.a = layers_->Current();
        PushOrDropHistory(std::move(command));
    }
    layers_->InsertLayer(index, std::move(layer));
    layers_->SetCurrent(index);
    RefreshStackArea(bounds);
    return true;
}

bool TPaper::DeleteLayer(int32_t index, bool record)
{
    const CLayerData* layer = layers_->At(index);
    if (!layer || layers_->Count() < 2)
        return false;
    if (record && !EventPacket(4, 1, 4).I16(0, index).I16(2, index).SendTo(*recorder_))
        return false;
    const EdgeRect bounds = layer->ContentBounds();
    SUndoCommand command;
    command.kind = kUndoDeleteLayer;
    command.layerIndex = index;
    command.layerId = layer->Id;
    command.rect = PictureInStore(*layer, Width, Height);
    command.kept.layer = layers_->RemoveLayer(index);
    // Without a history the layer is freed with the command.
    if (record)
        PushOrDropHistory(std::move(command));
    RefreshStackArea(bounds);
    return true;
}

bool TPaper::MoveLayer(int32_t from, int32_t to, bool record)
{
    const CLayerData* layer = layers_->At(from);
    if (!layer || !layers_->IsValidIndex(to) || from == to)
        return false;
    if (record && !EventPacket(4, 4, 4).I16(0, from).I16(2, to).SendTo(*recorder_))
        return false;
    if (record) {
        SUndoCommand command;
        command.kind = 31;
        command.layerIndex = to;
        command.layerId = layer->Id;
        command.rect = PictureInStore(*layer, Width, Height);
        command.values.a = from;
        command.values.b = to;
        PushOrDropHistory(std::move(command));
    }
    const EdgeRect bounds = layer->ContentBounds();
    const bool wasCurrent = layers_->Current() == from;
    layers_->MoveLayer(to, from);
    if (wasCurrent)
        layers_->SetCurrent(to);
    RefreshStackArea(bounds);
    return true;
}

// ---- merges ------------------------------------------------------------------------

bool TPaper::MergeLayerDown(int32_t upper, int32_t method, bool withMethod, bool record)
{
    const int32_t lower = upper - 1;
    if (!layers_->IsValidIndex(upper) || lower < 0 || !IsMergeMethod(method))
        return false;
    BusyCursor busy;
    const int32_t upperId = layers_->IdAt(upper);
    std::unique_ptr<CLayerData> former;
    // The stack tells the user itself when the merge cannot be made.
    if (!layers_->MergeDown(lower, upper, true, method, &former))
        return false;
    const EventPacket packet = withMethod ? EventPacket(4, 10, 12).I16(0, upper).I16(2, lower).I32(4, method)
                                          : EventPacket(4, 5, 4).I16(0, upper).I16(2, lower);
    if (record && !packet.SendTo(*recorder_)) {
        layers_->ReplaceLayer(lower, std::move(former));
        return false;
    }
    const CLayerData& merged = *layers_->At(lower);
    SUndoCommand command;
    command.kind = 32;
    command.layerIndex = lower;
    command.layerId = merged.Id;
    // The picture's place in the stores of both the merged and the former
    // lower layer, whichever is in when the record is applied.
    const int32_t left = std::min(merged.OriginX, former->OriginX), top = std::min(merged.OriginY, former->OriginY);
    command.rect = {left, top, Width + std::abs(merged.OriginX - former->OriginX),
                    Height + std::abs(merged.OriginY - former->OriginY)};
    command.values.a = method;
    command.values.b = upperId;
    command.kept.layer = layers_->RemoveLayer(upper);
    command.kept.layer2 = std::move(former);
    if (record)
        PushOrDropHistory(std::move(command));
    layers_->SetCurrent(lower);
    RefreshWholePicture();
    return true;
}

bool TPaper::MergeVisibleLayers(int32_t method, bool backgroundOnly, bool record)
{
    if (method < -1 || method > 3)
        return false;
    BusyCursor busy;
    std::unique_ptr<CLeavingTable> table;
    std::unique_ptr<CLayerMngr> away;
    try {
        table = std::make_unique<CLeavingTable>(*layers_);
        away = std::make_unique<CLayerMngr>(0);
    } catch (const std::bad_alloc&) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    const int32_t previous = layers_->Current();
    // Refusals and memory failures leave the stack as it was (the latter
    // with the user told).
    if (!morvane::MergeVisible(*layers_, method, backgroundOnly, *away))
        return false;
    const CLayerData& merged = *layers_->At(0);
    // The bottom index is always 0.
    if (record && !EventPacket(2, 10, 12).Byte(0, method < 0 ? kNoMethod : uint8_t(method)).SendTo(*recorder_)) {
        std::unique_ptr<CLayerData> dropped;
        PutBackMerged(*layers_, merged.Id, *table, *away, dropped);
        return false;
    }
    if (record) {
        SUndoCommand command;
        command.kind = 33;
        command.layerIndex = 0;
        command.layerId = merged.Id;
        command.rect = PictureInStore(merged, Width, Height);
        command.values.a = previous;
        command.kept.stack = std::move(away);
        command.kept.object = std::move(table);
        PushOrDropHistory(std::move(command));
    }
    layers_->SetCurrent(0);
    RefreshWholePicture();
    return true;
}

// ---- alpha -------------------------------------------------------------------------

bool TPaper::SetLayerAlpha(int32_t index, int32_t alpha, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer || !layer->HasStore() || (alpha != 0 && alpha != 255))
        return false;
    const ExtentRect whole{0, 0, layer->Store->Width, layer->Store->Height};
    if (record) {
        if (!EventPacket(4, 24, 4).I16(0, index).I16(2, alpha).SendTo(*recorder_))
            return false;
        // A refused alpha plane (memory) would leave the history out of step.
        if (undo_ && !undo_->PushPixels(*layer, index, whole, kUndoAlphaPlane))
            undo_->ClearHistory();
    }
    // Over the whole store every piece covers its block's used part, so only
    // the blocks' values change and no memory is taken: this cannot fail.
    layer->SetAllAlpha(uint8_t(alpha));
    host_.MarkModified();
    RenderRect({0, 0, Width, Height}, true);
    host_.InvalidateRect({0, 0, Width, Height});
    LayerChanged(index, {0, 0, Width, Height});
    return true;
}

// The document keeps no masks yet: without a current selection there is
// nothing to take the alpha from.
bool TPaper::MaskIntoAlpha(int32_t, bool) { return false; }

// Likewise: no selection, nothing to copy or move into a new layer.
bool TPaper::SelectionToLayer(int32_t, bool, bool) { return false; }

// ---- shared steps ------------------------------------------------------------------

void TPaper::PushOrDropHistory(SUndoCommand command)
{
    if (undo_ && !undo_->PushCommand(std::move(command)))
        undo_->ClearHistory();
}

bool TPaper::LayerMemoryFailed(bool record)
{
    Notifier().Warn(kNoMemory);
    if (record && undo_) {
        undo_->ClearHistory();
        recorder_->DiscardRedoSteps();
    }
    return false;
}

void TPaper::RefreshStackArea(const EdgeRect& contentBounds)
{
    EdgeRect area;
    host_.MarkModified();
    if (Intersect(contentBounds, {0, 0, Width, Height}, area)) {
        RenderRect(ToExtent(area), true);
        host_.InvalidateRect(ToExtent(area));
    }
    SelectLayer(layers_->Current());
    host_.RefreshLayerList();
}

// ---- history -----------------------------------------------------------------------

bool TPaper::ApplyLayerStackRecord(CUndoData& record, bool undo)
{
    switch (record.kind) {
    case 32: return ApplyMergeDownRecord(record, undo);
    case 33: return ApplyMergeVisibleRecord(record, undo);
    // Selection to a new layer and link-group merges push no records yet.
    default: return false;
    }
}

// Undo puts the former lower layer back in place of the merged one (which
// is freed) and the upper layer above it; redo merges again.
bool TPaper::ApplyMergeDownRecord(CUndoData& record, bool undo)
{
    SUndoKept& kept = record.kept;
    const int32_t lower = layers_->IndexOfId(record.layerId);
    if (lower < 0)
        return false;
    if (undo) {
        if (!kept.layer || !kept.layer2 || kept.layer->Id != record.values.b || kept.layer2->Id != record.layerId ||
            !layers_->CanAdd() || !RoomForOne(*layers_))
            return false;
        layers_->ReplaceLayer(lower, std::move(kept.layer2));
        layers_->InsertLayer(lower + 1, std::move(kept.layer));
        layers_->SetCurrent(lower + 1);
        return true;
    }
    if (kept.layer || kept.layer2 || layers_->IdAt(lower + 1) != record.values.b ||
        !layers_->MergeDown(lower, lower + 1, true, record.values.a, &kept.layer2))
        return false;
    kept.layer = layers_->RemoveLayer(lower + 1);
    layers_->SetCurrent(lower);
    return true;
}

// The merged layer and the layers it replaced change places: undo brings the
// old ones back where they stood, redo takes them out again.
bool TPaper::ApplyMergeVisibleRecord(CUndoData& record, bool undo)
{
    const auto* table = dynamic_cast<const CLeavingTable*>(record.kept.object.get());
    if (!table || !record.kept.stack)
        return false;
    if (!undo) {
        if (!TakeAwayMerged(*layers_, record.kept.layer, *table, *record.kept.stack))
            return false;
        layers_->SetCurrent(0);
        return true;
    }
    if (record.kept.layer ||
        !PutBackMerged(*layers_, record.layerId, *table, *record.kept.stack, record.kept.layer))
        return false;
    layers_->SetCurrent(record.values.a);
    return true;
}

} // namespace morvane
