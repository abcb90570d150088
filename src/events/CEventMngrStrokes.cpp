// Strokes and marks: a stroke is one step however many point packets it
// spans; the start marks open a recording and the end mark closes it for a
// save.
#include <cmath>
#include <cstring>

#include "events/CEventMngr.h"
#include "events/EventPayloadsActions.h"
#include "platform/Clock.h"

namespace morvane {

namespace {
constexpr uint8_t kMorePoints = 17, kLastPoints = 18;
constexpr uint8_t kStartRecord = 16, kStartTime = 17;
constexpr uint8_t kDocumentCategory = 2, kStartMarkCode = 254;
constexpr size_t kStartRecordSize = 28;

void PutF32(uint8_t* at, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    at[0] = uint8_t(bits);
    at[1] = uint8_t(bits >> 8);
    at[2] = uint8_t(bits >> 16);
    at[3] = uint8_t(bits >> 24);
}

bool IsStreamPoint(float x, float y, float pressure)
{
    return IsStreamCoordinate(x) && IsStreamCoordinate(y) && std::isfinite(pressure);
}

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
    const SystemTime t = CurrentClock().LocalTime();
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

bool CEventMngr::BeginStroke(uint8_t category, uint16_t layer, uint16_t mask, float x, float y, float pressure)
{
    if (!IsRecording())
        return true;
    if ((validBits_ & kStrokeOpen) || !StrokeStartPayload::Serves(category, 0) || !IsStreamPoint(x, y, pressure))
        return false;
    if (!SyncAll())
        return false;
    const uint8_t start[4] = {uint8_t(layer), uint8_t(layer >> 8), uint8_t(mask), uint8_t(mask >> 8)};
    if (!WritePacket(category, 0, start))
        return false;
    validBits_ |= kStrokeOpen;
    pointCount_ = 0;
    return AddPoint(x, y, pressure);
}

bool CEventMngr::AddPoint(float x, float y, float pressure)
{
    if (!IsRecording())
        return true;
    if (!(validBits_ & kStrokeOpen) || !IsStreamPoint(x, y, pressure))
        return false;
    if (pointCount_ == kPointsPerPacket && !WritePoints(false))
        return false;
    uint8_t* at = points_ + 2 + size_t(pointCount_) * kPointSize;
    PutF32(at, x);
    PutF32(at + 4, y);
    PutF32(at + 8, pressure);
    ++pointCount_;
    return true;
}

bool CEventMngr::EndStroke()
{
    if (!IsRecording())
        return true;
    if (!(validBits_ & kStrokeOpen) || pointCount_ == 0)
        return false;
    if (!WritePoints(true))
        return false;
    validBits_ &= ~kStrokeOpen;
    return true;
}

bool CEventMngr::WritePoints(bool closesStep)
{
    points_[0] = closesStep ? kLastPoints : kMorePoints;
    points_[1] = uint8_t(pointCount_);
    const std::span<const uint8_t> packet(points_, 2 + size_t(pointCount_) * kPointSize);
    pointCount_ = 0;
    return closesStep ? AppendStep(packet) : Append(packet);
}

bool CEventMngr::StartMarks()
{
    if (!IsRecording())
        return true;
    if ((validBits_ & kStrokeOpen) || !SyncDocument())
        return false;
    const uint8_t startRecord[kStartRecordSize] = {};
    if (!WriteData(kStartTime, StartTime()) || !WriteData(kStartRecord, startRecord))
        return false;
    validBits_ |= kNameBlockWritten;
    // A replay forgets every embedded resource at the mark: so does the
    // recording, or a reference would name one the player has dropped.
    ForgetEmbedded();
    const uint8_t mark[2] = {kDocumentCategory, kStartMarkCode};
    return AppendStep(mark);
}

} // namespace morvane
