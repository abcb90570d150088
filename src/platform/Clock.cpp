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

SystemTime SteadyClock::LocalTime()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour, local.tm_min, local.tm_sec, ms};
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
