#pragma once
// The tone filters' routines: each pixel's new colour from that pixel
// alone. Each checks its context and record size first and changes nothing
// when either is wrong.
#include "filters/FilterRoutine.h"

namespace morvane {

FilterResult InvertFilter(const FilterContext& c, const FilterRecord& r);          // 81
FilterResult SolarizeFilter(const FilterContext& c, const FilterRecord& r);        // 56
FilterResult PosterizeFilter(const FilterContext& c, const FilterRecord& r);       // 27
FilterResult ThresholdFilter(const FilterContext& c, const FilterRecord& r);       // 49
FilterResult ColourBalanceFilter(const FilterContext& c, const FilterRecord& r);   // 24 (17)
FilterResult BrightnessContrastFilter(const FilterContext& c, const FilterRecord& r); // 62
FilterResult LevelsFilter(const FilterContext& c, const FilterRecord& r);          // 60
FilterResult HueSaturationFilter(const FilterContext& c, const FilterRecord& r);   // 61
FilterResult GreyscaleFilter(const FilterContext& c, const FilterRecord& r);       // 20
FilterResult LuminanceToAlphaFilter(const FilterContext& c, const FilterRecord& r); // 63 (52)

} // namespace morvane
