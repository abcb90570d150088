#include "events/CEventPlayer.h"

#include <algorithm>
#include <exception>
#include <string>

#include "events/CEventMngr.h"
#include "events/EventPayloadsActions.h"
#include "events/EventPayloadsState.h"
#include "events/EventWalk.h"
#include "platform/Clock.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

constexpr char kBadPackets[] = "イベントパケットが不正です!";

bool IsRecordCategory(uint8_t category) { return category <= 1; }
bool IsPointCategory(uint8_t category) { return category == 17 || category == 18; }
bool IsStrokeStart(uint8_t category) { return OneOf(category, {16, 20, 21, 22, 23, 24, 48, 49}); }
bool IsNewCanvas(uint8_t category, uint8_t code) { return category == 2 && (code == 0 || code == 8); }

bool IsCommandCategory(uint8_t category)
{
    return OneOf(category, {2, 4, 5, 6, 10, 12, 13, 38}) || (category >= 32 && category <= 35);
}

// Stroke kind of each start packet; line mode for 20, 22, 24 and 49.
uint8_t KindOfStart(uint8_t category)
{
    switch (category) {
    case 16:
    case 20: return 0;
    case 21:
    case 22: return 1;
    case 48:
    case 49: return 4;
    default: return 2;
    }
}

bool IsLineStart(uint8_t category) { return OneOf(category, {20, 22, 24, 49}); }

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
    endMark_ = newCanvas_ = closed_ = false;
    hints_ = 0;
    lastHeader_[0] = lastHeader_[1] = 0;
    appVersion_ = 450;
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
    const bool warn = mode != PlaybackMode::Render;
    bool isProtected = false;
    if (!events_.QueryFileFlag(CEventMngr::kProtectionFlag, isProtected)) {
        if (warn)
            Notifier().Warn(kBadPackets);
        return kOpenPacketCheck;
    }
    if (mode == PlaybackMode::Render) {
        if (isProtected)
            return kOpenProtected;
        bool permitted = false;
        if (!events_.QueryFileFlag(CEventMngr::kImagePermissionFlag, permitted))
            return kOpenPacketCheck;
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
        uint8_t category = 0;
        if (!PeekCategory(category) || !ReadPacket())
            break;
        if (!IsRecordCategory(category) && !IsNewCanvas(packet_[0], packet_[1]))
            break;
        if (!ExecutePacket())
            break;
        if (!IsRecordCategory(category)) {
            stepStart_ = position_;
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
        *static_cast<bool*>(user) = category == 2 && code == 255;
        return true;
    };
    WalkStorePackets(events_.Store(), 0, events_.WritePosition(), last, &marked);
    const int32_t committed = events_.CommittedSteps();
    return marked && committed > 0 ? committed - 1 : committed;
}

bool CEventPlayer::Appendable() const
{
    return !events_.Protected && events_.EventGeneration >= 32 && endMark_;
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
        if (!IsRecordCategory(lastHeader_[0])) {
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
        uint8_t category = 0;
        if (!PeekCategory(category) || !(IsRecordCategory(category) || IsPointCategory(category)))
            break;
        if (!ExecutePacket())
            return Step::Failed;
    }
    if (!EndStroke())
        return Step::Failed;
    EndStep();
    return Step::Done;
}

bool CEventPlayer::PeekCategory(uint8_t& category) const
{
    return position_ < events_.WritePosition() && events_.Read(position_, &category, 1) == 1;
}

bool CEventPlayer::ReadPacket()
{
    const int64_t end = events_.WritePosition();
    uint8_t header[2];
    if (end - position_ < 2 || events_.Read(position_, header, 2) != 2)
        return false;
    const PacketKind* kind = FindPacketKind(header[0], header[1]);
    if (kind == nullptr)
        return false;
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
    return DecodePacket(packet_);
}

bool CEventPlayer::ExecutePacket()
{
    if (!ReadPacket())
        return false;
    const uint8_t category = packet_[0];
    if (IsPointCategory(category) && !stroke_ && !StartStroke(category, true))
        return false;
    position_ += int64_t(packet_.size());
    lastHeader_[0] = category;
    lastHeader_[1] = packet_[1];
    lastPacketTime_ = CurrentClock().Milliseconds();
    const bool ok = Dispatch();
    hints_ |= target_.TakeChangeHints();
    return ok;
}

bool CEventPlayer::Dispatch()
{
    const uint8_t category = packet_[0];
    if (IsRecordCategory(category)) {
        if (category == 0 && packet_[1] == 0) {
            AppVersionPayload version;
            version.Decode(packet_);
            appVersion_ = version.major * 100 + version.minor;
        }
        return Handled(target_.ApplyRecord(packet_));
    }
    if (IsStrokeStart(category))
        return StartStroke(category, false);
    if (IsPointCategory(category))
        return LoadPoints();
    if (category == 2)
        return ApplyCategoryTwo();
    if (IsCommandCategory(category))
        return Guarded([&] { return Handled(target_.ApplyCommand(packet_, appVersion_)); });
    return false;
}

bool CEventPlayer::ApplyCategoryTwo()
{
    const uint8_t code = packet_[1];
    if (code == 255) {
        endMark_ = true;
        return true;
    }
    if (code == 254)
        return Guarded([&] {
            target_.ClearMaps();
            return true;
        });
    // No recording holds a second canvas: a stream that does is not one.
    if (IsNewCanvas(2, code)) {
        if (newCanvas_)
            return false;
        newCanvas_ = true;
    }
    return Guarded([&] { return Handled(target_.ApplyCommand(packet_, appVersion_)); });
}

bool CEventPlayer::StartStroke(uint8_t category, bool implicit)
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
        stroke.kind = KindOfStart(category);
        stroke.lineMode = IsLineStart(category);
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
    for (const StrokePointsPayload::Point& p : payload.points)
        points_.push_back({p.x, p.y, std::clamp(p.pressure, 0.0f, 1.0f)});
    nextPoint_ = 0;
    lastPacket_ = packet_[0] == 18;
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
}

bool CEventPlayer::Handled(HandlerResult result)
{
    if (result == HandlerResult::Declined)
        Diagnose("event replay: packet (" + std::to_string(lastHeader_[0]) + ", " + std::to_string(lastHeader_[1]) +
                 ") declined by its operation");
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
    Diagnose(std::string(why) + " at offset " + std::to_string(position_));
    return PlayerTick::Error;
}

} // namespace morvane
