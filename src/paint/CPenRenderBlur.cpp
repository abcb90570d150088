// Blur: each dab pixel moves towards the box average of the layer as it was
// before the stroke, so a stroke never blurs its own result.
#include <new>
#include <stdexcept>

#include "paint/PenStampMath.h"
#include "storage/BlendTables.h"

namespace morvane {

namespace penstamp {

uint32_t BoxTerm(uint32_t pixel, bool protect)
{
    if (protect)
        return pixel;
    const uint32_t a = pixel >> 24;
    return (a << 24) | (MulDiv255(a, (pixel >> 16) & 0xFF) << 16) | (MulDiv255(a, (pixel >> 8) & 0xFF) << 8) |
           MulDiv255(a, pixel & 0xFF);
}

bool BoxColour(const BoxSums& sums, int32_t L, bool protect, uint32_t& colour)
{
    const uint32_t area = uint32_t(2 * L + 1) * uint32_t(2 * L + 1);
    if (protect) {
        colour = 0xFF000000u | (sums.red / area) << 16 | (sums.green / area) << 8 | sums.blue / area;
        return true;
    }
    if (sums.alpha == 0)
        return false;
    // sum x 255 passes 2^32 from L = 91 on.
    auto byte = [&sums](uint32_t sum) { return uint32_t(uint64_t{sum} * 255 / sums.alpha); };
    colour = (sums.alpha / area) << 24 | byte(sums.red) << 16 | byte(sums.green) << 8 | byte(sums.blue);
    return true;
}

bool GrowColumns(std::vector<BoxSums>& columns, size_t n)
{
    if (columns.size() >= n)
        return true;
    try {
        columns.resize(n);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

} // namespace penstamp

} // namespace morvane
