// The air-map tables: every profile at points worked out by hand, the flat
// part, the floor, the square-root table and when a table is rebuilt.
#include <gtest/gtest.h>

#include "paint/CGradeMapObj.h"

namespace morvane {
namespace {

constexpr int32_t kFull = 0xFF0000; // 255 in 16.16

AirMapRecord AirMap(uint8_t curve, int32_t flat = 0, int32_t add = 0)
{
    AirMapRecord r;
    r.curve = curve;
    r.flat = flat;
    r.add = add;
    return r;
}

struct ProfileCase {
    uint8_t curve;
    double atHalf; // p(0.5)
};

TEST(CGradeMapObj, EveryProfileRunsFromFullAtTheCentreToZeroAtTheRim)
{
    const ProfileCase cases[] = {
        {0, 0.8660254}, // sqrt(1 - x^2)
        {1, 0.75},      // 1 - x^2
        {2, 0.5},       // 2x^3 - 3x^2 + 1
        {3, 0.5},       // 1 - x
        {4, 0.3},       // (1 - x)^k with p(0.5) = 0.3
        {5, 0.1339746}, // 1 - sqrt(1 - (1 - x)^2)
        {6, 0.5},       // every other code: 1 - x
        {200, 0.5},
    };
    for (const ProfileCase& c : cases) {
        SCOPED_TRACE(int(c.curve));
        CGradeMapObj map(3); // entries at 0, 0.5 and 1
        map.SetAirMap(AirMap(c.curve));
        ASSERT_EQ(map.lastIndex, 2);
        EXPECT_EQ(map.lut[0], kFull);
        EXPECT_NEAR(map.lut[1], c.atHalf * kFull, 64.0); // float arithmetic
        EXPECT_EQ(map.lut[2], 0);
    }
}

// The renderer's 2048 entries at a few places, exactly: the powers and
// roots that make them reach every replayed dab, so no change of arithmetic
// may move one of them.
TEST(CGradeMapObj, RendererTablesArePinned)
{
    struct Pinned {
        uint8_t curve;
        int32_t lut[5], lutRoot[5]; // at entries 1, 300, 1024, 1500, 2000
    };
    const Pinned pinned[] = {
        {0, {16711678, 16531234, 14470382, 11371729, 3560554}, {16707597, 15438591, 11814054, 8638828, 2532267}},
        {1, {16711676, 16352736, 12529677, 7738074, 758604}, {16703516, 14262485, 8351757, 4465700, 383706}},
        {2, {16711668, 15740058, 8349717, 2942217, 26027}, {16687549, 11239325, 3457516, 939479, 6631}},
        {3, {16703516, 14262485, 8351758, 4465700, 383707}, {16342311, 10314011, 4891851, 2406055, 192967}},
        {4, {16697502, 12690350, 5009250, 1688542, 23773}, {16075333, 7227117, 1978187, 576754, 7204}},
        {5, {16189376, 8001813, 2236585, 607712, 4405}, {13217523, 3562481, 732004, 174112, 1114}},
    };
    const int32_t at[5] = {1, 300, 1024, 1500, 2000};
    for (const Pinned& p : pinned) {
        CGradeMapObj map;
        map.SetAirMap(AirMap(p.curve));
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(map.lut[size_t(at[i])], p.lut[i]) << int(p.curve) << " at " << at[i];
            EXPECT_EQ(map.lutRoot[size_t(at[i])], p.lutRoot[i]) << int(p.curve) << " at " << at[i];
        }
    }
}

TEST(CGradeMapObj, FlatPartFloorAndRootTable)
{
    CGradeMapObj map(5); // 0, 0.25, 0.5, 0.75, 1
    map.SetAirMap(AirMap(3, 500));
    // Full up to the flat part, then 1 - x over what remains.
    EXPECT_EQ(map.lut[1], kFull);
    EXPECT_EQ(map.lut[2], kFull);
    EXPECT_EQ(map.lut[3], kFull / 2);
    EXPECT_EQ(map.lut[4], 0);

    map.SetAirMap(AirMap(3, 0, 500));
    EXPECT_EQ(map.lut[4], kFull / 2); // the floor
    EXPECT_EQ(map.lut[0], kFull);

    map.SetAirMap(AirMap(3));
    EXPECT_EQ(map.lutRoot[1], kFull / 2); // p(sqrt(0.25))
    EXPECT_EQ(map.lut[1], kFull * 3 / 4);

    map.SetAirMap(AirMap(0, 1000));
    for (int32_t v : map.lut)
        EXPECT_EQ(v, kFull);
}

TEST(CGradeMapObj, RebuildsOnlyWhenTheAirMapDiffers)
{
    CGradeMapObj map;
    ASSERT_TRUE(map.IsValid());
    EXPECT_EQ(map.lastIndex, 2047);
    const uint64_t first = map.Generation();
    EXPECT_FALSE(map.SetAirMap(AirMapRecord{})); // the initial curve 3
    EXPECT_EQ(map.Generation(), first);
    EXPECT_TRUE(map.SetAirMap(AirMap(3, 0, 1)));
    EXPECT_NE(map.Generation(), first);
    // Out-of-range flat and add are clamped, never divide by zero.
    EXPECT_TRUE(map.SetAirMap(AirMap(3, 5000, -20)));
    EXPECT_EQ(map.lut[map.lastIndex], kFull);
}

} // namespace
} // namespace morvane
