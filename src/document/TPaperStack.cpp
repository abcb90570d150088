// Operations that give the picture a new size by replacing the layer stack
// whole: crop, canvas size and image size. The new stack is built beside the
// old one; the old one moves into the history without a copy.
#include <utility>

#include "document/TPaper.h"

namespace morvane {

Point TPaper::CanvasOffset(int32_t anchor, int32_t oldW, int32_t oldH, int32_t newW, int32_t newH)
{
    if (anchor < 0 || anchor > 8)
        anchor = 0;
    // Division truncates toward zero, as the anchors are defined.
    const int32_t spans[3][2] = {{0, 0}, {(newW - oldW) / 2, (newH - oldH) / 2}, {newW - oldW, newH - oldH}};
    return {spans[anchor / 3][0], spans[anchor % 3][1]};
}

bool TPaper::SwapInStack(std::unique_ptr<CLayerMngr> stack, int kind, Point shift, bool record)
{
    const int32_t oldW = Width, oldH = Height;
    // The composite takes the new size first: if it cannot, nothing changed.
    if (!stack || !SetPictureSize(stack->PictureW, stack->PictureH))
        return false;
    std::swap(layers_, stack);
    stack->PictureW = oldW;
    stack->PictureH = oldH;
    if (record && undo_) {
        SUndoCommand command;
        command.kind = kind;
        command.rect = {0, 0, Width, Height};
        command.values.a = shift.x;
        command.values.b = shift.y;
        command.kept.stack = std::move(stack);
        // Without its record the history could not step back over the new
        // size: it goes.
        if (!undo_->PushCommand(std::move(command)))
            undo_->ClearHistory();
    }
    host_.PictureShifted(shift.x, shift.y);
    RefreshWholePicture();
    return true;
}

bool TPaper::ApplyStackRecord(CUndoData& record, bool undo)
{
    if (!record.kept.stack)
        return false;
    const int32_t oldW = Width, oldH = Height;
    if (!SetPictureSize(record.kept.stack->PictureW, record.kept.stack->PictureH))
        return false;
    std::swap(layers_, record.kept.stack);
    record.kept.stack->PictureW = oldW;
    record.kept.stack->PictureH = oldH;
    const int32_t sign = undo ? -1 : 1;
    host_.PictureShifted(sign * record.values.a, sign * record.values.b);
    return true;
}

} // namespace morvane
