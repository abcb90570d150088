#pragma once
// How many blend modes there are. Files and events store a mode number, and
// readers below the document check it before anything indexes by it.
namespace morvane {

inline constexpr int kModeCount = 22;

constexpr bool IsValidMode(int mode) { return mode >= 0 && mode < kModeCount; }

} // namespace morvane
