// Strokes and marks: a stroke is one step however many point packets it
// spans; the start marks open a recording and the end mark closes it for a
// save.
#include <cmath>
#include <cstring>

#include "events/CEventMngr.h"
#include "events/EventPayloads.h"
#include "platform/Clock.h"

namespace morvane {

namespace {
constexpr size_t kStartRecordSize = 28;

int DayOfWeek(int year, int month, int day)
{
    static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3)
        --year;
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[(month + 11) % 12] + day) % 7;
}

// Year, month, day of week, day, hour, minute, second, milliseconds.
std::vector<uint8_t> StartTime()
{
    const SystemTime t = CurrentClock().UtcTime();
    const int fields[] = {t.year, t.month, DayOfWeek(t.year, t.month, t.day), t.day, t.hour, t.minute, t.second,
                          t.millisecond};
    std::vector<uint8_t> out;
    for (int v : fields) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    return out;
}
} // namespace

bool CEventMngr::BeginStroke(PacketId start, uint16_t layer, uint16_t mask, float x, float y, float pressure)
{
    if (!IsRecording())
        return true;
    if ((validBits_ & kStrokeOpen) || InfoOf(start).strokeKind < 0 || !IsStreamPoint(x, y, pressure))
        return false;
    if (!SyncAll())
        return false;
    StrokeStartPayload payload;
    payload.SetKind(start);
    payload.layer = layer, payload.mask = mask;
    const std::vector<uint8_t> packet = payload.Encode();
    if (packet.empty() || !WritePacket(start, std::span(packet).subspan(2)))
        return false;
    validBits_ |= kStrokeOpen;
    OpenPointPacket();
    BufferPoint(x, y, pressure);
    return true;
}

bool CEventMngr::AddPointSlowly(float x, float y, float pressure)
{
    if (!IsRecording())
        return true;
    if (!(validBits_ & kStrokeOpen) || !IsStreamPoint(x, y, pressure))
        return false;
    // The open packet is full.
    if (!ClosePointPacket(false))
        return false;
    BufferPoint(x, y, pressure);
    return true;
}

bool CEventMngr::EndStroke()
{
    if (!IsRecording())
        return true;
    if (!(validBits_ & kStrokeOpen))
        return false;
    if (!ClosePointPacket(true))
        return false;
    validBits_ &= ~kStrokeOpen;
    return true;
}

// The next packet goes where the last one ended while the store's room
// holds it, so the room is asked for once a segment.
void CEventMngr::OpenPointPacket()
{
    if (!pointsInPlace_ || size_t(roomEnd_ - pointNext_) < kPointPacketSize) {
        const std::span<uint8_t> room = store_.RoomAt(kPointPacketSize);
        pointsInPlace_ = !room.empty();
        pointNext_ = room.data();
        roomEnd_ = room.data() + room.size();
    }
    pointBase_ = pointsInPlace_ ? pointNext_ : pointPacket_;
    pointNext_ = pointBase_ + 2;
    pointLimit_ = pointBase_ + kPointPacketSize;
}

void CEventMngr::ForgetPointPacket()
{
    pointBase_ = pointNext_ = pointLimit_ = roomEnd_ = nullptr;
    pointsInPlace_ = false;
}

bool CEventMngr::ClosePointPacket(bool last)
{
    const auto size = size_t(pointNext_ - pointBase_);
    pointBase_[0] = CategoryOf(last ? PacketId::LastPoints : PacketId::MorePoints);
    pointBase_[1] = uint8_t((size - 2) / kPointSize);
    // Bytes built in place are in the store already; committing them
    // cannot fail short of a broken invariant, which stops the recording.
    const bool kept = pointsInPlace_ ? (store_.Commit(int64_t(size)) || Abandon())
                                     : Append(std::span<const uint8_t>(pointBase_, size));
    if (!kept)
        return false;
    if (!last) {
        OpenPointPacket();
        return true;
    }
    ForgetPointPacket();
    return EndStep();
}

bool CEventMngr::StartMarks()
{
    if (!IsRecording())
        return true;
    if ((validBits_ & kStrokeOpen) || !SyncDocument())
        return false;
    const uint8_t startRecord[kStartRecordSize] = {};
    if (!WriteData(PacketId::StartTime, StartTime()) || !WriteData(PacketId::StartRecord, startRecord))
        return false;
    validBits_ |= kNameBlockWritten;
    // A replay forgets every embedded resource at the mark: so does the
    // recording, or a reference would name one the player has dropped.
    ForgetEmbedded();
    const uint8_t mark[2] = {CategoryOf(PacketId::StartMarks), CodeOf(PacketId::StartMarks)};
    return AppendStep(mark);
}

} // namespace morvane
