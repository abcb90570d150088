// The mode lists' order and the dialogs' value conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "document/ModeLists.h"
#include "document/SLayerParam.h"

namespace morvane {
namespace {

TEST(ModeLists, DisplayOrderAndItsInverse)
{
    EXPECT_EQ(ModeAtListPosition(0), kModeNormal);
    EXPECT_EQ(ModeAtListPosition(6), kModeMultiply);
    EXPECT_EQ(ModeAtListPosition(21), kModeLuminosity);
    std::set<int> seen;
    for (int position = 0; position < kModeCount; ++position) {
        const int mode = ModeAtListPosition(position);
        seen.insert(mode);
        EXPECT_EQ(ListPositionOfMode(mode), position);
    }
    EXPECT_EQ(seen.size(), size_t(kModeCount)); // every mode exactly once
    for (int bad : {-1, 22, 1000})
        EXPECT_EQ(ModeAtListPosition(bad), -1);
    for (int bad : {-1, 22, 255})
        EXPECT_EQ(ListPositionOfMode(bad), -1);
}

TEST(ModeLists, PercentConversions)
{
    // Integer part of p * 2.55 + 0.5; 10 % is exactly 25.5 + 0.5.
    const std::pair<int, int> toByte[] = {{0, 0},    {1, 3},     {2, 5},   {10, 26},  {50, 128},
                                          {99, 252}, {100, 255}, {-7, 0},  {101, 255}, {1 << 30, 255}};
    for (auto [percent, byte] : toByte)
        EXPECT_EQ(PercentToByte(percent), byte) << percent;
    EXPECT_EQ(ByteToPercent(0), 0);
    EXPECT_EQ(ByteToPercent(255), 100);
    EXPECT_EQ(ByteToPercent(5), 2);
    // Showing a stored value and taking it back never drifts.
    for (int percent = 0; percent <= 100; ++percent)
        EXPECT_EQ(ByteToPercent(PercentToByte(percent)), percent);
}

TEST(ModeLists, PositionLimitsAndRounding)
{
    struct Case {
        int32_t current, side, low, high;
    };
    const Case cases[] = {
        {0, 800, -800, 800},    {-900, 800, -900, 800},  {1200, 800, -800, 1200},
        {0, 7000, -3000, 3000}, {0, 32767, 0, 0},        {-5, 32767, -5, -5},
    };
    for (const Case& c : cases) {
        const PositionRange r = PositionLimits(c.current, c.side);
        EXPECT_EQ(r.low, c.low) << c.current << " " << c.side;
        EXPECT_EQ(r.high, c.high) << c.current << " " << c.side;
    }
    EXPECT_EQ(PositionFromField(2.5), 3);
    EXPECT_EQ(PositionFromField(-2.5), -3);
    EXPECT_EQ(PositionFromField(-2.4), -2);
    EXPECT_EQ(PositionFromField(std::nan("")), 0);
    EXPECT_EQ(PositionFromField(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(PositionFromField(-std::numeric_limits<double>::infinity()), std::numeric_limits<int32_t>::min());
}

TEST(ModeLists, NeutralColourRelabelling)
{
    EXPECT_EQ(InitialColourLabel(0, kModeMultiply), "白( 中性色 )");
    EXPECT_EQ(InitialColourLabel(1, kModeMultiply), "黒");
    EXPECT_EQ(InitialColourLabel(1, kModeScreen), "黒( 中性色 )");
    EXPECT_EQ(InitialColourLabel(2, kModeOverlay), "グレー( 中性色 )");
    // Normal, vivid light and the HSL modes offer no neutral colour.
    for (int mode : {kModeNormal, kModeVividLight, kModeHue})
        for (int entry = 0; entry < kInitialColourCount; ++entry)
            EXPECT_EQ(InitialColourLabel(entry, mode).find("中性色"), std::string::npos) << mode;
    EXPECT_EQ(InitialColourLabel(3, kModeMultiply), "");
    EXPECT_EQ(InitialColourLabel(0, 99), "白");

    EXPECT_EQ(InitialColourAfterModeChange(kModeAdd), 1);
    EXPECT_EQ(InitialColourAfterModeChange(kModeOverlay), 2);
    EXPECT_EQ(InitialColourAfterModeChange(kModeNormal), 0);
    EXPECT_EQ(InitialColourAfterModeChange(-3), 0);

    EXPECT_EQ(NewLayerFill(2, false), 0xFF7F7F7Fu);
    EXPECT_EQ(NewLayerFill(1, true), 0x00000000u);
    EXPECT_EQ(NewLayerFill(7, true), 0x00FFFFFFu);
}

} // namespace
} // namespace morvane
