#pragma once
// Where the nib and brush lists are read from at start: the path the
// settings remember, else the default file in the presets folder, else in
// "preset" under the application folder.
#include <string>

namespace morvane {

class CPenMethodMngr;
class CPenShapeMngr;

struct PresetLocation {
    std::string rememberedPath; // from the settings; cleared when the default read fails
    std::string presetsFolder;  // becomes <appFolder>/preset when the default is not in it
    std::string appFolder;
};

inline constexpr const char* kDefaultNibFile = "default.psh";
inline constexpr const char* kDefaultBrushFile = "default.pmt";

// The first of the three places that holds a file; empty when none does.
std::string FindDefaultPresetFile(PresetLocation& where, const std::string& fileName);

// Each reads its default file replacing the list; false when no file was
// found, its read reported an error or (brushes) a current kind has no
// preset. Then the built-ins are loaded or the missing defaults added (when
// asked), the remembered path is cleared and the list's file name emptied.
bool ReadDefaultNibPresetFile(CPenShapeMngr& list, PresetLocation& where, bool builtIns);
bool ReadDefaultBrushPresetFile(CPenMethodMngr& list, PresetLocation& where, bool addDefaults);

} // namespace morvane
