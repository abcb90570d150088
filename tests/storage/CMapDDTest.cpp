// The recorder's key-to-value map: results, values and the last status over a
// sequence of operations.
#include <gtest/gtest.h>

#include "storage/CMapDD.h"

using namespace morvane;

TEST(CMapDD, OperationSequence)
{
    enum Op { Set, Get, Remove, Clear };
    struct Step {
        Op op;
        uint32_t key;
        uint32_t value; // to set, or expected from a lookup
        bool result;
        MapStatus status; // after the step
        size_t count;
    };
    const Step steps[] = {
        {Get, 7, 0, false, MapStatus::Ok, 0},
        {Set, 7, 100, true, MapStatus::Ok, 1},
        {Get, 7, 100, true, MapStatus::Ok, 1},
        {Set, 0, 0, true, MapStatus::Ok, 2},
        {Set, 0xFFFFFFFF, 0xFFFFFFFF, true, MapStatus::Ok, 3},
        {Get, 0xFFFFFFFF, 0xFFFFFFFF, true, MapStatus::Ok, 3},
        {Set, 7, 200, true, MapStatus::Ok, 3}, // replaces
        {Get, 7, 200, true, MapStatus::Ok, 3},
        {Remove, 8, 0, false, MapStatus::NotFound, 3},
        {Get, 0, 0, true, MapStatus::NotFound, 3}, // a lookup leaves the status alone
        {Remove, 7, 0, true, MapStatus::Ok, 2},
        {Get, 7, 0, false, MapStatus::Ok, 2},
        {Clear, 0, 0, true, MapStatus::Ok, 0},
        {Get, 0, 0, false, MapStatus::Ok, 0},
        {Set, 0, 5, true, MapStatus::Ok, 1},
    };
    CMapDD map(10);
    EXPECT_EQ(map.LastStatus(), MapStatus::Ok);
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i);
        uint32_t got = 0x12345678;
        switch (s.op) {
        case Set: EXPECT_EQ(map.SetAt(s.key, s.value), s.result); break;
        case Remove: EXPECT_EQ(map.RemoveKey(s.key), s.result); break;
        case Clear: EXPECT_EQ(map.RemoveAll(), s.result); break;
        case Get:
            EXPECT_EQ(map.Lookup(s.key, got), s.result);
            EXPECT_EQ(got, s.result ? s.value : 0x12345678u); // untouched when absent
            break;
        }
        EXPECT_EQ(map.LastStatus(), s.status);
        EXPECT_EQ(map.Count(), s.count);
    }
}

TEST(CMapDD, HugeCapacityHintIsHarmless)
{
    CMapDD map(0xFFFFFFFF);
    EXPECT_EQ(map.LastStatus(), MapStatus::Ok);
    EXPECT_TRUE(map.SetAt(1, 2));
}
