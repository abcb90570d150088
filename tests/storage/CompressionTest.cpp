// Block compression: round trips through both sinks, and every kind of block
// that is not exactly one of our frames of the expected length is refused.
#include <gtest/gtest.h>

#include <zstd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "platform/MemoryBudget.h"
#include "storage/Compression.h"

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

// A layer-like buffer: transparent white pixels.
Bytes FlatPixels(size_t pixels)
{
    Bytes bytes(pixels * 4);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = i % 4 == 3 ? 0x00 : 0xFF;
    return bytes;
}

Bytes Patterned(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = uint8_t((i * 7) & 0xFF);
    return bytes;
}

Bytes Compressed(const Bytes& src, int level = kCompressLevelDocument)
{
    MemoryCompressSink sink;
    EXPECT_TRUE(Compress(src, sink, level));
    EXPECT_EQ(sink.CompressedBytes(), sink.Data().size());
    return {sink.Data().begin(), sink.Data().end()};
}

bool Decompresses(const Bytes& src, size_t expected, Bytes* out = nullptr)
{
    Bytes target(expected, 0xA5);
    bool ok = Decompress(src, target);
    if (out)
        *out = std::move(target);
    return ok;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes ReadFixture(const char* name)
{
    const char* root = std::getenv("MORVANE_TEST_DATA");
    std::ifstream in(std::filesystem::path(root ? root : "tests/data") / "compression" / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t CollectInto(const void* data, size_t elementSize, size_t count, void* user)
{
    auto* bytes = static_cast<const uint8_t*>(data);
    static_cast<Bytes*>(user)->insert(static_cast<Bytes*>(user)->end(), bytes, bytes + elementSize * count);
    return count;
}

size_t TakeHalf(const void*, size_t, size_t count, void*) { return count / 2; }

} // namespace

TEST(Compression, RoundTrips)
{
    struct Case {
        const char* what;
        Bytes data;
    };
    const Case cases[] = {
        {"empty", {}},
        {"one byte", {0x42}},
        {"incompressible, larger than the first buffer", RandomBytes(300 * 1024, 1)},
        {"flat 1024 x 1024 layer", FlatPixels(1024 * 1024)},
    };
    for (const Case& c : cases)
        for (int level : {kCompressLevelEvents, kCompressLevelDocument, 0, 99}) {
            SCOPED_TRACE(testing::Message() << c.what << ", level " << level);
            Bytes packed = Compressed(c.data, level);
            Bytes unpacked;
            EXPECT_TRUE(Decompresses(packed, c.data.size(), &unpacked));
            EXPECT_EQ(unpacked, c.data);
        }
    // The flat layer must actually shrink, or compression is not happening.
    EXPECT_LT(Compressed(FlatPixels(1024 * 1024)).size(), 4096u);
}

TEST(Compression, SinksAgreeAndMemorySinkRestartsEachTime)
{
    const Bytes data = RandomBytes(200 * 1024, 2);
    Bytes viaCallback;
    CallbackCompressSink callback(CollectInto, &viaCallback);
    ASSERT_TRUE(Compress(data, callback, kCompressLevelEvents));
    EXPECT_EQ(callback.CompressedBytes(), viaCallback.size());

    MemoryCompressSink memory;
    ASSERT_TRUE(Compress(Patterned(50000), memory, kCompressLevelEvents));
    ASSERT_TRUE(Compress(data, memory, kCompressLevelEvents));
    EXPECT_EQ(Bytes(memory.Data().begin(), memory.Data().end()), viaCallback);
    EXPECT_GE(memory.Capacity(), memory.Data().size());
}

TEST(Compression, FailingSinksFailTheCompression)
{
    const Bytes data = RandomBytes(200 * 1024, 3);
    CallbackCompressSink shortWriter(TakeHalf, nullptr);
    EXPECT_FALSE(Compress(data, shortWriter, kCompressLevelEvents));
    EXPECT_EQ(shortWriter.CompressedBytes(), 0u);
    CallbackCompressSink noRoutine(nullptr, nullptr);
    EXPECT_FALSE(Compress(data, noRoutine, kCompressLevelEvents));

    const uint64_t before = MemoryBudget::InUse();
    {
        MemoryCompressSink memory;
        {
            ScopedMemoryLimit tooSmallForFirstBuffer(32 * 1024);
            EXPECT_FALSE(Compress(data, memory, kCompressLevelEvents));
        }
        {
            ScopedMemoryLimit tooSmallToGrow(100 * 1024);
            EXPECT_FALSE(Compress(data, memory, kCompressLevelEvents));
            EXPECT_EQ(memory.CompressedBytes(), 0u);
        }
        // The same sink works once memory is back.
        ASSERT_TRUE(Compress(data, memory, kCompressLevelEvents));
        Bytes unpacked;
        EXPECT_TRUE(Decompresses({memory.Data().begin(), memory.Data().end()}, data.size(), &unpacked));
        EXPECT_EQ(unpacked, data);
    }
    EXPECT_EQ(MemoryBudget::InUse(), before);
}

TEST(Compression, RefusesEverythingButOneFrameOfTheExpectedLength)
{
    const Bytes data = Patterned(4096);
    const Bytes frame = Compressed(data);
    ASSERT_TRUE(Decompresses(frame, data.size()));

    Bytes plainZstd(ZSTD_compressBound(data.size()));
    plainZstd.resize(ZSTD_compress(plainZstd.data(), plainZstd.size(), data.data(), data.size(), 3));
    Bytes bomb(ZSTD_compressBound(1 << 20));
    const Bytes zeros(1 << 20, 0);
    bomb.resize(ZSTD_compress(bomb.data(), bomb.size(), zeros.data(), zeros.size(), 3));
    const Bytes skippable{0x50, 0x2A, 0x4D, 0x18, 0, 0, 0, 0};
    const Bytes zlibBlock = ReadFixture("zlib_4096.bin"); // Python zlib.compress of Patterned(4096), level 6
    ASSERT_FALSE(zlibBlock.empty());

    struct Case {
        const char* what;
        Bytes src;
        size_t expected;
    };
    const Case cases[] = {
        {"empty block", {}, 0},
        {"truncated by one byte", Bytes(frame.begin(), frame.end() - 1), data.size()},
        {"only the header", Bytes(frame.begin(), frame.begin() + 6), data.size()},
        {"trailing garbage", Concat(frame, {0}), data.size()},
        {"two frames", Concat(frame, frame), 2 * data.size()},
        {"skippable frame after", Concat(frame, skippable), data.size()},
        {"expected one byte less", frame, data.size() - 1},
        {"expected one byte more", frame, data.size() + 1},
        {"expected nothing", frame, 0},
        {"frame without checksum", plainZstd, data.size()},
        {"frame claiming 1 MiB into 4 KiB", bomb, 4096},
        {"zlib block", zlibBlock, data.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Decompresses(c.src, c.expected));
    }
}

// A spoilt byte is either refused or harmless: some bits of an entropy-coded
// stream are padding, and flipping them still gives the original bytes. What
// must never happen is success with different data.
TEST(Compression, NeverAcceptsSingleByteCorruptionAsSuccess)
{
    const Bytes data = Concat(Patterned(3000), RandomBytes(1000, 4));
    const Bytes frame = Compressed(data);
    int refused = 0, tried = 0;
    for (uint8_t flip : {0x01, 0x80, 0xFF})
        for (size_t at = 0; at < frame.size(); ++at, ++tried) {
            Bytes spoilt = frame, unpacked;
            spoilt[at] ^= flip;
            if (!Decompresses(spoilt, data.size(), &unpacked))
                ++refused;
            else
                EXPECT_EQ(unpacked, data) << "byte " << at << " xor " << int(flip);
        }
    EXPECT_GT(refused, tried * 99 / 100);
}
