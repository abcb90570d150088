// The undo history: counting and trimming, records of every category the
// framework applies, memory failures, and the event stream kept in step.
#include <gtest/gtest.h>

#include <functional>

#include "document/CLayerMngr.h"
#include "document/CUndoMngr.h"
#include "LayerFixture.h"
#include "document/SLayerParam.h"
#include "platform/MemoryBudget.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using testing_layers::Notes;
using testing_layers::PaintRandom;

const char* const kPushFailed = "メモリ不足によりアンドゥ情報の保存に失敗しました！";
const char* const kUndoRefused = "アンドゥに失敗しました!\rすべてのアンドゥはクリアされます!";

// A stream of steps that undo and redo walk over, counting what it is told.
class StepRecorder : public EventRecorder {
public:
    bool IsRecording() const override { return recording; }
    bool Record(const uint8_t*, size_t) override
    {
        ++undoSteps;
        redoSteps = 0;
        return true;
    }
    int32_t UndoCount() const override { return undoSteps; }
    int32_t RedoCount() const override { return redoSteps; }
    bool UndoStep() override { return undoSteps > 0 && (--undoSteps, ++redoSteps, true); }
    bool RedoStep() override { return redoSteps > 0 && (++undoSteps, --redoSteps, true); }
    bool BeginStroke(PacketId, uint16_t, uint16_t, float, float, float) override { return true; }
    bool AddPoint(float, float, float) override { return true; }
    bool EndStroke() override { return Record(nullptr, 0); }
    void DiscardRedoSteps() override
    {
        redoSteps = 0;
        ++discards;
    }
    bool recording = false;
    int32_t undoSteps = 0, redoSteps = 0, discards = 0;
};

// FNV-1a over the store's pixels and the layer's origin.
uint64_t Checksum(const CLayerData& layer)
{
    const uint64_t h = support::Checksum(*layer.Store);
    return support::FnvMix(support::FnvMix(h, uint32_t(layer.OriginX)), uint32_t(layer.OriginY));
}

struct UndoFixture : ::testing::Test {
    explicit UndoFixture(int32_t depth = 8) : undo(depth, depth, recorder)
    {
        stack.AddLayer(0, 96, true, 255, kModeNormal, 80);
        stack.AddLayer(1, 96, true, 255, kModeNormal, 80);
    }
    CLayerData& Layer(int32_t i = 0) { return *stack.At(i); }
    // A stroke as the document makes one: event, record, then the pixels.
    bool Stroke(const ExtentRect& r, uint32_t seed, int32_t layer = 0)
    {
        recorder.Record(nullptr, 0);
        const bool pushed = undo.PushPixels(Layer(layer), layer, r, UndoKind::Stroke);
        PaintRandom(Layer(layer), r, seed, false);
        return pushed;
    }
    bool Rename(const std::string& name)
    {
        recorder.Record(nullptr, 0);
        const bool pushed = undo.PushName(Layer(), 0, name);
        Layer().Name = name;
        return pushed;
    }
    CLayerMngr stack;
    StepRecorder recorder;
    CUndoMngrEx undo;
    SUndoOutcome out;
    Notes notes;
};

struct UndoDepth3 : UndoFixture {
    UndoDepth3() : UndoFixture(3) {}
};

TEST_F(UndoDepth3, PixelRecordsCountLightOnesStayWithinTheSlack)
{
    for (uint32_t i = 0; i < 10; ++i)
        ASSERT_TRUE(Stroke({int32_t(i), 0, 10, 10}, i + 1));
    EXPECT_EQ(undo.UndoCount(), 3);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(Rename(std::to_string(i)));
    EXPECT_EQ(undo.UndoCount(), 13);
    EXPECT_EQ(undo.UndoList().CountingRecords(), 3);
    for (int i = 10; i < 32; ++i)
        Rename(std::to_string(i));
    EXPECT_EQ(undo.UndoCount(), 3 + 32);
    Rename("one more");
    EXPECT_EQ(undo.UndoCount(), 3 + 32);
    EXPECT_EQ(undo.UndoList().CountingRecords(), 2); // the oldest stroke went
}

TEST_F(UndoFixture, DepthChangeDropsFromTheOldEndAndZeroTurnsItOff)
{
    for (uint32_t i = 0; i < 6; ++i) {
        Stroke({0, 0, 40, 40}, i + 1);
        Rename(std::to_string(i));
    }
    ASSERT_EQ(undo.UndoCount(), 12);
    EXPECT_TRUE(undo.SetDepth(2, 2));
    // The newest two strokes remain, with the light records newer than the
    // last stroke that went.
    EXPECT_EQ(undo.UndoCount(), 5);
    EXPECT_EQ(undo.UndoList().CountingRecords(), 2);

    EXPECT_TRUE(undo.SetDepth(0, 5));
    EXPECT_FALSE(undo.IsEnabled());
    EXPECT_EQ(undo.UndoDepth(), 0);
    EXPECT_EQ(undo.RedoDepth(), 0);
    EXPECT_TRUE(Stroke({0, 0, 40, 40}, 99)); // the operation goes on unrecorded
    EXPECT_EQ(undo.UndoList().CountingRecords(), 0);

    // A list of depth 0 still takes a record and ends its loop.
    CUndoList list(true);
    for (int i = 0; i < 3; ++i)
        list.Insert(CUndoData::PixelRecord(UndoKind::Stroke, Layer(), 0, {0, 0, 8, 8}), 0);
    EXPECT_EQ(list.Size(), 1);
}

// Each row: a kind and the change the operation makes after pushing it.
struct PixelCase {
    const char* name;
    UndoKind kind;
    std::function<void(CLayerData&)> change;
    bool holdsBytes;
};

TEST_F(UndoFixture, PixelRecordsUndoAndRedoToTheSameChecksums)
{
    const ExtentRect rect{5, 7, 70, 50};
    const ExtentRect all{0, 0, 96, 80};
    const PixelCase cases[] = {
        {"stroke", UndoKind::Stroke, [&](CLayerData& l) { PaintRandom(l, rect, 3, false); }, true},
        {"alpha", UndoKind::AlphaPlane, [&](CLayerData& l) { l.Store->SetAlpha(rect, 9); }, true},
        {"flipH", UndoKind::FlipH, [&](CLayerData& l) { l.Store->FlipH(all); l.OriginX = 96 - l.OriginX - l.NominalW; }, false},
        {"invert", UndoKind::Invert, [&](CLayerData& l) { l.Store->XorRect(all, 0x00FFFFFF); }, false},
        {"rotate", UndoKind::Rotate180,
         [&](CLayerData& l) {
             l.Store->Rotate180(all);
             l.OriginX = 96 - l.OriginX - l.NominalW;
             l.OriginY = 80 - l.OriginY - l.NominalH;
         },
         false},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        CLayerData& layer = Layer(1);
        PaintRandom(layer, {0, 0, 96, 80}, 11, false);
        layer.NominalW = 90; // an origin the flips must move
        layer.OriginX = 2;
        const uint64_t before = Checksum(layer);
        ASSERT_TRUE(undo.PushPixels(layer, 1, rect, c.kind));
        c.change(layer);
        const uint64_t after = Checksum(layer);
        ASSERT_NE(before, after);
        EXPECT_EQ(undo.HeldBytes() > 0, c.holdsBytes);

        ASSERT_TRUE(undo.UndoCommand(stack, out));
        EXPECT_EQ(Checksum(layer), before);
        EXPECT_EQ(out.layerIndex, 1);
        ASSERT_TRUE(undo.RedoCommand(stack, out));
        EXPECT_EQ(Checksum(layer), after);
        EXPECT_EQ(undo.HeldBytes() > 0, c.holdsBytes);
        ASSERT_TRUE(undo.UndoCommand(stack, out));
        EXPECT_EQ(Checksum(layer), before);
        undo.ClearHistory();
    }
}

TEST_F(UndoFixture, PictureTransformUndoesTheSameSetOfLayers)
{
    PaintRandom(Layer(0), {0, 0, 96, 80}, 1, false);
    PaintRandom(Layer(1), {0, 0, 96, 80}, 2, false);
    Layer(1).Visible = false;
    const uint64_t shown = Checksum(Layer(0)), hidden = Checksum(Layer(1));
    ASSERT_TRUE(undo.PushPictureTransform(UndoKind::InvertAll, true, {0, 0, 96, 80})); // invert
    Layer(0).Store->XorRect({0, 0, 96, 80}, 0x00FFFFFF);
    const uint64_t inverted = Checksum(Layer(0));
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_EQ(Checksum(Layer(0)), shown);
    EXPECT_EQ(Checksum(Layer(1)), hidden);
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(Checksum(Layer(0)), inverted);
    EXPECT_EQ(Checksum(Layer(1)), hidden);
    EXPECT_EQ(undo.HeldBytes(), 0);
}

TEST_F(UndoFixture, HeldBytesCountCommittedBlocksOnly)
{
    // Two committed blocks in a layer of 3 x 3 blocks; the rest is uniform.
    PaintRandom(Layer(), {32, 32, 64, 32}, 5, false);
    ASSERT_EQ(Layer().Store->CommittedBytes(), 2 * 4096);
    ASSERT_TRUE(undo.PushPixels(Layer(), 0, {0, 0, 96, 80}, UndoKind::Stroke));
    EXPECT_EQ(undo.HeldBytes(), 2 * 4096);
    ASSERT_TRUE(undo.PushPixels(Layer(), 0, {3, 4, 10, 20}, UndoKind::AlphaPlane));
    EXPECT_EQ(undo.HeldBytes(), 2 * 4096 + 10 * 20);
    for (UndoKind kind : {UndoKind::Stroke, UndoKind::AlphaPlane, UndoKind::FlipH})
        EXPECT_FALSE(undo.PushPixels(Layer(), 0, {-50, 0, 10, 10}, kind)); // misses the layer
    EXPECT_EQ(undo.UndoCount(), 2);

    // Undone, the stroke's place holds a copy of the current pixels instead.
    PaintRandom(Layer(), {0, 0, 96, 80}, 6, false);
    undo.ClearHistory();
    ASSERT_TRUE(undo.PushPixels(Layer(), 0, {0, 0, 96, 80}, UndoKind::Stroke));
    Layer().Store->FillAll(0);
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_EQ(undo.HeldBytes(), 0);
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(undo.HeldBytes(), 9 * 4096);
    EXPECT_EQ(Layer().Store->CommittedBytes(), 0);
}

TEST_F(UndoFixture, NewPushAfterUndoEmptiesBothRedoHistories)
{
    recorder.recording = true;
    Stroke({0, 0, 30, 30}, 1);
    Stroke({10, 10, 30, 30}, 2);
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    ASSERT_EQ(undo.RedoCount(), 1);
    ASSERT_EQ(recorder.redoSteps, 1);
    Rename("after");
    EXPECT_EQ(undo.RedoCount(), 0);
    EXPECT_EQ(recorder.redoSteps, 0);
    EXPECT_FALSE(undo.RedoCommand(stack, out));
}

TEST_F(UndoFixture, OutOfMemoryOnPushWarnsAndKeepsTheHistoryUsable)
{
    PaintRandom(Layer(), {0, 0, 96, 80}, 1, false);
    Stroke({0, 0, 20, 20}, 2);
    const uint64_t painted = Checksum(Layer());
    for (UndoKind kind : {UndoKind::Stroke, UndoKind::AlphaPlane}) {
        SCOPED_TRACE(NumberOf(kind));
        {
            ScopedMemoryLimit none(0);
            EXPECT_FALSE(undo.PushPixels(Layer(), 0, {0, 0, 96, 80}, kind));
        }
        EXPECT_TRUE(notes.Said(kPushFailed));
        EXPECT_EQ(undo.UndoCount(), 1);
    }
    EXPECT_EQ(undo.HeldBytes(), undo.UndoList().At(0)->HeldBytes());
    ASSERT_TRUE(undo.RedoCount() == 0 && undo.UndoCommand(stack, out));
    EXPECT_NE(Checksum(Layer()), painted);
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(Checksum(Layer()), painted);
}

TEST_F(UndoFixture, LostRedoRecordClearsTheRedoSideOfBothHistories)
{
    recorder.recording = true;
    const uint64_t blank = Checksum(Layer());
    // Each stroke lands on uniform blocks, so its record holds no memory and
    // undo needs memory only for the reverse record.
    Stroke({0, 0, 20, 20}, 1);
    Stroke({40, 40, 20, 20}, 2);
    Stroke({70, 0, 20, 20}, 3);
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    ASSERT_EQ(undo.RedoCount(), 1);
    const uint64_t withFirst = Checksum(Layer());
    {
        ScopedMemoryLimit none(0);
        ASSERT_TRUE(undo.UndoCommand(stack, out));
    }
    EXPECT_TRUE(out.reverseLost);
    EXPECT_NE(Checksum(Layer()), withFirst); // the second stroke is gone all the same
    EXPECT_EQ(undo.RedoCount(), 0);
    EXPECT_EQ(recorder.redoSteps, 0);
    EXPECT_EQ(recorder.undoSteps, undo.UndoCount());
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_EQ(Checksum(Layer()), blank);
}

TEST_F(UndoFixture, StreamThatCannotBeMendedClearsTheHistoryWithoutStepping)
{
    Stroke({0, 0, 20, 20}, 1);
    Stroke({0, 0, 20, 20}, 2);
    recorder.recording = true;
    recorder.undoSteps = 1; // the stream lost a step the history still has
    const uint64_t now = Checksum(Layer());
    EXPECT_FALSE(undo.UndoCommand(stack, out));
    EXPECT_TRUE(notes.Said("イベント状態の問題を修正しました!"));
    EXPECT_TRUE(notes.Said("イベント記録に問題が検出されました!"));
    EXPECT_EQ(undo.UndoCount(), 0);
    EXPECT_EQ(recorder.undoSteps, 1);
    EXPECT_EQ(Checksum(Layer()), now);
}

TEST_F(UndoFixture, RecordOfAGoneLayerIsDroppedAndARefusalClearsTheHistory)
{
    Stroke({0, 0, 20, 20}, 1, 1);
    stack.DeleteLayer(1);
    EXPECT_FALSE(undo.UndoCommand(stack, out));
    EXPECT_EQ(undo.UndoCount(), 0);
    EXPECT_EQ(notes.Count(), 0u);

    Stroke({0, 0, 20, 20}, 2);
    SUndoCommand move;
    move.kind = UndoKind::MoveLayer; // the layer at 1 was never moved from 0: the ids disagree
    move.layerId = Layer().Id + 1000;
    move.values = {0, 1, 0, 0};
    ASSERT_TRUE(undo.PushCommand(std::move(move)));
    EXPECT_FALSE(undo.UndoCommand(stack, out));
    EXPECT_TRUE(notes.Said(kUndoRefused));
    EXPECT_FALSE(undo.CanUndo() || undo.CanRedo());
}

struct AttributeCase {
    UndoKind kind;
    int32_t newValue;
    std::function<void(CLayerData&, int32_t)> set;
    std::function<int32_t(const CLayerData&)> get;
};

TEST_F(UndoFixture, AttributeRecordsSwapOldAndNewValues)
{
    const AttributeCase cases[] = {
        {UndoKind::Opacity, 40, [](CLayerData& l, int32_t v) { l.Opacity = uint8_t(v); },
         [](const CLayerData& l) { return int32_t(l.Opacity); }},
        {UndoKind::Dither, 1 | 77 << 8,
         [](CLayerData& l, int32_t v) {
             l.Dither = v & 1;
             l.DitherDensity = uint8_t(v >> 8);
         },
         [](const CLayerData& l) { return int32_t(l.Dither) | l.DitherDensity << 8; }},
        {UndoKind::Mode, kModeMultiply, [](CLayerData& l, int32_t v) { l.SetMode(v); },
         [](const CLayerData& l) { return int32_t(l.Mode); }},
        {UndoKind::Visible, 0, [](CLayerData& l, int32_t v) { l.Visible = v; },
         [](const CLayerData& l) { return int32_t(l.Visible); }},
        {UndoKind::ProtectAlpha, 1, [](CLayerData& l, int32_t v) { l.ProtectAlpha = v; },
         [](const CLayerData& l) { return int32_t(l.ProtectAlpha); }},
        {UndoKind::Position, 0, [](CLayerData& l, int32_t) { l.OriginX = 7, l.OriginY = -3; },
         [](const CLayerData& l) { return l.OriginX * 1000 + l.OriginY; }},
    };
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(NumberOf(c.kind));
        const int32_t old = c.get(Layer(1));
        ASSERT_TRUE(undo.PushAttribute(Layer(1), 1, c.newValue, c.kind));
        c.set(Layer(1), c.newValue);
        const int32_t changed = c.get(Layer(1));
        ASSERT_NE(changed, old);
        ASSERT_TRUE(undo.UndoCommand(stack, out));
        EXPECT_EQ(c.get(Layer(1)), old);
        ASSERT_TRUE(undo.RedoCommand(stack, out));
        EXPECT_EQ(c.get(Layer(1)), changed);
        EXPECT_EQ(undo.HeldBytes(), 0);
    }
    Rename("renamed");
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_NE(Layer().Name, "renamed");
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(Layer().Name, "renamed");
}

TEST_F(UndoFixture, KeptLayerBelongsToTheRecordOnlyWhileOutOfTheStack)
{
    PaintRandom(Layer(1), {0, 0, 64, 64}, 8, false);
    const int32_t id = Layer(1).Id;
    const int64_t bytes = Layer(1).MemoryUsed();
    SUndoCommand del;
    del.kind = UndoKind::DeleteLayer;
    del.layerIndex = 1;
    del.layerId = id;
    del.kept.layer = stack.RemoveLayer(1);
    ASSERT_TRUE(undo.PushCommand(std::move(del)));
    EXPECT_EQ(undo.HeldBytes(), bytes);
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_EQ(stack.IndexOfId(id), 1);
    EXPECT_EQ(undo.HeldBytes(), 0);
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(stack.IndexOfId(id), -1);
    EXPECT_EQ(undo.HeldBytes(), bytes);
}

// A stand-in for a mask: counts its destruction.
struct KeptObject : IUndoKept {
    explicit KeptObject(int& freed) : freed(freed) {}
    ~KeptObject() override { ++freed; }
    int64_t HeldBytes() const override { return 100; }
    int& freed;
};

// Exchanges the record's kept object with its own, as a mask list would.
struct SwapHost : UndoHost {
    uint32_t CanvasColour() const override { return colour; }
    void SetCanvasColour(uint32_t c) override { colour = c; }
    bool ApplyKept(CUndoData& r, CLayerMngr&, bool) override
    {
        std::swap(r.kept.object, current);
        return true;
    }
    bool CurrentSelection(int32_t& index, int32_t& id) const override
    {
        index = 2;
        id = maskId;
        return true;
    }
    bool ShiftSelection(int32_t index, uint16_t idLow, int32_t dx, int32_t dy) override
    {
        if (index != 2 || idLow != uint16_t(maskId))
            return false;
        selectionX -= dx;
        selectionY -= dy;
        return true;
    }
    uint32_t colour = 0xFFFFFF;
    int32_t maskId = 0x12345, selectionX = 0, selectionY = 0;
    std::unique_ptr<IUndoKept> current;
};

TEST_F(UndoDepth3, SelectionRecordsAreTrimmedAndFreeWhatTheyHold)
{
    SwapHost host;
    undo.SetHost(&host);
    int freed = 0;
    auto push = [&](UndoKind kind, bool keeps) {
        SUndoCommand c;
        c.kind = kind;
        if (keeps)
            c.kept.object = std::make_unique<KeptObject>(freed);
        return undo.PushCommand(std::move(c));
    };
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(push(UndoKind::MaskPixels, true)); // mask pixels: bulky, counted
    EXPECT_EQ(undo.UndoCount(), 3);
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(undo.HeldBytes(), 300);
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_TRUE(host.current != nullptr);
    EXPECT_EQ(undo.HeldBytes(), 200);
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(undo.HeldBytes(), 300);
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(push(UndoKind::CurrentMask, false)); // current mask: light, trimmed by the slack
    EXPECT_EQ(undo.UndoCount(), 3 + 32);
    EXPECT_EQ(freed, 5);
    EXPECT_EQ(undo.HeldBytes(), 0);

    ASSERT_TRUE(undo.PushCanvasColour(0x123456));
    host.colour = 0x123456;
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_EQ(host.colour, 0xFFFFFFu);
}

TEST_F(UndoFixture, MoveWithSelectionIsRefusedWhenTheMaskChanged)
{
    SwapHost host;
    undo.SetHost(&host);
    const auto move = [&] {
        ASSERT_TRUE(undo.PushMoveWithSelection(Layer(1), 1, 5, -3));
        Layer(1).Shift(5, -3);
        host.ShiftSelection(2, uint16_t(host.maskId), 5, -3);
    };
    move();
    ASSERT_TRUE(undo.UndoCommand(stack, out));
    EXPECT_EQ(Layer(1).OriginX, 0);
    EXPECT_EQ(Layer(1).OriginY, 0);
    EXPECT_EQ(host.selectionX, 0);
    ASSERT_TRUE(undo.RedoCommand(stack, out));
    EXPECT_EQ(host.selectionX, -5);
    EXPECT_EQ(host.selectionY, 3);

    move();
    host.maskId = 7; // another mask now sits at the index
    EXPECT_FALSE(undo.UndoCommand(stack, out));
    EXPECT_TRUE(notes.Said(kUndoRefused));
    EXPECT_EQ(host.selectionX, -10);
    EXPECT_FALSE(undo.CanUndo() || undo.CanRedo());
}

TEST_F(UndoFixture, LayerHistoryKeepsItsLastEightChangesOfAnyWeight)
{
    CUndoMngr own(CUndoMngr::kLayerDepth, CUndoMngr::kLayerDepth);
    std::vector<uint64_t> states{Checksum(Layer())};
    for (uint32_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(own.PushPixels(Layer(), 0, {int32_t(i) * 8, 0, 16, 16}, UndoKind::LayerHistory));
        PaintRandom(Layer(), {int32_t(i) * 8, 0, 16, 16}, i + 1, false);
        states.push_back(Checksum(Layer()));
        ASSERT_TRUE(own.PushName(Layer(), 0, "light records count here too"));
    }
    EXPECT_EQ(own.UndoCount(), 8);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(own.Undo(stack, out));
    EXPECT_EQ(Checksum(Layer()), states[6]); // P7 N7 ... P10 N10 were kept
    EXPECT_FALSE(own.CanUndo());
}

TEST(UndoKinds, TableHoldsSixCategoriesOverSixtyFourKinds)
{
    int perCategory[7] = {};
    for (int k = 0; k < kUndoKindCount; ++k)
        ++perCategory[UndoKindOf(k).category];
    EXPECT_EQ(perCategory[1], 7);
    EXPECT_EQ(perCategory[2], 1);
    EXPECT_EQ(perCategory[3], 9);
    EXPECT_EQ(perCategory[4], 10);
    EXPECT_EQ(perCategory[5], 26);
    EXPECT_EQ(perCategory[6], 11);
    EXPECT_EQ(UndoKindOf(99).kind, 0);
    EXPECT_EQ(UndoKindOf(35).flags, 0x0193);
}

} // namespace
} // namespace morvane
