#pragma once
// The walk over a preset file: a fixed header naming the item count, then
// chunks of tag, size and payload, some followed by image blocks outside
// their size. One walker gives every preset reader the same length checks,
// skip rules, result codes and messages.
#include <cstdint>
#include <functional>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;

// The tag, the header size (which must be 24) and the 24 header bytes.
struct PresetHeader {
    static constexpr uint32_t kBodyBytes = 24;
    uint8_t body[kBodyBytes] = {};
    uint16_t version = 0;
    uint16_t count = 0;
    int16_t selected = 0;
};

// Ok; ShortRead; Tag; HeaderSize (not 24); Version (above 1); NoItems.
PresetReadCode ReadPresetHeader(ByteReader& in, uint32_t tag, PresetHeader& header);

struct ChunkHead {
    uint32_t tag = 0;
    uint32_t size = 0;
    uint64_t payloadStart = 0;
    uint64_t PayloadEnd() const { return payloadStart + size; }
};

// What an item reader made of its chunk. Skipped items are counted as not
// read and the walk goes on; Ended stops the walk with the code.
struct ChunkOutcome {
    enum What { Taken, Skipped, Ended };
    What what = Taken;
    PresetReadCode code = PresetReadCode::Ok;
};

struct WalkResult {
    // The code that ended the walk; when nothing was taken, the reason the
    // last item was skipped (ShortRead when the file held no chunk at all).
    PresetReadCode code = PresetReadCode::Ok;
    uint32_t taken = 0;
    uint32_t notRead = 0; // announced items that did not make it into the list
};

// Walks up to `count` chunks, stopping early at the end of the stream. A
// chunk of another tag is skipped; one of `itemTag` goes to readItem, which
// stands at its payload. After each chunk the reader moves on to its payload
// end unless the item reader already went past it (blocks after the chunk).
// A chunk larger than the rest of the stream ends the walk with PastEnd, a
// head cut short with ShortRead.
WalkResult WalkChunks(ByteReader& in, uint32_t count, uint32_t itemTag,
                      const std::function<ChunkOutcome(const ChunkHead&)>& readItem);

// Moves to the chunk's payload end when the reader stands before it.
bool SkipToPayloadEnd(ByteReader& in, const ChunkHead& head);

// The user's messages after a read of the list named `listName`: the
// failure with its code when nothing was read, else the number of items
// that could not be read, if any.
void ReportPresetRead(const char* listName, PresetReadCode code, const WalkResult& walk);

} // namespace morvane
