// Event replay: a stream (after one byte choosing the mode) opened and
// ticked to its end, once a step per tick and once a point per tick. Every
// tick must advance or end, so a replay that outlives one tick per point
// and packet hangs; both pacings must make the same calls into the document
// and end the same way.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "../tests/events/FakePlaybackTarget.h"
#include "events/CEventPlayer.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

using namespace morvane;
using namespace morvane::playtest;

namespace {

struct Outcome {
    int open = -1;
    PlayerTick end = PlayerTick::Continue;
    std::vector<std::string> calls;
};

Outcome Play(const Bytes& stream, uint8_t mode, bool paced)
{
    CEventMngr events;
    FakePlaybackTarget target(events);
    target.files["f"] = {stream, true};
    target.implicitKind = (mode & 4) != 0 ? 4 : 2;
    CEventPlayer player(events, target);
    Outcome out;
    out.open = player.Open("f", (mode & 2) != 0 ? PlaybackMode::Render : PlaybackMode::Interactive);
    if (out.open == 0) {
        player.SetPointByPoint(paced);
        const uint64_t bound = uint64_t(stream.size()) * 17 + 4;
        uint64_t ticks = 0;
        while (out.end == PlayerTick::Continue && ticks++ < bound)
            out.end = player.Tick();
        if (out.end == PlayerTick::Continue || out.end == PlayerTick::Idle)
            std::abort();
        if (player.Tick() != out.end || (player.Appendable() && !player.EndMarkSeen()))
            std::abort();
        player.Close();
    }
    out.calls = std::move(target.calls);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CapturingDiagnosticSink sink;
    ScopedDiagnostics quiet(sink);
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    const Bytes stream(data + 1, data + size);
    const Outcome batch = Play(stream, data[0], false);
    const Outcome paced = Play(stream, data[0], true);
    SetNotifier(previous);
    if (batch.open != paced.open || batch.end != paced.end || batch.calls != paced.calls)
        std::abort();
    return 0;
}
