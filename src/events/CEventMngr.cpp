#include "events/CEventMngr.h"

#include <algorithm>
#include <new>

#include "events/EventWalk.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {
constexpr char kRecordingFailed[] = "イベント記録中に例外が発生しました!\r以降のイベント記録は停止します...";
constexpr char kAskStop[] = "イベント記録を終了します。\r一度終了すると、記録を再開することはできません!";
constexpr char kAskSave[] = "今までのイベントを保存しますか?";
} // namespace

CEventMngr::CEventMngr(int32_t segmentSize, int64_t initialCapacity)
    : store_(segmentSize, initialCapacity), stateCache_(kPacketIdCount)
{
}

CEventMngr::~CEventMngr() = default;

// ---- lifecycle ----------------------------------------------------------------------

bool CEventMngr::Start(int32_t undoDepth)
{
    Reset();
    if (!store_.Ready() || !steps_.Allocate(std::max(undoDepth, 2)))
        return false;
    depth_ = std::max(undoDepth, 2);
    state_ = EventMngrState::Recording;
    const EventSyncState s = CurrentState();
    if (!SyncRecord(PacketId::AppVersion, s.version)) {
        state_ = EventMngrState::Idle;
        return false;
    }
    return true;
}

void CEventMngr::Reset()
{
    store_.Reset();
    steps_.Reset();
    validBits_ = 0;
    ForgetPointPacket();
    imageBlocks_ = 0;
    ForgetEmbedded();
    state_ = EventMngrState::Idle;
}

bool CEventMngr::StopRecordingAsked(const SaveEvents& save)
{
    if (!IsRecordingWithEvents())
        return false;
    if (Notifier().Ask(kAskStop, Buttons::OkCancel) != Answer::Ok)
        return false;
    // A save the user asked for that fails keeps the recording: stopping
    // now would throw away the only copy of the events.
    if (Notifier().Ask(kAskSave, Buttons::YesNo) == Answer::Yes && save && !save())
        return false;
    Reset();
    return true;
}

bool CEventMngr::HasEvents() const
{
    return store_.Ready() && steps_.Allocated() && store_.SegmentCount() > 0;
}

bool CEventMngr::Abandon()
{
    Notifier().Warn(kRecordingFailed);
    Reset();
    return false;
}

// ---- writers ------------------------------------------------------------------------

bool CEventMngr::Append(std::span<const uint8_t> packet)
{
    // New bytes overwrite undone steps: they can no longer be redone.
    steps_.DiscardRedo();
    bool kept = false;
    try {
        kept = store_.Append(packet.data(), int64_t(packet.size()));
    } catch (const std::bad_alloc&) {
        kept = false;
    }
    return kept || Abandon();
}

bool CEventMngr::EndStep() { return steps_.EndStep(uint32_t(store_.Position())) || Abandon(); }

bool CEventMngr::AppendStep(std::span<const uint8_t> packet) { return Append(packet) && EndStep(); }

bool CEventMngr::BuildAndAppend(PacketId id, std::span<const uint8_t> fixed, std::span<const uint8_t> variable,
                                bool closesStep)
{
    if (!IsRecording())
        return true;
    try {
        packet_.assign({CategoryOf(id), CodeOf(id)});
        packet_.insert(packet_.end(), fixed.begin(), fixed.end());
        packet_.insert(packet_.end(), variable.begin(), variable.end());
    } catch (const std::bad_alloc&) {
        return Abandon();
    }
    // A packet whose size disagrees with its kind would end every replay.
    if (PayloadLength(packet_) != int64_t(packet_.size() - 2)) {
        Diagnose("CEventMngr: refused a malformed packet");
        return false;
    }
    return closesStep ? AppendStep(packet_) : Append(packet_);
}

bool CEventMngr::WritePacket(PacketId id, std::span<const uint8_t> fixed, std::span<const uint8_t> variable)
{
    return BuildAndAppend(id, fixed, variable, false);
}

bool CEventMngr::WriteStep(PacketId id, std::span<const uint8_t> fixed, std::span<const uint8_t> variable)
{
    return BuildAndAppend(id, fixed, variable, true);
}

bool CEventMngr::WriteData(PacketId id, std::span<const uint8_t> data)
{
    const uint32_t n = uint32_t(data.size());
    const uint8_t length[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    return WritePacket(id, length, data);
}

// ---- steps --------------------------------------------------------------------------

bool CEventMngr::CutLastStep()
{
    // Packets written after the last step end go with it: their state must
    // be forgotten too.
    const int64_t end = store_.Position();
    SStepRange removed;
    if (!steps_.UndoStep(removed))
        return false;
    if (!InvalidateRemovedRange(store_, {removed.begin, uint32_t(end)}, validBits_, &CEventMngr::Forget, this))
        return false;
    return store_.SetPosition(removed.begin);
}

// Nothing to step over is a plain refusal; a step that cannot be taken
// leaves a stream that no longer matches the picture, so the recording stops.
bool CEventMngr::UndoStep()
{
    if (!IsRecording() || (validBits_ & kStrokeOpen) || UndoCount() < 1 || CommittedSteps() < 1)
        return false;
    return CutLastStep() || Abandon();
}

bool CEventMngr::RedoStep()
{
    if (!IsRecording() || (validBits_ & kStrokeOpen) || RedoCount() < 1)
        return false;
    uint32_t end = 0;
    return (steps_.RedoStep(end) && store_.SetPosition(end)) || Abandon();
}

bool CEventMngr::SetUndoDepth(int32_t depth)
{
    if (depth < 2)
        return false;
    if (!steps_.Allocated()) {
        depth_ = depth;
        return true;
    }
    if (!steps_.SetUndoDepth(depth))
        return false;
    depth_ = depth;
    return true;
}

// ---- marks --------------------------------------------------------------------------

bool CEventMngr::EndMark()
{
    if (!IsRecording() || (validBits_ & kStrokeOpen))
        return false;
    // No state is synced here: a state record in this step would be cut
    // with it, and the mark could no longer be taken off after the save.
    const uint8_t mark[2] = {CategoryOf(PacketId::EndMark), CodeOf(PacketId::EndMark)};
    if (!AppendStep(mark))
        return false;
    state_ = EventMngrState::Ended;
    return true;
}

bool CEventMngr::RemoveEndMark()
{
    uint8_t header[2] = {};
    uint32_t begin = 0;
    if (state_ != EventMngrState::Ended || !LastStepHeader(header) ||
        PacketIdOf(header[0], header[1]) != PacketId::EndMark || !steps_.LastStepStart(begin) ||
        CommittedLength() != int64_t(begin) + 2 ||
        store_.Position() != CommittedLength()) {
        Diagnose("Alert: failed to remove EventFin!");
        return false;
    }
    if (!CutLastStep()) {
        Diagnose("Alert: failed to remove EventFin!");
        return false;
    }
    // The mark is no step anyone could redo.
    steps_.DiscardRedo();
    state_ = EventMngrState::Recording;
    return true;
}

// ---- file flags ---------------------------------------------------------------------

namespace {

struct FlagWalk {
    explicit FlagWalk(uint16_t m) : mask(m) {}
    uint16_t mask;
    bool found = false;
    int32_t imageBlocks = 0;
    std::vector<uint64_t> records;

    static bool Visit(void* self, uint64_t offset, uint8_t category, uint8_t code, std::span<const uint8_t> payload)
    {
        auto* w = static_cast<FlagWalk*>(self);
        const PacketId id = PacketIdOf(category, code);
        if (CategoryKindOf(id) == PacketCategory::ImageBlock)
            ++w->imageBlocks;
        if (id == PacketId::DocumentFlags) {
            w->records.push_back(offset);
            w->found = w->found || (uint16_t(payload[0] | payload[1] << 8) & w->mask) != 0;
        }
        return true;
    }
};

bool WalkFlags(const CSegmentedStore& store, FlagWalk& walk)
{
    return WalkStorePackets(store, 0, store.Position(), &FlagWalk::Visit, &walk).ok;
}

} // namespace

bool CEventMngr::SetFileFlag(uint16_t mask, bool on)
{
    FlagWalk walk(mask);
    // Every record is found before one is changed: a stream that cannot be
    // walked is left as it was.
    if (!WalkFlags(store_, walk))
        return false;
    imageBlocks_ = walk.imageBlocks;
    for (uint64_t offset : walk.records) {
        uint8_t flags[2] = {};
        if (store_.Read(int64_t(offset) + 2, flags, 2) != 2)
            return false;
        uint16_t value = uint16_t(flags[0] | flags[1] << 8);
        value = on ? uint16_t(value | mask) : uint16_t(value & ~mask);
        flags[0] = uint8_t(value);
        flags[1] = uint8_t(value >> 8);
        if (!store_.Overwrite(int64_t(offset) + 2, flags, 2))
            return false;
    }
    return true;
}

bool CEventMngr::QueryFileFlag(uint16_t mask, bool& found)
{
    FlagWalk walk(mask);
    if (!WalkFlags(store_, walk))
        return false;
    found = walk.found;
    imageBlocks_ = walk.imageBlocks;
    return true;
}

// ---- reading and loading ------------------------------------------------------------

bool CEventMngr::LastStepHeader(uint8_t header[2]) const
{
    uint32_t begin = 0;
    return steps_.LastStepStart(begin) && store_.Read(begin, header, 2) == 2;
}

bool CEventMngr::BeginLoad()
{
    Reset();
    EventGeneration = kCurrentGeneration;
    EventFlags = 0;
    Protected = false;
    return store_.Ready();
}

bool CEventMngr::AppendRaw(const void* data, int64_t length)
{
    if (IsRecording())
        return false;
    try {
        return store_.Append(data, length);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CEventMngr::EndLoad(int32_t committedSteps, uint8_t generation, uint16_t flags)
{
    if (!steps_.Allocated())
        steps_.Allocate(depth_);
    steps_.Adopt(committedSteps, uint32_t(store_.Position()));
    EventGeneration = generation;
    EventFlags = flags;
}

} // namespace morvane

namespace morvane {

namespace {
struct SStreamEnds {
    PacketId firstCommand = PacketId{};
    bool found = false;
    uint64_t lastOffset = 0;
    uint64_t lastEnd = 0;
    PacketId last = PacketId{};
};

bool NoteFirstCommand(void* user, uint64_t, uint8_t category, uint8_t code, std::span<const uint8_t>)
{
    auto& ends = *static_cast<SStreamEnds*>(user);
    if (category <= 1)
        return true; // state records and data blocks come before any command
    ends.firstCommand = PacketIdOf(category, code);
    ends.found = true;
    return false;
}

bool NoteLast(void* user, uint64_t offset, uint8_t category, uint8_t code, std::span<const uint8_t> payload)
{
    auto& ends = *static_cast<SStreamEnds*>(user);
    ends.lastOffset = offset;
    ends.lastEnd = offset + 2 + payload.size();
    ends.last = PacketIdOf(category, code);
    return true;
}
} // namespace

bool CEventMngr::OpensWithNewCanvas() const
{
    SStreamEnds ends;
    WalkStorePackets(store_, 0, store_.Position(), NoteFirstCommand, &ends);
    return ends.found && (ends.firstCommand == PacketId::NewCanvas || ends.firstCommand == PacketId::NewCanvasOld);
}

bool CEventMngr::ResumeLoaded()
{
    if (EventGeneration != kCurrentGeneration || (EventFlags & kProtectionFlag))
        return false;
    SStreamEnds ends;
    const int64_t end = store_.Position();
    if (!WalkStorePackets(store_, 0, end, NoteLast, &ends).ok || ends.last != PacketId::EndMark ||
        int64_t(ends.lastOffset) + 2 != end)
        return false;
    return ResumeAt(int64_t(ends.lastOffset), CommittedSteps() - 1);
}

bool CEventMngr::ResumeAt(int64_t cut, int32_t steps)
{
    if (state_ != EventMngrState::Idle || EventGeneration < kFirstAppendableGeneration || Protected || steps < 1 ||
        cut < 0 || cut > store_.Position() || !OpensWithNewCanvas())
        return false;
    // A stream whose records carry the protection mark stays a replay only.
    bool marked = false;
    if (!QueryFileFlag(kProtectionFlag, marked) || marked)
        return false;
    // The cut must fall between two packets.
    SStreamEnds ends;
    const PacketWalk walk = WalkStorePackets(store_, 0, uint64_t(cut), NoteLast, &ends);
    if (!walk.ok || ends.lastEnd != uint64_t(cut) || !store_.Truncate(cut))
        return false;
    steps_.Adopt(steps, uint32_t(cut));
    validBits_ = 0;
    ForgetEmbedded();
    state_ = EventMngrState::Recording;
    return true;
}

} // namespace morvane
