#include "paint/CompatAirMap.h"

#include "paint/PaintKind.h"
#include "paint/TPaintParam.h"

namespace morvane {

AirMapRecord CompatAirMapRecord(int32_t compatibleCode)
{
    constexpr int32_t kStrokeDefault = 3;
    const uint8_t curve =
        AirMapOfCompatible(compatibleCode).value_or(*AirMapOfCompatible(kStrokeDefault));
    // The compatible airbrush is a group-1 tool: its nib rule turns the
    // flat curve into 1 - x with a flat part.
    TPaintParam param(PaintKind::AirBrush1);
    param.SetAirMap(curve);
    return param.NibAirMap();
}

} // namespace morvane
