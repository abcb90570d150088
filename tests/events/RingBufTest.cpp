// The ring of step offsets against a pair of deques: random operation
// sequences, capacity changes included, plus the boundary cases.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "events/CRingBuf.h"
#include "platform/MemoryBudget.h"

namespace morvane {
namespace {

// before.back() is the element at the cursor, after.front() the next one.
struct RingModel {
    int32_t n = 0, r = 0;
    std::deque<uint32_t> before, after;

    void Allocate(int32_t undo, int32_t redo)
    {
        n = undo;
        r = redo;
        before.clear();
        after.clear();
    }
    void Resize(int32_t undo, int32_t redo)
    {
        n = undo;
        r = redo;
        while (int32_t(before.size()) > n)
            before.pop_front();
        while (int32_t(after.size()) > r)
            after.pop_back();
    }
    void Set(uint32_t v)
    {
        if (before.empty())
            before.push_back(v);
        else
            before.back() = v;
    }
    void Push(uint32_t v)
    {
        before.push_back(v);
        if (int32_t(before.size()) > n)
            before.pop_front();
        after.clear();
    }
    bool Pop()
    {
        if (before.empty())
            return false;
        before.pop_back();
        after.clear();
        return true;
    }
    bool Back()
    {
        if (before.empty())
            return false;
        after.push_front(before.back());
        before.pop_back();
        if (int32_t(after.size()) > r)
            after.pop_back();
        return true;
    }
    bool Forward()
    {
        if (after.empty())
            return false;
        before.push_back(after.front());
        after.pop_front();
        if (int32_t(before.size()) > n)
            before.pop_front();
        return true;
    }
    bool Peek(int32_t d, uint32_t& v) const
    {
        if (d <= 0 && -d < int32_t(before.size())) {
            v = before[before.size() - 1 - size_t(-d)];
            return true;
        }
        if (d > 0 && d <= int32_t(after.size())) {
            v = after[size_t(d - 1)];
            return true;
        }
        return false;
    }
};

void ExpectSame(const CRingBufDWORD& ring, const RingModel& model)
{
    ASSERT_EQ(ring.CountBefore(), int32_t(model.before.size()));
    ASSERT_EQ(ring.CountAfter(), int32_t(model.after.size()));
    const int32_t lo = -int32_t(model.before.size()) - 1, hi = int32_t(model.after.size()) + 1;
    for (int32_t d = lo; d <= hi; ++d) {
        uint32_t got = 0, want = 0;
        const bool expected = model.Peek(d, want);
        ASSERT_EQ(ring.Peek(d, got), expected) << "d=" << d;
        if (expected) {
            ASSERT_EQ(got, want) << "d=" << d;
        }
    }
    uint32_t value = 0;
    ASSERT_EQ(ring.Read(value), !model.before.empty());
}

TEST(CRingBuf, RandomOperationsMatchTheDequeModel)
{
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        CRingBufDWORD ring;
        RingModel model;
        const int32_t n = pick(1, 6), r = pick(1, 6);
        ASSERT_TRUE(ring.Allocate(n, r));
        model.Allocate(n, r);
        uint32_t next = 1;
        for (int step = 0; step < 600; ++step) {
            const int op = pick(0, 99);
            if (op < 30) {
                ASSERT_TRUE(ring.Push(next));
                model.Push(next++);
            } else if (op < 50) {
                ASSERT_EQ(ring.Back(), model.Back());
            } else if (op < 70) {
                ASSERT_EQ(ring.Forward(), model.Forward());
            } else if (op < 78) {
                ASSERT_EQ(ring.Pop(), model.Pop());
            } else if (op < 84) {
                ASSERT_TRUE(ring.Set(next));
                model.Set(next++);
            } else if (op < 88) {
                ASSERT_EQ(ring.TakeRedoCount(), int32_t(model.after.size()));
                model.after.clear();
            } else if (op < 96) {
                const int32_t n2 = pick(1, 7), r2 = pick(1, 7);
                ASSERT_TRUE(ring.Resize(n2, r2));
                model.Resize(n2, r2);
            } else if (op < 98) {
                const int32_t n2 = pick(1, 7), r2 = pick(1, 7);
                ASSERT_TRUE(ring.Allocate(n2, r2));
                model.Allocate(n2, r2);
            }
            ASSERT_NO_FATAL_FAILURE(ExpectSame(ring, model)) << "step " << step << " op " << op;
        }
    }
}

TEST(CRingBuf, RefusesBadCapacitiesAndEmptyMoves)
{
    CRingBufDWORD ring;
    uint32_t v = 0;
    EXPECT_FALSE(ring.Push(1u)); // nothing allocated
    EXPECT_FALSE(ring.Resize(2, 2));
    for (auto [n, r] : {std::pair{0, 1}, {1, 0}, {-1, 4}, {4, -1}, {1 << 30, 1 << 30}})
        EXPECT_FALSE(ring.Allocate(n, r)) << n << "," << r;
    ASSERT_TRUE(ring.Allocate(2, 2));
    EXPECT_FALSE(ring.Pop());
    EXPECT_FALSE(ring.Back());
    EXPECT_FALSE(ring.Forward());
    EXPECT_FALSE(ring.Read(v));
    EXPECT_FALSE(ring.Peek(1, v));
    EXPECT_FALSE(ring.Resize(0, 2));
    EXPECT_FALSE(ring.Resize(2, 0));
    EXPECT_EQ(ring.UndoCapacity(), 2);

    // A failed reallocation leaves the ring untouched.
    ASSERT_TRUE(ring.Push(7u));
    {
        ScopedMemoryLimit none(0);
        EXPECT_FALSE(ring.Resize(50, 50));
    }
    EXPECT_EQ(ring.UndoCapacity(), 2);
    ASSERT_TRUE(ring.Read(v));
    EXPECT_EQ(v, 7u);
}

TEST(CRingBuf, ResizeKeepsTheNewestUndoAndTheNearestRedoElements)
{
    CRingBufDWORD ring;
    ASSERT_TRUE(ring.Allocate(5, 5));
    for (uint32_t v = 1; v <= 8; ++v) // wraps: 4..8 remain
        ASSERT_TRUE(ring.Push(v));
    ASSERT_TRUE(ring.Back());
    ASSERT_TRUE(ring.Back()); // before 4 5 6, after 7 8
    ASSERT_TRUE(ring.Resize(2, 1));
    uint32_t v = 0;
    EXPECT_EQ(ring.CountBefore(), 2);
    EXPECT_EQ(ring.CountAfter(), 1);
    ASSERT_TRUE(ring.Peek(-1, v));
    EXPECT_EQ(v, 5u);
    ASSERT_TRUE(ring.Read(v));
    EXPECT_EQ(v, 6u);
    ASSERT_TRUE(ring.Peek(1, v));
    EXPECT_EQ(v, 7u);
    // Same capacities: no change at all.
    ASSERT_TRUE(ring.Resize(2, 1));
    EXPECT_EQ(ring.CountBefore(), 2);
    EXPECT_EQ(ring.CountAfter(), 1);
}

} // namespace
} // namespace morvane
