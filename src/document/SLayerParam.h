#pragma once
// The table of the 22 blend modes. The mode number is what files and events
// store, so a number from outside is checked before it indexes anything.
#include <cstdint>

#include "storage/ModeCount.h"

namespace morvane {

// Mode numbers that the arithmetic singles out.
enum BlendMode : uint8_t {
    kModeMultiply = 0,
    kModeAdd = 1,
    kModeSubtract = 2,
    kModeNormal = 3,
    kModeScreen = 4,
    kModeOverlay = 5,
    kModeHardLight = 6,
    kModeSoftLight = 7,
    kModeDifference = 8,
    kModeExclusion = 9,
    kModeDarken = 10,
    kModeLighten = 11,
    kModeBurn = 12,
    kModeDodge = 13,
    kModeHue = 14,
    kModeSaturation = 15,
    kModeColour = 16,
    kModeLuminosity = 17,
    kModeSubtractNegative = 18,
    kModeLinearLight = 19,
    kModeVividLight = 20,
    kModePinLight = 21,
};

// Flag bits of a mode.
enum ModeFlag : uint8_t {
    kFlagInvertAfterMerge = 0x01,   // a merged layer of this mode is stored inverted
    kFlagStartFromSource = 0x08,    // the over operation starts from the source colour
    kFlagNeutralFill = 0x20,        // NewLayerColour is (nearly) neutral; the new-layer dialog says so
    kFlagSkipTransparent = 0x40,    // source pixels of effective alpha 0 are skipped
};

struct SLayerParam {
    uint8_t Mode;
    const char* Name;        // UTF-8, as the mode lists show it
    uint32_t NewLayerColour; // fill of a new layer of this mode (alpha 0)
    uint32_t BaseColour;     // start of the over operation's work colour
    uint8_t Flags;
};

// The record of a mode; nullptr for a number outside 0..21.
const SLayerParam* LayerParam(int mode);

} // namespace morvane
