#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "FilterFixture.h"
#include "NeighbourRecords.h"
#include "filters/FilterRandom.h"
#include "filters/LayerBand.h"
#include "filters/NeighbourFilters.h"
#include "filters/RecordBytes.h"
#include "filters/TwoPointSample.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using namespace testing_filters;

uint64_t ChecksumAfter(uint8_t code, const std::vector<uint8_t>& record)
{
    auto store = MakeLayer();
    EXPECT_EQ(RunFilter(*FilterByCode(code), *store, record), FilterResult::Done) << int(code);
    return support::Checksum(*store);
}

// Pins the bytes every neighbourhood routine writes on the small layer with
// partial alpha; a change of arithmetic shows here first.
TEST(NeighbourFilters, GoldenChecksums)
{
    const uint64_t golden[] = {
        17890241473383039163ull,
        2207886362021496908ull,
        16258736834444945091ull,
        18271973860158415799ull,
        12528505952935432391ull,
        6142743982082691716ull,
        807369279770032417ull,
        16633188959401026735ull,
        18127280054890735636ull,
        4211544850740117417ull,
        10939339685285435992ull,
        17070624094125160739ull,
        9917822459954552932ull,
        4956309002377129736ull,
        78341960877867721ull,
        3532260845666632636ull,
        14658396795108217869ull,
        1650591989048113564ull,
        563319696729615638ull,
        12476531285650951ull,
    };
    const std::vector<NamedRun> runs = EveryRoutine();
    ASSERT_EQ(runs.size(), std::size(golden));
    for (size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(ChecksumAfter(runs[i].code, runs[i].record), golden[i]) << runs[i].what;
}

// The whole of a store of any size.
FilterResult RunWhole(uint8_t code, CBlockVMTC& store, const std::vector<uint8_t>& record)
{
    const CBlockVMTC backup(store);
    return FilterByCode(code)->routine(WholeContext(store, backup), {record});
}

std::unique_ptr<CBlockVMTC> Uniform(uint32_t pixel, int32_t w = 9, int32_t h = 7)
{
    auto store = std::make_unique<CBlockVMTC>(w, h);
    store->FillAll(pixel);
    // Committed pixels, so the routine cannot win by a uniform block alone.
    store->SetPixel(0, 0, pixel);
    return store;
}

// Every pixel of the store satisfies want.
::testing::AssertionResult Every(const CBlockVMTC& s, const std::function<bool(uint32_t)>& want)
{
    for (int32_t y = 0; y < s.Height; ++y)
        for (int32_t x = 0; x < s.Width; ++x)
            if (!want(s.GetPixel(x, y)))
                return ::testing::AssertionFailure() << std::hex << s.GetPixel(x, y) << " at " << std::dec << x << ","
                                                     << y;
    return ::testing::AssertionSuccess();
}

TEST(NeighbourFilters, EdgeCases)
{
    constexpr uint32_t kTeal = 0xFF336699u;
    struct Case {
        const char* what;
        uint8_t code;
        std::vector<uint8_t> record;
        uint32_t layer;
        std::function<bool(uint32_t)> want;
    };
    auto same = [](uint32_t p) { return p == kTeal; };
    const Case cases[] = {
        {"blur of uniform", 64, {}, kTeal, same},
        {"strong blur of uniform", 65, {}, kTeal, same},
        {"earlier blur of uniform", 0, {}, kTeal, same},
        {"earlier strong blur of uniform", 1, {}, kTeal, same},
        {"sharpen of uniform", 12, {}, kTeal, same},
        {"strong sharpen of uniform", 13, {}, kTeal, same},
        {"custom sharpen 1 of uniform", 14, RecordOf(14, {{0, 1.0}}), kTeal, same},
        {"gaussian of uniform", 67, RecordOf(67, {{0, 10.0}}), kTeal, same},
        {"motion of uniform", 4, Motion(100, 2, 33), kTeal, same},
        {"zoom of uniform", 66, Zoom(100, 2, 2), kTeal, same},
        {"mosaic of uniform", 26, RecordOf(26, {{0, 4}}), kTeal, same},
        {"emboss of uniform is grey 127", 50, RecordOf(50), kTeal, [](uint32_t p) { return p == 0xFF7F7F7Fu; }},
        {"find edges of uniform is white", 53, {}, kTeal, [](uint32_t p) { return p == 0xFFFFFFFFu; }},
        {"custom 5x5 of a centre weight", 51, Custom55({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 0), kTeal, same},
        {"noise amount 0", 25, Noise(0, false, 5), kTeal, same},
    };
    for (const Case& c : cases) {
        auto store = Uniform(c.layer);
        ASSERT_EQ(RunWhole(c.code, *store, c.record), FilterResult::Done)
            << c.what;
        EXPECT_TRUE(Every(*store, c.want)) << c.what;
    }
}

// On the varied layer: identities, and transparent neighbours that do not
// darken a blur.
TEST(NeighbourFilters, IdentitiesAndTransparentNeighbours)
{
    EXPECT_EQ(CustomSharpenWeight(0.0f), 0);
    EXPECT_EQ(CustomSharpenWeight(1.0f), 240);
    const uint64_t before = support::Checksum(*MakeLayer());
    EXPECT_EQ(ChecksumAfter(14, RecordOf(14, {{0, 0.0}})), before);
    EXPECT_EQ(ChecksumAfter(51, Custom55({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 0)), before);
    EXPECT_EQ(ChecksumAfter(51, DefaultRecord(*FilterByCode(51))), before) << "the dialog starts as the identity";
    EXPECT_EQ(ChecksumAfter(25, Noise(0, false, 17)), before);

    // Sigma 0.1: radius 1, the neighbours weigh nothing; opaque colours stay.
    auto opaque = MakeLayer();
    opaque->SetAlpha({0, 0, kW, kH}, 255);
    const uint64_t opaqueBefore = support::Checksum(*opaque);
    ASSERT_EQ(RunFilter(*FilterByCode(67), *opaque, RecordOf(67, {{0, 0.1}})), FilterResult::Done);
    EXPECT_EQ(support::Checksum(*opaque), opaqueBefore);

    // One red pixel among transparent white ones: blurs keep it red and
    // give its transparent neighbours red, never a darker or whiter mix.
    for (uint8_t code : {0, 1, 64, 65, 67}) {
        auto store = Uniform(0x00FFFFFFu);
        store->SetPixel(4, 3, 0xFFFF0000u);
        ASSERT_EQ(RunWhole(code, *store, code == 67 ? RecordOf(67) : std::vector<uint8_t>{}),
                  FilterResult::Done);
        EXPECT_EQ(store->GetPixel(4, 3) & 0xFFFFFFu, 0xFF0000u) << int(code);
        EXPECT_EQ(store->GetPixel(5, 3) & 0xFFFFFFu, 0xFF0000u) << int(code);
        EXPECT_GT(store->GetPixel(5, 3) >> 24, 0u) << int(code);
    }
}

// Every routine and mode, long reaches included, under random clips and a
// feathered selection: the clipped run equals the full run.
TEST(NeighbourFilters, ClipEqualsFull)
{
    std::mt19937 random(11);
    std::vector<NamedRun> runs = EveryRoutine();
    runs.push_back({"motion 100 mode 2", 4, Motion(100, 2, 30)});
    runs.push_back({"motion 100 mode 1", 4, Motion(100, 1, 90)});
    runs.push_back({"motion 100 mode 0", 4, Motion(100, 0, 200)});
    runs.push_back({"zoom 100", 66, Zoom(100, -20, 15)});
    runs.push_back({"gaussian 10", 67, RecordOf(67, {{0, 10.0}})});
    runs.push_back({"diffuse radial far", 59, Diffuse(255, 2, true, 5)});
    runs.push_back({"mosaic 13", 26, RecordOf(26, {{0, 13}})});
    for (const NamedRun& r : runs) {
        SCOPED_TRACE(r.what);
        ExpectClipEqualsFull(*FilterByCode(r.code), r.record, random, 3);
    }
}

TEST(NeighbourFilters, MosaicDividesByRowsWithAlpha)
{
    // A 4 x 4 cell: top half transparent, bottom half opaque red.
    CBlockVMTC store(4, 4);
    store.FillAll(0x00000000u);
    store.FillRect({0, 2, 4, 2}, 0xFFFF0000u);
    ASSERT_EQ(RunWhole(26, store, RecordOf(26, {{0, 4}})), FilterResult::Done);
    // The colour of the rows that have alpha; the alpha of the whole cell.
    EXPECT_EQ(store.GetPixel(0, 0), 0x7FFF0000u);
    EXPECT_EQ(store.GetPixel(3, 3), 0x7FFF0000u);
}

TEST(NeighbourFilters, MosaicCellsAlignToTheLayerOrigin)
{
    auto store = MakeLayer(), reference = MakeLayer();
    const FeatheredCoverage coverage;
    ASSERT_EQ(RunFilter(*FilterByCode(26), *reference, RecordOf(26, {{0, 6}})), FilterResult::Done);
    ASSERT_EQ(RunFilter(*FilterByCode(26), *store, RecordOf(26, {{0, 6}}), nullptr, {7, 5, 40, 30}),
              FilterResult::Done);
    // Cell (6, 6)-(12, 12) is the same wherever the work starts inside it.
    EXPECT_EQ(store->GetPixel(8, 8), reference->GetPixel(8, 8));
    EXPECT_EQ(store->GetPixel(11, 11), reference->GetPixel(6, 6));
}

// The sampler against a plain 64-bit reference of the same rule at full
// alpha, where the rounding constant is half the weight sum.
TEST(NeighbourFilters, TwoPointSampleAgreesWithReference)
{
    CBlockVMTC store(4, 4);
    std::mt19937 random(3);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            store.SetPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
    FilterContext c = WholeContext(store, store);
    LayerBand band;
    ASSERT_TRUE(band.Load(c, {0, 0, 4, 4}));
    for (int round = 0; round < 200; ++round) {
        const int64_t x1 = random() % (3 * 65536), y1 = random() % (3 * 65536);
        const int64_t x2 = random() % (3 * 65536), y2 = random() % (3 * 65536);
        const uint32_t got = TwoPointSample(band, {x1, y1}, {x2, y2});
        // Reference: double-precision weighted mean of the eight corners.
        double sum[3] = {}, weight = 0;
        for (auto [px, py] : {std::pair{x1, y1}, {x2, y2}}) {
            const double fx = double(px & 0xFFFF) / 65536, fy = double(py & 0xFFFF) / 65536;
            const int32_t ix = int32_t(px >> 16), iy = int32_t(py >> 16);
            const double w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
            const uint32_t p[4] = {store.GetPixel(ix, iy), store.GetPixel(ix + 1, iy), store.GetPixel(ix, iy + 1),
                                   store.GetPixel(ix + 1, iy + 1)};
            for (int i = 0; i < 4; ++i) {
                weight += w[i];
                for (int ch = 0; ch < 3; ++ch)
                    sum[ch] += w[i] * ((p[i] >> (8 * ch)) & 0xFF);
            }
        }
        EXPECT_EQ(got >> 24, 255u);
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_NEAR(double((got >> (8 * ch)) & 0xFF), sum[ch] / weight, 1.0) << round << " ch " << ch;
    }
}

// The unclamped quotient passes 255 at low alpha; it is clamped in both
// sampler modes instead of wrapping to a dark colour.
TEST(NeighbourFilters, SamplerClampsLowAlphaWhite)
{
    CBlockVMTC store(2, 1);
    store.FillAll(0x01FFFFFFu);
    FilterContext c = WholeContext(store, store);
    LayerBand band;
    ASSERT_TRUE(band.Load(c, {0, 0, 2, 1}));
    EXPECT_EQ(TwoPointSample(band, {32768, 0}, {32768, 0}) & 0xFFFFFFu, 0xFFFFFFu);
}

TEST(NeighbourFilters, RandomJumpEqualsSteps)
{
    for (uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
        FilterRandom stepped(seed);
        uint64_t done = 0;
        for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 1000ull, 65537ull, 10000000ull}) {
            for (; done < n; ++done)
                stepped.Below(7);
            FilterRandom jumped(seed);
            jumped.Skip(n);
            EXPECT_EQ(jumped.State(), stepped.State()) << seed << " " << n;
        }
    }
}

// A pane at the bottom of the bounds draws the same numbers the full run
// draws there, after jumping over everything above.
TEST(NeighbourFilters, NoisePaneAtTheBottomEqualsTheFullRun)
{
    for (bool grey : {false, true}) {
        auto full = MakeLayer(), pane = MakeLayer();
        const std::vector<uint8_t> record = Noise(64, grey, 4242);
        ASSERT_EQ(RunFilter(*FilterByCode(25), *full, record), FilterResult::Done);
        ASSERT_EQ(RunFilter(*FilterByCode(25), *pane, record, nullptr, {20, 38, 51, kH}), FilterResult::Done);
        for (int32_t y = 38; y < kH; ++y)
            for (int32_t x = 20; x < 51; ++x)
                ASSERT_EQ(pane->GetPixel(x, y), full->GetPixel(x, y)) << x << "," << y;
        EXPECT_NE(support::Checksum(*full), support::Checksum(*MakeLayer()));
    }
}

TEST(NeighbourFilters, DiffuseDeclinesAnotherProtection)
{
    auto store = MakeLayer();
    const uint64_t before = support::Checksum(*store);
    std::vector<uint8_t> record = Diffuse(3, 0, false, 1);
    record[14] = 1; // recorded on a protected layer
    EXPECT_EQ(RunFilter(*FilterByCode(59), *store, record), FilterResult::Declined);
    EXPECT_EQ(support::Checksum(*store), before);
    EXPECT_EQ(RunFilter(*FilterByCode(59), *store, record, nullptr, {0, 0, kW, kH}, true), FilterResult::Done);
    EXPECT_NE(support::Checksum(*store), before);
}

// Records no dialog makes: refused, declined or brought into range.
TEST(NeighbourFilters, HostileRecords)
{
    const std::vector<uint8_t> hugeWeights =
        Custom55({INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN,
                  INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX,
                  INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN},
                 -1, 0);
    auto store = MakeLayer();
    EXPECT_EQ(RunFilter(*FilterByCode(51), *store, hugeWeights), FilterResult::Done);
    EXPECT_EQ(RunFilter(*FilterByCode(51), *store, Custom55({1}, 0, 0)), FilterResult::Declined);
    std::vector<uint8_t> short55(107, 0);
    EXPECT_EQ(RunFilter(*FilterByCode(51), *store, short55), FilterResult::Refused);
}

} // namespace
} // namespace morvane
