#include "events/CEventPlayer.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "events/CEventMngr.h"
#include "events/EventPayloads.h"
#include "events/EventWalk.h"
#include "platform/Clock.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

constexpr char kBadPackets[] = "イベントパケットが不正です!";
constexpr char kExtFlagsVersion[] = "eventMngr::readAppStat: extFlags version error!";

bool IsRecordKind(PacketId id)
{
    const PacketCategory category = CategoryKindOf(id);
    return category == PacketCategory::StateRecord || category == PacketCategory::DataBlock;
}
bool IsPointKind(PacketId id) { return InfoOf(id).points; }
bool IsNewCanvas(PacketId id) { return id == PacketId::NewCanvas || id == PacketId::NewCanvasOld; }

PacketId IdOfPacket(std::span<const uint8_t> packet) { return PacketIdOf(packet[0], packet[1]); }

std::string Hex(uint64_t v)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

// The last packet a walk read, before the one it could not.
struct LastPackets {
    uint64_t offset = 0;
    uint8_t header[2] = {};
    static bool Visit(void* user, uint64_t offset, uint8_t category, uint8_t code, std::span<const uint8_t>)
    {
        auto* last = static_cast<LastPackets*>(user);
        last->offset = offset;
        last->header[0] = category;
        last->header[1] = code;
        return true;
    }
};

// The load's outcome as an open result.
int OpenResultOfLoad(StreamLoad load)
{
    switch (load) {
    case StreamLoad::Loaded: return CEventPlayer::kOpenOk;
    case StreamLoad::Version: return CEventPlayer::kOpenVersion;
    case StreamLoad::ProtectedHeader: return CEventPlayer::kOpenProtectedHeader;
    case StreamLoad::FileError: break;
    }
    return CEventPlayer::kOpenFileError;
}

} // namespace

CEventPlayer::CEventPlayer(CEventMngr& events, PlaybackTarget& target) : events_(events), target_(target) {}

int CEventPlayer::Open(const std::string& path, PlaybackMode mode)
{
    Rewind();
    StreamLoad load = StreamLoad::FileError;
    if (!Guarded([&] {
            load = target_.LoadStream(path);
            return true;
        }))
        return kOpenFileError;
    if (int result = OpenResultOfLoad(load))
        return result;
    if (int result = CheckFlags(mode))
        return result;
    total_ = CountTotalSteps();
    if (!Guarded([&] {
            target_.BeginPlayback(events_.Protected, events_.EventGeneration >= 32);
            return true;
        }))
        return kOpenFailed;
    state_ = State::Playing;
    return RunFirstStep();
}

void CEventPlayer::Rewind()
{
    state_ = State::Idle;
    position_ = stepStart_ = 0;
    executed_ = total_ = 0;
    stepEnds_.clear();
    endMark_ = newCanvas_ = closed_ = false;
    hints_ = 0;
    lastHeader_[0] = lastHeader_[1] = 0;
    appVersion_ = 450;
    failure_.clear();
    stroke_ = strokeOpen_ = strokePaced_ = lastPacket_ = false;
    points_.clear();
    nextPoint_ = 0;
}

void CEventPlayer::Close()
{
    if (closed_ || state_ == State::Idle)
        return;
    closed_ = true;
    Guarded([&] {
        target_.EndPlayback();
        return true;
    });
}

int CEventPlayer::CheckFlags(PlaybackMode mode)
{
    mode_ = mode;
    bool isProtected = false;
    if (!events_.QueryFileFlag(CEventMngr::kProtectionFlag, isProtected)) {
        TellUnknownPacket();
        if (mode != PlaybackMode::Render)
            Notifier().Warn(kBadPackets);
        return kOpenPacketCheck;
    }
    if (mode == PlaybackMode::Render) {
        if (isProtected)
            return kOpenProtected;
        bool permitted = false;
        if (!events_.QueryFileFlag(CEventMngr::kImagePermissionFlag, permitted)) {
            TellUnknownPacket();
            return kOpenPacketCheck;
        }
        if (!permitted && events_.ImageBlockCount() > 0)
            return kOpenImages;
    }
    events_.Protected = isProtected;
    return kOpenOk;
}

// State records and data blocks, then the new canvas, which is not counted
// as an executed step.
int CEventPlayer::RunFirstStep()
{
    for (;;) {
        if (!ReadPacket())
            break;
        const PacketId id = IdOfPacket(packet_);
        if (!IsRecordKind(id) && !IsNewCanvas(id))
            break;
        if (!ExecutePacket())
            break;
        if (!IsRecordKind(id)) {
            stepStart_ = position_;
            stepEnds_.assign(1, uint32_t(position_));
            return kOpenOk;
        }
    }
    state_ = State::Failed;
    return kOpenFailed;
}

// The recorder ends a step with the end mark, so the file counts it; the
// replay does not, and its last step must reach the total.
int32_t CEventPlayer::CountTotalSteps() const
{
    bool marked = false;
    const PacketVisitor last = [](void* user, uint64_t, uint8_t category, uint8_t code, std::span<const uint8_t>) {
        *static_cast<bool*>(user) = PacketIdOf(category, code) == PacketId::EndMark;
        return true;
    };
    WalkStorePackets(events_.Store(), 0, events_.WritePosition(), last, &marked);
    const int32_t committed = events_.CommittedSteps();
    return marked && committed > 0 ? committed - 1 : committed;
}

bool CEventPlayer::ResumeRecording()
{
    if (!Appendable() || state_ == State::Idle)
        return false;
    if (stroke_ && FinishStroke() == PlayerTick::Error)
        return false;
    const int32_t k = executed_;
    if (!events_.ResumeAt(StepEnd(k), k + 1))
        return false;
    Close();
    return true;
}

bool CEventPlayer::Appendable() const
{
    // A stream without its end mark, or one whose replay failed, goes on
    // from its last completed step: a broken session recovered.
    return !events_.Protected && events_.EventGeneration >= CEventMngr::kFirstAppendableGeneration;
}

PlayerTick CEventPlayer::Tick()
{
    if (state_ == State::Ended)
        return PlayerTick::Ended;
    if (state_ != State::Playing)
        return PlayerTick::Error;
    if (paused_)
        return PlayerTick::Idle;
    if (!stroke_)
        hints_ = 0;
    if (RunStep() == Step::Failed)
        return Fail("event replay stopped at a packet that cannot be played");
    if (endMark_) {
        state_ = State::Ended;
        return PlayerTick::Ended;
    }
    return PlayerTick::Continue;
}

PlayerTick CEventPlayer::FinishStroke()
{
    if (state_ != State::Playing || !stroke_)
        return state_ == State::Failed ? PlayerTick::Error : PlayerTick::Continue;
    strokePaced_ = false;
    if (ContinueStroke() == Step::Failed)
        return Fail("event replay stopped while finishing a stroke");
    return PlayerTick::Continue;
}

// Runs packets until one outside the records has run and no stroke is in
// progress; a paced stroke gives back after each point.
CEventPlayer::Step CEventPlayer::RunStep()
{
    if (stroke_)
        return ContinueStroke();
    for (;;) {
        if (!ExecutePacket())
            return Step::Failed;
        if (endMark_)
            return Step::Done;
        if (stroke_)
            return ContinueStroke();
        if (!IsRecordKind(PacketIdOf(lastHeader_[0], lastHeader_[1]))) {
            EndStep();
            return Step::Done;
        }
    }
}

// Draws the stroke on through its point packets. A stroke whose last point
// packet is missing ends when the next command arrives (or the stream
// ends); that command runs on the next tick.
CEventPlayer::Step CEventPlayer::ContinueStroke()
{
    for (;;) {
        if (nextPoint_ < points_.size()) {
            if (!DrawPoints(strokePaced_))
                return Step::Failed;
            if (nextPoint_ == points_.size() && lastPacket_)
                break;
            if (strokePaced_)
                return Step::Running;
            continue;
        }
        PacketId next = PacketId::None;
        if (!PeekKind(next) || !(IsRecordKind(next) || IsPointKind(next)))
            break;
        if (!ExecutePacket())
            return Step::Failed;
    }
    if (!EndStroke())
        return Step::Failed;
    EndStep();
    return Step::Done;
}

bool CEventPlayer::PeekKind(PacketId& id) const
{
    uint8_t header[2];
    if (events_.WritePosition() - position_ < 2 || events_.Read(position_, header, 2) != 2)
        return false;
    id = PacketIdOf(header[0], header[1]);
    return true;
}

bool CEventPlayer::ReadPacket()
{
    const int64_t end = events_.WritePosition();
    uint8_t header[2];
    if (end - position_ < 2 || events_.Read(position_, header, 2) != 2)
        return false;
    const PacketKind* kind = FindPacketKind(header[0], header[1]);
    if (kind == nullptr) {
        failure_ = "no packet kind has this header";
        return false;
    }
    const uint64_t remaining = uint64_t(end - position_ - 2);
    uint8_t fixed[256];
    const int64_t fixedSize = int64_t(std::min<uint64_t>({kind->fixedSize, remaining, sizeof fixed}));
    if (fixedSize > 0 && events_.Read(position_ + 2, fixed, fixedSize) != fixedSize)
        return false;
    const int64_t length = PayloadLength(header[0], header[1], std::span(fixed, size_t(fixedSize)), remaining);
    if (length < 0)
        return false;
    try {
        packet_.resize(size_t(2 + length));
    } catch (const std::exception&) {
        return false;
    }
    if (events_.Read(position_, packet_.data(), 2 + length) != 2 + length)
        return false;
    if (const char* why = PacketFailure(packet_)) {
        // The version record's one check is its extension flags.
        if (kind->id == PacketId::AppVersion)
            Tell(kExtFlagsVersion);
        failure_ = std::string(InfoOf(kind->id).name) + ": " + why;
        return false;
    }
    return true;
}

bool CEventPlayer::ExecutePacket()
{
    if (!ReadPacket())
        return false;
    const PacketId id = IdOfPacket(packet_);
    if (IsPointKind(id) && !stroke_ && !StartStroke(id, true))
        return false;
    position_ += int64_t(packet_.size());
    lastHeader_[0] = packet_[0];
    lastHeader_[1] = packet_[1];
    lastPacketTime_ = CurrentClock().Milliseconds();
    const bool ok = Dispatch();
    hints_ |= target_.TakeChangeHints();
    return ok;
}

// The description says who replays each kind: the player's own packets
// (records, strokes, marks) are handled here, commands go to the document.
bool CEventPlayer::Dispatch()
{
    const PacketId id = IdOfPacket(packet_);
    switch (InfoOf(id).replayBy) {
    case ReplayBy::Player:
        return PlayerPacket(id);
    case ReplayBy::Document:
        return DocumentPacket(id);
    default:
        failure_ = std::string(InfoOf(id).name) + " has no replay yet";
        return false;
    }
}

bool CEventPlayer::PlayerPacket(PacketId id)
{
    if (IsRecordKind(id)) {
        if (id == PacketId::AppVersion) {
            AppVersionPayload version;
            version.Decode(packet_);
            appVersion_ = version.major * 100 + version.minor;
        }
        return Handled(target_.ApplyRecord(packet_));
    }
    if (InfoOf(id).strokeKind >= 0)
        return StartStroke(id, false);
    if (IsPointKind(id))
        return LoadPoints();
    if (id == PacketId::EndMark) {
        endMark_ = true;
        return true;
    }
    return id == PacketId::StartMarks && Guarded([&] {
        target_.ClearMaps();
        return true;
    });
}

bool CEventPlayer::DocumentPacket(PacketId id)
{
    // No recording holds a second canvas: a stream that does is not one.
    if (IsNewCanvas(id)) {
        if (newCanvas_)
            return false;
        newCanvas_ = true;
    }
    return Guarded([&] { return Handled(target_.ApplyCommand(packet_, appVersion_)); });
}

bool CEventPlayer::StartStroke(PacketId id, bool implicit)
{
    PlaybackStroke stroke;
    stroke.implicit = implicit;
    if (implicit) {
        if (!Guarded([&] {
                stroke.kind = target_.ImplicitStrokeKind();
                return stroke.kind <= 2 || stroke.kind == 4;
            }))
            return false;
    } else {
        StrokeStartPayload start;
        if (!start.Decode(packet_))
            return false;
        stroke.kind = uint8_t(InfoOf(id).strokeKind);
        stroke.lineMode = InfoOf(id).lineMode;
        stroke.layer = start.layer;
        stroke.mask = start.mask;
    }
    points_.clear();
    nextPoint_ = 0;
    lastPacket_ = false;
    strokeOpen_ = false;
    strokeKind_ = stroke.kind;
    strokePaced_ = pointByPoint_;
    if (!Guarded([&] { return Handled(target_.StartStroke(stroke)); }))
        return false;
    stroke_ = true;
    return true;
}

bool CEventPlayer::LoadPoints()
{
    StrokePointsPayload payload;
    if (!payload.Decode(packet_))
        return false;
    points_.clear();
    for (const StreamStrokePoint& p : payload.points)
        points_.push_back({p.x, p.y, std::clamp(p.pressure, 0.0f, 1.0f)});
    nextPoint_ = 0;
    lastPacket_ = IdOfPacket(packet_) == PacketId::LastPoints;
    return true;
}

// The player picks each point's routine: kinds 0 and 1, and every kind of a
// recording up to 222, open with the earlier routine.
bool CEventPlayer::DrawPoints(bool one)
{
    const bool wet = strokeKind_ == 4;
    do {
        PointRoutine routine = wet ? PointRoutine::ContinueWetPaint : PointRoutine::Continue;
        if (!strokeOpen_)
            routine = wet ? PointRoutine::OpenWetPaint
                          : (strokeKind_ <= 1 || appVersion_ <= 222 ? PointRoutine::OpenEarlier
                                                                     : PointRoutine::OpenStandard);
        const PlaybackPoint point = points_[nextPoint_++];
        if (!Guarded([&] { return Handled(target_.DrawPoint(point, routine)); }))
            return false;
        strokeOpen_ = true;
    } while (!one && nextPoint_ < points_.size());
    hints_ |= target_.TakeChangeHints();
    return true;
}

bool CEventPlayer::EndStroke()
{
    stroke_ = strokeOpen_ = strokePaced_ = lastPacket_ = false;
    points_.clear();
    nextPoint_ = 0;
    const bool ok = Guarded([&] { return Handled(target_.EndStroke()); });
    hints_ |= target_.TakeChangeHints();
    return ok;
}

void CEventPlayer::EndStep()
{
    ++executed_;
    stepStart_ = position_;
    stepEnds_.push_back(uint32_t(position_));
}

int64_t CEventPlayer::StepEnd(int32_t k) const
{
    return k >= 0 && size_t(k) < stepEnds_.size() ? int64_t(stepEnds_[size_t(k)]) : -1;
}

bool CEventPlayer::Handled(HandlerResult result)
{
    if (result == HandlerResult::Declined)
        Diagnose(std::string("event replay: ") + InfoOf(PacketIdOf(lastHeader_[0], lastHeader_[1])).name +
                 " declined by its operation");
    return result != HandlerResult::Failed;
}

// A handler that throws has failed; nothing crosses into the caller.
template <class Call>
bool CEventPlayer::Guarded(Call call)
{
    try {
        return call();
    } catch (const std::exception& e) {
        Diagnose(std::string("event replay: handler threw: ") + e.what());
    } catch (...) {
        Diagnose("event replay: handler threw");
    }
    return false;
}

PlayerTick CEventPlayer::Fail(const char* why)
{
    state_ = State::Failed;
    uint8_t header[2] = {};
    std::string line = std::string(why) + " at offset " + std::to_string(position_);
    if (events_.Read(position_, header, 2) == 2)
        line += " (" + std::to_string(header[0]) + "," + std::to_string(header[1]) + ")";
    if (!failure_.empty())
        line += ": " + failure_;
    Diagnose(line);
    return PlayerTick::Error;
}

void CEventPlayer::Tell(const std::string& text) const
{
    Diagnose(text);
    if (mode_ == PlaybackMode::Interactive)
        Notifier().Warn(text);
}

// Where the flag walk stopped: its offset and header, and the packet before.
void CEventPlayer::TellUnknownPacket() const
{
    LastPackets last;
    const PacketWalk walk = WalkStorePackets(events_.Store(), 0, events_.WritePosition(), &LastPackets::Visit, &last);
    if (walk.ok)
        return;
    uint8_t header[2] = {};
    events_.Read(int64_t(walk.badOffset), header, 2);
    Tell("unknown packet at " + Hex(walk.badOffset) + "(" + Hex(header[0]) + "," + Hex(header[1]) + ")\rlast code at " +
         Hex(last.offset) + "(" + Hex(last.header[0]) + "," + Hex(last.header[1]) + ")");
}

} // namespace morvane
