// The walk through the segmented store against WalkPackets over a copy of
// the same bytes: packets placed so that headers, fixed parts, length
// fields and payloads straddle the first segment boundary, bad packets past
// it, ranges that start and end anywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <tuple>
#include <vector>

#include "events/CMemSeg.h"
#include "events/EventPacketTable.h"
#include "events/EventWalk.h"

namespace morvane {
namespace {

constexpr int64_t kSegment = CSegmentedStore::kDefaultSegmentSize;

void Put(std::vector<uint8_t>& stream, uint8_t category, uint8_t code, std::vector<uint8_t> payload)
{
    stream.push_back(category);
    stream.push_back(code);
    stream.insert(stream.end(), payload.begin(), payload.end());
}

// A valid packet of the kind with the code given: its length field, if any,
// takes the smallest value its rule allows past zero.
void PutKind(std::vector<uint8_t>& stream, const PacketKind& kind, uint8_t code)
{
    const uint32_t value = kind.lengthStep ? kind.lengthMin : 3;
    std::vector<uint8_t> payload(kind.fixedSize + kind.perCodeSize * code +
                                 (kind.lengthWidth ? value * kind.lengthMultiplier : 0));
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7 + code);
    for (int i = 0; i < kind.lengthWidth; ++i)
        payload[kind.lengthOffset + size_t(i)] = uint8_t(value >> (8 * i));
    Put(stream, kind.category, code, payload);
}

// Every kind, with its first and last code.
std::vector<uint8_t> EveryKind()
{
    std::vector<uint8_t> stream;
    for (const PacketKind& kind : PacketKinds()) {
        PutKind(stream, kind, kind.firstCode);
        if (kind.lastCode != kind.firstCode)
            PutKind(stream, kind, kind.lastCode);
    }
    return stream;
}

// A DataBlock of `size` bytes in all (at least 6) to move what follows.
void PutFiller(std::vector<uint8_t>& stream, size_t size)
{
    std::vector<uint8_t> payload(size - 2, 0xEE);
    const auto length = uint32_t(size - 6);
    for (int i = 0; i < 4; ++i)
        payload[size_t(i)] = uint8_t(length >> (8 * i));
    Put(stream, 1, 99, payload);
}

struct Seen {
    std::vector<std::tuple<uint64_t, uint8_t, uint8_t, std::vector<uint8_t>>> packets;
    uint64_t refuseAt = UINT64_MAX;
    static bool Visit(void* user, uint64_t at, uint8_t category, uint8_t code,
                      std::span<const uint8_t> payload)
    {
        auto* self = static_cast<Seen*>(user);
        self->packets.emplace_back(at, category, code, std::vector<uint8_t>(payload.begin(), payload.end()));
        return at != self->refuseAt;
    }
};

// The store walk of [begin, end) matches WalkPackets over those bytes, in its
// counts and in every packet the visitor sees.
void ExpectSameWalk(const std::vector<uint8_t>& bytes, int64_t begin, int64_t end,
                    uint64_t refuseAt = UINT64_MAX)
{
    SCOPED_TRACE(testing::Message() << "range " << begin << ".." << end);
    CSegmentedStore store;
    ASSERT_TRUE(store.Append(bytes.data(), int64_t(bytes.size())));
    Seen expectedSeen{{}, refuseAt}, seen{{}, refuseAt};
    const auto span = std::span(bytes).subspan(size_t(begin), size_t(end - begin));
    const PacketWalk expected = WalkPackets(span, &Seen::Visit, &expectedSeen);
    const PacketWalk walk = WalkStorePackets(store, begin, end, &Seen::Visit, &seen);
    EXPECT_EQ(walk.ok, expected.ok);
    EXPECT_EQ(walk.packets, expected.packets);
    EXPECT_EQ(walk.steps, expected.steps);
    EXPECT_EQ(walk.badOffset, expected.badOffset);
    EXPECT_EQ(seen.packets, expectedSeen.packets);

    const PacketWalk bare = WalkStorePackets(store, begin, end);
    const PacketWalk bareExpected = WalkPackets(span);
    EXPECT_EQ(std::tie(bare.ok, bare.packets, bare.steps, bare.badOffset),
              std::tie(bareExpected.ok, bareExpected.packets, bareExpected.steps, bareExpected.badOffset));
}

// Offsets of the packets of a valid stream, and its end.
std::vector<uint64_t> PacketStarts(const std::vector<uint8_t>& stream)
{
    std::vector<uint64_t> starts;
    WalkPackets(
        stream,
        [](void* user, uint64_t at, uint8_t, uint8_t, std::span<const uint8_t>) {
            static_cast<std::vector<uint64_t>*>(user)->push_back(at);
            return true;
        },
        &starts);
    starts.push_back(stream.size());
    return starts;
}

TEST(EventWalk, EveryKindAcrossTheSegmentBoundaryMatchesTheWalkOfACopy)
{
    const std::vector<uint8_t> kinds = EveryKind();
    const std::vector<uint64_t> starts = PacketStarts(kinds);
    ASSERT_EQ(starts.back(), kinds.size()) << "the kinds make a valid stream";
    // Each packet in turn straddles the boundary: cut after its first byte,
    // its header, one byte more, its middle and all but its last byte.
    for (size_t i = 0; i + 1 < starts.size(); ++i) {
        const uint64_t size = starts[i + 1] - starts[i];
        for (uint64_t cut : {uint64_t(1), uint64_t(2), uint64_t(3), size / 2, size - 1}) {
            if (cut < 1 || cut >= size)
                continue;
            std::vector<uint8_t> stream;
            PutFiller(stream, size_t(uint64_t(kSegment) - cut - starts[i]));
            stream.insert(stream.end(), kinds.begin(), kinds.end());
            ExpectSameWalk(stream, 0, int64_t(stream.size()));
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

TEST(EventWalk, RangesStartingAndEndingAnywhere)
{
    std::vector<uint8_t> stream;
    PutFiller(stream, size_t(kSegment) - 150);
    std::vector<uint8_t> kinds = EveryKind();
    stream.insert(stream.end(), kinds.begin(), kinds.begin() + 2000);
    const auto size = int64_t(stream.size());
    // Starts at the filler, inside it, at the boundary; ends cut inside
    // packets on either side of it and past the stream.
    for (int64_t begin : {int64_t(0), int64_t(1), kSegment - 150, kSegment - 1, kSegment, kSegment + 1})
        for (int64_t end : {kSegment - 151, kSegment - 149, kSegment, kSegment + 77, size - 1, size})
            if (begin <= end)
                ExpectSameWalk(stream, begin, end);
    CSegmentedStore store;
    ASSERT_TRUE(store.Append(stream.data(), size));
    EXPECT_EQ(WalkStorePackets(store, 0, size + 1000).packets, WalkPackets(stream).packets);
    EXPECT_TRUE(WalkStorePackets(store, size + 5, size + 10).ok);
    EXPECT_FALSE(WalkStorePackets(store, -1, size).ok);
    const PacketWalk empty = WalkStorePackets(CSegmentedStore(), 0, 10);
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.packets, 0u);
}

TEST(EventWalk, BadPacketInTheSecondSegmentStopsWhereACopyStops)
{
    const std::vector<uint8_t> kinds = EveryKind();
    struct Bad {
        const char* what;
        std::vector<uint8_t> packet;
        bool last; // bad only at the end of the stream
    };
    const Bad bads[] = {
        {"a header outside the table", {7, 0, 1, 2, 3, 4}, false},
        {"a stroke of no points", {18, 0}, false},
        {"a colour group of 25 bytes", {0, 40, 0, 0, 0, 0, 0, 0, 25, 0, 0, 0, 0, 0}, false},
        {"a DataBlock past the end", {1, 5, 0xFF, 0xFF, 0, 0}, true},
        {"a fixed part cut short", {2, 8, 1, 2, 3}, true},
        {"a point packet one byte short", {17, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
    };
    for (const Bad& bad : bads) {
        SCOPED_TRACE(bad.what);
        // The bad packet straddles the boundary, then lies wholly past it.
        for (int64_t at : {kSegment - 1, kSegment - 3, kSegment + 300}) {
            std::vector<uint8_t> stream = kinds;
            PutFiller(stream, size_t(at) - stream.size());
            stream.insert(stream.end(), bad.packet.begin(), bad.packet.end());
            if (!bad.last)
                stream.insert(stream.end(), kinds.begin(), kinds.end());
            ExpectSameWalk(stream, 0, int64_t(stream.size()));
            EXPECT_EQ(WalkPackets(stream).badOffset, uint64_t(at))
                << "the stream is bad where it was made bad";
        }
    }
}

TEST(EventWalk, AVisitorThatRefusesAPacketPastTheBoundaryStopsThere)
{
    std::vector<uint8_t> stream;
    PutFiller(stream, size_t(kSegment) - 10);
    const std::vector<uint8_t> kinds = EveryKind();
    stream.insert(stream.end(), kinds.begin(), kinds.end());
    const std::vector<uint64_t> offsets = PacketStarts(stream);
    ASSERT_GT(offsets.size(), 3u);
    // The straddling packet, the first one wholly past, the last one.
    for (size_t i : {size_t(1), size_t(2), offsets.size() - 2})
        ExpectSameWalk(stream, 0, int64_t(stream.size()), offsets[i]);
}

} // namespace
} // namespace morvane
