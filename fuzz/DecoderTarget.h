#pragma once
// The body every image decoder's fuzz target shares: any bytes either give
// an image within the limits or a failure that leaves no image behind.
#include <cstdint>
#include <cstdlib>

#include "codecs/ImageDecoders.h"
#include "storage/TMTC.h"

namespace morvane::fuzz {

// Smaller than the store's limits so that each input decodes quickly; the
// limit checks are the same code either way.
inline constexpr DecodeLimits kFuzzLimits{4096, int64_t(1) << 22};

// Reads every row's ends so that a wrong layout shows up under the sanitizers.
inline void TouchRows(const TMTC& image)
{
    uint32_t sum = 0;
    for (int32_t y = 0; y < image.Height; ++y)
        sum += image.Row(y)[0] + image.Row(y)[image.Width - 1];
    volatile uint32_t sink = sum;
    (void)sink;
}

inline void CheckDecoded(DecodeResult result, const TMTC& image, int32_t maxWidth, int32_t maxHeight)
{
    if (result != DecodeResult::Ok) {
        if (image.IsValid())
            std::abort();
        return;
    }
    if (!image.IsValid() || image.Width < 1 || image.Height < 1 || image.Width > maxWidth ||
        image.Height > maxHeight || int64_t(image.Width) * image.Height > kFuzzLimits.maxPixels)
        std::abort();
    TouchRows(image);
}

inline int RunDecoder(DecodeResult (*decode)(const uint8_t*, size_t, TMTC&, int*, const DecodeLimits&),
                      const uint8_t* data, size_t size)
{
    TMTC image(3, 2); // a failure must release it
    int dpi = -1;
    const DecodeResult result = decode(data, size, image, &dpi, kFuzzLimits);
    CheckDecoded(result, image, int32_t(kFuzzLimits.maxSide), int32_t(kFuzzLimits.maxSide));
    if (dpi < 0)
        std::abort();
    return 0;
}

} // namespace morvane::fuzz
