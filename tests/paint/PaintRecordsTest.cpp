#include "paint/PaintRecords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace morvane;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

template <typename Record>
std::vector<uint8_t> Bytes(const Record& r)
{
    uint8_t out[Record::kBytes];
    r.Encode(out);
    return {out, out + Record::kBytes};
}

template <typename Record>
Record RoundTrip(const Record& r)
{
    uint8_t bytes[Record::kBytes];
    r.Encode(bytes);
    return Record::Decode(bytes);
}

} // namespace

TEST(PaintRecords, LittleEndianLayouts)
{
    NibRecord nib{0x01020304, 1000, 3599, -2};
    EXPECT_EQ(Bytes(nib), (std::vector<uint8_t>{4, 3, 2, 1, 0xE8, 3, 0, 0, 0x0F, 0x0E, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));

    AirMapRecord air{5, 900, 0x0102};
    EXPECT_EQ(Bytes(air), (std::vector<uint8_t>{5, 0, 0, 0, 0x84, 3, 0, 0, 2, 1, 0, 0}));

    BrushMethodRecord method{6, true, true, 0x0102, 50, 100, true};
    EXPECT_EQ(Bytes(method), (std::vector<uint8_t>{6, 1, 1, 1, 2, 1, 50, 0, 100, 0, 0, 0, 0, 0, 0, 0}));

    BrushRecord brush{true, false, 1000, 100, 100, 8, 0x01020304};
    EXPECT_EQ(Bytes(brush), (std::vector<uint8_t>{1, 0, 0, 0, 0xE8, 3, 0, 0, 100, 0, 0, 0, 100, 0, 0, 0,
                                                  8, 0, 0, 0, 4, 3, 2, 1}));

    PenSettingRecord pen;
    pen.radius = 2.0f; // 0x40000000
    pen.pressureDensity = pen.useGradation = true;
    pen.airMap = -1;
    const std::vector<uint8_t> b = Bytes(pen);
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 4, b.begin() + 8)), (std::vector<uint8_t>{0, 0, 0, 0x40}));
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 24, b.begin() + 32)), (std::vector<uint8_t>{0, 1, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 36, b.end())),
              (std::vector<uint8_t>{0, 0, 0, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF})); // spacing 0.5, airMap -1
}

TEST(PaintRecords, DecodeReadsWhatEncodeWrote)
{
    const NibRecord nib{12345, 300, 1800, 250};
    EXPECT_EQ(RoundTrip(nib), nib);
    const AirMapRecord air{6, 100, 999};
    EXPECT_EQ(RoundTrip(air), air);
    const BrushMethodRecord method{4, false, true, 65535, 1, 2};
    EXPECT_EQ(RoundTrip(method), method);
    const BrushRecord brush{false, true, 10, 600, 2000, 1000, 3};
    EXPECT_EQ(RoundTrip(brush), brush);
    PenSettingRecord pen{0.25f, 33.5f, 2.0f, 1, 2, 3, true, false, true, true, false, 0.125f, 1.5f, 4};
    EXPECT_EQ(RoundTrip(pen), pen);
}

TEST(PaintRecords, SanitizeNibAndAirMap)
{
    struct Case {
        NibRecord in;
        bool bitmap;
        NibRecord out;
    };
    const Case cases[] = {
        {{0, 0, 0, -5}, false, {10, 10, 0, 0}},
        {{INT32_MAX, 1200, 3600, 1001}, false, {20000, 1000, 0, 1000}},
        {{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}, false, {10, 10, 3600 + INT32_MIN % 3600, 0}},
        {{1, 500, -450, 500}, true, {100, 500, 3150, 500}},
        {{60000, 500, 4500, 500}, true, {50000, 500, 900, 500}},
        {{20000, 1000, 3599, 0}, false, {20000, 1000, 3599, 0}},
    };
    for (const Case& c : cases) {
        NibRecord r = c.in;
        r.Sanitize(c.bitmap);
        EXPECT_EQ(r, c.out) << c.in.radius << " " << c.in.angle;
    }

    AirMapRecord air{7, -1, 1001};
    air.Sanitize();
    EXPECT_EQ(air, (AirMapRecord{3, 0, 1000}));
    air = {6, 1000, 0};
    air.Sanitize();
    EXPECT_EQ(air, (AirMapRecord{6, 1000, 0}));
}

TEST(PaintRecords, SanitizeBrushRecords)
{
    BrushMethodRecord method{9, true, false, 101, 65535, 100};
    method.Sanitize();
    EXPECT_EQ(method, (BrushMethodRecord{9, true, false, 100, 100, 100}));

    BrushRecord brush{true, true, 1001, 0, 0, -1, INT32_MAX};
    brush.Sanitize();
    EXPECT_EQ(brush, (BrushRecord{true, true, 1000, 1, 10, 0, 1000}));
    brush = {false, false, INT32_MIN, INT32_MAX, INT32_MAX, 1000, 0};
    brush.Sanitize();
    EXPECT_EQ(brush, (BrushRecord{false, false, 10, 600, 2000, 1000, 0}));
}

TEST(PaintRecords, SanitizePenSettingReplacesHostileValues)
{
    PenSettingRecord defaults;
    defaults.minRadius = 0.6f;
    defaults.radius = 30;
    defaults.density = 0.1f;
    defaults.airMap = 2;

    PenSettingRecord nan{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, true, true, true, true, true, kNaN, kNaN, 5};
    nan.Sanitize(defaults);
    EXPECT_EQ(nan, (PenSettingRecord{0.6f, 30, 1, 0, 0, 0, true, true, true, true, true, 0.1f, 0.5f, 5}));

    PenSettingRecord huge{kInf, 1e30f, 1e30f, 1e30f, 101, kInf, false, false, false, false, false, 2, 1e30f, 6};
    huge.Sanitize(defaults);
    EXPECT_EQ(huge, (PenSettingRecord{0.6f, 200, 6, 100, 100, 0, false, false, false, false, false, 1, 2, 2}));

    PenSettingRecord negative{-1, -1, -1, -kInf, -1, -0.0f, false, false, false, false, false, -1, -1, -1};
    negative.Sanitize(defaults);
    EXPECT_EQ(negative,
              (PenSettingRecord{0, 0.1f, 0.01f, 0, 0, 0, false, false, false, false, false, 0.01f, 0.01f, 2}));

    PenSettingRecord code127;
    code127.airMap = 127;
    code127.Sanitize(defaults);
    EXPECT_EQ(code127.airMap, 2);
}
