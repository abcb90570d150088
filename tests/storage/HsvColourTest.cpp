// The colour model: RGB and HSV both ways (greys, primaries, the hue's
// wrap), every byte triple of a grid surviving the round trip.
#include <gtest/gtest.h>

#include <cmath>

#include "storage/HsvColour.h"

namespace morvane {
namespace {

TEST(HsvColour, RgbAndHsvBothWays)
{
    const struct {
        uint32_t rgb;
        Hsv hsv;
    } cases[] = {
        {0x000000, {0, 0, 0}},          {0xFFFFFF, {0, 0, 1}},        {0x808080, {0, 0, 128 / 255.0}},
        {0xFF0000, {0, 1, 1}},          {0x00FF00, {120, 1, 1}},      {0x0000FF, {240, 1, 1}},
        {0xFFFF00, {60, 1, 1}},         {0xFF00FF, {300, 1, 1}},      {0x800000, {0, 1, 128 / 255.0}},
        {0xFF8080, {0, 127 / 255.0, 1}}, {0xFF0080, {360 - 60 * 128 / 255.0, 1, 1}},
    };
    for (const auto& c : cases) {
        const Hsv hsv = RgbToHsv(c.rgb);
        EXPECT_NEAR(hsv.h, c.hsv.h, 1e-9) << std::hex << c.rgb;
        EXPECT_NEAR(hsv.s, c.hsv.s, 1e-9) << std::hex << c.rgb;
        EXPECT_NEAR(hsv.v, c.hsv.v, 1e-9) << std::hex << c.rgb;
        EXPECT_EQ(HsvToRgb(c.hsv), 0xFF000000u | c.rgb) << std::hex << c.rgb;
    }
    // The hue wraps; out-of-range saturation, value and non-finite input clamp.
    EXPECT_EQ(HsvToRgb({360, 1, 1}), 0xFFFF0000u);
    EXPECT_EQ(HsvToRgb({-120, 1, 1}), 0xFF0000FFu);
    EXPECT_EQ(HsvToRgb({720 + 120, 1, 1}), 0xFF00FF00u);
    EXPECT_EQ(HsvToRgb({0, 3, -1}), 0xFF000000u);
    EXPECT_EQ(HsvToRgb({NAN, NAN, 1}), 0xFFFFFFFFu);
    for (uint32_t r = 0; r < 256; r += 5)
        for (uint32_t g = 0; g < 256; g += 3)
            for (uint32_t b = 0; b < 256; b += 7) {
                const uint32_t rgb = r << 16 | g << 8 | b;
                ASSERT_EQ(HsvToRgb(RgbToHsv(rgb)), 0xFF000000u | rgb) << std::hex << rgb;
            }
}

} // namespace
} // namespace morvane
