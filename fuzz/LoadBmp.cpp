// BMP data from files and the clipboard: any bytes must either load a picture
// within the size limits or be refused with the buffer left as it was.
#include <cstdint>
#include <cstdlib>

#include "DecoderTarget.h"
#include "codecs/Bmp.h"
#include "storage/SizeLimits.h"

using morvane::TMTC;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMTC image(3, 2);
    image.FillAll(0x80402010u);
    const uint8_t* oldBits = image.Bits;
    int dpi = -1;
    if (!LoadBmp(image, data, size, &dpi)) {
        bool untouched = image.Bits == oldBits && image.Width == 3 && image.Height == 2;
        for (int32_t y = 0; untouched && y < 2; ++y)
            for (int32_t x = 0; x < 3; ++x)
                untouched = untouched && image.GetPixel(x, y) == 0x80402010u;
        if (!untouched)
            std::abort();
        return 0;
    }
    if (!morvane::IsImageSizeAllowed(image.Width, image.Height))
        std::abort();
    morvane::fuzz::TouchRows(image);
    return 0;
}
