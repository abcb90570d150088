// The stamps that read the picture as they paint: watercolour, blur, spread
// and fingertip, with the arithmetic they share and the pick-up patches.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CPenTC.h"
#include "paint/PenStampMath.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "storage/TChannel.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

constexpr int32_t kOne = 0x10000;

uint32_t Noise(uint32_t& s)
{
    s = s * 134775813u + 1;
    return s;
}

void FillNoise(TMTC& image, uint32_t seed)
{
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x)
            *image.PixelPtr(x, y) = Noise(seed);
}

// ---- pick-up patches

TEST(PenPickupPatch, HalfSizeFollowsTheDabNotTheRecord)
{
    EXPECT_EQ(CPenTC::HalfSizeFor(10 * kOne, 10 * kOne), 13);
    EXPECT_EQ(CPenTC::HalfSizeFor(10 * kOne + 1, 3 * kOne), 14);
    // A 512 px bitmap nib at 100 % has half extents of 256 px.
    EXPECT_EQ(CPenTC::HalfSizeFor(256 * kOne, 100 * kOne), 259);
}

TEST(PenPickupPatch, RepeatsTheEdgeAndCoversTheDabBox)
{
    TMTC image(8, 6);
    FillNoise(image, 3);
    CPenTC patch;
    EXPECT_FALSE(patch.Covers({0, 0, 1, 1}, 0, 0));
    // Centre (1.75, 4.25), half extents 1.5: h = 2 + 3.
    ASSERT_TRUE(patch.Pick(image, 1 * kOne + 0xC000, 4 * kOne + 0x4000, 0x18000, 0x18000));
    EXPECT_EQ(patch.Width, 11);
    EXPECT_EQ(patch.originX, -4);
    EXPECT_EQ(patch.originY, -1);
    EXPECT_FLOAT_EQ(patch.fracX, 0.75f);
    EXPECT_FLOAT_EQ(patch.fracY, 0.25f);
    for (int32_t dy = -5; dy <= 5; ++dy)
        for (int32_t dx = -5; dx <= 5; ++dx)
            ASSERT_EQ(*patch.RowAt(dx, dy), image.GetPixelClamped(1 + dx, 4 + dy)) << dx << "," << dy;
    EXPECT_TRUE(patch.Covers({-4, -1, 7, 10}, 1, 4));
    EXPECT_FALSE(patch.Covers({-4, -1, 8, 10}, 1, 4));
    EXPECT_FALSE(patch.Covers({-5, -1, 7, 10}, 1, 4));

    // Wholly outside the image: every pixel is the nearest corner.
    ASSERT_TRUE(patch.Pick(image, 40 * kOne, -30 * kOne, kOne, kOne));
    EXPECT_EQ(*patch.RowAt(-4, -4), image.GetPixel(7, 0));
    EXPECT_EQ(*patch.RowAt(4, 4), image.GetPixel(7, 0));
    EXPECT_FALSE(patch.Pick(TMTC(), 0, 0, kOne, kOne));
    EXPECT_FALSE(patch.Picked());
}

// ---- watercolour arithmetic

TEST(WatercolourArithmetic, SamplesAndMixes)
{
    TMTC image(20, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x)
            *image.PixelPtr(x, y) = 0xFF000000u | uint32_t(x * 10) << 16 | uint32_t(y * 10);
    // Each end of an axis is moved one 16.16 unit first: 9.99998 - 2 reads row 8.
    const int32_t cx = 9 * kOne, cy = 10 * kOne - 1, r = 2 * kOne;
    // Points (9, 8), (9, 12), (7, 9), (11, 9): red 90 90 70 110, blue 80 120 90 90.
    EXPECT_EQ(penstamp::AverageFour(image, cx, cy, r, r), 0xFF5A0000u | 95u);
    // The 11 x 11 square at a corner clamps onto the edge: red (0 x 6 + 10 +
    // ... + 50) / 11 = 13, blue (140 + ... + 180 + 190 x 6) / 11 = 176.
    EXPECT_EQ(penstamp::AverageSquare11(image, 0, 19), 0xFF0D00B0u);

    const uint32_t pick = 0xFF204060u, brush = 0xFFE0C0A0u;
    EXPECT_EQ(penstamp::WetStartColour(pick, brush, 0), brush);
    EXPECT_EQ(penstamp::WetStartColour(pick, brush, 100), pick);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 5.0f, 0.0f), brush);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 0.0f, 8.0f), pick);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 80.0f, 8.0f), brush);
    // Half way: alpha (0x8000 * 255) >> 16 = 127.
    uint32_t half = pick;
    BlendColour(half, brush, 127);
    EXPECT_EQ(penstamp::WetDabColour(pick, brush, 4.0f, 8.0f), half);

    EXPECT_EQ(penstamp::WatercolourDensity(0xFF0000), int32_t((int64_t{0xFF0000} * 22937) >> 16));
}

TEST(WatercolourArithmetic, RunningColourStepsTowardsTheCanvas)
{
    std::array<float, 3> run{100.0f, 100.0f, 100.0f};
    // effect 2 = 25: steps of 2.5; blue is near enough to snap.
    penstamp::StepRunColour(run, 0xFF000000u | 110u << 16 | 90u << 8 | 102u, 25);
    EXPECT_FLOAT_EQ(run[0], 102.0f);
    EXPECT_FLOAT_EQ(run[1], 97.5f);
    EXPECT_FLOAT_EQ(run[2], 102.5f);
    EXPECT_EQ(penstamp::RunColourPixel(run), 0xFF000000u | 102u << 16 | 97u << 8 | 102u);
    // trunc(100 x 2.55f) = 255: the running colour alone.
    EXPECT_EQ(penstamp::MixRunColour(0xFF000000u, run, 100), penstamp::RunColourPixel(run));
    EXPECT_EQ(penstamp::MixRunColour(0xFF123456u, run, 0), 0xFF123456u);
}

// Weights taken in 32-bit float; a double product falls short by one where
// the float rounds up to a whole number.
TEST(WatercolourArithmetic, RunColourWeightIsTakenInFloat)
{
    const std::pair<int32_t, uint32_t> cases[] = {{0, 0}, {1, 2}, {20, 51}, {50, 127}, {99, 252}, {100, 255}, {250, 255}};
    for (const auto& [effect2, weight] : cases)
        EXPECT_EQ(penstamp::RunColourWeight(effect2), weight) << effect2;
}

// ---- blur arithmetic

void AddTerm(uint32_t (&sums)[4], uint32_t term, uint64_t times = 1)
{
    for (int k = 0; k < 4; ++k)
        sums[k] += uint32_t(times * ((term >> (8 * k)) & 0xFF));
}

bool BruteBox(const TMTC& source, int32_t x, int32_t y, int32_t L, bool protect, uint32_t& colour)
{
    uint32_t sums[4] = {};
    for (int32_t j = -L; j <= L; ++j)
        for (int32_t i = -L; i <= L; ++i)
            AddTerm(sums, penstamp::BoxTerm(source.GetPixel(x + i, y + j), protect));
    return penstamp::BoxColour(sums, L, protect, colour);
}

TEST(BlurArithmetic, SlidingBoxesMatchDirectSums)
{
    for (bool protect : {false, true}) {
        for (int32_t L : {1, 3}) {
            TMTC source(13, 11);
            FillNoise(source, uint32_t(7 + L));
            std::vector<uint32_t> terms;
            for (int32_t y = 0; y < source.Height; ++y)
                for (int32_t x = 0; x < source.Width; ++x)
                    terms.push_back(penstamp::BoxTerm(source.GetPixel(x, y), protect));
            const int32_t w = 13 - 2 * L, h = 11 - 2 * L;
            std::vector<uint32_t> columns(4 * 13), boxes(4 * size_t(w));
            int rows = 0;
            penstamp::ForEachBoxRow(
                terms.data(), 13, 11, L, columns.data(), boxes.data(), [&](int32_t y, const uint32_t* sums) {
                    EXPECT_EQ(y, rows++);
                    for (int32_t x = 0; x < w; ++x) {
                        uint32_t colour = 0, expected = 0;
                        const bool touched = BruteBox(source, x + L, y + L, L, protect, expected);
                        ASSERT_EQ(penstamp::BoxColour(sums + 4 * x, L, protect, colour), touched);
                        EXPECT_EQ(colour, expected)
                            << "L " << L << " protect " << protect << " at " << x << "," << y;
                    }
                });
            EXPECT_EQ(rows, h);
        }
    }
}

// Terms of whole rows, four pixels at a time, equal the single ones.
TEST(BlurArithmetic, TermRowsMatchSingleTerms)
{
    std::vector<uint32_t> pixels;
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; c += 3)
            pixels.push_back(a << 24 | c << 16 | (255 - c) << 8 | (c * 7 & 255));
    pixels.resize(pixels.size() - 1); // leave a tail
    for (bool protect : {false, true}) {
        std::vector<uint32_t> row = pixels;
        penstamp::BoxTermRow(row.data(), int32_t(row.size()), protect);
        for (size_t i = 0; i < row.size(); ++i)
            ASSERT_EQ(row[i], penstamp::BoxTerm(pixels[i], protect)) << std::hex << pixels[i];
    }
}

// The box colour divides by a reciprocal and corrects; any sums a box can
// hold give the exact quotients.
TEST(BlurArithmetic, BoxColourIsExact)
{
    uint32_t s = 77;
    for (int32_t L : {1, 7, 90, 91, 250, 500}) {
        const uint64_t area = uint64_t(2 * L + 1) * (2 * L + 1);
        for (int n = 0; n < 2000; ++n) {
            const uint32_t alpha = 1 + uint32_t(uint64_t(Noise(s)) * (area * 255) >> 32);
            uint32_t sums[4];
            for (int k = 0; k < 3; ++k)
                sums[k] = uint32_t(uint64_t(Noise(s)) * (alpha + 1) >> 32);
            sums[3] = alpha;
            uint32_t colour = 0, plain = 0;
            ASSERT_TRUE(penstamp::BoxColour(sums, L, false, colour));
            ASSERT_TRUE(penstamp::BoxColour(sums, L, true, plain));
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ((colour >> (8 * k)) & 0xFF, uint64_t{sums[k]} * 255 / alpha) << L << " " << n;
                ASSERT_EQ((plain >> (8 * k)) & 0xFF, (sums[k] / area) & 0xFF) << L << " " << n;
            }
            ASSERT_EQ(colour >> 24, alpha / area);
        }
    }
}

TEST(BlurArithmetic, TransparentBoxIsLeftAloneAndWideBoxesDoNotOverflow)
{
    uint32_t colour = 0x12345678u;
    const uint32_t none[4] = {};
    EXPECT_FALSE(penstamp::BoxColour(none, 2, false, colour));
    EXPECT_EQ(colour, 0x12345678u);

    // L = 200: half of the box opaque (250, 128, 3), half white at alpha 1;
    // sum x 255 is far beyond 32 bits. Reference in 64 bits.
    const int32_t L = 200;
    const uint64_t area = uint64_t(2 * L + 1) * (2 * L + 1), opaque = area / 2, faint = area - opaque;
    uint32_t sums[4] = {};
    AddTerm(sums, penstamp::BoxTerm(0xFFFA8003u, false), opaque);
    AddTerm(sums, penstamp::BoxTerm(0x01FFFFFFu, false), faint);
    const uint64_t alphaSum = opaque * 255 + faint;
    auto ref = [&](uint64_t opaqueByte) { return (opaque * opaqueByte + faint) * 255 / alphaSum; };
    ASSERT_TRUE(penstamp::BoxColour(sums, L, false, colour));
    EXPECT_EQ(colour >> 24, alphaSum / area);
    EXPECT_EQ((colour >> 16) & 0xFF, ref(250));
    EXPECT_EQ((colour >> 8) & 0xFF, ref(128));
    EXPECT_EQ(colour & 0xFF, ref(3));
}

// ---- the stamps on a layer

// Its bytes in memory order, the low byte of each pixel first.
uint64_t Checksum(const TMTC& image)
{
    return support::Checksum(image);
}

// A renderer with its stroke over an image and the same pixels as the layer
// store the blur reads; a hard edge (full density inside the nib) unless
// said otherwise, so the put-down pixels can be checked exactly.
struct WetPen {
    TStroke stroke;
    CPenRender render{stroke};
    TMTC image;
    std::unique_ptr<CBlockVMTC> layer;
    PenStrokeSetup setup;

    WetPen(RenderClass renderClass, int32_t w, int32_t h, uint16_t effect1 = 100, uint16_t effect2 = 0,
           uint16_t effect3 = 0)
        : image(w, h), layer(std::make_unique<CBlockVMTC>(w, h))
    {
        BrushMethodRecord method;
        method.renderClass = uint8_t(renderClass);
        method.effect1 = effect1;
        method.effect2 = effect2;
        method.effect3 = effect3;
        render.SetMethod(method);
        render.SetThreshold(1);
        setup.blurSource = layer.get();
    }
    // The layer store takes the image's pixels; then the stroke starts.
    bool Start(float x, float y)
    {
        layer->CopyIn(image, {0, 0}, 255, {0, 0, image.Width, image.Height});
        return render.Prepare(image, setup, x, y);
    }
    bool Dab(float x, float y, float radius, float density = 1.0f, uint32_t colour = 0xFF3060C0)
    {
        return render.StampImage(image, {x, y, density, radius, colour});
    }
};

// The pixel of `before` at (x - dx, y): what a patch carried dx to the right puts down.
void ExpectShifted(const TMTC& after, const TMTC& before, int32_t dx, EdgeRect area, const char* what)
{
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x)
            ASSERT_EQ(after.GetPixel(x, y), before.GetPixel(x - dx, y)) << what << " at " << x << "," << y;
}

TEST(PenRenderWet, WatercolourStartsPureWithoutEffectDistance)
{
    // The canvas under the stroke is transparent blue, so the wet colour
    // (effect 1 = 100: the picked colour) differs from the brush colour.
    // Density 1 x 22937 / 65536 on a hard edge gives alpha 89.
    const uint32_t brush = 0xFF3060C0;
    for (uint16_t effect3 : {0, 50}) {
        WetPen pen(RenderClass::Watercolour, 16, 16, 100, 0, effect3);
        pen.image.FillAll(0x000000FF);
        ASSERT_TRUE(pen.Start(8.5f, 8.5f));
        ASSERT_TRUE(pen.Dab(8.5f, 8.5f, 3.0f, 1.0f, brush));
        const uint32_t expected = effect3 == 0 ? brush : 0xFF0000FF;
        EXPECT_EQ(pen.image.GetPixel(8, 8), (89u << 24) | (expected & 0xFFFFFF)) << "effect 3 " << effect3;
    }
}

TEST(PenRenderWet, BlurDabIsTheBoxAverageOfTheLayer)
{
    struct Case {
        float radius;
        uint16_t effect1;
        bool protect;
        uint32_t bright; // or-ed into every pixel
    };
    // L = 2; L = 200 over bright opaque paint (sum x 255 needs 64 bits);
    // protected, L = 3.
    for (const Case c :
         {Case{2.0f, 100, false, 0}, Case{200.0f, 100, false, 0xC0C0C0C0}, Case{6.0f, 50, true, 0}}) {
        WetPen pen(RenderClass::Blur, 48, 40, c.effect1);
        pen.stroke.SetProtectAlpha(c.protect);
        FillNoise(pen.image, 11);
        pen.image.OrAll(c.bright);
        const TMTC before(pen.image);
        ASSERT_TRUE(pen.Start(20.5f, 18.5f));
        ASSERT_TRUE(pen.Dab(20.5f, 18.5f, c.radius));
        const int32_t L = int32_t(c.radius * c.effect1 / 100);
        // The reference: clamped reads, 64-bit sums.
        for (Point p : {Point{20, 18}, Point{19, 17}, Point{21, 19}}) {
            uint64_t sums[4] = {};
            for (int32_t j = -L; j <= L; ++j)
                for (int32_t i = -L; i <= L; ++i) {
                    const uint32_t px = before.GetPixelClamped(p.x + i, p.y + j);
                    const uint64_t a = px >> 24;
                    for (int k = 0; k < 3; ++k)
                        sums[k] +=
                            c.protect ? (px >> (8 * k)) & 0xFF : a * ((px >> (8 * k)) & 0xFF) * 32897 >> 23;
                    sums[3] += a;
                }
            const uint64_t area = uint64_t(2 * L + 1) * (2 * L + 1);
            uint32_t expected =
                c.protect ? before.GetPixel(p.x, p.y) & 0xFF000000u : uint32_t(sums[3] / area) << 24;
            for (int k = 0; k < 3; ++k)
                expected |= uint32_t(c.protect ? sums[k] / area : sums[k] * 255 / sums[3]) << (8 * k);
            EXPECT_EQ(pen.image.GetPixel(p.x, p.y), expected)
                << "radius " << c.radius << " at " << p.x << "," << p.y;
        }
    }
}

TEST(PenRenderWet, BlurOverTransparentChangesNothing)
{
    WetPen pen(RenderClass::Blur, 32, 32, 60);
    FillNoise(pen.image, 5);
    pen.image.SetAlphaAll(0);
    const uint64_t before = Checksum(pen.image);
    ASSERT_TRUE(pen.Start(16, 16));
    pen.render.SetThreshold(0);
    for (float x : {10.0f, 16.3f, 22.7f})
        pen.Dab(x, 15.5f, 6.0f);
    EXPECT_EQ(Checksum(pen.image), before);
}

TEST(PenRenderWet, BlurWithoutMemoryForItsBufferChangesNothing)
{
    WetPen pen(RenderClass::Blur, 64, 64, 100);
    pen.stroke.SetRadius(200.0f); // the buffer for a dab of 200 with L = 200: 2.6 MB
    FillNoise(pen.image, 4);
    const uint64_t before = Checksum(pen.image);
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    {
        ScopedMemoryLimit limit(1 << 20);
        EXPECT_FALSE(pen.Start(30, 30));
        EXPECT_FALSE(pen.Dab(30, 30, 20.0f));
    }
    SetNotifier(previous);
    EXPECT_EQ(Checksum(pen.image), before);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "メモリ不足によりぼかしの実行に失敗しました！");
}

TEST(PenRenderWet, SpreadCarriesThePatchOfTheDabBefore)
{
    WetPen pen(RenderClass::Spread, 32, 24);
    FillNoise(pen.image, 21);
    pen.image.SetAlphaAll(255);
    const TMTC before(pen.image);
    ASSERT_TRUE(pen.Start(10.5f, 10.5f));
    // At the start the patch lies where it came from.
    ASSERT_TRUE(pen.Dab(10.5f, 10.5f, 3.0f));
    EXPECT_EQ(Checksum(pen.image), Checksum(before));
    ASSERT_TRUE(pen.Dab(13.5f, 10.5f, 3.0f));
    ExpectShifted(pen.image, before, 3, {12, 9, 15, 12}, "spread");
    // The next patch holds the paint just laid down: it moves on with it.
    const TMTC second(pen.image);
    ASSERT_TRUE(pen.Dab(16.5f, 10.5f, 3.0f));
    ExpectShifted(pen.image, second, 3, {15, 9, 18, 12}, "spread on");
}

TEST(PenRenderWet, FingertipPutsDownNothingUntilItMoves)
{
    WetPen pen(RenderClass::Fingertip, 32, 24);
    FillNoise(pen.image, 22);
    pen.image.SetAlphaAll(255);
    const TMTC before(pen.image);
    ASSERT_TRUE(pen.Start(10.5f, 10.5f));
    EXPECT_FALSE(pen.Dab(10.5f, 10.5f, 3.0f));
    EXPECT_FALSE(pen.Dab(10.7f, 10.2f, 3.0f));
    EXPECT_EQ(Checksum(pen.image), Checksum(before));
    // The first move puts down the patch picked at the start, and so does a
    // dab that stays there.
    ASSERT_TRUE(pen.Dab(13.5f, 10.5f, 3.0f));
    ExpectShifted(pen.image, before, 3, {12, 9, 15, 12}, "first move");
    ASSERT_TRUE(pen.Dab(13.5f, 10.5f, 3.0f));
    ExpectShifted(pen.image, before, 3, {12, 9, 15, 12}, "same place");
    // Next: the patch picked at (13, 10) before anything was put down there.
    ASSERT_TRUE(pen.Dab(16.5f, 10.5f, 3.0f));
    ExpectShifted(pen.image, before, 3, {15, 9, 18, 12}, "second move");
}

// Spread and fingertip alike: a dab of radius r0 at (x, y), then one 5 px to
// the right of radius r1 puts down, over `box`, the patch the first picked.
void ExpectPatchCarried(int32_t w, int32_t h, CPenShapeObj* nib, float x, float y, float r0, float r1,
                        EdgeRect box)
{
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scoped(sink);
    for (RenderClass renderClass : {RenderClass::Spread, RenderClass::Fingertip}) {
        WetPen pen(renderClass, w, h);
        pen.render.SetNibPreset(nib, false, false, false);
        FillNoise(pen.image, 9);
        pen.image.SetAlphaAll(255);
        const TMTC before(pen.image);
        ASSERT_TRUE(pen.Start(x, y));
        pen.Dab(x, y, r0);
        ASSERT_TRUE(pen.Dab(x + 5, y, r1));
        pen.render.EndStroke();
        ExpectShifted(pen.image, before, 5, box, renderClass == RenderClass::Spread ? "spread" : "fingertip");
    }
    EXPECT_TRUE(sink.lines.empty()) << sink.lines.front();
}

// Pressure to size: the patch a thin first dab picks is put down by a wide
// one. Patches are as large as the nib's radius (10 px), so all of it lands:
// the square within the hard disc of radius 8 around (20, 20).
TEST(PenRenderWet, PatchPickedByAThinDabCoversAWideOne)
{
    ExpectPatchCarried(48, 40, nullptr, 15.5f, 20.5f, 1.0f, 8.0f, {15, 15, 26, 26});
}

TEST(PenRenderWet, WideBitmapNibSmudgesWholly)
{
    // A full 512 x 512 bitmap at 100 %: half extents 256 px, while the nib
    // record says 100.
    auto bitmap = std::make_unique<TChannel>(512, 512);
    bitmap->FillAll(0);
    CPenShapeObj item;
    ASSERT_TRUE(item.SetBitmap(std::move(bitmap)));
    ASSERT_EQ(item.Scale(), 100);
    ExpectPatchCarried(600, 560, &item, 290.5f, 280.5f, 100.0f, 100.0f, {295 - 250, 280 - 250, 295 + 250, 280 + 250});
}

// ---- golden dab sequences

// 40 x 32: transparent on the left, a soft gradient in the middle, opaque
// stripes on the right.
void FillLayer(TMTC& image)
{
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x) {
            uint32_t p = 0x00FFFFFF;
            if (x >= 26)
                p = (y / 3) % 2 ? 0xFF2080E0 : 0xFFF0C020;
            else if (x >= 10)
                p = uint32_t((x - 10) * 16) << 24 | uint32_t(x * 9) << 16 | uint32_t(y * 8) << 8 | 0x60;
            *image.PixelPtr(x, y) = p;
        }
}

// 255 - coverage: a filled ellipse with a soft rim, 11 x 9.
std::unique_ptr<CPenShapeObj> SmallBitmapNib()
{
    auto channel = std::make_unique<TChannel>(11, 9);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 11; ++x) {
            const int32_t d = (x - 5) * (x - 5) * 16 + (y - 4) * (y - 4) * 25;
            *channel->PixelPtr(x, y) = uint8_t(d < 200 ? 0 : d < 400 ? 128 : 255);
        }
    auto item = std::make_unique<CPenShapeObj>();
    EXPECT_TRUE(item->SetBitmap(std::move(channel)));
    return item;
}

struct Golden {
    const char* what;
    RenderClass renderClass;
    bool protect;
    uint16_t effect1, effect2, effect3;
    uint64_t round, bitmap;
};

// A short stroke left to right: sizes from thin to wide, densities below and
// at 1, one dab cut by the top edge, one repeated position. For a bitmap nib
// the sizes are scale percents. The nib is soft (no threshold). As in a
// stroke, no dab is larger than the nib (radius 10 px, a bitmap at 360 %),
// so a patch picked by a thin dab holds what a wide one later puts down.
uint64_t RunGolden(const Golden& g, CPenShapeObj* item)
{
    WetPen pen(g.renderClass, 40, 32, g.effect1, g.effect2, g.effect3);
    pen.stroke.SetProtectAlpha(g.protect);
    pen.stroke.SetPressureDensity(true);
    pen.render.SetThreshold(0);
    if (item)
        item->SetScale(360);
    pen.render.SetNibPreset(item, false, false, false);
    FillLayer(pen.image);
    const float scale = item ? 50.0f : 1.0f;
    struct D {
        float x, y, density, radius;
    };
    const D dabs[] = {{4.3f, 14.6f, 0.8f, 2.4f}, {9.8f, 15.1f, 1.0f, 3.6f},  {9.9f, 15.4f, 1.0f, 3.6f},
                      {15.2f, 1.3f, 0.6f, 5.2f}, {21.6f, 12.7f, 1.0f, 7.1f}, {27.1f, 17.9f, 0.9f, 4.8f},
                      {33.5f, 22.4f, 1.0f, 2.2f}};
    EXPECT_TRUE(pen.Start(dabs[0].x, dabs[0].y));
    for (const D& d : dabs) {
        pen.stroke.strokeLength += 6.0f;
        pen.Dab(d.x, d.y, d.radius * scale, d.density);
    }
    pen.render.EndStroke();
    return Checksum(pen.image);
}

TEST(PenRenderWet, GoldenDabSequences)
{
    const Golden goldens[] = {
        {"watercolour", RenderClass::Watercolour, false, 40, 30, 20, 0x030155d575c82f2f, 0x59d530d5c9b29958},
        {"watercolour, protected", RenderClass::Watercolour, true, 70, 80, 0, 0x9040f6642ba97d04,
         0xc59414dd9546cd0a},
        {"blur", RenderClass::Blur, false, 80, 0, 0, 0x21cff80d63948d81, 0x5b39756f62192efd},
        {"blur, protected", RenderClass::Blur, true, 80, 0, 0, 0xe6f8afdcd8cf4d5d, 0x54504e1129095ba4},
        {"spread", RenderClass::Spread, false, 0, 0, 0, 0x8f3aa0933f9bad56, 0xcb00bc02f5a2ebff},
        {"spread, protected", RenderClass::Spread, true, 0, 0, 0, 0x6479b503290d0aa1, 0x3040bae47687b706},
        {"fingertip", RenderClass::Fingertip, false, 0, 0, 0, 0x3a74ace87cc7f124, 0x7ce3956fdd967600},
        {"fingertip, protected", RenderClass::Fingertip, true, 0, 0, 0, 0x14f6b4d864b9c195,
         0xb8f4c17fa8651063},
    };
    const std::unique_ptr<CPenShapeObj> item = SmallBitmapNib();
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scoped(sink);
    for (const Golden& g : goldens) {
        SCOPED_TRACE(g.what);
        EXPECT_EQ(RunGolden(g, nullptr), g.round);
        EXPECT_EQ(RunGolden(g, item.get()), g.bitmap);
    }
    EXPECT_TRUE(sink.lines.empty()) << sink.lines.front();
}

} // namespace
} // namespace morvane
