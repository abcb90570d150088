#pragma once
// The density profile of the compatible airbrush, fingertip, burn and dodge:
// a 2048-entry table (16.16 of 0..255 from the centre to the rim) made from
// the stroke's compatible air-map code the way a group-1 tool builds its nib.
#include <cstdint>

#include "paint/CGradeMapObj.h"
#include "paint/PaintRecords.h"

namespace morvane {

// The air-map record of a compatible code: the code's curve, except that
// "no curve" (0) becomes 1 - x with a flat part of 0.9. A code without an
// entry counts as 3 (1 - x), the stroke's default.
AirMapRecord CompatAirMapRecord(int32_t compatibleCode);

class CompatAirMap {
public:
    static constexpr int32_t kEntries = CGradeMapObj::kRendererEntries;

    // Rebuilds when the code's record differs from the one built.
    void Select(int32_t compatibleCode) { table_.SetAirMap(CompatAirMapRecord(compatibleCode)); }
    bool IsValid() const { return table_.IsValid(); }
    // Entry i (0 .. kEntries - 1), 16.16 of 0..255.
    int32_t At(int32_t i) const { return table_.lut[size_t(i)]; }

private:
    CGradeMapObj table_{kEntries};
};

} // namespace morvane
