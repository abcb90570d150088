#pragma once
// The colour panel's wheel: a hue ring around a saturation/value square,
// drawn into a picture of its own, and the way back from a point of it to a
// hue or a saturation and value.
#include <cstdint>
#include <optional>

#include "storage/HsvColour.h"
#include "storage/Rect.h"

namespace morvane {

class TMTC;

struct WheelPoint {
    double x = 0, y = 0;
};

struct WheelGeometry {
    int32_t side = 0;
    double centre = 0, outer = 0, inner = 0;
    EdgeRect square;   // the saturation/value square, right and bottom exclusive
};

// The geometry of a wheel of side x side pixels.
WheelGeometry WheelOf(int32_t side);
// The hue under a point of the ring, nothing elsewhere.
std::optional<double> HueAt(const WheelGeometry& wheel, double x, double y);
// The hue of any point, by its direction from the centre (a drag that
// strays off the ring keeps turning it).
double HueToward(const WheelGeometry& wheel, double x, double y);
// Saturation (left to right) and value (bottom to top) of a point, clamped
// into the square.
Hsv SquareAt(const WheelGeometry& wheel, double x, double y, double hue);
// Where the markers sit: on the ring's middle for the hue, in the square
// for saturation and value.
WheelPoint HueMarker(const WheelGeometry& wheel, double hue);
WheelPoint SquareMarker(const WheelGeometry& wheel, const Hsv& hsv);

// The ring and the square for a hue into image (resized to side x side);
// outside both the pixels are transparent. False when the image cannot be
// sized.
bool DrawColourWheel(TMTC& image, int32_t side, double hue);

} // namespace morvane
