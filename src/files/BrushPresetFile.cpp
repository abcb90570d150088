#include "files/BrushPresetFile.h"

#include <algorithm>

#include "files/ByteStream.h"
#include "files/ChunkWalker.h"
#include "files/NibPresetFile.h"
#include "files/PresetFileSupport.h"
#include "paint/CPenMethodMngr.h"

namespace morvane {

namespace {

constexpr uint32_t kTagFile = le::Tag("PMST");
constexpr uint32_t kTagItem = le::Tag("PMTD");
constexpr uint32_t kTagNib = le::Tag("PSHP");
constexpr size_t kRecordBytes = 72;

namespace flag {
constexpr uint32_t Nib = 1u << 0, Icon = 1u << 1, Pencil = 1u << 4, Gradation = 1u << 8, Tone = 1u << 9,
                   PressureSize = 1u << 16, PressureDensity = 1u << 17;
} // namespace flag

namespace headerflag {
constexpr uint8_t Alternate = 1u << 0, Remembered = 1u << 1;
} // namespace headerflag

// The header stores the remembered indexes in the order 1, 2, 5, 4, 3.
constexpr int kRememberedSlot[CPenMethodMngr::kRememberedCount] = {0, 1, 4, 3, 2};

struct PresetRecord {
    uint16_t nameLength = 0;
    uint16_t version = 1;
    uint32_t flags = 0;
    PenMethodBlock block;
};

uint16_t Field16(int32_t v)
{
    return uint16_t(std::clamp(v, 0, 0xFFFF));
}

void Encode(const PresetRecord& r, uint8_t (&p)[kRecordBytes])
{
    std::fill_n(p, kRecordBytes, uint8_t(0));
    const PenMethodBlock& b = r.block;
    const uint32_t flags = (r.flags & (flag::Nib | flag::Icon)) | (b.method.pencil ? flag::Pencil : 0) |
                           (b.useGradation ? flag::Gradation : 0) | (b.useTone ? flag::Tone : 0) |
                           (b.brush.pressureSize ? flag::PressureSize : 0) |
                           (b.brush.pressureDensity ? flag::PressureDensity : 0);
    le::Put16(p + 2, r.nameLength);
    le::Put16(p + 4, r.version);
    le::Put32(p + 8, flags);
    p[16] = b.method.renderClass;
    p[17] = b.method.dodge ? 1 : 0;
    p[18] = b.method.exact ? 1 : 0;
    le::Put16(p + 20, b.method.effect1);
    le::Put16(p + 22, b.method.effect2);
    le::Put16(p + 24, b.method.effect3);
    le::Put16(p + 40, Field16(b.brush.density));
    le::Put16(p + 42, Field16(b.brush.gamma));
    le::Put16(p + 44, Field16(b.brush.spacing));
    le::Put16(p + 46, Field16(b.brush.denseStepRadius));
    le::Put16(p + 48, Field16(b.brush.subStepRadius));
}

PresetRecord Decode(const uint8_t (&p)[kRecordBytes])
{
    PresetRecord r;
    r.nameLength = le::U16(p + 2);
    r.version = le::U16(p + 4);
    r.flags = le::U32(p + 8);
    PenMethodBlock& b = r.block;
    b.method.renderClass = p[16];
    b.method.dodge = p[17] != 0;
    b.method.exact = p[18] != 0;
    b.method.pencil = (r.flags & flag::Pencil) != 0;
    b.method.effect1 = le::U16(p + 20);
    b.method.effect2 = le::U16(p + 22);
    b.method.effect3 = le::U16(p + 24);
    b.useGradation = (r.flags & flag::Gradation) != 0;
    b.useTone = (r.flags & flag::Tone) != 0;
    b.brush.pressureSize = (r.flags & flag::PressureSize) != 0;
    b.brush.pressureDensity = (r.flags & flag::PressureDensity) != 0;
    b.brush.density = le::U16(p + 40);
    b.brush.gamma = le::U16(p + 42);
    b.brush.spacing = le::U16(p + 44);
    b.brush.denseStepRadius = le::U16(p + 46);
    b.brush.subStepRadius = le::U16(p + 48);
    b.method.Sanitize();
    b.brush.Sanitize();
    return r;
}

// The parts a preset's flags announce after its chunk. A refused part the
// reader could step over leaves `skipCode`; one it could not ends the read.
struct TrailingParts {
    std::unique_ptr<TMTC> icon;
    std::unique_ptr<CPenShapeObj> nib;
    PresetReadCode skipCode = PresetReadCode::Ok;
};

PresetReadCode ReadIcon(ByteReader& in, TrailingParts& parts)
{
    parts.icon = std::make_unique<TMTC>();
    ImageBlockHead head;
    uint64_t blockLength = 0;
    const PresetReadCode code =
        Relay<PresetReadCode>(ReadImageBlockInto(in, kIconRules, head, *parts.icon, blockLength));
    if (code != PresetReadCode::Ok && blockLength == 0)
        return code;
    parts.skipCode = code;
    return PresetReadCode::Ok;
}

PresetReadCode ReadNib(ByteReader& in, TrailingParts& parts)
{
    uint8_t raw[8];
    if (!in.Read(raw, sizeof raw))
        return PresetReadCode::ShortRead;
    const ChunkHead head{le::U32(raw), le::U32(raw + 4), in.Position()};
    if (head.size > in.Remaining())
        return PresetReadCode::PastEnd;
    if (head.tag != kTagNib) {
        parts.skipCode = PresetReadCode::Tag;
        return SkipToPayloadEnd(in, head) ? PresetReadCode::Ok : PresetReadCode::ShortRead;
    }
    const NibItemRead read = ReadNibItem(in, head, parts.nib);
    if (read.code != PresetReadCode::Ok && !read.standsAfter)
        return read.code;
    if (parts.skipCode == PresetReadCode::Ok)
        parts.skipCode = read.code;
    return PresetReadCode::Ok;
}

ChunkOutcome ReadPreset(ByteReader& in, const ChunkHead& head, CPenMethodMngr& list)
{
    auto ended = [](PresetReadCode code) { return ChunkOutcome{ChunkOutcome::Ended, code}; };
    uint8_t raw[kRecordBytes];
    if (head.size < kRecordBytes || !in.Read(raw, sizeof raw))
        return ended(PresetReadCode::RecordTooShort);
    const PresetRecord record = Decode(raw);
    if (record.version > 1)
        return ended(PresetReadCode::Version);
    if (record.nameLength > head.size - kRecordBytes)
        return ended(PresetReadCode::RecordTooShort);
    std::string name;
    if (!ReadName(in, record.nameLength, name) || !SkipToPayloadEnd(in, head))
        return ended(PresetReadCode::ShortRead);

    TrailingParts parts;
    if (record.flags & flag::Icon)
        if (const PresetReadCode code = ReadIcon(in, parts); code != PresetReadCode::Ok)
            return ended(code);
    if (record.flags & flag::Nib)
        if (const PresetReadCode code = ReadNib(in, parts); code != PresetReadCode::Ok)
            return ended(code);
    if (parts.skipCode == PresetReadCode::Ok && !KindFromBrushMethod(record.block.method))
        parts.skipCode = PresetReadCode::Format;
    if (parts.skipCode != PresetReadCode::Ok)
        return ChunkOutcome{ChunkOutcome::Skipped, parts.skipCode};

    auto preset = std::make_unique<CPenMethodObj>();
    preset->SetBlock(record.block);
    preset->name = std::move(name);
    preset->SetNib(std::move(parts.nib));
    preset->SetIcon(parts.icon.get());
    if (list.Add(std::move(preset)) < 0)
        return ended(PresetReadCode::CannotAdd);
    return ChunkOutcome{};
}

void TakeHeader(const PresetHeader& header, CPenMethodMngr& list)
{
    if (list.Count() > 0)
        list.Select(std::clamp<int32_t>(header.selected, 0, list.Count() - 1));
    const uint8_t flags = header.body[8];
    if (flags & headerflag::Alternate)
        list.SetAlternate(le::I16(header.body + 12), false);
    if (flags & headerflag::Remembered) {
        CPenMethodMngr::Remembered indexes;
        for (int i = 0; i < CPenMethodMngr::kRememberedCount; ++i)
            indexes[size_t(i)] = header.body[18 + kRememberedSlot[i]];
        list.SetRemembered(indexes);
    }
}

WriteCode WritePreset(ByteWriter& out, const CPenMethodObj& preset)
{
    const std::string name = NameBytes(preset.name);
    PresetRecord record;
    record.nameLength = uint16_t(name.size());
    record.flags = (preset.Nib() ? flag::Nib : 0) | (preset.Icon() ? flag::Icon : 0);
    record.block = preset.Block();
    uint8_t raw[kRecordBytes];
    Encode(record, raw);
    if (!WriteRecordChunk(out, kTagItem, raw, sizeof raw, name))
        return WriteCode::ShortWrite;
    WriteCode code = WriteCode::Ok;
    if (preset.Icon()) {
        ImageBlockHead head;
        head.format = kIconFormat;
        head.sourceWidth = preset.Icon()->Width;
        head.sourceHeight = preset.Icon()->Height;
        code = WriteImageBlockFrom(out, head, *preset.Icon());
    }
    if (code == WriteCode::Ok && preset.Nib())
        code = WriteNibItem(out, *preset.Nib());
    return code;
}

void EncodeHeader(const CPenMethodMngr& list, int32_t count, uint8_t (&p)[32])
{
    std::fill_n(p, 32, uint8_t(0));
    le::Put32(p, kTagFile);
    le::Put32(p + 4, PresetHeader::kBodyBytes);
    le::Put16(p + 8, 1);
    le::Put16(p + 12, uint16_t(count));
    le::Put16(p + 14, uint16_t(std::clamp<int32_t>(list.Selected(), -1, INT16_MAX)));
    p[16] = headerflag::Alternate | (list.RememberedSet() ? headerflag::Remembered : 0);
    le::Put16(p + 20, uint16_t(std::clamp<int32_t>(list.Alternate(), -1, INT16_MAX)));
    // Each index has one byte: the writer clamps what does not fit.
    for (int i = 0; i < CPenMethodMngr::kRememberedCount; ++i)
        p[26 + kRememberedSlot[i]] = uint8_t(std::clamp(list.RememberedIndexes()[size_t(i)], 0, 255));
}

} // namespace

PresetReadCode ReadBrushPresets(ByteReader& in, const std::string& fileName, CPenMethodMngr& list, bool append,
                     bool modified)
{
    return ReadPresetList(
        in, {kTagFile, kTagItem}, kBrushListName, fileName, list, append, modified,
        [&](const ChunkHead& head) { return ReadPreset(in, head, list); },
        [&](const PresetHeader& header) { TakeHeader(header, list); });
}

PresetReadCode ReadBrushPresetFile(const std::string& path, CPenMethodMngr& list, bool append, bool modified)
{
    return ReadPresetFileAt(path, kBrushListName,
                            [&](FileReader& in) { return ReadBrushPresets(in, path, list, append, modified); });
}

WriteCode WriteBrushPresetFile(const std::string& path, const CPenMethodMngr& list)
{
    const int32_t count = std::min(list.Count(), 0xFFFF);
    uint8_t header[32];
    EncodeHeader(list, count, header);
    MemoryWriter out;
    WriteCode code = out.Write(header, sizeof header) ? WriteCode::Ok : WriteCode::NoMemory;
    for (int32_t i = 0; i < count && code == WriteCode::Ok; ++i)
        code = WritePreset(out, *list.Item(i));
    return code == WriteCode::Ok ? CommitFile(path, out) : code;
}

} // namespace morvane
