#pragma once
// Nib preset files (".psh"): a "PSST" header, then one "PSHP" chunk per
// nib, a bitmap nib followed by its image block. The nib item is also the
// nib of every brush preset in ".pmt" files.
#include <memory>
#include <string>

namespace morvane {

class ByteReader;
class ByteWriter;
class CPenShapeMngr;
class CPenShapeObj;
struct ChunkHead;

inline constexpr const char* kNibListName = "ペン先集";

struct NibItemRead {
    int code = 0;
    // The reader stands after the chunk and its image block, so a caller can
    // go on with what follows even when the item was refused.
    bool standsAfter = false;
};

// Reads the nib item of a "PSHP" chunk whose head was just read, and its
// image block for a bitmap nib. 11 payload too small for the record or the
// name, 12 item version, 15 unknown type or unusable bitmap, the image
// block's codes.
NibItemRead ReadNibItem(ByteReader& in, const ChunkHead& head, std::unique_ptr<CPenShapeObj>& item);
// The chunk and, for a bitmap nib, its image block (kind 1).
int WriteNibItem(ByteWriter& out, const CPenShapeObj& item);

// Reads a file's bytes into the list (fileName is what the list remembers).
int ReadNibPresets(ByteReader& in, const std::string& fileName, CPenShapeMngr& list, bool append,
                   bool modified);
// Reads a file into the list, replacing it or appending to it; the list's
// modified flag becomes `modified`. Shows the read messages. 0, or the
// code that ended the read (see ChunkWalker.h).
int ReadNibPresetFile(const std::string& path, CPenShapeMngr& list, bool append, bool modified);
// Writes the list in its order through a temporary file: 0, 6 the file
// cannot be created, 8 short write, 1 no memory.
int WriteNibPresetFile(const std::string& path, const CPenShapeMngr& list);

} // namespace morvane
