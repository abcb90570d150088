#include "app/DemoPicture.h"

#include <cmath>
#include <cstdio>

#include "codecs/Bmp.h"
#include "storage/FixedPoint.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
constexpr int kWidth = 640, kHeight = 400;

// Blends a colour into the image wherever the coverage channel says so.
void PaintThrough(TMTC& image, const TChannel& coverage, uint32_t colour)
{
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
            if (uint8_t a = coverage.GetValue(x, y))
                image.BlendPixel(x, y, a, colour);
}

uint32_t HueColour(int degrees)
{
    RgbColour c = HlsToRgb({degrees * 65536, 128 * 65536, 230 * 65536});
    return (uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue;
}
} // namespace

bool DrawDemoPicture(TMTC& image)
{
    TChannel coverage;
    if (!image.Resize(kWidth, kHeight) || !coverage.Resize(kWidth, kHeight))
        return false;
    image.FillChecker({0, 0, kWidth, kHeight}, {16, 16}, 0xFFE8E8E8u, 0xFFFFFFFFu);

    // A star filled with antialiased coverage.
    PointF star[10];
    for (int i = 0; i < 10; ++i) {
        const double r = (i % 2) ? 60 : 150, t = M_PI * i / 5 - M_PI / 2;
        star[i] = {460 + r * std::cos(t), 200 + r * std::sin(t)};
    }
    coverage.FillAll(0);
    coverage.FillPolygon(star, 10);
    PaintThrough(image, coverage, 0x00F0C040u);

    // A row of soft discs around the hue circle, and translucent panes.
    for (int i = 0; i < 12; ++i)
        image.StampDiscFalloff(40 + i * 24.5, 320 + 30 * std::sin(i * 0.6), 22, HueColour(i * 30), 0.9);
    const uint32_t panes[] = {0x00D04040u, 0x0040A0D0u, 0x0050C060u};
    for (int i = 0; i < 3; ++i)
        image.BlendRect({40 + i * 60, 40 + i * 45, 150, 120}, uint8_t(110 + i * 40), panes[i]);

    // Antialiased spokes.
    for (int i = 0; i < 16; ++i) {
        const double t = M_PI * i / 8;
        image.DrawLineAA(0x00302830u, true, 460, 200, 460 + 190 * std::cos(t), 200 + 190 * std::sin(t));
    }
    image.SetAlphaAll(255);
    return true;
}

bool WriteDemoPicture(const char* fileName)
{
    TMTC image;
    if (!DrawDemoPicture(image) || !SaveBmp24(image, fileName, 96)) {
        std::fprintf(stderr, "morvane: could not write %s\n", fileName);
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", fileName, image.Width, image.Height);
    return true;
}

} // namespace morvane
