#include "paint/CPenMethodMngr.h"

#include <algorithm>
#include <new>

#include "paint/TPaintParam.h"

namespace morvane {

namespace {

constexpr int kFirstCurrentKind = int(PaintKind::Pencil4);

int32_t ClampIntoList(int32_t index, int32_t count)
{
    return std::max(0, std::min(index, count - 1));
}

} // namespace

void CPenMethodMngr::Changed() const
{
    if (onChange)
        onChange();
}

void CPenMethodMngr::Clear()
{
    items_.clear();
    selected_ = alternate_ = -1;
    Changed();
}

CPenMethodObj* CPenMethodMngr::Item(int32_t index) const
{
    return index >= 0 && index < Count() ? items_[size_t(index)].get() : nullptr;
}

bool CPenMethodMngr::Select(int32_t index)
{
    if (index < 0 || index >= Count())
        return false;
    selected_ = index;
    Changed();
    return true;
}

bool CPenMethodMngr::SetAlternate(int32_t index, bool clamp)
{
    if (index < 0 || index >= Count()) {
        if (!clamp || Count() == 0)
            return false;
        index = ClampIntoList(index, Count());
    }
    alternate_ = index;
    Changed();
    return true;
}

void CPenMethodMngr::SetRemembered(const Remembered& indexes)
{
    remembered_ = indexes;
    rememberedSet_ = true;
    Changed();
}

void CPenMethodMngr::ShiftRemembered(int32_t position, int32_t delta)
{
    if (!rememberedSet_)
        return;
    for (int32_t& index : remembered_) {
        if (index > position)
            index += delta;
        index = ClampIntoList(index, Count());
    }
}

int32_t CPenMethodMngr::Add(std::unique_ptr<CPenMethodObj> item)
{
    return Insert(Count(), std::move(item)) ? Count() - 1 : -1;
}

bool CPenMethodMngr::Insert(int32_t index, std::unique_ptr<CPenMethodObj> item)
{
    if (!item || index < 0 || index > Count())
        return false;
    try {
        items_.insert(items_.begin() + index, std::move(item));
    } catch (const std::bad_alloc&) {
        return false;
    }
    ShiftRemembered(index, +1);
    Changed();
    return true;
}

bool CPenMethodMngr::Delete(int32_t index)
{
    if (index < 0 || index >= Count())
        return false;
    items_.erase(items_.begin() + index);
    ShiftRemembered(index, -1);
    if (selected_ >= Count())
        selected_ = Count() - 1;
    if (alternate_ >= Count())
        alternate_ = Count() - 1;
    Changed();
    return true;
}

bool CPenMethodMngr::HasKind(PaintKind kind) const
{
    return std::any_of(items_.begin(), items_.end(),
                       [kind](const auto& item) { return item->Kind() == kind; });
}

bool CPenMethodMngr::HasEveryKind() const
{
    for (int k = kFirstCurrentKind; k < kPaintKinds; ++k)
        if (!HasKind(PaintKind(k)))
            return false;
    return true;
}

std::unique_ptr<CPenMethodObj> CPenMethodMngr::DefaultPreset(PaintKind kind)
{
    try {
        auto preset = std::make_unique<CPenMethodObj>();
        return preset->FromPaintParam(TPaintParam(kind)) ? std::move(preset) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool CPenMethodMngr::AddMissingDefaults()
{
    int added = 0;
    for (int k = kFirstCurrentKind; k < kPaintKinds; ++k) {
        if (!HasKind(PaintKind(k)) && Add(DefaultPreset(PaintKind(k))) >= 0)
            ++added;
    }
    const bool all = added == kPaintKinds - kFirstCurrentKind;
    if (all && (selected_ < 0 || selected_ >= Count()))
        Select(0);
    return all;
}

void CPenMethodMngr::SetModified(bool modified)
{
    modified_ = modified;
    Changed();
}

void CPenMethodMngr::SetFileName(const std::string& fileName)
{
    fileName_ = fileName;
    Changed();
}

} // namespace morvane
