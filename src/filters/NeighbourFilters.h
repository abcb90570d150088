#pragma once
// The neighbourhood filters' routines: each pixel from the pixels around
// it, read from the layer as it was before the run. Each checks its context
// and record first and changes nothing when either is wrong.
#include "filters/FilterRoutine.h"

namespace morvane {

FilterResult BlurFilter(const FilterContext& c, const FilterRecord& r);           // 64
FilterResult StrongBlurFilter(const FilterContext& c, const FilterRecord& r);     // 65
FilterResult EarlierBlurFilter(const FilterContext& c, const FilterRecord& r);    // 0
FilterResult EarlierStrongBlurFilter(const FilterContext& c, const FilterRecord& r); // 1
FilterResult SharpenFilter(const FilterContext& c, const FilterRecord& r);        // 12
FilterResult StrongSharpenFilter(const FilterContext& c, const FilterRecord& r);  // 13
FilterResult CustomSharpenFilter(const FilterContext& c, const FilterRecord& r);  // 14
FilterResult FindEdgesFilter(const FilterContext& c, const FilterRecord& r);      // 53
FilterResult Custom55Filter(const FilterContext& c, const FilterRecord& r);       // 51
FilterResult GaussianBlurFilter(const FilterContext& c, const FilterRecord& r);   // 67
FilterResult MotionBlurFilter(const FilterContext& c, const FilterRecord& r);     // 4
FilterResult ZoomBlurFilter(const FilterContext& c, const FilterRecord& r);       // 66
FilterResult NoiseFilter(const FilterContext& c, const FilterRecord& r);          // 25
FilterResult DiffuseFilter(const FilterContext& c, const FilterRecord& r);        // 59
FilterResult MosaicFilter(const FilterContext& c, const FilterRecord& r);         // 26
FilterResult EmbossFilter(const FilterContext& c, const FilterRecord& r);         // 50

// k of the custom sharpen kernel for an amount 0..1.
int32_t CustomSharpenWeight(float amount);

} // namespace morvane
