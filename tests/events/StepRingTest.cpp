// The recorder's steps against a plain history of step boundaries: random
// record, undo, redo, discard and depth changes keep counts and ranges equal;
// the walk that invalidates the state records of a removed range.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "events/CMemSeg.h"
#include "events/CStepRing.h"

namespace morvane {
namespace {

// bounds[i] is where step i + 1 begins; the stream's length is bounds[done].
struct History {
    std::vector<uint32_t> bounds{0};
    size_t done = 0;

    size_t Redoable() const { return bounds.size() - 1 - done; }
    void Record(uint32_t length)
    {
        bounds.resize(done + 1);
        bounds.push_back(bounds.back() + length);
        ++done;
    }
    void Discard() { bounds.resize(done + 1); }
};

// One random operation on both; counts must be equal when the ring is deep
// enough for the whole history, never above the history's otherwise.
void Step(CStepRing& ring, History& model, std::mt19937& rng, bool deep)
{
    const int op = std::uniform_int_distribution<int>(0, 99)(rng);
    if (op < 40) {
        if (op < 20) // the document discards first; the ring must also cope alone
            ring.DiscardRedo();
        const auto length = std::uniform_int_distribution<uint32_t>(1, 300)(rng);
        ASSERT_TRUE(ring.EndStep(model.bounds[model.done] + length));
        model.Record(length);
    } else if (op < 70) {
        SStepRange removed;
        const bool can = deep ? model.done > 0 : ring.UndoCount() > 0;
        ASSERT_EQ(ring.UndoStep(removed), can);
        if (can) {
            ASSERT_EQ(removed.begin, model.bounds[model.done - 1]);
            ASSERT_EQ(removed.end, model.bounds[model.done]);
            --model.done;
        }
    } else if (op < 92) {
        uint32_t end = 0;
        const bool can = deep ? model.Redoable() > 0 : ring.RedoCount() > 0;
        ASSERT_EQ(ring.RedoStep(end), can);
        if (can) {
            ++model.done;
            ASSERT_EQ(end, model.bounds[model.done]);
        }
    } else if (op < 96) {
        ring.DiscardRedo();
        model.Discard();
    } else if (!deep) {
        ASSERT_TRUE(ring.SetUndoDepth(std::uniform_int_distribution<int32_t>(2, 6)(rng)));
    }
    ASSERT_EQ(ring.CommittedSteps(), int32_t(model.done));
    ASSERT_EQ(ring.StepStart(), model.bounds[model.done]);
    if (deep) {
        ASSERT_EQ(ring.UndoCount(), int32_t(model.done));
        ASSERT_EQ(ring.RedoCount(), int32_t(model.Redoable()));
    } else {
        ASSERT_LE(ring.UndoCount(), int32_t(model.done));
        ASSERT_LE(ring.RedoCount(), int32_t(model.Redoable()));
    }
}

TEST(CStepRing, RandomHistoriesMatchTheModel)
{
    for (bool deep : {true, false}) {
        for (uint32_t seed = 1; seed <= 30; ++seed) {
            SCOPED_TRACE(testing::Message() << (deep ? "deep " : "shallow ") << seed);
            std::mt19937 rng(seed);
            CStepRing ring;
            ASSERT_TRUE(ring.Allocate(deep ? 1000 : 4));
            History model;
            for (int i = 0; i < 500; ++i)
                ASSERT_NO_FATAL_FAILURE(Step(ring, model, rng, deep)) << "op " << i;
        }
    }
}

// A ring of depth d undoes the last d - 1 steps (one slot holds the end of
// the last step) and redoes them again, with the same ranges.
TEST(CStepRing, ShallowRingUndoesItsDepthLessOneAndRedoesThem)
{
    for (int32_t depth : {2, 3, 8}) {
        SCOPED_TRACE(depth);
        CStepRing ring;
        ASSERT_TRUE(ring.Allocate(depth));
        History model;
        for (int i = 0; i < 3 * depth; ++i) {
            ASSERT_TRUE(ring.EndStep(model.bounds.back() + 10 + uint32_t(i)));
            model.Record(10 + uint32_t(i));
        }
        SStepRange removed;
        for (int32_t i = 0; i < depth - 1; ++i) {
            ASSERT_TRUE(ring.UndoStep(removed)) << i;
            EXPECT_EQ(removed.begin, model.bounds[model.done - 1]);
            EXPECT_EQ(removed.end, model.bounds[model.done]);
            --model.done;
        }
        EXPECT_EQ(ring.UndoCount(), 0);
        EXPECT_FALSE(ring.UndoStep(removed));
        EXPECT_EQ(ring.RedoCount(), depth - 1);
        uint32_t end = 0;
        for (int32_t i = 0; i < depth - 1; ++i) {
            ASSERT_TRUE(ring.RedoStep(end));
            EXPECT_EQ(end, model.bounds[++model.done]);
        }
        EXPECT_FALSE(ring.RedoStep(end));
        EXPECT_EQ(ring.StepStart(), model.bounds.back());
    }
}

TEST(CStepRing, EdgeCases)
{
    CStepRing ring;
    SStepRange removed;
    uint32_t end = 0;
    EXPECT_FALSE(ring.EndStep(4)); // not allocated
    EXPECT_FALSE(ring.Allocate(0));
    ASSERT_TRUE(ring.Allocate(1));
    ASSERT_TRUE(ring.EndStep(4));
    EXPECT_FALSE(ring.UndoStep(removed)); // a ring of one has no slot for the end
    EXPECT_EQ(ring.UndoCount(), 1);

    ASSERT_TRUE(ring.Allocate(8));
    EXPECT_FALSE(ring.UndoStep(removed)); // nothing recorded
    ASSERT_TRUE(ring.EndStep(4));
    EXPECT_FALSE(ring.EndStep(3)); // a step cannot end before it began
    ASSERT_TRUE(ring.UndoStep(removed));
    EXPECT_EQ(removed.begin, 0u);
    EXPECT_EQ(removed.end, 4u);
    // Undoing the first step and recording anew: the redo is gone.
    ASSERT_TRUE(ring.EndStep(6));
    EXPECT_EQ(ring.RedoCount(), 0);
    EXPECT_FALSE(ring.RedoStep(end));
    ASSERT_TRUE(ring.UndoStep(removed));
    EXPECT_EQ(removed.end, 6u);

    // A shallower depth keeps the nearest redo steps.
    ASSERT_TRUE(ring.RedoStep(end));
    for (uint32_t p : {10u, 20u, 30u, 40u})
        ASSERT_TRUE(ring.EndStep(p));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(ring.UndoStep(removed));
    EXPECT_EQ(ring.RedoCount(), 4);
    ASSERT_TRUE(ring.SetUndoDepth(3)); // keeps starts 6, 10, 20: two redoable steps
    EXPECT_EQ(ring.RedoCount(), 2);
    ASSERT_TRUE(ring.RedoStep(end));
    EXPECT_EQ(end, 10u);
    EXPECT_FALSE(ring.SetUndoDepth(0));

    ring.Reset();
    EXPECT_EQ(ring.CommittedSteps(), 0);
    EXPECT_EQ(ring.UndoCount() + ring.RedoCount(), 0);
    EXPECT_EQ(ring.StepStart(), 0u);
}

// A removed range of state records, embedded resources and points, between
// records that stay.
struct RemovedStream {
    CSegmentedStore store;
    SStepRange range;
    uint32_t cutInsideRecord17 = 0;

    void Put(uint8_t category, uint8_t code, std::vector<uint8_t> payload)
    {
        const uint8_t header[2] = {category, code};
        ASSERT_TRUE(store.Append(header, 2));
        ASSERT_TRUE(store.Append(payload.data(), int64_t(payload.size())));
    }
    static std::vector<uint8_t> Embedded(uint32_t fixedSize, uint32_t id, uint32_t lengthAt, uint32_t length)
    {
        std::vector<uint8_t> p(fixedSize + length, 0x5A);
        for (int i = 0; i < 4; ++i) {
            p[size_t(i)] = uint8_t(id >> (8 * i));
            p[lengthAt + size_t(i)] = uint8_t(length >> (8 * i));
        }
        return p;
    }
    RemovedStream()
    {
        Put(0, 0, std::vector<uint8_t>(12));
        range.begin = uint32_t(store.Position());
        Put(0, 2, std::vector<uint8_t>(4));
        Put(0, 36, Embedded(160, 0x11223344u, 156, 6));
        cutInsideRecord17 = uint32_t(store.Position() + 5);
        Put(0, 17, std::vector<uint8_t>(8));
        Put(0, 44, Embedded(40, 0x55u, 36, 2));
        Put(17, 16, std::vector<uint8_t>(192));
        range.end = uint32_t(store.Position());
        Put(0, 3, std::vector<uint8_t>(4));
    }
};

struct Forgotten {
    std::vector<std::pair<PacketId, uint32_t>> calls;
    bool refuse = false;
    static bool Forget(void* user, PacketId code, uint32_t id)
    {
        auto* self = static_cast<Forgotten*>(user);
        self->calls.emplace_back(code, id);
        return !self->refuse;
    }
};

constexpr uint32_t Bit(int n) { return uint32_t(1) << n; }

TEST(InvalidateRemovedRange, ClearsTheRecordsInTheRangeAndForgetsEmbeddedResources)
{
    RemovedStream s;
    // Records 2 and 17, and the references of the embedded tone (37) and nib (45).
    const uint32_t cleared = Bit(1) | Bit(9) | Bit(13) | Bit(19);
    uint32_t bits = ~0u;
    Forgotten forgotten;
    EXPECT_TRUE(InvalidateRemovedRange(s.store, s.range, bits, &Forgotten::Forget, &forgotten));
    EXPECT_EQ(bits, ~cleared);
    const std::vector<std::pair<PacketId, uint32_t>> expected{{PacketId::EmbeddedTone, 0x11223344u},
                                                               {PacketId::EmbeddedNib, 0x55u}};
    EXPECT_EQ(forgotten.calls, expected);

    // A refused forget stops the walk at the tone: 17 stays valid.
    bits = ~0u;
    forgotten = {{}, true};
    EXPECT_FALSE(InvalidateRemovedRange(s.store, s.range, bits, &Forgotten::Forget, &forgotten));
    EXPECT_EQ(bits, ~(Bit(1) | Bit(13)));
    EXPECT_EQ(forgotten.calls.size(), 1u);

    // A range that ends inside a packet, or starts at no packet, stops there.
    for (SStepRange bad : {SStepRange{s.range.begin, s.cutInsideRecord17}, SStepRange{s.range.begin + 1, s.range.end}}) {
        bits = ~0u;
        EXPECT_FALSE(InvalidateRemovedRange(s.store, bad, bits, nullptr, nullptr));
    }
}

} // namespace
} // namespace morvane
