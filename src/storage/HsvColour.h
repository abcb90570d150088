#pragma once
// The HSV form of a colour, as the colour panel's sliders and wheel show it.
#include <cstdint>

namespace morvane {

// Hue in degrees [0, 360), saturation and value 0-1.
struct Hsv {
    double h = 0, s = 0, v = 0;
    bool operator==(const Hsv&) const = default;
};

// rgb is 0x00RRGGBB (the alpha byte is ignored). A grey has hue 0.
Hsv RgbToHsv(uint32_t rgb);
// Any hue (wrapped into one turn); saturation and value clamped to 0-1.
// The result is opaque: 0xFFRRGGBB.
uint32_t HsvToRgb(const Hsv& hsv);
// A hue in degrees into [0, 360); a non-finite one is 0.
double WrapHue(double h);

} // namespace morvane
