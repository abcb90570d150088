#pragma once
// Brush preset files (".pmt"): a "PMST" header with the selection, the
// alternate and five remembered indexes, then one "PMTD" chunk per preset,
// each followed by its icon (image block) and its nib ("PSHP" item).
#include <string>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class CPenMethodMngr;

inline constexpr const char* kBrushListName = "ブラシ集";

// Reads a file's bytes into the list, replacing it or appending to it; the
// list's modified flag becomes `modified`. A preset record that is short or
// cannot be read ends the read with its code, keeping the presets before it
// (what follows it cannot be found any more); a readable preset whose class,
// icon or nib is refused is skipped with the blocks its flags announce.
// Shows the read messages. fileName is what the list remembers.
PresetReadCode ReadBrushPresets(ByteReader& in, const std::string& fileName, CPenMethodMngr& list, bool append,
                                bool modified);
PresetReadCode ReadBrushPresetFile(const std::string& path, CPenMethodMngr& list, bool append, bool modified);
// Writes the list in its order through a temporary file: Ok, CannotOpen
// when the file cannot be created, ShortWrite, NoMemory.
WriteCode WriteBrushPresetFile(const std::string& path, const CPenMethodMngr& list);

} // namespace morvane
