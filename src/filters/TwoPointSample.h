#pragma once
// The two-point bilinear sample of motion and zoom blur: both points'
// four neighbours weighted by 12-bit fractions and their alphas, summed in
// 64 bits. The colour quotient can pass 255 (the rounding constant is half
// the weight sum only at full alpha), so every byte is clamped.
#include <algorithm>
#include <cstdint>

#include "filters/LayerBand.h"

namespace morvane {

struct FixedPoint2 {
    int64_t x, y; // 16.16, already inside the layer
};

inline uint32_t TwoPointSample(const LayerBand& band, FixedPoint2 p1, FixedPoint2 p2)
{
    const int32_t w = band.LayerWidth(), h = band.LayerHeight();
    uint64_t sumA = 0, sumW = 0, s[3] = {};
    for (const FixedPoint2& p : {p1, p2}) {
        const int32_t x0 = int32_t(p.x >> 16), y0 = int32_t(p.y >> 16);
        const int32_t x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
        const uint32_t fx = uint32_t((p.x >> 4) & 4095) + uint32_t(((p.x >> 4) & 2048) >> 11);
        const uint32_t fy = uint32_t((p.y >> 4) & 4095) + uint32_t(((p.y >> 4) & 2048) >> 11);
        const uint32_t weights[4] = {((4096 - fx) * (4096 - fy)) >> 1, (fx * (4096 - fy)) >> 1,
                                     ((4096 - fx) * fy) >> 1, (fx * fy) >> 1};
        const uint32_t pixels[4] = {band.At(x0, y0), band.At(x1, y0), band.At(x0, y1), band.At(x1, y1)};
        for (int i = 0; i < 4; ++i) {
            const uint32_t v = pixels[i];
            if ((v >> 24) == 0)
                continue;
            const uint64_t a = uint64_t(weights[i]) * (v >> 24);
            sumA += a;
            uint64_t scaled = a / 256 + a / 65536 + a / 16777216;
            scaled += scaled >> 23;
            sumW += scaled;
            s[0] += scaled * (v & 0xFF), s[1] += scaled * ((v >> 8) & 0xFF), s[2] += scaled * ((v >> 16) & 0xFF);
        }
    }
    if (sumW == 0)
        return 0x00FFFFFFu;
    auto byte = [](uint64_t v) { return uint32_t(std::min<uint64_t>(v, 255)); };
    return byte((s[0] + 8388608) / sumW) | byte((s[1] + 8388608) / sumW) << 8 |
           byte((s[2] + 8388608) / sumW) << 16 | byte((sumA + 8388608) >> 24) << 24;
}

} // namespace morvane
