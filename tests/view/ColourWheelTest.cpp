// The wheel's points back to the hue and the square's saturation and value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>

#include "storage/TMTC.h"
#include "view/ColourWheel.h"

namespace morvane {
namespace {

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

// Every opaque pixel of the ring, in all four quarters and on odd and even
// sides, shows the hue its centre points to.
TEST(ColourWheel, TheRingShowsEachPixelsOwnHue)
{
    for (int32_t side : {200, 151}) {
        const WheelGeometry w = WheelOf(side);
        TMTC image;
        ASSERT_TRUE(DrawColourWheel(image, side, 0));
        int opaque = 0;
        for (int32_t y = 0; y < side; ++y)
            for (int32_t x = 0; x < side; ++x) {
                const uint32_t p = image.GetPixel(x, y);
                const std::optional<double> hue = HueAt(w, x + 0.5, y + 0.5);
                if (p >> 24 != 0xFF || !hue)
                    continue;
                ++opaque;
                const uint32_t want = HsvToRgb({*hue, 1, 1});
                for (int shift : {0, 8, 16})
                    ASSERT_LE(std::abs(int(p >> shift & 0xFF) - int(want >> shift & 0xFF)), 1)
                        << side << ": " << x << "," << y;
            }
        EXPECT_GT(opaque, side * 10);
    }
}

} // namespace
} // namespace morvane
