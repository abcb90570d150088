#include "paint/CInterpolate.h"

#include <cstdint>

namespace morvane {

void CInterpolate::Add(const StrokePoint& point)
{
    const bool first = count_ == 0;
    if (count_ < INT32_MAX)
        ++count_;
    if (first) {
        entries_.fill({point.x, point.y, 0.0f});
        return;
    }
    entries_[2] = entries_[1];
    entries_[1] = entries_[0];
    entries_[0] = point;
    if (mode_ == kMidpoint) {
        const StrokePoint& a = entries_[0];
        const StrokePoint& b = entries_[2];
        entries_[1] = {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.pressure + b.pressure) * 0.5f};
    }
}

} // namespace morvane
