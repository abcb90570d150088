#pragma once
// A document replaying an event file without a window, as the render mode
// plays one, that can be moved to any step: going back starts a fresh
// document and replays the stream into it up to the step.
#include <memory>
#include <string>

#include "events/CEventPlayer.h"
#include "events/ReplaySeeker.h"

namespace morvane {

class DocumentHost;
class TPaper;

class PaperReplay {
public:
    explicit PaperReplay(DocumentHost& host);
    ~PaperReplay();
    PaperReplay(const PaperReplay&) = delete;
    PaperReplay& operator=(const PaperReplay&) = delete;

    // The player's open result (0-7); the first step has run on success.
    int Open(const std::string& path, PlaybackMode mode);
    SeekResult Seek(int32_t step);
    // One step; the replay ends with Ended or Error.
    PlayerTick Tick() { return player_->Tick(); }

    TPaper& Paper() { return *paper_; }
    CEventPlayer& Player() { return *player_; }

private:
    struct Replay;
    std::unique_ptr<Replay> Start(int& opened);
    CEventPlayer* Restart();

    DocumentHost& host_;
    std::string path_;
    PlaybackMode mode_ = PlaybackMode::Render;
    std::unique_ptr<Replay> replay_;
    TPaper* paper_ = nullptr;
    CEventPlayer* player_ = nullptr;
    std::unique_ptr<ReplaySeeker> seeker_;
};

// The replayed document goes on as an ordinary one from the step the replay
// stands at (a stroke in progress finished first): its stream drops what
// lies beyond and records on, and its history starts empty, so undo stops
// there. False leaves the replay as it was.
bool ContinueFromReplay(TPaper& paper, CEventPlayer& player);

} // namespace morvane
