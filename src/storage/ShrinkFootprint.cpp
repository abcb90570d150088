#include "storage/ShrinkFootprint.h"

#include <algorithm>

namespace morvane {

namespace {

struct ShrinkAxis {
    ShrinkAxis(int32_t source, int32_t target)
        : source(source), target(target), step(int64_t{source} * 1024 / target), box(source / target + 1)
    {
    }
    int64_t Start(int64_t k) const { return (step * k) >> 10; }
    // The first target whose box start satisfies `past` (starts only grow).
    template <typename Past>
    int64_t First(Past past) const
    {
        int64_t lo = 0, hi = target;
        while (lo < hi) {
            const int64_t mid = (lo + hi) / 2;
            if (past(Start(mid)))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
    // Targets [first, end) whose boxes meet source [a, b).
    void Meeting(int64_t a, int64_t b, int32_t& first, int32_t& count) const
    {
        const int64_t from = First([&](int64_t s) { return s + box > a; });
        const int64_t to = First([&](int64_t s) { return s >= b; });
        first = int32_t(from);
        count = int32_t(std::max<int64_t>(0, to - from));
    }
    // Source [first, first + count) read by targets [a, b).
    void Read(int64_t a, int64_t b, int32_t& first, int32_t& count) const
    {
        const int64_t from = Start(a), to = std::min<int64_t>(Start(b - 1) + box, source);
        first = int32_t(from);
        count = int32_t(std::max<int64_t>(0, to - from));
    }

    int64_t source, target, step, box;
};

bool Usable(int32_t sourceW, int32_t sourceH, int32_t targetW, int32_t targetH, const ExtentRect& r)
{
    return sourceW > 0 && sourceH > 0 && targetW > 0 && targetH > 0 && r.width > 0 && r.height > 0;
}

} // namespace

ExtentRect ShrinkTargetsMeeting(int32_t sourceW, int32_t sourceH, int32_t targetW, int32_t targetH,
                                const ExtentRect& changed)
{
    if (!Usable(sourceW, sourceH, targetW, targetH, changed))
        return {};
    ExtentRect out;
    ShrinkAxis(sourceW, targetW).Meeting(changed.left, int64_t{changed.left} + changed.width, out.left, out.width);
    ShrinkAxis(sourceH, targetH).Meeting(changed.top, int64_t{changed.top} + changed.height, out.top, out.height);
    return out.width > 0 && out.height > 0 ? out : ExtentRect{};
}

ExtentRect ShrinkSourceOf(int32_t sourceW, int32_t sourceH, int32_t targetW, int32_t targetH,
                          const ExtentRect& region)
{
    if (!Usable(sourceW, sourceH, targetW, targetH, region))
        return {};
    const int64_t left = std::clamp<int64_t>(region.left, 0, targetW), top = std::clamp<int64_t>(region.top, 0, targetH);
    const int64_t right = std::clamp<int64_t>(int64_t{region.left} + region.width, left, targetW);
    const int64_t bottom = std::clamp<int64_t>(int64_t{region.top} + region.height, top, targetH);
    if (right <= left || bottom <= top)
        return {};
    ExtentRect out;
    ShrinkAxis(sourceW, targetW).Read(left, right, out.left, out.width);
    ShrinkAxis(sourceH, targetH).Read(top, bottom, out.top, out.height);
    return out;
}

} // namespace morvane
