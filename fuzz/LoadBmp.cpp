// BMP data from files and the clipboard: any bytes must either load a picture
// within the size limits or be refused with the buffer left as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "storage/TMTC.h"

using morvane::TMTC;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMTC image(3, 2);
    image.FillAll(0x80402010u);
    const uint8_t* oldBits = image.Bits;
    int dpi = -1;
    if (!image.LoadBmp(data, size, &dpi)) {
        bool untouched = image.Bits == oldBits && image.Width == 3 && image.Height == 2;
        for (int32_t y = 0; untouched && y < 2; ++y)
            for (int32_t x = 0; x < 3; ++x)
                untouched = untouched && image.GetPixel(x, y) == 0x80402010u;
        if (!untouched)
            std::abort();
        return 0;
    }
    if (image.Width < 1 || image.Height < 1 || int64_t(image.Width) * image.Height > (int64_t(1) << 28))
        std::abort();
    // Touch every row so that a wrong layout shows up under the sanitizers.
    uint32_t sum = 0;
    for (int32_t y = 0; y < image.Height; ++y)
        sum += image.Row(y)[0] + image.Row(y)[image.Width - 1];
    volatile uint32_t sink = sum;
    (void)sink;
    return 0;
}
