#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "FilterFixture.h"
#include "filters/FilterWrites.h"
#include "filters/RecordBytes.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using namespace testing_filters;

TEST(FilterDescriptors, DefaultsReadBackAndValidate)
{
    for (const FilterDescriptor& d : FilterDescriptors()) {
        const std::vector<uint8_t> r = DefaultRecord(d);
        ASSERT_EQ(r.size(), d.recordSize) << d.act;
        EXPECT_TRUE(ValidateRecord(d, {r})) << d.act;
        for (const FilterParam& p : d.params)
            for (int i = 0; i < p.count; ++i)
                EXPECT_DOUBLE_EQ(ReadParam(p, r, i), double(float(DefaultOf(p, i)))) << d.act << " " << p.label;
        if (*d.act) {
            EXPECT_EQ(FilterByAct(d.act), &d);
        }
    }
    EXPECT_EQ(FilterByCode(54), nullptr); // the gradient map comes with the gradations
}

TEST(FilterDescriptors, IntegersRoundHalvesAwayFromZero)
{
    const FilterParam& brightness = FilterByCode(62)->params[0];
    std::vector<uint8_t> r(16, 0);
    for (auto [shown, stored] : {std::pair{2.5, 3}, {-2.5, -3}, {-2.4, -2}, {99.5, 100}}) {
        WriteParam(brightness, r, shown);
        EXPECT_EQ(RecordI32(r, 0), stored) << shown;
    }
}

// Records no dialog makes: each is refused or brought into the range the
// tables are built for, never used as it came.
TEST(FilterDescriptors, HostileRecords)
{
    struct Case {
        uint8_t code;
        size_t at;
        int32_t word; // written as i32 (or the byte at `at` for byte fields)
        bool byte;
        bool valid;
        int32_t sanitized;
    };
    const Case cases[] = {
        {61, 8, 128, false, true, 100},    // lightness past the table
        {61, 8, -128, false, true, -100},
        {61, 0, -720, false, true, 0},     // hue wraps
        {61, 0, 540, false, true, -180},
        {62, 0, 143, false, true, 100},    // 1/k would be infinite
        {62, 4, -1000, false, true, -100},
        {60, 4, 0, true, true, 1},         // middle 0 divided by zero
        {60, 5, 255, true, true, 199},     // above 199 a negative power
        {49, 0, 0, true, true, 1},
        {27, 0, 1, false, true, 2},
        {27, 0, 100000, false, true, 254},
    };
    for (const Case& c : cases) {
        const FilterDescriptor& d = *FilterByCode(c.code);
        std::vector<uint8_t> r = DefaultRecord(d);
        if (c.byte)
            r[c.at] = uint8_t(c.word);
        else
            PutRecordU32(r, c.at, uint32_t(c.word));
        ASSERT_EQ(ValidateRecord(d, {r}), c.valid) << int(c.code) << "@" << c.at;
        SanitizeRecord(d, r);
        EXPECT_EQ(c.byte ? int32_t(r[c.at]) : RecordI32(r, c.at), c.sanitized) << int(c.code) << "@" << c.at;
    }
    // Non-finite floats are refused outright.
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<uint8_t> r = DefaultRecord(*FilterByCode(24));
        PutRecordF32(r, 4, bad);
        EXPECT_FALSE(ValidateRecord(*FilterByCode(24), {r}));
    }
    // A gamma out of range is clamped; data where none belongs is refused.
    std::vector<uint8_t> r = DefaultRecord(*FilterByCode(24));
    PutRecordF32(r, 0, 9.0f);
    SanitizeRecord(*FilterByCode(24), r);
    EXPECT_EQ(RecordF32(r, 0), 2.0f);
    const uint8_t extra[1] = {0};
    EXPECT_FALSE(ValidateRecord(*FilterByCode(81), {{}, extra}));
}

TEST(FilterDescriptors, LevelsWithEqualEndsIsAStep)
{
    const FilterDescriptor& d = *FilterByCode(60);
    std::vector<uint8_t> r = DefaultRecord(d);
    r[0] = r[8] = 100; // master minimum = maximum
    ASSERT_TRUE(ValidateRecord(d, {r}));
    CBlockVMTC store(3, 1);
    store.SetPixel(0, 0, 0xFF636363u);
    store.SetPixel(1, 0, 0xFF646464u);
    store.SetPixel(2, 0, 0xFF656565u);
    const CBlockVMTC backup(store);
    const FilterContext c = WholeContext(store, backup);
    ASSERT_EQ(d.routine(c, {r}), FilterResult::Done);
    EXPECT_EQ(store.GetPixel(0, 0), 0xFF000000u);
    EXPECT_EQ(store.GetPixel(1, 0), 0xFF000000u);
    EXPECT_EQ(store.GetPixel(2, 0), 0xFFFFFFFFu);
}

// Every registered filter under a feathered selection and a random clip.
TEST(FilterDescriptors, CoverageAndClipProperty)
{
    std::mt19937 random(5);
    for (const FilterDescriptor& d : FilterDescriptors())
        ExpectClipEqualsFull(d, DefaultRecord(d), random);
}

TEST(FilterWrites, BlendAtCoverage)
{
    EXPECT_EQ(WriteColour(0x80102030u, 0x00FFFFFFu, 0), 0x80102030u);
    EXPECT_EQ(WriteColour(0x80102030u, 0x11FFFFFFu, 255), 0x80FFFFFFu);
    EXPECT_EQ(WriteColour(0x80000000u, 0x00FEFEFEu, 128), 0x807F7F7Fu);
    // Alpha blends first; a colour is written only where alpha remains.
    EXPECT_EQ(WritePixel(0x00102030u, 0x00FFFFFFu, 255), 0x00102030u);
    EXPECT_EQ(WritePixel(0xFF000000u, 0x00FEFEFEu, 128), 0x7F7F7F7Fu);
}

} // namespace
} // namespace morvane
