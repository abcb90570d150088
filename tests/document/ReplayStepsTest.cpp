// Seeking a replay to any step lands the picture a straight replay has
// there, and playing on from it lands the straight replay's end; painting
// on from a step records a stream that replays to the new picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "LivePaper.h"
#include "document/PaperReplay.h"
#include "support/TempFolder.h"

namespace morvane::testing_layers {
namespace {

// Strokes on both engines, layer and link commands: every kind of step the
// replay has to rebuild after a seek back.
void RecordManyKinds(Live& live)
{
    TPaper& p = *live.paper;
    ASSERT_TRUE(p.SelectLayer(0));
    ASSERT_TRUE(live.Draw({{3, 3, 0.5f}, {45, 33, 0.8f}}));
    ASSERT_TRUE(p.SetStrokeEngine(1));
    ASSERT_TRUE(live.Draw({{40, 5, 1.0f}, {8, 30, 0.3f}, {20, 10, 0.9f}}));
    ASSERT_TRUE(p.SetStrokeEngine(2));
    ASSERT_TRUE(p.SetLayerMode(1, kModeScreen));
    ASSERT_TRUE(p.SetLayerOpacity(2, 90));
    ASSERT_TRUE(p.LinkLayer(2, true));
    ASSERT_TRUE(p.FlipLayerH(1));
    ASSERT_TRUE(p.DuplicateLayer(1));
    ASSERT_TRUE(p.SelectLayer(2));
    ASSERT_TRUE(live.Draw({{10, 10, 0.7f}, {30, 25, 1.0f}}));
    ASSERT_TRUE(p.SetLayerVisible(0, false));
    ASSERT_TRUE(p.MoveLayer(3, 1));
    ASSERT_TRUE(p.MergeDown(2));
    ASSERT_TRUE(p.SetLayerVisible(0, true));
    ASSERT_TRUE(p.RotateLayer180(1));
    ASSERT_TRUE(live.Draw({{24, 2, 0.2f}, {24, 34, 1.0f}}));
}

struct Straight {
    std::vector<PaperState> atStep; // index: executed steps
};

Straight PlayStraight(const std::string& file)
{
    RecordingDocumentHost host;
    host.PlayingBack = true;
    PaperReplay replay(host);
    Straight s;
    EXPECT_EQ(replay.Open(file, PlaybackMode::Render), CEventPlayer::kOpenOk);
    s.atStep.push_back(WithoutIds(StateOf(replay.Paper())));
    while (replay.Tick() == PlayerTick::Continue)
        s.atStep.push_back(WithoutIds(StateOf(replay.Paper())));
    EXPECT_TRUE(replay.Player().EndMarkSeen());
    EXPECT_EQ(int32_t(s.atStep.size()), replay.Player().TotalSteps());
    return s;
}

std::string Saved(Live& live, const support::TempFolder& folder, const char* name)
{
    const std::string file = folder / name;
    EXPECT_EQ(SaveEventFile(file, *live.paper, {}), EventFileCode::Ok);
    return file;
}

// The live stream as an event file that stops without its end mark, as a
// session cut off by a crash leaves it.
std::string SavedWithoutEndMark(Live& live, const support::TempFolder& folder)
{
    CEventMngr& events = *live->EventManager();
    std::vector<uint8_t> stream(size_t(events.WritePosition()));
    EXPECT_EQ(events.Read(0, stream.data(), int64_t(stream.size())), int64_t(stream.size()));
    CSegmentedStore store;
    EXPECT_TRUE(store.Append(stream.data(), int64_t(stream.size())));
    EventContainerInfo info;
    info.width = live->Width;
    info.height = live->Height;
    info.steps = uint32_t(events.CommittedSteps());
    info.length = uint32_t(stream.size());
    MemoryWriter out;
    EXPECT_EQ(WriteContainer(out, store, info), EventFileCode::Ok);
    const std::string file = folder / "cut.vd4";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(out.Bytes().data()), std::streamsize(out.Bytes().size()));
    return file;
}

// Paints two steps on a document continued from a replay, as a user would.
void PaintOn(TPaper& paper)
{
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;
    pen.color = 0xFFC02080;
    pen.SetRadius(2.5f);
    paper.SetPenRenderer(&render);
    EdgeRect out;
    ASSERT_TRUE(paper.StrokeBegin(flow, pen, true, 0.8f, 5, 5));
    ASSERT_TRUE(paper.StrokePoint(flow, pen, true, 1.0f, 30, 40));
    ASSERT_TRUE(paper.StrokeEnd(flow, pen, true, out));
    paper.SetPenRenderer(nullptr);
    ASSERT_TRUE(paper.SetLayerOpacity(0, 150));
}

} // namespace

TEST(ReplaySeek, EveryStepInShuffledOrderIsTheStraightReplaysPicture)
{
    Live live;
    RecordManyKinds(live);
    const support::TempFolder folder;
    const std::string file = folder / "kinds.vd4";
    ASSERT_EQ(SaveEventFile(file, *live.paper, {}), EventFileCode::Ok);
    const Straight straight = PlayStraight(file);
    const int32_t total = int32_t(straight.atStep.size()) - 1;
    ASSERT_GT(total, 15);

    std::vector<int32_t> order(size_t(total) + 1);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(20261211));
    RecordingDocumentHost host;
    host.PlayingBack = true;
    PaperReplay replay(host);
    ASSERT_EQ(replay.Open(file, PlaybackMode::Render), CEventPlayer::kOpenOk);
    for (int32_t step : order) {
        ASSERT_EQ(replay.Seek(step), SeekResult::Reached) << step;
        ASSERT_EQ(replay.Player().ExecutedSteps(), step);
        EXPECT_TRUE(WithoutIds(StateOf(replay.Paper())) == straight.atStep[size_t(step)])
            << "step " << step << ": " << Difference(WithoutIds(StateOf(replay.Paper())), straight.atStep[size_t(step)]);
    }
    // Played on from a step reached going back, paced point by point.
    ASSERT_EQ(replay.Seek(total / 2), SeekResult::Reached);
    replay.Player().SetPointByPoint(true);
    while (replay.Tick() == PlayerTick::Continue) {
    }
    EXPECT_TRUE(replay.Player().EndMarkSeen());
    EXPECT_TRUE(WithoutIds(StateOf(replay.Paper())) == straight.atStep.back());
}

TEST(ReplaySeek, TargetsAreClampedAndAStrokeInProgressIsFinishedFirst)
{
    Live live;
    RecordManyKinds(live);
    const support::TempFolder folder;
    const std::string file = folder / "kinds.vd4";
    ASSERT_EQ(SaveEventFile(file, *live.paper, {}), EventFileCode::Ok);
    const Straight straight = PlayStraight(file);
    const int32_t total = int32_t(straight.atStep.size()) - 1;

    RecordingDocumentHost host;
    host.PlayingBack = true;
    PaperReplay replay(host);
    ASSERT_EQ(replay.Open(file, PlaybackMode::Render), CEventPlayer::kOpenOk);
    // Paced: the first tick into a stroke leaves it in progress.
    replay.Player().SetPointByPoint(true);
    while (!replay.Player().StrokeInProgress())
        ASSERT_EQ(replay.Tick(), PlayerTick::Continue);
    const int32_t at = replay.Player().ExecutedSteps();
    replay.Player().Pause(true);
    ASSERT_EQ(replay.Seek(at + 1), SeekResult::Reached);
    EXPECT_TRUE(WithoutIds(StateOf(replay.Paper())) == straight.atStep[size_t(at + 1)]);
    EXPECT_TRUE(replay.Player().Paused());
    EXPECT_TRUE(replay.Player().PointByPoint());

    for (auto [asked, reached] : {std::pair{-5, 0}, std::pair{total + 9, total}}) {
        EXPECT_EQ(replay.Seek(asked), SeekResult::Reached) << asked;
        EXPECT_EQ(replay.Player().ExecutedSteps(), reached);
        EXPECT_TRUE(WithoutIds(StateOf(replay.Paper())) == straight.atStep[size_t(reached)]) << asked;
    }
}

} // namespace morvane::testing_layers

namespace morvane::testing_layers {

// Continued at step k (in the middle, and at the end where the end mark
// goes), painted on and saved: the render of the file is the live picture,
// its first k steps are the old stream's, and undo stops at the resume.
TEST(ReplayContinue, PaintedOnFromAStepTheSavedStreamRendersToTheLivePicture)
{
    Live live;
    RecordManyKinds(live);
    const support::TempFolder folder;
    const std::string file = Saved(live, folder, "kinds.vd4");
    const Straight straight = PlayStraight(file);
    const int32_t total = int32_t(straight.atStep.size()) - 1;
    for (int32_t k : {total / 3, total}) {
        RecordingDocumentHost host;
        PaperReplay replay(host);
        ASSERT_EQ(replay.Open(file, PlaybackMode::Interactive), CEventPlayer::kOpenOk);
        ASSERT_EQ(replay.Seek(k), SeekResult::Reached);
        ASSERT_TRUE(replay.Player().Appendable());
        ASSERT_TRUE(ContinueFromReplay(replay.Paper(), replay.Player())) << k;
        TPaper& paper = replay.Paper();
        EXPECT_EQ(paper.EventManager()->CommittedSteps(), k + 1);
        PaintOn(paper);
        const PaperState painted = WithoutIds(StateOf(paper));

        const std::string continued = folder / ("continued" + std::to_string(k) + ".vd4");
        ASSERT_EQ(SaveEventFile(continued, paper, {}), EventFileCode::Ok);
        EXPECT_TRUE(PlayedFile(continued) == painted) << k;
        RecordingDocumentHost again;
        PaperReplay check(again);
        ASSERT_EQ(check.Open(continued, PlaybackMode::Render), CEventPlayer::kOpenOk);
        EXPECT_EQ(check.Player().TotalSteps(), k + 3) << k;
        ASSERT_EQ(check.Seek(k), SeekResult::Reached);
        EXPECT_TRUE(WithoutIds(StateOf(check.Paper())) == straight.atStep[size_t(k)]) << k;

        int32_t layer = 0;
        ExtentRect rect;
        EXPECT_TRUE(paper.Undo(layer, rect));
        EXPECT_TRUE(paper.Undo(layer, rect));
        EXPECT_FALSE(paper.Undo(layer, rect)) << "undo went past the resume point";
        EXPECT_TRUE(WithoutIds(StateOf(paper)) == straight.atStep[size_t(k)]) << k;
    }
}

TEST(ReplayContinue, AProtectedStreamRefusesAndLeavesTheReplayPlaying)
{
    Live live;
    const support::TempFolder folder;
    const std::string file = folder / "protected.vd4";
    ASSERT_EQ(SaveProtectedEventFile(file, *live.paper, {}), EventFileCode::Ok);
    RecordingDocumentHost host;
    PaperReplay replay(host);
    ASSERT_EQ(replay.Open(file, PlaybackMode::Interactive), CEventPlayer::kOpenOk);
    ASSERT_EQ(replay.Seek(2), SeekResult::Reached);
    EXPECT_FALSE(replay.Player().Appendable());
    EXPECT_FALSE(ContinueFromReplay(replay.Paper(), replay.Player()));
    EXPECT_TRUE(replay.Player().Playing());
    EXPECT_EQ(replay.Tick(), PlayerTick::Continue);
}

// A session cut off without its end mark fails at its end and goes on from
// its last completed step.
TEST(ReplayContinue, AStreamWithoutEndMarkGoesOnFromItsLastStep)
{
    Live live;
    RecordManyKinds(live);
    const support::TempFolder folder;
    const std::string file = SavedWithoutEndMark(live, folder);
    const PaperState before = WithoutIds(StateOf(*live.paper));
    RecordingDocumentHost host;
    PaperReplay replay(host);
    ASSERT_EQ(replay.Open(file, PlaybackMode::Interactive), CEventPlayer::kOpenOk);
    while (replay.Tick() == PlayerTick::Continue) {
    }
    ASSERT_TRUE(replay.Player().Failed());
    EXPECT_TRUE(WithoutIds(StateOf(replay.Paper())) == before);
    ASSERT_TRUE(replay.Player().Appendable());
    ASSERT_TRUE(ContinueFromReplay(replay.Paper(), replay.Player()));
    PaintOn(replay.Paper());
    const std::string continued = folder / "recovered.vd4";
    ASSERT_EQ(SaveEventFile(continued, replay.Paper(), {}), EventFileCode::Ok);
    EXPECT_TRUE(PlayedFile(continued) == WithoutIds(StateOf(replay.Paper())));
}

} // namespace morvane::testing_layers
