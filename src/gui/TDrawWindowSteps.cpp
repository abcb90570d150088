// A replay window moved to any step, and painting on from the step shown.
#include <QString>

#include "document/PaperReplay.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/ReplaySeeker.h"
#include "gui/TDrawWindow.h"
#include "input/InputRouter.h"
#include "paint/CPenRender.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

constexpr const char* kAskDiscard = "ステップ %1 以降の %2 ステップは破棄されます。ここから描き続けますか?";

// The file still opens as the same replay: checked before the window's
// document goes, so a file gone or changed on disk leaves the window as it was.
bool SameReplayOpens(const std::string& path, int32_t total)
{
    SilentDocumentHost host(true);
    PaperReplay probe(host);
    return probe.Open(path, PlaybackMode::Interactive) == CEventPlayer::kOpenOk &&
           probe.Player().TotalSteps() == total;
}

} // namespace

int32_t TDrawWindow::ReplayStep() const { return player_ ? player_->ExecutedSteps() + 1 : 0; }

int32_t TDrawWindow::ReplaySteps() const { return seeker_ ? seeker_->Reachable() + 1 : 0; }

CEventPlayer* TDrawWindow::RestartReplay()
{
    if (!player_ || !SameReplayOpens(eventPath_, player_->TotalSteps()))
        return nullptr;
    // The player and its target stroke through the document: they go first.
    session_.reset();
    player_.reset();
    target_.reset();
    paper_->SetPenRenderer(nullptr);
    router_.reset();
    paper_.reset();
    StartDocument();
    target_ = std::make_unique<PaperPlaybackTarget>(*paper_);
    player_ = std::make_unique<CEventPlayer>(*paper_->EventManager(), *target_);
    router_->window.playerWindow = router_->window.replaying = true;
    router_->window.replayEnded = false;
    // Only a file changed between the check and now fails here; the seek
    // then stops at once on the failed replay.
    player_->Open(eventPath_, PlaybackMode::Interactive);
    session_.emplace(*player_, static_cast<PlaybackObserver&>(*this), name_);
    session_->SetWait(wait_);
    return player_.get();
}

bool TDrawWindow::SeekStep(int32_t step)
{
    if (!seeker_)
        return false;
    const SeekResult result = seeker_->Seek(step - 1);
    ShowSeekedStep();
    return result == SeekResult::Reached;
}

// The view is rebuilt as for a new canvas and a new layer structure.
void TDrawWindow::ShowSeekedStep()
{
    OnChangeHints(changehint::kLayerStructure | changehint::kCanvasSize);
    progress_ = {player_->ExecutedSteps() + 1, player_->TotalSteps(), progress_.elapsedMs, true};
    if (progressChanged)
        progressChanged();
    update();
    Notify();
}

bool TDrawWindow::CanContinue() const
{
    if (!player_ || !seeker_ || !player_->Appendable())
        return false;
    return Paused() || !Playing();
}

bool TDrawWindow::ContinueAsked()
{
    if (!CanContinue())
        return false;
    const int32_t shown = ReplayStep(), total = ReplaySteps();
    if (shown < total) {
        const QString question = QString::fromUtf8(kAskDiscard).arg(shown + 1).arg(total - shown);
        if (Notifier().Ask(question.toStdString(), Buttons::YesNo) != Answer::Yes)
            return false;
    }
    if (!ContinueFromReplay(*paper_, *player_))
        return false;
    LeavePlayback();
    return true;
}

// The replay's objects go; the document is the window's own to paint on,
// with the file's name and the modified mark.
void TDrawWindow::LeavePlayback()
{
    seeker_.reset();
    session_.reset();
    player_.reset();
    target_.reset();
    paper_->SetPenRenderer(render_.get());
    router_->window.playerWindow = router_->window.replaying = router_->window.replayEnded = false;
    router_->PrepareEdit();
    progress_ = {};
    SetTitle(name_);
    savedStep_ = -1;
    SetModified(true);
    if (progressChanged)
        progressChanged();
    RefreshLayerList();
    update();
    Notify();
}

} // namespace morvane
