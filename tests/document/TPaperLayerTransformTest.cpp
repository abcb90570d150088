// One layer replaced by a turned or scaled copy: do, undo and redo with the
// packets they record, where the content lands, and refusals that leave the
// document as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "PaperFixture.h"
#include "platform/MemoryBudget.h"

namespace morvane {
namespace {

using namespace testing_layers;

constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";
// PaintedPaper's top layer: a 68 x 52 store with the 48 x 40 picture at (7, 5).
constexpr int32_t kTop = 2;

struct OpCase {
    const char* name;
    std::function<bool(TPaper&, bool)> op;
    std::vector<uint8_t> packet;
    int32_t storeW, storeH, originX, originY; // of the top layer after; 0 x 0: not fixed here
};

TEST(TPaperLayerTransform, EachOperationRecordsItsPacketAndUndoesAndRedoesExactly)
{
    // Picture 48 x 40: its sides differ by 8, so a quarter turn shifts by 4.
    // 30 degrees is 0x41F00000 as a float.
    const OpCase cases[] = {
        {"cw", [](TPaper& p, bool r) { return p.RotateLayer90(kTop, true, r); }, Bytes({4, 36, 2, 0, 0, 0}),
         52, 68, 52 - 5 - 40 - 4, 7 + 4},
        {"ccw", [](TPaper& p, bool r) { return p.RotateLayer90(kTop, false, r); }, Bytes({4, 37, 2, 0, 0, 0}),
         52, 68, 5 - 4, 68 - 7 - 40 - 4},
        {"free", [](TPaper& p, bool r) { return p.RotateLayerFree(kTop, 30.0f, r); },
         Bytes({4, 38, 2, 0, 0, 0, 0, 0, 0xF0, 0x41, 0, 0, 0, 0}), 0, 0, 0, 0},
        // fx = 0.5, fy = 1.5: 68 x 52 becomes 34 x 78, (7, 5) becomes (4, 8);
        // 34 columns no longer cover the 48 of the picture from x = 4, so the
        // store grows to 52 on the right.
        {"scale", [](TPaper& p, bool r) { return p.ScaleLayer(kTop, 24, 60, r); },
         Bytes({4, 39, 2, 0, 0, 0, 60, 0, 0, 0, 24, 0, 0, 0}), 52, 78, 4, 8},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        PaintedPaper paper;
        const PaperState before = StateOf(*paper);

        ASSERT_TRUE(c.op(*paper, true));
        ASSERT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper.recorder->packets[0], c.packet);
        const PaperState after = StateOf(*paper);
        const auto& was = before.layers[kTop];
        const auto& is = after.layers[kTop];
        EXPECT_NE(after.composite, before.composite);
        EXPECT_NE(is.id, was.id);
        EXPECT_EQ(is.nominalW, 48);
        EXPECT_EQ(is.nominalH, 40);
        EXPECT_EQ(paper->LayerAt(kTop)->Opacity, 180);
        if (c.storeW > 0) {
            EXPECT_EQ(is.storeW, c.storeW);
            EXPECT_EQ(is.storeH, c.storeH);
            EXPECT_EQ(is.originX, c.originX);
            EXPECT_EQ(is.originY, c.originY);
        }

        // Replaying without recording gives the same document.
        PaintedPaper twin;
        ASSERT_TRUE(c.op(*twin, false));
        EXPECT_TRUE(twin.recorder->packets.empty());
        EXPECT_EQ(WithoutIds(StateOf(*twin)), WithoutIds(after));

        EXPECT_EQ(ExpectUndoRedoUndo(*paper, before, after), kTop);
        EXPECT_EQ(notes.Count(), 0u);
    }
}

// Content turns about the picture's centre: pixel (x, y) of the 40 x 30
// picture, centre (20, 15), goes to (34 - y, x - 5) clockwise; what comes
// from outside the layer's store shows the paper.
TEST(TPaperLayerTransform, QuarterTurnMovesContentAboutThePictureCentre)
{
    for (bool clockwise : {true, false}) {
        SCOPED_TRACE(clockwise);
        RecordingDocumentHost host;
        TPaper paper(host);
        ASSERT_TRUE(paper.NewPicture("q", false, false, 72, 40, 30, 40, 30));
        PaintRandom(*paper.LayerAt(0), {0, 0, 40, 30}, 5, true);
        paper.RenderAll(false);
        const std::vector<uint32_t> before = AllOf(paper);
        ASSERT_TRUE(paper.RotateLayer90(0, clockwise));
        const std::vector<uint32_t> after = AllOf(paper);
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 40; ++x) {
                const int32_t sx = clockwise ? 5 + y : 34 - y, sy = clockwise ? 34 - x : x - 5;
                const bool inside = sx >= 0 && sx < 40 && sy >= 0 && sy < 30;
                const uint32_t want = inside ? before[size_t(sy * 40 + sx)] : 0xFFFFFFu;
                ASSERT_EQ(after[size_t(y * 40 + x)] & 0xFFFFFFu, want & 0xFFFFFFu) << x << "," << y;
            }
    }
}

TEST(TPaperLayerTransform, OnASquarePictureTurningTheOnlyLayerEqualsTurningThePicture)
{
    for (bool clockwise : {true, false}) {
        RecordingDocumentHost hostA, hostB;
        TPaper a(hostA), b(hostB);
        for (TPaper* p : {&a, &b}) {
            ASSERT_TRUE(p->NewPicture("s", false, false, 72, 32, 32, 32, 32));
            PaintRandom(*p->LayerAt(0), {0, 0, 32, 32}, 8, true);
        }
        ASSERT_TRUE(a.RotateLayer90(0, clockwise));
        ASSERT_TRUE(b.RotatePicture90(clockwise));
        EXPECT_EQ(WithoutIds(StateOf(a)), WithoutIds(StateOf(b)));
    }
}

// The picture as every layer holds it: what a turn that grew a store must
// keep.
std::vector<std::vector<uint32_t>> PictureOfEachLayer(TPaper& paper)
{
    std::vector<std::vector<uint32_t>> out{AllOf(paper)};
    for (int32_t i = 0; i < paper.LayerCount(); ++i)
        out.push_back(PictureOf(paper, i));
    return out;
}

// Sides that differ by an odd number put the centre off the pixel grid: four
// turns, and a turn and its reverse, still restore the picture and every
// layer over it (a store that stopped covering the picture has grown).
TEST(TPaperLayerTransform, QuarterTurnsComposeToTheIdentity)
{
    const std::vector<bool> cases[] = {{true, true, true, true}, {false, false, false, false}, {true, false},
                                       {false, true}};
    for (const auto& turns : cases) {
        PaintedPaper paper(49, 40);
        const auto before = PictureOfEachLayer(*paper);
        for (bool clockwise : turns) {
            ASSERT_TRUE(paper->RotateLayer90(kTop, clockwise));
            EXPECT_TRUE(paper->LayerAt(kTop)->ClampOrigin(false)) << "the store covers the picture";
        }
        EXPECT_EQ(PictureOfEachLayer(*paper), before);
    }
}

TEST(TPaperLayerTransform, FreeTurnByRightAnglesIsExactAndByOthersKeepsAllContent)
{
    // 0 and 360 keep every pixel; -270 and 450 are a clockwise quarter; 180
    // maps the grid onto itself about any centre.
    const struct {
        float degrees;
        std::function<bool(TPaper&)> same;
    } cases[] = {{0.0f, [](TPaper&) { return true; }},
                 {360.0f, [](TPaper&) { return true; }},
                 {-270.0f, [](TPaper& p) { return p.RotateLayer90(kTop, true); }},
                 {450.0f, [](TPaper& p) { return p.RotateLayer90(kTop, true); }},
                 {-90.0f, [](TPaper& p) { return p.RotateLayer90(kTop, false); }},
                 {180.0f, [](TPaper& p) { return p.RotateLayer180(kTop); }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        PaintedPaper a, b;
        ASSERT_TRUE(a->RotateLayerFree(kTop, c.degrees));
        ASSERT_TRUE(c.same(*b));
        EXPECT_EQ(WithoutIds(StateOf(*a)), WithoutIds(StateOf(*b)));
    }
    // An opaque layer of the 40 x 30 picture turned by 45 degrees: its store
    // grows to the box of the turned store, (40 + 30) / sqrt(2) = 49.5
    // rounded out, and the picture's centre stays covered.
    RecordingDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("f", false, false, 72, 40, 30, 40, 30));
    PaintRandom(*paper.LayerAt(0), {0, 0, 40, 30}, 7, true);
    ASSERT_TRUE(paper.RotateLayerFree(0, 45.0f));
    const CLayerData& layer = *paper.LayerAt(0);
    EXPECT_EQ(layer.Store->Width, 50);
    EXPECT_EQ(layer.Store->Height, 50);
    EXPECT_EQ(layer.Store->GetPixel(20 + layer.OriginX, 15 + layer.OriginY) >> 24, 0xFFu);
}

// Cutting the store to the picture drops only what lies outside it: the
// picture, every layer's content over it and the composite stay.
TEST(TPaperLayerTransform, TrimOutsideCutsTheStoreToThePictureAndKeepsWhatIsShown)
{
    Notes notes;
    PaintedPaper paper;
    const PaperState before = StateOf(*paper);
    const auto shown = PictureOfEachLayer(*paper);
    ASSERT_TRUE(paper->TrimLayerOutside(kTop));
    ASSERT_EQ(paper.recorder->packets.size(), 1u);
    EXPECT_EQ(paper.recorder->packets[0], Bytes({4, 8, 2, 0, 2, 0}));
    const CLayerData& top = *paper->LayerAt(kTop);
    EXPECT_EQ(top.Store->Width, 48);
    EXPECT_EQ(top.Store->Height, 40);
    EXPECT_EQ(top.OriginX, 0);
    EXPECT_EQ(top.OriginY, 0);
    EXPECT_EQ(top.Opacity, 180);
    EXPECT_FALSE(top.IsLargerThanPicture());
    EXPECT_EQ(PictureOfEachLayer(*paper), shown);
    const PaperState after = StateOf(*paper);
    EXPECT_EQ(ExpectUndoRedoUndo(*paper, before, after), kTop);

    // A store of the picture's size has nothing outside: done, nothing kept.
    paper.recorder->packets.clear();
    const int32_t undoCount = paper->UndoManager()->UndoCount();
    ASSERT_TRUE(paper->TrimLayerOutside(0));
    EXPECT_TRUE(paper.recorder->packets.empty());
    EXPECT_EQ(paper->UndoManager()->UndoCount(), undoCount);
    EXPECT_FALSE(paper->TrimLayerOutside(3));
    EXPECT_EQ(notes.Count(), 0u);
}

TEST(TPaperLayerTransform, RefusedOperationsRecordNothingAndChangeNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        std::function<bool(TPaper&)> op;
        bool warns;
    } cases[] = {
        {"index -1", [](TPaper& p) { return p.RotateLayer90(-1, true); }, false},
        {"index 3", [](TPaper& p) { return p.RotateLayerFree(3, 10.0f); }, false},
        {"index 3 scale", [](TPaper& p) { return p.ScaleLayer(3, 10, 10); }, false},
        {"NaN", [nan](TPaper& p) { return p.RotateLayerFree(kTop, nan); }, false},
        {"inf", [inf](TPaper& p) { return p.RotateLayerFree(kTop, -inf); }, false},
        {"width 0", [](TPaper& p) { return p.ScaleLayer(kTop, 0, 10); }, false},
        {"height -3", [](TPaper& p) { return p.ScaleLayer(kTop, 10, -3); }, false},
        {"width past store", [](TPaper& p) { return p.ScaleLayer(kTop, 40000, 10); }, false},
        // The 68-wide store scaled by 30000 / 48 would be 42500 wide.
        {"store past limit", [](TPaper& p) { return p.ScaleLayer(kTop, 30000, 40); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        PaintedPaper paper;
        const PaperState before = StateOf(*paper);
        EXPECT_FALSE(c.op(*paper));
        EXPECT_EQ(StateOf(*paper), before);
        EXPECT_TRUE(paper.recorder->packets.empty());
        EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
        EXPECT_EQ(notes.Said(kNoMemory), c.warns);
    }
    // A layer without a picture size cannot say how to scale.
    PaintedPaper paper;
    paper->LayerAt(kTop)->NominalW = 0;
    EXPECT_FALSE(paper->ScaleLayer(kTop, 10, 10));
    EXPECT_TRUE(paper.recorder->packets.empty());
}

TEST(TPaperLayerTransform, WithoutMemoryOrRecordingTheDocumentStaysAsItWas)
{
    const std::function<bool(TPaper&)> ops[] = {
        [](TPaper& p) { return p.RotateLayer90(kTop, true); },
        [](TPaper& p) { return p.RotateLayerFree(kTop, 30.0f); },
        [](TPaper& p) { return p.RotateLayerFree(kTop, 180.0f); },
        [](TPaper& p) { return p.ScaleLayer(kTop, 80, 20); },
    };
    for (bool noMemory : {true, false})
        for (size_t i = 0; i < std::size(ops); ++i) {
            SCOPED_TRACE(testing::Message() << "op " << i << (noMemory ? " without memory" : " unrecordable"));
            Notes notes;
            PaintedPaper paper;
            const PaperState before = StateOf(*paper);
            paper.recorder->refuse = !noMemory;
            {
                std::unique_ptr<ScopedMemoryLimit> none;
                if (noMemory)
                    none = std::make_unique<ScopedMemoryLimit>(0);
                EXPECT_FALSE(ops[i](*paper));
            }
            EXPECT_EQ(StateOf(*paper), before);
            EXPECT_TRUE(paper.recorder->packets.empty());
            EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
            EXPECT_EQ(notes.Said(kNoMemory), noMemory);
            // Still usable afterwards.
            paper.recorder->refuse = false;
            EXPECT_TRUE(ops[i](*paper));
        }
}

} // namespace
} // namespace morvane
