// Filters run on a document: every tone filter recorded, saved, loaded and
// replayed to the live picture; previews taken back; failures that leave
// the layer, history and recording as they were; packets a replay declines.
#include <gtest/gtest.h>

#include <stdexcept>

#include "LivePaper.h"
#include "filters/FilterFixture.h"
#include "document/CFlt4Core.h"
#include "document/FilterOperations.h"
#include "events/EventPackets.h"
#include "filters/RecordBytes.h"
#include "platform/DiagnosticSink.h"
#include "storage/TMTC.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using namespace testing_layers;

using testing_filters::RecordOf;

uint64_t LayerSum(TPaper& paper, int32_t layer) { return support::Checksum(*paper.LayerAt(layer)->Store); }

TEST(FilterFramework, EveryToneFilterReplaysToTheLivePicture)
{
    Live live;
    ASSERT_TRUE(live->SetLayerProtectAlpha(2, true));
    const std::pair<uint8_t, std::vector<uint8_t>> runs[] = {
        {60, RecordOf(60, {{0, 12}, {1, 140}, {2, 240}, {5, 0}})},
        {24, RecordOf(24, {{0, 0.7}, {1, 1.4}, {2, 1.1}})},
        {62, RecordOf(62, {{0, 20}, {1, 35}})},
        {62, RecordOf(62, {{0, -15}, {1, -60}, {2, 1}})},
        {61, RecordOf(61, {{0, 120}, {1, 40}, {2, -10}})},
        {61, RecordOf(61, {{0, 30}, {2, 25}, {3, 1}, {4, 1}})},
        {20, {}},
        {81, {}},
        {56, {}},
        {49, RecordOf(49, {{0, 100}})},
        {27, RecordOf(27, {{0, 5}})},
        {63, RecordOf(63, {{0, 0x4080C0}, {1, 1}})},
    };
    int32_t layer = 0;
    for (const auto& [code, record] : runs) {
        const uint64_t before = LayerSum(*live, layer);
        ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(code), layer, record, true), FilterResult::Done) << int(code);
        EXPECT_NE(LayerSum(*live, layer), before) << int(code);
        layer = (layer + 1) % 2; // the protected layer 2 is for luminance to alpha below
    }
    // On the protected layer luminance to alpha succeeds and changes nothing.
    const uint64_t isProtected = LayerSum(*live, 2);
    EXPECT_EQ(RunFilterOnLayer(*live, *FilterByCode(63), 2, RecordOf(63), true), FilterResult::Done);
    EXPECT_EQ(LayerSum(*live, 2), isProtected);

    // Earlier codes: 17 replays as colour balance, 52 as luminance to alpha
    // in the pen's colour, tint off.
    const std::vector<uint8_t> balance = RecordOf(24, {{0, 1.6}, {2, 0.6}});
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(24), 1, balance, false), FilterResult::Done);
    Filter16Payload p17;
    p17.code = 17, p17.layer = 1, p17.mask = -1;
    for (size_t i = 0; i < 4; ++i)
        p17.words[i] = RecordU32(balance, 4 * i);
    ASSERT_TRUE(live->RecordPacket(p17.Encode()));
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(63), 0, RecordOf(63, {{0, 0x10A040}}), false), FilterResult::Done);
    FilterPayload p52;
    p52.code = 52, p52.layer = 0, p52.mask = -1;
    ASSERT_TRUE(live->RecordPacket(p52.Encode()));
    // A code without a routine is declined and the replay goes on to the end.
    Filter8Payload p2;
    p2.code = 2, p2.mask = -1;
    ASSERT_TRUE(live->RecordPacket(p2.Encode()));

    const PaperState after = StateOf(*live);
    const std::string path = ScratchFile("tone_filters");
    EXPECT_TRUE(SavedAndReplayed(*live, path) == WithoutIds(after));
    std::filesystem::remove(path);
}

TEST(FilterFramework, CancelledPreviewsLeaveTheLayerAndRecordNothing)
{
    Live live;
    const uint64_t before = LayerSum(*live, 1);
    const int32_t steps = live->EventManager()->CommittedSteps();
    {
        CFlt4Core run(*live, true);
        ASSERT_EQ(run.Attach(*FilterByCode(62), 1), FilterAttach::Ready);
        for (int b : {10, 40, -70}) {
            const std::vector<uint8_t> r = RecordOf(62, {{0, b}});
            ASSERT_TRUE(run.PreviewOnDocument({r}));
            EXPECT_NE(LayerSum(*live, 1), before);
        }
        run.EndPreview(true);
    }
    EXPECT_EQ(LayerSum(*live, 1), before);
    EXPECT_EQ(live->EventManager()->CommittedSteps(), steps);
}

// An apply refreshes only the blocks it changed: inside a selection, over a
// document preview of other values, and a run that changes nothing; the
// picture, its thumbnail and the layer's are what whole refreshes give.
TEST(FilterFramework, ApplyRefreshesOnlyWhatItChanged)
{
    Live live;
    SizePictureThumbnail(*live, 20, 15);
    ASSERT_TRUE(live->SelectRectangle({30, 4}, {45, 20}, CombineMode::Replace));
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(81), 0, {}, true), FilterResult::Done);
    ExpectWholeRefreshes(*live);
    ASSERT_TRUE(live->CancelSelection());
    {
        CFlt4Core run(*live, true);
        ASSERT_EQ(run.Attach(*FilterByCode(62), 1), FilterAttach::Ready);
        const std::vector<uint8_t> preview = RecordOf(62, {{0, 60}}), applied = RecordOf(62, {{0, -20}});
        ASSERT_TRUE(run.PreviewOnDocument({preview}));
        ASSERT_EQ(run.Apply({applied}), FilterResult::Done);
    }
    ExpectWholeRefreshes(*live);
    const uint64_t before = LayerSum(*live, 2);
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(62), 2, RecordOf(62), true), FilterResult::Done);
    EXPECT_EQ(LayerSum(*live, 2), before);
    ExpectWholeRefreshes(*live);
}

TEST(FilterFramework, PanePaintIsTheRoutineOnTheViewAndLeavesTheLayer)
{
    Live live;
    const uint64_t before = LayerSum(*live, 2);
    const std::vector<uint8_t> record = RecordOf(61, {{0, 90}, {1, 30}});
    CFlt4Core run(*live, true);
    ASSERT_EQ(run.Attach(*FilterByCode(61), 2), FilterAttach::Ready);
    const EdgeRect view{7, 5, 39, 29};
    TMTC pane;
    ASSERT_TRUE(run.PaintPane({record}, view, pane));
    EXPECT_EQ(LayerSum(*live, 2), before);

    CBlockVMTC expected(*live->LayerAt(2)->Store);
    FilterContext c;
    c.target = &expected;
    c.backup = run.Backup();
    c.bounds = run.Bounds();
    c.work = view;
    ASSERT_EQ(FilterByCode(61)->routine(c, {record}), FilterResult::Done);
    ASSERT_EQ(pane.Width, 32);
    ASSERT_EQ(pane.Height, 24);
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 32; ++x)
            ASSERT_EQ(*pane.PixelPtr(x, y), expected.GetPixel(7 + x, 5 + y)) << x << "," << y;
    EXPECT_FALSE(run.PaintPane({record}, {500, 500, 510, 510}, pane));
}

FilterResult WritesThenThrows(const FilterContext& c, const FilterRecord&)
{
    c.target->FillRect({0, 0, 10, 10}, 0xFF0000FFu);
    throw std::runtime_error("broken routine");
}

TEST(FilterFramework, FailuresRestoreTheLayerWithoutHistory)
{
    const FilterDescriptor throwing{"actTest", "test", 81, 0, "", {}, &WritesThenThrows};
    {
        Live live;
        const uint64_t before = LayerSum(*live, 1);
        const int32_t undo = live->UndoManager()->UndoCount();
        CFlt4Core run(*live, true);
        ASSERT_EQ(run.Attach(throwing, 1), FilterAttach::Ready);
        EXPECT_THROW(run.Apply({}), std::runtime_error);
        EXPECT_EQ(LayerSum(*live, 1), before);
        EXPECT_EQ(live->UndoManager()->UndoCount(), undo);
    }
    // A recorder that keeps nothing: the filtered layer goes back.
    RecordingDocumentHost host;
    auto recorder = std::make_unique<KeepingRecorder>();
    KeepingRecorder& keeping = *recorder;
    TPaper paper(host, {}, std::move(recorder));
    ASSERT_TRUE(paper.NewPicture("p", false, false, 72, 20, 20, 20, 20));
    ASSERT_TRUE(paper.LayerAt(0)->Store->FillRect({2, 2, 8, 8}, 0xFF336699u));
    const uint64_t before = LayerSum(paper, 0);
    const int32_t undo = paper.UndoManager()->UndoCount();
    keeping.refuse = true;
    EXPECT_EQ(RunFilterOnLayer(paper, *FilterByCode(81), 0, {}, true), FilterResult::Refused);
    EXPECT_EQ(LayerSum(paper, 0), before);
    EXPECT_EQ(paper.UndoManager()->UndoCount(), undo);
}

TEST(FilterFramework, ReplayDeclinesCodesWithoutARoutineAndRefusesBadPackets)
{
    RecordingDocumentHost host;
    host.PlayingBack = true;
    TPaper paper(host);
    PaperPlaybackTarget target(paper);
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scoped(sink);
    auto apply = [&](std::vector<uint8_t> packet) { return target.ApplyCommand(packet, 450); };
    NewCanvasPayload canvas;
    canvas.width = canvas.height = canvas.layerWidth = canvas.layerHeight = 20;
    ASSERT_EQ(apply(canvas.Encode()), HandlerResult::Executed);
    ASSERT_TRUE(paper.LayerAt(0)->Store->FillRect({2, 2, 8, 8}, 0xFF336699u));

    Filter8Payload p2;
    p2.code = 2;
    EXPECT_EQ(apply(p2.Encode()), HandlerResult::Declined);
    ASSERT_FALSE(sink.lines.empty());
    EXPECT_EQ(sink.lines.back(), "playback: no routine for filter code 2");

    // Hostile records: out of range values are clamped and run, non-finite
    // floats and layers past the stack fail.
    Filter16Payload hue;
    hue.code = 61, hue.layer = 0;
    hue.words = {uint32_t(-720), 0, uint32_t(128), 0};
    EXPECT_EQ(apply(hue.Encode()), HandlerResult::Executed);
    Filter16Payload gamma;
    gamma.code = 24;
    gamma.words = {0x7FC00000u, 0x3F800000u, 0x3F800000u, 0};
    EXPECT_EQ(apply(gamma.Encode()), HandlerResult::Failed);
    Filter24Payload levels;
    levels.code = 60, levels.layer = 7;
    EXPECT_EQ(apply(levels.Encode()), HandlerResult::Failed);
    levels.layer = 0;
    levels.words = {0x00000000u, 0x00000000u, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, 1}; // middle 0
    EXPECT_EQ(apply(levels.Encode()), HandlerResult::Executed);
    FilterDataPayload withData;
    withData.code = 60, withData.length = 3, withData.data = {1, 2, 3};
    EXPECT_EQ(apply(withData.Encode()), HandlerResult::Failed);
}

} // namespace
} // namespace morvane
