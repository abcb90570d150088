// The segmented stream store: pieces straddling segment boundaries, growth
// past the initial capacity, and all-or-nothing appends under a lowered budget.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "events/CMemSeg.h"
#include "platform/MemoryBudget.h"

namespace morvane {
namespace {

constexpr int32_t kSeg = CSegmentedStore::kDefaultSegmentSize;

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = uint8_t(i * 31 + seed + (i >> 8));
    return bytes;
}

std::vector<uint8_t> ReadBack(const CSegmentedStore& store, int64_t offset, int64_t length)
{
    std::vector<uint8_t> out(size_t(length), 0xEE);
    EXPECT_EQ(store.Read(offset, out.data(), length), length);
    return out;
}

TEST(CMemSeg, MovesOnlyWithinItsBlock)
{
    CMemSeg segment(16);
    ASSERT_TRUE(segment.Valid());
    const auto data = Pattern(32, 1);
    EXPECT_EQ(segment.Write(10, data.data(), 32), 6);
    EXPECT_EQ(segment.Write(16, data.data(), 1), 0);
    EXPECT_EQ(segment.Write(-1, data.data(), 1), 0);
    uint8_t back[8] = {};
    EXPECT_EQ(segment.Read(12, back, 8), 4);
    EXPECT_EQ(back[0], data[2]);
    {
        ScopedMemoryLimit none(0);
        CMemSeg missing(16);
        EXPECT_FALSE(missing.Valid());
        EXPECT_EQ(missing.Write(0, data.data(), 4), 0);
        EXPECT_EQ(missing.Read(0, back, 4), 0);
    }
}

// Appends of these lengths after a lead-in of lead bytes, read back whole and
// as a window across the first boundary.
TEST(CSegmentedStore, AppendsAndReadsAcrossSegmentBoundaries)
{
    struct Case {
        int64_t lead, length;
        int32_t segments;
    };
    const Case cases[] = {
        {0, kSeg - 1, 1}, {0, kSeg, 1}, {0, kSeg + 1, 2},      // one write around the boundary
        {kSeg - 1, 2, 2}, {kSeg - 3, 3, 1}, {1, 3 * kSeg, 4}, // straddling pieces, several segments
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lead << "+" << c.length);
        CSegmentedStore store;
        const auto lead = Pattern(size_t(c.lead), 7);
        const auto body = Pattern(size_t(c.length), 91);
        ASSERT_TRUE(store.Append(lead.data(), c.lead));
        ASSERT_TRUE(store.Append(body.data(), c.length));
        EXPECT_EQ(store.Position(), c.lead + c.length);
        EXPECT_EQ(store.SegmentCount(), c.segments);
        EXPECT_EQ(store.AllocatedBytes(), int64_t(c.segments) * kSeg);
        EXPECT_EQ(ReadBack(store, c.lead, c.length), body);
        if (c.lead + c.length > kSeg + 2) {
            std::vector<uint8_t> whole(lead);
            whole.insert(whole.end(), body.begin(), body.end());
            EXPECT_EQ(ReadBack(store, kSeg - 2, 4), std::vector<uint8_t>(whole.begin() + kSeg - 2, whole.begin() + kSeg + 2));
        }
        // Nothing past the position is readable.
        uint8_t byte = 0;
        EXPECT_EQ(store.Read(store.Position(), &byte, 1), 0);
        EXPECT_EQ(store.Read(store.Position() - 1, &byte, 2), 0);
        EXPECT_EQ(store.Read(-1, &byte, 1), 0);
    }
}

TEST(CSegmentedStore, GrowsPastItsInitialCapacityWithoutMovingWrittenBytes)
{
    CSegmentedStore store(kSeg, 2 * kSeg);
    const auto first = Pattern(kSeg + 100, 3);
    ASSERT_TRUE(store.Append(first.data(), int64_t(first.size())));
    uint8_t probe = 0;
    ASSERT_EQ(store.Read(10, &probe, 1), 1);
    // Many small appends, as packets come, well past the initial capacity.
    const auto packet = Pattern(12 * 16 + 2, 5);
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(store.Append(packet.data(), int64_t(packet.size())));
    EXPECT_GT(store.AllocatedBytes(), 2 * kSeg * 4);
    EXPECT_EQ(store.Position(), int64_t(first.size() + 3000 * packet.size()));
    EXPECT_EQ(ReadBack(store, 0, int64_t(first.size())), first);
    EXPECT_EQ(ReadBack(store, int64_t(first.size() + 2999 * packet.size()), int64_t(packet.size())), packet);
}

TEST(CSegmentedStore, FailedAppendUnderALoweredBudgetLeavesTheStoreAsItWas)
{
    CSegmentedStore store;
    const auto lead = Pattern(kSeg - 10, 1);
    ASSERT_TRUE(store.Append(lead.data(), int64_t(lead.size())));
    const auto big = Pattern(3 * kSeg, 2);
    {
        // Room for one more segment but not the three this append needs.
        ScopedMemoryLimit oneSegment(kSeg);
        EXPECT_FALSE(store.Append(big.data(), int64_t(big.size())));
        EXPECT_EQ(store.Position(), int64_t(lead.size()));
        EXPECT_EQ(store.SegmentCount(), 1);
        EXPECT_EQ(MemoryBudget::InUse() + kSeg, MemoryBudget::Limit()); // the partial segments went back
        // What fits still goes in.
        const auto small = Pattern(20, 3);
        EXPECT_TRUE(store.Append(small.data(), 20));
        EXPECT_EQ(ReadBack(store, int64_t(lead.size()), 20), small);
    }
    EXPECT_EQ(ReadBack(store, 0, int64_t(lead.size())), lead);
}

TEST(CSegmentedStore, PositionMovesBackAndForwardOverTheLastAppendOnly)
{
    CSegmentedStore store;
    const auto a = Pattern(100, 1), b = Pattern(kSeg, 2), c = Pattern(10, 3);
    ASSERT_TRUE(store.Append(a.data(), 100));
    ASSERT_TRUE(store.Append(b.data(), kSeg));
    ASSERT_TRUE(store.SetPosition(100)); // an undone step
    EXPECT_EQ(store.Position(), 100);
    ASSERT_TRUE(store.SetPosition(100 + kSeg)); // redone: its bytes are still there
    EXPECT_EQ(ReadBack(store, 100, kSeg), b);
    EXPECT_FALSE(store.SetPosition(101 + kSeg));
    EXPECT_FALSE(store.SetPosition(-1));

    // A new append after going back ends the old continuation.
    ASSERT_TRUE(store.SetPosition(100));
    ASSERT_TRUE(store.Append(c.data(), 10));
    EXPECT_FALSE(store.SetPosition(100 + kSeg));
    EXPECT_EQ(store.SegmentCount(), 2); // segments stay for the next appends

    // In-place changes stay inside the stream.
    const uint8_t flag[2] = {0x00, 0x80};
    EXPECT_TRUE(store.Overwrite(108, flag, 2));
    EXPECT_FALSE(store.Overwrite(109, flag, 2));
    EXPECT_EQ(ReadBack(store, 108, 2), std::vector<uint8_t>(flag, flag + 2));

    store.Reset();
    EXPECT_EQ(store.Position(), 0);
    EXPECT_EQ(store.SegmentCount(), 0);
    EXPECT_FALSE(store.SetPosition(1));
}

TEST(CSegmentedStore, RefusesAbsurdSizes)
{
    for (int32_t size : {0, -5, int32_t(1) << 30}) {
        CSegmentedStore bad(size, 1 << 20);
        uint8_t byte = 1;
        EXPECT_FALSE(bad.Ready());
        EXPECT_FALSE(bad.Append(&byte, 1));
    }
    CSegmentedStore store(kSeg, int64_t(1) << 50); // a capacity hint past the limit is clamped
    uint8_t byte = 1;
    EXPECT_FALSE(store.Append(&byte, -1));
    EXPECT_FALSE(store.Append(&byte, CSegmentedStore::kMaxLength + 1)); // refused before any allocation
    EXPECT_EQ(store.SegmentCount(), 0);
    EXPECT_TRUE(store.Append(&byte, 1));
}

} // namespace
} // namespace morvane
