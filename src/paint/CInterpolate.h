#pragma once
// The point smoother of the current stroke engine. It keeps the last three
// points, newest first; in midpoint mode the middle one is replaced by the
// midpoint of its neighbours, so the drawn path runs through the midpoints of
// the raw samples and never reaches the newest one until the next arrives.
#include <array>
#include <cstdint>

#include "paint/TStroke.h"

namespace morvane {

class CInterpolate {
public:
    static constexpr int kEntries = 3;
    static constexpr uint8_t kNone = 0, kMidpoint = 1;

    explicit CInterpolate(uint8_t mode = kMidpoint) { SetMode(mode); }

    // Any mode but 0 smooths.
    void SetMode(uint8_t mode) { mode_ = mode == kNone ? kNone : kMidpoint; }
    uint8_t Mode() const { return mode_; }
    // Forgets the points: the next one starts a path.
    void Reset() { count_ = 0; }
    // The first point of a path fills every entry and starts at pressure 0.
    void Add(const StrokePoint& point);

    int32_t Count() const { return count_; }
    const StrokePoint& Entry(int i) const { return entries_[size_t(i)]; }
    const StrokePoint& Newest() const { return entries_[0]; }
    // The piece of path the last point added: older end, newer end.
    const StrokePoint& SegmentFrom() const { return entries_[mode_ == kNone ? 1 : 2]; }
    const StrokePoint& SegmentTo() const { return entries_[mode_ == kNone ? 0 : 1]; }

private:
    std::array<StrokePoint, kEntries> entries_{};
    int32_t count_ = 0;
    uint8_t mode_ = kMidpoint;
};

} // namespace morvane
