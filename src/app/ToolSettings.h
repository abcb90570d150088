#pragma once
// The tool state and the settings: the preset lists read from the files the
// settings name (a place that failed is forgotten there), the main and sub
// colour from and back to "fgCol" and "bgCol", and, with
// "DrawToolAutoSave", the compatible tools' pen slots, each kind's
// parameter set and the tool of each pen end, kept as the stored records in
// a group of the program's own. Stored values pass the parameter set's
// setters; unknown kinds and operations leave the defaults.
#include <string>

namespace morvane {

class CAppProfile;
class SettingsStore;
class ToolState;

inline constexpr const char* kToolSection = "tools";

void LoadToolPresets(ToolState& tools, CAppProfile& profile);
// The colours from the settings object.
void LoadToolColours(ToolState& tools, const CAppProfile& profile);
// Pen slots, parameter sets and the ends' tools, as far as the store has them.
void LoadToolValues(ToolState& tools, const SettingsStore& store);
// The colours into the settings object; with "DrawToolAutoSave" the slots,
// sets and ends into the store, when the program keeps one.
void SaveTools(const ToolState& tools, CAppProfile& profile, SettingsStore* store);

} // namespace morvane
