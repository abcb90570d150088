#include "files/ChunkWalker.h"

#include <cstdio>
#include <string>

#include "files/ByteStream.h"
#include "files/ResultCodes.h"
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

int ReadPresetHeader(ByteReader& in, uint32_t tag, PresetHeader& header)
{
    uint8_t head[8];
    if (!in.Read(head, sizeof head))
        return filecode::kShortRead;
    if (le::U32(head) != tag)
        return filecode::kTag;
    if (le::U32(head + 4) != PresetHeader::kBodyBytes)
        return filecode::kHeaderSize;
    if (!in.Read(header.body, sizeof header.body))
        return filecode::kShortRead;
    header.version = le::U16(header.body);
    header.count = le::U16(header.body + 4);
    header.selected = le::I16(header.body + 6);
    if (header.version > 1)
        return filecode::kVersion;
    return header.count == 0 ? filecode::kNoItems : filecode::kOk;
}

bool SkipToPayloadEnd(ByteReader& in, const ChunkHead& head)
{
    return in.Position() >= head.PayloadEnd() || in.Skip(head.PayloadEnd() - in.Position());
}

WalkResult WalkChunks(ByteReader& in, uint32_t count, uint32_t itemTag,
                      const std::function<ChunkOutcome(const ChunkHead&)>& readItem)
{
    WalkResult result;
    int lastSkip = filecode::kShortRead;
    uint32_t seen = 0;
    for (; seen < count && in.Remaining() > 0; ++seen) {
        uint8_t raw[8];
        if (!in.Read(raw, sizeof raw)) {
            result.code = filecode::kShortRead;
            break;
        }
        ChunkHead head{le::U32(raw), le::U32(raw + 4), in.Position()};
        if (head.size > in.Remaining()) {
            result.code = filecode::kPastEnd;
            break;
        }
        const ChunkOutcome outcome =
            head.tag == itemTag ? readItem(head) : ChunkOutcome{ChunkOutcome::Skipped, filecode::kTag};
        if (outcome.what == ChunkOutcome::Ended) {
            result.code = outcome.code;
            break;
        }
        if (outcome.what == ChunkOutcome::Taken)
            ++result.taken;
        else
            lastSkip = outcome.code;
        if (!SkipToPayloadEnd(in, head)) {
            result.code = filecode::kShortRead;
            break;
        }
    }
    result.notRead = count - result.taken;
    if (result.code == filecode::kOk && result.taken == 0)
        result.code = lastSkip;
    return result;
}

void ReportPresetRead(const char* listName, int code, const WalkResult& walk)
{
    if (code != filecode::kOk && walk.taken == 0)
        Notifier().Warn(Format("%sの読み込みに失敗しました! (err=%d)", listName, code));
    else if (walk.notRead > 0)
        Notifier().Warn(Format("%d個の%sが読み込めませんでした！", int(walk.notRead), listName));
}

} // namespace morvane
