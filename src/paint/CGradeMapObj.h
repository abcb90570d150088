#pragma once
// The density profile of a nib as two lookup tables over the normalised
// distance from the centre (0 = centre, last entry = rim), in 16.16 of
// 0..255. lutRoot evaluates the profile at the square root of the position,
// for callers that index by squared distance.
#include <cstdint>
#include <vector>

#include "paint/PaintRecords.h"

namespace morvane {

class CGradeMapObj {
public:
    static constexpr int32_t kRendererEntries = 2048;

    // n is clamped into 2 .. 65536. IsValid() is false when the tables could
    // not be allocated.
    explicit CGradeMapObj(int32_t n = kRendererEntries);

    // Rebuilds only when curve, flat or add differ; true when they did.
    bool SetAirMap(const AirMapRecord& airMap);

    bool IsValid() const { return !lut.empty(); }
    const AirMapRecord& AirMap() const { return airMap_; }
    // Changes on every rebuild, so a nib combined with an older table knows it.
    uint64_t Generation() const { return generation_; }

    std::vector<int32_t> lut;
    std::vector<int32_t> lutRoot;
    int32_t lastIndex = 0;

private:
    void Build();

    AirMapRecord airMap_;
    uint64_t generation_ = 0;
};

// The profile p(x) of a nib-preset curve code, 0 <= x <= 1; unknown codes give 1 - x.
float AirMapProfile(int curve, float x);

} // namespace morvane
