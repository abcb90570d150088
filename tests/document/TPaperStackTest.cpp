// Crop, canvas size and image size: each replaces the layer stack whole.
// Done, undone and redone they give the same pictures and stacks; their
// packets are exact; a change that cannot be made whole is not made, nor
// recorded.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "PaperFixture.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "platform/MemoryBudget.h"

namespace morvane {
namespace {

using Bytes = std::vector<uint8_t>;

using namespace testing_layers;

std::vector<uint32_t> CompositePart(const TPaper& paper, const ExtentRect& r)
{
    return PixelsOf(paper.Composite(), r);
}

// A 48 x 36 picture of three layers: an opaque bottom; a half-transparent
// middle whose 60 x 50 store holds the picture at (5, 7), so content lies
// outside it; a hidden top.
struct Picture {
    explicit Picture(bool undo = true) : paper(host, {undo ? 8 : 1}, std::make_unique<KeepingRecorder>())
    {
        recorder = static_cast<KeepingRecorder*>(&paper.Events());
        EXPECT_TRUE(paper.NewPicture("s", false, false, 72, 48, 36, 48, 36, false));
        CLayerMngr& layers = paper.Layers();
        EXPECT_EQ(layers.AddLayer(1, 48, true, 180, kModeNormal, 36), 1);
        EXPECT_EQ(layers.AddLayer(2, 48, false, 255, kModeNormal, 36), 2);
        layers.ReplaceLayer(1, layers.At(1)->Resized(60, 50, {5, 7}));
        layers.At(1)->Name = "中";
        layers.At(2)->Name = "上";
        layers.At(1)->Opacity = 180;
        PaintRandom(*layers.At(0), {0, 0, 48, 36}, 11, true);
        PaintRandom(*layers.At(1), {0, 0, 60, 50}, 12, false);
        PaintRandom(*layers.At(2), {0, 0, 48, 36}, 13, true);
        paper.SelectLayer(1);
        paper.RenderAll(true);
        if (!undo)
            paper.UndoManager()->SetDepth(0, 0);
    }
    RecordingDocumentHost host;
    TPaper paper;
    KeepingRecorder* recorder;
};

struct StackCase {
    const char* name;
    std::function<bool(TPaper&, bool record)> run;
    Bytes packet;
    // Store size and origin of each layer afterwards.
    std::vector<std::array<int32_t, 4>> stores;
    int32_t width, height;
};

const StackCase kCases[] = {
    {"crop",
     [](TPaper& p, bool r) {
         return p.Crop(1, {10, 6, 40, 30}, r);
     },
     {2, 6, 1, 0, 10, 0, 0, 0, 6, 0, 0, 0, 40, 0, 0, 0, 30, 0, 0, 0},
     {{30, 24, 0, 0}, {30, 24, 0, 0}, {30, 24, 0, 0}},
     30,
     24},
    // The middle store reaches 5 left of the picture, the canvas 6: (-6, -7)
    // ... (55, 43) holds both.
    {"canvas",
     [](TPaper& p, bool r) { return p.SetCanvasSize(60, 40, true, 4, r); },
     {2, 2, 4, 1, 60, 0, 0, 0, 40, 0, 0, 0},
     {{60, 40, 0, 0}, {61, 50, 0, 5}, {60, 40, 0, 0}},
     60,
     40},
    // 60 x 50 at (5, 7) halves to 30 x 25 at (3, 4).
    {"image",
     [](TPaper& p, bool r) { return p.SetImageSize(24, 18, false, r); },
     {2, 9, 0, 0, 24, 0, 0, 0, 18, 0, 0, 0},
     {{24, 18, 0, 0}, {30, 25, 3, 4}, {24, 18, 0, 0}},
     24,
     18},
};

TEST(TPaperStack, DoUndoRedoGiveTheStatesBeforeAndAfterAndRecordTheExactPacket)
{
    for (const StackCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        Picture pic;
        const PaperState before = StateOf(pic.paper);
        ASSERT_TRUE(c.run(pic.paper, true));
        const PaperState after = StateOf(pic.paper);
        ASSERT_EQ(pic.recorder->packets, std::vector<Bytes>{c.packet});
        EXPECT_EQ(pic.paper.Width, c.width);
        EXPECT_EQ(pic.paper.Height, c.height);
        EXPECT_EQ(pic.paper.CurrentLayer(), 1);
        ASSERT_EQ(after.layers.size(), c.stores.size());
        for (size_t i = 0; i < c.stores.size(); ++i) {
            const PaperState::Layer& l = after.layers[i];
            EXPECT_EQ((std::array<int32_t, 4>{l.storeW, l.storeH, l.originX, l.originY}), c.stores[i]) << i;
            EXPECT_EQ(l.nominalW, c.width);
            EXPECT_EQ(l.name, before.layers[i].name);
            EXPECT_EQ(l.opacity, before.layers[i].opacity);
            EXPECT_EQ(l.visible, before.layers[i].visible);
        }
        ASSERT_EQ(pic.paper.UndoManager()->UndoCount(), 1);

        ExpectUndoRedoUndo(pic.paper, before, after);
        EXPECT_EQ(pic.paper.CurrentLayer(), 1);
        // The stream stepped with the history: nothing to mend or report.
        EXPECT_EQ(notes.Count(), 0u);
        EXPECT_EQ(pic.recorder->undoSteps, 0);
    }
}

TEST(TPaperStack, CropAndCanvasKeepThePixelsWhereThePictureMoved)
{
    Picture crop;
    const std::vector<uint32_t> part = CompositePart(crop.paper, {10, 6, 30, 24});
    ASSERT_TRUE(crop.paper.Crop(0, {10, 6, 40, 30}));
    EXPECT_EQ(CompositePart(crop.paper, {0, 0, 30, 24}), part);

    Picture canvas;
    const std::vector<uint32_t> whole = CompositePart(canvas.paper, {0, 0, 48, 36});
    ASSERT_TRUE(canvas.paper.SetCanvasSize(60, 40, false, 4));
    EXPECT_EQ(CompositePart(canvas.paper, {6, 2, 48, 36}), whole);
    EXPECT_EQ(canvas.host.LastOf(RecordingDocumentHost::Call::PictureShifted)->a, 6);
}

TEST(TPaperStack, ImageSizeShowsProgressPerLayerAndKeepsAttributesWhenAsked)
{
    Picture pic;
    pic.paper.LayerAt(1)->ProtectAlpha = true;
    ASSERT_TRUE(pic.paper.SetImageSize(96, 72, true));
    EXPECT_TRUE(pic.paper.LayerAt(1)->ProtectAlpha);
    EXPECT_EQ(pic.host.CountOf(RecordingDocumentHost::Call::Progress), 3);
    EXPECT_EQ(pic.host.LastOf(RecordingDocumentHost::Call::BeginProgress)->text, "解像度を変更しています");
    EXPECT_EQ(pic.host.LastOf(RecordingDocumentHost::Call::Progress)->text, "上を処理中...");
    EXPECT_EQ(pic.host.CountOf(RecordingDocumentHost::Call::EndProgress), 1);
    ASSERT_TRUE(pic.paper.SetImageSize(48, 36, false));
    EXPECT_FALSE(pic.paper.LayerAt(1)->ProtectAlpha);
}

TEST(TPaperStack, CanvasOffsetOfEachAnchorTruncatesTowardZero)
{
    const struct {
        int32_t anchor, oldW, newW;
        Point offset;
    } cases[] = {
        {4, 101, 100, {0, 0}}, {8, 101, 100, {-1, -1}}, {9, 101, 100, {0, 0}}, {-1, 101, 100, {0, 0}},
        {0, 48, 60, {0, 0}},   {1, 48, 60, {0, 6}},     {2, 48, 60, {0, 12}},  {3, 48, 60, {6, 0}},
        {5, 48, 60, {6, 12}},  {6, 48, 60, {12, 0}},    {7, 48, 60, {12, 6}},  {4, 48, 45, {-1, -1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TPaper::CanvasOffset(c.anchor, c.oldW, c.oldW, c.newW, c.newW), c.offset) << c.anchor;

    // An anchor outside 0-8 is recorded and acts as 0.
    Picture nine, zero;
    ASSERT_TRUE(nine.paper.SetCanvasSize(60, 40, false, 9));
    ASSERT_TRUE(zero.paper.SetCanvasSize(60, 40, false, 0));
    EXPECT_EQ(WithoutIds(StateOf(nine.paper)), WithoutIds(StateOf(zero.paper)));
    EXPECT_EQ(nine.recorder->packets, zero.recorder->packets);
}

// The top layer's store made 30000 wide: past the store limit once doubled
// or widened by a canvas of 10000 to its left.
void WideTop(TPaper& p)
{
    p.Layers().ReplaceLayer(2, p.LayerAt(2)->Resized(30000, 36, {0, 0}));
}
void NoNominal(TPaper& p)
{
    p.LayerAt(2)->NominalW = 0;
}

TEST(TPaperStack, BadInputIsRefusedWithNothingChangedOrRecorded)
{
    const struct {
        void (*prepare)(TPaper&);
        std::function<bool(TPaper&)> run;
    } bad[] = {
        {nullptr,
         [](TPaper& p) {
             return p.Crop(0, {50, 0, 60, 10}, true);
         }}, // outside the picture
        {nullptr,
         [](TPaper& p) {
             return p.Crop(0, {20, 20, 10, 30}, true);
         }}, // empty
        {nullptr,
         [](TPaper& p) {
             return p.Crop(3, {0, 0, 10, 10}, true);
         }}, // no such layer
        {nullptr, [](TPaper& p) { return p.SetCanvasSize(10001, 40, false, 0, true); }},
        {nullptr, [](TPaper& p) { return p.SetCanvasSize(INT32_MIN, 40, false, 4, true); }},
        {nullptr, [](TPaper& p) { return p.SetImageSize(0, 18, false, true); }},
        {nullptr, [](TPaper& p) { return p.SetImageSize(24, -3, false, true); }},
        {WideTop, [](TPaper& p) { return p.SetImageSize(96, 36, false, true); }},
        {WideTop, [](TPaper& p) { return p.SetCanvasSize(10000, 36, false, 8, true); }},
        {NoNominal, [](TPaper& p) { return p.SetImageSize(24, 18, false, true); }},
    };
    for (size_t i = 0; i < std::size(bad); ++i) {
        SCOPED_TRACE(i);
        Picture pic;
        if (bad[i].prepare)
            bad[i].prepare(pic.paper);
        const PaperState before = StateOf(pic.paper);
        EXPECT_FALSE(bad[i].run(pic.paper));
        EXPECT_EQ(StateOf(pic.paper), before);
        EXPECT_TRUE(pic.recorder->packets.empty());
    }
}

TEST(TPaperStack, CropWithoutMemoryWarnsAndLeavesThePicture)
{
    Notes notes;
    Picture pic;
    const PaperState before = StateOf(pic.paper);
    {
        ScopedMemoryLimit none(0);
        EXPECT_FALSE(pic.paper.Crop(0, {10, 6, 40, 30}));
    }
    EXPECT_EQ(StateOf(pic.paper), before);
    EXPECT_TRUE(pic.recorder->packets.empty());
    EXPECT_EQ(notes.Count(), 1u);
    EXPECT_TRUE(notes.Said("メモリ不足により切り抜きの実行に失敗しました！"));
}

// A stroke's worth of history, so that dropping it frees memory.
void FillHistory(Picture& pic)
{
    for (int32_t i = 0; i < pic.paper.LayerCount(); ++i) {
        const CBlockVMTC& store = *pic.paper.LayerAt(i)->Store;
        ASSERT_TRUE(pic.paper.UndoManager()->PushPixels(*pic.paper.LayerAt(i), i,
                                                        {0, 0, store.Width, store.Height}, UndoKind::Stroke));
    }
}

TEST(TPaperStack, WithoutMemoryForTheHistoryTheUserChoosesCancelOrGoingOnInPlace)
{
    const char* question = "メモリ不足のためアンドゥは実行できませんがよろしいですか?\r* "
                           "実行前にファイルを保存しておくことをおすすめします *";
    // The reference result: the same change made with memory to spare.
    Picture reference;
    ASSERT_TRUE(reference.paper.SetImageSize(24, 18, false));
    const PaperState expected = StateOf(reference.paper);

    for (Answer answer : {Answer::Cancel, Answer::Ok}) {
        SCOPED_TRACE(int(answer));
        Notes notes;
        notes.Script(answer);
        Picture pic;
        FillHistory(pic);
        // Small thumbnails: the history then holds more than the new stack needs.
        pic.paper.Layers().ThumbW = pic.paper.Layers().ThumbH = 4;
        const PaperState before = StateOf(pic.paper);
        const int32_t ids[3] = {pic.paper.LayerAt(0)->Id, pic.paper.LayerAt(1)->Id, pic.paper.LayerAt(2)->Id};
        bool done = false;
        {
            ScopedMemoryLimit none(0);
            done = pic.paper.SetImageSize(24, 18, false);
        }
        EXPECT_EQ(notes.Count(), 1u);
        EXPECT_TRUE(notes.Said(question));
        if (answer == Answer::Cancel) {
            EXPECT_FALSE(done);
            EXPECT_EQ(StateOf(pic.paper), before);
            EXPECT_EQ(pic.paper.UndoManager()->UndoCount(), 3);
            EXPECT_TRUE(pic.recorder->packets.empty());
            continue;
        }
        ASSERT_TRUE(done);
        EXPECT_EQ(WithoutIds(StateOf(pic.paper)), WithoutIds(expected));
        EXPECT_EQ(pic.paper.LayerAt(2)->Id, ids[2]);
        EXPECT_EQ(pic.paper.UndoManager()->UndoCount(), 0);
        EXPECT_EQ(pic.recorder->packets.size(), 1u);
    }
}

TEST(TPaperStack, WithoutHistoryOrRecordingTheLayersChangeInPlaceAndTheHistoryGoes)
{
    for (const StackCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Picture reference;
        ASSERT_TRUE(c.run(reference.paper, true));
        const PaperState expected = StateOf(reference.paper);

        // The player: no packet, and the history cannot step over the change.
        Picture played;
        FillHistory(played);
        const int32_t id = played.paper.LayerAt(1)->Id;
        ASSERT_TRUE(c.run(played.paper, false));
        EXPECT_EQ(WithoutIds(StateOf(played.paper)), WithoutIds(expected));
        EXPECT_EQ(played.paper.LayerAt(1)->Id, id);
        EXPECT_EQ(played.paper.UndoManager()->UndoCount(), 0);
        EXPECT_TRUE(played.recorder->packets.empty());

        // Undo switched off: the packet, and the same picture.
        Picture noUndo(false);
        ASSERT_TRUE(c.run(noUndo.paper, true));
        EXPECT_EQ(WithoutIds(StateOf(noUndo.paper)), WithoutIds(expected));
        EXPECT_EQ(noUndo.recorder->packets, std::vector<Bytes>{c.packet});
    }
}

TEST(TPaperStack, RefusedPacketLeavesThePictureAsItWas)
{
    for (const StackCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Picture pic;
        pic.recorder->refuse = true;
        const PaperState before = StateOf(pic.paper);
        EXPECT_FALSE(c.run(pic.paper, true));
        EXPECT_EQ(StateOf(pic.paper), before);
        EXPECT_EQ(pic.paper.UndoManager()->UndoCount(), 0);
    }
}

} // namespace
} // namespace morvane
