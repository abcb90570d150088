#include "files/NibPresetFile.h"

#include <algorithm>

#include "files/ByteStream.h"
#include "files/ChunkWalker.h"
#include "files/PresetFileSupport.h"
#include "paint/CPenShapeMngr.h"

namespace morvane {

namespace {

constexpr uint32_t kTagFile = le::Tag("PSST");
constexpr uint32_t kTagItem = le::Tag("PSHP");
constexpr size_t kRecordBytes = 120;

// The fixed part of an item as stored.
struct NibItemRecord {
    uint8_t type = 0;
    uint16_t nameLength = 0;
    uint16_t version = 1;
    AirMapRecord airMap;
    NibRecord nib;
    uint32_t hardEdge = 0;
    uint16_t scale = 100;
};

uint16_t Field16(int32_t v, int32_t lo, int32_t hi)
{
    return uint16_t(std::clamp(v, lo, hi));
}

void Encode(const NibItemRecord& r, uint8_t (&p)[kRecordBytes])
{
    std::fill_n(p, kRecordBytes, uint8_t(0));
    p[0] = r.type;
    le::Put16(p + 2, r.nameLength);
    le::Put16(p + 4, r.version);
    p[16] = r.airMap.curve;
    le::Put16(p + 20, Field16(r.airMap.flat, 0, 0xFFFF));
    le::Put16(p + 22, Field16(r.airMap.add, 0, 0xFFFF));
    le::Put16(p + 40, Field16(r.nib.radius, 0, 0xFFFF));
    le::Put16(p + 42, Field16(r.nib.minRadius, 0, 0xFFFF));
    le::Put16(p + 44, Field16(r.nib.aspect, 0, 0xFFFF));
    le::Put16(p + 46, Field16(r.nib.angle, INT16_MIN, INT16_MAX));
    le::Put32(p + 64, r.hardEdge);
    le::Put16(p + 88, r.scale);
}

NibItemRecord Decode(const uint8_t (&p)[kRecordBytes])
{
    NibItemRecord r;
    r.type = p[0];
    r.nameLength = le::U16(p + 2);
    r.version = le::U16(p + 4);
    r.airMap.curve = p[16];
    r.airMap.flat = le::U16(p + 20);
    r.airMap.add = le::U16(p + 22);
    r.nib.radius = le::U16(p + 40);
    r.nib.minRadius = le::U16(p + 42);
    r.nib.aspect = le::U16(p + 44);
    r.nib.angle = le::I16(p + 46);
    r.hardEdge = le::U32(p + 64);
    r.scale = le::U16(p + 88);
    return r;
}

std::unique_ptr<CPenShapeObj> MakeItem(NibItemRecord r, std::string name)
{
    r.airMap.Sanitize();
    r.nib.Sanitize(r.type == 1);
    auto item = std::make_unique<CPenShapeObj>(r.airMap, r.nib, r.hardEdge != 0);
    item->name = std::move(name);
    return item;
}

} // namespace

NibItemRead ReadNibItem(ByteReader& in, const ChunkHead& head, std::unique_ptr<CPenShapeObj>& item)
{
    uint8_t raw[kRecordBytes];
    if (head.size < kRecordBytes || !in.Read(raw, sizeof raw))
        return {PresetReadCode::RecordTooShort, false};
    const NibItemRecord record = Decode(raw);
    // Without a known type nobody knows whether an image block follows.
    if (record.type > 1)
        return {PresetReadCode::Format, false};
    PresetReadCode code = PresetReadCode::Ok;
    std::string name;
    if (record.version > 1)
        code = PresetReadCode::Version;
    else if (record.nameLength > head.size - kRecordBytes)
        code = PresetReadCode::RecordTooShort;
    else if (!ReadName(in, record.nameLength, name))
        return {PresetReadCode::ShortRead, false};
    if (!SkipToPayloadEnd(in, head))
        return {PresetReadCode::ShortRead, false};

    auto bitmap = std::make_unique<TChannel>();
    if (record.type == 1) {
        ImageBlockHead blockHead;
        uint64_t blockLength = 0;
        const BlockReadCode blockCode = ReadImageBlockInto(in, kNibBitmapRules, blockHead, *bitmap, blockLength);
        if (blockCode != BlockReadCode::Ok)
            return {code != PresetReadCode::Ok ? code : Relay<PresetReadCode>(blockCode), blockLength != 0};
    }
    if (code != PresetReadCode::Ok)
        return {code, true};
    item = MakeItem(record, std::move(name));
    if (record.type == 1) {
        if (!item->SetBitmap(std::move(bitmap))) {
            item.reset();
            return {PresetReadCode::Format, true};
        }
        item->SetScale(record.scale);
    }
    return {PresetReadCode::Ok, true};
}

WriteCode WriteNibItem(ByteWriter& out, const CPenShapeObj& item)
{
    const bool bitmap = item.IsBitmapNib();
    const std::string name = NameBytes(item.name);
    NibItemRecord record;
    record.type = bitmap ? 1 : 0;
    record.nameLength = uint16_t(name.size());
    record.airMap = item.airMap;
    record.nib = item.nib;
    record.hardEdge = item.aliased;
    record.scale = Field16(item.Scale(), 0, 0xFFFF);
    uint8_t raw[kRecordBytes];
    Encode(record, raw);
    if (!WriteRecordChunk(out, kTagItem, raw, sizeof raw, name))
        return WriteCode::ShortWrite;
    if (!bitmap)
        return WriteCode::Ok;
    ImageBlockHead head;
    head.format = kNibBitmapFormat;
    head.sourceWidth = item.Bitmap()->Width;
    head.sourceHeight = item.Bitmap()->Height;
    return WriteImageBlockFrom(out, head, *item.Bitmap());
}

PresetReadCode ReadNibPresets(ByteReader& in, const std::string& fileName, CPenShapeMngr& list, bool append,
                   bool modified)
{
    auto readItem = [&](const ChunkHead& head) {
        std::unique_ptr<CPenShapeObj> item;
        const NibItemRead read = ReadNibItem(in, head, item);
        if (read.code != PresetReadCode::Ok)
            return ChunkOutcome{ChunkOutcome::Skipped, read.code};
        if (list.Add(std::move(item)) < 0)
            return ChunkOutcome{ChunkOutcome::Ended, PresetReadCode::CannotAdd};
        return ChunkOutcome{};
    };
    auto takeHeader = [&](const PresetHeader& header) {
        list.Select(std::clamp<int32_t>(header.selected, 0, list.Count() - 1));
    };
    return ReadPresetList(in, {kTagFile, kTagItem}, kNibListName, fileName, list, append, modified, readItem,
                          takeHeader);
}

PresetReadCode ReadNibPresetFile(const std::string& path, CPenShapeMngr& list, bool append, bool modified)
{
    return ReadPresetFileAt(path, kNibListName,
                            [&](FileReader& in) { return ReadNibPresets(in, path, list, append, modified); });
}

WriteCode WriteNibPresetFile(const std::string& path, const CPenShapeMngr& list)
{
    const int32_t count = std::min(list.Count(), 0xFFFF);
    uint8_t header[32] = {};
    le::Put32(header, kTagFile);
    le::Put32(header + 4, PresetHeader::kBodyBytes);
    le::Put16(header + 8, 1);
    le::Put16(header + 12, uint16_t(count));
    le::Put16(header + 14, uint16_t(std::clamp<int32_t>(list.Selected(), -1, INT16_MAX)));
    MemoryWriter out;
    WriteCode code = out.Write(header, sizeof header) ? WriteCode::Ok : WriteCode::NoMemory;
    for (int32_t i = 0; i < count && code == WriteCode::Ok; ++i)
        code = WriteNibItem(out, *list.Item(i));
    return code == WriteCode::Ok ? CommitFile(path, out) : code;
}

} // namespace morvane
