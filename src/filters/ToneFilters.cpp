#include "filters/ToneFilters.h"

#include <algorithm>

#include "filters/FilterGuard.h"
#include "filters/HueSaturation.h"
#include "filters/PixelPass.h"
#include "filters/RecordBytes.h"
#include "filters/ToneTable.h"

namespace morvane {
namespace {

FilterResult TablePass(const FilterContext& c, const FilterRecord& r, size_t size, const auto& makeTable)
{
    if (!Usable(c, r, size))
        return FilterResult::Refused;
    return Outcome(ApplyToneTable(c, makeTable()));
}

uint32_t Grey(uint32_t y) { return y | y << 8 | y << 16; }

} // namespace

FilterResult InvertFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 0))
        return FilterResult::Refused;
    // The table 255 - i on each colour byte is a flip of its bits.
    return Outcome(PixelPass<PassWrite::Colour>(c, [](uint32_t v) { return v ^ 0x00FFFFFFu; }));
}

FilterResult SolarizeFilter(const FilterContext& c, const FilterRecord& r)
{
    return TablePass(c, r, 0, [] { return SolarizeTable(); });
}

FilterResult PosterizeFilter(const FilterContext& c, const FilterRecord& r)
{
    return TablePass(c, r, 8, [&] { return PosterizeTable(RecordI32(r.bytes, 0)); });
}

FilterResult ColourBalanceFilter(const FilterContext& c, const FilterRecord& r)
{
    return TablePass(c, r, 16, [&] {
        return ColourBalanceTable(RecordF32(r.bytes, 0), RecordF32(r.bytes, 4), RecordF32(r.bytes, 8));
    });
}

FilterResult BrightnessContrastFilter(const FilterContext& c, const FilterRecord& r)
{
    return TablePass(c, r, 16, [&] {
        return BrightnessContrastTable(RecordI32(r.bytes, 0), RecordI32(r.bytes, 4), r.bytes[8] != 0);
    });
}

FilterResult LevelsFilter(const FilterContext& c, const FilterRecord& r)
{
    return TablePass(c, r, 24, [&] { return LevelsTable(r.bytes); });
}

FilterResult ThresholdFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 8))
        return FilterResult::Refused;
    const uint32_t last = uint32_t(std::clamp(int32_t(r.bytes[0]) - 1, 0, 254));
    return Outcome(PixelPass<PassWrite::Colour>(c, [last](uint32_t v) { return Luminance(v) <= last ? 0u : 0xFFFFFFu; }));
}

FilterResult HueSaturationFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 16))
        return FilterResult::Refused;
    const HueSaturationSettings s{RecordI32(r.bytes, 0), RecordI32(r.bytes, 4), RecordI32(r.bytes, 8),
                                  r.bytes[12] != 0, r.bytes[13] != 0};
    return Outcome(ApplyHueSaturation(c, s));
}

FilterResult GreyscaleFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 0))
        return FilterResult::Refused;
    // Fully transparent pixels keep their colour.
    return Outcome(PixelPass<PassWrite::Colour>(c, [](uint32_t v) { return (v >> 24) == 0 ? v : Grey(Luminance(v)); }));
}

FilterResult LuminanceToAlphaFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 8))
        return FilterResult::Refused;
    // A protected layer keeps its alpha: the run succeeds and changes nothing.
    if (c.protect)
        return FilterResult::Done;
    const uint32_t colour = RecordU32(r.bytes, 0) & 0x00FFFFFFu;
    const bool tint = r.bytes[4] != 0;
    return Outcome(PixelPass<PassWrite::Pixel>(c, [colour, tint](uint32_t v, uint32_t cover) {
        const uint32_t y = Luminance(v);
        const uint32_t alpha = ((255 - y) * (v >> 24) * 32897u) >> 23;
        uint32_t rgb = colour;
        if (tint)
            rgb = y == 255 ? v & 0x00FFFFFFu : WriteColour(v, colour, cover) & 0x00FFFFFFu;
        return rgb | alpha << 24;
    }));
}

} // namespace morvane
