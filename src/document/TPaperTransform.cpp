// Layer commands on one layer and the whole-picture transforms: flips,
// inverts, rotations by 180 and 90 degrees. A transform is applied first and
// recorded after; when the packet cannot be kept the self-inverse transform
// is applied again, so the stream never holds a change the picture lacks.
#include <exception>
#include <new>
#include <vector>

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

std::optional<LayerCommandMaskedOp> LayerCommandMaskedOp::Replayed(OpContext&, PacketId id,
                                                                   const SelectionTransformPayload& p)
{
    return LayerCommandMaskedOp{{p.layer, CommandOf(id, PacketId::MaskedFlipH, PacketId::MaskedFlipV,
                                                     PacketId::MaskedInvert)},
                                p.mask};
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

bool TPaper::LayerCommandMasked(int32_t layer, int command, int32_t maskIndex, bool record)
{
    return RunOperation(*this, LayerCommandMaskedOp{{layer, command}, maskIndex}, record);
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
