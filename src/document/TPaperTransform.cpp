// Layer commands on one layer and the whole-picture transforms: flips,
// inverts, rotations by 180 and 90 degrees. A transform is applied first and
// recorded after; when the packet cannot be kept the self-inverse transform
// is applied again, so the stream never holds a change the picture lacks.
#include <exception>
#include <new>
#include <vector>

#include "document/EventPacket.h"
#include "document/TPaper.h"
#include "platform/BusyCursor.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {
constexpr const char* kCommandFailed = "Failed to execute layer command!";
constexpr const char* kRotateWord = "回転";

bool IsLayerCommand(int command) { return command >= 7 && command <= 11; }

// Event codes of commands 7-10 in the order flip H, flip V, invert, rotate
// 180: category 4 (one layer), 2 (every layer) and 2 (visible layers).
uint8_t CodeOf(int command, uint8_t flipH, uint8_t flipV, uint8_t invert, uint8_t rotate)
{
    switch (command) {
    case 7: return flipH;
    case 8: return flipV;
    case 9: return invert;
    default: return rotate;
    }
}

EventPacket LayerCommandPacket(int32_t layer, int command)
{
    // Inverting opacity has its own command packet.
    if (command == 11)
        return EventPacket(4, 25, 4).I16(0, layer).I16(2, 0);
    return EventPacket(4, CodeOf(command, 32, 33, 35, 34), 4).I16(0, layer).I16(2, layer);
}
} // namespace

bool TPaper::LayerCommand(int32_t index, int command, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer || !IsLayerCommand(command))
        return false;
    host_.ReloadWetPaint(index);
    if (!layer->ApplyCommand(command)) {
        Notifier().Warn(kCommandFailed);
        return false;
    }
    if (record) {
        if (!LayerCommandPacket(index, command).SendTo(*recorder_)) {
            layer->ApplyCommand(command);
            return false;
        }
        if (undo_)
            undo_->PushPixels(*layer, index, {0, 0, layer->Store->Width, layer->Store->Height}, command);
    }
    host_.MarkModified();
    RenderAll(true);
    LayerChanged(index, {0, 0, Width, Height});
    host_.ReloadWetPaint(index);
    return true;
}

// The document keeps no masks yet, so every mask counts as empty and the
// command acts on the whole layer, recording the unmasked event.
bool TPaper::LayerCommandMasked(int32_t index, int command, int32_t, bool record)
{
    return LayerCommand(index, command, record);
}

bool TPaper::TransformPicture(int command, bool allLayers, bool record)
{
    BusyCursor busy;
    std::vector<int32_t> done;
    for (int32_t i = 0; i < layers_->Count(); ++i) {
        CLayerData& layer = *layers_->At(i);
        if (!allLayers && !layer.Visible)
            continue;
        if (!layer.ApplyCommand(command)) {
            // Every command here is its own inverse: the layers already
            // changed go back.
            for (int32_t j : done)
                layers_->At(j)->ApplyCommand(command);
            Notifier().Warn(kCommandFailed);
            return false;
        }
        done.push_back(i);
    }
    if (record) {
        const uint8_t code = allLayers ? CodeOf(command, 32, 33, 35, 34) : CodeOf(command, 16, 17, 19, 18);
        if (!EventPacket(2, code).SendTo(*recorder_)) {
            for (int32_t j : done)
                layers_->At(j)->ApplyCommand(command);
            return false;
        }
        if (undo_)
            undo_->PushPictureTransform(command + kUndoFlipAllH - kUndoFlipH, !allLayers, {0, 0, Width, Height});
    }
    for (int32_t j : done)
        layers_->At(j)->RefreshThumbnail();
    RefreshWholePicture();
    return true;
}

bool TPaper::RotatePicture90(bool clockwise, bool record)
{
    BusyCursor busy;
    if (!RotateAllLayers90(clockwise))
        return false;
    if (record) {
        if (!EventPacket(2, clockwise ? 4 : 5).SendTo(*recorder_)) {
            RotateAllLayers90(!clockwise);
            return false;
        }
        if (undo_) {
            SUndoCommand command;
            command.kind = kUndoRotateCanvas90;
            command.rect = {0, 0, Width, Height};
            command.values.a = clockwise ? 1 : 0;
            undo_->PushCommand(std::move(command));
        }
    }
    RefreshWholePicture();
    return true;
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
