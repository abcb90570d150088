// Seeking a replay to any step lands the picture a straight replay has
// there, and playing on from it lands the straight replay's end.
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
