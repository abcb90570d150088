#include "events/PlaybackSession.h"

#include "events/CEventPlayer.h"
#include "events/PlaybackReport.h"
#include "platform/Clock.h"

namespace morvane {

PlaybackSession::PlaybackSession(CEventPlayer& player, PlaybackObserver& observer, std::string fileName)
    : player_(player), observer_(observer)
{
    report_.fileName = std::move(fileName);
    start_ = lastProgress_ = CurrentClock().Milliseconds();
}

bool PlaybackSession::Tick() { return Run(true); }

bool PlaybackSession::Step()
{
    player_.Pause(false);
    const bool going = Run(false);
    player_.Pause(true);
    return going;
}

bool PlaybackSession::Run(bool paced)
{
    // A box shown inside a tick lets timer ticks in; they must not nest.
    if (ended_ || inTick_)
        return !ended_;
    inTick_ = true;
    const uint32_t now = CurrentClock().Milliseconds();
    const bool due = !paced || wait_ <= 0 || !ticked_ || now - lastTick_ >= uint32_t(wait_);
    if (due) {
        ticked_ = true;
        lastTick_ = now;
        player_.SetPointByPoint(wait_ > 0);
        if (stopRequested_) {
            const PlayerTick finished = player_.FinishStroke();
            End(finished == PlayerTick::Error ? 2 : 1, now);
        } else {
            const PlayerTick result = player_.Tick();
            if (result == PlayerTick::Continue) {
                Progress(now, false);
                Thumbnail();
            }
            if (player_.ChangeHints() != 0)
                observer_.OnChangeHints(player_.ChangeHints());
            if (result == PlayerTick::Ended)
                End(0, now);
            else if (result == PlayerTick::Error)
                End(2, now);
        }
    }
    inTick_ = false;
    return !ended_;
}

// The new canvas is a step of the file too: counting it, the last command
// reaches the last tenth and the report's count.
int32_t PlaybackSession::StepsDone() const { return player_.ExecutedSteps() + 1; }

void PlaybackSession::Progress(uint32_t now, bool force)
{
    if (!force && now - lastProgress_ < kProgressInterval)
        return;
    lastProgress_ = now;
    observer_.OnProgress(StepsDone(), player_.TotalSteps(), start_);
}

void PlaybackSession::Thumbnail()
{
    const int slot = ProgressDecile(StepsDone(), player_.TotalSteps());
    if (slot < 0 || (report_.thumbnails & (1u << slot)) != 0)
        return;
    if (observer_.TakeThumbnail(slot))
        report_.thumbnails = uint16_t(report_.thumbnails | (1u << slot));
}

void PlaybackSession::End(uint8_t result, uint32_t now)
{
    ended_ = true;
    Progress(now, true);
    report_.result = result;
    report_.appendable = player_.Appendable();
    report_.elapsedMs = now - start_;
    report_.steps = StepsDone();
    player_.Close();
    observer_.OnEnd(report_);
}

} // namespace morvane
