// The window-less replay driver on a fixed clock: pacing by the wait, the
// user's stop, the report at the end, progress at most once a second and
// one thumbnail per tenth of the stream.
#include <gtest/gtest.h>

#include <optional>

#include "events/CEventPlayer.h"
#include "events/PlaybackReport.h"
#include "events/PlaybackSession.h"
#include "FakePlaybackTarget.h"
#include "platform/Clock.h"
#include "platform/DiagnosticSink.h"

namespace morvane {
namespace {

using namespace playtest;

struct Observer final : PlaybackObserver {
    void OnChangeHints(uint8_t h) override { hints |= h; }
    void OnProgress(int32_t executed, int32_t, uint32_t) override { progress.push_back(executed); }
    bool TakeThumbnail(int slot) override
    {
        slots.push_back(slot);
        return true;
    }
    void OnEnd(const TEventReportParam& r) override
    {
        ++ends;
        report = r;
    }
    uint8_t hints = 0;
    std::vector<int32_t> progress;
    std::vector<int> slots;
    int ends = 0;
    TEventReportParam report;
};

class SessionTest : public ::testing::Test {
protected:
    SessionTest() : previousClock_(SetClock(&clock)) { clock.ms = 5000; }
    ~SessionTest() override { SetClock(previousClock_); }

    void Open(const Bytes& stream, bool raw = true)
    {
        target.files["a.vd4"] = {stream, raw};
        ASSERT_EQ(player.Open("a.vd4", PlaybackMode::Interactive), 0);
        session.emplace(player, observer, "a.vd4");
    }

    // Ticks with the clock moving step ms each time; the number of calls.
    int Run(uint32_t step, int limit = 5000)
    {
        int calls = 0;
        for (; calls < limit && session->Tick(); ++calls)
            clock.Advance(step);
        return calls;
    }

    FixedClock clock;
    Clock* previousClock_;
    CapturingDiagnosticSink sink;
    ScopedDiagnostics diagnostics{sink};
    CEventMngr events;
    FakePlaybackTarget target{events};
    CEventPlayer player{events, target};
    Observer observer;
    std::optional<PlaybackSession> session;
};

TEST_F(SessionTest, Wait32DrawsOnePointPerPassedWait)
{
    Open(Join({NewCanvas(), Stroke(23, 100), EndMark()}));
    session->SetWait(32);
    // Calls every 8 ms: only each fourth runs the player.
    const int calls = Run(8);
    EXPECT_GE(calls, 4 * 100);
    EXPECT_GE(observer.report.elapsedMs, 100u * 32);
    EXPECT_EQ(target.Count("point"), 100);
    EXPECT_EQ(observer.report.result, 0);
    EXPECT_EQ(observer.report.steps, 2);
}

TEST_F(SessionTest, StopCompletesTheStrokeAndEndsInterrupted)
{
    Open(Join({NewCanvas(), Stroke(23, 50), Action(4), EndMark()}));
    session->SetWait(16);
    for (int i = 0; i < 10; ++i, clock.Advance(16))
        session->Tick();
    ASSERT_TRUE(player.StrokeInProgress());
    EXPECT_EQ(target.Count("point"), 10);
    session->RequestStop();
    EXPECT_FALSE(session->Tick());
    EXPECT_EQ(target.Count("point"), 50);
    EXPECT_EQ(target.Count("end-stroke"), 1);
    EXPECT_EQ(target.Count("command v450 2,4"), 0);
    EXPECT_EQ(target.calls.back(), "end-playback");
    EXPECT_EQ(observer.ends, 1);
    EXPECT_EQ(observer.report.result, 1);
    EXPECT_STREQ(ReportStateLine(observer.report.result), "イベントの再生を中断しました");
    EXPECT_EQ(observer.report.steps, 2);
    // Painting may go on from where the replay was stopped.
    EXPECT_TRUE(observer.report.appendable);
    // Ended is final.
    EXPECT_FALSE(session->Tick());
    EXPECT_EQ(observer.ends, 1);
}

TEST_F(SessionTest, ReportAtTheEnd)
{
    const struct {
        const char* name;
        FakeFile file;
        HandlerResult turn;
        int result;
        int steps;
        bool appendable;
    } cases[] = {
        {"nothing after the canvas", {Join({NewCanvas(), EndMark()}), true}, HandlerResult::Executed, 0, 1, true},
        {"a step", {Join({NewCanvas(), Action(4), EndMark()}), true}, HandlerResult::Executed, 0, 2, true},
        {"older generation", {Container(Join({NewCanvas(), EndMark()}), false)}, HandlerResult::Executed, 0, 1, false},
        {"protected", {Join({Flags(0x8000), NewCanvas(), EndMark()}), true}, HandlerResult::Executed, 0, 1, false},
        // Broken sessions go on from their last completed step.
        {"failing step", {Join({NewCanvas(), Action(4), EndMark()}), true}, HandlerResult::Failed, 2, 1, true},
        {"no end mark", {Join({NewCanvas(), Action(4)}), true}, HandlerResult::Executed, 2, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CEventMngr m;
        FakePlaybackTarget t(m);
        t.answers[{2, 4}] = c.turn;
        t.files["f"] = c.file;
        CEventPlayer p(m, t);
        ASSERT_EQ(p.Open("f", PlaybackMode::Interactive), 0);
        if (!c.file.raw)
            m.EventGeneration = 16;
        Observer o;
        PlaybackSession s(p, o, "f.vd4");
        int calls = 0;
        while (s.Tick() && ++calls < 10)
            clock.Advance(7);
        EXPECT_EQ(o.ends, 1);
        EXPECT_EQ(o.report.result, c.result);
        EXPECT_EQ(o.report.steps, c.steps);
        EXPECT_EQ(o.report.appendable, c.appendable);
        EXPECT_EQ(o.report.fileName, "f.vd4");
        EXPECT_EQ(o.report.elapsedMs, uint32_t(7 * calls));
        EXPECT_EQ(t.Count("end-playback"), 1);
    }
}

TEST_F(SessionTest, ProgressOncePerSecondAndOneThumbnailPerTenth)
{
    Bytes stream = NewCanvas();
    for (int i = 0; i < 40; ++i)
        stream = Join({stream, Action(4)});
    Open(Join({stream, EndMark()}));
    // 41 ticks of 100 ms: progress 1000, 2000 and 3000 ms after the start
    // and at the end, counting the new canvas.
    Run(100);
    EXPECT_EQ(observer.progress, (std::vector<int32_t>{12, 22, 32, 41}));
    EXPECT_EQ(observer.slots, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(observer.report.thumbnails, 0x3FF);
    EXPECT_NE(observer.hints & changehint::kLayerStructure, 0);
}

TEST_F(SessionTest, StepRunsOneTickAndPauses)
{
    Open(Join({NewCanvas(), Action(4), Action(5), EndMark()}));
    player.Pause(true);
    EXPECT_TRUE(session->Tick());
    EXPECT_EQ(player.ExecutedSteps(), 0);
    EXPECT_TRUE(session->Step());
    EXPECT_EQ(player.ExecutedSteps(), 1);
    EXPECT_TRUE(player.Paused());
}

} // namespace
} // namespace morvane
