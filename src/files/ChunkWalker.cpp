#include "files/ChunkWalker.h"

#include <cstdio>
#include <string>

#include "files/ByteStream.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {

std::string Format(const char* pattern, auto... values)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

} // namespace

PresetReadCode ReadPresetHeader(ByteReader& in, uint32_t tag, PresetHeader& header)
{
    uint8_t head[8];
    if (!in.Read(head, sizeof head))
        return PresetReadCode::ShortRead;
    if (le::U32(head) != tag)
        return PresetReadCode::Tag;
    if (le::U32(head + 4) != PresetHeader::kBodyBytes)
        return PresetReadCode::HeaderSize;
    if (!in.Read(header.body, sizeof header.body))
        return PresetReadCode::ShortRead;
    header.version = le::U16(header.body);
    header.count = le::U16(header.body + 4);
    header.selected = le::I16(header.body + 6);
    if (header.version > 1)
        return PresetReadCode::Version;
    return header.count == 0 ? PresetReadCode::NoItems : PresetReadCode::Ok;
}

bool SkipToPayloadEnd(ByteReader& in, const ChunkHead& head)
{
    return in.Position() >= head.PayloadEnd() || in.Skip(head.PayloadEnd() - in.Position());
}

WalkResult WalkChunks(ByteReader& in, uint32_t count, uint32_t itemTag,
                      const std::function<ChunkOutcome(const ChunkHead&)>& readItem)
{
    WalkResult result;
    PresetReadCode lastSkip = PresetReadCode::ShortRead;
    uint32_t seen = 0;
    for (; seen < count && in.Remaining() > 0; ++seen) {
        uint8_t raw[8];
        if (!in.Read(raw, sizeof raw)) {
            result.code = PresetReadCode::ShortRead;
            break;
        }
        ChunkHead head{le::U32(raw), le::U32(raw + 4), in.Position()};
        if (head.size > in.Remaining()) {
            result.code = PresetReadCode::PastEnd;
            break;
        }
        const ChunkOutcome outcome =
            head.tag == itemTag ? readItem(head) : ChunkOutcome{ChunkOutcome::Skipped, PresetReadCode::Tag};
        if (outcome.what == ChunkOutcome::Ended) {
            result.code = outcome.code;
            break;
        }
        if (outcome.what == ChunkOutcome::Taken)
            ++result.taken;
        else
            lastSkip = outcome.code;
        if (!SkipToPayloadEnd(in, head)) {
            result.code = PresetReadCode::ShortRead;
            break;
        }
    }
    result.notRead = count - result.taken;
    if (result.code == PresetReadCode::Ok && result.taken == 0)
        result.code = lastSkip;
    return result;
}

void ReportPresetRead(const char* listName, PresetReadCode code, const WalkResult& walk)
{
    if (code != PresetReadCode::Ok && walk.taken == 0)
        Notifier().Warn(Format("%sの読み込みに失敗しました! (err=%d)", listName, CodeNumber(code)));
    else if (walk.notRead > 0)
        Notifier().Warn(Format("%d個の%sが読み込めませんでした！", int(walk.notRead), listName));
}

} // namespace morvane
