// Operations that replace one layer by a transformed copy of itself: rotate
// by 90 degrees or by any angle, scale. The copy is made whole before the
// layer is touched; the former layer moves into the history.
#include "document/TPaper.h"

namespace morvane {

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
        command.rect = {0, 0, now.Store->Width, now.Store->Height};
        command.kept.layer = std::move(former);
        undo_->PushCommand(std::move(command));
    }
    host_.MarkModified();
    RenderAll(true);
    LayerChanged(index, {0, 0, Width, Height});
    SelectLayer(layers_->Current());
    return true;
}

} // namespace morvane
