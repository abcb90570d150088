#pragma once
// Brush preset files (".pmt"): a "PMST" header with the selection, the
// alternate and five remembered indexes, then one "PMTD" chunk per preset,
// each followed by its icon (image block) and its nib ("PSHP" item).
#include <string>

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
int ReadBrushPresets(ByteReader& in, const std::string& fileName, CPenMethodMngr& list, bool append,
                     bool modified);
int ReadBrushPresetFile(const std::string& path, CPenMethodMngr& list, bool append, bool modified);
// Writes the list in its order through a temporary file: 0, 6 the file
// cannot be created, 8 short write, 1 no memory.
int WriteBrushPresetFile(const std::string& path, const CPenMethodMngr& list);

} // namespace morvane
