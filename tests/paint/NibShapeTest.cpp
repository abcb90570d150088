// The nib generator: radius steps and oversampling, distances and coverage
// against the geometry they stand for, the direction of elliptical and
// bitmap nibs, the cache, exact pencil dabs, golden grids and refused input.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

#include "paint/CGradeMapObj.h"
#include "paint/CPenShape.h"
#include "paint/CPenShapeObj.h"
#include "paint/CPenShapeSupport.h"
#include "platform/MemoryBudget.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

constexpr int32_t kOne = 0x10000;
constexpr int32_t kFull = 0xFF0000;

int32_t Px(double pixels)
{
    return int32_t(std::lround(pixels * kOne));
}

uint64_t Checksum(const NibGrid& g)
{
    uint64_t h = support::kFnvStart;
    const auto mix = [&h](int32_t v) {
        for (int i = 0; i < 4; ++i)
            h = support::FnvMix(h, uint8_t(uint32_t(v) >> (8 * i)));
    };
    for (int32_t v : {g.gridW, g.gridH, g.oversample, g.centreX, g.centreY})
        mix(v);
    for (int64_t i = 0; i < g.Samples(); ++i)
        mix(g.density[i]);
    return h;
}

// The area of the unit square centred on (x, y) inside the circle of radius
// r, by 200 x 200 point samples.
double TrueCoverage(double x, double y, double r)
{
    constexpr int n = 200;
    int inside = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const double px = x - 0.5 + (i + 0.5) / n, py = y - 0.5 + (j + 0.5) / n;
            inside += px * px + py * py <= r * r;
        }
    return double(inside) / (n * n);
}

// A bitmap nib item of w x h whose channel is value(x, y) (255 - coverage).
template <typename Value> std::unique_ptr<CPenShapeObj> BitmapItem(int32_t w, int32_t h, Value value)
{
    auto channel = std::make_unique<TChannel>(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *channel->PixelPtr(x, y) = uint8_t(value(x, y));
    auto item = std::make_unique<CPenShapeObj>();
    EXPECT_TRUE(item->SetBitmap(std::move(channel)));
    return item;
}

class NibShape : public testing::Test {
protected:
    CGradeMapObj map;
    CPenShape shape{&map};
};

TEST(CPenShapeGeometry, RadiusStepsAndOversampling)
{
    const struct {
        double radius, quantised;
    } radii[] = {{2.3, 2.25},  {5.3, 5.25},      {12.3, 12.0}, {9.9, 9.75},
                 {10.2, 10.0}, {0.01, 1.0 / 16}, {2.99, 2.875}};
    for (const auto& c : radii)
        EXPECT_EQ(CPenShape::QuantiseRadius(Px(c.radius)), Px(c.quantised)) << c.radius;

    const struct {
        int32_t side, oversample;
    } boxes[] = {{1, 2}, {2, 2},  {3, 3},  {4, 5},  {6, 5},  {7, 4},
                 {8, 2}, {20, 2}, {25, 2}, {26, 1}, {49, 1}, {60, 1}};
    for (const auto& c : boxes)
        EXPECT_EQ(CPenShape::Oversampling(c.side), c.oversample) << c.side;
}

// The turn of elliptical and bitmap nibs in 16.16, exactly: every sample of
// a turned nib hangs on these.
TEST(CPenShapeGeometry, NibAnglesArePinned)
{
    const struct {
        int32_t degrees, sine, cosine;
    } angles[] = {{0, 0, 65536},         {1, 1144, 65526},        {17, 19161, 62672},
                  {30, 32768, 56756},    {45, 46341, 46341},      {90, 65536, 0},
                  {123, 54963, -35693},  {200, -22415, -61584},   {270, -65536, 0},
                  {333, -29753, 58393},  {-75, -63303, 16962},    {-360, 0, 65536}};
    for (const auto& a : angles) {
        const SinCos16 turn = SinCosOfDegrees(a.degrees);
        EXPECT_EQ(turn.sine, a.sine) << a.degrees;
        EXPECT_EQ(turn.cosine, a.cosine) << a.degrees;
    }
}

TEST_F(NibShape, RoundNibBoxDistanceAndCoverageFollowTheCircle)
{
    for (double radius : {1.0, 2.25, 5.25, 12.0}) {
        SCOPED_TRACE(radius);
        ASSERT_TRUE(shape.MakeRound(Px(radius)));
        const NibGrid& g = *shape.Grid();
        const int32_t side = 2 * int32_t(std::ceil(radius - 0.5)) + 1; // floor(0.5 - r) .. ceil(0.5 + r)
        EXPECT_EQ(g.boxW, side);
        EXPECT_EQ(g.boxH, side);
        EXPECT_EQ(g.centreX, 0x8000 + (side / 2) * kOne);
        EXPECT_EQ(g.oversample, CPenShape::Oversampling(side));
        double worst = 0;
        for (int32_t row = 0; row < g.gridH; ++row)
            for (int32_t col = 0; col < g.gridW; ++col) {
                const double x = g.OffsetX(col) / 65536.0, y = g.OffsetY(row) / 65536.0;
                const int64_t i = int64_t(row) * g.gridW + col;
                const double d = std::hypot(x, y);
                ASSERT_NEAR(g.distance[i], d / radius * kOne, 1.0);
                if (std::fabs(d - radius) > 0.75) { // wholly inside or outside
                    ASSERT_EQ(g.coverage[i], d < radius ? kOne : 0) << x << "," << y;
                } else {
                    worst = std::max(worst, std::fabs(g.coverage[i] / 65536.0 - TrueCoverage(x, y, radius)));
                }
            }
        // The rim's tangent stands in for the arc: it overshoots by up to
        // 0.1 at r = 1 and less as the rim straightens.
        EXPECT_LT(worst, 0.1 / radius + 0.005);
    }
}

TEST_F(NibShape, FlatAirMapGivesFullDensityInsideTheRim)
{
    AirMapRecord flat;
    flat.flat = 1000;
    map.SetAirMap(flat);
    ASSERT_TRUE(shape.MakeRound(Px(6)));
    const NibGrid& g = *shape.Grid();
    int full = 0;
    for (int64_t i = 0; i < g.Samples(); ++i) {
        if (g.distance[i] <= 0xFFFF) {
            EXPECT_EQ(g.density[i], g.coverage[i] * 255);
        }
        full += g.density[i] == kFull;
    }
    EXPECT_GT(full, 0);
    EXPECT_EQ(shape.Sample(0, 0), kFull);
    EXPECT_EQ(shape.Sample(Px(5), 0), kFull);
    EXPECT_EQ(shape.Sample(Px(7), 0), 0);
}

TEST_F(NibShape, AirMapChangeAndSwitchesRecombineTheGrid)
{
    ASSERT_TRUE(shape.MakeRound(Px(8)));
    // The sample nearest 4 px sits at 4.25 px: 1 - x there.
    const int32_t linear = shape.Sample(Px(4), 0);
    EXPECT_NEAR(linear, (1 - 4.25 / 8) * kFull, kFull / 1000);
    AirMapRecord constant;
    constant.flat = 1000;
    map.SetAirMap(constant);
    EXPECT_FALSE(shape.IsValid());
    ASSERT_TRUE(shape.RebuildDensity());
    EXPECT_EQ(shape.Sample(Px(4), 0), kFull);
    map.SetAirMap(AirMapRecord{});
    shape.SetUseAirMap(false);
    ASSERT_TRUE(shape.MakeRound(Px(8))); // cached grid, recombined
    EXPECT_EQ(shape.Sample(Px(4), 0), kFull);
    shape.SetUseAirMap(true);
    ASSERT_TRUE(shape.MakeRound(Px(8)));
    EXPECT_EQ(shape.Sample(Px(4), 0), linear);
    EXPECT_EQ(shape.Builds(), 1);

    // Without coverage every sample of the box counts as covered; it is a
    // grid of its own.
    shape.SetComputeCoverage(false);
    EXPECT_EQ(shape.Grid(), nullptr);
    ASSERT_TRUE(shape.MakeRound(Px(8)));
    EXPECT_EQ(shape.Builds(), 2);
    for (int64_t i = 0; i < shape.Grid()->Samples(); ++i)
        ASSERT_EQ(shape.Grid()->coverage[i], kOne);
}

TEST_F(NibShape, EllipseLiesAlongItsAngle)
{
    // Long axis vertical at 90 degrees, horizontal at 0 and 180.
    const struct {
        int32_t angle;
        bool vertical;
    } cases[] = {{90, true}, {270, true}, {-90, true}, {0, false}, {180, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        ASSERT_TRUE(shape.MakeEllipse(Px(10), 30, c.angle));
        const NibGrid& g = *shape.Grid();
        EXPECT_EQ(g.boxH > g.boxW, c.vertical);
        const int32_t alongY = shape.Sample(0, Px(8)), alongX = shape.Sample(Px(8), 0);
        EXPECT_EQ(alongY > 0, c.vertical);
        EXPECT_EQ(alongX > 0, !c.vertical);
    }
    // At 45 degrees the axis runs down to the right (y grows downward).
    ASSERT_TRUE(shape.MakeEllipse(Px(10), 30, 45));
    EXPECT_GT(shape.Sample(Px(5), Px(5)), 0);
    EXPECT_EQ(shape.Sample(Px(5), Px(-5)), 0);
}

TEST_F(NibShape, BitmapNibAveragesTheBitmapUnderEachSample)
{
    // Left half painted (channel 0), right half empty.
    auto item = BitmapItem(16, 16, [](int32_t x, int32_t) { return x < 8 ? 0 : 255; });
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 0, false));
    const NibGrid& g = *shape.Grid();
    EXPECT_EQ(g.boxW, 17);
    EXPECT_EQ(g.oversample, 2);
    // Samples a quarter pixel either side of the edge see 3/4 and 1/4 of paint.
    const int32_t row = g.gridH / 2;
    EXPECT_EQ(g.OffsetX(16), -kOne / 4);
    EXPECT_EQ(g.coverage[row * g.gridW + 16], 0xC000);
    EXPECT_EQ(g.coverage[row * g.gridW + 17], 0x4000);
    EXPECT_EQ(g.coverage[row * g.gridW + 10], kOne);
    EXPECT_EQ(g.coverage[row * g.gridW + 24], 0);
    // Distance: half the bitmap's diagonal is the rim.
    EXPECT_NEAR(g.distance[row * g.gridW + 0], std::hypot(8.25, 0.25) * kOne / (std::sqrt(512.0) / 2), 2.0);

    // Turned by 90 degrees the painted half is at the top... of a y-down
    // picture the bitmap's left side (x < 8) lands above the centre.
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 90, false));
    EXPECT_GT(shape.Sample(0, Px(-4)), 0);
    EXPECT_EQ(shape.Sample(0, Px(4)), 0);
    // Squeezed to half across its axis the nib is half as tall.
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 50, 0, false));
    EXPECT_GT(shape.Sample(Px(-4), Px(3)), 0);
    EXPECT_EQ(shape.Sample(Px(-4), Px(5)), 0);
}

TEST_F(NibShape, TurnedAndStraightBitmapNibsAgree)
{
    // Angle 0 reads the bitmap column by column, other angles sample by
    // sample; at 180 degrees each sample sees what the opposite one sees at 0.
    auto item = BitmapItem(20, 12, [](int32_t x, int32_t y) { return (x * 29 + y * 53) % 256; });
    ASSERT_TRUE(shape.MakeBitmap(*item, 130 * kOne, 70, 0, false));
    const NibGrid& straight = *shape.Grid();
    const std::vector<int32_t> coverage(straight.coverage, straight.coverage + straight.Samples());
    const std::vector<int32_t> distance(straight.distance, straight.distance + straight.Samples());
    ASSERT_TRUE(shape.MakeBitmap(*item, 130 * kOne, 70, 180, false));
    const NibGrid& turned = *shape.Grid();
    ASSERT_EQ(turned.Samples(), int64_t(coverage.size()));
    ASSERT_TRUE(turned.MirrorsX() && turned.MirrorsY());
    int64_t painted = 0;
    for (int64_t i = 0; i < turned.Samples(); ++i) {
        const int64_t opposite = turned.Samples() - 1 - i;
        EXPECT_NEAR(turned.coverage[i], coverage[size_t(opposite)], 1) << i;
        EXPECT_NEAR(turned.distance[i], distance[size_t(opposite)], 1) << i;
        painted += turned.coverage[i] > 0;
    }
    EXPECT_GT(painted, turned.Samples() / 4);
}

TEST_F(NibShape, BitmapGridsAreCachedByIdScaleAspectAndAngle)
{
    auto item = BitmapItem(32, 24, [](int32_t x, int32_t y) { return (x * 7 + y * 3) & 255; });
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 0, false));
    const NibGrid* first = shape.Grid();
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 0, false));
    EXPECT_EQ(shape.Grid(), first);
    EXPECT_EQ(shape.Builds(), 1);

    ASSERT_TRUE(shape.MakeBitmap(*item, 101 * kOne, 100, 0, false)); // scale
    EXPECT_NE(shape.Grid(), first);
    ASSERT_TRUE(shape.MakeBitmap(*item, 101 * kOne, 60, 0, false));  // aspect
    ASSERT_TRUE(shape.MakeBitmap(*item, 101 * kOne, 60, 15, false)); // angle
    EXPECT_EQ(shape.Builds(), 4);

    // Pressure going back and forth finds the earlier grids.
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 0, false));
    EXPECT_EQ(shape.Grid(), first);
    EXPECT_EQ(shape.Builds(), 4);
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 0, true)); // forced
    EXPECT_EQ(shape.Builds(), 5);

    // A new bitmap is a new id: rebuilt.
    ASSERT_TRUE(item->SetBitmap(std::make_unique<TChannel>(32, 24)));
    ASSERT_TRUE(shape.MakeBitmap(*item, 100 * kOne, 100, 0, false));
    EXPECT_EQ(shape.Builds(), 6);
}

TEST_F(NibShape, ExactDabFollowsTheChordsOfItsScanlines)
{
    // r = 1.5 centred on a pixel corner, rows scanned: the rows whose centres
    // lie 0.5 px from the centre get chords of half length sqrt(2) - hand
    // worked: ends at 2.5858 and 5.4142, so 0.4142 of the end pixels.
    ASSERT_TRUE(shape.RenderExactRound(0, 0, true, Px(1.5)));
    const NibGrid& g = *shape.Grid();
    ASSERT_EQ(g.gridW, 9);
    EXPECT_EQ(g.oversample, 1);
    const auto at = [&g](int32_t col, int32_t row) { return g.coverage[row * g.gridW + col]; };
    EXPECT_EQ(at(2, 3), 27146);
    EXPECT_EQ(at(3, 3), kOne);
    EXPECT_EQ(at(5, 4), 27146);
    EXPECT_EQ(at(6, 4), 0);
    for (int32_t col = 0; col < 9; ++col)
        EXPECT_EQ(at(col, 2), 0); // the chord at its centre is empty
    // The offset from the dab centre finds the dab's own pixel.
    EXPECT_EQ(shape.Sample(0x8000, 0x8000), g.density[4 * 9 + 4]);

    // Columns scanned: the transposed grid.
    std::vector<int32_t> rows(g.coverage, g.coverage + g.Samples());
    ASSERT_TRUE(shape.RenderExactRound(0, 0, false, Px(1.5)));
    for (int32_t row = 0; row < 9; ++row)
        for (int32_t col = 0; col < 9; ++col)
            EXPECT_EQ(at(col, row), rows[size_t(col) * 9 + row]);

    // Under half a pixel: one span on the centre row, weighted 1/2.
    ASSERT_TRUE(shape.RenderExactRound(0x8000, 0x4000, true, Px(0.25)));
    EXPECT_EQ(g.gridW, 7);
    int64_t total = 0;
    for (int64_t i = 0; i < g.Samples(); ++i)
        total += g.coverage[i];
    EXPECT_EQ(total, kOne / 4); // 0.5 long, weight 1/2
    EXPECT_EQ(at(3, 3), kOne / 4);
}

TEST_F(NibShape, ExactDabUnderAFlatAirMapTakesALaterMapWhenRebuilt)
{
    // Under a flat air map an exact dab needs no distances; a map changed
    // afterwards must still give the densities the dab would have under it.
    AirMapRecord flat;
    flat.flat = 1000;
    ASSERT_TRUE(map.SetAirMap(flat));
    ASSERT_TRUE(shape.RenderExactRound(0x3000, 0xC000, true, Px(2.6)));
    ASSERT_TRUE(map.SetAirMap(AirMapRecord{})); // 1 - x from the centre
    ASSERT_TRUE(shape.RebuildDensity());
    EXPECT_GT(shape.Sample(0, 0), 0);
    const uint64_t rebuilt = Checksum(*shape.Grid());
    ASSERT_TRUE(shape.RenderExactRound(0x3000, 0xC000, true, Px(2.6)));
    EXPECT_EQ(rebuilt, Checksum(*shape.Grid()));
}

TEST_F(NibShape, ExactDabsCoverAboutTheirArea)
{
    for (double r : {0.7, 1.5, 2.9, 6.0})
        for (int32_t f : {0, 0x3000, 0x8000, 0xC000})
            for (bool across : {false, true}) {
                SCOPED_TRACE(testing::Message() << r << " " << f << " " << across);
                ASSERT_TRUE(shape.RenderExactRound(f, 0xFFFF - f, across, Px(r)));
                const NibGrid& g = *shape.Grid();
                double total = 0;
                for (int64_t i = 0; i < g.Samples(); ++i)
                    total += g.coverage[i] / 65536.0;
                // Rows through the rim's ends count only from their centre.
                EXPECT_NEAR(total, std::numbers::pi * r * r, 1.2 * r);
            }
}

// Checked by hand before they were frozen: round r = 1 (centre sample
// 0xFF0000; (-0.33, 0) density 11143841 = lut[682]; (-0.67, -0.67) tangent
// coverage 37852 = 0.5776); the 10 px ellipse (box 23 x 17, m = 2; sample
// (3.75, 1.75) px at distance 28136, density 9543700 = lut[878]).
TEST_F(NibShape, GoldenGrids)
{
    auto item = BitmapItem(8, 200, [](int32_t x, int32_t y) { return (x * 37 + y * 11) % 256; });
    const struct {
        const char* what;
        std::function<bool()> make;
        uint64_t checksum;
    } cases[] = {
        {"round 1", [&] { return shape.MakeRound(Px(1)); }, 9053594262114012016ull},
        {"round 2.25", [&] { return shape.MakeRound(Px(2.3)); }, 9745198355386417725ull},
        {"round 12", [&] { return shape.MakeRound(Px(12)); }, 4408630352731615769ull},
        {"round 200", [&] { return shape.MakeRound(Px(200)); }, 3177905863041495889ull},
        {"ellipse 10 30% 30deg", [&] { return shape.MakeEllipse(Px(10), 30, 30); }, 13871215320244875282ull},
        {"ellipse 50 30% 30deg", [&] { return shape.MakeEllipse(Px(50), 30, 30); }, 7628811197734399017ull},
        {"bitmap 8x200 100% 45deg 50%", [&] { return shape.MakeBitmap(*item, 100 * kOne, 50, 45, false); },
         1678438038478170715ull},
        {"bitmap 8x200 256%", [&] { return shape.MakeBitmap(*item, 256 * kOne, 100, 0, false); },
         4529864401300758519ull},
        {"exact 0.7 rows", [&] { return shape.RenderExactRound(0x5000, 0xA000, true, Px(0.7)); },
         2777804749955358735ull},
        {"exact 2.9 columns", [&] { return shape.RenderExactRound(0x2000, 0xE000, false, Px(2.9)); },
         18444798434409018547ull},
        {"exact ellipse 3 40% 30deg",
         [&] { return shape.RenderExactEllipse(0x8000, 0x8000, true, Px(3), 30, 40); },
         139617279501667613ull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.make());
        EXPECT_EQ(Checksum(*shape.Grid()), c.checksum);
    }
}

TEST_F(NibShape, RefusedSizesLeaveNoNib)
{
    auto item = BitmapItem(256, 256, [](int32_t, int32_t) { return 0; });
    const struct {
        const char* what;
        std::function<bool()> make;
    } cases[] = {
        {"radius 0", [&] { return shape.MakeRound(0); }},
        {"negative radius", [&] { return shape.MakeRound(-kOne); }},
        {"radius above 512", [&] { return shape.MakeRound(512 * kOne + 1); }},
        {"ellipse above 512", [&] { return shape.MakeEllipse(600 * kOne, 50, 10); }},
        {"exact above 512", [&] { return shape.RenderExactRound(0, 0, true, 513 * kOne); }},
        {"exact radius 0", [&] { return shape.RenderExactEllipse(0, 0, true, 0, 0, 50); }},
        {"bitmap scale 0", [&] { return shape.MakeBitmap(*item, 0, 100, 0, false); }},
        {"bitmap beyond 512 px radius", [&] { return shape.MakeBitmap(*item, 401 * kOne, 100, 0, false); }},
        {"not a bitmap nib", [&] { return shape.MakeBitmap(CPenShapeObj{}, 100 * kOne, 100, 0, false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(shape.MakeRound(Px(4)));
        EXPECT_FALSE(c.make());
        EXPECT_EQ(shape.Grid(), nullptr);
        EXPECT_EQ(shape.Sample(0, 0), 0);
    }
    // Aspect under 1 % is 1 %: no division by zero, the same grid.
    ASSERT_TRUE(shape.MakeEllipse(Px(20), 0, 10));
    const NibGrid* thinnest = shape.Grid();
    ASSERT_TRUE(shape.MakeEllipse(Px(20), 1, 10));
    EXPECT_EQ(shape.Grid(), thinnest);

    // Grids that cannot be allocated: refused, and the generator still works.
    {
        ScopedMemoryLimit limit(1 << 20);
        EXPECT_FALSE(shape.MakeRound(Px(300)));
        EXPECT_EQ(shape.Grid(), nullptr);
        EXPECT_FALSE(shape.MakeBitmap(*item, 200 * kOne, 100, 0, false));
    }
    EXPECT_TRUE(shape.MakeRound(Px(300)));
}

} // namespace
} // namespace morvane
