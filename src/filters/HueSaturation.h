#pragma once
// The hue/saturation filter's tables in the fixed-point HLS model: a hue
// per whole degree, a saturation and a lightness per 0..255 level.
#include <array>
#include <cstdint>

#include "filters/FilterContext.h"

namespace morvane {

struct HueSaturationSettings {
    int32_t hue = 0, saturation = 0, lightness = 0;
    bool monotone = false, linear = false;
};

class HueSaturationTables {
public:
    explicit HueSaturationTables(const HueSaturationSettings& s);
    // The new colour (0x00RRGGBB, pixel order) of a pixel.
    uint32_t Map(uint32_t pixel) const;
    // Nothing changes any pixel: the pass can be left out.
    bool IsIdentity() const { return identity_; }

private:
    std::array<int32_t, 360> hue_{};
    std::array<int32_t, 256> saturation_{};
    std::array<int32_t, 256> curveLightness_{};
    std::array<uint8_t, 256> linearLightness_{};
    bool linear_ = false;
    bool convertInLinear_ = false;
    bool identity_ = false;
};

bool ApplyHueSaturation(const FilterContext& context, const HueSaturationSettings& s);

} // namespace morvane
