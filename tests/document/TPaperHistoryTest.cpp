// A picture changed by every whole-picture operation in turn, undone to the
// start and redone to the end: each step back and forward must give the very
// bytes it had, whatever sizes and stacks the operations exchanged.
#include <gtest/gtest.h>

#include <functional>

#include "PaperFixture.h"

namespace morvane {
namespace {

using testing_layers::PaintedPaper;
using testing_layers::PaperState;
using testing_layers::StateOf;

TEST(TPaperHistory, EveryWholePictureOperationUndoesToTheStartAndRedoesToTheEnd)
{
    const std::function<bool(TPaper&)> ops[] = {
        [](TPaper& p) { return p.FlipPictureH(true); },
        [](TPaper& p) { return p.FlipPictureV(false); },
        [](TPaper& p) { return p.InvertPicture(true); },
        [](TPaper& p) { return p.RotatePicture180(false); },
        [](TPaper& p) { return p.RotatePicture90(true); },
        [](TPaper& p) { return p.LayerCommand(2, 7); },
        [](TPaper& p) { return p.LayerCommand(1, 11); },
        [](TPaper& p) { return p.SetPaperColour(0x00204080u); },
        [](TPaper& p) { return p.SetCanvasSize(57, 45, false, 4); },
        [](TPaper& p) { return p.RotateLayer90(2, false); },
        [](TPaper& p) { return p.Crop(0, {3, 2, 50, 40}); },
        [](TPaper& p) { return p.RotateLayerFree(1, 33.5f); },
        [](TPaper& p) { return p.SetImageSize(70, 29, true); },
        [](TPaper& p) { return p.ScaleLayer(0, 40, 20); },
        [](TPaper& p) { return p.RotatePicture90(false); },
        [](TPaper& p) { return p.SetCanvasSize(31, 52, true, 8); },
    };
    PaintedPaper paper(48, 40);
    ASSERT_TRUE(paper->SetUndoCount(50));
    std::vector<PaperState> states{StateOf(*paper)};
    for (size_t i = 0; i < std::size(ops); ++i) {
        ASSERT_TRUE(ops[i](*paper)) << "operation " << i;
        states.push_back(StateOf(*paper));
    }
    int32_t layer;
    ExtentRect rect;
    for (size_t i = std::size(ops); i-- > 0;) {
        ASSERT_TRUE(paper->Undo(layer, rect)) << "undo " << i;
        ASSERT_TRUE(StateOf(*paper) == states[i]) << "after undoing operation " << i;
    }
    EXPECT_FALSE(paper->UndoManager()->CanUndo());
    for (size_t i = 0; i < std::size(ops); ++i) {
        ASSERT_TRUE(paper->Redo(layer, rect)) << "redo " << i;
        ASSERT_TRUE(StateOf(*paper) == states[i + 1]) << "after redoing operation " << i;
    }
    EXPECT_EQ(paper.recorder->packets.size(), std::size(ops));
    EXPECT_EQ(paper.recorder->undoSteps, int32_t(std::size(ops)));
}

} // namespace
} // namespace morvane
