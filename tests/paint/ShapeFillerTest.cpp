// The shape rasteriser in channel mode: coverage of a rectangle's rows and
// ends, an ellipse's rows and tangent points, a polygon's spans.
#include <gtest/gtest.h>

#include <cmath>

#include "paint/CEllipseFiller.h"
#include "paint/CPolygonFiller.h"

namespace morvane {
namespace {

TChannel Blank(int32_t w, int32_t h)
{
    TChannel c(w, h);
    c.FillAll(0);
    return c;
}

TEST(CFillMngr, RectangleRowsAndEndsCarryTheirFractions)
{
    TChannel c = Blank(30, 12);
    CFillMngr fill(30, 12);
    ASSERT_TRUE(fill.SetRect({10.25, 5.5}, {20.75, 8.5}));
    fill.UseChannel(255);
    EXPECT_EQ(fill.Render(c, {0, 0}), 4);
    EXPECT_EQ(fill.DirtyRect(), (ExtentRect{10, 5, 11, 4}));
    struct Case {
        int32_t x, y;
        uint8_t value;
    };
    // Row 5 and 8 are half covered; the end columns three quarters.
    const Case cases[] = {{9, 5, 0},   {10, 5, 95}, {11, 5, 127}, {19, 5, 127}, {20, 5, 95}, {21, 5, 0},
                          {10, 6, 191}, {15, 6, 255}, {20, 7, 191}, {15, 8, 127}, {10, 8, 95}, {15, 9, 0},
                          {15, 4, 0}};
    for (const Case& k : cases)
        EXPECT_EQ(c.GetValue(k.x, k.y), k.value) << k.x << "," << k.y;
}

TEST(CEllipseFiller, RowsAndTangentPoints)
{
    TChannel c = Blank(20, 10);
    CEllipseFiller fill(20, 10, true);
    ASSERT_TRUE(fill.SetEllipse({0, 0}, {10, 6}));
    const SEllipseRows& rows = fill.Rows();
    // Rows 0 ... 6; the first and last hold only the tangent point x = 5.
    ASSERT_EQ(rows.points.front().y, 0);
    ASSERT_EQ(rows.points.back().y, 6);
    EXPECT_DOUBLE_EQ(rows.points.front().x, 5);
    EXPECT_DOUBLE_EQ(rows.points.back().x, 5);
    EXPECT_NE(rows.points[1].y, 0);
    const auto row3 = std::find_if(rows.points.begin(), rows.points.end(), [](const PointF& p) { return p.y == 3; });
    ASSERT_NE(row3, rows.points.end());
    EXPECT_DOUBLE_EQ(row3->x, 0);
    EXPECT_DOUBLE_EQ((row3 + 1)->x, 10);
    fill.UseChannel(255);
    EXPECT_EQ(fill.Render(c, {0, 0}), 7);
    EXPECT_EQ(c.GetValue(5, 3), 255);
    EXPECT_EQ(c.GetValue(11, 3), 0);
    EXPECT_EQ(c.GetValue(0, 0), 0);
    // Degenerate boxes draw nothing.
    EXPECT_FALSE(fill.SetEllipse({4, 4}, {4, 9}));
}

TEST(CPolygonFiller, SpansAtRowCentresByTheEvenOddRule)
{
    TChannel c = Blank(20, 10);
    CPolygonFiller fill(20, 10);
    // A triangle: at row 4 (centre 4.5) it spans x = 2.25 ... 8.
    const PointF triangle[] = {{2, 1}, {14, 1}, {2, 9}};
    ASSERT_TRUE(fill.SetPolygon(triangle, 3));
    fill.UseChannel(255);
    EXPECT_GT(fill.Render(c, {0, 0}), 0);
    EXPECT_EQ(c.GetValue(1, 4), 0);
    EXPECT_EQ(c.GetValue(3, 4), 255);
    EXPECT_EQ(c.GetValue(9, 4), 0);
    // All vertices on one row: nothing.
    TChannel flat = Blank(20, 10);
    const PointF line[] = {{1, 3}, {9, 3}, {15, 3}};
    ASSERT_TRUE(fill.SetPolygon(line, 3));
    fill.Render(flat, {0, 0});
    EdgeRect box;
    EXPECT_FALSE(flat.BoundingBox(box));
    EXPECT_FALSE(fill.SetPolygon(line, 2));
}

TEST(CPolygonFiller, HugePolygonCoversTheLayerWithoutHugeBuffers)
{
    TChannel c = Blank(16, 8);
    CPolygonFiller fill(16, 8);
    const PointF square[] = {{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}};
    ASSERT_TRUE(fill.SetPolygon(square, 4));
    fill.UseChannel(255);
    fill.Render(c, {0, 0});
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 16; ++x)
            ASSERT_EQ(c.GetValue(x, y), 255) << x << "," << y;
    const PointF bad[] = {{0, 0}, {NAN, 3}, {5, 5}};
    EXPECT_FALSE(fill.SetPolygon(bad, 3));
}

} // namespace
} // namespace morvane
