#pragma once
// Drives a replay without a window: paces the player by the wait, reports
// hints, progress and the end to an observer, and carries the user's stop.
// The desktop program's document window and the tests drive it alike.
#include <cstdint>
#include <string>

namespace morvane {

class CEventPlayer;

// What the report at the end of a replay shows.
struct TEventReportParam {
    uint8_t result = 0; // 0 finished, 1 interrupted, 2 stopped by an error, 3 stopped
    std::string fileName;
    bool appendable = false;
    uint32_t elapsedMs = 0;
    int32_t steps = 0;
    // Bit i: thumbnail slot i was taken (the observer holds the pictures).
    uint16_t thumbnails = 0;
};

class PlaybackObserver {
public:
    virtual ~PlaybackObserver() = default;
    // After each tick that set change hints.
    virtual void OnChangeHints(uint8_t hints) { (void)hints; }
    // At most once a second, and once at the end.
    virtual void OnProgress(int32_t executed, int32_t total, uint32_t startMs)
    {
        (void)executed, (void)total, (void)startMs;
    }
    // Keeps a thumbnail of the composite for slot 0-9; false when none was taken.
    virtual bool TakeThumbnail(int slot)
    {
        (void)slot;
        return false;
    }
    virtual void OnEnd(const TEventReportParam& report) { (void)report; }
};

class PlaybackSession {
public:
    static constexpr uint32_t kProgressInterval = 1000;

    // The player has opened fileName; the start time is taken now.
    PlaybackSession(CEventPlayer& player, PlaybackObserver& observer, std::string fileName);

    // Milliseconds between ticks; a wait > 0 also draws strokes point by point.
    void SetWait(int32_t wait) { wait_ = wait; }
    // One call of the playback: false once the replay has ended. Calls that
    // come before the wait has passed do nothing.
    bool Tick();
    // One tick now, then paused.
    bool Step();
    // The user's stop: the next tick completes the stroke in progress and
    // ends the replay as interrupted.
    void RequestStop() { stopRequested_ = true; }
    bool Ended() const { return ended_; }
    const TEventReportParam& Report() const { return report_; }

private:
    bool Run(bool paced);
    int32_t StepsDone() const;
    void Progress(uint32_t now, bool force);
    void Thumbnail();
    void End(uint8_t result, uint32_t now);

    CEventPlayer& player_;
    PlaybackObserver& observer_;
    TEventReportParam report_;
    int32_t wait_ = 0;
    uint32_t start_ = 0;
    uint32_t lastTick_ = 0;
    uint32_t lastProgress_ = 0;
    bool ticked_ = false;
    bool inTick_ = false;
    bool stopRequested_ = false;
    bool ended_ = false;
};

} // namespace morvane
