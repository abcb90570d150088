#pragma once
// A recording of strokes that come from up to 2^20 px off a 1000 x 1000
// canvas, cross it and leave again: the measure of what far points cost a
// replay. The clipped form records the same lines cut to the canvas, the
// work a replay cannot avoid. Painted with a fixed clock, so the same build
// writes the same bytes.
#include <string>

namespace morvane {

enum class FarStrokes { Far, Clipped };

inline constexpr int kFarStrokeCanvas = 1000;

// Paints `strokes` strokes and saves the recording at path: 0, the save's
// code, or -1 when painting was refused.
int WriteFarStrokeRecording(const std::string& path, FarStrokes form, int strokes);

} // namespace morvane
