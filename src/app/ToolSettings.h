#pragma once
// The tool state and the settings: the preset lists read from the files the
// settings name (the places that failed are forgotten there).
namespace morvane {

class CAppProfile;
class ToolState;

void LoadToolPresets(ToolState& tools, CAppProfile& profile);

} // namespace morvane
