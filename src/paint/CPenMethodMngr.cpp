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

bool CPenMethodMngr::Cleared()
{
    const bool changed = alternate_ != -1;
    alternate_ = -1;
    return changed;
}

bool CPenMethodMngr::SetAlternate(int32_t index, bool clamp)
{
    if (index < 0 || index >= Count()) {
        if (!clamp || Count() == 0)
            return false;
        index = ClampIntoList(index, Count());
    }
    Update(alternate_, index);
    return true;
}

void CPenMethodMngr::SetRemembered(const Remembered& indexes)
{
    if (rememberedSet_ && remembered_ == indexes)
        return;
    rememberedSet_ = true;
    remembered_ = indexes;
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

void CPenMethodMngr::Inserted(int32_t index)
{
    ShiftRemembered(index, +1);
}

void CPenMethodMngr::Deleted(int32_t index)
{
    ShiftRemembered(index, -1);
    if (alternate_ >= Count())
        alternate_ = Count() - 1;
}

bool CPenMethodMngr::HasKind(PaintKind kind) const
{
    for (int32_t i = 0; i < Count(); ++i)
        if (Item(i)->Kind() == kind)
            return true;
    return false;
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
    if (all && !Contains(Selected()))
        Select(0);
    return all;
}

} // namespace morvane
