#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "FilterFixture.h"
#include "filters/HueSaturation.h"
#include "filters/RecordBytes.h"
#include "filters/ToneTable.h"
#include "storage/FixedPoint.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using namespace testing_filters;

uint64_t ChecksumAfter(uint8_t code, const std::vector<uint8_t>& record)
{
    auto store = MakeLayer();
    EXPECT_EQ(RunFilter(*FilterByCode(code), *store, record), FilterResult::Done);
    return support::Checksum(*store);
}

// Pins the bytes every tone filter writes on one small layer; a change of
// arithmetic shows here first.
TEST(ToneFilters, GoldenChecksums)
{
    struct Case {
        uint8_t code;
        std::vector<uint8_t> record;
        uint64_t checksum;
    };
    const Case cases[] = {
        {81, RecordOf(81), 18223358584168317355ull},
        {56, RecordOf(56), 6179126824610089195ull},
        {27, RecordOf(27), 4185118130155486035ull},
        {49, RecordOf(49), 14397680550156017323ull},
        {24, RecordOf(24, {{0, 0.6}, {1, 1.3}, {2, 1.9}}), 4942275869678301355ull},
        {62, RecordOf(62, {{0, 30}, {1, -40}, {2, 1}}), 12040053841582362123ull},
        {62, RecordOf(62, {{0, -25}, {1, 60}}), 2037708353566995299ull},
        {60, RecordOf(60, {{0, 20}, {1, 80}, {2, 230}, {3, 10}, {4, 240}, {5, 0}}), 2323530068920927827ull},
        {60, RecordOf(60, {{0, 20}, {1, 150}, {2, 230}}), 13884186340707251971ull},
        {61, RecordOf(61, {{0, 45}, {1, 30}, {2, -20}}), 5333329648005825151ull},
        {61, RecordOf(61, {{0, -90}, {1, -50}, {2, 40}, {4, 1}}), 9351898292867292617ull},
        {20, RecordOf(20), 9942489348141660564ull},
        {63, RecordOf(63, {{0, 0x3366CC}}), 16272080706465881742ull},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChecksumAfter(c.code, c.record), c.checksum) << "code " << int(c.code);
}

TEST(ToneFilters, InvertTwiceRestoresAndKeepsAlpha)
{
    auto store = MakeLayer();
    const uint64_t before = support::Checksum(*store);
    const uint32_t alpha = store->GetPixel(3, 4) >> 24;
    RunFilter(*FilterByCode(81), *store, {});
    EXPECT_EQ(store->GetPixel(3, 4) >> 24, alpha);
    RunFilter(*FilterByCode(81), *store, {});
    EXPECT_EQ(support::Checksum(*store), before);
}

TEST(ToneFilters, TableEdges)
{
    const ToneTable poster = PosterizeTable(2);
    EXPECT_EQ(poster.red[127], 0);
    EXPECT_EQ(poster.red[128], 255);
    EXPECT_EQ(poster.red[254], 255);
    EXPECT_EQ(poster.red[255], 255); // 2 * 255 / 1 clamped
    EXPECT_EQ(PosterizeTable(1), PosterizeTable(2));

    const ToneTable identity = ToneTable::Identity();
    EXPECT_EQ(BrightnessContrastTable(0, 0, true), identity);
    EXPECT_EQ(BrightnessContrastTable(0, 0, false), identity);
    EXPECT_EQ(LevelsTable(RecordOf(60)), identity);                   // linear on
    EXPECT_EQ(LevelsTable(RecordOf(60, {{5, 0}})), identity);         // curve, middle 1.00
    EXPECT_EQ(ColourBalanceTable(1, 1, 1), identity);
    // Linear contrast -100 flattens to 127 + B.
    for (int32_t b : {-30, 0, 45}) {
        const ToneTable flat = BrightnessContrastTable(b, -100, true);
        for (int i = 0; i < 256; i += 51)
            EXPECT_EQ(flat.green[size_t(i)], 127 + b) << b;
    }
    // A gamma above 1 darkens.
    EXPECT_LT(ColourBalanceTable(2, 1, 1).red[128], 128);
}

TEST(ToneFilters, ThresholdSplitsAtTheLevel)
{
    CBlockVMTC store(2, 1);
    store.SetPixel(0, 0, 0xFF808080u); // luminance 128
    store.SetPixel(1, 0, 0x7F7F7F7Fu); // luminance 127
    const CBlockVMTC backup(store);
    const FilterContext c = WholeContext(store, backup);
    const std::vector<uint8_t> r = RecordOf(49);
    ASSERT_EQ(FilterByCode(49)->routine(c, {r}), FilterResult::Done);
    EXPECT_EQ(store.GetPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(store.GetPixel(1, 0), 0x7F000000u);
}

TEST(ToneFilters, HueSaturationZerosAndMonotone)
{
    EXPECT_TRUE(HueSaturationTables({}).IsIdentity());
    auto store = MakeLayer();
    const uint64_t before = support::Checksum(*store);
    RunFilter(*FilterByCode(61), *store, RecordOf(61));
    EXPECT_EQ(support::Checksum(*store), before);

    const HueSaturationTables mono({0, 0, 0, true, false});
    const uint32_t grey = mono.Map(0x0020C040u);
    EXPECT_EQ(grey & 0xFF, (grey >> 8) & 0xFF);
    EXPECT_EQ(grey & 0xFF, (grey >> 16) & 0xFF);
    EXPECT_EQ(int32_t(grey & 0xFF), RgbToHls(0x20, 0xC0, 0x40).lightness >> 16);
}

TEST(ToneFilters, GreyscaleSkipsTransparentPixels)
{
    auto store = MakeLayer();
    const uint32_t clear = store->GetPixel(0, 0); // (0 + 0) % 11 == 0
    ASSERT_EQ(clear >> 24, 0u);
    RunFilter(*FilterByCode(20), *store, {});
    EXPECT_EQ(store->GetPixel(0, 0), clear);
    const uint32_t v = store->GetPixel(1, 0);
    EXPECT_EQ(v & 0xFF, (v >> 16) & 0xFF);
}

TEST(ToneFilters, LuminanceToAlpha)
{
    auto store = MakeLayer();
    const uint64_t before = support::Checksum(*store);
    EXPECT_EQ(RunFilter(*FilterByCode(63), *store, RecordOf(63), nullptr, {0, 0, kW, kH}, true),
              FilterResult::Done);
    EXPECT_EQ(support::Checksum(*store), before);

    CBlockVMTC pair(2, 1);
    pair.SetPixel(0, 0, 0xFFFFFFFFu);
    pair.SetPixel(1, 0, 0xC0000000u);
    const CBlockVMTC backup(pair);
    const FilterContext c = WholeContext(pair, backup);
    std::vector<uint8_t> r = RecordOf(63, {{0, 0x102030}});
    ASSERT_EQ(FilterByCode(63)->routine(c, {r}), FilterResult::Done);
    EXPECT_EQ(pair.GetPixel(0, 0) >> 24, 0u);              // white goes
    EXPECT_EQ(pair.GetPixel(1, 0), 0xC0102030u);          // black keeps its alpha
}

TEST(ToneFilters, WrongSizeOrContextChangesNothing)
{
    for (const FilterDescriptor& d : FilterDescriptors()) {
        auto store = MakeLayer();
        const uint64_t before = support::Checksum(*store);
        std::vector<uint8_t> r = DefaultRecord(d);
        r.push_back(0);
        EXPECT_EQ(RunFilter(d, *store, r), FilterResult::Refused) << d.act;
        EXPECT_EQ(RunFilter(d, *store, DefaultRecord(d), nullptr, {0, 0, 0, 0}), FilterResult::Refused) << d.act;
        EXPECT_EQ(support::Checksum(*store), before) << d.act;
    }
}

} // namespace
} // namespace morvane
