#pragma once
// pixman as a baseline: a8r8g8b8 is our byte order (blue first) on a
// little-endian machine, so our buffers are wrapped without copying.
#include <pixman.h>

#include "BenchSupport.h"

namespace morvane::bench {

inline pixman_image_t* WrapForPixman(TMTC& image)
{
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, image.Width, image.Height,
                                    reinterpret_cast<uint32_t*>(image.Row(0)), image.Width * 4);
}

inline pixman_image_t* WrapForPixman(std::vector<uint32_t>& pixels, int32_t width, int32_t height)
{
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, pixels.data(), width * 4);
}

} // namespace morvane::bench
