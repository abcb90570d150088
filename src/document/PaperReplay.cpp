#include "document/PaperReplay.h"

#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"

namespace morvane {

struct PaperReplay::Replay {
    explicit Replay(DocumentHost& host) : paper(host), target(paper) {}
    TPaper paper;
    PaperPlaybackTarget target;
    std::unique_ptr<CEventPlayer> player;
};

PaperReplay::PaperReplay(DocumentHost& host) : host_(host) {}

PaperReplay::~PaperReplay() = default;

std::unique_ptr<PaperReplay::Replay> PaperReplay::Start(int& opened)
{
    auto replay = std::make_unique<Replay>(host_);
    opened = CEventPlayer::kOpenFailed;
    if (!replay->paper.EventManager())
        return nullptr;
    replay->player = std::make_unique<CEventPlayer>(*replay->paper.EventManager(), replay->target);
    opened = replay->player->Open(path_, mode_);
    if (opened != CEventPlayer::kOpenOk) {
        replay->player->Close();
        return nullptr;
    }
    return replay;
}

int PaperReplay::Open(const std::string& path, PlaybackMode mode)
{
    path_ = path;
    mode_ = mode;
    int opened = CEventPlayer::kOpenFailed;
    replay_ = Start(opened);
    if (!replay_)
        return opened;
    paper_ = &replay_->paper;
    player_ = replay_->player.get();
    seeker_ = std::make_unique<ReplaySeeker>(*player_, [this] { return Restart(); });
    return opened;
}

CEventPlayer* PaperReplay::Restart()
{
    int opened = CEventPlayer::kOpenFailed;
    std::unique_ptr<Replay> fresh = Start(opened);
    // A file changed on disk since it opened is another replay.
    if (!fresh || fresh->player->TotalSteps() != player_->TotalSteps())
        return nullptr;
    replay_ = std::move(fresh);
    paper_ = &replay_->paper;
    player_ = replay_->player.get();
    return player_;
}

bool ContinueFromReplay(TPaper& paper, CEventPlayer& player)
{
    if (!player.ResumeRecording())
        return false;
    if (CUndoMngrEx* undo = paper.UndoManager())
        undo->ClearHistory();
    return true;
}

SeekResult PaperReplay::Seek(int32_t step)
{
    if (!seeker_)
        return SeekResult::NoRestart;
    return seeker_->Seek(step);
}

} // namespace morvane
