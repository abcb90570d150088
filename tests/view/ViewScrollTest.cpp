// The scroll bars of a view: a document in sight leaves nothing to scroll,
// a larger one spans its size with the client's place as the value, turned
// views span their bounding box, and scrolling moves the value by as much.
#include <gtest/gtest.h>

#include <cmath>

#include "view/CViewState.h"
#include "view/ViewScroll.h"

namespace morvane {
namespace {

CViewState View(int32_t docW, int32_t docH, ScaleRatio scale)
{
    CViewState v;
    v.SetDocument(docW, docH);
    v.SetClient(400, 300);
    v.SetScale(scale.num, scale.den);
    v.SetAnchors({0, 0}, {0, 0});
    return v;
}

TEST(ViewScroll, TheBarsSpanDocumentAndClient)
{
    const ViewScroll small = ScrollOf(View(200, 100, {1, 1}));
    EXPECT_EQ(small.x.maximum, 0);
    EXPECT_EQ(small.y.maximum, 0);

    CViewState big = View(1000, 800, {1, 1});
    ViewScroll s = ScrollOf(big);
    EXPECT_EQ(s.x.maximum, 600);
    EXPECT_EQ(s.y.maximum, 500);
    EXPECT_EQ(s.x.page, 400);
    EXPECT_EQ(s.x.value, 0);
    big.SetAnchors({0, 0}, {120, 70});
    s = ScrollOf(big);
    EXPECT_EQ(s.x.value, 120);
    EXPECT_EQ(s.y.value, 70);
    // At 200 % the span doubles.
    EXPECT_EQ(ScrollOf(View(1000, 800, {2, 1})).x.maximum, 2000 - 400);

    // Turned a quarter, the bars span the turned box: the height across.
    CViewState turned = View(1000, 200, {1, 1});
    ASSERT_TRUE(turned.SetRotation(90));
    s = ScrollOf(turned);
    EXPECT_NEAR(s.x.maximum, 0, 1);
    EXPECT_NEAR(s.y.maximum, 1000 - 300, 1);
    turned.SetRotation(45);
    const double side = (1000 + 200) / std::sqrt(2.0);
    EXPECT_NEAR(ScrollOf(turned).x.maximum, side - 400, 2);
}

} // namespace
} // namespace morvane
