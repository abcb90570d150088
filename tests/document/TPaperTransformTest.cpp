// Layer commands and the whole-picture transforms: each done, undone and
// redone against the states before and after, its packet byte for byte, and
// refused whole when its packet cannot be kept.
#include <gtest/gtest.h>

#include <functional>

#include "PaperFixture.h"

namespace morvane {
namespace {

using testing_layers::PaintedPaper;
using testing_layers::PaperState;
using testing_layers::StateOf;
using Bytes = std::vector<uint8_t>;

// Does op, then checks undo gives back the state before and redo the state
// after; the document is left as op made it.
void ExpectUndoRedo(TPaper& paper, const std::function<bool()>& op)
{
    const PaperState before = StateOf(paper);
    ASSERT_TRUE(op());
    const PaperState after = StateOf(paper);
    EXPECT_FALSE(before == after);
    testing_layers::ExpectUndoRedoUndo(paper, before, after);
    int32_t layer = -1;
    ExtentRect rect{};
    ASSERT_TRUE(paper.Redo(layer, rect));
}

struct LayerCommandCase {
    int command;
    Bytes packet;
    int32_t originX, originY; // of the offset top layer after the command
};

TEST(PaperTransforms, LayerCommandsUndoRedoAndRecordTheirPackets)
{
    // The top layer's store is 68 x 52 with the 48 x 40 picture at (7, 5).
    const LayerCommandCase cases[] = {
        {7, {4, 32, 2, 0, 2, 0}, 13, 5},
        {8, {4, 33, 2, 0, 2, 0}, 7, 7},
        {9, {4, 35, 2, 0, 2, 0}, 7, 5},
        {10, {4, 34, 2, 0, 2, 0}, 13, 7},
        {11, {4, 25, 2, 0, 0, 0}, 7, 5},
    };
    for (const LayerCommandCase& c : cases) {
        SCOPED_TRACE(c.command);
        PaintedPaper paper;
        ExpectUndoRedo(*paper, [&] { return paper->LayerCommand(2, c.command); });
        EXPECT_EQ(paper->LayerAt(2)->OriginX, c.originX);
        EXPECT_EQ(paper->LayerAt(2)->OriginY, c.originY);
        ASSERT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper.recorder->packets[0], c.packet);
    }
}

TEST(PaperTransforms, LayerCommandRefusesBadIndexOrCommand)
{
    PaintedPaper paper;
    const PaperState before = StateOf(*paper);
    for (auto [layer, command] : {std::pair{3, 7}, {-1, 7}, {0, 6}, {0, 12}})
        EXPECT_FALSE(paper->LayerCommand(layer, command));
    EXPECT_TRUE(StateOf(*paper) == before);
    EXPECT_TRUE(paper.recorder->packets.empty());
}

struct PictureCase {
    int command;
    bool allLayers;
    uint8_t code;
};

TEST(PaperTransforms, WholePictureTransformsUndoAndRedoTheSameSetOfLayers)
{
    const PictureCase cases[] = {
        {7, true, 32}, {8, true, 33}, {9, true, 35}, {10, true, 34},
        {7, false, 16}, {8, false, 17}, {9, false, 19}, {10, false, 18},
    };
    const std::function<bool(TPaper&, bool)> ops[] = {
        [](TPaper& p, bool all) { return p.FlipPictureH(all); },
        [](TPaper& p, bool all) { return p.FlipPictureV(all); },
        [](TPaper& p, bool all) { return p.InvertPicture(all); },
        [](TPaper& p, bool all) { return p.RotatePicture180(all); },
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.command << " all " << c.allLayers);
        PaintedPaper paper; // the middle layer is hidden
        const uint64_t hidden = StateOf(*paper).layers[1].pixels;
        ExpectUndoRedo(*paper, [&] { return ops[c.command - 7](*paper, c.allLayers); });
        EXPECT_EQ(StateOf(*paper).layers[1].pixels == hidden, !c.allLayers);
        ASSERT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper.recorder->packets[0], (Bytes{2, c.code}));
    }
}

TEST(PaperTransforms, RotatePicture90TurnsEveryStoreAndItsOrigin)
{
    struct Case {
        bool clockwise;
        uint8_t code;
        int32_t originX, originY;
    };
    // A 300 x 200 picture whose layer store is 340 x 260 with the picture at (10, 40).
    for (const Case& c : {Case{true, 4, 20, 10}, Case{false, 5, 40, 30}}) {
        SCOPED_TRACE(c.clockwise);
        PaintedPaper paper(300, 200);
        CLayerData& layer = *paper->LayerAt(2);
        ASSERT_TRUE(paper->Layers().ReplaceLayer(2, layer.Resized(340, 260, {3, 35})) != nullptr);
        ASSERT_EQ(paper->LayerAt(2)->OriginX, 10);
        ASSERT_EQ(paper->LayerAt(2)->OriginY, 40);
        paper->RenderAll(true);
        const uint32_t corner = paper->Composite().Row(0)[0] & 0xFFFFFF;
        ExpectUndoRedo(*paper, [&] { return paper->RotatePicture90(c.clockwise); });
        EXPECT_EQ(paper->Width, 200);
        EXPECT_EQ(paper->Height, 300);
        const CLayerData& turned = *paper->LayerAt(2);
        EXPECT_EQ(turned.Store->Width, 260);
        EXPECT_EQ(turned.Store->Height, 340);
        EXPECT_EQ(turned.OriginX, c.originX);
        EXPECT_EQ(turned.OriginY, c.originY);
        EXPECT_EQ(turned.NominalW, 200);
        // The picture's top-left corner goes to the top-right (clockwise) or
        // bottom-left; an opaque paper's composite has no alpha to compare.
        const TTC& composite = paper->Composite();
        EXPECT_EQ((c.clockwise ? composite.Row(0)[199] : composite.Row(299)[0]) & 0xFFFFFF, corner);
        ASSERT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper.recorder->packets[0], (Bytes{2, c.code}));
    }
}

TEST(PaperTransforms, PaperColourRecordsItsColourAndUndoes)
{
    PaintedPaper paper;
    paper->LayerAt(0)->Visible = false;
    paper->RenderAll(true);
    ExpectUndoRedo(*paper, [&] { return paper->SetPaperColour(0x00336699u); });
    EXPECT_EQ(paper->PaperColour, 0x00336699u);
    EXPECT_EQ(paper.recorder->packets[0], (Bytes{2, 1, 0x99, 0x66, 0x33, 0x00}));
}

// A packet the recorder cannot keep refuses the operation: the picture must
// never hold a change the stream lacks, nor the stream one the picture lacks.
TEST(PaperTransforms, UnrecordableOperationChangesNothing)
{
    const std::function<bool(TPaper&)> ops[] = {
        [](TPaper& p) { return p.LayerCommand(2, 7); },
        [](TPaper& p) { return p.LayerCommand(1, 11); },
        [](TPaper& p) { return p.RotatePicture180(true); },
        [](TPaper& p) { return p.InvertPicture(false); },
        [](TPaper& p) { return p.RotatePicture90(true); },
        [](TPaper& p) { return p.SetPaperColour(0x123456); },
    };
    for (const auto& op : ops) {
        PaintedPaper paper;
        const PaperState before = StateOf(*paper);
        paper.recorder->refuse = true;
        EXPECT_FALSE(op(*paper));
        paper->RenderAll(true);
        EXPECT_TRUE(StateOf(*paper) == before);
        EXPECT_FALSE(paper->UndoManager()->CanUndo());
    }
}

} // namespace
} // namespace morvane
