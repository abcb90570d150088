#include "document/CUndoMngr.h"

#include <algorithm>
#include <new>
#include <utility>

#include "document/CLayerMngr.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {

const char* const kPushFailed = "メモリ不足によりアンドゥ情報の保存に失敗しました！";
const char* const kUndoRefused = "アンドゥに失敗しました!\rすべてのアンドゥはクリアされます!";
const char* const kEventsMended = "イベント状態の問題を修正しました!";
const char* const kEventsBroken = "イベント記録に問題が検出されました!";
const char* const kEventUndoFailed = "failed to undo event!";
const char* const kEventRedoFailed = "failed to redo event!";

ExtentRect FullExtent(const CLayerData& layer)
{
    return layer.HasStore() ? ExtentRect{0, 0, layer.Store->Width, layer.Store->Height} : ExtentRect{};
}

// ---- category 3 --------------------------------------------------------------------

// Kinds 12-15: the same set of layers the operation changed, all or only the
// visible ones.
bool TransformAll(CLayerMngr& layers, UndoKind kind, bool visibleOnly)
{
    bool ok = true;
    for (int32_t i = 0; i < layers.Count(); ++i) {
        CLayerData& l = *layers.At(i);
        if (!visibleOnly || l.Visible)
            ok = l.ApplyCommand(NumberOf(kind) - NumberOf(UndoKind::FlipAllH) + NumberOf(UndoKind::FlipH)) && ok;
    }
    return ok;
}

// ---- category 4 --------------------------------------------------------------------

int32_t ReadAttribute(const CLayerData& l, UndoKind kind)
{
    switch (kind) {
    case UndoKind::Opacity:
    case UndoKind::OpacityLinked: return l.Opacity;
    case UndoKind::Dither: return int32_t(l.Dither) | int32_t(l.DitherDensity) << 8;
    case UndoKind::Mode: return l.Mode;
    case UndoKind::Visible: return l.Visible;
    case UndoKind::ProtectAlpha: return l.ProtectAlpha;
    default: return 0;
    }
}

bool WriteAttribute(CLayerData& l, UndoKind kind, int32_t v)
{
    switch (kind) {
    case UndoKind::Opacity:
    case UndoKind::OpacityLinked: l.Opacity = uint8_t(v); return true;
    case UndoKind::Dither:
        l.Dither = (v & 0xFF) != 0;
        l.DitherDensity = uint8_t(v >> 8);
        return true;
    case UndoKind::Mode: return l.SetMode(v);
    case UndoKind::Visible: l.Visible = v != 0; return true;
    case UndoKind::ProtectAlpha: l.ProtectAlpha = v != 0; return true;
    default: return false;
    }
}

// Kind 24: undo adds the offset back to the layer and the selection, redo
// subtracts it again; refused when either is no longer the one recorded.
bool MoveWithSelection(const CUndoData& r, CLayerData& layer, UndoHost* host, bool undo)
{
    const SUndoValues& v = r.values;
    const int32_t sign = undo ? -1 : 1;
    const int32_t dx = int32_t(int64_t(v.b) * sign), dy = int32_t(int64_t(v.c) * sign);
    if ((uint32_t(layer.Id) & 0xFFFFu) != uint32_t(v.a) >> 16 || !host ||
        !host->ShiftSelection(SelectionIndexOf(v.d), SelectionIdOf(v.d), dx, dy))
        return false;
    layer.Shift(dx, dy);
    return true;
}

bool ApplyAttribute(CUndoData& r, CLayerData* layer, UndoHost* host, bool undo)
{
    SUndoValues& v = r.values;
    if (r.Id() == UndoKind::MoveWithSelection) {
        return layer && MoveWithSelection(r, *layer, host, undo);
    } else if (r.Id() == UndoKind::CanvasColour) {
        if (!host)
            return false;
        host->SetCanvasColour(uint32_t(v.a));
    } else if (!layer) {
        return false;
    } else if (r.Id() == UndoKind::Position) {
        std::swap(layer->OriginX, v.b);
        std::swap(layer->OriginY, v.c);
        return true;
    } else if (r.Id() == UndoKind::Name) {
        layer->Name = r.nameA;
        std::swap(r.nameA, r.nameB);
        return true;
    } else if (!WriteAttribute(*layer, r.Id(), v.a)) {
        return false;
    }
    std::swap(v.a, v.b);
    return true;
}

// ---- category 5 kinds the layer stack can apply by itself -------------------------

// The record's layer goes out of the stack into the record.
bool TakeOut(CUndoData& r, CLayerMngr& layers)
{
    const int32_t i = layers.IndexOfId(r.layerId);
    if (i < 0 || r.kept.layer)
        return false;
    r.kept.layer = layers.RemoveLayer(i);
    r.layerIndex = i;
    return true;
}

// The record's layer goes back into the stack at its index.
bool PutBack(CUndoData& r, CLayerMngr& layers)
{
    if (!r.kept.layer || r.kept.layer->Id != r.layerId || !layers.CanAdd())
        return false;
    layers.InsertLayer(r.layerIndex, std::move(r.kept.layer));
    layers.SetCurrent(layers.IndexOfId(r.layerId));
    return true;
}

// Kind 37: the new layer leaves (undo) or comes back (redo); after a move
// the source's alpha plane and the kept one change places both ways.
bool ApplySelectionToLayer(CUndoData& r, CLayerMngr& layers, bool undo)
{
    const int32_t source = layers.IndexOfId(r.values.c);
    if (source < 0 || !(undo ? TakeOut(r, layers) : PutBack(r, layers)))
        return false;
    if (undo)
        layers.SetCurrent(std::clamp(r.values.a, 0, layers.Count() - 1));
    if (r.values.b == 0)
        return true;
    CLayerData& layer = *layers.At(source);
    std::unique_ptr<CUndoData> now = CUndoData::AlphaRecord(r.Id(), layer, source, r.rect);
    if (!now || !r.RestoreInto(*layer.Store))
        return false;
    r.buffer = std::move(now->buffer);
    return true;
}

// Kinds 34 and 36: the kept former layer and the one in the stack change places.
bool SwapKeptLayer(CUndoData& r, CLayerMngr& layers)
{
    const int32_t i = layers.IndexOfId(r.layerId);
    if (i < 0 || !r.kept.layer)
        return false;
    const int32_t id = r.kept.layer->Id;
    r.kept.layer = layers.ReplaceLayer(i, std::move(r.kept.layer));
    r.layerId = id;
    return true;
}

bool MoveBack(CUndoData& r, CLayerMngr& layers)
{
    SUndoValues& v = r.values;
    if (layers.IdAt(v.b) != r.layerId || layers.MoveLayer(v.a, v.b) < 0)
        return false;
    std::swap(v.a, v.b);
    return true;
}

// The record build() makes, or nullptr when memory ran out on the way.
template <typename Build>
std::unique_ptr<CUndoData> Built(Build build)
{
    try {
        return build();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

CUndoMngr::CUndoMngr(int32_t undoDepth, int32_t redoDepth, bool counted, int32_t slack)
    : undo_(counted), redo_(counted), slack_(slack)
{
    SetDepth(undoDepth, redoDepth);
}

CUndoMngr::~CUndoMngr() = default;

int32_t CUndoMngr::Trim()
{
    int32_t removed = 0;
    while (undo_.Size() > undoDepth_ + slack_ && undo_.DropOldest())
        ++removed;
    return removed;
}

void CUndoMngr::InsertUndo(std::unique_ptr<CUndoData> record) { undo_.Insert(std::move(record), undoDepth_); }
void CUndoMngr::InsertRedo(std::unique_ptr<CUndoData> record) { redo_.Insert(std::move(record), redoDepth_); }

void CUndoMngr::InsertInto(bool undoList, std::unique_ptr<CUndoData> record)
{
    if (undoList)
        InsertUndo(std::move(record));
    else
        InsertRedo(std::move(record));
}

bool CUndoMngr::SetDepth(int32_t undoDepth, int32_t redoDepth)
{
    if (undoDepth <= 0 || redoDepth <= 0)
        undoDepth = redoDepth = 0;
    redoDepth = std::min(redoDepth, undoDepth);
    const bool changed = undoDepth != undoDepth_ || redoDepth != redoDepth_;
    if (undoDepth != undoDepth_)
        undo_.LimitCounted(undoDepth);
    if (redoDepth != redoDepth_)
        redo_.LimitCounted(redoDepth);
    undoDepth_ = undoDepth;
    redoDepth_ = redoDepth;
    return changed;
}

void CUndoMngr::ClearHistory()
{
    undo_.Clear();
    redo_.Clear();
}

// ---- pushes ------------------------------------------------------------------------

bool CUndoMngr::Push(std::unique_ptr<CUndoData> record)
{
    if (!record) {
        Notifier().Warn(kPushFailed);
        return false;
    }
    InsertUndo(std::move(record));
    Trim();
    redo_.Clear();
    return true;
}

std::unique_ptr<CUndoData> CUndoMngr::MakePixels(CLayerData& layer, int32_t index, const ExtentRect& rect,
                                                 UndoKind kind) const
{
    const uint8_t category = UndoKindOf(kind).category;
    EdgeRect clipped;
    const bool wholePicture = kind >= UndoKind::FlipAllH && kind <= UndoKind::RotateAll180;
    if (category > kUndoTransform || wholePicture || !layer.HasStore() ||
        !ClipToBuffer(rect, layer.Store->Width, layer.Store->Height, clipped))
        return nullptr;
    return Built([&]() -> std::unique_ptr<CUndoData> {
        if (category == kUndoPixels)
            return CUndoData::PixelRecord(kind, layer, index, rect);
        if (category == kUndoAlpha)
            return CUndoData::AlphaRecord(kind, layer, index, rect);
        return CUndoData::Command(kind, index, layer.Id, rect);
    });
}

std::unique_ptr<CUndoData> CUndoMngr::MakePictureTransform(UndoKind kind, bool visibleOnly,
                                                           const ExtentRect& rect) const
{
    if (kind < UndoKind::FlipAllH || kind > UndoKind::RotateAll180)
        return nullptr;
    return CUndoData::Command(kind, -1, -1, rect, {visibleOnly ? kUndoVisibleOnly : 0, 0, 0, 0});
}

std::unique_ptr<CUndoData> CUndoMngr::MakeAttribute(CLayerData& layer, int32_t index, int32_t newValue,
                                                    UndoKind kind, int32_t extra) const
{
    if (UndoKindOf(kind).category != kUndoAttribute || kind == UndoKind::CanvasColour || kind == UndoKind::Name ||
        kind == UndoKind::MoveWithSelection)
        return nullptr;
    SUndoValues v;
    if (kind == UndoKind::Position) {
        v.b = layer.OriginX;
        v.c = layer.OriginY;
    } else {
        v = {ReadAttribute(layer, kind), newValue, extra, 0};
    }
    return CUndoData::Command(kind, index, layer.Id, FullExtent(layer), v);
}

std::unique_ptr<CUndoData> CUndoMngr::MakeCanvasColour(uint32_t newColour) const
{
    if (!host_)
        return nullptr;
    return CUndoData::Command(UndoKind::CanvasColour, -1, -1, ExtentRect{},
                              {int32_t(host_->CanvasColour()), int32_t(newColour), 0, 0});
}

bool CUndoMngr::PushPixels(CLayerData& layer, int32_t index, const ExtentRect& rect, UndoKind kind)
{
    if (!IsEnabled())
        return true;
    EdgeRect clipped;
    // Nothing to record is no memory failure.
    if (UndoKindOf(kind).category > kUndoTransform || !layer.HasStore() ||
        !ClipToBuffer(rect, layer.Store->Width, layer.Store->Height, clipped) ||
        (kind >= UndoKind::FlipAllH && kind <= UndoKind::RotateAll180))
        return false;
    return Push(MakePixels(layer, index, rect, kind));
}

bool CUndoMngr::PushPictureTransform(UndoKind kind, bool visibleOnly, const ExtentRect& rect)
{
    if (!IsEnabled())
        return true;
    if (kind < UndoKind::FlipAllH || kind > UndoKind::RotateAll180)
        return false;
    return Push(MakePictureTransform(kind, visibleOnly, rect));
}

bool CUndoMngr::PushAttribute(CLayerData& layer, int32_t index, int32_t newValue, UndoKind kind, int32_t extra)
{
    if (!IsEnabled())
        return true;
    if (UndoKindOf(kind).category != kUndoAttribute || kind == UndoKind::CanvasColour || kind == UndoKind::Name ||
        kind == UndoKind::MoveWithSelection)
        return false;
    return Push(MakeAttribute(layer, index, newValue, kind, extra));
}

bool CUndoMngr::PushName(CLayerData& layer, int32_t index, const std::string& newName)
{
    if (!IsEnabled())
        return true;
    return Push(MakeName(layer, index, newName));
}

std::unique_ptr<CUndoData> CUndoMngr::MakeName(const CLayerData& layer, int32_t index, const std::string& newName) const
{
    return Built([&] {
        auto record = std::make_unique<CUndoData>(UndoKind::Name, index, layer.Id, FullExtent(layer));
        record->nameA = layer.Name;
        record->nameB = newName;
        record->valid = true;
        return record;
    });
}

bool CUndoMngr::PushCanvasColour(uint32_t newColour)
{
    if (!IsEnabled())
        return true;
    if (!host_)
        return false;
    return Push(MakeCanvasColour(newColour));
}

bool CUndoMngr::PushMoveWithSelection(CLayerData& layer, int32_t index, int32_t dx, int32_t dy)
{
    if (!IsEnabled())
        return true;
    std::unique_ptr<CUndoData> record = MakeMoveWithSelection(layer, index, dx, dy);
    return record && Push(std::move(record));
}

std::unique_ptr<CUndoData> CUndoMngr::MakeMoveWithSelection(CLayerData& layer, int32_t index, int32_t dx,
                                                            int32_t dy) const
{
    int32_t maskIndex = 0, maskId = 0;
    if (!host_ || !host_->CurrentSelection(maskIndex, maskId))
        return nullptr;
    return CUndoData::Command(
        UndoKind::MoveWithSelection, index, layer.Id, FullExtent(layer),
        {int32_t((uint32_t(layer.Id) & 0xFFFFu) << 16), dx, dy, PackedSelection(maskIndex, maskId)});
}

bool CUndoMngr::PushCommand(SUndoCommand c)
{
    if (!IsEnabled())
        return true;
    const uint8_t category = UndoKindOf(c.kind).category;
    const bool adopts = c.kind == UndoKind::Filter;
    if ((category < kUndoStructure && !adopts) ||
        (adopts && (!c.image || !c.image->IsValid())))
        return false;
    return Push(Built([&] {
        auto record = std::make_unique<CUndoData>(c.kind, c.layerIndex, c.layerId, c.rect);
        record->values = c.values;
        record->kept = std::move(c.kept);
        if (adopts) {
            record->pixels = CPixelCopy::Adopt(std::move(c.image));
            record->rect = ToExtent(record->pixels->Rect());
        }
        record->valid = true;
        return record;
    }));
}

// ---- applying ----------------------------------------------------------------------

bool CUndoMngr::Undo(CLayerMngr& layers, SUndoOutcome& out) { return Apply(true, layers, out); }
bool CUndoMngr::Redo(CLayerMngr& layers, SUndoOutcome& out) { return Apply(false, layers, out); }

bool CUndoMngr::Apply(bool undo, CLayerMngr& layers, SUndoOutcome& out)
{
    CUndoList& from = undo ? undo_ : redo_;
    const CUndoData* newest = from.Newest();
    if (!newest)
        return false;
    out = {};
    out.flags = newest->Flags();
    out.layerIndex = layers.IndexOfId(newest->layerId);
    out.rect = newest->rect;
    std::unique_ptr<CUndoData> record = from.TakeNewest();
    // A record bound to a layer that is gone is dropped without a word.
    if (record->Category() != kUndoStructure && record->layerId != -1 && out.layerIndex < 0) {
        out.dropped = true;
        return false;
    }
    if (ApplyRecord(record, undo, layers, out))
        return true;
    if (undo) {
        Notifier().Warn(kUndoRefused);
        ClearHistory();
    }
    return false;
}

bool CUndoMngr::ApplyRecord(std::unique_ptr<CUndoData>& record, bool undo, CLayerMngr& layers, SUndoOutcome& out)
{
    CUndoData& r = *record;
    CLayerData* layer = layers.At(out.layerIndex);
    switch (r.Category()) {
    case kUndoPixels:
    case kUndoAlpha: {
        if (!layer || !layer->HasStore())
            return false;
        // The reverse record is a copy of what is there now; the old one is
        // freed once its pixels are back.
        std::unique_ptr<CUndoData> reverse = Built([&] {
            return r.Category() == kUndoPixels ? CUndoData::PixelRecord(r.Id(), *layer, out.layerIndex, r.rect)
                                               : CUndoData::AlphaRecord(r.Id(), *layer, out.layerIndex, r.rect);
        });
        if (!r.RestoreInto(*layer->Store))
            return false;
        out.reverseLost = reverse == nullptr;
        if (reverse)
            reverse->undone = undo;
        InsertInto(!undo, std::move(reverse));
        return true;
    }
    case kUndoTransform:
        if (r.layerId == -1 ? !TransformAll(layers, r.Id(), (r.values.a & kUndoVisibleOnly) != 0)
                            : !layer->ApplyCommand(r.kind))
            return false;
        break;
    case kUndoAttribute:
        if (!ApplyAttribute(r, layer, host_, undo))
            return false;
        if (layer)
            out.rect = FullExtent(*layer);
        break;
    default:
        if (!ApplyKept(r, undo, layers))
            return false;
        out.layerIndex = (host_ && host_->DocumentLayers() ? *host_->DocumentLayers() : layers).IndexOfId(r.layerId);
        break;
    }
    r.undone = undo;
    InsertInto(!undo, std::move(record));
    return true;
}

bool CUndoMngr::ApplyKept(CUndoData& r, bool undo, CLayerMngr& layers)
{
    switch (r.Id()) {
    case UndoKind::NewLayer:
    case UndoKind::DuplicateLayer:
    case UndoKind::ImageAsLayer:
        if (!undo)
            return PutBack(r, layers);
        if (!TakeOut(r, layers))
            return false;
        layers.SetCurrent(r.values.a);
        return true;
    case UndoKind::DeleteLayer: return undo ? PutBack(r, layers) : TakeOut(r, layers);
    case UndoKind::SelectionToLayer: return ApplySelectionToLayer(r, layers, undo);
    case UndoKind::MoveLayer: return MoveBack(r, layers);
    case UndoKind::KeptSize:
    case UndoKind::ReplaceLayer: return SwapKeptLayer(r, layers);
    default: return host_ && host_->ApplyKept(r, layers, undo);
    }
}

// ---- the document's manager --------------------------------------------------------

CUndoMngrEx::CUndoMngrEx(int32_t undoDepth, int32_t redoDepth, EventRecorder& recorder)
    : CUndoMngr(undoDepth, redoDepth, true, kSlack), recorder_(recorder)
{
}

bool CUndoMngrEx::Push(std::unique_ptr<CUndoData> record)
{
    // A new change ends both redo histories together.
    const bool pushed = CUndoMngr::Push(std::move(record));
    if (pushed)
        recorder_.DiscardRedoSteps();
    return pushed;
}

bool CUndoMngrEx::UndoCommand(CLayerMngr& layers, SUndoOutcome& out)
{
    if (!CanUndo())
        return false;
    const bool recording = recorder_.IsRecording();
    if (recording && recorder_.UndoCount() < UndoCount()) {
        Notifier().Warn(kEventsMended);
        Trim();
        if (recorder_.UndoCount() < UndoCount()) {
            Notifier().Warn(kEventsBroken);
            ClearHistory();
            recorder_.DiscardRedoSteps();
            return false;
        }
    }
    if (!Undo(layers, out)) {
        // The dropped record's step leaves the stream too, so the next undo
        // steps back over its own record's step.
        if (out.dropped && recording && !recorder_.UndoStep())
            Notifier().Warn(kEventUndoFailed);
        return false;
    }
    if (recording && !recorder_.UndoStep())
        Notifier().Warn(kEventUndoFailed);
    if (out.reverseLost) {
        // Nothing can redo this step: the redo records behind it and the
        // stream's redo steps go too, so the two stay in line.
        ClearRedo();
        recorder_.DiscardRedoSteps();
    }
    return true;
}

bool CUndoMngrEx::RedoCommand(CLayerMngr& layers, SUndoOutcome& out)
{
    if (!CanRedo())
        return false;
    const bool recording = recorder_.IsRecording();
    if (recording && recorder_.RedoCount() < RedoCount()) {
        Notifier().Warn(kEventsBroken);
        ClearRedo();
        recorder_.DiscardRedoSteps();
        return false;
    }
    if (!Redo(layers, out)) {
        // Nothing can redo the dropped record's step: the redo steps behind
        // it go on both sides.
        if (out.dropped) {
            ClearRedo();
            recorder_.DiscardRedoSteps();
        }
        return false;
    }
    if (recording && !recorder_.RedoStep())
        Notifier().Warn(kEventRedoFailed);
    // Without the reverse record the older undo records would restore a
    // picture that lacks this change: they go, the stream keeps its steps.
    if (out.reverseLost)
        ClearUndo();
    return true;
}

} // namespace morvane
