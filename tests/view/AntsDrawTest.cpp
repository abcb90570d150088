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

// Every list against a pixel-by-pixel scan, in order, with the row starts,
// for masks whose rows end on and off a 64-pixel word.
TEST(CAntPoints, EdgeListsMatchAPixelScanRowByRow)
{
    for (const EdgeRect r : {EdgeRect{-5, -3, 123, 40}, EdgeRect{0, 0, 64, 20}, EdgeRect{3, 2, 131, 30}}) {
        SCoverage c;
        ASSERT_TRUE(c.Allocate(r));
        uint32_t state = 7;
        for (uint8_t& b : c.bytes)
            b = (state = state * 134775813u + 1) >> 29 < 3 ? 0 : 200;
        const std::unique_ptr<CMaskData> mask = CMaskData::FromCoverage(c, "m");
        const int32_t w = 128, h = 32;
        CAntPoints ants;
        ASSERT_TRUE(ants.Build(mask.get(), w, h));
        const auto on = [&](int32_t x, int32_t y) {
            return x >= std::max(r.left, 0) && x < std::min(r.right, w) && y >= std::max(r.top, 0) &&
                   y < std::min(r.bottom, h) && mask->ValueAt(x, y) != 0;
        };
        std::vector<Point> expected[4];
        for (int32_t y = 0; y <= h; ++y)
            for (int32_t x = 0; x <= w; ++x) {
                if (on(x, y) && !on(x - 1, y))
                    expected[0].push_back({x, y});
                if (!on(x, y) && on(x - 1, y))
                    expected[1].push_back({x, y});
                if (on(x, y) && !on(x, y - 1))
                    expected[2].push_back({x, y});
                if (!on(x, y) && on(x, y - 1))
                    expected[3].push_back({x, y});
            }
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(testing::Message() << "list " << k << " mask at " << r.left << "," << r.top);
            std::vector<Point> got;
            ants.List(k).ForEach([&](Point p) { got.push_back(p); });
            ASSERT_EQ(got, expected[k]);
            for (int32_t y = ants.FirstRow(); y <= ants.LastRow(); ++y)
                for (int64_t i = ants.RowStart(k, y); i < ants.RowStart(k, y + 1); ++i)
                    ASSERT_EQ(ants.List(k).At(i).y, y);
            EXPECT_EQ(ants.RowStart(k, ants.LastRow() + 1), int64_t(got.size()));
        }
    }
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
