#pragma once
// The playback side of the event stream: reads a loaded manager's packets
// from the start, checks each one and hands it to the document through a
// PlaybackTarget, one step per tick (or one point per tick when paced). A
// packet that cannot be read, decoded or executed, and a stream that ends
// without its end mark, end the replay: no tick ever meets the same packet
// twice.
#include <cstdint>
#include <string>
#include <vector>

#include "events/EventPacketIds.h"
#include "events/PlaybackTarget.h"

namespace morvane {

class CEventMngr;

// Interactive plays everything; Render refuses protected streams and image
// blocks without permission; Viewer plays like Interactive but shows no box.
enum class PlaybackMode : uint8_t { Interactive, Render, Viewer };

enum class PlayerTick : int { Continue = 0, Idle = 1, Ended = 2, Error = 3 };

class CEventPlayer {
public:
    static constexpr int kOpenOk = 0, kOpenFailed = 1, kOpenFileError = 2, kOpenPacketCheck = 3, kOpenVersion = 4,
                         kOpenProtected = 5, kOpenImages = 6, kOpenProtectedHeader = 7;

    CEventPlayer(CEventMngr& events, PlaybackTarget& target);
    CEventPlayer(const CEventPlayer&) = delete;
    CEventPlayer& operator=(const CEventPlayer&) = delete;

    // Loads path through the target and runs the first step, which must make
    // a new canvas: the open result 0-7.
    int Open(const std::string& path, PlaybackMode mode);

    // One step, or one point of a paced stroke.
    PlayerTick Tick();
    // Draws the rest of the stroke in progress at once; Continue when there
    // was none or it ended cleanly.
    PlayerTick FinishStroke();

    // The replay is over for the document (ended, failed or stopped); once.
    void Close();

    // Paced replay draws one point per tick; takes effect at the next stroke.
    void SetPointByPoint(bool on) { pointByPoint_ = on; }
    bool PointByPoint() const { return pointByPoint_; }
    void Pause(bool on) { paused_ = on; }
    bool Paused() const { return paused_; }

    bool Playing() const { return state_ == State::Playing; }
    bool EndMarkSeen() const { return endMark_; }
    bool Failed() const { return state_ == State::Failed; }
    bool StrokeInProgress() const { return stroke_; }
    // Steps run after the first (the new canvas); the end mark is no step.
    int32_t ExecutedSteps() const { return executed_; }
    // The file's steps as the replay counts them (its end mark is none).
    int32_t TotalSteps() const { return total_; }
    // Recording may go on from the replayed stream.
    bool Appendable() const;
    // Recording goes on after the steps replayed so far (a stroke in
    // progress is finished first); the stream beyond is dropped and the
    // replay closed. False leaves the replay as it was.
    bool ResumeRecording();
    // Hints of the current step (changehint bits).
    uint8_t ChangeHints() const { return hints_; }
    int AppVersion() const { return appVersion_; }
    int64_t ReadPosition() const { return position_; }
    // Where step k (0: the new canvas) ended, for 0 <= k <= ExecutedSteps();
    // -1 outside. The next step's records start there.
    int64_t StepEnd(int32_t k) const;
    const uint8_t* LastHeader() const { return lastHeader_; }

private:
    // Counted once when the file opens; the stream does not change while it plays.
    int32_t CountTotalSteps() const;
    enum class State : uint8_t { Idle, Playing, Ended, Failed };
    enum class Step : uint8_t { Running, Done, Failed };

    void Rewind();
    int CheckFlags(PlaybackMode mode);
    int RunFirstStep();
    Step RunStep();
    Step ContinueStroke();
    // Reads the packet at the read position into packet_; false when it
    // cannot be read whole or does not decode and validate.
    bool ReadPacket();
    bool PeekKind(PacketId& id) const;
    bool ExecutePacket();
    bool Dispatch();
    bool PlayerPacket(PacketId id);
    bool DocumentPacket(PacketId id);
    bool StartStroke(PacketId id, bool implicit);
    bool LoadPoints();
    bool DrawPoints(bool one);
    bool EndStroke();
    void EndStep();
    bool Handled(HandlerResult result);
    template <class Call> bool Guarded(Call call);
    PlayerTick Fail(const char* why);
    // A message of the player: a diagnostic line, and a box when a person
    // watches (not in the render mode nor the viewer).
    void Tell(const std::string& text) const;
    void TellUnknownPacket() const;

    CEventMngr& events_;
    PlaybackTarget& target_;
    State state_ = State::Idle;
    int64_t position_ = 0;
    int64_t stepStart_ = 0;
    int32_t executed_ = 0;
    int32_t total_ = 0;
    // stepEnds_[k]: the stream offset where step k ended.
    std::vector<uint32_t> stepEnds_;
    bool paused_ = false;
    bool pointByPoint_ = false;
    bool endMark_ = false;
    bool newCanvas_ = false;
    bool closed_ = false;
    uint8_t hints_ = 0;
    uint8_t lastHeader_[2] = {};
    uint32_t lastPacketTime_ = 0;
    int appVersion_ = 450;
    PlaybackMode mode_ = PlaybackMode::Interactive;
    std::vector<uint8_t> packet_;
    // What the last packet that failed broke, for the diagnostic line.
    std::string failure_;

    // The stroke in progress.
    bool stroke_ = false;
    bool strokeOpen_ = false;
    bool strokePaced_ = false;
    bool lastPacket_ = false;
    uint8_t strokeKind_ = 2;
    std::vector<PlaybackPoint> points_;
    size_t nextPoint_ = 0;
};

} // namespace morvane
