#pragma once
// Nib preset files (".psh"): a "PSST" header, then one "PSHP" chunk per
// nib, a bitmap nib followed by its image block. The nib item is also the
// nib of every brush preset in ".pmt" files.
#include <memory>
#include <string>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class ByteWriter;
class CPenShapeMngr;
class CPenShapeObj;
struct ChunkHead;

inline constexpr const char* kNibListName = "ペン先集";

struct NibItemRead {
    PresetReadCode code = PresetReadCode::Ok;
    // The reader stands after the chunk and its image block, so a caller can
    // go on with what follows even when the item was refused.
    bool standsAfter = false;
};

// Reads the nib item of a "PSHP" chunk whose head was just read, and its
// image block for a bitmap nib. RecordTooShort for a payload too small for
// the record or the name, Version, Format for an unknown type or unusable
// bitmap, the image block's codes.
NibItemRead ReadNibItem(ByteReader& in, const ChunkHead& head, std::unique_ptr<CPenShapeObj>& item);
// The chunk and, for a bitmap nib, its image block (kind 1).
WriteCode WriteNibItem(ByteWriter& out, const CPenShapeObj& item);

// Reads a file's bytes into the list (fileName is what the list remembers).
PresetReadCode ReadNibPresets(ByteReader& in, const std::string& fileName, CPenShapeMngr& list, bool append,
                              bool modified);
// Reads a file into the list, replacing it or appending to it; the list's
// modified flag becomes `modified`. Shows the read messages. Ok, or the
// code that ended the read (see ChunkWalker.h).
PresetReadCode ReadNibPresetFile(const std::string& path, CPenShapeMngr& list, bool append, bool modified);
// Writes the list in its order through a temporary file: Ok, CannotOpen
// when the file cannot be created, ShortWrite, NoMemory.
WriteCode WriteNibPresetFile(const std::string& path, const CPenShapeMngr& list);

} // namespace morvane
