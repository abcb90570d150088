#pragma once
// The order in which blend-mode lists show the modes, and the value models
// of the new-layer and layer-properties dialogs, as plain functions so that
// every front end converts alike.
#include <array>
#include <cstdint>
#include <string>

namespace morvane {

// Modes in list order: normal first, then the lightening, darkening,
// contrast, difference and colour groups.
inline constexpr std::array<uint8_t, 22> kModeDisplayOrder = {3,  11, 4,  13, 1, 10, 0,  12, 18, 2,  5,
                                                              7,  6,  20, 19, 21, 8, 9,  14, 15, 16, 17};

// -1 for a position or mode outside the list.
int ModeAtListPosition(int position);
int ListPositionOfMode(int mode);

// Per cent (0..100, clamped) to a byte: the integer part of p * 2.55 + 0.5,
// computed exactly.
uint8_t PercentToByte(int percent);
// A byte shown in per cent, value * 100 / 255 rounded to the nearest, so that
// showing a value and taking it back changes nothing.
int ByteToPercent(uint8_t value);

// The range the position field of the properties dialog accepts: with
// a = min(storeSide, 10000 - storeSide), from min(-a, current) to
// max(a, current); it always holds the current value.
struct PositionRange {
    int32_t low, high;
};
PositionRange PositionLimits(int32_t current, int32_t storeSide);
// The position field's value as an integer: halves away from zero, NaN 0,
// out-of-range values saturate.
int32_t PositionFromField(double value);

// The initial-colour entries of the new-layer dialog: white, black, grey.
inline constexpr int kInitialColourCount = 3;
uint32_t InitialColour(int entry);  // 0x00RRGGBB; white for an unknown entry
// The entry a mode offers as its neutral colour (the one equal to its
// NewLayerColour), or -1 when the mode does not offer one.
int NeutralColourEntry(int mode);
// An entry's label for the chosen mode: the colour word, or
// "%s( %s )" with the colour word and "中性色" for the neutral entry.
std::string InitialColourLabel(int entry, int mode);
// The entry selected after choosing a mode: its neutral entry, or the first.
int InitialColourAfterModeChange(int mode);
// The new layer's fill: the entry's colour with alpha 0 when transparent,
// else 255.
uint32_t NewLayerFill(int entry, bool transparent);

} // namespace morvane
