// The marching ants: the edge lists of small masks, the dash pixels drawn
// at zoom 1 and 2 for three phases, and an empty selection that draws
// nothing and keeps its phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "document/CAntPoints.h"
#include "document/CMaskData.h"
#include "view/AntsDraw.h"

namespace morvane {
namespace {

using Points = std::set<std::pair<int32_t, int32_t>>;

Points Of(const CPointList& list)
{
    Points out;
    list.ForEach([&](Point p) { out.insert({p.x, p.y}); });
    return out;
}

std::unique_ptr<CMaskData> Square(EdgeRect r)
{
    SCoverage c;
    c.Allocate(r);
    std::fill(c.bytes.begin(), c.bytes.end(), 255);
    return CMaskData::FromCoverage(c, "s");
}

TEST(CAntPoints, EdgeListsOfASquareAndOfAMaskCutByTheCanvas)
{
    CAntPoints ants;
    ASSERT_TRUE(ants.Build(Square({2, 1, 4, 3}).get(), 10, 10));
    EXPECT_EQ(Of(ants.Left()), (Points{{2, 1}, {2, 2}}));
    EXPECT_EQ(Of(ants.Right()), (Points{{4, 1}, {4, 2}}));
    EXPECT_EQ(Of(ants.Top()), (Points{{2, 1}, {3, 1}}));
    EXPECT_EQ(Of(ants.Bottom()), (Points{{2, 3}, {3, 3}}));
    // Beyond the canvas the outline follows the canvas edge.
    ASSERT_TRUE(ants.Build(Square({-3, 8, 2, 15}).get(), 10, 10));
    EXPECT_EQ(Of(ants.Left()), (Points{{0, 8}, {0, 9}}));
    EXPECT_EQ(Of(ants.Bottom()), (Points{{0, 10}, {1, 10}}));
}

TEST(DrawAnts, DashesFollowThePhaseAtZoomOneAndTwo)
{
    const auto mask = Square({1, 1, 5, 4});
    for (const int zoom : {1, 2}) {
        CAntPoints ants;
        ASSERT_TRUE(ants.Build(mask.get(), 8, 8));
        CViewState view;
        view.SetDocument(8, 8);
        view.SetClient(16, 16);
        view.SetScale(zoom, 1);
        view.SetAnchors({0, 0}, {0, 0});
        for (int tick = 0; tick < 3; ++tick) {
            SCOPED_TRACE(testing::Message() << "zoom " << zoom << " tick " << tick);
            TMTC image(16, 16);
            image.FillAll(0x11223344u);
            EXPECT_GT(DrawAnts(ants, view, image, {0, 0, 16, 16}), 0);
            const uint8_t phase = ants.Phase();
            int32_t painted = 0;
            for (int32_t y = 0; y < 16; ++y)
                for (int32_t x = 0; x < 16; ++x) {
                    const uint32_t p = image.GetPixel(x, y);
                    if (p == 0x11223344u)
                        continue;
                    ++painted;
                    const bool black = (phase >> (7 - (x + y) % 8)) & 1;
                    ASSERT_EQ(p, black ? 0xFF000000u : 0xFFFFFFFFu) << x << "," << y;
                }
            // The ring of pixels just inside the 4 x 3 square, scaled.
            EXPECT_EQ(painted, zoom == 1 ? 10 : 24);
            EXPECT_TRUE(ants.Tick());
            EXPECT_EQ(ants.Phase(), uint8_t((phase >> 1) | (phase << 7)));
        }
    }
}

TEST(DrawAnts, AnEmptySelectionDrawsNothingAndKeepsItsPhase)
{
    CAntPoints ants;
    CMaskData empty("e");
    ASSERT_TRUE(ants.Build(&empty, 8, 8));
    CViewState view;
    view.SetDocument(8, 8);
    view.SetClient(8, 8);
    TMTC image(8, 8);
    image.FillAll(0);
    EXPECT_EQ(DrawAnts(ants, view, image, {0, 0, 8, 8}), 0);
    EXPECT_FALSE(ants.Tick());
    EXPECT_EQ(ants.Phase(), CAntPoints::kInitialPhase);
}

} // namespace
} // namespace morvane
