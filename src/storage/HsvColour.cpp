#include "storage/HsvColour.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

uint32_t Byte(double v) { return uint32_t(std::clamp(std::floor(v * 255.0 + 0.5), 0.0, 255.0)); }

} // namespace

double WrapHue(double h)
{
    if (!std::isfinite(h))
        return 0;
    h = std::fmod(h, 360.0);
    return h < 0 ? h + 360.0 : h;
}

Hsv RgbToHsv(uint32_t rgb)
{
    const int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
    Hsv hsv;
    hsv.v = mx / 255.0;
    hsv.s = mx == 0 ? 0.0 : double(mx - mn) / mx;
    if (mx == mn)
        return hsv;
    const double d = mx - mn;
    double h;
    if (mx == r)
        h = 60.0 * (g - b) / d;
    else if (mx == g)
        h = 60.0 * ((b - r) / d + 2);
    else
        h = 60.0 * ((r - g) / d + 4);
    hsv.h = h < 0 ? h + 360.0 : h;
    return hsv;
}

uint32_t HsvToRgb(const Hsv& hsv)
{
    const double h = WrapHue(hsv.h) / 60.0;
    const double s = std::isfinite(hsv.s) ? std::clamp(hsv.s, 0.0, 1.0) : 0.0;
    const double v = std::isfinite(hsv.v) ? std::clamp(hsv.v, 0.0, 1.0) : 0.0;
    const int sector = std::min(int(h), 5);
    const double f = h - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r, g, b;
    switch (sector) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
    }
    return 0xFF000000u | Byte(r) << 16 | Byte(g) << 8 | Byte(b);
}

} // namespace morvane
