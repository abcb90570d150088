#include "document/CMaskData.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr const char* kCreateFailed = "CMaskData::createMask: exception!";

// Every mask object, copies included, takes the next number.
uint32_t NextMaskId()
{
    static uint32_t counter = 0;
    return counter++;
}
} // namespace

bool SCoverage::Allocate(const EdgeRect& r)
{
    rect = {};
    bytes.clear();
    const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (w <= 0 || h <= 0 || !IsImageSizeAllowed(w, h))
        return false;
    try {
        bytes.assign(size_t(w * h), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    rect = r;
    return true;
}

CMaskData::CMaskData(std::string maskName) : maskId(NextMaskId()), name(std::move(maskName)) {}

CMaskData::~CMaskData() = default;

std::unique_ptr<CMaskData> CMaskData::Clone() const
{
    try {
        auto copy = std::make_unique<CMaskData>(name);
        copy->offsetX = offsetX;
        copy->offsetY = offsetY;
        if (pixels) {
            copy->pixels = std::make_unique<CBlockVCH>(*pixels);
            if (!copy->pixels->IsValid())
                return nullptr;
        }
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<CMaskData> CMaskData::FromCoverage(const SCoverage& coverage, const std::string& maskName)
{
    try {
        auto mask = std::make_unique<CMaskData>(maskName);
        const int32_t w = coverage.Width(), h = coverage.Height();
        auto store = std::make_unique<CBlockVCH>(w, h);
        const bool written =
            store->IsValid() && store->ForEachPieceFrom(w, h, {0, 0}, {0, 0, w, h}, [&](const SPiece& p, Point s) {
                return store->PutPiece<uint8_t>(p, [&](int32_t i) {
                    return coverage.bytes.data() + int64_t(s.y + i) * w + s.x;
                });
            });
        if (!written) {
            Notifier().Warn(kCreateFailed);
            return nullptr;
        }
        store->Compact();
        mask->pixels = std::move(store);
        mask->offsetX = -coverage.rect.left;
        mask->offsetY = -coverage.rect.top;
        return mask;
    } catch (const std::bad_alloc&) {
        Notifier().Warn(kCreateFailed);
        return nullptr;
    }
}

EdgeRect CMaskData::Rect() const
{
    if (!IsValid())
        return {};
    return {-offsetX, -offsetY, -offsetX + pixels->Width, -offsetY + pixels->Height};
}

bool CMaskData::OccupiedRect(EdgeRect& out) const
{
    if (!IsValid() || !pixels->BoundsOfContent(out))
        return false;
    out = {out.left - offsetX, out.top - offsetY, out.right - offsetX, out.bottom - offsetY};
    return true;
}

bool CMaskData::SelectedRect(EdgeRect& out) const
{
    EdgeRect blocks;
    if (!OccupiedRect(blocks))
        return false;
    const int32_t w = blocks.right - blocks.left;
    std::vector<uint8_t> row(static_cast<size_t>(w));
    EdgeRect box{blocks.right, blocks.bottom, blocks.left, blocks.top};
    for (int32_t y = blocks.top; y < blocks.bottom; ++y) {
        ReadRow(y, blocks.left, w, row.data());
        int32_t first = 0, last = w;
        while (first < w && row[size_t(first)] == 0)
            ++first;
        if (first == w)
            continue;
        while (row[size_t(last - 1)] == 0)
            --last;
        box = {std::min(box.left, blocks.left + first), std::min(box.top, y),
               std::max(box.right, blocks.left + last), y + 1};
    }
    out = box;
    return !box.IsEmpty();
}

uint8_t CMaskData::ValueAt(int32_t x, int32_t y) const
{
    return IsValid() ? pixels->GetValue(int32_t(int64_t(x) + offsetX), int32_t(int64_t(y) + offsetY)) : 0;
}

int32_t CMaskData::PaintValueAt(int32_t x, int32_t y, uint8_t scale) const
{
    if (!IsValid())
        return -1;
    const int64_t mx = int64_t(x) + offsetX, my = int64_t(y) + offsetY;
    if (mx < 0 || my < 0 || mx >= pixels->Width || my >= pixels->Height)
        return -1;
    return MulTable[pixels->GetValue(int32_t(mx), int32_t(my))][scale];
}

void CMaskData::ReadRow(int32_t y, int32_t x, int32_t count, uint8_t* out) const
{
    std::memset(out, 0, size_t(std::max(count, 0)));
    if (!IsValid() || count <= 0)
        return;
    const int64_t my = int64_t(y) + offsetY;
    if (my < 0 || my >= pixels->Height)
        return;
    const int64_t from = std::max<int64_t>(int64_t(x) + offsetX, 0);
    const int64_t to = std::min<int64_t>(int64_t(x) + offsetX + count, pixels->Width);
    const CBlockVCH& s = *pixels;
    for (int64_t mx = from; mx < to;) {
        const SBlock& b = *s.BlockAtIndex(int32_t(mx >> s.BlockShift), int32_t(my >> s.BlockShift));
        const int64_t end = std::min<int64_t>(to, ((mx >> s.BlockShift) + 1) << s.BlockShift);
        uint8_t* dst = out + (mx - offsetX - x);
        if (b.Committed())
            std::memcpy(dst, s.RowIn<uint8_t>(b, int32_t(mx & s.BlockMask), int32_t(my & s.BlockMask)),
                        size_t(end - mx));
        else
            std::memset(dst, int(uint8_t(b.Uniform)), size_t(end - mx));
        mx = end;
    }
}

bool CMaskData::ToCoverage(const EdgeRect& rect, SCoverage& out) const
{
    if (!out.Allocate(rect))
        return false;
    for (int32_t y = rect.top; y < rect.bottom; ++y)
        ReadRow(y, rect.left, out.Width(), out.Row(y));
    return true;
}

int64_t CMaskData::HeldBytes() const
{
    return pixels ? pixels->CommittedBytes() + int64_t(pixels->BlocksX) * pixels->BlocksY * int64_t(sizeof(SBlock))
                  : 0;
}

} // namespace morvane
