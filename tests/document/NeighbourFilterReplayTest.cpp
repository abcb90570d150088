// Neighbourhood filters on a document: every code and mode recorded, saved,
// loaded and replayed to the live picture; hostile packets through the
// replay dispatcher.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "LivePaper.h"
#include "document/FilterOperations.h"
#include "events/EventPackets.h"
#include "filters/NeighbourRecords.h"
#include "filters/RecordBytes.h"
#include "platform/DiagnosticSink.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using namespace testing_layers;
using namespace testing_filters;

uint64_t LayerSum(TPaper& paper, int32_t layer) { return support::Checksum(*paper.LayerAt(layer)->Store); }

Filter16Payload Words16(uint8_t code, int16_t layer, const std::vector<uint8_t>& record)
{
    Filter16Payload p;
    p.code = code, p.layer = layer, p.mask = -1;
    for (size_t i = 0; i < 4; ++i)
        p.words[i] = RecordU32(record, 4 * i);
    return p;
}

TEST(NeighbourFilterReplay, EveryCodeReplaysToTheLivePicture)
{
    Live live;
    ASSERT_TRUE(live->SetLayerProtectAlpha(2, true));
    int32_t layer = 0;
    for (const NamedRun& run : EveryRoutine()) {
        std::vector<uint8_t> record = run.record;
        if (run.code == 59)
            record[14] = layer == 2; // the protection the command writes
        const uint64_t before = LayerSum(*live, layer);
        ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(run.code), layer, record, true), FilterResult::Done)
            << run.what;
        EXPECT_NE(LayerSum(*live, layer), before) << run.what;
        layer = (layer + 1) % 3;
    }
    // Diffuse recorded on the protected layer, then the protection turned
    // off: a diffuse that says "protected" declines, the replay goes on.
    std::vector<uint8_t> diffuse = Diffuse(3, 0, false, 9);
    diffuse[14] = 1;
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(59), 2, diffuse, true), FilterResult::Done);
    ASSERT_TRUE(live->SetLayerProtectAlpha(2, false));
    const uint64_t unprotected = LayerSum(*live, 2);
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(59), 2, diffuse, false), FilterResult::Declined);
    ASSERT_TRUE(live->RecordPacket(Words16(59, 2, diffuse).Encode()));
    EXPECT_EQ(LayerSum(*live, 2), unprotected);
    ASSERT_EQ(RunFilterOnLayer(*live, *FilterByCode(64), 2, {}, true), FilterResult::Done);

    const PaperState after = StateOf(*live);
    const std::string path = ScratchFile("neighbour_filters");
    EXPECT_TRUE(SavedAndReplayed(*live, path) == WithoutIds(after));
    std::filesystem::remove(path);
}

// Packets no program writes: each is clamped and run, declined, or fails,
// and none crashes, hangs or allocates by its values.
TEST(NeighbourFilterReplay, HostilePackets)
{
    RecordingDocumentHost host;
    host.PlayingBack = true;
    TPaper paper(host);
    PaperPlaybackTarget target(paper);
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scoped(sink);
    auto apply = [&](std::vector<uint8_t> packet) { return target.ApplyCommand(packet, 450); };
    NewCanvasPayload canvas;
    canvas.width = canvas.height = canvas.layerWidth = canvas.layerHeight = 40;
    ASSERT_EQ(apply(canvas.Encode()), HandlerResult::Executed);
    ASSERT_TRUE(paper.LayerAt(0)->Store->FillRect({2, 2, 30, 20}, 0xFF336699u));
    ASSERT_TRUE(paper.LayerAt(0)->Store->FillRect({10, 8, 5, 30}, 0x80C02010u));

    auto custom = [](std::vector<uint8_t> data) {
        FilterDataPayload p;
        p.code = 51, p.layer = 0, p.mask = -1;
        p.length = uint16_t(data.size());
        p.data = std::move(data);
        return p.Encode();
    };
    std::vector<uint8_t> extremes = Custom55({}, -1, 0);
    for (size_t i = 0; i < 25; ++i)
        PutRecordU32(extremes, 4 * i, i % 2 ? 0x7FFFFFFFu : 0x80000000u);
    auto eight = [](uint8_t code, float value) {
        Filter8Payload p;
        p.code = code, p.mask = -1;
        p.words = {std::bit_cast<uint32_t>(value), 0};
        return p.Encode();
    };
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();

    struct Case {
        const char* what;
        std::vector<uint8_t> packet;
        HandlerResult result;
        bool changes;
    };
    const Case cases[] = {
        {"weights of 2^31 with divisor -1", custom(extremes), HandlerResult::Executed, true},
        {"divisor 0", custom(Custom55({1}, 0, 0)), HandlerResult::Declined, false},
        {"107 bytes of data", custom(std::vector<uint8_t>(107, 1)), HandlerResult::Failed, false},
        {"109 bytes of data", custom(std::vector<uint8_t>(109, 1)), HandlerResult::Failed, false},
        {"sigma 1e30 clamps to 10", eight(67, 1e30f), HandlerResult::Executed, true},
        {"sigma NaN", eight(67, nan), HandlerResult::Failed, false},
        {"sigma infinite", eight(67, inf), HandlerResult::Failed, false},
        {"custom sharpen NaN", eight(14, nan), HandlerResult::Failed, false},
        {"noise amount -5 clamps to 0", Words16(25, 0, Noise(-5, false, 3)).Encode(), HandlerResult::Executed,
         false},
        {"diffuse range 40000 clamps to 255", Words16(59, 0, Diffuse(40000, 0, false, 3)).Encode(),
         HandlerResult::Executed, true},
        {"diffuse mode 7", Words16(59, 0, Diffuse(3, 7, false, 3)).Encode(), HandlerResult::Failed, false},
        {"emboss height NaN", Words16(50, 0, [&] {
             std::vector<uint8_t> r = RecordOf(50);
             PutRecordF32(r, 4, nan);
             return r;
         }()).Encode(),
         HandlerResult::Failed, false},
        {"motion mode 0 angle infinite", [&] {
             std::vector<uint8_t> r = Motion(10, 0, 0);
             PutRecordF32(r, 4, inf);
             Filter8Payload p;
             p.code = 4, p.mask = -1, p.words = {RecordU32(r, 0), RecordU32(r, 4)};
             return p.Encode();
         }(),
         HandlerResult::Failed, false},
    };
    for (const Case& c : cases) {
        const uint64_t before = LayerSum(paper, 0);
        EXPECT_EQ(apply(c.packet), c.result) << c.what;
        EXPECT_EQ(LayerSum(paper, 0) != before, c.changes) << c.what;
    }
}

} // namespace
} // namespace morvane
