// The colour range's coverage per pixel and its settings record.
#include <gtest/gtest.h>

#include <cmath>

#include "document/ColourRange.h"

namespace morvane {
namespace {

// The coverage as the rule states it, in doubles: x = 1.5 - e / 2r².
int32_t Oracle(uint32_t pixel, const std::vector<SColourRangeEntry>& entries)
{
    const int32_t a = int32_t(pixel >> 24);
    if (a <= 1)
        return 0;
    int32_t d = 0;
    for (const SColourRangeEntry& en : entries) {
        double e = 0;
        for (int shift : {16, 8, 0}) {
            const double diff = double((pixel >> shift) & 0xFF) - double((en.colour >> shift) & 0xFF);
            e += diff * diff;
        }
        const double x = 1.5 - e / (2.0 * en.range * en.range);
        int32_t c = x <= 0 ? 0 : x >= 0.5 ? 255 : int32_t(std::floor(512 * x));
        if (c > 0 && c < 255 && a < 255)
            c = std::min(255, c + c * (255 - a) / 255);
        d = en.add ? std::min(d + c, 255) : std::max(d - c, 0);
    }
    return d;
}

TEST(ColourRange, PixelCoverageFollowsTheRule)
{
    const std::vector<SColourRangeEntry> red{{0xFF0000, true, 50}};
    const std::vector<SColourRangeEntry> redButDark{{0xFF0000, true, 50}, {0x800000, false, 40}};
    struct Case {
        uint32_t pixel;
        const std::vector<SColourRangeEntry>* entries;
        int32_t expected; // -1: the oracle's
    } cases[] = {
        {0xFFFF0000, &red, 255},     // the colour itself
        {0x00FF0000, &red, 0},       // alpha 0 is never in range
        {0x01FF0000, &red, 0},       // nor alpha 1
        {0xFF0000FF, &red, 0},       // far away
        {0xFFFF4600, &red, -1},      // e = 4900 < 2r²: full
        {0xFFFF5A00, &red, -1},      // e = 8100, inside the soft edge
        {0xFFC83200, &red, -1},      // e = 5525
        {0x80C83200, &red, -1},      // the soft edge of a half-transparent pixel
        {0xFF900000, &redButDark, -1}, // added, then partly removed
        {0xFF800000, &redButDark, 0},  // removed entirely
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixel);
        const int32_t expected = c.expected >= 0 ? c.expected : Oracle(c.pixel, *c.entries);
        EXPECT_EQ(ColourRangeValue(c.pixel, *c.entries), expected);
    }
    // Every distance on one axis against the oracle, for a few ranges.
    for (uint8_t range : {1, 7, 50, 255})
        for (uint32_t alpha : {2u, 128u, 255u})
            for (uint32_t g = 0; g < 256; ++g) {
                const std::vector<SColourRangeEntry> e{{0x204060, true, range}};
                const uint32_t pixel = alpha << 24 | 0x200060 | g << 8;
                ASSERT_EQ(ColourRangeValue(pixel, e), Oracle(pixel, e)) << int(range) << " " << alpha << " " << g;
            }
}

TEST(ColourRange, RowCountsSelectedAndFullPixelsAndLeavesOutsideTheSelection)
{
    const std::vector<SColourRangeEntry> entries{{0x000000, true, 100}};
    const uint32_t pixels[] = {0xFF000000, 0xFF000000, 0x00000000, 0xFFFFFFFF, 0xFF808080};
    const uint8_t inside[] = {255, 0, 255, 255, 1};
    uint8_t out[5];
    SColourRangeCounts counts;
    ColourRangeRow(pixels, inside, 5, entries, out, counts);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(out[4], ColourRangeValue(0xFF808080, entries));
    EXPECT_EQ(counts.full, 1);
    EXPECT_EQ(counts.selected, 1 + (out[4] > 1));
}

TEST(ColourRange, RecordRoundTripsAndRefusesCorruptSettings)
{
    SColourRange range{ColourRangeSource::Composite, -12, 40, {{0x123456, true, 50}, {0xABCDEF, false, 255}}};
    const std::vector<uint8_t> bytes = EncodeColourRange(range);
    EXPECT_EQ(bytes.size(), 12u + 8u * 2);
    SColourRange back;
    ASSERT_TRUE(DecodeColourRange(bytes, back));
    EXPECT_EQ(back, range);

    struct Corruption {
        const char* what;
        size_t at;
        uint8_t value;
    } corruptions[] = {
        {"unknown source", 0, 2}, {"no entry", 2, 0}, {"flag 2", 12 + 4, 2}, {"range 0", 12 + 8 + 5, 0},
    };
    for (const Corruption& c : corruptions) {
        std::vector<uint8_t> bad = bytes;
        bad[c.at] = c.value;
        EXPECT_FALSE(DecodeColourRange(bad, back)) << c.what;
    }
    std::vector<uint8_t> shortRecord(bytes.begin(), bytes.end() - 1);
    EXPECT_FALSE(DecodeColourRange(shortRecord, back));
    SColourRange tooMany{ColourRangeSource::Layer, 0, 0, std::vector<SColourRangeEntry>(257)};
    EXPECT_FALSE(DecodeColourRange(EncodeColourRange(tooMany), back));
    tooMany.entries.pop_back();
    EXPECT_TRUE(DecodeColourRange(EncodeColourRange(tooMany), back));
}

} // namespace
} // namespace morvane
