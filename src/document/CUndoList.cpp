#include "document/CUndoList.h"

#include <algorithm>

namespace morvane {

void CUndoList::Insert(std::unique_ptr<CUndoData> record, int32_t depth)
{
    if (!record)
        return;
    if (counted_) {
        // Only a counting record pushes others out: a rename must not cost a
        // stroke its undo. Emptiness ends the loop whatever the depth.
        if (record->Counts())
            while (counting_ >= std::max(depth, 1) && DropOldest()) {
            }
    } else {
        while (Size() >= std::max(depth, 4) && DropOldest()) {
        }
    }
    counting_ += Counts(*record);
    items_.push_front(std::move(record));
}

std::unique_ptr<CUndoData> CUndoList::TakeNewest()
{
    if (items_.empty())
        return nullptr;
    std::unique_ptr<CUndoData> r = std::move(items_.front());
    items_.pop_front();
    counting_ -= Counts(*r);
    return r;
}

const CUndoData* CUndoList::At(int32_t i) const
{
    return i >= 0 && i < Size() ? items_[size_t(i)].get() : nullptr;
}

bool CUndoList::DropOldest()
{
    if (items_.empty())
        return false;
    counting_ -= Counts(*items_.back());
    items_.pop_back();
    return true;
}

void CUndoList::LimitCounted(int32_t depth)
{
    while (counting_ > std::max(depth, 0) && DropOldest()) {
    }
}

void CUndoList::Clear()
{
    items_.clear();
    counting_ = 0;
}

int64_t CUndoList::HeldBytes() const
{
    int64_t n = 0;
    for (const auto& r : items_)
        n += r->HeldBytes();
    return n;
}

} // namespace morvane
