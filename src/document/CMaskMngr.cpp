#include "document/CMaskMngr.h"

#include <algorithm>
#include <new>

#include "storage/BlendTables.h"

namespace morvane {

namespace {
constexpr const char* kMaskName = "マスク";

// The byte of c at (x, y), 0 outside it.
uint8_t CoverageAt(const SCoverage& c, int32_t x, int32_t y)
{
    const EdgeRect& r = c.rect;
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom ? c.Row(y)[x - r.left] : 0;
}

uint8_t CombineByte(CombineMode mode, uint8_t m, uint8_t c)
{
    switch (mode) {
    case CombineMode::Add: return std::max(m, c);
    case CombineMode::Subtract: return uint8_t(255 - std::max(uint8_t(255 - m), c));
    case CombineMode::Intersect: return MulTable[c][m];
    default: return c;
    }
}
} // namespace

CMaskMngr::CMaskMngr()
{
    masks_.push_back(std::make_unique<CMaskData>(NextName()));
}

CMaskMngr::~CMaskMngr() = default;

int32_t CMaskMngr::IndexOfId(uint32_t maskId) const
{
    for (int32_t i = 0; i < Count(); ++i)
        if (masks_[size_t(i)]->maskId == maskId)
            return i;
    return -1;
}

std::string CMaskMngr::NextName() { return kMaskName + std::to_string(++nameCounter_); }

int32_t CMaskMngr::Insert(int32_t index, std::unique_ptr<CMaskData> mask)
{
    if (!mask || index < 0 || index > Count() || !CanAdd())
        return -1;
    masks_.insert(masks_.begin() + index, std::move(mask));
    Renumber();
    return index;
}

std::unique_ptr<CMaskData> CMaskMngr::Replace(int32_t index, std::unique_ptr<CMaskData> mask)
{
    if (!IsIndex(index)) {
        masks_.push_back(std::move(mask));
        Renumber();
        return nullptr;
    }
    std::swap(masks_[size_t(index)], mask);
    Renumber();
    return mask;
}

std::unique_ptr<CMaskData> CMaskMngr::Remove(int32_t index)
{
    if (!IsIndex(index))
        return nullptr;
    std::unique_ptr<CMaskData> mask = std::move(masks_[size_t(index)]);
    masks_.erase(masks_.begin() + index);
    Renumber();
    if (current_ >= Count())
        current_ = std::max(Count() - 1, 0);
    if (OutlineIndex >= Count())
        OutlineIndex = -1;
    return mask;
}

bool CMaskMngr::SetCurrent(int32_t index)
{
    if (index == Count()) {
        if (!CanAdd())
            return false;
        masks_.push_back(std::make_unique<CMaskData>(NextName()));
        Renumber();
    }
    if (!IsIndex(index))
        return false;
    current_ = index;
    return true;
}

bool CMaskMngr::Move(int32_t from, int32_t to)
{
    if (!IsIndex(from) || !IsIndex(to) || from == to)
        return false;
    std::unique_ptr<CMaskData> mask = std::move(masks_[size_t(from)]);
    masks_.erase(masks_.begin() + from);
    masks_.insert(masks_.begin() + to, std::move(mask));
    Renumber();
    return true;
}

void CMaskMngr::Renumber()
{
    for (int32_t i = 0; i < Count(); ++i)
        masks_[size_t(i)]->listIndex = i;
}

bool CMaskMngr::IsMaskValid(int32_t index) const
{
    const CMaskData* m = At(index);
    return m && m->IsValid();
}

bool CMaskMngr::AnyValid() const
{
    return std::any_of(masks_.begin(), masks_.end(), [](const auto& m) { return m->IsValid(); });
}

bool CMaskMngr::ExceedsCanvas(int32_t index, int32_t width, int32_t height) const
{
    const CMaskData* m = At(index);
    return m && m->IsValid() && (m->pixels->Width > width || m->pixels->Height > height);
}

bool CMaskMngr::ReachesOutside(int32_t index, int32_t width, int32_t height) const
{
    const CMaskData* m = At(index);
    if (!m || !m->IsValid())
        return false;
    const EdgeRect r = m->Rect();
    return r.left < 0 || r.top < 0 || r.right > width || r.bottom > height;
}

int64_t CMaskMngr::HeldBytes() const
{
    int64_t sum = 0;
    for (const auto& m : masks_)
        sum += m->HeldBytes();
    return sum;
}

std::unique_ptr<CMaskData> CombineCoverage(const CMaskData* m, const SCoverage& c, CombineMode mode,
                                           const std::string& name, bool& unchanged)
{
    unchanged = false;
    const bool empty = !m || !m->IsValid();
    if (empty && (mode == CombineMode::Subtract || mode == CombineMode::Intersect)) {
        unchanged = true;
        return nullptr;
    }
    if (empty || mode == CombineMode::Replace)
        return CMaskData::FromCoverage(c, name);
    const EdgeRect mr = m->Rect();
    const EdgeRect rect = mode == CombineMode::Subtract ? mr : Union(mr, c.rect);
    SCoverage out;
    if (!m->ToCoverage(rect, out))
        return nullptr;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = out.Row(y);
        for (int32_t x = rect.left; x < rect.right; ++x)
            row[x - rect.left] = CombineByte(mode, row[x - rect.left], CoverageAt(c, x, y));
    }
    return CMaskData::FromCoverage(out, name);
}

std::unique_ptr<CMaskData> TrimMargins(std::unique_ptr<CMaskData> mask, int32_t width, int32_t height)
{
    EdgeRect occupied;
    const EdgeRect r = mask ? mask->Rect() : EdgeRect{};
    if (!mask || !mask->IsValid() || (r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height) ||
        !mask->OccupiedRect(occupied))
        return mask;
    occupied.right = std::max(occupied.right, width);
    occupied.bottom = std::max(occupied.bottom, height);
    if (occupied == r)
        return mask;
    SCoverage c;
    if (!mask->ToCoverage(occupied, c))
        return nullptr;
    return CMaskData::FromCoverage(c, mask->name);
}

} // namespace morvane
