#pragma once
// Millisecond counter and wall-clock time (UTC, as recordings keep it, so a
// recording tells the same moment wherever it is played). Event timing,
// playback pacing and fresh random seeds read it; tests install a fixed clock.
#include <cstdint>

namespace morvane {

struct SystemTime {
    int year, month, day, hour, minute, second, millisecond;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual uint32_t Milliseconds() = 0;
    virtual SystemTime UtcTime() = 0;
};

class SteadyClock final : public Clock {
public:
    uint32_t Milliseconds() override;
    SystemTime UtcTime() override;
};

// A clock that only moves when told to.
class FixedClock final : public Clock {
public:
    uint32_t Milliseconds() override { return ms; }
    SystemTime UtcTime() override { return time; }
    void Advance(uint32_t delta) { ms += delta; }

    uint32_t ms = 0;
    SystemTime time{2000, 1, 1, 0, 0, 0, 0};
};

Clock& CurrentClock();
Clock* SetClock(Clock* clock); // nullptr restores the steady clock

} // namespace morvane
