#include "files/PresetFileSupport.h"

#include <vector>

#include "codecs/CodePage.h"
#include "files/ByteStream.h"
#include "platform/AtomicFile.h"

namespace morvane {

int NibBitmapBytesPerPixel(uint16_t format)
{
    return format == 2 || format == 4 ? 1 : 0;
}

bool ReadName(ByteReader& in, uint32_t length, std::string& name)
{
    std::string bytes(length, '\0');
    if (!in.Read(bytes.data(), bytes.size()))
        return false;
    name = Cp932ToUtf8(bytes);
    return true;
}

std::string NameBytes(const std::string& name)
{
    std::string bytes = Utf8ToCp932(name);
    if (bytes.size() > 0xFFFF)
        bytes.resize(0xFFFF);
    return bytes;
}

bool WriteRecordChunk(ByteWriter& out, uint32_t tag, const uint8_t* record, size_t recordBytes,
                      const std::string& nameBytes)
{
    const size_t padding = (4 - nameBytes.size() % 4) % 4;
    uint8_t head[8];
    le::Put32(head, tag);
    le::Put32(head + 4, uint32_t(recordBytes + nameBytes.size() + padding));
    return out.Write(head, sizeof head) && out.Write(record, recordBytes) &&
           out.Write(nameBytes.data(), nameBytes.size()) && out.WriteZeros(padding);
}

WriteCode CommitFile(const std::string& path, const MemoryWriter& bytes)
{
    AtomicFile file(path);
    if (!file.IsOpen())
        return WriteCode::CannotOpen;
    if (!file.Write(bytes.Bytes().data(), bytes.Bytes().size()) || !file.Commit())
        return WriteCode::ShortWrite;
    return WriteCode::Ok;
}

} // namespace morvane
