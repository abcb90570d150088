#include "paint/CPenShapeMngr.h"

#include <new>

namespace morvane {

namespace {
struct BuiltInNib {
    uint8_t curve;     // nib-preset numbering
    int32_t flat;      // 1/1000
    int32_t radius;    // pixels
    int32_t minRadius; // 1/1000
};

constexpr BuiltInNib kBuiltIns[CPenShapeMngr::kBuiltInCount] = {
    {3, 1000, 1, 750}, {3, 1000, 16, 333}, {3, 1000, 12, 1000}, {3, 0, 12, 1000},
    {3, 0, 30, 600},   {3, 0, 15, 600},    {0, 0, 25, 600},
};
} // namespace

bool CPenShapeMngr::FillBuiltIns()
{
    std::vector<std::unique_ptr<CPenShapeObj>> items;
    try {
        for (const BuiltInNib& b : kBuiltIns) {
            AirMapRecord airMap;
            airMap.curve = b.curve;
            airMap.flat = b.flat;
            NibRecord nib;
            nib.radius = b.radius * 100;
            nib.minRadius = b.minRadius;
            items.push_back(std::make_unique<CPenShapeObj>(airMap, nib, false));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    ReplaceAll(std::move(items), 0);
    return true;
}

} // namespace morvane
