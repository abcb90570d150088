#include "view/ViewRender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "storage/BlendTables.h"
#include "storage/CScaleImage.h"

using namespace morvane;

namespace {

uint32_t Grey(uint8_t v, uint8_t alpha = 255)
{
    return uint32_t(alpha) << 24 | uint32_t(v) * 0x010101u;
}

// A document of w x h whose pixel (x, y) is colour(x, y).
void Paint(TMTC& doc, int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& colour)
{
    ASSERT_TRUE(doc.Resize(w, h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *doc.PixelPtr(x, y) = colour(x, y);
}

uint32_t Pattern(int32_t x, int32_t y)
{
    return 0xFF000000u | uint32_t(x * 37 + y * 101) * 2654435761u >> 8;
}

CViewState View(const TMTC& doc, int32_t clientW, int32_t clientH, ScaleRatio s, Point window = {},
                Point document = {})
{
    CViewState v;
    v.SetDocument(doc.Width, doc.Height);
    v.SetClient(clientW, clientH);
    v.SetScale(s.num, s.den);
    v.SetAnchors(window, document);
    return v;
}

ViewSource Source(const TMTC& doc, bool opaque = true, bool checker = false)
{
    ViewSource s;
    s.composite = &doc;
    s.opaquePaper = opaque;
    s.checker = checker;
    return s;
}

bool RenderAll(const CViewState& v, const ViewSource& s, TTC& window)
{
    return RenderView(v, s, window, {0, 0, v.ClientWidth(), v.ClientHeight()});
}

} // namespace

TEST(ViewRender, IntegerScaleReplicatesEachPixel)
{
    TMTC doc;
    Paint(doc, 4, 3, Pattern);
    for (int32_t k : {1, 2, 3}) {
        const CViewState v = View(doc, 4 * k, 3 * k, {k, 1});
        TTC window;
        ASSERT_TRUE(RenderAll(v, Source(doc), window));
        for (int32_t y = 0; y < 3 * k; ++y)
            for (int32_t x = 0; x < 4 * k; ++x)
                ASSERT_EQ(window.GetPixel(x, y), doc.GetPixel(x / k, y / k)) << k << ": " << x << "," << y;
    }
}

TEST(ViewRender, ReductionTakesNearestOrAveragesTheBox)
{
    TMTC doc;
    Paint(doc, 4, 4, [](int32_t x, int32_t y) { return Grey(uint8_t(x * 40 + y * 10)); });
    const CViewState v = View(doc, 2, 2, {1, 2});
    for (bool average : {false, true}) {
        ViewSource s = Source(doc);
        s.areaAverage = average;
        TTC window;
        ASSERT_TRUE(RenderAll(v, s, window));
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 2; ++x) {
                // Nearest: the pixel under the window pixel's centre; averaged:
                // the mean of the 2 x 2 block.
                const int32_t expected = average ? 80 * x + 20 * y + 25 : 40 * (2 * x + 1) + 10 * (2 * y + 1);
                EXPECT_EQ(window.GetPixel(x, y), Grey(uint8_t(expected))) << average << " " << x << "," << y;
            }
    }
}

TEST(ViewRender, CheckerCellsFollowWindowPixelsUnderTransparency)
{
    TMTC doc;
    Paint(doc, 32, 32, [](int32_t x, int32_t) { return x == 31 ? 0x80FF0000u : 0x00000000u; });
    const CViewState v = View(doc, 32, 32, {1, 1});
    TTC window;
    ASSERT_TRUE(RenderAll(v, Source(doc, false, true), window));
    struct Case {
        int32_t x, y;
        uint32_t expected;
    } cases[] = {{0, 0, kViewCheckerDark}, {7, 7, kViewCheckerDark}, {8, 0, kViewCheckerLight},
                 {0, 8, kViewCheckerLight}, {8, 8, kViewCheckerDark}, {16, 8, kViewCheckerLight}};
    for (const Case& c : cases)
        EXPECT_EQ(window.GetPixel(c.x, c.y), c.expected) << c.x << "," << c.y;
    uint32_t half = kViewCheckerLight;  // (31 div 8 + 0) is odd
    BlendColour(half, 0x80FF0000u, 0x80);
    EXPECT_EQ(window.GetPixel(31, 0), half);
    // Without the checkerboard the same pixels show over white.
    ASSERT_TRUE(RenderAll(v, Source(doc, false, false), window));
    EXPECT_EQ(window.GetPixel(8, 0), 0xFFFFFFFFu);
}

TEST(ViewRender, RotatedViewIsGreyOutsideTheDocument)
{
    TMTC doc;
    Paint(doc, 16, 16, [](int32_t, int32_t) { return 0x00000000u; });
    CViewState v = View(doc, 64, 64, {1, 1});
    ASSERT_TRUE(v.SetRotation(45.0));
    TTC window;
    ASSERT_TRUE(RenderAll(v, Source(doc, false, true), window));
    // The document's centre is at the window centre; the corners are far outside it.
    for (Point p : {Point{0, 0}, Point{63, 0}, Point{0, 63}, Point{63, 63}, Point{32, 5}})
        EXPECT_EQ(window.GetPixel(p.x, p.y), kViewOutside) << p.x << "," << p.y;
    EXPECT_EQ(window.GetPixel(32, 32), kViewCheckerDark);
    EXPECT_EQ(window.GetPixel(40, 32), kViewCheckerLight);
}

// At 1/16 a 4096-pixel row spans 65536 document columns: 2^32 in 16.16.
TEST(ViewRender, SixteenthOnAWideWindowShowsNoWrappedCopy)
{
    TMTC wide;
    Paint(wide, 70000, 16, Pattern);
    const CViewState v = View(wide, 4096, 1, {1, 16}, {0, 0}, {-100, 0});
    TTC window;
    ASSERT_TRUE(RenderAll(v, Source(wide), window));
    // Window column x shows document column 16x + 8 - 100.
    for (int32_t x = 0; x < 4096; ++x)
        ASSERT_EQ(window.GetPixel(x, 0), x < 6 ? kViewOutside : wide.GetPixel(16 * x - 92, 8)) << x;

    // Turned half round with the document cut by the left edge: a copy
    // would show 4096 pixels further right.
    TMTC doc;
    Paint(doc, 1024, 16, [](int32_t, int32_t) { return 0xFFFF0000u; });
    CViewState turned = View(doc, 4096, 64, {1, 16});
    ASSERT_TRUE(turned.SetRotation(180.0));
    ASSERT_TRUE(turned.SetRotationCentre({-32256.0, 8.0}));
    ASSERT_TRUE(RenderAll(turned, Source(doc), window));
    int32_t left = 0, right = 0;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 4096; ++x)
            (x < 2048 ? left : right) += window.GetPixel(x, y) != kViewOutside;
    EXPECT_GT(left, 0);
    EXPECT_EQ(right, 0);
}

TEST(ViewRender, OnlyTheInvalidatedRectangleIsDrawnAndItCoversAChange)
{
    TMTC doc;
    Paint(doc, 200, 150, Pattern);
    struct Case {
        ScaleRatio scale;
        Point window, document;
        double angle;
        bool average;
    } cases[] = {{{3, 2}, {-1, 0}, {10, 20}, 0.0, false},
                 {{2, 3}, {0, -1}, {40, 7}, 0.0, true},
                 {{4, 1}, {0, 0}, {0, 0}, 30.0, false}};
    for (const Case& c : cases) {
        CViewState v = View(doc, 120, 90, c.scale, c.window, c.document);
        ASSERT_TRUE(v.SetRotation(c.angle));
        ViewSource s = Source(doc);
        s.areaAverage = c.average;
        TTC window, fresh;
        ASSERT_TRUE(RenderAll(v, s, window));
        // A change of document pixels, redrawn over its window rectangle only.
        const DocPoint at = v.WindowToDocument({60, 45});
        const EdgeRect changed{int32_t(at.x) - 2, int32_t(at.y) - 1, int32_t(at.x) + 3, int32_t(at.y) + 2};
        for (int32_t y = changed.top; y < changed.bottom; ++y)
            for (int32_t x = changed.left; x < changed.right; ++x)
                *doc.PixelPtr(x, y) ^= 0x00FFFFFFu;
        const EdgeRect redraw = v.DocumentRectToWindow(changed);
        ASSERT_FALSE(redraw.IsEmpty());
        ASSERT_TRUE(RenderView(v, s, window, redraw));
        ASSERT_TRUE(RenderAll(v, s, fresh));
        for (int32_t y = 0; y < 90; ++y)
            for (int32_t x = 0; x < 120; ++x)
                ASSERT_EQ(window.GetPixel(x, y), fresh.GetPixel(x, y)) << c.angle << " at " << x << "," << y;
    }
    // Pixels outside the rectangle are left alone.
    const CViewState v = View(doc, 20, 20, {1, 1});
    TTC window;
    ASSERT_TRUE(window.Resize(20, 20));
    window.FillAll(0x12345678u);
    ASSERT_TRUE(RenderView(v, Source(doc), window, {5, 6, 7, 9}));
    EXPECT_EQ(window.GetPixel(4, 6), 0x12345678u);
    EXPECT_EQ(window.GetPixel(5, 9), 0x12345678u);
    EXPECT_EQ(window.GetPixel(6, 8), doc.GetPixel(6, 8));
}

TEST(ViewRender, GridFollowsDocumentPixelsAndLeavesTheCompositeAlone)
{
    TMTC doc;
    Paint(doc, 16, 16, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    const CViewState v = View(doc, 32, 32, {2, 1});
    ViewSource s = Source(doc);
    s.grid = true;
    s.gridX = 4;
    s.gridY = 8;
    s.gridColour = 0xFF0000FFu;
    TTC window;
    ASSERT_TRUE(RenderAll(v, s, window));
    // Document column 4 is window columns 8 and 9; row 8 is window rows 16, 17.
    for (Point p : {Point{8, 3}, Point{9, 3}, Point{0, 5}, Point{13, 16}, Point{13, 17}})
        EXPECT_EQ(window.GetPixel(p.x, p.y), 0xFF0000FFu) << p.x << "," << p.y;
    for (Point p : {Point{10, 3}, Point{7, 5}, Point{13, 15}})
        EXPECT_EQ(window.GetPixel(p.x, p.y), 0xFFFFFFFFu) << p.x << "," << p.y;
    EXPECT_EQ(doc.GetPixel(4, 3), 0xFFFFFFFFu);
}

// Reduced, a window pixel shows a line when any pixel it covers lies on one,
// so lines between the nearest samples are not lost.
TEST(ViewRender, ReducedViewsKeepEveryGridLine)
{
    TMTC doc;
    Paint(doc, 64, 64, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    struct Case {
        ScaleRatio scale;
        int32_t spacing;
        int32_t shown;              // window pixels the document covers
        int32_t off;                // a window column (and row) without a line
        std::vector<int32_t> lines; // the window columns (and rows) with one
    };
    for (const Case& c : {Case{{1, 2}, 32, 32, 7, {0, 16}},
                          Case{{1, 3}, 4, 21, 3, {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20}},
                          Case{{2, 3}, 16, 43, 5, {0, 10, 21, 32}}}) {
        SCOPED_TRACE(c.scale.den * 10 + c.scale.num);
        const CViewState v = View(doc, 48, 48, c.scale);
        ViewSource s = Source(doc);
        s.grid = true;
        s.gridX = s.gridY = c.spacing;
        s.gridColour = 0xFF0000FFu;
        TTC window;
        ASSERT_TRUE(RenderAll(v, s, window));
        // The document starts at the window anchor.
        const Point a = v.WindowAnchor();
        for (int32_t x = 0; x < c.shown; ++x) {
            const bool line = std::find(c.lines.begin(), c.lines.end(), x) != c.lines.end();
            const uint32_t expected = line ? 0xFF0000FFu : 0xFFFFFFFFu;
            EXPECT_EQ(window.GetPixel(a.x + x, a.y + c.off), expected) << x;
            EXPECT_EQ(window.GetPixel(a.x + c.off, a.y + x), expected) << x;
        }
    }
}

// Rotated and reduced, a line shows wherever it runs: a window pixel shows
// a line that crosses the square of document pixels it stands for, and the
// band stays narrower than the gap between lines.
TEST(ViewRender, RotatedReducedViewsKeepEveryGridLine)
{
    TMTC doc;
    Paint(doc, 160, 120, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    constexpr uint32_t kLine = 0xFF0000FFu;
    constexpr int32_t kSpacing = 10, kNoRows = 1000;
    for (const ScaleRatio scale : {ScaleRatio{1, 2}, ScaleRatio{1, 3}, ScaleRatio{2, 3}})
        for (const double angle : {90.0, 30.0, 45.0, 200.0}) {
            SCOPED_TRACE(std::to_string(scale.num) + "/" + std::to_string(scale.den) + " at " +
                         std::to_string(angle));
            CViewState v = View(doc, 160, 160, scale);
            ASSERT_TRUE(v.SetRotation(angle));
            ASSERT_TRUE(v.SetRotationCentre({80, 60}));
            ViewSource s = Source(doc);
            s.grid = true;
            s.gridX = kSpacing;
            s.gridY = kNoRows;
            s.gridColour = kLine;
            TTC window;
            ASSERT_TRUE(RenderAll(v, s, window));
            // Every column line, all along: a line pixel next to where it runs.
            for (int32_t x = kSpacing; x < doc.Width - kSpacing; x += kSpacing)
                for (int32_t y = 6; y < doc.Height - 6; y += 3) {
                    const DocPoint at = v.DocumentToWindow({double(x), double(y)});
                    const int32_t wx = int32_t(std::lround(at.x)), wy = int32_t(std::lround(at.y));
                    bool seen = false;
                    for (int32_t dy = -1; dy <= 1; ++dy)
                        for (int32_t dx = -1; dx <= 1; ++dx)
                            seen = seen || window.GetPixel(wx + dx, wy + dy) == kLine;
                    EXPECT_TRUE(seen) << "line " << x << " at row " << y;
                }
            int32_t inside = 0, lines = 0;
            for (int32_t y = 0; y < window.Height; ++y)
                for (int32_t x = 0; x < window.Width; ++x) {
                    const uint32_t p = window.GetPixel(x, y);
                    inside += p != kViewOutside;
                    lines += p == kLine;
                }
            EXPECT_LT(lines * 2, inside);
        }
}

TEST(ViewRender, NothingIsDrawnWithoutAClientOrComposite)
{
    TMTC doc;
    Paint(doc, 8, 8, Pattern);
    TTC window;
    EXPECT_FALSE(RenderAll(View(doc, 0, 100, {1, 1}), Source(doc), window));
    EXPECT_FALSE(RenderAll(View(doc, 100, -4, {1, 1}), Source(doc), window));
    EXPECT_FALSE(window.IsValid());
    const CViewState v = View(doc, 10, 10, {1, 1});
    EXPECT_FALSE(RenderView(v, Source(doc), window, {3, 3, 3, 9}));
    EXPECT_FALSE(RenderView(v, Source(doc), window, {20, 20, 30, 30}));
    ViewSource none;
    EXPECT_FALSE(RenderAll(v, none, window));
}

TEST(ViewRender, HostileViewsRenderWithoutHarm)
{
    TMTC doc;
    Paint(doc, 2048, 8, Pattern);
    const int32_t big = std::numeric_limits<int32_t>::max(), small = std::numeric_limits<int32_t>::min();
    const Point anchors[] = {{big, big}, {small, small}, {small, big}};
    const double angles[] = {0.0, 1e-300, 45.0, 1e300, std::nan("")};
    for (Point a : anchors)
        for (double angle : angles) {
            CViewState v = View(doc, 64, 32, {16, 1}, a, a);
            v.SetRotation(angle);
            ViewSource s = Source(doc);
            s.areaAverage = true;
            TTC window;
            EXPECT_TRUE(RenderAll(v, s, window));
            v.ZoomAt({1, 16}, {1e18, -1e18});
            EXPECT_TRUE(RenderAll(v, s, window));
            v.SetAnchors(a, a);
            EXPECT_TRUE(RenderAll(v, s, window));
        }
}

TEST(ScaleRotateBytes, TurnsScalesAndFillsOutside)
{
    const uint8_t source[4] = {10, 20, 30, 40};  // 2 x 2
    uint8_t out[16];
    // Unturned at 1: the same bytes.
    ASSERT_TRUE(ScaleRotateBytes(source, 2, 2, out, 2, 2, 1.0, 0.0, 0));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), std::vector<uint8_t>(source, source + 4));
    // A quarter turn moves each corner on by one.
    ASSERT_TRUE(ScaleRotateBytes(source, 2, 2, out, 2, 2, 1.0, 90.0, 0));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{20, 40, 10, 30}));
    // Halved: one pixel, the mean; on a 4 x 4 target at 1 the rim misses the source.
    ASSERT_TRUE(ScaleRotateBytes(source, 2, 2, out, 1, 1, 2.0, 0.0, 0));
    EXPECT_EQ(out[0], 25);
    ASSERT_TRUE(ScaleRotateBytes(source, 2, 2, out, 4, 4, 1.0, 0.0, 99));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16),
              (std::vector<uint8_t>{99, 99, 99, 99, 99, 10, 20, 99, 99, 30, 40, 99, 99, 99, 99, 99}));
    EXPECT_FALSE(ScaleRotateBytes(source, 2, 2, out, 2, 2, std::nan(""), 0.0, 0));
    EXPECT_FALSE(ScaleRotateBytes(source, 2, 2, out, 2, 2, 1.0, std::nan(""), 0));
    EXPECT_FALSE(ScaleRotateBytes(source, 0, 2, out, 2, 2, 1.0, 0.0, 0));
}

TEST(ViewRender, FlatteningIsTheColourBlendForEveryAlpha)
{
    TMTC doc;
    Paint(doc, 256, 3, [](int32_t x, int32_t y) { return uint32_t(x) << 24 | (Pattern(x, y) & 0xFFFFFFu); });
    const CViewState v = View(doc, 256, 3, {1, 1});
    for (bool checker : {false, true}) {
        TTC window;
        // An odd left edge, so single pixels and groups both run.
        ASSERT_TRUE(RenderView(v, Source(doc, false, checker), window, {3, 0, 256, 3}));
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 3; x < 256; ++x) {
                uint32_t expected = !checker ? 0xFFFFFFFFu : ((x / 8 + y / 8) & 1) ? kViewCheckerLight : kViewCheckerDark;
                BlendColour(expected, doc.GetPixel(x, y), uint32_t(x));
                ASSERT_EQ(window.GetPixel(x, y), expected) << checker << " " << x << "," << y;
            }
    }
}

TEST(ViewRender, AveragedReductionMatchesTheAreaResampler)
{
    TMTC doc;
    Paint(doc, 24, 24, Pattern);
    for (int32_t k : {2, 3, 4, 6}) {
        const CViewState v = View(doc, 24 / k, 24 / k, {1, k});
        ViewSource s = Source(doc);
        s.areaAverage = true;
        TTC window;
        TMTC expected;
        ASSERT_TRUE(RenderAll(v, s, window));
        ASSERT_TRUE(MakeScaledCopy(doc, 24 / k, 24 / k, expected));
        for (int32_t y = 0; y < 24 / k; ++y)
            for (int32_t x = 0; x < 24 / k; ++x)
                ASSERT_EQ(window.GetPixel(x, y), expected.GetPixel(x, y)) << k << ": " << x << "," << y;
    }
}
