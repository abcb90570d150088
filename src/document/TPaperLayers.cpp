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
#include "document/CMaskMngr.h"
#include "document/LayerBuild.h"
#include "document/LayerComposite.h"
#include "document/LayerOperations.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";
// The byte merge visible records for "no method".
constexpr uint8_t kNoMethod = 0xFF;
constexpr uint16_t kVisibleBit = 1, kProtectBit = 2;

bool IsNewLayerValid(int32_t width, int32_t height, int32_t opacity, int32_t mode)
{
    return IsStoreSizeAllowed(width, height) && opacity >= 0 && opacity <= 255 && IsValidMode(mode);
}

// Low half the merge kind 0-3, high half the flags 1 (skip transparent) and
// 2 (take all of the lower layer's attributes).
bool IsMergeMethod(int32_t method) { return method >= 0 && (method & 0xFFFF) <= 3 && (method >> 16) <= 3; }

uint16_t LayerFlags(const CLayerData& layer)
{
    return uint16_t((layer.Visible ? kVisibleBit : 0) | (layer.ProtectAlpha ? kProtectBit : 0));
}

// The picture's place in the layer's store: the rectangle an undo record
// refreshes.
ExtentRect PictureInStore(const CLayerData& layer, int32_t width, int32_t height)
{
    return {layer.OriginX, layer.OriginY, width, height};
}

// A record of the stack's kinds: the layer it concerns and where.
HistoryRecord StackRecord(UndoKind kind, int32_t index, int32_t id, const ExtentRect& rect, SUndoValues values = {})
{
    HistoryRecord h;
    h.record = CUndoData::Command(kind, index, id, rect, values);
    return h;
}

// ---- merge visible: the layers that leave ----------------------------------------------

// Where each layer that leaves stood and its Id: the bottom, then the
// visible ones above it, bottom up. The merge visible record keeps it.
struct SLeaving {
    int32_t index, id;
};

} // namespace

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

namespace {

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

bool IsLayerOf(const TPaper& paper, int32_t index) { return index >= 0 && index < paper.LayerCount(); }

} // namespace

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

// A layer built by add or duplicate goes in at index and becomes current.
void InsertLayer(CLayerMngr& layers, std::unique_ptr<CLayerData> layer, int32_t index)
{
    layers.InsertLayer(index, std::move(layer));
    layers.SetCurrent(index);
}

HistoryRecord InsertRecord(UndoKind kind, const CLayerData& layer, int32_t index, const TPaper& paper)
{
    // Undo makes the current layer current again.
    SUndoValues values;
    values.a = paper.CurrentLayer();
    return StackRecord(kind, index, layer.Id, PictureInStore(layer, paper.Width, paper.Height), values);
}

// ---- add --------------------------------------------------------------------------

Verdict AddLayerOp::Check(OpContext& c)
{
    // The name field's length is a u16 of the packet, and the name must
    // come back from CP932 as typed.
    const bool nameFits = !name || (Cp932CanHold(*name) && StringFieldSize(Utf8ToCp932(*name).size()) <= 0xFFFF);
    return IsNewLayerValid(width, height, opacity, mode) && c.paper.Layers().CanAdd() && nameFits ? Verdict::Go
                                                                                                   : Verdict::Refuse;
}

bool AddLayerOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    layer = BuiltLayer(layers, index, width, height, visible, opacity, mode);
    if (!layer || !RoomForOne(layers))
        return index >= 0 && c.paper.LayerMemoryFailed(c.record);
    at = std::min(index, layers.Count());
    layer->ProtectAlpha = protect;
    if (!name) {
        layer->Name = layers.NextName(1);
    } else {
        layer->Name = *name;
        // One uniform value per block: no pixel memory is taken.
        layer->Store->FillAll(fill);
        layer->RefreshThumbnail();
    }
    bounds = layer->ContentBounds();
    return true;
}

std::vector<uint8_t> AddLayerOp::Packet(OpContext&) const
{
    if (!name) {
        NewLayerQuickPayload p;
        p.layer = int16_t(at), p.width = width, p.height = height, p.mode = uint8_t(mode);
        p.opacity = uint8_t(opacity), p.flags = LayerFlags(*layer);
        return p.Encode();
    }
    NewLayerPayload p;
    p.layer = int16_t(at), p.width = width, p.height = height, p.mode = uint8_t(mode);
    p.opacity = uint8_t(opacity), p.flags = LayerFlags(*layer), p.colour = fill, p.name = Utf8ToCp932(*name);
    return p.Encode();
}

HistoryRecord AddLayerOp::History(OpContext& c) { return InsertRecord(UndoKind::NewLayer, *layer, at, c.paper); }

bool AddLayerOp::Apply(OpContext& c, CUndoData*)
{
    CLayerMngr& layers = c.paper.Layers();
    // The dialog proposed the next default name: it is used up either way.
    ++layers.NameCounter;
    ++layers.CreatedCount;
    InsertLayer(layers, std::move(layer), at);
    return true;
}

void AddLayerOp::Refresh(OpContext& c) { c.paper.RefreshStackArea(bounds); }

std::optional<AddLayerOp> AddLayerOp::Replayed(OpContext& c, PacketId, const NewLayerQuickPayload& p)
{
    if (p.layer > c.paper.LayerCount())
        return std::nullopt;
    AddLayerOp op;
    op.index = p.layer, op.width = p.width, op.height = p.height, op.visible = p.flags & kVisibleBit;
    op.opacity = p.opacity, op.mode = p.mode, op.protect = (p.flags & kProtectBit) != 0;
    return op;
}

std::optional<AddLayerOp> AddLayerOp::Replayed(OpContext& c, PacketId, const NewLayerPayload& p)
{
    if (p.layer > c.paper.LayerCount())
        return std::nullopt;
    AddLayerOp op;
    op.index = p.layer, op.width = p.width, op.height = p.height, op.visible = p.flags & kVisibleBit;
    op.opacity = p.opacity, op.mode = p.mode, op.protect = (p.flags & kProtectBit) != 0;
    op.name = Cp932ToUtf8(p.name);
    op.fill = p.colour;
    return op;
}

// ---- delete -----------------------------------------------------------------------

Verdict DeleteLayerOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    if (!layer || c.paper.LayerCount() < 2)
        return Verdict::Refuse;
    bounds = layer->ContentBounds();
    return Verdict::Go;
}

std::vector<uint8_t> DeleteLayerOp::Packet(OpContext&) const
{
    LayerIndexPayload p;
    p.SetKind(PacketId::DeleteLayer);
    p.layer = int16_t(index), p.value = int16_t(index);
    return p.Encode();
}

HistoryRecord DeleteLayerOp::History(OpContext& c)
{
    const CLayerData& layer = *c.paper.LayerAt(index);
    return StackRecord(UndoKind::DeleteLayer, index, layer.Id, PictureInStore(layer, c.paper.Width, c.paper.Height));
}

bool DeleteLayerOp::Apply(OpContext& c, CUndoData* record)
{
    // Without a history the layer is freed here.
    std::unique_ptr<CLayerData> removed = c.paper.Layers().RemoveLayer(index);
    if (record)
        record->kept.layer = std::move(removed);
    return true;
}

void DeleteLayerOp::Refresh(OpContext& c) { c.paper.RefreshStackArea(bounds); }

std::optional<DeleteLayerOp> DeleteLayerOp::Replayed(OpContext&, PacketId, const LayerIndexPayload& p)
{
    if (p.value != p.layer)
        return std::nullopt;
    return DeleteLayerOp{p.layer};
}

// ---- duplicate ----------------------------------------------------------------------

Verdict DuplicateLayerOp::Check(OpContext& c)
{
    const CLayerData* source = c.paper.LayerAt(index);
    return source && source->HasStore() && c.paper.Layers().CanAdd() ? Verdict::Go : Verdict::Refuse;
}

bool DuplicateLayerOp::Prepare(OpContext& c)
{
    copy = CopiedLayer(*c.paper.LayerAt(index));
    if (!copy || !RoomForOne(c.paper.Layers()))
        return c.paper.LayerMemoryFailed(c.record);
    bounds = copy->ContentBounds();
    return true;
}

std::vector<uint8_t> DuplicateLayerOp::Packet(OpContext&) const
{
    LayerIndexPayload p;
    p.SetKind(PacketId::DuplicateLayer);
    p.layer = int16_t(index), p.value = int16_t(index);
    return p.Encode();
}

HistoryRecord DuplicateLayerOp::History(OpContext& c)
{
    return InsertRecord(UndoKind::DuplicateLayer, *copy, index + 1, c.paper);
}

bool DuplicateLayerOp::Apply(OpContext& c, CUndoData*)
{
    InsertLayer(c.paper.Layers(), std::move(copy), index + 1);
    return true;
}

void DuplicateLayerOp::Refresh(OpContext& c) { c.paper.RefreshStackArea(bounds); }

std::optional<DuplicateLayerOp> DuplicateLayerOp::Replayed(OpContext&, PacketId, const LayerIndexPayload& p)
{
    if (p.value != p.layer)
        return std::nullopt;
    return DuplicateLayerOp{p.layer};
}

// ---- move ---------------------------------------------------------------------------

Verdict MoveLayerOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(from);
    if (!layer || !c.paper.Layers().IsValidIndex(to) || from == to)
        return Verdict::Refuse;
    bounds = layer->ContentBounds();
    return Verdict::Go;
}

std::vector<uint8_t> MoveLayerOp::Packet(OpContext&) const
{
    LayerIndexPayload p;
    p.SetKind(PacketId::MoveLayer);
    p.layer = int16_t(from), p.value = int16_t(to);
    return p.Encode();
}

HistoryRecord MoveLayerOp::History(OpContext& c)
{
    const CLayerData& layer = *c.paper.LayerAt(from);
    return StackRecord(UndoKind::MoveLayer, to, layer.Id, PictureInStore(layer, c.paper.Width, c.paper.Height),
                       {from, to, 0, 0});
}

bool MoveLayerOp::Apply(OpContext& c, CUndoData*)
{
    CLayerMngr& layers = c.paper.Layers();
    const bool wasCurrent = layers.Current() == from;
    layers.MoveLayer(to, from);
    if (wasCurrent)
        layers.SetCurrent(to);
    return true;
}

void MoveLayerOp::Refresh(OpContext& c) { c.paper.RefreshStackArea(bounds); }

std::optional<MoveLayerOp> MoveLayerOp::Replayed(OpContext& c, PacketId, const LayerIndexPayload& p)
{
    if (!IsLayerOf(c.paper, p.value))
        return std::nullopt;
    return MoveLayerOp{p.layer, p.value};
}

// ---- merge down ---------------------------------------------------------------------

Verdict MergeDownOp::Check(OpContext& c)
{
    return c.paper.Layers().IsValidIndex(upper) && upper >= 1 && IsMergeMethod(method) ? Verdict::Go
                                                                                          : Verdict::Refuse;
}

bool MergeDownOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    upperId = layers.IdAt(upper);
    // The stack tells the user itself when the merge cannot be made.
    return layers.MergeDown(upper - 1, upper, true, method, &former);
}

std::vector<uint8_t> MergeDownOp::Packet(OpContext&) const
{
    if (!withMethod) {
        LayerIndexPayload p;
        p.SetKind(PacketId::MergeDownOld);
        p.layer = int16_t(upper), p.value = int16_t(upper - 1);
        return p.Encode();
    }
    MergeDownPayload p;
    p.layer = int16_t(upper), p.below = int16_t(upper - 1), p.option = method;
    return p.Encode();
}

void MergeDownOp::Revert(OpContext& c) { c.paper.Layers().ReplaceLayer(upper - 1, std::move(former)); }

HistoryRecord MergeDownOp::History(OpContext& c)
{
    const CLayerData& merged = *c.paper.LayerAt(upper - 1);
    // The picture's place in the stores of both the merged and the former
    // lower layer, whichever is in when the record is applied.
    const int32_t left = std::min(merged.OriginX, former->OriginX), top = std::min(merged.OriginY, former->OriginY);
    const ExtentRect rect{left, top, c.paper.Width + std::abs(merged.OriginX - former->OriginX),
                          c.paper.Height + std::abs(merged.OriginY - former->OriginY)};
    return StackRecord(UndoKind::MergeDown, upper - 1, merged.Id, rect, {method, upperId, 0, 0});
}

bool MergeDownOp::Apply(OpContext& c, CUndoData* record)
{
    CLayerMngr& layers = c.paper.Layers();
    std::unique_ptr<CLayerData> removed = layers.RemoveLayer(upper);
    if (record) {
        record->kept.layer = std::move(removed);
        record->kept.layer2 = std::move(former);
    }
    layers.SetCurrent(upper - 1);
    return true;
}

void MergeDownOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<MergeDownOp> MergeDownOp::Replayed(OpContext&, PacketId, const LayerIndexPayload& p)
{
    if (p.value != p.layer - 1)
        return std::nullopt;
    return MergeDownOp{p.layer, 0, false};
}

std::optional<MergeDownOp> MergeDownOp::Replayed(OpContext& c, PacketId, const MergeDownPayload& p)
{
    if (!IsLayerOf(c.paper, p.layer) || p.below != p.layer - 1)
        return std::nullopt;
    return MergeDownOp{p.layer, p.option, true};
}

// ---- merge visible ------------------------------------------------------------------

MergeVisibleOp::MergeVisibleOp() = default;
MergeVisibleOp::MergeVisibleOp(MergeVisibleOp&&) noexcept = default;
MergeVisibleOp::~MergeVisibleOp() = default;

Verdict MergeVisibleOp::Check(OpContext&) { return method >= -1 && method <= 3 ? Verdict::Go : Verdict::Refuse; }

bool MergeVisibleOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    try {
        table = std::make_unique<CLeavingTable>(layers);
        away = std::make_unique<CLayerMngr>(0);
    } catch (const std::bad_alloc&) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    previous = layers.Current();
    // Refusals and memory failures leave the stack as it was (the latter
    // with the user told).
    return morvane::MergeVisible(layers, method, backgroundOnly, *away);
}

std::vector<uint8_t> MergeVisibleOp::Packet(OpContext&) const
{
    // The bottom index is always 0.
    MergeVisiblePayload p;
    p.parameter = method < 0 ? kNoMethod : uint8_t(method);
    return p.Encode();
}

void MergeVisibleOp::Revert(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    std::unique_ptr<CLayerData> dropped;
    PutBackMerged(layers, layers.IdAt(0), *table, *away, dropped);
}

HistoryRecord MergeVisibleOp::History(OpContext& c)
{
    const CLayerData& merged = *c.paper.LayerAt(0);
    return StackRecord(UndoKind::MergeVisible, 0, merged.Id, PictureInStore(merged, c.paper.Width, c.paper.Height),
                       {previous, 0, 0, 0});
}

bool MergeVisibleOp::Apply(OpContext& c, CUndoData* record)
{
    if (record) {
        record->kept.stack = std::move(away);
        record->kept.object = std::move(table);
    }
    c.paper.Layers().SetCurrent(0);
    return true;
}

void MergeVisibleOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<MergeVisibleOp> MergeVisibleOp::Replayed(OpContext&, PacketId, const EmptyPayload&)
{
    MergeVisibleOp op;
    op.method = -1;
    return op;
}

// The background-only flag only narrows when the merge is allowed; a
// recorded merge was allowed.
std::optional<MergeVisibleOp> MergeVisibleOp::Replayed(OpContext&, PacketId, const MergeVisiblePayload& p)
{
    if (p.parameter != kNoMethod && p.parameter > 3)
        return std::nullopt;
    MergeVisibleOp op;
    op.method = p.parameter == kNoMethod ? -1 : p.parameter;
    return op;
}

// ---- alpha --------------------------------------------------------------------------

Verdict SetLayerAlphaOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    return layer && layer->HasStore() && (alpha == 0 || alpha == 255) ? Verdict::Go : Verdict::Refuse;
}

std::vector<uint8_t> SetLayerAlphaOp::Packet(OpContext&) const
{
    LayerIndexPayload p;
    p.SetKind(PacketId::SetLayerAlpha);
    p.layer = int16_t(index), p.value = int16_t(alpha);
    return p.Encode();
}

HistoryRecord WholeAlphaRecord(OpContext& c, int32_t index)
{
    CLayerData& layer = *c.paper.LayerAt(index);
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakePixels(layer, index, {0, 0, layer.Store->Width, layer.Store->Height},
                                                 UndoKind::AlphaPlane);
    return h;
}

void RefreshWholeLayer(OpContext& c, int32_t index)
{
    TPaper& paper = c.paper;
    const ExtentRect whole{0, 0, paper.Width, paper.Height};
    paper.Host().MarkModified();
    paper.RenderRect(whole, true);
    paper.Host().InvalidateRect(whole);
    paper.LayerChanged(index, whole);
}

HistoryRecord SetLayerAlphaOp::History(OpContext& c) { return WholeAlphaRecord(c, index); }

// Over the whole store every piece covers its block's used part, so only
// the blocks' values change and no memory is taken: this cannot fail.
bool SetLayerAlphaOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.LayerAt(index)->SetAllAlpha(uint8_t(alpha));
    return true;
}

void SetLayerAlphaOp::Refresh(OpContext& c) { RefreshWholeLayer(c, index); }

std::optional<SetLayerAlphaOp> SetLayerAlphaOp::Replayed(OpContext&, PacketId, const LayerIndexPayload& p)
{
    return SetLayerAlphaOp{p.layer, p.value};
}

// ---- the document's side ------------------------------------------------------------

bool TPaper::AddLayer(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                      bool record)
{
    AddLayerOp op;
    op.index = index, op.width = width, op.height = height, op.visible = visible, op.opacity = opacity;
    op.mode = mode;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::AddLayerNamed(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                           const std::string& name, uint32_t fill, bool record)
{
    AddLayerOp op;
    op.index = index, op.width = width, op.height = height, op.visible = visible, op.opacity = opacity;
    op.mode = mode, op.name = name, op.fill = fill;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::DeleteLayer(int32_t layer, bool record)
{
    return RunOperation(*this, DeleteLayerOp{layer}, record);
}

bool TPaper::DuplicateLayer(int32_t layer, bool record)
{
    return RunOperation(*this, DuplicateLayerOp{layer}, record);
}

bool TPaper::MoveLayer(int32_t from, int32_t to, bool record)
{
    return RunOperation(*this, MoveLayerOp{from, to}, record);
}

bool TPaper::MergeLayerDown(int32_t upper, int32_t method, bool withMethod, bool record)
{
    return RunOperation(*this, MergeDownOp{upper, method, withMethod}, record);
}

bool TPaper::MergeVisibleLayers(int32_t method, bool backgroundOnly, bool record)
{
    MergeVisibleOp op;
    op.method = method;
    op.backgroundOnly = backgroundOnly;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::SetLayerAlpha(int32_t layer, int32_t alpha, bool record)
{
    return RunOperation(*this, SetLayerAlphaOp{layer, alpha}, record);
}

// ---- selection to a new layer ----------------------------------------------------------

namespace {

constexpr const char* kCutNoMemory = "メモリ不足のため実行できませんでした！";

// Every alpha byte of the store scaled by the mask's byte over it (its
// inverse when cutting out), row by row over rows; false when memory runs out.
bool CutByMask(CLayerData& layer, const CMaskData& mask, bool inverse, const EdgeRect& rows)
{
    CBlockVMTC& store = *layer.Store;
    const int32_t w = rows.right - rows.left;
    TMTC row(w, 1);
    std::vector<uint8_t> m;
    try {
        m.resize(size_t(w));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!row.IsValid())
        return false;
    for (int32_t y = rows.top; y < rows.bottom; ++y) {
        mask.ReadRow(y - layer.OriginY, rows.left - layer.OriginX, w, m.data());
        if (!store.CopyOut(row, {0, 0}, false, 255, {rows.left, y, w, 1}))
            return false;
        uint32_t* p = row.Row(0);
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t keep = inverse ? uint8_t(255 - m[size_t(x)]) : m[size_t(x)];
            p[x] = (p[x] & 0x00FFFFFFu) | uint32_t(MulTable[p[x] >> 24][keep]) << 24;
        }
        if (!store.CopyIn(row, {rows.left, y}, 255, {0, 0, w, 1}))
            return false;
    }
    store.CompactRect(rows);
    return true;
}

// The mask's rectangle on the layer's store, clipped to it.
bool MaskOnStore(const CLayerData& layer, const CMaskData& mask, EdgeRect& out)
{
    const EdgeRect r = mask.Rect();
    return Intersect({r.left + layer.OriginX, r.top + layer.OriginY, r.right + layer.OriginX,
                      r.bottom + layer.OriginY},
                     {0, 0, layer.Store->Width, layer.Store->Height}, out);
}

} // namespace

SelectionToLayerOp::SelectionToLayerOp() = default;
SelectionToLayerOp::SelectionToLayerOp(int32_t i, bool m) : index(i), move(m) {}
SelectionToLayerOp::SelectionToLayerOp(SelectionToLayerOp&&) noexcept = default;
SelectionToLayerOp::~SelectionToLayerOp() = default;

Verdict SelectionToLayerOp::Check(OpContext& c)
{
    const CLayerData* source = c.paper.LayerAt(index);
    return source && source->HasStore() && source->Visible && c.paper.ActiveSelection() &&
                   c.paper.Layers().CanAdd()
               ? Verdict::Go
               : Verdict::Refuse;
}

// The copy is cut before anything is recorded.
bool SelectionToLayerOp::Prepare(OpContext& c)
{
    const CLayerData& source = *c.paper.LayerAt(index);
    copy = CopiedLayer(source);
    if (!copy || !RoomForOne(c.paper.Layers()) ||
        !CutByMask(*copy, *c.paper.ActiveSelection(), false, {0, 0, copy->Store->Width, copy->Store->Height})) {
        copy.reset();
        Notifier().Warn(kCutNoMemory);
        return false;
    }
    copy->RefreshThumbnail();
    return true;
}

// The form with the option: 0 copies, 1 moves.
std::vector<uint8_t> SelectionToLayerOp::Packet(OpContext& c) const
{
    SelectionAmountPayload p;
    p.SetKind(PacketId::SelectionToLayerWith);
    p.layer = int16_t(index), p.mask = int16_t(c.paper.Masks().Current()), p.option = move ? 1 : 0;
    return p.Encode();
}

HistoryRecord SelectionToLayerOp::History(OpContext& c)
{
    CLayerData& source = *c.paper.LayerAt(index);
    const ExtentRect whole{0, 0, source.Store->Width, source.Store->Height};
    HistoryRecord h;
    // Moving changes the source's alpha: its plane is kept to swap back.
    h.record = move ? CUndoData::AlphaRecord(UndoKind::SelectionToLayer, source, index, whole)
                    : CUndoData::Command(UndoKind::SelectionToLayer, index, source.Id, whole);
    if (h.record) {
        h.record->layerIndex = index + 1;
        h.record->layerId = copy->Id;
        h.record->values = {c.paper.CurrentLayer(), move ? 1 : 0, source.Id, 0};
    }
    return h;
}

bool SelectionToLayerOp::Apply(OpContext& c, CUndoData*)
{
    CLayerData& source = *c.paper.LayerAt(index);
    EdgeRect rows;
    if (move && MaskOnStore(source, *c.paper.ActiveSelection(), rows) &&
        !CutByMask(source, *c.paper.ActiveSelection(), true, rows))
        return c.paper.LayerMemoryFailed(c.record);
    source.RefreshThumbnail();
    InsertLayer(c.paper.Layers(), std::move(copy), index + 1);
    return true;
}

void SelectionToLayerOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

// The earlier form separates (moves) the selection.
std::optional<SelectionToLayerOp> SelectionToLayerOp::Replayed(OpContext& c, PacketId,
                                                               const SelectionCommandPayload& p)
{
    if (p.mask != c.paper.Masks().Current())
        return std::nullopt;
    return SelectionToLayerOp(p.layer, true);
}

std::optional<SelectionToLayerOp> SelectionToLayerOp::Replayed(OpContext& c, PacketId,
                                                               const SelectionAmountPayload& p)
{
    if (p.mask != c.paper.Masks().Current() || p.option > 1)
        return std::nullopt;
    return SelectionToLayerOp(p.layer, p.option == 1);
}

bool TPaper::SelectionToLayer(int32_t layer, bool moveContent, bool record)
{
    return RunOperation(*this, SelectionToLayerOp(layer, moveContent), record);
}

// ---- shared steps ------------------------------------------------------------------

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
