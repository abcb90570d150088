// The preset walk: header checks, skip rules (payload end or past the blocks
// an item read after it), the count against the end of the file, and the
// two messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/ByteStream.h"
#include "files/ChunkWalker.h"
#include "platform/UserNotifier.h"

using namespace morvane;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kFile = le::Tag("TEST");
constexpr uint32_t kItem = le::Tag("ITEM");

void Put(Bytes& b, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

Bytes Header(uint16_t count, uint16_t version = 1, uint32_t size = 24, uint32_t tag = kFile)
{
    Bytes b;
    Put(b, tag, 4);
    Put(b, size, 4);
    Put(b, version, 2);
    Put(b, 0, 2);
    Put(b, count, 2);
    Put(b, 0xFFFF, 2); // selected -1
    b.resize(32, 0);
    return b;
}

// A chunk whose payload is one byte, then `after` bytes outside its size.
void Chunk(Bytes& b, uint32_t tag, uint8_t value, uint32_t size = 4, uint32_t after = 0)
{
    Put(b, tag, 4);
    Put(b, size, 4);
    b.push_back(value);
    b.resize(b.size() + size - 1 + after, 0xEE);
}

struct Walk {
    WalkResult result;
    std::vector<int> values;
};

// Items whose first byte is 0 are skipped; 1 reads `after` bytes past the
// payload; 2 ends the walk with 12.
Walk WalkOver(const Bytes& bytes, uint32_t count, uint32_t after = 0)
{
    MemoryReader in(bytes);
    in.Skip(32);
    Walk walk;
    walk.result = WalkChunks(in, count, kItem, [&](const ChunkHead& head) {
        uint8_t v = 0;
        in.Read(&v, 1);
        walk.values.push_back(v);
        if (v == 0)
            return ChunkOutcome{ChunkOutcome::Skipped, PresetReadCode::Format};
        if (v == 2)
            return ChunkOutcome{ChunkOutcome::Ended, PresetReadCode::Version};
        SkipToPayloadEnd(in, head);
        in.Skip(after);
        return ChunkOutcome{};
    });
    return walk;
}

} // namespace

TEST(ChunkWalker, HeaderChecks)
{
    struct Case {
        Bytes bytes;
        int code;
    };
    Bytes cut = Header(1);
    cut.resize(20);
    const Case cases[] = {
        {Header(3), 0},         {cut, 9},           {Header(3, 1, 24, le::Tag("PSST")), 16},
        {Header(3, 1, 28), 17}, {Header(3, 2), 12}, {Header(0), 37},
    };
    for (const Case& c : cases) {
        MemoryReader in(c.bytes);
        PresetHeader header;
        EXPECT_EQ(CodeNumber(ReadPresetHeader(in, kFile, header)), c.code);
        if (c.code == 0) {
            EXPECT_EQ(header.count, 3);
            EXPECT_EQ(header.selected, -1);
        }
    }
}

TEST(ChunkWalker, SkipsForeignAndFailedItemsAndStandsAfterTrailingBlocks)
{
    Bytes b = Header(4);
    Chunk(b, kItem, 1, 4, 12); // 12 bytes after the chunk belong to the item
    Chunk(b, le::Tag("XXXX"), 1);
    Chunk(b, kItem, 0, 8);
    Chunk(b, kItem, 1);
    const Walk walk = WalkOver(b, 4, 12);
    EXPECT_EQ(walk.values, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(walk.result.code, PresetReadCode::Ok);
    EXPECT_EQ(walk.result.taken, 2u);
    EXPECT_EQ(walk.result.notRead, 2u);
}

TEST(ChunkWalker, CountAndEndOfFile)
{
    Bytes two = Header(2);
    Chunk(two, kItem, 1);
    Chunk(two, kItem, 1);

    // The count stops the walk before the file's end, the file before the count.
    EXPECT_EQ(WalkOver(two, 1).values.size(), 1u);
    const Walk past = WalkOver(two, 500);
    EXPECT_EQ(past.result.code, PresetReadCode::Ok);
    EXPECT_EQ(past.result.taken, 2u);
    EXPECT_EQ(past.result.notRead, 498u);

    Bytes tooLarge = two;
    Chunk(tooLarge, kItem, 1, 100);
    tooLarge.resize(tooLarge.size() - 1);
    EXPECT_EQ(CodeNumber(WalkOver(tooLarge, 3).result.code), 10);

    Bytes cutHead = two;
    cutHead.resize(cutHead.size() + 5, 0);
    EXPECT_EQ(CodeNumber(WalkOver(cutHead, 3).result.code), 9);

    Bytes ended = two;
    Chunk(ended, kItem, 2);
    Chunk(ended, kItem, 1);
    const Walk stop = WalkOver(ended, 4);
    EXPECT_EQ(CodeNumber(stop.result.code), 12);
    EXPECT_EQ(stop.result.taken, 2u);

    // Nothing taken: the reason the last item was skipped, or 9 for no chunk.
    Bytes skippedOnly = Header(1);
    Chunk(skippedOnly, kItem, 0);
    EXPECT_EQ(CodeNumber(WalkOver(skippedOnly, 1).result.code), 15);
    EXPECT_EQ(CodeNumber(WalkOver(Header(2), 2).result.code), 9);
}

TEST(ChunkWalker, MessagesFailureWhenNothingWasReadElseTheCountNotRead)
{
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    ReportPresetRead("ペン先集", PresetReadCode::HeaderSize, WalkResult{});
    ReportPresetRead("ブラシ集", PresetReadCode::RecordTooShort, WalkResult{PresetReadCode::RecordTooShort, 2, 3});
    ReportPresetRead("ブラシ集", PresetReadCode::Ok, WalkResult{PresetReadCode::Ok, 5, 0});
    SetNotifier(previous);
    ASSERT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(notifier.messages[0].text, "ペン先集の読み込みに失敗しました! (err=17)");
    EXPECT_EQ(notifier.messages[1].text, "3個のブラシ集が読み込めませんでした！");
}
