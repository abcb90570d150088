// The thumbnail shrink of a block store sums committed rows in sixteen-bit
// lanes that are folded before they could overflow; large boxes of bright
// pixels are where a missed fold would show.
#include <gtest/gtest.h>

#include <cstring>

#include "storage/CBlockVMTC.h"
#include "storage/TMTC.h"

using namespace morvane;

namespace {
// 300 x 200: random blocks, uniform blocks, and a committed area of almost
// only 0xFF bytes (one pixel differs, so its blocks stay committed).
CBlockVMTC BrightStore()
{
    CBlockVMTC store(300, 200);
    TMTC patch(300, 120);
    uint32_t s = 12345;
    for (int32_t y = 0; y < patch.Height; ++y)
        for (int32_t x = 0; x < patch.Width; ++x) {
            s = s * 1664525u + 1013904223u;
            patch.Row(y)[x] = s;
        }
    store.CopyIn(patch, {0, 0}, 255, {0, 0, 300, 120});
    store.FillRect({0, 120, 300, 80}, 0xFFFFFFFFu);
    store.FillRect({64, 128, 100, 40}, 0x80402010u);
    store.SetPixel(299, 199, 0xFFFFFFFEu);
    return store;
}
} // namespace

TEST(StoreShrink, EqualsTheFlatAreaAverageForSmallAndLargeBoxes)
{
    const CBlockVMTC store = BrightStore();
    ASSERT_TRUE(store.IsValid());
    TMTC flat(store.Width, store.Height);
    ASSERT_TRUE(store.CopyOut(flat, {0, 0}, false, 255, {0, 0, store.Width, store.Height}));
    const int32_t sizes[][2] = {{1, 1}, {2, 1}, {1, 3}, {7, 5}, {64, 43}, {300, 200}, {450, 260}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        TMTC ours(size[0], size[1]), expected(size[0], size[1]);
        const ExtentRect whole{0, 0, size[0], size[1]};
        ASSERT_TRUE(store.ShrinkInto(ours, whole));
        ASSERT_TRUE(flat.ShrinkArea(expected, whole));
        for (int32_t y = 0; y < size[1]; ++y)
            EXPECT_EQ(std::memcmp(ours.Row(y), expected.Row(y), size_t(size[0]) * 4), 0) << "row " << y;
    }
}

// Gathered block by block, in any order, the shrink is the same as ShrinkInto,
// with boxes that share pixels and boxes clamped at the store's edges.
TEST(StoreShrink, GatheredBlockByBlockEqualsShrinkInto)
{
    const CBlockVMTC store = BrightStore();
    ASSERT_TRUE(store.IsValid());
    const int32_t sizes[][2] = {{1, 1}, {3, 2}, {64, 64}, {64, 43}, {300, 200}, {450, 260}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        CShrinkGather gather(store, size[0], size[1]);
        ASSERT_TRUE(gather.IsValid());
        for (int32_t i = store.BlocksX * store.BlocksY - 1; i >= 0; --i)
            gather.Add(store.Blocks[i]);
        TMTC gathered(size[0], size[1]), expected(size[0], size[1]);
        ASSERT_TRUE(gather.Finish(gathered));
        ASSERT_TRUE(store.ShrinkInto(expected, {0, 0, size[0], size[1]}));
        for (int32_t y = 0; y < size[1]; ++y)
            EXPECT_EQ(std::memcmp(gathered.Row(y), expected.Row(y), size_t(size[0]) * 4), 0) << "row " << y;
    }
    EXPECT_FALSE(CShrinkGather(store, 0, 5).IsValid());
    EXPECT_FALSE(CShrinkGather(store, 5000, 5000).IsValid());
}
