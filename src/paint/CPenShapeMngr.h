#pragma once
// The list of nib presets the user picks from, with the selection and an
// on-change notification for the panels that show it.
#include "paint/CPenShapeObj.h"
#include "paint/CPresetList.h"

namespace morvane {

class CPenShapeMngr : public CPresetList<CPenShapeObj> {
public:
    static constexpr int kBuiltInCount = 7;

    // Replaces the list with the seven built-in nibs and selects the first.
    bool FillBuiltIns();
};

} // namespace morvane
