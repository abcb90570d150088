// The mask list: the combine rules against a per-pixel oracle, and the
// selection commands' edge cases on a document.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "PaperFixture.h"
#include "document/CMaskMngr.h"
#include "document/CUndoMngr.h"
#include "document/ColourRange.h"
#include "document/PaperOperations.h"
#include "events/EventPackets.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"

namespace morvane {
namespace {

using namespace testing_layers;

SCoverage Coverage(EdgeRect rect, uint32_t seed)
{
    SCoverage c;
    EXPECT_TRUE(c.Allocate(rect));
    std::mt19937 random(seed);
    for (uint8_t& b : c.bytes)
        b = random() % 3 == 0 ? 0 : uint8_t(random());
    return c;
}

uint8_t At(const SCoverage& c, int32_t x, int32_t y)
{
    const EdgeRect& r = c.rect;
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom ? c.Row(y)[x - r.left] : 0;
}

TEST(CombineCoverage, EveryModeOverEmptyAndFullMasksAndOverlappingAndDisjointRectangles)
{
    const SCoverage m = Coverage({2, 3, 9, 8}, 1);
    for (const EdgeRect cRect : {EdgeRect{5, 6, 12, 10}, EdgeRect{20, 18, 24, 25}}) {
        const SCoverage c = Coverage(cRect, 2);
        for (int mode = 0; mode < kCombineModeCount; ++mode) {
            for (const bool emptyM : {true, false}) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << (emptyM ? " empty" : " mask") << " C at "
                                                << cRect.left);
                std::unique_ptr<CMaskData> existing = emptyM ? std::make_unique<CMaskData>("M")
                                                             : CMaskData::FromCoverage(m, "M");
                bool unchanged = false;
                std::unique_ptr<CMaskData> out =
                    CombineCoverage(existing.get(), c, CombineMode(mode), "R", unchanged);
                if (emptyM && mode >= 2) {
                    EXPECT_TRUE(unchanged);
                    EXPECT_EQ(out, nullptr);
                    continue;
                }
                ASSERT_NE(out, nullptr);
                const bool asReplace = emptyM || mode == 0;
                const EdgeRect expectRect = asReplace ? c.rect : mode == 2 ? m.rect : Union(m.rect, c.rect);
                EXPECT_EQ(out->Rect(), expectRect);
                EXPECT_EQ(out->name, "R");
                for (int32_t y = 0; y < 28; ++y)
                    for (int32_t x = 0; x < 28; ++x) {
                        const uint8_t mv = emptyM ? 0 : At(m, x, y), cv = At(c, x, y);
                        uint8_t want = cv;
                        if (!asReplace)
                            want = mode == 1   ? std::max(mv, cv)
                                   : mode == 2 ? uint8_t(255 - std::max(uint8_t(255 - mv), cv))
                                               : MulTable[cv][mv];
                        const bool inside = x >= expectRect.left && x < expectRect.right && y >= expectRect.top &&
                                            y < expectRect.bottom;
                        ASSERT_EQ(out->ValueAt(x, y), inside ? want : 0) << x << "," << y;
                    }
            }
        }
    }
}

// Mask to mask, block by block, gives the bytes, the rectangle and the
// uniform blocks that combining the source's coverage gives, for sources
// on the target's block grid and off it.
TEST(CombineMasks, EqualsCombiningTheSourcesCoverageOnAndOffTheBlockGrid)
{
    // Bands of whole 64-pixel blocks at 0 and 255 between random rows.
    const auto banded = [](EdgeRect rect, uint32_t seed) {
        SCoverage c = Coverage(rect, seed);
        for (int32_t y = rect.top; y < rect.bottom; ++y)
            if (((y - rect.top) >> 6) % 3 != 2)
                std::fill_n(c.Row(y), c.Width(), uint8_t(((y - rect.top) >> 6) % 3 == 0 ? 0 : 255));
        return c;
    };
    const std::unique_ptr<CMaskData> target = CMaskData::FromCoverage(banded({-20, -10, 180, 250}, 3), "T");
    for (const Point shift : {Point{0, 0}, Point{64, -64}, Point{37, 5}, Point{300, 300}}) {
        const std::unique_ptr<CMaskData> source =
            CMaskData::FromCoverage(banded({-20 + shift.x, -10 + shift.y, 150 + shift.x, 230 + shift.y}, 4), "S");
        SCoverage c;
        ASSERT_TRUE(source->ToCoverage(source->Rect(), c));
        for (int mode = 0; mode < kCombineModeCount; ++mode) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " shift " << shift.x << "," << shift.y);
            bool unchanged = false;
            const std::unique_ptr<CMaskData> byBlocks =
                CombineMasks(target.get(), *source, CombineMode(mode), "R", unchanged);
            const std::unique_ptr<CMaskData> byCoverage =
                CombineCoverage(target.get(), c, CombineMode(mode), "R", unchanged);
            ASSERT_TRUE(byBlocks && byCoverage);
            EXPECT_EQ(byBlocks->Rect(), byCoverage->Rect());
            EXPECT_EQ(byBlocks->name, "R");
            EXPECT_EQ(MaskChecksum(*byBlocks), MaskChecksum(*byCoverage));
            EXPECT_EQ(byBlocks->pixels->CommittedBytes(), byCoverage->pixels->CommittedBytes());
        }
    }
}

TEST(CMaskData, PaintLookupScalesInsideAndTellsOutside)
{
    SCoverage c = Coverage({4, 4, 6, 6}, 3);
    c.bytes.assign(4, 200);
    const auto mask = CMaskData::FromCoverage(c, "m");
    EXPECT_EQ(mask->PaintValueAt(4, 5, 128), MulTable[200][128]);
    EXPECT_EQ(mask->PaintValueAt(3, 5, 128), -1);
    EXPECT_EQ(mask->ValueAt(3, 5), 0);
    uint8_t row[6];
    mask->ReadRow(5, 2, 6, row);
    EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{0, 0, 200, 200, 0, 0}));
}

class SelectionEdges : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(paper.NewPicture("p", false, false, 72, 40, 30, 40, 30)); }
    RecordingDocumentHost host;
    TPaper paper{host};
    // The current mask becomes the coverage (no event: a fixture).
    void Select(const SCoverage& c)
    {
        paper.Masks().Replace(paper.Masks().Current(), CMaskData::FromCoverage(c, "s"));
    }
    SCoverage Pixel(int32_t x, int32_t y)
    {
        SCoverage c;
        c.Allocate({x, y, x + 1, y + 1});
        c.bytes[0] = 255;
        return c;
    }
};

TEST_F(SelectionEdges, FirstMaskIsNumberOneAndTheNextTwo)
{
    EXPECT_EQ(paper.Masks().At(0)->name, "マスク1");
    ASSERT_TRUE(paper.NewMask());
    EXPECT_EQ(paper.Masks().At(1)->name, "マスク2");
    EXPECT_EQ(paper.Masks().Current(), 1);
}

TEST_F(SelectionEdges, SelectAllOnALargerLayerThenInvertSelectsNothingOverThatRectangle)
{
    ASSERT_TRUE(paper.AddLayer(1, 60, 50, true, 255, kModeNormal));
    ASSERT_TRUE(paper.ShiftLayer(1, -5, -6));
    ASSERT_TRUE(paper.SelectAll());
    const EdgeRect layerRect = paper.Masks().CurrentMask()->Rect();
    EXPECT_EQ(layerRect, (EdgeRect{-5, -6, 55, 44}));
    ASSERT_TRUE(paper.InvertSelection());
    const CMaskData& inverted = *paper.Masks().CurrentMask();
    EXPECT_EQ(inverted.Rect(), layerRect);
    EdgeRect occupied;
    EXPECT_FALSE(inverted.OccupiedRect(occupied));
}

TEST_F(SelectionEdges, InvertingInsideTheCanvasTwiceGivesTheBytesBackAndKeepsNoCopy)
{
    SCoverage c = Pixel(3, 4);
    Select(c);
    const uint32_t id = paper.Masks().CurrentMask()->maskId;
    const uint64_t before = MaskChecksum(*paper.Masks().CurrentMask());
    ASSERT_TRUE(paper.InvertSelection());
    EXPECT_EQ(paper.Masks().CurrentMask()->ValueAt(3, 4), 0);
    EXPECT_EQ(paper.UndoManager()->HeldBytes(), 0);
    ASSERT_TRUE(paper.InvertSelection());
    EXPECT_EQ(paper.Masks().CurrentMask()->maskId, id);
    EXPECT_EQ(MaskChecksum(*paper.Masks().CurrentMask()), before);
}

TEST_F(SelectionEdges, ExpandingOnePixelByThreeIsASevenSquareWithoutCorners)
{
    Select(Pixel(10, 10));
    ASSERT_TRUE(paper.GrowSelection(3, true));
    const CMaskData& m = *paper.Masks().CurrentMask();
    for (int32_t y = 5; y < 16; ++y)
        for (int32_t x = 5; x < 16; ++x) {
            const int32_t dx = std::abs(x - 10), dy = std::abs(y - 10);
            const bool in = dx <= 3 && dy <= 3 && !(dx == 3 && dy == 3);
            EXPECT_EQ(m.ValueAt(x, y), in ? 255 : 0) << x << "," << y;
        }
}

TEST_F(SelectionEdges, ContractingATwoPixelLineLeavesNothing)
{
    SCoverage line;
    line.Allocate({5, 8, 25, 10});
    std::fill(line.bytes.begin(), line.bytes.end(), 255);
    Select(line);
    ASSERT_TRUE(paper.GrowSelectionByOne(false));
    EdgeRect occupied;
    EXPECT_FALSE(paper.Masks().CurrentMask()->OccupiedRect(occupied));
}

TEST_F(SelectionEdges, MasksFollowCropCanvasAndImageSize)
{
    struct Case {
        const char* name;
        std::function<bool(TPaper&)> run;
        EdgeRect rect;
    };
    const Case cases[] = {
        {"crop", [](TPaper& p) { return p.Crop(0, {1, 2, 30, 20}); }, {1, 1, 5, 5}},
        {"canvas, centred", [](TPaper& p) { return p.SetCanvasSize(50, 40, false, 4); }, {7, 8, 11, 12}},
        {"image size doubled", [](TPaper& p) { return p.SetImageSize(80, 60, false); }, {4, 6, 12, 14}},
        {"image size halved", [](TPaper& p) { return p.SetImageSize(20, 15, false); }, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(paper.NewPicture("p", false, false, 72, 40, 30, 40, 30));
        SCoverage square;
        square.Allocate({2, 3, 6, 7});
        std::fill(square.bytes.begin(), square.bytes.end(), 255);
        Select(square);
        ASSERT_TRUE(c.run(paper));
        EXPECT_EQ(paper.Masks().CurrentMask()->Rect(), c.rect);
        EXPECT_EQ(paper.Masks().CurrentMask()->ValueAt(c.rect.left, c.rect.top), 255);
        int32_t layer = -1;
        ExtentRect rect;
        ASSERT_TRUE(paper.Undo(layer, rect));
        EXPECT_EQ(paper.Masks().CurrentMask()->Rect(), (EdgeRect{2, 3, 6, 7}));
    }
}

TEST_F(SelectionEdges, RefusalsChangeNothing)
{
    // No selection: nothing to invert, grow or move; the only mask stays.
    EXPECT_FALSE(paper.InvertSelection());
    EXPECT_FALSE(paper.GrowSelection(4, true));
    EXPECT_FALSE(paper.GrowSelection(33, true));
    EXPECT_FALSE(paper.MoveSelection(1, 1));
    EXPECT_TRUE(paper.DeleteMask(-1));
    EXPECT_EQ(paper.Masks().Count(), 1);
    EXPECT_FALSE(paper.SelectMask(3));
    EXPECT_FALSE(paper.MoveMask(0, 0));
    Select(Pixel(1, 1));
    EXPECT_FALSE(paper.MoveSelection(-(1 << 21), 0));
    EXPECT_FALSE(paper.CombineMasks(0, 5, CombineMode::Add));
}

// The colour range picks the layer's pixels near a colour, never a
// transparent one, keeps to the selection, and says so when layer and
// selection do not meet. A range that picks nothing changes nothing.
TEST_F(SelectionEdges, ColourRangeKeepsToOpaquePixelsAndTheSelection)
{
    CBlockVMTC& store = *paper.LayerAt(0)->Store;
    ASSERT_TRUE(store.FillRect({0, 0, 10, 10}, 0xFFFF0000u));
    ASSERT_TRUE(store.SetPixel(3, 3, 0x00FF0000u));
    const SColourRange red{ColourRangeSource::Layer, 0, 0, {{0xFF0000, true, 10}}};
    ASSERT_TRUE(paper.SelectColourRange(red));
    const CMaskData& picked = *paper.Masks().CurrentMask();
    EXPECT_EQ(picked.ValueAt(2, 2), 255);
    EXPECT_EQ(picked.ValueAt(3, 3), 0);
    EXPECT_EQ(picked.ValueAt(20, 20), 0);

    Select(Pixel(5, 5));
    ASSERT_TRUE(paper.SelectColourRange(red));
    EXPECT_EQ(paper.Masks().CurrentMask()->ValueAt(5, 5), 255);
    EXPECT_EQ(paper.Masks().CurrentMask()->ValueAt(2, 2), 0);

    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    Select(Pixel(50, 50));
    const uint32_t before = paper.Masks().CurrentMask()->maskId;
    EXPECT_FALSE(paper.SelectColourRange(red));
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "有効な選択範囲がありません");
    paper.CancelSelection(false);
    const uint32_t cancelled = paper.Masks().CurrentMask()->maskId;
    EXPECT_TRUE(paper.SelectColourRange({ColourRangeSource::Layer, 0, 0, {{0x00FF00, true, 5}}}));
    EXPECT_EQ(paper.Masks().CurrentMask()->maskId, cancelled);
    EXPECT_NE(before, cancelled);
    SetNotifier(previous);
}

// A stream that deletes the only mask is played on: the mask stays, the
// packet counts as executed and a line says why.
TEST_F(SelectionEdges, ReplayedDeleteOfTheOnlyMaskDeclinesWithALine)
{
    SelectionCommandPayload p;
    p.SetKind(PacketId::DeleteMask);
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scope(sink);
    uint8_t hints = 0;
    EXPECT_EQ(OperationReplaying(PacketId::DeleteMask)->replay(paper, PacketId::DeleteMask, p.Encode(), hints),
              HandlerResult::Executed);
    EXPECT_EQ(paper.Masks().Count(), 1);
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_EQ(sink.lines[0], "playback: the only mask is not deleted");
    p.mask = 1;
    EXPECT_EQ(OperationReplaying(PacketId::DeleteMask)->replay(paper, PacketId::DeleteMask, p.Encode(), hints),
              HandlerResult::Failed);
}

} // namespace
} // namespace morvane
