// The document: a new picture's composite and packet, partial recomposition
// against a full one, undo and redo through the document, size limits and
// the display of a transparent paper.
#include <gtest/gtest.h>

#include <vector>

#include "PaperFixture.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "storage/BlendTables.h"

namespace morvane {
namespace {

using testing_layers::AllOf;
using testing_layers::KeepingRecorder;
using testing_layers::Notes;
using testing_layers::PaintRandom;
using Call = RecordingDocumentHost::Call;

struct NewCase {
    bool transparentPaper, layerTransparent;
    uint32_t mask, expected;
};

TEST(TPaper, NewPictureComposesItsPaperAndFirstLayerAndRecordsItsPacket)
{
    const uint32_t layerColour = NewLayerColourOf(kModeNormal);
    const NewCase cases[] = {
        {false, false, 0x00FFFFFFu, layerColour},          // opaque layer on white paper
        {false, true, 0x00FFFFFFu, 0x00FFFFFFu},           // the paper shows through
        {true, true, 0xFFFFFFFFu, 0x00FFFFFFu},            // nothing painted: alpha 0 everywhere
        {true, false, 0xFF000000u, 0xFF000000u},           // an opaque layer makes it opaque
    };
    for (const NewCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.transparentPaper << c.layerTransparent);
        RecordingDocumentHost host;
        auto keep = std::make_unique<KeepingRecorder>();
        KeepingRecorder& recorder = *keep;
        TPaper paper(host, {}, std::move(keep));
        ASSERT_TRUE(paper.NewPicture("a", c.layerTransparent, c.transparentPaper, 150, 40, 30, 40, 30));
        EXPECT_TRUE(paper.Ready);
        EXPECT_EQ(paper.OpaquePaper, !c.transparentPaper);
        ASSERT_EQ(paper.LayerCount(), 1);
        EXPECT_EQ(paper.LayerAt(0)->Mode, kModeNormal);
        EXPECT_EQ(paper.LayerAt(0)->Name, "レイヤ1");
        EXPECT_EQ(paper.CurrentLayer(), 0);
        for (uint32_t p : AllOf(paper))
            ASSERT_EQ(p & c.mask, c.expected & c.mask);

        ASSERT_EQ(recorder.packets.size(), 1u);
        const std::vector<uint8_t> expected = {
            2, 8, 40, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0, 30, 0, 0, 0, 150, 0, 0, 0,
            uint8_t(c.transparentPaper ? 0 : 0xFF), uint8_t(c.layerTransparent ? 0 : 0xFF), 0, 0, 0, 0, 0, 0};
        EXPECT_EQ(recorder.packets[0], expected);
        EXPECT_EQ(host.LastOf(Call::PictureResized)->a, 40);
    }
}

TEST(TPaper, OldestGenerationStartsWithAnOpaqueMultiplyLayerOfThePictureSizeAndNoHistory)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    paper.SetEngineLevel(0);
    EXPECT_EQ(paper.UndoManager(), nullptr);
    ASSERT_TRUE(paper.NewPicture("o", true, false, 72, 50, 60, 30, 20));
    const CLayerData& layer = *paper.LayerAt(0);
    EXPECT_EQ(layer.Mode, kModeMultiply);
    EXPECT_EQ(layer.Store->Width, 30);
    EXPECT_EQ(layer.Store->Height, 20);
    EXPECT_EQ(layer.Store->GetPixel(3, 4) >> 24, 255u);
    int32_t index = 0;
    ExtentRect rect;
    EXPECT_FALSE(paper.Undo(index, rect));
    paper.SetEngineLevel(1);
    ASSERT_NE(paper.UndoManager(), nullptr);
    EXPECT_FALSE(paper.UndoManager()->CanUndo());
}

TEST(TPaper, GridLinesAreBlendedOncePerPixelAndSpacingNeverBelowTwo)
{
    RecordingDocumentHost host;
    TPaper paper(host, {8, 0x40102030u});
    ASSERT_TRUE(paper.NewPicture("g", true, false, 72, 9, 7, 9, 7));
    paper.SetGrid(true, 1, 3, true);
    EXPECT_EQ(paper.GridX, 2);
    uint32_t line = 0xFFFFFFu;
    BlendColour(line, 0x102030u, 0x40);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            const bool onLine = x % 2 == 0 || y % 3 == 0;
            ASSERT_EQ(paper.Composite().GetPixel(x, y) & 0xFFFFFFu, onLine ? line : 0xFFFFFFu) << x << "," << y;
        }
}

// A picture of three layers: an opaque bottom, a half-transparent middle and
// a hidden top, so every rule of the stack walk is exercised.
void PaintLayers(TPaper& paper)
{
    CLayerMngr& layers = paper.Layers();
    ASSERT_EQ(layers.AddLayer(1, paper.Width, true, 180, kModeNormal, paper.Height), 1);
    ASSERT_EQ(layers.AddLayer(2, paper.Width, false, 255, kModeNormal, paper.Height), 2);
    PaintRandom(*layers.At(0), {0, 0, paper.Width, paper.Height}, 11, true);
    PaintRandom(*layers.At(1), {5, 3, 40, 30}, 12, false);
    PaintRandom(*layers.At(2), {0, 0, paper.Width, paper.Height}, 13, true);
}

TEST(TPaper, RenderRectOfAPartEqualsThatPartOfRenderAll)
{
    const ExtentRect part{7, 5, 23, 19};
    for (bool transparentPaper : {false, true}) {
        SCOPED_TRACE(transparentPaper);
        RecordingDocumentHost host;
        TPaper paper(host);
        ASSERT_TRUE(paper.NewPicture("r", true, transparentPaper, 72, 50, 40, 50, 40));
        paper.SetGrid(true, 4, 6, false);
        PaintLayers(paper);
        const std::vector<uint32_t> blank = AllOf(paper);
        paper.RenderRect(part, true);
        const std::vector<uint32_t> partial = AllOf(paper);
        paper.RenderAll(true);
        const std::vector<uint32_t> full = AllOf(paper);
        for (int32_t y = 0; y < paper.Height; ++y)
            for (int32_t x = 0; x < paper.Width; ++x) {
                const size_t i = size_t(y) * size_t(paper.Width) + size_t(x);
                const bool inside = x >= part.left && x < part.left + part.width && y >= part.top &&
                                    y < part.top + part.height;
                ASSERT_EQ(partial[i], inside ? full[i] : blank[i]) << x << "," << y;
            }
        EXPECT_NE(full, blank);
    }
}

TEST(TPaper, UndoAndRedoOfAPixelChangeRestoreTheComposite)
{
    Notes notes;
    RecordingDocumentHost host;
    TPaper paper(host, {}, std::make_unique<KeepingRecorder>());
    ASSERT_TRUE(paper.NewPicture("u", false, false, 72, 64, 48, 64, 48));
    PaintLayers(paper);
    paper.RenderAll(false);
    const std::vector<uint32_t> before = AllOf(paper);

    const ExtentRect changed{10, 8, 20, 16};
    CLayerData& layer = *paper.LayerAt(1);
    ASSERT_TRUE(paper.UndoManager()->PushPixels(layer, 1, changed, UndoKind::Stroke));
    // The stroke's own packet keeps the stream in step with the history.
    const uint8_t strokeEnd[2] = {18, 0};
    paper.Events().Record(strokeEnd, sizeof strokeEnd);
    PaintRandom(layer, changed, 99, true);
    paper.RenderRect(changed, false);
    const std::vector<uint32_t> after = AllOf(paper);
    ASSERT_NE(after, before);

    int32_t index = -1;
    ExtentRect rect;
    ASSERT_TRUE(paper.Undo(index, rect));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(rect, changed);
    EXPECT_EQ(AllOf(paper), before);
    EXPECT_EQ(host.LastOf(Call::InvalidateRect)->rect, changed);
    ASSERT_TRUE(paper.Redo(index, rect));
    EXPECT_EQ(AllOf(paper), after);
    EXPECT_FALSE(paper.Redo(index, rect));
    EXPECT_EQ(notes.Count(), 0u);
}

TEST(TPaper, UndoOfThePaperColourRecomposesThePicture)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("p", true, false, 72, 16, 16, 16, 16));
    ASSERT_TRUE(paper.UndoManager()->PushCanvasColour(0x00123456u));
    paper.PaperColour = 0x00123456u;
    paper.RenderAll(false);
    int32_t index = 0;
    ExtentRect rect;
    ASSERT_TRUE(paper.Undo(index, rect));
    EXPECT_EQ(paper.PaperColour, TPaper::kWhitePaper);
    EXPECT_EQ(paper.Composite().GetPixel(7, 9) & 0xFFFFFFu, 0xFFFFFFu);
    ASSERT_TRUE(paper.Redo(index, rect));
    EXPECT_EQ(paper.Composite().GetPixel(7, 9) & 0xFFFFFFu, 0x123456u);
}

TEST(TPaper, SizesPastTheLimitsAreRefusedAndChangeNothing)
{
    Notes notes;
    RecordingDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("s", false, false, 72, 20, 10, 20, 10));
    const struct {
        int32_t layerW, layerH, w, h;
    } bad[] = {{20, 10, 10001, 10}, {20, 10, 0, 10}, {20, 10, 20, -1}, {40000, 10, 20, 10}, {20, 0, 20, 10}};
    for (const auto& b : bad)
        EXPECT_FALSE(paper.NewPicture("x", false, false, 72, b.layerW, b.layerH, b.w, b.h));
    const Point badSizes[] = {{10001, 10}, {0, 10}, {20, -1}, {20, 10001}};
    for (const Point& s : badSizes)
        EXPECT_FALSE(paper.SetPictureSize(s.x, s.y));
    EXPECT_EQ(paper.Name, "s");
    EXPECT_EQ(paper.Width, 20);
    EXPECT_EQ(paper.Composite().Width, 20);
    EXPECT_EQ(paper.LayerCount(), 1);
    EXPECT_FALSE(paper.SelectLayer(1));
    EXPECT_FALSE(paper.SelectLayer(-1));
}

TEST(TPaper, TransparentPaperIsShownOverACheckerAnchoredAtThePicture)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("c", true, true, 72, 32, 32, 32, 32));
    paper.CheckerTransparency = true;
    TMTC view(20, 20);
    ASSERT_TRUE(paper.FlattenForDisplay({5, 3, 20, 20}, view));
    // Picture point (x + 5, y + 3): the cell at an even sum is the darker one.
    EXPECT_EQ(view.GetPixel(0, 0), 0xFFC8C8C8u);  // (5, 3): cell (0, 0)
    EXPECT_EQ(view.GetPixel(3, 0), 0xFFE0E0E0u);  // (8, 3): cell (1, 0)
    EXPECT_EQ(view.GetPixel(3, 5), 0xFFC8C8C8u);  // (8, 8): cell (1, 1)
    paper.CheckerTransparency = false;
    ASSERT_TRUE(paper.FlattenForDisplay({5, 3, 20, 20}, view));
    EXPECT_EQ(view.GetPixel(3, 5), 0xFFFFFFFFu);
    // The paper's flags change only while it is white.
    paper.PaperColour = 0x00FF0000u;
    EXPECT_FALSE(paper.SetPaperMode(true, true));
    EXPECT_FALSE(paper.OpaquePaper);
}

} // namespace
} // namespace morvane

namespace morvane {
namespace {

using testing_layers::PaintedPaper;

TEST(TPaper, ClearingTheHistoryAsksAndEmptiesBothHistories)
{
    struct Case {
        bool playingBack;
        Answer answer;
        bool cleared;
    };
    for (const Case& c : {Case{false, Answer::Yes, true}, {false, Answer::No, false}, {true, Answer::Yes, false}}) {
        Notes notes;
        notes.Script(c.answer);
        PaintedPaper paper;
        ASSERT_TRUE(paper->InvertPicture(true));
        ASSERT_TRUE(paper->FlipPictureH(true));
        int32_t layer;
        ExtentRect rect;
        ASSERT_TRUE(paper->Undo(layer, rect));
        paper.host.PlayingBack = c.playingBack;
        EXPECT_EQ(paper->ClearHistoryAsked(), c.cleared);
        EXPECT_EQ(notes.Said("すべての 取り消し/やり直し を破棄してよろしいですか?"), !c.playingBack);
        EXPECT_EQ(paper->UndoManager()->CanUndo(), !c.cleared);
        EXPECT_EQ(paper->UndoManager()->CanRedo(), !c.cleared);
        EXPECT_EQ(paper.recorder->redoSteps, c.cleared ? 0 : 1);
    }
}

TEST(TPaper, UndoCountResizesTheEventStepsFirst)
{
    Notes notes;
    PaintedPaper paper;
    EXPECT_EQ(paper.recorder->capacity, 8 + 34);
    EXPECT_TRUE(paper->SetUndoCount(20));
    EXPECT_EQ(paper.recorder->capacity, 54);
    EXPECT_EQ(paper->UndoManager()->UndoDepth(), 20);
    paper.recorder->refuse = true;
    EXPECT_FALSE(paper->SetUndoCount(3));
    EXPECT_TRUE(notes.Said("アンドゥ回数の変更に失敗しました!"));
    EXPECT_EQ(paper->UndoManager()->UndoDepth(), 20);
}

} // namespace
} // namespace morvane
