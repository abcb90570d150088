#include "document/CAntPoints.h"

#include <algorithm>
#include <new>

#include "document/CMaskData.h"

namespace morvane {

void CPointList::Add(Point p)
{
    if (blocks_.empty() || used_ == kBlockPoints) {
        blocks_.emplace_back();
        blocks_.back().reserve(kBlockPoints);
        used_ = 0;
    }
    blocks_.back().push_back(p);
    ++used_;
}

int64_t CPointList::Count() const
{
    return blocks_.empty() ? 0 : int64_t(blocks_.size() - 1) * kBlockPoints + used_;
}

void CAntPoints::Clear()
{
    left_.Clear(), right_.Clear(), top_.Clear(), bottom_.Clear();
    for (std::vector<int64_t>& rows : rowStarts_)
        rows.clear();
    rowTop_ = 0;
}

const CPointList& CAntPoints::List(int list) const
{
    const CPointList* lists[] = {&left_, &right_, &top_, &bottom_};
    return *lists[std::clamp(list, 0, 3)];
}

int64_t CAntPoints::RowStart(int list, int32_t y) const
{
    const std::vector<int64_t>& rows = rowStarts_[std::clamp(list, 0, 3)];
    if (rows.empty())
        return 0;
    const int64_t i = int64_t(y) - rowTop_;
    return i <= 0 ? rows.front() : i >= int64_t(rows.size()) ? rows.back() : rows[size_t(i)];
}

// Rows are read from the mask store a row at a time (uniform blocks as
// runs), never through a canvas-size copy; the row above gives the top and
// bottom edges.
bool CAntPoints::Build(const CMaskData* mask, int32_t w, int32_t h)
{
    Clear();
    EdgeRect r;
    if (!mask || !mask->IsValid() || !Intersect(mask->Rect(), {0, 0, w, h}, r))
        return true;
    try {
        const int32_t width = r.right - r.left;
        std::vector<uint8_t> row(size_t(width) + 1, 0), above(size_t(width) + 1, 0);
        rowTop_ = r.top;
        const auto markRow = [this] {
            int k = 0;
            for (const CPointList* list : {&left_, &right_, &top_, &bottom_})
                rowStarts_[k++].push_back(list->Count());
        };
        for (int32_t y = r.top; y <= r.bottom; ++y) {
            markRow();
            if (y < r.bottom)
                mask->ReadRow(y, r.left, width, row.data());
            else
                std::fill(row.begin(), row.end(), uint8_t{0});
            for (int32_t i = 0; i <= width; ++i) {
                const int32_t x = r.left + i;
                const bool on = i < width && row[size_t(i)] != 0;
                const bool before = i > 0 && row[size_t(i - 1)] != 0;
                if (y < r.bottom && on && !before)
                    left_.Add({x, y});
                if (y < r.bottom && !on && before)
                    right_.Add({x, y});
                const bool up = i < width && above[size_t(i)] != 0;
                if (i < width && on && !up)
                    top_.Add({x, y});
                if (i < width && !on && up)
                    bottom_.Add({x, y});
            }
            std::swap(row, above);
        }
        markRow();
    } catch (const std::bad_alloc&) {
        Clear();
        return false;
    }
    return true;
}

bool CAntPoints::Tick()
{
    if (!HasOutline())
        return false;
    phase_ = uint8_t((phase_ >> 1) | (phase_ << 7));
    return true;
}

} // namespace morvane
