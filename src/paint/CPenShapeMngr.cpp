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

void CPenShapeMngr::Changed() const
{
    if (onChange)
        onChange();
}

void CPenShapeMngr::Clear()
{
    items_.clear();
    selected_ = -1;
    Changed();
}

CPenShapeObj* CPenShapeMngr::Item(int32_t index) const
{
    return index >= 0 && index < Count() ? items_[size_t(index)].get() : nullptr;
}

bool CPenShapeMngr::Select(int32_t index)
{
    if (index < 0 || index >= Count())
        return false;
    if (index != selected_) {
        selected_ = index;
        Changed();
    }
    return true;
}

int32_t CPenShapeMngr::Add(std::unique_ptr<CPenShapeObj> item)
{
    const int32_t index = Count();
    return Insert(index, std::move(item)) ? index : -1;
}

bool CPenShapeMngr::Insert(int32_t index, std::unique_ptr<CPenShapeObj> item)
{
    if (!item || index < 0 || index > Count())
        return false;
    try {
        items_.insert(items_.begin() + index, std::move(item));
    } catch (const std::bad_alloc&) {
        return false;
    }
    Changed();
    return true;
}

bool CPenShapeMngr::Replace(int32_t index, std::unique_ptr<CPenShapeObj> item)
{
    if (!item || !Item(index))
        return false;
    items_[size_t(index)] = std::move(item);
    Changed();
    return true;
}

bool CPenShapeMngr::Delete(int32_t index)
{
    if (!Item(index))
        return false;
    items_.erase(items_.begin() + index);
    if (selected_ >= Count())
        selected_ = Count() - 1;
    Changed();
    return true;
}

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
    items_ = std::move(items);
    selected_ = 0;
    Changed();
    return true;
}

void CPenShapeMngr::SetModified(bool modified)
{
    if (modified == modified_)
        return;
    modified_ = modified;
    Changed();
}

void CPenShapeMngr::SetFileName(const std::string& fileName)
{
    if (fileName == fileName_)
        return;
    fileName_ = fileName;
    Changed();
}

} // namespace morvane
