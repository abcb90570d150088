#pragma once
// Where a box shrink (TMTC::ShrinkArea, CBlockVMTC::ShrinkInto: target
// pixel k averages source pixels from (step * k) >> 10 on, step = source *
// 1024 / target, box = source / target + 1 wide) reads and writes, so that a
// change of the source refreshes only the target pixels it meets, each from
// its whole box: the same bytes a whole shrink gives.
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

// The target pixels whose boxes meet `changed` (source coordinates); empty
// when none does or a size is not positive.
ExtentRect ShrinkTargetsMeeting(int32_t sourceW, int32_t sourceH, int32_t targetW, int32_t targetH,
                                const ExtentRect& changed);
// The source pixels the boxes of a target region read, clipped to the source.
ExtentRect ShrinkSourceOf(int32_t sourceW, int32_t sourceH, int32_t targetW, int32_t targetH,
                          const ExtentRect& region);

} // namespace morvane
