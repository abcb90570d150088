// Layer commands on one layer and the whole-picture transforms: flips,
// inverts, rotations by 180 and 90 degrees. A transform is applied first and
// recorded after; when the packet cannot be kept the self-inverse transform
// is applied again, so the stream never holds a change the picture lacks.
#include <algorithm>
#include <exception>
#include <new>
#include <vector>

#include "document/CMaskMngr.h"
#include "document/CUndoMngr.h"
#include "document/TPaper.h"
#include "document/TransformOperations.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {
constexpr const char* kCommandFailed = "Failed to execute layer command!";
constexpr const char* kRotateWord = "回転";

bool IsLayerCommand(int command) { return command >= 7 && command <= 11; }

// The kinds of commands 7-10 in the order flip H, flip V, invert, rotate 180.
PacketId KindOf(int command, PacketId flipH, PacketId flipV, PacketId invert, PacketId rotate)
{
    switch (command) {
    case 7: return flipH;
    case 8: return flipV;
    case 9: return invert;
    default: return rotate;
    }
}

// The command of a transform packet: its kind among the four of a family.
int CommandOf(PacketId id, PacketId flipH, PacketId flipV, PacketId invert)
{
    return id == flipH ? 7 : id == flipV ? 8 : id == invert ? 9 : 10;
}
} // namespace

// ---- one layer ----------------------------------------------------------------------

Verdict LayerCommandOp::Check(OpContext& c)
{
    return c.paper.LayerAt(index) && IsLayerCommand(command) ? Verdict::Go : Verdict::Refuse;
}

bool LayerCommandOp::Prepare(OpContext& c)
{
    c.paper.Host().ReloadWetPaint(index);
    if (!c.paper.LayerAt(index)->ApplyCommand(command)) {
        Notifier().Warn(kCommandFailed);
        return false;
    }
    return true;
}

std::vector<uint8_t> LayerCommandOp::Packet(OpContext&) const
{
    LayerIndexPayload p;
    // Inverting opacity has its own command packet.
    p.SetKind(command == 11 ? PacketId::InvertAlpha
                            : KindOf(command, PacketId::FlipLayerH, PacketId::FlipLayerV, PacketId::InvertLayer,
                                     PacketId::RotateLayer180));
    p.layer = int16_t(index), p.value = command == 11 ? 0 : int16_t(index);
    return p.Encode();
}

void LayerCommandOp::Revert(OpContext& c) { c.paper.LayerAt(index)->ApplyCommand(command); }

HistoryRecord LayerCommandOp::History(OpContext& c)
{
    CLayerData& layer = *c.paper.LayerAt(index);
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakePixels(layer, index, {0, 0, layer.Store->Width, layer.Store->Height},
                                                 UndoKind(command));
    return h;
}

bool LayerCommandOp::Apply(OpContext&, CUndoData*) { return true; }

void LayerCommandOp::Refresh(OpContext& c)
{
    TPaper& paper = c.paper;
    paper.Host().MarkModified();
    paper.RenderAll(true);
    paper.LayerChanged(index, {0, 0, paper.Width, paper.Height});
    paper.Host().ReloadWetPaint(index);
}

std::optional<LayerCommandOp> LayerCommandOp::Replayed(OpContext&, PacketId id, const LayerIndexPayload& p)
{
    if (id == PacketId::InvertAlpha)
        return LayerCommandOp{p.layer, 11};
    if (p.value != p.layer)
        return std::nullopt;
    return LayerCommandOp{p.layer, CommandOf(id, PacketId::FlipLayerH, PacketId::FlipLayerV, PacketId::InvertLayer)};
}

// ---- one layer inside a selection -------------------------------------------------

namespace {

// Where a mask selects anything on the layer: the box of its selected bytes
// in store coordinates, clipped to the store.
bool MaskedRect(const CLayerData& layer, const CMaskData* mask, EdgeRect& rect)
{
    EdgeRect box;
    if (!mask || !layer.HasStore() || !mask->SelectedRect(box))
        return false;
    const EdgeRect inStore{box.left + layer.OriginX, box.top + layer.OriginY, box.right + layer.OriginX,
                           box.bottom + layer.OriginY};
    return Intersect(inStore, {0, 0, layer.Store->Width, layer.Store->Height}, rect);
}

bool TransformPatch(TMTC& patch, int command)
{
    const ExtentRect all{0, 0, patch.Width, patch.Height};
    switch (command) {
    case 7: return patch.FlipHorizontal(all);
    case 8: return patch.FlipVertical(all);
    case 10: return patch.Rotate180(all);
    default:
        for (int32_t y = 0; y < patch.Height; ++y)
            for (uint32_t* p = patch.Row(y), *end = p + patch.Width; p != end; ++p)
                *p ^= 0x00FFFFFFu;
        return true;
    }
}

// was + (now - was) * m / 255 per byte; the alpha byte stays when kept.
uint32_t ThroughMask(uint32_t was, uint32_t now, uint32_t m, bool keepAlpha)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t a = (was >> shift) & 0xFF, b = (now >> shift) & 0xFF;
        const uint32_t v = shift == 24 && keepAlpha ? a : (b * m + a * (255 - m) + 127) / 255;
        out |= v << shift;
    }
    return out;
}

} // namespace

Verdict LayerCommandMaskedOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    if (!layer || command < 7 || command > 10)
        return Verdict::Refuse;
    mask = c.paper.Masks().Resolve(mask);
    return MaskedRect(*layer, c.paper.Masks().At(mask), rect) ? Verdict::Go : Verdict::Refuse;
}

bool LayerCommandMaskedOp::Prepare(OpContext& c)
{
    CLayerData& layer = *c.paper.LayerAt(index);
    c.paper.Host().ReloadWetPaint(index);
    if (!keepAlpha)
        keepAlpha = layer.ProtectAlpha;
    const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
    try {
        patch = std::make_unique<TMTC>(w, h);
    } catch (const std::bad_alloc&) {
        patch.reset();
    }
    if (!patch || !patch->IsValid() || !layer.Store->CopyOut(*patch, {0, 0}, false, 255, {rect.left, rect.top, w, h}) ||
        !TransformPatch(*patch, command)) {
        Notifier().Warn(kCommandFailed);
        return false;
    }
    return true;
}

std::vector<uint8_t> LayerCommandMaskedOp::Packet(OpContext&) const
{
    SelectionTransformPayload p;
    p.SetKind(KindOf(command, PacketId::MaskedFlipH, PacketId::MaskedFlipV, PacketId::MaskedInvert,
                     PacketId::MaskedRotate180));
    p.layer = int16_t(index), p.mask = int16_t(mask), p.transparentArea = keepAlpha.value_or(false) ? 1 : 0;
    return p.Encode();
}

HistoryRecord LayerCommandMaskedOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakePixels(*c.paper.LayerAt(index), index,
                                                 {rect.left, rect.top, rect.right - rect.left,
                                                  rect.bottom - rect.top},
                                                 UndoKind::Fill);
    return h;
}

// The transformed pixels go in row by row through the mask.
bool LayerCommandMaskedOp::Apply(OpContext& c, CUndoData*)
{
    CLayerData& layer = *c.paper.LayerAt(index);
    const CMaskData& m = *c.paper.Masks().At(mask);
    const int32_t w = patch->Width;
    std::vector<uint8_t> coverage(static_cast<size_t>(w));
    TMTC row(w, 1);
    if (!row.IsValid())
        return false;
    for (int32_t y = 0; y < patch->Height; ++y) {
        const int32_t sy = rect.top + y;
        if (!layer.Store->CopyOut(row, {0, 0}, false, 255, {rect.left, sy, w, 1}))
            return false;
        m.ReadRow(sy - layer.OriginY, rect.left - layer.OriginX, w, coverage.data());
        uint32_t* was = row.Row(0);
        const uint32_t* now = patch->Row(y);
        for (int32_t x = 0; x < w; ++x)
            if (coverage[size_t(x)] != 0)
                was[x] = ThroughMask(was[x], now[x], coverage[size_t(x)], *keepAlpha);
        if (!layer.Store->CopyIn(row, {rect.left, sy}, 255, {0, 0, w, 1}))
            return false;
    }
    layer.Store->CompactRect(rect);
    return true;
}

void LayerCommandMaskedOp::Refresh(OpContext& c)
{
    TPaper& paper = c.paper;
    const CLayerData& layer = *paper.LayerAt(index);
    const ExtentRect changed{rect.left - layer.OriginX, rect.top - layer.OriginY, rect.right - rect.left,
                             rect.bottom - rect.top};
    paper.Host().MarkModified();
    paper.RenderRect(changed, true);
    paper.Host().InvalidateRect(changed);
    paper.LayerChanged(index, changed);
    paper.Host().ReloadWetPaint(index);
}

std::optional<LayerCommandMaskedOp> LayerCommandMaskedOp::Replayed(OpContext& c, PacketId id,
                                                                   const SelectionTransformPayload& p)
{
    if (!c.paper.Masks().IsIndex(p.mask) || p.transparentArea > 1)
        return std::nullopt;
    LayerCommandMaskedOp op;
    op.index = p.layer;
    op.command = CommandOf(id, PacketId::MaskedFlipH, PacketId::MaskedFlipV, PacketId::MaskedInvert);
    op.mask = p.mask;
    op.keepAlpha = p.transparentArea == 1;
    return op;
}

// ---- every layer --------------------------------------------------------------------

Verdict TransformPictureOp::Check(OpContext&) { return Verdict::Go; }

bool TransformPictureOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    for (int32_t i = 0; i < layers.Count(); ++i) {
        CLayerData& layer = *layers.At(i);
        if (!allLayers && !layer.Visible)
            continue;
        if (!layer.ApplyCommand(command)) {
            // Every command here is its own inverse: the layers already
            // changed go back.
            Revert(c);
            Notifier().Warn(kCommandFailed);
            return false;
        }
        done.push_back(i);
    }
    return true;
}

std::vector<uint8_t> TransformPictureOp::Packet(OpContext&) const
{
    EmptyPayload p;
    p.SetKind(allLayers ? KindOf(command, PacketId::FlipAllH, PacketId::FlipAllV, PacketId::InvertAll,
                                 PacketId::RotateAll180)
                        : KindOf(command, PacketId::VisibleFlipH, PacketId::VisibleFlipV, PacketId::VisibleInvert,
                                 PacketId::VisibleRotate180));
    return p.Encode();
}

void TransformPictureOp::Revert(OpContext& c)
{
    for (int32_t j : done)
        c.paper.LayerAt(j)->ApplyCommand(command);
}

HistoryRecord TransformPictureOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakePictureTransform(
        UndoKind(command + NumberOf(UndoKind::FlipAllH) - NumberOf(UndoKind::FlipH)), !allLayers,
        {0, 0, c.paper.Width, c.paper.Height});
    return h;
}

bool TransformPictureOp::Apply(OpContext&, CUndoData*) { return true; }

void TransformPictureOp::Refresh(OpContext& c)
{
    for (int32_t j : done)
        c.paper.LayerAt(j)->RefreshThumbnail();
    c.paper.RefreshWholePicture();
}

std::optional<TransformPictureOp> TransformPictureOp::Replayed(OpContext&, PacketId id, const EmptyPayload&)
{
    TransformPictureOp op;
    op.allLayers = id == PacketId::FlipAllH || id == PacketId::FlipAllV || id == PacketId::RotateAll180 ||
                   id == PacketId::InvertAll;
    op.command = op.allLayers ? CommandOf(id, PacketId::FlipAllH, PacketId::FlipAllV, PacketId::InvertAll)
                              : CommandOf(id, PacketId::VisibleFlipH, PacketId::VisibleFlipV, PacketId::VisibleInvert);
    return op;
}

bool RotatePicture90Op::Prepare(OpContext& c) { return c.paper.RotateAllLayers90(clockwise); }

std::vector<uint8_t> RotatePicture90Op::Packet(OpContext&) const
{
    EmptyPayload p;
    p.SetKind(clockwise ? PacketId::RotateCanvasRight : PacketId::RotateCanvasLeft);
    return p.Encode();
}

void RotatePicture90Op::Revert(OpContext& c) { c.paper.RotateAllLayers90(!clockwise); }

HistoryRecord RotatePicture90Op::History(OpContext& c)
{
    HistoryRecord h;
    h.record = CUndoData::Command(UndoKind::RotateCanvas90, -1, -1, {0, 0, c.paper.Width, c.paper.Height},
                                  {clockwise ? 1 : 0, 0, 0, 0});
    return h;
}

void RotatePicture90Op::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<RotatePicture90Op> RotatePicture90Op::Replayed(OpContext&, PacketId id, const EmptyPayload&)
{
    return RotatePicture90Op{id == PacketId::RotateCanvasRight};
}

// ---- the document's side ------------------------------------------------------------

bool TPaper::LayerCommand(int32_t layer, int command, bool record)
{
    return RunOperation(*this, LayerCommandOp{layer, command}, record);
}

// A mask that selects nothing on the layer leaves the plain command.
bool TPaper::LayerCommandMasked(int32_t layer, int command, int32_t maskIndex, bool record)
{
    const CLayerData* l = LayerAt(layer);
    EdgeRect rect;
    if (!l || !MaskedRect(*l, masks_->At(masks_->Resolve(maskIndex)), rect))
        return LayerCommand(layer, command, record);
    LayerCommandMaskedOp op;
    op.index = layer, op.command = command, op.mask = maskIndex;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::TransformPicture(int command, bool allLayers, bool record)
{
    return RunOperation(*this, TransformPictureOp{command, allLayers, {}}, record);
}

bool TPaper::RotatePicture90(bool clockwise, bool record)
{
    return RunOperation(*this, RotatePicture90Op{clockwise}, record);
}

// Each store is rotated into a new store of its own size (not the picture's);
// the layers take their new stores only once every one exists.
bool TPaper::RotateAllLayers90(bool clockwise)
{
    std::vector<std::unique_ptr<CBlockVMTC>> stores;
    try {
        for (int32_t i = 0; i < layers_->Count(); ++i) {
            const CBlockVMTC& old = *layers_->At(i)->Store;
            auto store = std::make_unique<CBlockVMTC>(old.Height, old.Width);
            store->DefaultUniform = old.DefaultUniform;
            if (!store->IsValid() || !old.RotateIntoStore90(*store, {0, 0}, clockwise))
                throw std::bad_alloc();
            stores.push_back(std::move(store));
        }
    } catch (const std::bad_alloc&) {
        WarnFailed(kRotateWord);
        return false;
    } catch (const std::exception&) {
        Notifier().Warn(std::string("予期しない例外により") + kRotateWord + "の実行に失敗しました！");
        return false;
    }
    if (!SetPictureSize(Height, Width)) {
        WarnFailed(kRotateWord);
        return false;
    }
    for (int32_t i = 0; i < layers_->Count(); ++i) {
        CLayerData& layer = *layers_->At(i);
        const int32_t sw = layer.Store->Width, sh = layer.Store->Height;
        const int32_t ox = layer.OriginX, oy = layer.OriginY;
        layer.OriginX = clockwise ? sh - oy - layer.NominalH : oy;
        layer.OriginY = clockwise ? ox : sw - ox - layer.NominalW;
        std::swap(layer.NominalW, layer.NominalH);
        layer.Store = std::move(stores[size_t(i)]);
        if (layer.SizeThumbnail(layers_->ThumbW, layers_->ThumbH))
            layer.RefreshThumbnail();
    }
    return true;
}

} // namespace morvane
