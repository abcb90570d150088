// The event player against a target that records its calls: opening
// results, the stroke rules (kinds, point routines, implicit starts, a
// missing last point packet), batch against point-by-point replay, and
// streams that must end the replay with an error instead of looping.
#include <gtest/gtest.h>

#include <limits>

#include "events/CEventPlayer.h"
#include "FakePlaybackTarget.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

using namespace playtest;

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousNotifier_ = SetNotifier(&notifier);
    }
    void TearDown() override { SetNotifier(previousNotifier_); }

    int OpenRaw(const Bytes& stream, PlaybackMode mode = PlaybackMode::Interactive)
    {
        target.files["a.vd4"] = {stream, true};
        return player.Open("a.vd4", mode);
    }

    // Ticks until the replay stops going on; the tick count is bounded.
    PlayerTick RunToEnd(int& ticks, int limit = 1000)
    {
        PlayerTick r = PlayerTick::Continue;
        for (ticks = 0; ticks < limit && r == PlayerTick::Continue; ++ticks)
            r = player.Tick();
        return r;
    }

    CapturingDiagnosticSink sink;
    ScopedDiagnostics diagnostics{sink};
    RecordingNotifier notifier;
    UserNotifier* previousNotifier_ = nullptr;
    CEventMngr events;
    FakePlaybackTarget target{events};
    CEventPlayer player{events, target};
};

const Bytes kMinimal = Join({Version(), NewCanvas(), EndMark()});

TEST_F(PlayerTest, OpenResults)
{
    Bytes newVersion = Container(kMinimal);
    newVersion[16] = 42; // generation byte beyond the current one
    const struct {
        const char* name;
        FakeFile file;
        PlaybackMode mode;
        int result;
    } cases[] = {
        {"compressed container", {Container(kMinimal)}, PlaybackMode::Render, 0},
        {"plain container", {Container(kMinimal, false)}, PlaybackMode::Render, 0},
        {"first step not a new canvas", {Container(Join({Version(), Action(4), NewCanvas(), EndMark()}))},
         PlaybackMode::Interactive, 1},
        {"only records", {Join({Version()}), true}, PlaybackMode::Interactive, 1},
        {"garbage", {Bytes(40, 0x5A)}, PlaybackMode::Interactive, 2},
        {"unwalkable stream", {Join({Version(), NewCanvas(), Bytes{99, 0}}), true}, PlaybackMode::Interactive, 3},
        {"unwalkable stream, render", {Join({Version(), NewCanvas(), Bytes{99, 0}}), true}, PlaybackMode::Render, 3},
        {"newer generation", {newVersion}, PlaybackMode::Interactive, 4},
        {"protected stream, render", {Container(Join({Flags(0xC000), NewCanvas(), EndMark()}))}, PlaybackMode::Render, 5},
        {"protected stream, interactive", {Container(Join({Flags(0xC000), NewCanvas(), EndMark()}))},
         PlaybackMode::Interactive, 0},
        {"images without permission, render", {Container(Join({NewCanvas(), Image(), EndMark()}))}, PlaybackMode::Render, 6},
        {"images without permission, interactive", {Container(Join({NewCanvas(), Image(), EndMark()}))},
         PlaybackMode::Interactive, 0},
        {"images without permission, viewer", {Container(Join({NewCanvas(), Image(), EndMark()}))},
         PlaybackMode::Viewer, 0},
        {"images with permission, render", {Container(Join({Flags(0x4000), NewCanvas(), Image(), EndMark()}))},
         PlaybackMode::Render, 0},
        {"protected container header", {Container(kMinimal, true, kEventFlagProtected | kEventFlagInteractive)},
         PlaybackMode::Interactive, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.bytes.empty());
        CEventMngr m;
        FakePlaybackTarget t(m);
        t.files["x.vd4"] = c.file;
        CEventPlayer p(m, t);
        EXPECT_EQ(p.Open("x.vd4", c.mode), c.result);
        EXPECT_EQ(p.Playing(), c.result == 0);
        // Nothing reaches the document before the checks have passed.
        EXPECT_EQ(t.Count("begin"), c.result == 0 || c.result == 1 ? 1 : 0);
    }
    EXPECT_EQ(player.Open("missing.vd4", PlaybackMode::Interactive), 2);
    // Only the interactive program shows a box; render mode waits for no one.
    // The walk names the packet it could not read and the one before it.
    ASSERT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(notifier.messages[0].text, "unknown packet at 0x2c(0x63,0x0)\rlast code at 0xe(0x2,0x8)");
    EXPECT_EQ(notifier.messages[1].text, "イベントパケットが不正です!");
}

// In the render mode no box is shown: the diagnostic line names the packet
// the walk could not read, at its offset, and the one before it.
TEST_F(PlayerTest, AnUnknownPacketIsNamedAtItsOffsetInTheDiagnostics)
{
    CEventMngr m;
    FakePlaybackTarget t(m);
    t.files["x.vd4"] = {Join({Version(), NewCanvas(), Bytes{99, 0}}), true};
    CEventPlayer p(m, t);
    EXPECT_EQ(p.Open("x.vd4", PlaybackMode::Render), CEventPlayer::kOpenPacketCheck);
    EXPECT_TRUE(notifier.messages.empty());
    bool named = false;
    for (const std::string& line : sink.lines)
        named = named || line == "unknown packet at 0x2c(0x63,0x0)\rlast code at 0xe(0x2,0x8)";
    EXPECT_TRUE(named);
}

// A version record of another extension-flags version is refused with the
// player's message, and the replay ends there with the error result.
TEST_F(PlayerTest, AVersionRecordOfOtherExtensionFlagsEndsTheReplay)
{
    Bytes version = Version();
    version[2 + 4] = 1;
    ASSERT_EQ(OpenRaw(Join({Version(), NewCanvas(), Action(4), version, Action(5), EndMark()})), 0);
    int ticks = 0;
    EXPECT_EQ(RunToEnd(ticks), PlayerTick::Error);
    EXPECT_TRUE(player.Failed());
    EXPECT_EQ(target.Count("command"), 2) << "the new canvas and the turn, not the command after the record";
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "eventMngr::readAppStat: extFlags version error!");
    // The diagnostic line says where the replay stopped.
    bool located = false;
    for (const std::string& line : sink.lines)
        located = located || line.find("at offset 46 (0,0)") != std::string::npos;
    EXPECT_TRUE(located);
}

TEST_F(PlayerTest, OpenRunsTheFirstStepAndTellsTheDocument)
{
    ASSERT_EQ(OpenRaw(Join({Version(2, 22), Flags(0x8000), NewCanvas(), Action(4), EndMark()})), 0);
    EXPECT_EQ(target.calls, (std::vector<std::string>{"load", "begin protected=1 strokes=1", "record 0,0", "record 0,12",
                                                      "command v222 2,8"}));
    EXPECT_EQ(player.AppVersion(), 222);
    EXPECT_EQ(player.ExecutedSteps(), 0);
    EXPECT_TRUE(events.Protected);
    // A protected stream plays but cannot be continued.
    int ticks = 0;
    EXPECT_EQ(RunToEnd(ticks), PlayerTick::Ended);
    EXPECT_EQ(player.ExecutedSteps(), 1);
    EXPECT_FALSE(player.Appendable());
}

TEST_F(PlayerTest, StrokeKindsAndPointRoutines)
{
    const struct {
        uint8_t start;
        uint16_t minor; // AppVersion 200 + minor
        const char* started;
        const char* first;
        const char* next;
    } cases[] = {
        {16, 50, "start kind=0 line=0", "open-earlier", "continue"},
        {20, 50, "start kind=0 line=1", "open-earlier", "continue"},
        {21, 50, "start kind=1 line=0", "open-earlier", "continue"},
        {22, 50, "start kind=1 line=1", "open-earlier", "continue"},
        {23, 22, "start kind=2 line=0", "open-earlier", "continue"},
        {23, 23, "start kind=2 line=0", "open-standard", "continue"},
        {24, 50, "start kind=2 line=1", "open-standard", "continue"},
        {48, 22, "start kind=4 line=0", "open-wet", "continue-wet"},
        {49, 50, "start kind=4 line=1", "open-wet", "continue-wet"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.start));
        CEventMngr m;
        FakePlaybackTarget t(m);
        t.files["s"] = {Join({Version(2, c.minor), NewCanvas(), Stroke(c.start, 3), EndMark()}), true};
        CEventPlayer p(m, t);
        ASSERT_EQ(p.Open("s", PlaybackMode::Interactive), 0);
        EXPECT_EQ(p.Tick(), PlayerTick::Continue);
        const std::vector<std::string> tail(t.calls.end() - 5, t.calls.end());
        EXPECT_EQ(tail[0].rfind(c.started, 0), 0u) << tail[0];
        EXPECT_EQ(tail[1], std::string("point 0 0 0.5 ") + c.first);
        EXPECT_EQ(tail[2], std::string("point 1 1 0.5 ") + c.next);
        EXPECT_EQ(tail[4], "end-stroke");
        EXPECT_EQ(p.ExecutedSteps(), 1);
        EXPECT_NE(p.ChangeHints() & changehint::kLayerPixels, 0);
        EXPECT_EQ(p.Tick(), PlayerTick::Ended);
    }
}

// A point packet with no start begins a stroke of the kind the document
// names; one whose last packet is missing ends when the next command comes,
// and that command runs as a step of its own.
TEST_F(PlayerTest, ImplicitStartAndMissingLastPacket)
{
    target.implicitKind = 4;
    const Bytes open = Join({Start(23), Points(17, {{1, 2, 0.25f}, {3, 4, 2.0f}})});
    ASSERT_EQ(OpenRaw(Join({NewCanvas(), Points(18, {{5, 6, -1.0f}}), open, Action(4), EndMark()})), 0);
    target.calls.clear();
    EXPECT_EQ(player.Tick(), PlayerTick::Continue);
    EXPECT_EQ(player.Tick(), PlayerTick::Continue);
    EXPECT_EQ(player.ExecutedSteps(), 2);
    EXPECT_EQ(target.calls, (std::vector<std::string>{"start kind=4 implicit", "point 5 6 0 open-wet", "end-stroke",
                                                      "start kind=2 line=0 layer=1 mask=0", "point 1 2 0.25 open-standard",
                                                      "point 3 4 1 continue", "end-stroke"}));
    EXPECT_EQ(player.Tick(), PlayerTick::Continue);
    EXPECT_EQ(target.calls.back(), "command v450 2,4");
    EXPECT_EQ(player.Tick(), PlayerTick::Ended);
    EXPECT_EQ(player.ExecutedSteps(), 3);
    EXPECT_TRUE(player.Appendable());
}

// Paced replay draws one point per tick and makes the same calls as a batch replay.
TEST_F(PlayerTest, PointByPointMakesTheSameCallsAsBatch)
{
    const Bytes stream = Join({Version(), NewCanvas(), Stroke(23, 40), Flags(1), Action(254), Stroke(49, 17, 100),
                               Start(24), Points(17, {{7, 7, 1}}), Action(5), EndMark()});
    auto play = [&](bool paced, int& ticks) {
        CEventMngr m;
        FakePlaybackTarget t(m);
        t.files["s"] = {stream, true};
        CEventPlayer p(m, t);
        EXPECT_EQ(p.Open("s", PlaybackMode::Interactive), 0);
        p.SetPointByPoint(paced);
        PlayerTick r = PlayerTick::Continue;
        for (ticks = 0; ticks < 500 && r == PlayerTick::Continue; ++ticks)
            r = p.Tick();
        EXPECT_EQ(r, PlayerTick::Ended);
        EXPECT_EQ(p.ExecutedSteps(), 5);
        return t.calls;
    };
    int batchTicks = 0, pacedTicks = 0;
    const std::vector<std::string> batch = play(false, batchTicks);
    EXPECT_EQ(play(true, pacedTicks), batch);
    EXPECT_EQ(batchTicks, 6);
    EXPECT_GE(pacedTicks, 40 + 17 + 1);
}

TEST_F(PlayerTest, PauseAndFinishStroke)
{
    ASSERT_EQ(OpenRaw(Join({NewCanvas(), Stroke(23, 20), Action(4), EndMark()})), 0);
    player.SetPointByPoint(true);
    player.Pause(true);
    EXPECT_EQ(player.Tick(), PlayerTick::Idle);
    player.Pause(false);
    EXPECT_EQ(player.Tick(), PlayerTick::Continue);
    EXPECT_TRUE(player.StrokeInProgress());
    EXPECT_EQ(player.FinishStroke(), PlayerTick::Continue);
    EXPECT_FALSE(player.StrokeInProgress());
    EXPECT_EQ(target.Count("point"), 20);
    EXPECT_EQ(target.Count("end-stroke"), 1);
    EXPECT_EQ(target.Count("command v450 2,4"), 0);
}

// Each of these ends the replay with an error within a few ticks, the bad
// packet never reaching the document and later ticks doing nothing.
TEST_F(PlayerTest, FailuresEndTheReplay)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Bytes hugeCanvas = {2, 2, 0, 0, 0x20, 0x4E, 0, 0, 10, 0, 0, 0};
    Bytes zeroCanvas = {2, 2, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0};
    Bytes badVersion = Version();
    badVersion[6] = 1; // extension flags of another version
    Bytes negativeLayer = {4, 1, 0xFF, 0xFF};
    const struct {
        const char* name;
        Bytes middle;
        std::pair<int, int> answerFails{-1, -1};
        std::pair<int, int> throws{-1, -1};
        const char* neverCalled = nullptr;
    } cases[] = {
        {"record that does not decode", Join({badVersion, Action(4)}), {}, {}, "command v450 2,4"},
        {"canvas of 20000", hugeCanvas, {}, {}, "command v450 2,2"},
        {"canvas of 0", zeroCanvas, {}, {}, "command v450 2,2"},
        {"negative layer", negativeLayer, {}, {}, "command v450 4,1"},
        {"NaN coordinate", Join({Start(23), Points(18, {{1, 1, 1}, {nan, 1, 1}})}), {}, {}, "point"},
        {"1e30 coordinate", Join({Start(23), Points(18, {{1, 1e30f, 1}})}), {}, {}, "point"},
        {"NaN pressure", Points(18, {{1, 1, nan}}), {}, {}, "point"},
        {"second new canvas", Join({NewCanvas(), Action(4)}), {}, {}, "command v450 2,4"},
        {"second earlier new canvas", Join({Bytes{2, 0, 64, 0, 0, 0, 48, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Action(4)}),
         {}, {}, "command v450 2,4"},
        {"handler fails", Join({Action(4), Action(5)}), {2, 4}, {}, "command v450 2,5"},
        {"handler throws", Join({Action(4), Action(5)}), {}, {2, 4}, "command v450 2,5"},
        {"record handler fails", Join({Flags(1), Action(5)}), {0, 12}, {}, "command v450 2,5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CEventMngr m;
        FakePlaybackTarget t(m);
        if (c.answerFails.first >= 0)
            t.answers[c.answerFails] = HandlerResult::Failed;
        t.throwsAt = c.throws;
        t.files["s"] = {Join({NewCanvas(), Action(32), c.middle, EndMark()}), true};
        CEventPlayer p(m, t);
        ASSERT_EQ(p.Open("s", PlaybackMode::Interactive), 0);
        PlayerTick r = PlayerTick::Continue;
        int ticks = 0;
        for (; ticks < 10 && r == PlayerTick::Continue; ++ticks)
            r = p.Tick();
        EXPECT_EQ(r, PlayerTick::Error);
        EXPECT_TRUE(p.Failed());
        if (c.neverCalled) {
            EXPECT_EQ(t.Count(c.neverCalled), 0);
        }
        const size_t calls = t.calls.size();
        EXPECT_EQ(p.Tick(), PlayerTick::Error);
        EXPECT_EQ(t.calls.size(), calls);
    }
}

TEST_F(PlayerTest, StreamWithoutEndMarkEndsWithAnError)
{
    ASSERT_EQ(OpenRaw(Join({NewCanvas(), Action(4), Start(23), Points(17, {{1, 1, 1}})})), 0);
    int ticks = 0;
    EXPECT_EQ(RunToEnd(ticks), PlayerTick::Error);
    EXPECT_LE(ticks, 3);
    // The stroke cut off by the end of the stream was still finished.
    EXPECT_EQ(target.Count("end-stroke"), 1);
    EXPECT_FALSE(player.EndMarkSeen());
    // A broken session goes on from its last completed step.
    EXPECT_TRUE(player.Appendable());
}

TEST_F(PlayerTest, DeclinedCountsAsExecutedWithADiagnostic)
{
    target.answers[{2, 4}] = HandlerResult::Declined;
    ASSERT_EQ(OpenRaw(Join({NewCanvas(), Action(4), Action(5), EndMark()})), 0);
    int ticks = 0;
    EXPECT_EQ(RunToEnd(ticks), PlayerTick::Ended);
    EXPECT_EQ(player.ExecutedSteps(), 2);
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_NE(sink.lines[0].find("RotateCanvasRight declined"), std::string::npos);
}

} // namespace
} // namespace morvane
