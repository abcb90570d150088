// The render mode in process: the demo recording is reproducible and
// replays to its live picture batch and point by point alike; the render
// end writes the picture and a protected copy of the stream as it stands,
// and fails without harm to the input when it cannot.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "RenderFixture.h"
#include "app/DemoRecording.h"
#include "app/RenderEnd.h"
#include "app/RenderMode.h"
#include "app/RenderReport.h"
#include "document/CMaskMngr.h"
#include "document/ColourRange.h"
#include "document/FilterOperations.h"
#include "filters/NeighbourRecords.h"
#include "document/TPaperPlayback.h"
#include "events/EventPackets.h"
#include "events/CEventPlayer.h"

namespace morvane {
namespace {

using namespace testing_render;

Bytes CompositeBytes(const TPaper& document)
{
    const TTC& c = document.Composite();
    Bytes bytes;
    for (int32_t y = 0; y < c.Height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(c.PixelPtr(0, y));
        bytes.insert(bytes.end(), row, row + 4 * size_t(c.Width));
    }
    return bytes;
}

// The picture a replay of path ends with, paced point by point or not.
Bytes ReplayedPicture(const std::string& path, bool pointByPoint)
{
    RecordingDocumentHost host;
    host.PlayingBack = true;
    TPaper document(host);
    PaperPlaybackTarget target(document);
    CEventPlayer player(*document.EventManager(), target);
    player.SetPointByPoint(pointByPoint);
    EXPECT_EQ(player.Open(path, PlaybackMode::Render), CEventPlayer::kOpenOk);
    int ticks = 0;
    while (player.Tick() == PlayerTick::Continue)
        ++ticks;
    player.Close();
    EXPECT_TRUE(player.EndMarkSeen() && !player.Failed());
    return CompositeBytes(document);
}

TEST(RenderMode, DemoRecordingIsReproducibleAndReplaysToItsLivePicture)
{
    TempFolder folder;
    ASSERT_EQ(WriteDemoRecording(folder / "a.vd4"), 0);
    ASSERT_EQ(WriteDemoRecording(folder / "b.vd4"), 0);
    EXPECT_EQ(ReadBytes(folder / "a.vd4"), ReadBytes(folder / "b.vd4"));

    RecordingDocumentHost host;
    TPaper live(host);
    DemoRecording demo(live);
    ASSERT_TRUE(demo.Paint());
    const Bytes batch = ReplayedPicture(folder / "a.vd4", false);
    EXPECT_TRUE(batch == CompositeBytes(live));
    EXPECT_TRUE(ReplayedPicture(folder / "a.vd4", true) == batch);
}

// Every filter of the table recorded live (the neighbourhood ones in every
// mode, noise and diffuse included), and a filter code without a routine:
// the render declines that one, goes on to the end and gives the live
// picture.
TEST(RenderMode, FiltersRenderToTheLivePicture)
{
    TempFolder folder;
    RecordingDocumentHost host;
    TPaper live(host);
    ASSERT_TRUE(live.NewPicture("tones", false, false, 72, 40, 30, 40, 30));
    ASSERT_TRUE(live.AddLayerNamed(1, 40, 30, true, 255, 0, "a", 0xFF3070B0u));
    ASSERT_TRUE(live.AddLayerNamed(2, 30, 20, true, 160, 0, "b", 0xC0E0A040u));
    int32_t layer = 1;
    for (const FilterDescriptor& filter : FilterDescriptors()) {
        std::vector<uint8_t> record = DefaultRecord(filter);
        if (filter.code == 27)
            record[0] = 3;
        ASSERT_EQ(RunFilterOnLayer(live, filter, layer, record, true), FilterResult::Done) << filter.act;
        layer = 3 - layer;
    }
    for (const testing_filters::NamedRun& run : testing_filters::EveryRoutine()) {
        ASSERT_EQ(RunFilterOnLayer(live, *FilterByCode(run.code), layer, run.record, true), FilterResult::Done)
            << run.what;
        layer = 3 - layer;
    }
    Filter8Payload unknown;
    unknown.code = 2, unknown.mask = -1;
    ASSERT_TRUE(live.RecordPacket(unknown.Encode()));
    ASSERT_EQ(SaveEventFile(folder / "tones.vd4", live, EventSaveRequest{}), EventFileCode::Ok);
    EXPECT_TRUE(ReplayedPicture(folder / "tones.vd4", false) == CompositeBytes(live));
    EXPECT_EQ(RenderEventFile(folder / "tones.vd4", folder.Path()), kRenderDone);
}

// Every selection operation and the layer operations that act through the
// selection, recorded live: the render gives the live picture, and the
// pixel operations between them make it depend on each mask they leave.
TEST(RenderMode, SelectionsRenderToTheLivePicture)
{
    TempFolder folder;
    RecordingDocumentHost host;
    TPaper live(host);
    ASSERT_TRUE(live.NewPicture("masks", false, false, 72, 40, 30, 40, 30));
    ASSERT_TRUE(live.AddLayerNamed(1, 40, 30, true, 255, 0, "a", 0xFF3070B0u));
    ASSERT_TRUE(live.AddLayerNamed(2, 30, 20, true, 160, 0, "b", 0xC0E0A040u));
    const auto current = [&] { return live.Masks().Current(); };
    const std::vector<std::pair<const char*, std::function<bool()>>> steps = {
        {"rectangle", [&] { return live.SelectRectangle({2, 2}, {20, 15}, CombineMode::Replace); }},
        {"ellipse", [&] { return live.SelectEllipse({10, 5}, {35, 25}, CombineMode::Add); }},
        {"polygon", [&] { return live.SelectPolygon({{5, 20}, {30, 2}, {38, 28}}, CombineMode::Subtract); }},
        {"flip across", [&] { return live.LayerCommandMasked(1, 7, current()); }},
        {"grow by one", [&] { return live.GrowSelectionByOne(true, true); }},
        {"shrink by one, older form", [&] { return live.GrowSelectionByOne(false, false); }},
        {"flip down", [&] { return live.LayerCommandMasked(2, 8, current()); }},
        {"grow by 3", [&] { return live.GrowSelection(3, true); }},
        {"shrink by 2", [&] { return live.GrowSelection(2, false); }},
        {"invert", [&] { return live.InvertSelection(); }},
        {"rotate", [&] { return live.LayerCommandMasked(1, 10, current()); }},
        {"invert back", [&] { return live.InvertSelection(); }},
        {"layer with selection", [&] { return live.ShiftLayerMasked(1, 3, -2); }},
        {"copy to a layer", [&] { return live.SelectionToLayer(1, false); }},
        {"new mask", [&] { return live.NewMask(); }},
        {"select all", [&] { return live.SelectAll(); }},
        {"move selection", [&] { return live.MoveSelection(5, 4); }},
        {"trim", [&] { return live.TrimSelection(); }},
        {"rename", [&] { return live.RenameMask("moved"); }},
        {"duplicate", [&] { return live.DuplicateMask(); }},
        {"move in list", [&] { return live.MoveMask(0, 2); }},
        {"make current", [&] { return live.SelectMask(0); }},
        {"combine", [&] { return live.CombineMasks(1, 0, CombineMode::Intersect); }},
        {"from density", [&] { return live.MaskFromLayer(2, false, false); }},
        {"invert colours", [&] { return live.LayerCommandMasked(1, 9, current()); }},
        {"from transparency, combined", [&] { return live.MaskFromLayer(3, true, true); }},
        {"colour range", [&] {
             return live.SelectColourRange({ColourRangeSource::Layer, 0, 0, {{0x3070B0, true, 80}, {0xE0A040, false, 30}}});
         }},
        {"move to a layer", [&] { return live.SelectionToLayer(1, true); }},
        {"border hidden", [&] { return live.SetSelectionBorderShown(false); }},
        {"unused", [&] { return live.SetSelectionUsed(false); }},
        {"used", [&] { return live.SetSelectionUsed(true); }},
        {"into alpha", [&] { return live.MaskIntoAlpha(2); }},
        {"delete", [&] { return live.DeleteMask(1); }},
        {"cancel", [&] { return live.CancelSelection(); }},
    };
    for (const auto& [what, step] : steps)
        ASSERT_TRUE(step()) << what;
    ASSERT_EQ(SaveEventFile(folder / "masks.vd4", live, EventSaveRequest{}), EventFileCode::Ok);
    EXPECT_TRUE(ReplayedPicture(folder / "masks.vd4", false) == CompositeBytes(live));
    EXPECT_EQ(RenderEventFile(folder / "masks.vd4", folder.Path()), kRenderDone);
}

TEST(RenderMode, CopyIsTheStreamAsItStandsProtectedUnderItsGenerationsExtension)
{
    struct Case {
        uint16_t generation;
        const char* extension;
    };
    for (const Case c : {Case{41, ".vd4"}, Case{20, ".vd3"}}) {
        TempFolder folder;
        const Bytes stream = BlankStream(40, 30);
        const uint16_t flags = kEventFlagInteractive | kEventFlagOption;
        WriteEventFile(folder / "in.vd4", stream, 40, 30, c.generation, flags);
        ASSERT_EQ(RenderEventFile(folder / "in.vd4", folder.Path()), kRenderDone) << c.generation;

        EventContainerInfo info;
        const Bytes copy = StreamOfFile(folder / (std::string("in") + c.extension), info);
        ASSERT_EQ(copy.size(), stream.size()) << c.generation;
        EXPECT_EQ(info.generation, c.generation);
        EXPECT_EQ(info.flags, flags);
        // Only the protection bit of the file flags differs; the end mark stays.
        const std::vector<uint16_t> before = FileFlagsOf(stream), after = FileFlagsOf(copy);
        ASSERT_FALSE(after.empty());
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i)
            EXPECT_EQ(after[i], before[i] | CEventMngr::kProtectionFlag);
        EXPECT_EQ(copy[copy.size() - 2], 2);
        EXPECT_EQ(copy[copy.size() - 1], 255);
        EXPECT_TRUE(fs::exists(folder / "in.bmp"));
    }
}

TEST(RenderMode, RenderEndFailuresLeaveTheInputIntact)
{
    // A stream without file flags records would give an unprotected copy;
    // a copy that cannot be written must not touch the input it replaces.
    TempFolder folder;
    Bytes stream = BlankStream(40, 30);
    Bytes unflagged;
    const std::vector<size_t> offsets = PacketOffsets(stream);
    for (size_t i = 0; i < offsets.size(); ++i) {
        const size_t end = i + 1 < offsets.size() ? offsets[i + 1] : stream.size();
        if (!(stream[offsets[i]] == 0 && stream[offsets[i] + 1] == 12))
            unflagged.insert(unflagged.end(), stream.begin() + ptrdiff_t(offsets[i]), stream.begin() + ptrdiff_t(end));
    }
    ASSERT_LT(unflagged.size(), stream.size());
    WriteEventFile(folder / "plain.vd4", unflagged, 40, 30);
    const Bytes input = ReadBytes(folder / "plain.vd4");
    EXPECT_EQ(RenderEventFile(folder / "plain.vd4", folder.Path()), kRenderWriteFailed);
    EXPECT_EQ(ReadBytes(folder / "plain.vd4"), input);

    WriteEventFile(folder / "blocked.vd4", stream, 40, 30);
    fs::create_directory(folder / "out");
    fs::create_directories(folder / "out/blocked.vd4/taken");
    EXPECT_EQ(RenderEventFile(folder / "blocked.vd4", folder / "out"), kRenderWriteFailed);
    EXPECT_TRUE(fs::is_directory(folder / "out/blocked.vd4"));
}

} // namespace
} // namespace morvane
