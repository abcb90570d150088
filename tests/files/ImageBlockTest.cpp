// Image blocks: the kind-2 steps undo each other piece by piece, blocks of
// both kinds come back as written, and every hostile head gives its code
// without reading or allocating past what the block may hold.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "files/ByteStream.h"
#include "files/ImageBlock.h"
#include "files/ResultCodes.h"
#include "storage/TMTC.h"

using namespace morvane;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = uint8_t(rng());
    return bytes;
}

int OneBytePerPixel(uint16_t format)
{
    return format == 2 ? 1 : 0;
}
constexpr ImageBlockRules kGrey{OneBytePerPixel, 4096};

ImageBlockHead ScrambledHead(uint8_t group, uint8_t key, uint8_t stride, uint8_t tail)
{
    ImageBlockHead h;
    h.kind = 2;
    h.format = 2;
    h.groupLength = group;
    h.key = key;
    h.stride = stride;
    h.tailCount = tail;
    return h;
}

void Put32At(Bytes& b, size_t at, uint32_t v)
{
    le::Put32(b.data() + at, v);
}

Bytes WriteBlock(const ImageBlockHead& head, const Bytes& pixels)
{
    MemoryWriter out;
    EXPECT_EQ(WriteImageBlock(out, head, pixels), WriteCode::Ok);
    return out.Bytes();
}

} // namespace

TEST(ImageBlock, StepsWorkPerPieceAndUndoEachOther)
{
    // Group 3 and step 3 do not divide 16384, so the second piece only lines
    // up with the expectation when both steps restart at its first byte.
    const ImageBlockHead h = ScrambledHead(3, 0xF0, 2, 0);
    for (size_t length : {16383u, 16384u, 16385u, 40000u}) {
        const Bytes plain = RandomBytes(length, uint32_t(length));
        Bytes expected = plain;
        for (size_t start = 0; start < length; start += 16384) {
            const size_t end = std::min(length, start + 16384);
            for (size_t g = start; g + 3 <= end; g += 3)
                std::swap(expected[g], expected[g + 2]);
            for (size_t k = start; k < end; k += 3)
                expected[k] ^= 0x0F;
        }
        Bytes bytes = plain;
        Scramble(bytes, h);
        EXPECT_EQ(bytes, expected) << length;
        Descramble(bytes, h);
        EXPECT_EQ(bytes, plain) << length;
    }
}

TEST(ImageBlock, BothKindsRoundTripAndEndOnAFourByteBoundary)
{
    // Random pixels do not compress, so the scrambled data span two pieces.
    const Bytes pixels = RandomBytes(150 * 137, 7);
    ImageBlockHead plain;
    plain.format = 2;
    ImageBlockHead heads[] = {plain, ScrambledHead(4, 0x5A, 6, 3), ScrambledHead(0, 0, 0, 0)};
    for (ImageBlockHead& h : heads) {
        h.sourceWidth = 300;
        h.sourceHeight = 274;
        h.width = 150;
        h.height = 137;
        const Bytes block = WriteBlock(h, pixels);
        EXPECT_EQ(block.size() % 4, 0u);

        MemoryReader in(block);
        ImageBlockHead back;
        Bytes unpacked;
        uint64_t length = 0;
        ASSERT_EQ(ReadImageBlock(in, kGrey, back, unpacked, length), BlockReadCode::Ok);
        EXPECT_EQ(unpacked, pixels);
        EXPECT_EQ(length, block.size());
        EXPECT_EQ(in.Remaining(), 0u);
        EXPECT_EQ(back.kind, h.kind);
        EXPECT_EQ(back.sourceWidth, 300);
        EXPECT_EQ(back.height, 137);
        EXPECT_EQ(back.tailCount, h.kind == 2 ? h.tailCount : 0);
        EXPECT_EQ(back.unpackedLength, pixels.size());
    }
}

TEST(ImageBlock, ThumbnailOfAnImageComesBackRowForRow)
{
    TMTC image(5, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            *image.PixelPtr(x, y) = 0xFF000000u | uint32_t(y * 16 + x);
    for (bool scrambled : {false, true}) {
        MemoryWriter out;
        ASSERT_EQ(WriteThumbnailBlock(out, 50, 30, image, scrambled), WriteCode::Ok);
        MemoryReader in(out.Bytes());
        ImageBlockHead head;
        TMTC back;
        uint64_t length = 0;
        ASSERT_EQ(ReadImageBlockInto(in, {ThumbnailBytesPerPixel, 1024}, head, back, length), BlockReadCode::Ok);
        EXPECT_EQ(head.kind, scrambled ? 2 : 1);
        EXPECT_EQ(head.sourceWidth, 50);
        ASSERT_EQ(back.Width, 5);
        ASSERT_EQ(back.Height, 3);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 5; ++x)
                EXPECT_EQ(back.GetPixel(x, y), image.GetPixel(x, y));
    }
}

TEST(ImageBlock, HostileHeadsGiveTheirCodes)
{
    ImageBlockHead good;
    good.format = 2;
    good.width = 8;
    good.height = 4;
    const Bytes valid = WriteBlock(good, RandomBytes(32, 1));

    struct Case {
        const char* name;
        void (*mutate)(Bytes&);
        int code;
        bool standsAfter; // the reader may go on with what follows the block
    };
    const Case cases[] = {
        {"head cut short", [](Bytes& b) { b.resize(40); }, 8, false},
        {"wrong tag", [](Bytes& b) { b[0] = 'X'; }, 16, false},
        {"kind 0", [](Bytes& b) { b[8] = 0; }, 14, true},
        {"kind 3", [](Bytes& b) { b[8] = 3; }, 14, true},
        {"unknown format", [](Bytes& b) { b[10] = 9; }, 15, true},
        {"zero width", [](Bytes& b) { Put32At(b, 24, 0); }, 15, true},
        {"negative height", [](Bytes& b) { Put32At(b, 28, 0xFFFFFFFF); }, 15, true},
        {"side above the cap",
         [](Bytes& b) {
             Put32At(b, 24, 4097);
             Put32At(b, 28, 1);
             Put32At(b, 36, 4097);
         },
         15, true},
        {"huge sides, product wraps",
         [](Bytes& b) {
             Put32At(b, 24, 65536);
             Put32At(b, 28, 65536);
             Put32At(b, 36, 0);
         },
         15, true},
        {"unpacked length not w x h", [](Bytes& b) { Put32At(b, 36, 33); }, 15, true},
        {"stored length beyond the block", [](Bytes& b) { Put32At(b, 32, 0x10000); }, 9, true},
        {"block beyond the stream", [](Bytes& b) { Put32At(b, 4, 0x7FFFFFF0); }, 9, false},
        {"block size below the head", [](Bytes& b) { Put32At(b, 4, 39); }, 9, false},
        {"wrong kind before a block beyond the stream",
         [](Bytes& b) {
             b[8] = 7;
             Put32At(b, 4, 0x7FFFFFF0);
         },
         14, false},
        {"tail count beyond the stored data",
         [](Bytes& b) {
             b[8] = 2;
             b[15] = 0xFF;
             Put32At(b, 32, 8);
         },
         9, true},
        {"data do not unpack",
         [](Bytes& b) {
             b[50] ^= 0xFF;
             b[51] ^= 0xFF;
         },
         9, true},
        {"data unpack to another length",
         [](Bytes& b) {
             Put32At(b, 24, 4);
             Put32At(b, 28, 4);
             Put32At(b, 36, 16);
         },
         9, true},
    };
    for (const Case& c : cases) {
        Bytes bytes = valid;
        c.mutate(bytes);
        const size_t blockEnd = bytes.size();
        if (c.standsAfter) // a good block after it must still be readable
            bytes.insert(bytes.end(), valid.begin(), valid.end());
        MemoryReader in(bytes);
        ImageBlockHead head;
        Bytes pixels{1, 2, 3};
        uint64_t length = 1;
        EXPECT_EQ(CodeNumber(ReadImageBlock(in, kGrey, head, pixels, length)), c.code) << c.name;
        EXPECT_TRUE(pixels.empty()) << c.name;
        EXPECT_EQ(length != 0, c.standsAfter) << c.name;
        if (c.standsAfter) {
            EXPECT_EQ(length, blockEnd) << c.name;
            EXPECT_EQ(ReadImageBlock(in, kGrey, head, pixels, length), BlockReadCode::Ok) << c.name;
        }
    }
}

TEST(ImageBlock, WriterRefusesUnknownKinds)
{
    ImageBlockHead h;
    h.kind = 3;
    MemoryWriter out;
    EXPECT_EQ(CodeNumber(WriteImageBlock(out, h, Bytes(4, 0))), 14);
    EXPECT_EQ(out.Position(), 0u);
}
