// The pen renderer: final writes and the modifier chain on one-pixel images,
// golden dab sequences per render class (round and bitmap nibs), the hard
// edge, densities at their maximum, renderers that keep their own chain, and
// dabs that must be skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "paint/CGradeMapObj.h"
#include "paint/CPenRender.h"
#include "paint/CPenShape.h"
#include "paint/CPenShapeObj.h"
#include "paint/PaintHooks.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "storage/BlendTables.h"
#include "storage/FixedPoint.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

class FakeModifier final : public AlphaModifier {
public:
    FakeModifier(EdgeRect extent, std::function<uint8_t(int32_t, int32_t)> value)
        : extent_(extent), value_(std::move(value))
    {
    }
    EdgeRect Extent() const override { return extent_; }
    void Row(int32_t x, int32_t y, int32_t count, uint8_t* out) const override
    {
        for (int32_t i = 0; i < count; ++i)
            out[i] = value_(x + i, y);
    }

private:
    EdgeRect extent_;
    std::function<uint8_t(int32_t, int32_t)> value_;
};

class FakeGradation final : public ColourSource {
public:
    explicit FakeGradation(std::function<uint32_t(int32_t, int32_t)> colour) : colour_(std::move(colour)) {}
    void Row(int32_t x, int32_t y, int32_t count, uint32_t* out) const override
    {
        for (int32_t i = 0; i < count; ++i)
            out[i] = colour_(x + i, y);
    }

private:
    std::function<uint32_t(int32_t, int32_t)> colour_;
};

// A renderer with its stroke, set up for one render class.
struct Pen {
    TStroke stroke;
    CPenRender render{stroke};

    explicit Pen(RenderClass renderClass, bool pencil = false, uint16_t effect1 = 0, bool dodge = false)
    {
        BrushMethodRecord method;
        method.renderClass = uint8_t(renderClass);
        method.pencil = pencil;
        method.effect1 = effect1;
        method.dodge = dodge;
        render.SetMethod(method);
    }
};

// Density that makes a hard-edge nib (0xFF0000) give exactly alpha a.
float DensityFor(uint32_t alpha)
{
    return float((alpha * 65536 + 254) / 255) / 65536.0f;
}

using support::Checksum;

uint32_t Blended(uint32_t pixel, uint32_t colour, uint32_t alpha)
{
    BlendColour(pixel, colour, alpha);
    return pixel;
}

// ---- final writes and the chain

struct PlotCase {
    const char* what;
    RenderClass renderClass;
    bool protect;
    uint32_t before;
    uint32_t alpha;
    uint32_t after;
    bool oldestEngine = false;
};

TEST(PenRender, FinalWritesOnOnePixel)
{
    constexpr uint32_t kColour = 0x00123456, kBackground = 0x00F0E0D0;
    const PlotCase cases[] = {
        {"half over transparent: exactly the colour", RenderClass::Draw, false, 0x00000000, 128, 0x80123456},
        {"full replaces", RenderClass::Draw, false, 0x80FFFFFF, 255, 0xFF123456},
        {"alpha 1 over transparent", RenderClass::Draw, false, 0x00ABCDEF, 1, 0x01123456},
        {"over an opaque pixel blends the colour", RenderClass::Draw, false, 0xFF808080, 100,
         Blended(0xFF808080, kColour, 100)},
        {"half over half", RenderClass::Draw, false, 0x80404040, 128,
         Blended(0xBF404040, kColour, 128 * 255 / 191)},
        {"protected keeps alpha", RenderClass::Draw, true, 0x40000000, 128,
         Blended(0x40000000, kColour, 128)},
        {"the oldest engine always keeps alpha", RenderClass::Draw, false, 0x40000000, 128,
         Blended(0x40000000, kColour, 128), true},
        {"erase to alpha 0", RenderClass::Erase, false, 0xFF808080, 255, 0x00808080},
        {"erase lowers alpha", RenderClass::Erase, false, 0xC8808080, 128, 0x64808080},
        {"erase on a protected layer paints the background", RenderClass::Erase, true, 0xC8808080, 255,
         0xC8F0E0D0},
    };
    for (const PlotCase& c : cases) {
        SCOPED_TRACE(c.what);
        Pen pen(c.renderClass);
        pen.stroke.SetProtectAlpha(c.protect);
        pen.render.SetThreshold(1);
        TMTC image(1, 1);
        image.FillAll(c.before);
        PenStrokeSetup setup;
        setup.backgroundColour = kBackground;
        setup.oldestEngine = c.oldestEngine;
        ASSERT_TRUE(pen.render.Prepare(image, setup, 0.5f, 0.5f));
        EXPECT_TRUE(pen.render.StampImage(image, {0.5f, 0.5f, DensityFor(c.alpha), 2.0f, kColour}));
        EXPECT_EQ(image.GetPixel(0, 0), c.after);
    }
}

// The normal write takes several pixels at once where a span allows: over
// every (target alpha, alpha) pair with random colours, spans of 0 to 40
// pixels at shifting offsets, and spans of 40 (which put every pixel in a
// whole group), give the bits of one-pixel writes, with one colour per span
// and with a colour per pixel.
TEST(PenRender, OverSpansMatchOnePixelWrites)
{
    constexpr int32_t kSide = 256, kLongest = 40; // row: target alpha, column: alpha
    std::mt19937 random(8);
    TMTC target(kSide, kSide);
    ASSERT_TRUE(target.IsValid());
    std::vector<uint32_t> colours(size_t(kSide) * kSide);
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
            *target.PixelPtr(x, y) = (uint32_t(random()) & 0x00FFFFFFu) | uint32_t(y) << 24;
            colours[size_t(y) * kSide + size_t(x)] = uint32_t(random());
        }
    uint8_t alpha[kSide];
    for (int32_t x = 0; x < kSide; ++x)
        alpha[x] = uint8_t(x);
    Pen pen(RenderClass::Draw);
    ASSERT_TRUE(pen.render.Prepare(target, {}, 0, 0));
    ASSERT_EQ(pen.render.NormalPlot(), Plot::Over);
    for (const bool perPixel : {false, true}) {
        SCOPED_TRACE(perPixel ? "a colour per pixel" : "one colour per span");
        TMTC single(target), shifting(target), whole(target);
        for (int32_t y = 0; y < kSide; ++y) {
            const uint32_t* rowColours = colours.data() + size_t(y) * kSide;
            const auto write = [&](TMTC& image, int32_t x, int32_t n) {
                if (perPixel)
                    pen.render.WriteRow(image, x, y, n, alpha + x, rowColours + x);
                else
                    pen.render.ChainRow(image, x, y, n, alpha + x, rowColours[0]);
            };
            // Spans from `first` pixels long, each `step` longer than the last.
            const auto cut = [&](TMTC& image, int32_t first, int32_t step) {
                for (int32_t x = 0, n = first; x < kSide; x += n, n = (n + step) % (kLongest + 1))
                    write(image, x, std::min(n, kSide - x));
            };
            cut(single, 1, 0);
            cut(shifting, y % (kLongest + 1), 1);
            cut(whole, kLongest, 0);
            for (int32_t x = 0; x < kSide; ++x) {
                const auto where = [&] {
                    return ::testing::Message()
                           << "target " << std::hex << target.GetPixel(x, y) << " alpha " << std::dec << x;
                };
                ASSERT_EQ(shifting.GetPixel(x, y), single.GetPixel(x, y)) << where();
                ASSERT_EQ(whole.GetPixel(x, y), single.GetPixel(x, y)) << where();
            }
        }
    }
}

TEST(PenRender, BurnAtExposureZeroIsTheIdentity)
{
    Pen pen(RenderClass::BurnDodge);
    pen.render.SetThreshold(1);
    TMTC image(64, 64);
    uint32_t s = 99;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            s = s * 134775813u + 1;
            *image.PixelPtr(x, y) = s | 0xFF000000u;
        }
    const TMTC before(image);
    ASSERT_TRUE(pen.render.Prepare(image, {}, 0, 0));
    pen.render.StampImage(image, {32, 32, 1.0f, 40.0f, 0});
    EXPECT_EQ(Checksum(image), Checksum(before));
}

TEST(PenRender, CoverageKeepsTheLargestAlpha)
{
    Pen pen(RenderClass::Draw, true);
    pen.render.SetThreshold(1);
    TChannel coverage(1, 1);
    coverage.FillAll(200);
    TMTC image(1, 1);
    image.FillAll(0);
    ASSERT_TRUE(pen.render.Prepare(image, {}, 0.5f, 0.5f));
    EXPECT_TRUE(pen.render.Stamp(image, coverage, {0.5f, 0.5f, DensityFor(100), 4.0f, 0}));
    EXPECT_EQ(coverage.GetValue(0, 0), 200);
    EXPECT_TRUE(pen.render.Stamp(image, coverage, {0.5f, 0.5f, DensityFor(230), 4.0f, 0}));
    EXPECT_EQ(coverage.GetValue(0, 0), 230);
    EXPECT_EQ(image.GetPixel(0, 0), 0u); // the pencil leaves the colour image alone
}

struct ChainCase {
    const char* what;
    int mask, tone;     // -1: none
    int gradationAlpha; // -1: none
    EdgeRect maskExtent;
    uint32_t after;
};

TEST(PenRender, ModifiersInTheirOrderAndZeroSkips)
{
    constexpr uint32_t kColour = 0x00123456, kShade = 0x00ABCDEF;
    constexpr EdgeRect kAll{-5, -5, 5, 5};
    // 200 -> mask 100 -> 78, tone 111 -> 33, gradation 139 -> 17; any other
    // order of the three gives 18.
    const ChainCase cases[] = {
        {"mask, tone, gradation", 100, 111, 139, kAll, (17u << 24) | kShade},
        {"mask only", 100, -1, -1, kAll, (78u << 24) | kColour},
        {"tone only", -1, 111, -1, kAll, (MulDiv255(200, 111) << 24) | kColour},
        {"zero mask skips", 0, 111, 139, kAll, 0x00000000},
        {"zero tone skips", 100, 0, -1, kAll, 0x00000000},
        {"zero gradation alpha skips", -1, -1, 0, kAll, 0x00000000},
        {"outside the mask's extent", 255, -1, -1, {1, 0, 5, 5}, 0x00000000},
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.what);
        Pen pen(RenderClass::Draw);
        pen.stroke.SetUseTone(c.tone >= 0);
        pen.stroke.SetUseGradation(c.gradationAlpha >= 0);
        pen.render.SetThreshold(1);
        FakeModifier mask(c.maskExtent, [&](int32_t, int32_t) { return uint8_t(c.mask); });
        FakeModifier tone(kAll, [&](int32_t, int32_t) { return uint8_t(c.tone); });
        FakeGradation gradation(
            [&](int32_t, int32_t) { return (uint32_t(c.gradationAlpha) << 24) | kShade; });
        PenStrokeSetup setup;
        setup.mask = c.mask >= 0 ? &mask : nullptr;
        setup.tone = &tone;
        setup.gradation = &gradation;
        TMTC image(1, 1);
        image.FillAll(0);
        ASSERT_TRUE(pen.render.Prepare(image, setup, 0.5f, 0.5f));
        pen.render.StampImage(image, {0.5f, 0.5f, DensityFor(200), 2.0f, kColour});
        EXPECT_EQ(image.GetPixel(0, 0), c.after);
    }
}

// ---- golden dab sequences

// A 40 x 32 layer: transparent on the left, a gradient in the middle,
// opaque grey on the right.
void FillLayer(TMTC& image)
{
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x) {
            uint32_t p = 0;
            if (x >= 28)
                p = 0xFF909090;
            else if (x >= 12)
                p = (uint32_t((x - 12) * 16) << 24) | uint32_t(x * 6) << 16 | uint32_t(y * 7) << 8 | 0x40;
            *image.PixelPtr(x, y) = p;
        }
}

// Bytes 255 - coverage: a ring with a filled centre.
std::unique_ptr<CPenShapeObj> BitmapItem()
{
    auto channel = std::make_unique<TChannel>(12, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 12; ++x) {
            const int32_t d = (2 * x - 11) * (2 * x - 11) + (2 * y - 9) * (2 * y - 9);
            *channel->PixelPtr(x, y) = uint8_t(d < 20 ? 0 : d < 60 ? 255 : d < 100 ? 60 : 255);
        }
    auto item = std::make_unique<CPenShapeObj>();
    EXPECT_TRUE(item->SetBitmap(std::move(channel)));
    return item;
}

// A short stroke: sizes that go through the 1/8, 1/4 and 1/2 px steps, one
// dab cut by the top edge, densities below and at 1. For a bitmap nib the
// sizes read as scale percents.
std::vector<PenDab> Dabs(bool bitmap)
{
    const float scale = bitmap ? 60.0f : 1.0f;
    return {{6.3f, 7.7f, 0.8f, 2.3f * scale, 0xFF2060A0},
            {14.5f, 10.5f, 0.5f, 3.7f * scale, 0xFF2060A0},
            {20.9f, 1.2f, 1.0f, 6.2f * scale, 0xFFE01010},
            {27.4f, 16.6f, 0.35f, 11.3f * scale, 0xFF10E010},
            {35.1f, 27.5f, 0.9f, 1.4f * scale, 0xFF101010}};
}

struct Golden {
    const char* what;
    RenderClass renderClass;
    bool pencil;
    bool protect;
    bool dodge;
    uint16_t effect1;
    uint64_t round, bitmap;
};

uint64_t RunGolden(const Golden& g, CPenShapeObj* item)
{
    Pen pen(g.renderClass, g.pencil, g.effect1, g.dodge);
    pen.stroke.SetProtectAlpha(g.protect);
    NibRecord nib;
    nib.aspect = item ? 700 : 1000;
    nib.angle = item ? 300 : 0;
    pen.render.SetNib(nib);
    pen.render.SetNibPreset(item, false, false, false);
    TMTC image(40, 32);
    FillLayer(image);
    TChannel coverage(40, 32);
    coverage.FillAll(0);
    PenStrokeSetup setup;
    setup.backgroundColour = 0x00FFF0E0;
    EXPECT_TRUE(pen.render.Prepare(image, setup, 6.3f, 7.7f));
    int n = 0;
    for (const PenDab& dab : Dabs(item != nullptr)) {
        pen.render.SetSpanAcross(n++ % 2 == 1);
        EXPECT_TRUE(pen.render.Stamp(image, coverage, dab));
    }
    pen.render.EndStroke();
    return g.pencil ? Checksum(coverage) : Checksum(image);
}

TEST(PenRender, GoldenDabSequences)
{
    const Golden goldens[] = {
        {"draw", RenderClass::Draw, false, false, false, 0, 0x0dcef9540cacb5ed, 0x88d3c28296a8db36},
        {"draw, protected", RenderClass::Draw, false, true, false, 0, 0x02c6f8eac2c6a5f0, 0x1608191432b3a878},
        {"pencil", RenderClass::Draw, true, false, false, 0, 0xf37eef3761f0d614, 0x86380ca6ea72494d},
        {"erase", RenderClass::Erase, false, false, false, 0, 0x9e17d4a6d31ca502, 0x5bffc7a1482af981},
        {"erase, protected", RenderClass::Erase, false, true, false, 0, 0x7a84a242381c55cf,
         0x1ba9ba766664f133},
        {"burn", RenderClass::BurnDodge, false, false, false, 60, 0x7f27d0073c7363b4, 0x37dd79c95b1b1a10},
        {"dodge", RenderClass::BurnDodge, false, false, true, 60, 0x9b00e1d31190983f, 0x9509407cd4432809},
    };
    const std::unique_ptr<CPenShapeObj> item = BitmapItem();
    for (const Golden& g : goldens) {
        SCOPED_TRACE(g.what);
        EXPECT_EQ(RunGolden(g, nullptr), g.round);
        EXPECT_EQ(RunGolden(g, item.get()), g.bitmap);
        EXPECT_EQ(item->Scale(), 100); // the stroke end gave the scale back
    }
}

// The draw sequence's pixels worked out by hand from the nib's samples:
// (6, 7) under the first dab over a transparent pixel, (35, 27) under the
// last over opaque grey, (0, 31) untouched.
TEST(PenRender, DrawSequencePixelsByHand)
{
    const Golden draw{"draw", RenderClass::Draw, false, false, false, 0, 0, 0};
    Pen pen(RenderClass::Draw);
    TMTC image(40, 32);
    FillLayer(image);
    ASSERT_TRUE(pen.render.Prepare(image, {}, 0, 0));
    for (const PenDab& dab : Dabs(false))
        pen.render.StampImage(image, dab);
    EXPECT_EQ(Checksum(image), RunGolden(draw, nullptr));

    CGradeMapObj map;
    CPenShape shape(&map);
    const auto alphaAt = [&](const PenDab& dab, int32_t x, int32_t y) {
        EXPECT_TRUE(shape.MakeRound(int32_t(std::lround(dab.radius * 65536))));
        const int64_t v = shape.Sample(int32_t(x * 65536 - std::lround(dab.x * 65536.0) + 0x8000),
                                       int32_t(y * 65536 - std::lround(dab.y * 65536.0) + 0x8000));
        return uint32_t(((v * std::lround(dab.density * 65536.0)) >> 16) >> 16);
    };
    const PenDab first = Dabs(false)[0], last = Dabs(false)[4];
    const uint32_t a1 = alphaAt(first, 6, 7); // 0.28 px from the centre: 0.8 of about 222
    EXPECT_GT(a1, 150u);
    EXPECT_EQ(image.GetPixel(6, 7), (a1 << 24) | 0x2060A0);
    const uint32_t a2 = alphaAt(last, 35, 27);
    EXPECT_GT(a2, 0u);
    EXPECT_EQ(image.GetPixel(35, 27), Blended(0xFF909090, 0x101010, a2));
    EXPECT_EQ(image.GetPixel(0, 31), 0u);
}

// ---- nib values

TEST(PenRender, HardEdgePaintsFullDensity)
{
    const auto paint = [](uint32_t threshold) {
        Pen pen(RenderClass::Draw);
        pen.render.SetThreshold(threshold);
        TMTC image(16, 16);
        image.FillAll(0);
        EXPECT_TRUE(pen.render.Prepare(image, {}, 0, 0));
        EXPECT_TRUE(pen.render.StampImage(image, {7.3f, 8.6f, 1.0f, 4.3f, 0x00FFFFFF}));
        return image;
    };
    const TMTC soft = paint(0), hard = paint(1);
    int painted = 0;
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const uint32_t a = hard.GetPixel(x, y) >> 24;
            EXPECT_TRUE(a == 0 || a == 255) << x << "," << y;
            if (soft.GetPixel(x, y) >> 24 != 0) {
                EXPECT_EQ(a, 255u) << x << "," << y;
            }
            painted += a == 255;
        }
    EXPECT_GT(painted, 50);
}

// Alpha over transparent is the nib value times the density taken in 64
// bits; at density 1 that product passes 2^32 everywhere the nib is dense.
TEST(PenRender, DensityAtItsMaximumMatchesA64BitReference)
{
    for (const float radius : {1.7f, 9.5f, 30.0f}) {
        SCOPED_TRACE(radius);
        Pen pen(RenderClass::Draw);
        AirMapRecord airMap;
        airMap.flat = 1000; // full density inside the rim
        pen.render.SetAirMap(airMap);
        TMTC image(72, 72);
        image.FillAll(0);
        ASSERT_TRUE(pen.render.Prepare(image, {}, 0, 0));
        const PenDab dab{35.25f, 36.5f, 1.0f, radius, 0};
        ASSERT_TRUE(pen.render.StampImage(image, dab));

        CGradeMapObj map;
        map.SetAirMap(airMap);
        CPenShape shape(&map);
        ASSERT_TRUE(shape.MakeRound(int32_t(std::lround(radius * 65536))));
        const int64_t cx = std::lround(dab.x * 65536.0), cy = std::lround(dab.y * 65536.0);
        int full = 0;
        for (int32_t y = 0; y < 72; ++y)
            for (int32_t x = 0; x < 72; ++x) {
                const int64_t v =
                    shape.Sample(int32_t(x * 65536 - cx + 0x8000), int32_t(y * 65536 - cy + 0x8000));
                const int64_t a = (v * 0x10000) >> 16;
                const uint32_t expected = a > 0xFFFF ? uint32_t(a >> 16) : 0;
                ASSERT_EQ(image.GetPixel(x, y) >> 24, expected) << x << "," << y;
                full += expected == 255;
            }
        EXPECT_GT(full, 0);
    }
}

// ---- one chain per renderer

TEST(PenRender, InterleavedRenderersKeepTheirOwnChain)
{
    FakeModifier mask({0, 0, 24, 40}, [](int32_t x, int32_t y) { return uint8_t((x * 37 + y * 11) & 255); });
    const std::vector<PenDab> dabs = Dabs(false);
    const auto fresh = [] {
        TMTC image(40, 32);
        FillLayer(image);
        return image;
    };
    const auto run = [&](bool interleave) {
        Pen masked(RenderClass::Draw), plain(RenderClass::Draw);
        TMTC a = fresh(), b = fresh();
        PenStrokeSetup withMask;
        withMask.mask = &mask;
        EXPECT_TRUE(masked.render.Prepare(a, withMask, 0, 0));
        if (!interleave)
            for (const PenDab& dab : dabs)
                masked.render.StampImage(a, dab);
        EXPECT_TRUE(plain.render.Prepare(b, {}, 0, 0));
        for (const PenDab& dab : dabs) {
            if (interleave)
                masked.render.StampImage(a, dab);
            plain.render.StampImage(b, dab);
        }
        return std::pair{Checksum(a), Checksum(b)};
    };
    const auto alone = run(false), together = run(true);
    EXPECT_NE(alone.first, alone.second);
    EXPECT_EQ(together, alone);
}

// ---- refused dabs and strokes

TEST(PenRender, DabsThatCannotBeMadeAreSkipped)
{
    Pen pen(RenderClass::Draw);
    pen.render.SetThreshold(1);
    TMTC image(16, 16);
    image.FillAll(0x80402010);
    ASSERT_TRUE(pen.render.Prepare(image, {}, 0, 0));
    const float nan = std::nanf("");
    const PenDab refused[] = {
        {8, 8, 1, 600, 0}, // beyond the generator's largest nib
        {8, 8, 0, 4, 0},   // no density
        {8, 8, -1, 4, 0},    {8, 8, nan, 4, 0}, {nan, 8, 1, 4, 0},
        {8, 8, 1, nan, 0},   {40, 8, 1, 4, 0}, // wholly outside
        {8, 1e30f, 1, 4, 0},
    };
    for (const PenDab& dab : refused)
        EXPECT_FALSE(pen.render.StampImage(image, dab));
    EXPECT_EQ(image.GetPixel(8, 8), 0x80402010u);
    EXPECT_TRUE(pen.render.StampImage(image, {8, 8, 1, 4, 0}));
    EXPECT_EQ(image.GetPixel(8, 8), 0xFF000000u);
}

// ---- configuration and sizes

TEST(PenRender, SettersReportChangesAndSizesFollowTheNib)
{
    TStroke stroke;
    CPenRender pen(stroke);
    EXPECT_FALSE(pen.SetThreshold(0));
    EXPECT_TRUE(pen.SetThreshold(1));
    NibRecord nib;
    EXPECT_FALSE(pen.SetNib(nib));
    nib.radius = 1250;
    nib.minRadius = 400;
    EXPECT_TRUE(pen.SetNib(nib));
    BrushMethodRecord method;
    method.renderClass = 6;
    method.effect1 = 30;
    method.effect2 = 40;
    EXPECT_TRUE(pen.SetMethod(method, CPenRender::kEffect1));
    EXPECT_EQ(pen.Method().effect1, 30);
    EXPECT_EQ(pen.Method().effect2, 0); // not in the mask
    EXPECT_FALSE(pen.SetMethod(method, CPenRender::kEffect1));
    method.effect1 = 900;
    pen.SetMethod(method);
    EXPECT_EQ(pen.Method().effect1, 100);
    AirMapRecord airMap;
    EXPECT_FALSE(pen.SetAirMap(airMap));
    airMap.flat = 500;
    EXPECT_TRUE(pen.SetAirMap(airMap));

    EXPECT_FLOAT_EQ(pen.CurrentRadius(), 12.5f);
    EXPECT_FLOAT_EQ(pen.MinRadius(10), 4.0f);
    EXPECT_FLOAT_EQ(pen.DabInterval(0.25f, 10), 2.5f);
    EXPECT_EQ(pen.DabExtent(4.2f), (Point{5, 5}));

    std::unique_ptr<CPenShapeObj> item = BitmapItem(); // 12 x 10, scales 40-500 %
    item->SetScale(200);
    pen.SetNibPreset(item.get(), false, false, false);
    EXPECT_TRUE(pen.HasBitmapNib());
    EXPECT_FLOAT_EQ(pen.CurrentRadius(), 200);
    EXPECT_FLOAT_EQ(pen.MinRadius(200), 40 + 0.4f * 160);
    EXPECT_FLOAT_EQ(pen.DabInterval(0.5f, 200), 0.5f * 12 * 2);
    EXPECT_EQ(pen.DabExtent(150), (Point{9, 8}));

    // A stroke rescales the nib for its dabs; its end gives the scale back.
    TMTC image(64, 64);
    image.FillAll(0);
    ASSERT_TRUE(pen.Prepare(image, {}, 0, 0));
    EXPECT_TRUE(pen.StampImage(image, {30, 30, 1, 120, 0}));
    EXPECT_EQ(item->Scale(), 120);
    // The stroke's sizes still come from the scale it started with, or every
    // segment would shrink the next under pressure.
    EXPECT_FLOAT_EQ(pen.CurrentRadius(), 200);
    EXPECT_FLOAT_EQ(pen.MinRadius(200), 40 + 0.4f * 160);
    pen.EndStroke();
    EXPECT_EQ(item->Scale(), 200);

    pen.SetNibPreset(nullptr, false, false, false);
    EXPECT_FALSE(pen.HasBitmapNib());
    EXPECT_FLOAT_EQ(pen.CurrentRadius(), 12.5f);
}

} // namespace
} // namespace morvane
