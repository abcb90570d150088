#include "platform/Clock.h"

#include "platform/SeamSlot.h"

#include <chrono>
#include <ctime>

namespace morvane {

uint32_t SteadyClock::Milliseconds()
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

SystemTime SteadyClock::UtcTime()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&t, &utc);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, ms};
}

namespace {
SeamSlot<Clock, SteadyClock>& Slot()
{
    static SeamSlot<Clock, SteadyClock> slot;
    return slot;
}
} // namespace

Clock& CurrentClock() { return Slot().Get(); }
Clock* SetClock(Clock* clock) { return Slot().Set(clock); }

} // namespace morvane
