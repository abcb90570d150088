// The colour model: RGB and HSV both ways (greys, primaries, the hue's
// wrap), every byte triple of a grid surviving the round trip, and the
// wheel's points back to the hue and the square's saturation and value.
#include <gtest/gtest.h>

#include <cmath>

#include "storage/TMTC.h"
#include "view/ColourWheel.h"

namespace morvane {
namespace {

TEST(ColourWheel, RgbAndHsvBothWays)
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

TEST(ColourWheel, PointsOfTheWheelGiveTheirHueAndTheSquaresValues)
{
    const WheelGeometry w = WheelOf(200);
    const double mid = (w.inner + w.outer) / 2;
    EXPECT_NEAR(*HueAt(w, w.centre + mid, w.centre), 0, 1e-9);
    EXPECT_NEAR(*HueAt(w, w.centre, w.centre - mid), 90, 1e-9);
    EXPECT_NEAR(*HueAt(w, w.centre, w.centre + mid), 270, 1e-9);
    EXPECT_FALSE(HueAt(w, w.centre, w.centre));
    EXPECT_FALSE(HueAt(w, 0, 0));
    for (double hue : {0.0, 45.0, 200.0, 359.0}) {
        const WheelPoint m = HueMarker(w, hue);
        EXPECT_NEAR(*HueAt(w, m.x, m.y), hue, 1e-6);
    }
    const EdgeRect& q = w.square;
    const Hsv topRight = SquareAt(w, q.right - 1, q.top, 30);
    EXPECT_EQ(topRight, (Hsv{30, 1, 1}));
    EXPECT_EQ(SquareAt(w, q.left - 50, q.bottom + 50, 30), (Hsv{30, 0, 0})) << "clamped into the square";
    const WheelPoint m = SquareMarker(w, {0, 0.25, 0.75});
    const Hsv back = SquareAt(w, m.x, m.y, 0);
    EXPECT_NEAR(back.s, 0.25, 1e-9);
    EXPECT_NEAR(back.v, 0.75, 1e-9);

    TMTC image;
    ASSERT_TRUE(DrawColourWheel(image, 200, 120));
    EXPECT_EQ(image.GetPixel(0, 0), 0u) << "outside the ring and square: transparent";
    EXPECT_EQ(image.GetPixel(q.left, q.top), 0xFFFFFFFFu) << "white at no saturation, full value";
    EXPECT_EQ(image.GetPixel(q.right - 1, q.top), 0xFF00FF00u) << "the hue at full saturation and value";
    EXPECT_EQ(image.GetPixel(q.left, q.bottom - 1), 0xFF000000u);
    const WheelPoint red = HueMarker(w, 0);
    const uint32_t ring = image.GetPixel(int32_t(red.x), int32_t(red.y));
    EXPECT_EQ(ring >> 16, 0xFFFFu) << "opaque red on the ring";
    EXPECT_LE(ring & 0xFFFF, 0x0303u);
    EXPECT_FALSE(DrawColourWheel(image, 0, 0));
}

} // namespace
} // namespace morvane
