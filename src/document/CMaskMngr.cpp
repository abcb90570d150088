#include "document/CMaskMngr.h"

#include <algorithm>
#include <new>

#include "platform/DiagnosticSink.h"
#include "storage/BlendTables.h"
#include "storage/SizeLimits.h"
#include <climits>

namespace morvane {

namespace {
constexpr const char* kMaskName = "マスク";
constexpr const char* kZoomFailed = "makeZoomMask: Exception!";

uint8_t CombineByte(CombineMode mode, uint8_t m, uint8_t c)
{
    switch (mode) {
    case CombineMode::Add: return std::max(m, c);
    case CombineMode::Subtract: return uint8_t(255 - std::max(uint8_t(255 - m), c));
    case CombineMode::Intersect: return MulTable[c][m];
    default: return c;
    }
}
// Whether m holds nothing; subtracting from or intersecting with nothing
// changes nothing.
bool EmptyTarget(const CMaskData* m, CombineMode mode, bool& unchanged)
{
    const bool empty = !m || !m->IsValid();
    unchanged = empty && (mode == CombineMode::Subtract || mode == CombineMode::Intersect);
    return empty;
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

namespace {
// f = new / old in 16.16, rounded to the nearest.
int64_t ScaleFactor(int32_t newSize, int32_t oldSize)
{
    return (int64_t(newSize) * 131072 + oldSize) / (int64_t(oldSize) * 2);
}

// v x f >> 16 in 64 bits: floors for negative values too.
int64_t Scaled(int64_t v, int64_t f) { return (v * f) >> 16; }

std::unique_ptr<CMaskData> ResampledMask(const CMaskData& m, int64_t fx, int64_t fy)
{
    auto out = std::make_unique<CMaskData>(m.name);
    if (!m.IsValid())
        return out;
    const int64_t w = std::max<int64_t>(Scaled(m.pixels->Width, fx), 1);
    const int64_t h = std::max<int64_t>(Scaled(m.pixels->Height, fy), 1);
    const int64_t ox = Scaled(m.offsetX, fx), oy = Scaled(m.offsetY, fy);
    if (!IsImageSizeAllowed(w, h) || ox < INT32_MIN || ox > INT32_MAX || oy < INT32_MIN || oy > INT32_MAX)
        return nullptr;
    SCoverage c;
    if (!c.Allocate({0, 0, int32_t(w), int32_t(h)}))
        return nullptr;
    std::vector<uint8_t> row(size_t(m.pixels->Width));
    for (int32_t y = 0; y < h; ++y) {
        const int32_t sy = int32_t(std::min<int64_t>((int64_t(y) << 16) / fy, m.pixels->Height - 1));
        m.ReadRow(sy - m.offsetY, -m.offsetX, int32_t(row.size()), row.data());
        uint8_t* dst = c.Row(y);
        for (int32_t x = 0; x < w; ++x)
            dst[x] = row[size_t(std::min<int64_t>((int64_t(x) << 16) / fx, m.pixels->Width - 1))];
    }
    c.rect = {int32_t(-ox), int32_t(-oy), int32_t(-ox + w), int32_t(-oy + h)};
    std::unique_ptr<CMaskData> mask = CMaskData::FromCoverage(c, m.name);
    return mask;
}
} // namespace

std::unique_ptr<CMaskMngr> CMaskMngr::Resampled(int32_t oldW, int32_t oldH, int32_t newW, int32_t newH) const
{
    try {
        const int64_t fx = ScaleFactor(newW, oldW), fy = ScaleFactor(newH, oldH);
        if (fx <= 0 || fy <= 0)
            return nullptr;
        auto out = std::make_unique<CMaskMngr>();
        out->masks_.clear();
        for (const auto& m : masks_) {
            std::unique_ptr<CMaskData> r = ResampledMask(*m, fx, fy);
            if (!r) {
                Diagnose(kZoomFailed);
                return nullptr;
            }
            out->masks_.push_back(std::move(r));
        }
        out->Renumber();
        out->current_ = current_;
        out->nameCounter_ = nameCounter_;
        return out;
    } catch (const std::bad_alloc&) {
        Diagnose(kZoomFailed);
        return nullptr;
    }
}

std::unique_ptr<CMaskMngr> CMaskMngr::FromList(std::vector<std::unique_ptr<CMaskData>> masks, int32_t current,
                                               int32_t nameCounter)
{
    auto out = std::make_unique<CMaskMngr>();
    if (masks.empty())
        return out;
    if (int32_t(masks.size()) > kMaxMasks)
        masks.resize(size_t(kMaxMasks));
    out->masks_ = std::move(masks);
    out->Renumber();
    out->nameCounter_ = nameCounter;
    out->current_ = 0;
    if (out->IsIndex(current) || !out->SetCurrent(out->Count()))
        out->current_ = std::clamp(current, 0, out->Count() - 1);
    return out;
}

std::unique_ptr<CMaskData> CombineCoverage(const CMaskData* m, const SCoverage& c, CombineMode mode,
                                           const std::string& name, bool& unchanged)
{
    const bool empty = EmptyTarget(m, mode, unchanged);
    if (unchanged)
        return nullptr;
    if (empty || mode == CombineMode::Replace)
        return CMaskData::FromCoverage(c, name);
    const EdgeRect mr = m->Rect();
    const EdgeRect rect = mode == CombineMode::Subtract ? mr : Union(mr, c.rect);
    SCoverage out;
    if (!m->ToCoverage(rect, out))
        return nullptr;
    // Outside C add and subtract keep M; intersect clears it.
    EdgeRect both;
    const bool overlap = Intersect(rect, c.rect, both);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = out.Row(y);
        const bool inRows = overlap && y >= both.top && y < both.bottom;
        if (!inRows) {
            if (mode == CombineMode::Intersect)
                std::fill_n(row, out.Width(), uint8_t{0});
            continue;
        }
        uint8_t* o = row + (both.left - rect.left);
        const uint8_t* in = c.Row(y) + (both.left - c.rect.left);
        const int32_t n = both.right - both.left;
        if (mode == CombineMode::Intersect) {
            std::fill(row, o, uint8_t{0});
            std::fill(o + n, row + out.Width(), uint8_t{0});
        }
        for (int32_t i = 0; i < n; ++i)
            o[i] = CombineByte(mode, o[i], in[i]);
    }
    return CMaskData::FromCoverage(out, name);
}

namespace {
// Whether the mask reads one value over rect (canvas coordinates), and
// which; outside the store it reads 0.
bool UniformOver(const CMaskData& m, const EdgeRect& rect, uint8_t& value)
{
    EdgeRect in;
    value = 0;
    if (!m.IsValid() || !Intersect(rect, m.Rect(), in))
        return true;
    const CBlockVCH& s = *m.pixels;
    const int32_t x0 = in.left + m.offsetX, x1 = in.right + m.offsetX - 1;
    const int32_t y0 = in.top + m.offsetY, y1 = in.bottom + m.offsetY - 1;
    bool first = true;
    for (int32_t by = y0 >> s.BlockShift; by <= y1 >> s.BlockShift; ++by)
        for (int32_t bx = x0 >> s.BlockShift; bx <= x1 >> s.BlockShift; ++bx) {
            const SBlock& b = *s.BlockAtIndex(bx, by);
            if (b.Committed() || (!first && uint8_t(b.Uniform) != value))
                return false;
            value = uint8_t(b.Uniform);
            first = false;
        }
    // Part of rect lies outside the store, where the mask reads 0.
    return in == rect || value == 0;
}

// Canvas row y from x to x + n - 1: straight from the store when one
// committed block holds it all, else read into buffer.
const uint8_t* RowOf(const CMaskData& m, int32_t y, int32_t x, int32_t n, uint8_t* buffer)
{
    if (m.IsValid()) {
        const CBlockVCH& s = *m.pixels;
        const int64_t mx = int64_t(x) + m.offsetX, my = int64_t(y) + m.offsetY;
        if (mx >= 0 && my >= 0 && mx + n <= s.Width && my < s.Height &&
            mx >> s.BlockShift == (mx + n - 1) >> s.BlockShift) {
            const SBlock& b = *s.BlockAtIndex(int32_t(mx >> s.BlockShift), int32_t(my >> s.BlockShift));
            if (b.Committed())
                return s.RowIn<uint8_t>(b, int32_t(mx & s.BlockMask), int32_t(my & s.BlockMask));
        }
    }
    m.ReadRow(y, x, n, buffer);
    return buffer;
}

template <typename Op>
void CombineRow(uint8_t* out, const uint8_t* m, const uint8_t* c, int32_t n, Op op)
{
    for (int32_t i = 0; i < n; ++i)
        out[i] = op(m[i], c[i]);
}

void CombineRow(CombineMode mode, uint8_t* out, const uint8_t* m, const uint8_t* c, int32_t n)
{
    switch (mode) {
    case CombineMode::Add: return CombineRow(out, m, c, n, [](uint8_t a, uint8_t b) { return std::max(a, b); });
    case CombineMode::Subtract:
        return CombineRow(out, m, c, n, [](uint8_t a, uint8_t b) { return uint8_t(255 - std::max(uint8_t(255 - a), b)); });
    default: return CombineRow(out, m, c, n, [mode](uint8_t a, uint8_t b) { return CombineByte(mode, a, b); });
    }
}
} // namespace

std::unique_ptr<CMaskData> CombineMasks(const CMaskData* m, const CMaskData& c, CombineMode mode,
                                        const std::string& name, bool& unchanged)
{
    const bool empty = EmptyTarget(m, mode, unchanged);
    if (unchanged)
        return nullptr;
    if (empty || mode == CombineMode::Replace) {
        std::unique_ptr<CMaskData> copy = c.Clone();
        if (copy)
            copy->name = name;
        return copy;
    }
    const EdgeRect rect = mode == CombineMode::Subtract ? m->Rect() : Union(m->Rect(), c.Rect());
    try {
        auto mask = std::make_unique<CMaskData>(name);
        auto store = std::make_unique<CBlockVCH>(rect.right - rect.left, rect.bottom - rect.top);
        if (!store->IsValid())
            return nullptr;
        const int32_t side = store->BlockWidth;
        std::vector<uint8_t> rowM(static_cast<size_t>(side)), rowC(static_cast<size_t>(side));
        for (int32_t by = 0; by < store->BlocksY; ++by)
            for (int32_t bx = 0; bx < store->BlocksX; ++bx) {
                SBlock& b = *store->BlockAtIndex(bx, by, false);
                const int32_t w = store->UsedW(b), h = store->UsedH(b);
                const EdgeRect br{rect.left + bx * side, rect.top + by * side, rect.left + bx * side + w,
                                  rect.top + by * side + h};
                uint8_t um = 0, uc = 0;
                if (UniformOver(*m, br, um) && UniformOver(c, br, uc)) {
                    b.Uniform = CombineByte(mode, um, uc);
                    continue;
                }
                const bool every = w == side && h == store->BlockHeight;
                if (!(every ? store->TakeBlockMemory(b) : store->CommitBlock(b)))
                    return nullptr;
                for (int32_t i = 0; i < h; ++i) {
                    const uint8_t* inM = RowOf(*m, br.top + i, br.left, w, rowM.data());
                    const uint8_t* inC = RowOf(c, br.top + i, br.left, w, rowC.data());
                    CombineRow(mode, store->RowIn<uint8_t>(b, 0, i), inM, inC, w);
                }
            }
        store->Compact();
        mask->pixels = std::move(store);
        mask->offsetX = -rect.left;
        mask->offsetY = -rect.top;
        return mask;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
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
