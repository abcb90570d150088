#include "paint/CPenTC.h"

#include <algorithm>
#include <cstring>

namespace morvane {

int32_t CPenTC::HalfSizeFor(int32_t radiusX, int32_t radiusY)
{
    // The half extent may be a bitmap nib's, so it is taken from its grid,
    // never from a radius record; a box edge lies at most ceil(r) + 1 from
    // the centre's integer part.
    const int64_t r = std::max<int64_t>({radiusX, radiusY, 0});
    return int32_t((r + 0xFFFF) >> 16) + 3;
}

bool CPenTC::Pick(const TMTC& image, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t reach)
{
    picked_ = false;
    const int32_t h = HalfSizeFor(std::max(rx, reach), std::max(ry, reach));
    if (!image.IsValid() || image.Width <= 0 || image.Height <= 0 || !Resize(2 * h + 1, 2 * h + 1))
        return false;
    hx = hy = h;
    originX = (x >> 16) - h;
    originY = (y >> 16) - h;
    centreX = float(x) / 65536.0f;
    centreY = float(y) / 65536.0f;
    radiusX = float(rx) / 65536.0f;
    radiusY = float(ry) / 65536.0f;
    fracX = float(x & 0xFFFF) / 65536.0f;
    fracY = float(y & 0xFFFF) / 65536.0f;

    // Columns inside the image are one copy per row; the rest repeat the edge.
    const int32_t side = Width;
    const int32_t in0 = std::clamp(-originX, 0, side);
    const int32_t in1 = std::clamp(image.Width - originX, in0, side);
    for (int32_t j = 0; j < side; ++j) {
        const uint32_t* src = image.Row(std::clamp(originY + j, 0, image.Height - 1));
        uint32_t* dst = Row(j);
        std::fill(dst, dst + in0, src[std::clamp(originX, 0, image.Width - 1)]);
        if (in1 > in0)
            std::memcpy(dst + in0, src + originX + in0, size_t(in1 - in0) * 4);
        std::fill(dst + in1, dst + side, src[std::clamp(originX + side - 1, 0, image.Width - 1)]);
    }
    picked_ = true;
    return true;
}

bool CPenTC::Covers(const EdgeRect& box, int32_t cx, int32_t cy) const
{
    return picked_ && box.left - cx >= -hx && box.right - 1 - cx <= hx && box.top - cy >= -hy &&
           box.bottom - 1 - cy <= hy;
}

} // namespace morvane
