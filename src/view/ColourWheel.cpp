#include "view/ColourWheel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "storage/HsvColour.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
// The ring's width as a part of the outer radius.
constexpr double kRingPart = 0.17;

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

uint32_t Byte(double v) { return uint32_t(std::clamp(std::floor(v * 255.0 + 0.5), 0.0, 255.0)); }

// The coverage of a pixel whose centre is d from the centre by the band
// [inner, outer], with a one-pixel soft edge.
double RingCoverage(double d, double inner, double outer)
{
    return std::clamp(d - inner + 0.5, 0.0, 1.0) * std::clamp(outer - d + 0.5, 0.0, 1.0);
}

// The ring's colour at a hue: opaque bits dropped for the coverage's.
uint32_t PureHue(double degrees) { return HsvToRgb({degrees, 1, 1}) & 0xFFFFFFu; }

// The pixel centres lie symmetric about both axes through the centre, so
// one quarter's angles give the other three by mirroring.
void DrawRing(TMTC& image, const WheelGeometry& w)
{
    const double lo = w.inner - 1, hi = w.outer + 1;
    const int32_t half = (w.side + 1) / 2;
    for (int32_t y = 0; y < half; ++y) {
        uint32_t* top = image.Row(y);
        uint32_t* bottom = image.Row(w.side - 1 - y);
        const double dy = y + 0.5 - w.centre;
        for (int32_t x = w.side / 2; x < w.side; ++x) {
            const double dx = x + 0.5 - w.centre;
            const double d2 = dx * dx + dy * dy;
            if (d2 < lo * lo || d2 > hi * hi)
                continue;
            const double cover = RingCoverage(std::sqrt(d2), w.inner, w.outer);
            if (cover <= 0)
                continue;
            const uint32_t alpha = Byte(cover) << 24;
            const double a = std::atan2(-dy, dx) * kDegrees;
            const int32_t mx = w.side - 1 - x;
            top[x] = alpha | PureHue(a);
            top[mx] = alpha | PureHue(180 - a);
            bottom[x] = alpha | PureHue(-a);
            bottom[mx] = alpha | PureHue(a + 180);
        }
    }
}

// Every pixel of the square at once: a column's colour at full value is
// the mix of white and the hue by its saturation, and a row scales it by
// its value, in 16.16 steps.
void DrawSquare(TMTC& image, const WheelGeometry& w, double hue)
{
    const EdgeRect& q = w.square;
    const int32_t cols = q.right - q.left, rows = q.bottom - q.top;
    if (cols < 2 || rows < 2)
        return;
    const uint32_t full = HsvToRgb({hue, 1, 1});
    const double channel[3] = {double(full >> 16 & 0xFF), double(full >> 8 & 0xFF), double(full & 0xFF)};
    std::vector<uint32_t> base(size_t(cols) * 3);
    for (int32_t x = 0; x < cols; ++x) {
        const double s = double(x) / (cols - 1);
        for (int c = 0; c < 3; ++c)
            base[size_t(x) * 3 + size_t(c)] = uint32_t(std::lround((255.0 * (1 - s) + channel[c] * s) * 256.0));
    }
    for (int32_t y = 0; y < rows; ++y) {
        const auto v = uint32_t(std::lround((1.0 - double(y) / (rows - 1)) * 256.0));
        uint32_t* out = image.Row(q.top + y) + q.left;
        const uint32_t* b = base.data();
        for (int32_t x = 0; x < cols; ++x, b += 3)
            out[x] = Pack(255, (b[0] * v + 0x8000) >> 16, (b[1] * v + 0x8000) >> 16, (b[2] * v + 0x8000) >> 16);
    }
}

} // namespace

WheelGeometry WheelOf(int32_t side)
{
    WheelGeometry w;
    w.side = std::max(side, 0);
    w.centre = w.side / 2.0;
    w.outer = std::max(w.centre - 1.0, 0.0);
    w.inner = w.outer * (1 - kRingPart);
    // The largest square inside the ring's hole, a pixel clear of it.
    const double half = std::max((w.inner - 2.0) / std::numbers::sqrt2, 0.0);
    const auto lo = int32_t(std::ceil(w.centre - half)), hi = int32_t(std::floor(w.centre + half));
    w.square = {lo, lo, hi, hi};
    return w;
}

std::optional<double> HueAt(const WheelGeometry& wheel, double x, double y)
{
    const double d = std::hypot(x - wheel.centre, y - wheel.centre);
    if (!(d >= wheel.inner && d <= wheel.outer))
        return std::nullopt;
    return HueToward(wheel, x, y);
}

double HueToward(const WheelGeometry& wheel, double x, double y)
{
    return WrapHue(std::atan2(wheel.centre - y, x - wheel.centre) * kDegrees);
}

Hsv SquareAt(const WheelGeometry& wheel, double x, double y, double hue)
{
    const EdgeRect& q = wheel.square;
    const double w = std::max(q.right - q.left - 1, 1), h = std::max(q.bottom - q.top - 1, 1);
    const double s = std::isfinite(x) ? std::clamp((x - q.left) / w, 0.0, 1.0) : 0.0;
    const double v = std::isfinite(y) ? std::clamp(1.0 - (y - q.top) / h, 0.0, 1.0) : 0.0;
    return {WrapHue(hue), s, v};
}

WheelPoint HueMarker(const WheelGeometry& wheel, double hue)
{
    const double a = WrapHue(hue) / kDegrees, r = (wheel.inner + wheel.outer) / 2;
    return {wheel.centre + r * std::cos(a), wheel.centre - r * std::sin(a)};
}

WheelPoint SquareMarker(const WheelGeometry& wheel, const Hsv& hsv)
{
    const EdgeRect& q = wheel.square;
    return {q.left + hsv.s * (q.right - q.left - 1), q.top + (1 - hsv.v) * (q.bottom - q.top - 1)};
}

bool DrawColourWheel(TMTC& image, int32_t side, double hue)
{
    if (side < 1 || !image.Resize(side, side))
        return false;
    image.FillAll(0);
    const WheelGeometry wheel = WheelOf(side);
    DrawRing(image, wheel);
    DrawSquare(image, wheel, WrapHue(hue));
    return true;
}

} // namespace morvane
