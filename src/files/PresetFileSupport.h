#pragma once
// What the preset readers and writers share beyond the chunk walk: names in
// the files' code page, the image rules of nibs and icons, whole-file
// writing through a temporary file.
#include <cstdint>
#include <string>

#include "files/ByteStream.h"
#include "files/ChunkWalker.h"
#include "files/ImageBlock.h"
#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class ByteWriter;
class MemoryWriter;

// Nib bitmaps: one byte per pixel (format 2, also read as 4).
int NibBitmapBytesPerPixel(uint16_t format);
inline constexpr ImageBlockRules kNibBitmapRules{NibBitmapBytesPerPixel, 4096};
inline constexpr uint16_t kNibBitmapFormat = 2;
// Icons: 32-bit pixels like thumbnails.
inline constexpr ImageBlockRules kIconRules{ThumbnailBytesPerPixel, 1024};
inline constexpr uint16_t kIconFormat = 0;

// Reads `length` name bytes (CP932) into UTF-8.
bool ReadName(ByteReader& in, uint32_t length, std::string& name);
// The name in CP932, at most 65535 bytes.
std::string NameBytes(const std::string& name);

// Writes a chunk head and the payload of record + name, zero-padded to a
// multiple of 4.
bool WriteRecordChunk(ByteWriter& out, uint32_t tag, const uint8_t* record, size_t recordBytes,
                      const std::string& nameBytes);

// The whole file through a temporary file renamed over the target.
WriteCode CommitFile(const std::string& path, const MemoryWriter& bytes);

// Tags of a preset file: the file's header and each item chunk.
struct PresetTags {
    uint32_t file, item;
};

// The course every preset list's read takes: the header, the list emptied
// unless appending, every item chunk through readItem (a ChunkOutcome), then
// on a list that was replaced the header's remembered state (takeHeader) and,
// when all was read, the file name; the modified flag; the report.
template <typename List, typename ReadItem, typename TakeHeader>
PresetReadCode ReadPresetList(ByteReader& in, PresetTags tags, const char* listName, const std::string& fileName,
                              List& list, bool append, bool modified, ReadItem readItem, TakeHeader takeHeader)
{
    PresetHeader header;
    WalkResult walk;
    bool headerRead = false;
    const PresetReadCode code = Guarded<PresetReadCode>([&] {
        const PresetReadCode headerCode = ReadPresetHeader(in, tags.file, header);
        if (headerCode != PresetReadCode::Ok)
            return headerCode;
        headerRead = true;
        if (!append)
            list.Clear();
        walk = WalkChunks(in, header.count, tags.item, readItem);
        return walk.code;
    });
    if (headerRead && !append && list.Count() > 0) {
        takeHeader(header);
        if (code == PresetReadCode::Ok)
            list.SetFileName(fileName);
    }
    list.SetModified(modified);
    ReportPresetRead(listName, code, walk);
    return code;
}

// Opens path and hands the reader to read; a file that cannot be opened is
// reported as the list's failed read.
template <typename Read> PresetReadCode ReadPresetFileAt(const std::string& path, const char* listName, Read read)
{
    FileReader in;
    if (const OpenCode opened = in.Open(path); opened != OpenCode::Ok) {
        const PresetReadCode code = Relay<PresetReadCode>(opened);
        ReportPresetRead(listName, code, WalkResult{});
        return code;
    }
    return read(in);
}

} // namespace morvane
