#include "app/DemoPicture.h"

#include <cstdio>

#include "storage/TMTC.h"

namespace morvane {

bool DrawDemoPicture(TMTC& image)
{
    if (!image.Resize(640, 400))
        return false;
    image.FillAll(0xFFF4F0E8u);
    // Overlapping translucent panes: the colour blend at several strengths.
    const uint32_t colours[] = {0x00D04040u, 0x0040A0D0u, 0x0050C060u, 0x00E0B030u};
    for (int i = 0; i < 4; ++i)
        image.BlendRect({60 + i * 110, 60 + i * 50, 220, 180}, uint8_t(96 + i * 40), colours[i]);
    return true;
}

bool WriteDemoPicture(const char* fileName)
{
    TMTC image;
    if (!DrawDemoPicture(image) || !image.SaveBmp24(fileName, 96)) {
        std::fprintf(stderr, "morvane: could not write %s\n", fileName);
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", fileName, image.Width, image.Height);
    return true;
}

} // namespace morvane
