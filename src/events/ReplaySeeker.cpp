#include "events/ReplaySeeker.h"

#include <algorithm>
#include <utility>

#include "events/CEventPlayer.h"

namespace morvane {

ReplaySeeker::ReplaySeeker(CEventPlayer& player, Restart restart) : player_(&player), restart_(std::move(restart)) {}

// The total counts the new canvas as a step, the executed steps do not.
int32_t ReplaySeeker::Reachable() const
{
    return player_->Failed() ? player_->ExecutedSteps() : std::max(player_->TotalSteps() - 1, 0);
}

SeekResult ReplaySeeker::Seek(int32_t step)
{
    step = std::clamp(step, 0, Reachable());
    const bool paused = player_->Paused();
    const bool paced = player_->PointByPoint();
    // A stroke left open would leave its step half drawn.
    if (player_->StrokeInProgress() && player_->FinishStroke() == PlayerTick::Error)
        return SeekResult::Stopped;
    if (step < player_->ExecutedSteps()) {
        CEventPlayer* fresh = restart_ ? restart_() : nullptr;
        if (fresh == nullptr)
            return SeekResult::NoRestart;
        player_ = fresh;
    }
    player_->SetPointByPoint(false);
    player_->Pause(false);
    const SeekResult result = PlayTo(step);
    player_->SetPointByPoint(paced);
    player_->Pause(paused);
    return result;
}

// Every tick runs a whole step (strokes are not paced here) or ends.
SeekResult ReplaySeeker::PlayTo(int32_t step)
{
    while (player_->ExecutedSteps() < step) {
        const PlayerTick tick = player_->Tick();
        if (tick == PlayerTick::Error)
            return SeekResult::Stopped;
        if (tick != PlayerTick::Continue)
            break;
    }
    return player_->ExecutedSteps() == step ? SeekResult::Reached : SeekResult::Stopped;
}

} // namespace morvane
