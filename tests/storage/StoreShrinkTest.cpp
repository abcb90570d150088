// The thumbnail shrink of a block store sums committed rows in sixteen-bit
// lanes that are folded before they could overflow; large boxes of bright
// pixels are where a missed fold would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "storage/CBlockVMTC.h"
#include "storage/ShrinkFootprint.h"
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

// The targets a change meets are exactly those whose boxes hold a changed
// pixel, and the source they read is exactly their boxes': after a change,
// shrinking those targets again gives the whole shrink's bytes.
TEST(StoreShrink, FootprintOfAChangeIsExactlyTheBoxesItMeets)
{
    const struct {
        int32_t sw, sh, tw, th;
        ExtentRect changed;
    } cases[] = {
        {300, 200, 64, 43, {70, 40, 9, 5}},    {300, 200, 64, 43, {0, 0, 1, 1}},
        {300, 200, 64, 43, {299, 199, 1, 1}},  {300, 200, 7, 5, {100, 10, 150, 180}},
        {300, 200, 300, 200, {5, 6, 7, 8}},    {300, 200, 450, 260, {12, 40, 3, 2}},
        {100, 70, 1, 1, {50, 50, 1, 1}},       {300, 200, 64, 43, {-20, -20, 10, 10}},
        {300, 200, 64, 43, {280, 190, 90, 90}}, {4096, 4096, 64, 64, {1000, 2000, 128, 128}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th << " at "
                                        << c.changed.left << "," << c.changed.top);
        const int64_t stepX = int64_t(c.sw) * 1024 / c.tw, stepY = int64_t(c.sh) * 1024 / c.th;
        const int64_t boxW = c.sw / c.tw + 1, boxH = c.sh / c.th + 1;
        const auto meets = [](int64_t start, int64_t box, int64_t a, int64_t b) { return start < b && start + box > a; };
        EdgeRect expected;
        for (int32_t y = 0; y < c.th; ++y)
            for (int32_t x = 0; x < c.tw; ++x)
                if (meets((stepX * x) >> 10, boxW, c.changed.left, int64_t(c.changed.left) + c.changed.width) &&
                    meets((stepY * y) >> 10, boxH, c.changed.top, int64_t(c.changed.top) + c.changed.height))
                    expected = Union(expected, EdgeRect{x, y, x + 1, y + 1});
        const ExtentRect region = ShrinkTargetsMeeting(c.sw, c.sh, c.tw, c.th, c.changed);
        EXPECT_EQ(region, expected.IsEmpty() ? ExtentRect{} : ToExtent(expected));
        if (region.width == 0)
            continue;
        const ExtentRect read = ShrinkSourceOf(c.sw, c.sh, c.tw, c.th, region);
        const int64_t lastX = region.left + region.width - 1, lastY = region.top + region.height - 1;
        EXPECT_EQ(read.left, (stepX * region.left) >> 10);
        EXPECT_EQ(read.top, (stepY * region.top) >> 10);
        EXPECT_EQ(read.left + read.width, std::min<int64_t>(((stepX * lastX) >> 10) + boxW, c.sw));
        EXPECT_EQ(read.top + read.height, std::min<int64_t>(((stepY * lastY) >> 10) + boxH, c.sh));
    }
    EXPECT_EQ(ShrinkTargetsMeeting(0, 10, 5, 5, {0, 0, 5, 5}), ExtentRect{});
    EXPECT_EQ(ShrinkTargetsMeeting(10, 10, 5, 5, {0, 0, 0, 5}), ExtentRect{});
}

// A store changed in a small area: the footprint's shrink patches the old
// thumbnail into the new store's whole shrink, for both shrinks.
TEST(StoreShrink, FootprintRefreshEqualsTheWholeShrink)
{
    CBlockVMTC store = BrightStore();
    const int32_t sizes[][2] = {{64, 43}, {7, 5}, {450, 260}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        TMTC blockThumb(size[0], size[1]), flatThumb(size[0], size[1]);
        const ExtentRect whole{0, 0, size[0], size[1]};
        TMTC flat(store.Width, store.Height);
        ASSERT_TRUE(store.CopyOut(flat, {0, 0}, false, 255, {0, 0, store.Width, store.Height}));
        ASSERT_TRUE(store.ShrinkInto(blockThumb, whole));
        ASSERT_TRUE(flat.ShrinkArea(flatThumb, whole));
        const ExtentRect changed{123, 77, 31, 9};
        store.FillRect(changed, 0xFF102030u + uint32_t(size[0]));
        ASSERT_TRUE(store.CopyOut(flat, {0, 0}, false, 255, {0, 0, store.Width, store.Height}));
        const ExtentRect region = ShrinkTargetsMeeting(store.Width, store.Height, size[0], size[1], changed);
        ASSERT_TRUE(store.ShrinkInto(blockThumb, region));
        ASSERT_TRUE(flat.ShrinkArea(flatThumb, region));
        TMTC expected(size[0], size[1]);
        ASSERT_TRUE(store.ShrinkInto(expected, whole));
        for (int32_t y = 0; y < size[1]; ++y) {
            EXPECT_EQ(std::memcmp(blockThumb.Row(y), expected.Row(y), size_t(size[0]) * 4), 0) << "row " << y;
            EXPECT_EQ(std::memcmp(flatThumb.Row(y), expected.Row(y), size_t(size[0]) * 4), 0) << "row " << y;
        }
    }
}
