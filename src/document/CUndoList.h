#pragma once
// A list of undo records, index 0 the newest. A counted list bounds the
// records that hold pixels or are bulky; light records do not count and are
// bounded by the manager's slack instead. The count is kept as records come
// and go rather than recounted.
#include <deque>
#include <memory>

#include "document/CUndoData.h"

namespace morvane {

class CUndoList {
public:
    explicit CUndoList(bool counted) : counted_(counted) {}

    // Inserts at index 0. A counted list first drops its oldest records while
    // a counting record would bring the counting records above the depth; a
    // plain one drops the oldest while it is full (capacity: depth, at least 4).
    void Insert(std::unique_ptr<CUndoData> record, int32_t depth);
    std::unique_ptr<CUndoData> TakeNewest();
    CUndoData* Newest() { return items_.empty() ? nullptr : items_.front().get(); }
    const CUndoData* At(int32_t i) const;
    // Drops the oldest record; false when empty.
    bool DropOldest();
    // Drops oldest records until at most `depth` counting ones remain.
    void LimitCounted(int32_t depth);
    void Clear();

    bool Counted() const { return counted_; }
    int32_t Size() const { return int32_t(items_.size()); }
    int32_t CountingRecords() const { return counting_; }
    bool Empty() const { return items_.empty(); }
    int64_t HeldBytes() const;

private:
    bool Counts(const CUndoData& r) const { return counted_ && r.Counts(); }

    bool counted_;
    int32_t counting_ = 0;
    std::deque<std::unique_ptr<CUndoData>> items_;
};

} // namespace morvane
