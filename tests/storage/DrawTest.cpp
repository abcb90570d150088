// Drawing primitives of the channel and 32-bit buffers: discs, segments,
// polygon fill, boundary marking, lines, frames and checkerboards.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "storage/TChannel.h"
#include "storage/TMTC.h"

using namespace morvane;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// FNV-1a over the rows, top to bottom, whatever the memory layout.
uint32_t Checksum(const CDibCore& b)
{
    uint32_t h = 2166136261u;
    const int64_t rowBytes = int64_t{b.Width} * b.BytesPerPixel();
    for (int32_t y = 0; y < b.Height; ++y) {
        const uint8_t* row = b.RowPtr(y);
        for (int64_t i = 0; i < rowBytes; ++i)
            h = (h ^ row[i]) * 16777619u;
    }
    return h;
}

// One line per row, for failure messages (the blue byte of 32-bit pixels).
std::string Picture(const CDibCore& b)
{
    std::string s = "\n";
    char buf[8];
    for (int32_t y = 0; y < b.Height; ++y) {
        for (int32_t x = 0; x < b.Width; ++x) {
            std::snprintf(buf, sizeof buf, "%4d", b.RowPtr(y)[x * b.BytesPerPixel()]);
            s += buf;
        }
        s += "\n";
    }
    return s;
}

bool AllZero(const CDibCore& b)
{
    for (int32_t y = 0; y < b.Height; ++y)
        for (int64_t i = 0; i < int64_t{b.Width} * b.BytesPerPixel(); ++i)
            if (b.RowPtr(y)[i] != 0)
                return false;
    return true;
}

TChannel Channel(int32_t w, int32_t h, uint8_t fill = 0)
{
    TChannel c(w, h);
    c.FillAll(fill);
    return c;
}

TMTC Image(int32_t w, int32_t h)
{
    TMTC m(w, h);
    m.FillAll(0);
    return m;
}

std::vector<int> Row(const TChannel& c, int32_t y)
{
    std::vector<int> v;
    for (int32_t x = 0; x < c.Width; ++x)
        v.push_back(c.GetValue(x, y));
    return v;
}

std::vector<int> Column(const TChannel& c, int32_t x)
{
    std::vector<int> v;
    for (int32_t y = 0; y < c.Height; ++y)
        v.push_back(c.GetValue(x, y));
    return v;
}
} // namespace

// Each image was checked by eye before its checksum was recorded.
TEST(Draw, GoldenImages)
{
    struct Case {
        const char* name;
        std::function<void(TChannel&, TMTC&)> draw;
        uint32_t checksum;
    };
    const PointF triangle[] = {{1, 1}, {8, 2}, {3, 8}};
    const PointF diamond[] = {{5.3, 0.4}, {9.6, 4.5}, {5.4, 9.4}, {0.4, 4.6}};
    const Case cases[] = {
        {"channel disc r 3.5", [](TChannel& c, TMTC&) { c.StampDisc(5, 5, 3.5, 255, 1.0, true); },
         2934261578u},
        {"small channel disc over 40",
         [](TChannel& c, TMTC&) {
             c.FillAll(40);
             c.StampDisc(4.5, 4.5, 2, 200, 0.8, true);
         },
         181583824u},
        {"aliased channel disc", [](TChannel& c, TMTC&) { c.StampDisc(4.5, 4.5, 2, 200, 1.0, false); },
         456662293u},
        {"channel falloff disc", [](TChannel& c, TMTC&) { c.StampDiscFalloff(5, 5, 4, 255, 1.0); },
         266492889u},
        {"channel max disc over 90",
         [](TChannel& c, TMTC&) {
             c.FillAll(90);
             c.StampDiscMax(5, 5, 4, 200, 0.5);
         },
         3413875523u},
        {"triangle", [&](TChannel& c, TMTC&) { c.FillPolygon(triangle, 3); }, 639186703u},
        {"fractional diamond", [&](TChannel& c, TMTC&) { c.FillPolygon(diamond, 4); }, 301429039u},
        {"wide AA line", [](TChannel&, TMTC& m) { m.DrawLineAA(0x00FF80C0, true, 1, 1, 8, 4); }, 2804292639u},
        {"steep narrow AA line", [](TChannel&, TMTC& m) { m.DrawLineAA(0x00FF80C0, false, 7.5, 0.2, 2, 9); },
         200321493u},
        {"32-bit disc", [](TChannel&, TMTC& m) { m.StampDisc(5, 5, 3, 0x00FF80C0, 1.0, true); }, 2404986036u},
        {"32-bit falloff disc", [](TChannel&, TMTC& m) { m.StampDiscFalloff(5, 5, 4, 0x00FF80C0, 1.0); },
         710058377u},
    };
    for (const Case& c : cases) {
        TChannel channel = Channel(10, 10);
        TMTC image = Image(10, 10);
        c.draw(channel, image);
        const bool onImage = !AllZero(image);
        const CDibCore& drawn = onImage ? static_cast<const CDibCore&>(image) : channel;
        EXPECT_EQ(Checksum(drawn), c.checksum) << c.name << Picture(drawn);
    }
}

TEST(Draw, DiscBlendIsChosenPerChannel)
{
    // A blend that writes the coverage alpha itself shows what StampDisc passes.
    TChannel c = Channel(10, 10);
    c.SetDiscBlend([](uint8_t* byte, uint8_t, uint8_t alpha) { *byte = alpha; });
    c.StampDisc(5, 5, 3.5, 9, 0.6, true);
    EXPECT_EQ(c.GetValue(5, 5), 153);           // round(0.6 x 255), full pixel
    EXPECT_EQ(c.GetValue(8, 5), 153 * 15 / 25); // 15 of 25 samples inside
    c.SetDiscBlend(nullptr);
    c.StampDisc(5, 5, 3.5, 9, 1.0, true);
    EXPECT_EQ(c.GetValue(5, 5), 9);
}

TEST(Draw, SegmentsCoverTheirEndsBy64ths)
{
    // [1.5, 3.25): pixel 1 half covered, 2 whole, 3 a quarter; either order.
    const std::vector<int> expected = {0, 127, 255, 63, 0, 0};
    for (const auto& [a, b] : {std::pair{1.5, 3.25}, {3.25, 1.5}}) {
        TChannel across = Channel(6, 3);
        across.SegmentH(a, b, 1, 255);
        EXPECT_EQ(Row(across, 1), expected);
        EXPECT_EQ(Row(across, 0), std::vector<int>(6, 0));
        TChannel down = Channel(3, 6);
        down.SegmentV(2, a, b, 255);
        EXPECT_EQ(Column(down, 2), expected);
        EXPECT_EQ(Column(down, 1), std::vector<int>(6, 0));
    }
    // Keep maximum: a segment never lowers a pixel.
    TChannel c = Channel(6, 1, 200);
    c.SegmentH(1.5, 3.25, 0, 255);
    EXPECT_EQ(Row(c, 0), (std::vector<int>{200, 200, 255, 200, 200, 200}));
}

namespace {
// A channel from rows of '#' (region, as assorted non-zero bytes) and '.'.
TChannel FromRows(const std::vector<std::string>& rows)
{
    TChannel c = Channel(int32_t(rows[0].size()), int32_t(rows.size()));
    for (int32_t y = 0; y < c.Height; ++y)
        for (int32_t x = 0; x < c.Width; ++x)
            *c.PixelPtr(x, y) = rows[size_t(y)][size_t(x)] == '#' ? uint8_t(1 + 37 * (x + y) % 250) : 0;
    return c;
}

// How many 4-neighbours of (x, y) are region bytes.
int RegionNeighbours(const std::vector<std::string>& rows, int32_t x, int32_t y)
{
    int n = 0;
    for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
        const int32_t nx = x + dx, ny = y + dy;
        if (ny >= 0 && ny < int32_t(rows.size()) && nx >= 0 && nx < int32_t(rows[0].size()))
            n += rows[size_t(ny)][size_t(nx)] == '#';
    }
    return n;
}
} // namespace

TEST(Draw, MarkEdgesGradesTheRimByRegionNeighbours)
{
    // Gaps with one to four region neighbours, region on the left and bottom
    // borders, and outside runs that reach the right and top borders.
    const std::vector<std::string> rows = {
        "#..#...", "#.#....", "..##...", ".#.#.#.", "..#....", "#.....#",
    };
    TChannel marked = FromRows(rows);
    marked.MarkEdges(255);
    TChannel plain = FromRows(rows);
    plain.MarkEdgesFrom(200, 7);
    for (int32_t y = 0; y < marked.Height; ++y) {
        for (int32_t x = 0; x < marked.Width; ++x) {
            const int k = RegionNeighbours(rows, x, y);
            const bool region = rows[size_t(y)][size_t(x)] == '#';
            EXPECT_EQ(marked.GetValue(x, y), region ? 255 : k > 0 ? 42 * (1 + k) : 0) << x << "," << y;
            EXPECT_EQ(plain.GetValue(x, y), region ? 200 : k > 0 ? 7 : 0) << x << "," << y;
        }
    }
    EXPECT_EQ(marked.GetValue(2, 3), 210); // the fixture does hold a four-sided gap
}

TEST(Draw, PolygonFill)
{
    TChannel c = Channel(10, 10);
    // Two distinct points, closed or not, and repeats of one point: nothing.
    const std::vector<std::vector<PointF>> degenerate = {{{1, 1}, {8, 8}},
                                                         {{1, 1}, {8, 8}, {1, 1}},
                                                         {{1, 1}, {8, 8}, {8, 8}, {1, 1}},
                                                         {{3, 3}, {3, 3}, {3, 3}},
                                                         {}};
    for (const auto& pts : degenerate)
        c.FillPolygon(pts.data(), int(pts.size()));
    EXPECT_TRUE(AllZero(c)) << Picture(c);

    // An axis-aligned rectangle on whole pixels is filled exactly.
    const PointF box[] = {{2, 2}, {7, 2}, {7, 6}, {2, 6}};
    c.FillPolygon(box, 4);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            EXPECT_EQ(c.GetValue(x, y), (x >= 2 && x < 7 && y >= 2 && y < 6) ? 255 : 0) << x << "," << y;

    // Corners between the sample rows and columns on all four sides: every
    // pixel wholly inside the diamond is full (the middle one too).
    const PointF diamond[] = {{5.3, 0.4}, {9.6, 4.5}, {5.4, 9.4}, {0.4, 4.6}};
    auto inside = [&](double px, double py) {
        bool in = false; // even-odd test
        for (int i = 0, j = 3; i < 4; j = i++)
            if ((diamond[i].y > py) != (diamond[j].y > py) &&
                px < (diamond[j].x - diamond[i].x) * (py - diamond[i].y) / (diamond[j].y - diamond[i].y) +
                         diamond[i].x)
                in = !in;
        return in;
    };
    TChannel d = Channel(10, 10);
    d.FillPolygon(diamond, 4);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            if (inside(x, y) && inside(x + 1, y) && inside(x, y + 1) && inside(x + 1, y + 1)) {
                EXPECT_EQ(d.GetValue(x, y), 255) << x << "," << y << Picture(d);
            }
}

TEST(Draw, LinesVisitEveryStepInsideAndNothingElse)
{
    // Each pixel records the parameter of the step that reached it.
    auto store = [](uint32_t* p, uint32_t, int32_t param) { *p = uint32_t(param) | 0x80000000u; };
    TMTC m = Image(6, 4);
    m.DrawLine(0, 0, 5, 2, store, 0, 0, 10); // y = h * 2 / 5: 0 0 0 1 1 2
    EXPECT_EQ(m.GetPixel(0, 0), 0x80000000u);
    EXPECT_EQ(m.GetPixel(2, 0), 0x80000004u);
    EXPECT_EQ(m.GetPixel(3, 1), 0x80000006u);
    EXPECT_EQ(m.GetPixel(5, 2), 0x8000000Au);
    m.FillAll(0);
    m.DrawLine(4, 3, 4, 3, store, 0, 1, 9); // zero length: one point with p1
    EXPECT_EQ(m.GetPixel(4, 3), 0x80000009u);

    // Long lines far outside are clipped before the walk; the pixels are those
    // of the full walk that fall inside.
    struct Line {
        int32_t x0, y0, x1, y1;
    };
    const Line lines[] = {{-1000000, -400000, 1000005, 400003},
                          {900000, 7, -900000, 2},
                          {3, -1048000, 5, 1048000},
                          {-20, 30, 40, -25},
                          {2, 2, 2, -900000},
                          {-5, -5, -1, -1}};
    for (const Line& l : lines) {
        TMTC drawn = Image(40, 30);
        drawn.DrawLine(l.x0, l.y0, l.x1, l.y1, store, 0, -7, 1000);
        TMTC walked = Image(40, 30);
        const int64_t dx = int64_t{l.x1} - l.x0, dy = int64_t{l.y1} - l.y0;
        const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
        for (int64_t h = 0; h <= n; ++h) {
            const int64_t x = l.x0 + h * dx / n, y = l.y0 + h * dy / n;
            if (x >= 0 && x < 40 && y >= 0 && y < 30)
                store(walked.PixelPtr(int32_t(x), int32_t(y)), 0, int32_t(-7 + 1007 * h / n));
        }
        EXPECT_EQ(Checksum(drawn), Checksum(walked)) << l.x0 << "," << l.y0 << " " << l.x1 << "," << l.y1;
    }
}

TEST(Draw, FrameVisitsEachRimPixelOnce)
{
    auto count = [](uint32_t* p, uint32_t, int32_t) { ++*p; };
    const ExtentRect rects[] = {{1, 1, 1, 1}, {1, 1, 1, 4}, {1, 1, 4, 1},   {1, 1, 2, 2},
                                {1, 1, 2, 5}, {1, 1, 5, 3}, {-2, -3, 6, 5}, {3, 2, 0x7FFFFFF0, 0x7FFFFFF0},
                                {2, 2, 0, 3}, {2, 2, 3, -1}};
    for (const ExtentRect& r : rects) {
        TMTC m = Image(8, 6);
        m.FrameRect(r, count, 0, 0);
        const int64_t right = int64_t{r.left} + r.width, bottom = int64_t{r.top} + r.height;
        for (int32_t y = 0; y < 6; ++y) {
            for (int32_t x = 0; x < 8; ++x) {
                const bool within = x >= r.left && x < right && y >= r.top && y < bottom;
                const bool rim = within && (x == r.left || x == right - 1 || y == r.top || y == bottom - 1);
                EXPECT_EQ(m.GetPixel(x, y), rim ? 1u : 0u)
                    << r.left << "," << r.top << " " << r.width << "x" << r.height << " at " << x << "," << y;
            }
        }
    }
}

TEST(Draw, CheckerCellsAlternateFromTheRegionCorner)
{
    constexpr uint32_t A = 0xAA, B = 0xBB;
    auto pattern = [](const TMTC& m) {
        std::string s;
        for (int32_t y = 0; y < m.Height; ++y) {
            for (int32_t x = 0; x < m.Width; ++x)
                s += m.GetPixel(x, y) == A ? 'A' : m.GetPixel(x, y) == B ? 'B' : '.';
            s += '|';
        }
        return s;
    };
    TMTC m = Image(8, 6);
    EXPECT_TRUE(m.FillChecker({1, 1, 6, 4}, {2, 3}, A, B));
    EXPECT_EQ(pattern(m), "........|.BBAABB.|.BBAABB.|.BBAABB.|.AABBAA.|........|");
    // Clipped on the left and top: the cells still count from (-3, -1), and
    // the last ones are cut.
    m.FillAll(0);
    EXPECT_TRUE(m.FillChecker({-3, -1, 10, 5}, {2, 2}, A, B));
    EXPECT_EQ(pattern(m), "ABBAABB.|BAABBAA.|BAABBAA.|ABBAABB.|........|........|");
    m.FillAll(0);
    for (const Point cell : {Point{0, 2}, Point{2, 0}, Point{-1, 3}})
        EXPECT_FALSE(m.FillChecker({0, 0, 8, 6}, cell, A, B));
    EXPECT_FALSE(m.FillChecker({8, 0, 4, 4}, {1, 1}, A, B));
    EXPECT_TRUE(AllZero(m));
}

TEST(Draw, BadInputDrawsNothing)
{
    constexpr double kFar = 1048576.0 + 100;
    struct Disc {
        double cx, cy, r, opacity;
    };
    const Disc discs[] = {{kNaN, 5, 3, 1},  {5, kInf, 3, 1},  {-kFar, 5, 3, 1}, {5, kFar + 20, 3, 1},
                          {5, 5, 0, 1},     {5, 5, -2, 1},    {5, 5, kNaN, 1},  {5, 5, kInf, 1},
                          {5, 5, 1e300, 1}, {5, 5, 0.05, 1},  {5, 5, 3, kNaN},  {5, 5, 3, -1},
                          {5, 5, 3, 0},     {-40, -40, 30, 1}};
    for (const Disc& d : discs) {
        TChannel c = Channel(20, 10);
        c.StampDisc(d.cx, d.cy, d.r, 255, d.opacity, true);
        c.StampDisc(d.cx, d.cy, d.r, 255, d.opacity, false);
        c.StampDiscFalloff(d.cx, d.cy, d.r, 255, d.opacity);
        c.StampDiscMax(d.cx, d.cy, d.r, 255, d.opacity);
        EXPECT_TRUE(AllZero(c)) << d.cx << "," << d.cy << " r " << d.r << Picture(c);
        TMTC m = Image(20, 10);
        m.StampDisc(d.cx, d.cy, d.r, 0xFFFFFF, d.opacity, true);
        m.StampDiscFalloff(d.cx, d.cy, d.r, 0xFFFFFF, d.opacity, false);
        EXPECT_TRUE(AllZero(m)) << d.cx << "," << d.cy << " r " << d.r << Picture(m);
    }

    for (const double end : {kNaN, kInf, -kInf, -kFar, 20 + kFar}) {
        TChannel c = Channel(20, 10);
        c.SegmentH(2, end, 3, 255);
        c.SegmentH(end, 2, 3, 255);
        c.SegmentV(3, end, 2, 255);
        EXPECT_TRUE(AllZero(c)) << end << Picture(c);
        TMTC m = Image(20, 10);
        m.DrawLineAA(0xFFFFFF, true, end, 2, 5, 5);
        m.DrawLineAA(0xFFFFFF, false, 2, 2, 5, end);
        EXPECT_TRUE(AllZero(m)) << end << Picture(m);
    }

    TChannel c = Channel(20, 10);
    const std::vector<std::vector<PointF>> polygons = {{{1, 1}, {kNaN, 8}, {8, 1}},
                                                       {{1, 1}, {15, kInf}, {8, 1}},
                                                       {{1, 1}, {-kFar, 8}, {8, 1}},
                                                       {{1, 1}, {8, 8}, {8, 1e300}}};
    for (const auto& pts : polygons)
        c.FillPolygon(pts.data(), int(pts.size()));
    c.FillPolygon(nullptr, 5);
    c.FillPolygon(polygons[0].data(), -3);
    EXPECT_TRUE(AllZero(c)) << Picture(c);

    TMTC m = Image(20, 10);
    auto store = [](uint32_t* p, uint32_t colour, int32_t) { *p = colour; };
    m.DrawLine(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, store, 0xFFFFFFFF, 0, 0);
    m.DrawLine(0, 0, 5, 5, nullptr, 0xFFFFFFFF, 0, 0);
    EXPECT_TRUE(AllZero(m));
    TMTC empty;
    empty.DrawLine(0, 0, 3, 3, store, 1, 0, 0);
    empty.FrameRect({0, 0, 3, 3}, store, 1, 0);
    empty.StampDisc(1, 1, 1, 1, 1, true);
    EXPECT_FALSE(empty.FillChecker({0, 0, 3, 3}, {1, 1}, 1, 2));
}

TEST(Draw, HugeButReachableShapesAreClippedQuickly)
{
    // Ends and radii near the reach limit must not walk their whole extent.
    constexpr double kEdge = 1048576.0 - 1;
    TChannel c = Channel(64, 48);
    c.StampDisc(-kEdge + 1000, 20, kEdge, 255, 1.0, true);
    c.StampDiscFalloff(20, kEdge, kEdge - 10, 255, 1.0);
    c.StampDiscMax(-kEdge, -kEdge, kEdge, 255, 1.0);
    c.SegmentH(-kEdge, kEdge, 5, 255);
    EXPECT_EQ(Row(c, 5), std::vector<int>(64, 255));
    const PointF huge[] = {{-kEdge, -kEdge}, {kEdge, -kEdge}, {kEdge, kEdge}, {-kEdge, kEdge}};
    c.FillAll(0);
    c.FillPolygon(huge, 4);
    for (int32_t y = 0; y < 48; ++y)
        EXPECT_EQ(Row(c, y), std::vector<int>(64, 255)) << y;
    TMTC m = Image(64, 48);
    m.StampDisc(32, 24, kEdge, 0xFFFFFF, 1.0, true);
    EXPECT_EQ(m.GetPixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    m.DrawLineAA(0x123456, true, -kEdge, 3, kEdge, 3);
    EXPECT_EQ(m.GetPixel(63, 3) & 0xFFFFFF, 0x123456u);
}
