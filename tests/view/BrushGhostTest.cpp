// The nib's outline on screen: its radius is the nib's times the zoom at
// 50, 100 and 200 %, turned views included; an elliptical nib's axes follow
// its angle; a bitmap nib's outline is its half-coverage contour; drawing
// stays inside the box and the clip and shows on light and dark alike.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "paint/TPaintParam.h"
#include "storage/TMTC.h"
#include "view/BrushGhost.h"
#include "view/CViewState.h"

namespace morvane {
namespace {

CViewState View(ScaleRatio scale, double rotation)
{
    CViewState v;
    v.SetDocument(400, 300);
    v.SetClient(320, 240);
    v.SetScale(scale.num, scale.den);
    v.SetRotation(rotation);
    return v;
}

TEST(BrushGhost, TheOutlineIsTheRadiusTimesTheZoomTurnedOrNot)
{
    BrushGhost ghost;
    TPaintParam param(PaintKind::Pencil4);
    param.SetRadius(20);
    ghost.SetNib(param);
    for (ScaleRatio scale : {ScaleRatio{1, 2}, ScaleRatio{1, 1}, ScaleRatio{2, 1}})
        for (double rotation : {0.0, 30.0, 90.0}) {
            const CViewState view = View(scale, rotation);
            const double expected = 20.0 * scale.num / scale.den;
            EXPECT_NEAR(ghost.ScreenRadius(view), expected, 1e-6) << scale.num << "/" << scale.den << " " << rotation;
            const EdgeRect box = ghost.Box(view, {160, 120}, false);
            EXPECT_NEAR(box.right - box.left, 2 * expected + 1, 2.0);
        }
    // A flat nib at 90 degrees stands upright: tall on screen, narrow across.
    param.SetAspect(0.25f);
    param.SetAngle(90);
    ghost.SetNib(param);
    double wide = 0, tall = 0;
    for (const BrushGhost::Segment& s : ghost.Outline()) {
        wide = std::max(wide, std::abs(s.a.x));
        tall = std::max(tall, std::abs(s.a.y));
    }
    EXPECT_NEAR(tall, 20, 1e-6);
    EXPECT_NEAR(wide, 5, 1e-6);
}

TEST(BrushGhost, ABitmapNibShowsItsHalfCoverageContour)
{
    // A 10 x 6 block of full coverage inside a 16 x 12 bitmap at 200 %.
    std::vector<uint8_t> bits(16 * 12, 0);
    for (int y = 3; y < 9; ++y)
        for (int x = 3; x < 13; ++x)
            bits[size_t(y) * 16 + size_t(x)] = 255;
    BrushGhost ghost;
    ghost.SetBitmap(bits.data(), 16, 12, 2.0, 1.0, 0.0);
    ASSERT_FALSE(ghost.Outline().empty());
    double maxX = 0, maxY = 0;
    for (const BrushGhost::Segment& s : ghost.Outline())
        for (DocPoint p : {s.a, s.b}) {
            maxX = std::max(maxX, std::abs(p.x));
            maxY = std::max(maxY, std::abs(p.y));
        }
    // The crossing lies (almost) half-way between the last full and the
    // first empty sample: 128 of 255.
    EXPECT_NEAR(maxX, (12.5 + 0.5 - 8.0) * 2, 0.01);
    EXPECT_NEAR(maxY, (8.5 + 0.5 - 6.0) * 2, 0.01);
}

TEST(BrushGhost, DrawingStaysInsideTheClipAndShowsOnLightAndDark)
{
    BrushGhost ghost;
    ghost.SetEllipse(30, 1, 0);
    const CViewState view = View({1, 1}, 0);
    TTC window(320, 240);
    window.FillAll(0xFFFFFFFFu);
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 160; x < 320; ++x)
            *window.PixelPtr(x, y) = 0xFF101010u;
    const EdgeRect box = ghost.Box(view, {160.5, 120.5}, true);
    const EdgeRect clip{box.left, box.top, box.right, 120};
    ghost.Draw(window, clip, view, {160.5, 120.5}, true);
    int black = 0, white = 0, outside = 0;
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            const uint32_t p = window.GetPixel(x, y);
            const bool changed = x < 160 ? p != 0xFFFFFFFFu : p != 0xFF101010u;
            if (!changed)
                continue;
            outside += x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom;
            black += p == 0xFF000000u;
            white += p == 0xFFFFFFFFu;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(black, 20) << "dark marks over the light half";
    EXPECT_GT(white, 20) << "light marks over the dark half";
    EXPECT_EQ(window.GetPixel(160, 119), 0xFFFFFFFFu) << "the centre mark";
}

// A move draws again only the bands of the old and the new outline; a pixel
// of either left outside them would stay on screen as a trail.
TEST(BrushGhost, AMoveRedrawsEveryPixelOfTheOldAndTheNewOutline)
{
    BrushGhost ghost;
    ghost.SetEllipse(40, 0.5, 20);
    for (const CViewState& view : {View({1, 1}, 0), View({2, 1}, 30)}) {
        const auto marked = [&](DocPoint at) {
            TTC window(320, 240);
            window.FillAll(0xFFFFFFFFu);
            ghost.Draw(window, {0, 0, 320, 240}, view, at, true);
            std::vector<Point> out;
            for (int32_t y = 0; y < 240; ++y)
                for (int32_t x = 0; x < 320; ++x)
                    if (window.GetPixel(x, y) != 0xFFFFFFFFu)
                        out.push_back({x, y});
            return out;
        };
        const DocPoint from{150.5, 110.25}, to{157.75, 113.5};
        const std::vector<EdgeRect> redrawn =
            BrushGhost::MoveBands(ghost.Bands(view, from, true), ghost.Bands(view, to, true));
        int64_t area = 0;
        for (const EdgeRect& r : redrawn)
            area += int64_t(r.right - r.left) * (r.bottom - r.top);
        std::vector<Point> pixels = marked(from), after = marked(to);
        ASSERT_GT(after.size(), 100u);
        pixels.insert(pixels.end(), after.begin(), after.end());
        for (const Point& p : pixels) {
            bool inside = false;
            for (const EdgeRect& r : redrawn)
                inside = inside || (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom);
            ASSERT_TRUE(inside) << p.x << "," << p.y;
        }
        // Far less than the boxes: the point of the bands.
        const EdgeRect box = ghost.Box(view, to, true);
        EXPECT_LT(area, int64_t(box.right - box.left) * (box.bottom - box.top));
    }
}

} // namespace
} // namespace morvane
