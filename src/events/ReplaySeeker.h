#pragma once
// Moves a replay to any step: forward by playing on, back by starting a
// fresh replay of the same stream and playing it forward. A seek ends on a
// step boundary, so no stroke is ever left half drawn, and the replay can
// go on playing (paced or not) from there.
#include <cstdint>
#include <functional>

namespace morvane {

class CEventPlayer;

enum class SeekResult : uint8_t {
    Reached,   // the replay stands at the step asked (after clamping)
    Stopped,   // a packet failed on the way: the replay stands where it broke
    NoRestart, // going back needed a fresh replay and none could be made
};

class ReplaySeeker {
public:
    // A fresh replay of the same stream that has run its first step, or null;
    // the old player may be gone once it answers.
    using Restart = std::function<CEventPlayer*()>;

    ReplaySeeker(CEventPlayer& player, Restart restart);

    // step counts the steps after the first (the new canvas), as the
    // player's ExecutedSteps does; clamped to 0 .. Reachable(). A stroke in progress is finished first;
    // pause and pacing are kept for what follows.
    SeekResult Seek(int32_t step);
    // The furthest step a seek can reach: the stream's steps, or after a
    // failed replay the steps it completed.
    int32_t Reachable() const;
    CEventPlayer& Player() { return *player_; }

private:
    SeekResult PlayTo(int32_t step);

    CEventPlayer* player_;
    Restart restart_;
};

} // namespace morvane
