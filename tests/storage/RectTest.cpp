// Rectangle forms and the clipping every pixel operation relies on.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "storage/Rect.h"

using namespace morvane;

TEST(Rect, ConversionsAndNormalising)
{
    EXPECT_EQ(ToEdge({2, 3, 4, 5}), (EdgeRect{2, 3, 6, 8}));
    EXPECT_EQ(ToExtent({2, 3, 6, 8}), (ExtentRect{2, 3, 4, 5}));
    EXPECT_EQ(Normalised({10, 10, -4, -2}), (ExtentRect{6, 8, 4, 2}));
    EXPECT_EQ(EdgeFromFloat(1.5, -0.5, 3.2, 4.0), (EdgeRect{1, -1, 4, 4}));
    // Hostile extents saturate instead of wrapping.
    EXPECT_EQ(ToEdge({INT_MAX - 1, 0, 100, 1}).right, INT_MAX);
    EXPECT_EQ(EdgeFromFloat(NAN, 1e300, -1e300, 0), (EdgeRect{0, INT_MAX, INT_MIN, 0}));
}

TEST(Rect, Intersection)
{
    EdgeRect out;
    EXPECT_TRUE(Intersect({-5, -5, 5, 5}, {0, 0, 10, 10}, out));
    EXPECT_EQ(out, (EdgeRect{0, 0, 5, 5}));
    EXPECT_FALSE(Intersect({10, 0, 20, 5}, {0, 0, 10, 10}, out)); // touching is empty
    EXPECT_FALSE(ClipToBuffer({0, 0, 0, 5}, 10, 10, out));
    EXPECT_FALSE(ClipToBuffer({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 10, 10, out)); // ends at -1
    EXPECT_EQ(Union({}, {1, 2, 3, 4}), (EdgeRect{1, 2, 3, 4}));
}

TEST(Rect, CopyClipping)
{
    struct Case {
        const char* what;
        ExtentRect src;
        Point dst;
        bool ok;
        CopyRegion want;
    };
    // Source 10 x 8, target 6 x 6.
    const Case cases[] = {
        {"source at x=-3 width 10 copies 7 columns shifted 3", {-3, 0, 10, 2}, {0, 0}, true, {0, 0, 3, 0, 3, 2}},
        {"inside", {1, 1, 2, 2}, {2, 3}, true, {1, 1, 2, 3, 2, 2}},
        {"target left of 0 advances the source", {0, 0, 4, 4}, {-2, -1}, true, {2, 1, 0, 0, 2, 3}},
        {"cut at the target's far edges", {0, 0, 10, 8}, {4, 5}, true, {0, 0, 4, 5, 2, 1}},
        {"wholly left of the source", {-10, 0, 5, 5}, {0, 0}, false, {}},
        {"beyond the source", {10, 0, 5, 5}, {0, 0}, false, {}},
        {"beyond the target", {0, 0, 5, 5}, {6, 0}, false, {}},
        {"target far left", {0, 0, 5, 5}, {-5, 0}, false, {}},
        {"empty", {0, 0, 0, 5}, {0, 0}, false, {}},
        {"hostile extents", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MAX, 0}, false, {}},
    };
    for (const Case& c : cases) {
        CopyRegion got;
        ASSERT_EQ(ClipCopy(c.src, c.dst, 10, 8, 6, 6, got), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(got.srcX, c.want.srcX) << c.what;
            EXPECT_EQ(got.srcY, c.want.srcY) << c.what;
            EXPECT_EQ(got.dstX, c.want.dstX) << c.what;
            EXPECT_EQ(got.dstY, c.want.dstY) << c.what;
            EXPECT_EQ(got.width, c.want.width) << c.what;
            EXPECT_EQ(got.height, c.want.height) << c.what;
        }
    }
}
