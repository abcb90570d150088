// The stream over a caller's block: reads and writes stop at the block's end,
// seeking works as in a memory stream, and the block is handed back untouched.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

#include "storage/CFixedMemStream.h"

using namespace morvane;
using Origin = CFixedMemStream::Origin;

TEST(CFixedMemStream, ReadsStopAtTheEnd)
{
    const std::array<uint8_t, 8> block{1, 2, 3, 4, 5, 6, 7, 8};
    CFixedMemStream s;
    s.CreateReadOnly(block.data(), block.size());
    EXPECT_EQ(s.Size(), 8);
    EXPECT_EQ(s.Position(), 0);

    uint8_t out[8] = {};
    EXPECT_EQ(s.Read(out, 5), 5);
    EXPECT_EQ(out[4], 5);
    EXPECT_EQ(s.Read(out, 5), 3);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[2], 8);
    EXPECT_EQ(s.Read(out, 1), 0);
    EXPECT_EQ(s.Read(out, -4), 0);
    EXPECT_EQ(s.Position(), 8);
}

TEST(CFixedMemStream, SeekLikeAMemoryStream)
{
    std::array<uint8_t, 8> block{1, 2, 3, 4, 5, 6, 7, 8};
    CFixedMemStream s;
    s.Create(block.data(), block.size());
    uint8_t b = 0;

    EXPECT_EQ(s.Seek(-2, Origin::End), 6);
    EXPECT_EQ(s.Read(&b, 1), 1);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(s.Seek(-5, Origin::Current), 2);
    EXPECT_EQ(s.Read(&b, 1), 1);
    EXPECT_EQ(b, 3);

    // Past the end is a legal position with nothing to read or write there.
    EXPECT_EQ(s.Seek(20, Origin::Begin), 20);
    EXPECT_EQ(s.Read(&b, 1), 0);
    EXPECT_EQ(s.Write(&b, 1), 0);
    EXPECT_EQ(s.Remaining(), 0);

    // Before the start, or an offset that overflows, refuses and stays put.
    EXPECT_EQ(s.Seek(-1, Origin::Begin), -1);
    EXPECT_EQ(s.Seek(std::numeric_limits<int64_t>::max(), Origin::Current), -1);
    EXPECT_EQ(s.Position(), 20);
}

TEST(CFixedMemStream, WritesNeverLeaveTheBlock)
{
    // The stream covers bytes 4..11; the guards around them must survive.
    std::array<uint8_t, 16> memory;
    memory.fill(0xEE);
    CFixedMemStream s;
    s.Create(memory.data() + 4, 8);

    const std::array<uint8_t, 12> data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(s.Seek(4, Origin::Begin), 4);
    EXPECT_EQ(s.Write(data.data(), 12), 4); // short: the block cannot grow
    EXPECT_FALSE(s.SetSize(64));
    EXPECT_TRUE(s.SetSize(8));
    EXPECT_EQ(s.Size(), 8);
    EXPECT_EQ(s.Write(data.data(), 1), 0);

    const std::array<uint8_t, 16> expected{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                                           1,    2,    3,    4,    0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(memory, expected);
}

TEST(CFixedMemStream, ReadOnlyBlockAndDetach)
{
    std::array<uint8_t, 4> block{9, 9, 9, 9};
    CFixedMemStream s;
    s.CreateReadOnly(block.data(), block.size());
    const uint8_t zero[4] = {};
    EXPECT_EQ(s.Write(zero, 4), 0);
    EXPECT_EQ(block[0], 9);

    EXPECT_EQ(s.Detach(), block.data());
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
    uint8_t b = 0;
    EXPECT_EQ(s.Read(&b, 1), 0);
    EXPECT_EQ(s.Memory(), nullptr);
}
