// Event replay into a real document: a stream (after one byte choosing the
// mode) opened and ticked to its end by the player, which hands each command
// to the operation the registry names for it and runs it on the document.
// Once a step per tick and once a point per tick: every tick must advance or
// end, both pacings must end the same way with the same picture, and the
// memory the replay may take is bounded by the budget.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "document/DocumentHost.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/EventPacketTable.h"
#include "files/EventContainer.h"
#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"

using namespace morvane;

namespace {

using Bytes = std::vector<uint8_t>;

// Room for a few layers of the largest pictures a small input can ask for;
// beyond it an operation fails for memory as it would on a full machine.
constexpr uint64_t kBudget = uint64_t(256) << 20;

// The document's own target, with the stream taken from memory instead of a
// file: the bytes as the manager's stream, its steps counted by a walk.
class StreamTarget final : public PlaybackTarget {
public:
    StreamTarget(TPaper& paper, const Bytes& stream, uint8_t generation)
        : paper_(paper), target_(paper), stream_(stream), generation_(generation)
    {
    }

    StreamLoad LoadStream(const std::string&) override
    {
        CEventMngr& events = *paper_.EventManager();
        if (!events.BeginLoad() || !events.AppendRaw(stream_.data(), int64_t(stream_.size())))
            return StreamLoad::FileError;
        events.EndLoad(int32_t(WalkPackets(stream_).steps), generation_, kEventFlagInteractive);
        return StreamLoad::Loaded;
    }
    void BeginPlayback(bool isProtected, bool strokeManager) override
    {
        target_.BeginPlayback(isProtected, strokeManager);
    }
    HandlerResult ApplyRecord(std::span<const uint8_t> packet) override { return target_.ApplyRecord(packet); }
    HandlerResult ApplyCommand(std::span<const uint8_t> packet, int appVersion) override
    {
        return target_.ApplyCommand(packet, appVersion);
    }
    void ClearMaps() override { target_.ClearMaps(); }
    uint8_t ImplicitStrokeKind() override { return target_.ImplicitStrokeKind(); }
    HandlerResult StartStroke(const PlaybackStroke& stroke) override { return target_.StartStroke(stroke); }
    HandlerResult DrawPoint(const PlaybackPoint& point, PointRoutine routine) override
    {
        return target_.DrawPoint(point, routine);
    }
    HandlerResult EndStroke() override { return target_.EndStroke(); }
    uint8_t TakeChangeHints() override { return target_.TakeChangeHints(); }
    void EndPlayback() override { target_.EndPlayback(); }

private:
    TPaper& paper_;
    PaperPlaybackTarget target_;
    const Bytes& stream_;
    uint8_t generation_;
};

struct Outcome {
    int open = -1;
    PlayerTick end = PlayerTick::Continue;
    std::vector<uint32_t> picture;
};

Outcome Play(const Bytes& stream, uint8_t mode, bool paced)
{
    RecordingDocumentHost host;
    host.PlayingBack = true;
    TPaper paper(host);
    // Bit 3 replays it as a file of an earlier generation, without the
    // stroke manager's settings.
    StreamTarget target(paper, stream, (mode & 8) != 0 ? 20 : kEventGeneration);
    CEventPlayer player(*paper.EventManager(), target);
    Outcome out;
    out.open = player.Open("stream", (mode & 2) != 0 ? PlaybackMode::Render : PlaybackMode::Interactive);
    if (out.open != CEventPlayer::kOpenOk)
        return out;
    player.SetPointByPoint(paced);
    // A tick runs a step or a point: a stream can ask for no more ticks than
    // it has bytes, and one to see the end.
    const uint64_t bound = uint64_t(stream.size()) * 2 + 4;
    uint64_t ticks = 0;
    while (out.end == PlayerTick::Continue && ticks++ < bound)
        out.end = player.Tick();
    if (out.end == PlayerTick::Continue || out.end == PlayerTick::Idle)
        std::abort();
    if (player.Tick() != out.end || (player.Appendable() && !player.EndMarkSeen()))
        std::abort();
    player.Close();
    const TTC& composite = paper.Composite();
    for (int32_t y = 0; y < composite.Height; ++y)
        out.picture.insert(out.picture.end(), composite.Row(y), composite.Row(y) + composite.Width);
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
    const uint64_t limit = MemoryBudget::Limit();
    MemoryBudget::SetLimit(MemoryBudget::InUse() + kBudget);
    const Bytes stream(data + 1, data + size);
    const Outcome batch = Play(stream, data[0], false);
    const Outcome paced = Play(stream, data[0], true);
    MemoryBudget::SetLimit(limit);
    SetNotifier(previous);
    if (batch.open != paced.open || batch.end != paced.end || batch.picture != paced.picture)
        std::abort();
    return 0;
}
