// The packet table: lengths of every kind, the hostile headers and lengths,
// step ends, and the walker's counts and stop.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "events/EventPacketTable.h"

namespace morvane {
namespace {

std::vector<uint8_t> Packet(uint8_t category, uint8_t code, std::vector<uint8_t> payload)
{
    payload.insert(payload.begin(), {category, code});
    return payload;
}

std::vector<uint8_t> Zeros(size_t n, std::initializer_list<std::pair<size_t, uint8_t>> set = {})
{
    std::vector<uint8_t> v(n, 0);
    for (auto [at, b] : set)
        v[at] = b;
    return v;
}

struct LengthCase {
    const char* what;
    std::vector<uint8_t> packet;
    int64_t expected;
};

TEST(EventPacketTable, PayloadLengthOfHeadersAndLengthFields)
{
    const LengthCase cases[] = {
        {"{17,16} carries 192 bytes", Packet(17, 16, Zeros(192)), 192},
        {"{18,1} carries 12 bytes", Packet(18, 1, Zeros(12)), 12},
        {"{17,1} is a point packet too", Packet(17, 1, Zeros(12)), 12},
        {"{18,0} has no points", Packet(18, 0, Zeros(12)), -1},
        {"{18,17} holds too many", Packet(18, 17, Zeros(204)), -1},
        {"{17,17} holds too many", Packet(17, 17, Zeros(204)), -1},
        {"{12,0} is no image block", Packet(12, 0, Zeros(22)), -1},
        {"category 7 does not exist", Packet(7, 0, Zeros(8)), -1},
        {"category 255 does not exist", Packet(255, 255, Zeros(8)), -1},
        {"{2,11} is not a document command", Packet(2, 11, {}), -1},
        {"{32,2} is no filter without a record", Packet(32, 2, Zeros(4)), -1},
        {"{33,2} is", Packet(33, 2, Zeros(12)), 12},
        {"an unknown DataBlock goes by its length", Packet(1, 99, Zeros(9, {{0, 5}})), 9},
        {"a DataBlock past the end", Packet(1, 99, Zeros(9, {{0, 6}})), -1},
        {"a u32 length near 2^32", Packet(1, 16, Zeros(8, {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}})), -1},
        {"{38,*} any code, u16 length", Packet(38, 200, Zeros(53, {{4, 3}})), 53},
        {"the fixed part cut short", Packet(2, 8, Zeros(27)), -1},
        {"{2,8} whole", Packet(2, 8, Zeros(28)), 28},
        {"{2,255} empty", Packet(2, 255, {}), 0},
        {"a length field cut short", Packet(0, 33, Zeros(1)), -1},
        {"{0,33} text of 4", Packet(0, 33, Zeros(6, {{0, 4}})), 6},
        {"{5,0} i32 length", Packet(5, 0, Zeros(28, {{12, 4}})), 28},
        {"{5,0} negative length", Packet(5, 0, Zeros(24, {{12, 0xFE}, {13, 0xFF}, {14, 0xFF}, {15, 0xFF}})), -1},
        {"{6,4} two points", Packet(6, 4, Zeros(20, {{2, 2}})), 20},
        {"{6,4} negative count", Packet(6, 4, Zeros(4, {{2, 0xFF}, {3, 0xFF}})), -1},
        {"{6,4} largest count past the end", Packet(6, 4, Zeros(4, {{2, 0xFF}, {3, 0x7F}})), -1},
        {"{10,18} u16 count of 8-byte points", Packet(10, 18, Zeros(24, {{6, 2}})), 24},
        {"{10,18} 0xFFFF points", Packet(10, 18, Zeros(64, {{6, 0xFF}, {7, 0xFF}})), -1},
        {"{0,40} 24 bytes", Packet(0, 40, Zeros(36, {{6, 24}})), 36},
        {"{0,40} 16 slots", Packet(0, 40, Zeros(396, {{6, 0x80}, {7, 1}})), 396},
        {"{0,40} 17 slots", Packet(0, 40, Zeros(420, {{6, 0x98}, {7, 1}})), -1},
        {"{0,40} no slot", Packet(0, 40, Zeros(12)), -1},
        {"{0,40} not a multiple of 24", Packet(0, 40, Zeros(37, {{6, 25}})), -1},
        {"{0,36} u32 length at +156", Packet(0, 36, Zeros(162, {{156, 2}})), 162},
        {"{0,44} u32 length at +36", Packet(0, 44, Zeros(42, {{36, 2}})), 42},
        {"{12,1} u32 length at +12", Packet(12, 1, Zeros(26, {{12, 4}})), 26},
        {"{13,2} u32 length at +60", Packet(13, 2, Zeros(74, {{60, 2}})), 74},
        {"{13,6} is no pixel block", Packet(13, 6, Zeros(54)), -1},
        {"{23,0} stroke start", Packet(23, 0, Zeros(4)), 4},
        {"{23,1} is not", Packet(23, 1, Zeros(4)), -1},
        {"{4,11} name after 42 bytes", Packet(4, 11, Zeros(46, {{40, 4}})), 46},
        {"a header alone", {2}, -1},
    };
    for (const LengthCase& c : cases)
        EXPECT_EQ(PayloadLength(c.packet), c.expected) << c.what;
}

TEST(EventPacketTable, EachHeaderHasOneRowAndStepEndsFollowTheCategory)
{
    std::vector<int> rowsOf(256 * 256, 0);
    for (const PacketKind& k : PacketKinds()) {
        ASSERT_LE(k.firstCode, k.lastCode);
        // A reader that holds only the fixed part can read the length field.
        if (k.lengthWidth != 0) {
            EXPECT_LE(k.lengthOffset + k.lengthWidth, k.fixedSize) << int(k.category) << "," << int(k.firstCode);
        }
        for (int c = k.firstCode; c <= k.lastCode; ++c)
            ++rowsOf[size_t(k.category) * 256 + size_t(c)];
        const bool strokeStart = (k.category >= 20 && k.category <= 24) || k.category == 16 || k.category == 48 ||
                                 k.category == 49;
        const bool goesOn = k.category <= 1 || k.category == 17 || strokeStart;
        EXPECT_EQ(k.endsStep, !goesOn) << int(k.category) << "," << int(k.firstCode);
        EXPECT_EQ(k.validBit >= 0, k.category == 0 && k.firstCode < 128 && k.firstCode != 36 && k.firstCode != 44);
    }
    for (size_t i = 0; i < rowsOf.size(); ++i) {
        ASSERT_LE(rowsOf[i], 1) << i / 256 << "," << i % 256;
        EXPECT_EQ(FindPacketKind(uint8_t(i / 256), uint8_t(i % 256)) != nullptr, rowsOf[i] == 1);
    }
    // StateRecords with a bit: each bit once, none in byte 3.
    uint32_t bits = 0;
    for (const PacketKind& k : PacketKinds())
        if (k.validBit >= 0) {
            ASSERT_LT(k.validBit, 24);
            EXPECT_EQ(bits & (1u << k.validBit), 0u) << int(k.firstCode);
            bits |= 1u << k.validBit;
        }
    EXPECT_EQ(bits, 0x00FFFFFFu);
}

TEST(EventPacketTable, WalkCountsPacketsAndStepsAndStopsAtTheFirstBadPacket)
{
    std::vector<uint8_t> stream;
    auto add = [&](const std::vector<uint8_t>& p) { stream.insert(stream.end(), p.begin(), p.end()); };
    add(Packet(2, 254, {}));
    add(Packet(1, 17, Zeros(20, {{0, 16}})));
    add(Packet(0, 16, Zeros(8)));
    add(Packet(23, 0, Zeros(4)));
    add(Packet(17, 16, Zeros(192)));
    add(Packet(18, 3, Zeros(36)));
    add(Packet(4, 1, Zeros(4)));
    add(Packet(2, 255, {}));
    PacketWalk walk = WalkPackets(stream);
    EXPECT_TRUE(walk.ok);
    EXPECT_EQ(walk.packets, 8u);
    EXPECT_EQ(walk.steps, 4u);

    struct Seen {
        std::vector<uint64_t> offsets;
    } seen;
    auto visit = [](void* user, uint64_t at, uint8_t, uint8_t, std::span<const uint8_t>) {
        static_cast<Seen*>(user)->offsets.push_back(at);
        return true;
    };
    WalkPackets(stream, visit, &seen);
    EXPECT_EQ(seen.offsets, (std::vector<uint64_t>{0, 2, 24, 34, 40, 234, 272, 278}));

    const size_t bad = stream.size() - 8; // the {4,1}
    stream[bad] = 7;
    walk = WalkPackets(stream);
    EXPECT_FALSE(walk.ok);
    EXPECT_EQ(walk.badOffset, bad);
    EXPECT_EQ(walk.packets, 6u);
    EXPECT_EQ(walk.steps, 2u);

    stream[bad] = 4;
    stream.pop_back(); // {2,255} loses its code byte: a header cut short
    walk = WalkPackets(stream);
    EXPECT_FALSE(walk.ok);
    EXPECT_EQ(walk.badOffset, stream.size() - 1);
    EXPECT_TRUE(WalkPackets({}).ok);
}

} // namespace
} // namespace morvane
