#include "document/CAntPoints.h"

#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

namespace {
// One bit per byte of row, set where it is non-zero; words past the row's
// bytes stay 0.
void NonZeroBits(const uint8_t* row, int32_t n, std::vector<uint64_t>& bits)
{
    std::fill(bits.begin(), bits.end(), 0);
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const auto set = uint64_t(~_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)) & 0xFFFF);
        bits[size_t(i >> 6)] |= set << (i & 63);
    }
#endif
    for (; i < n; ++i)
        bits[size_t(i >> 6)] |= uint64_t(row[i] != 0) << (i & 63);
}

// Adds (x0 + bit position, y) for every set bit of the word.
void AddBits(CPointList& list, uint64_t word, int32_t x0, int32_t y)
{
    while (word) {
        list.Add({x0 + std::countr_zero(word), y});
        word &= word - 1;
    }
}
} // namespace

// Rows are read from the mask store a row at a time (uniform blocks as
// runs), never through a canvas-size copy, and compared 64 pixels at a time
// as bits with their left neighbours and the row above.
bool CAntPoints::Build(const CMaskData* mask, int32_t w, int32_t h)
{
    Clear();
    EdgeRect r;
    if (!mask || !mask->IsValid() || !Intersect(mask->Rect(), {0, 0, w, h}, r))
        return true;
    try {
        const int32_t width = r.right - r.left;
        // Positions 0 ... width: a right edge may lie just past the row.
        const size_t words = size_t(width) / 64 + 1;
        std::vector<uint8_t> row(size_t(width), 0);
        std::vector<uint64_t> bits(words, 0), above(words, 0);
        rowTop_ = r.top;
        const auto markRow = [this] {
            int k = 0;
            for (const CPointList* list : {&left_, &right_, &top_, &bottom_})
                rowStarts_[k++].push_back(list->Count());
        };
        for (int32_t y = r.top; y <= r.bottom; ++y) {
            markRow();
            if (y < r.bottom) {
                mask->ReadRow(y, r.left, width, row.data());
                NonZeroBits(row.data(), width, bits);
            } else {
                std::fill(bits.begin(), bits.end(), 0);
            }
            // Bit i of `before` is pixel i - 1.
            uint64_t carry = 0;
            const auto each = [&](auto&& emit) {
                carry = 0;
                for (size_t k = 0; k < words; ++k) {
                    const uint64_t cur = bits[k], before = cur << 1 | carry;
                    carry = cur >> 63;
                    if (cur | before | above[k])
                        emit(cur, before, above[k], r.left + int32_t(k * 64));
                }
            };
            each([&](uint64_t cur, uint64_t before, uint64_t, int32_t x0) { AddBits(left_, cur & ~before, x0, y); });
            each([&](uint64_t cur, uint64_t before, uint64_t, int32_t x0) { AddBits(right_, ~cur & before, x0, y); });
            each([&](uint64_t cur, uint64_t, uint64_t up, int32_t x0) { AddBits(top_, cur & ~up, x0, y); });
            each([&](uint64_t cur, uint64_t, uint64_t up, int32_t x0) { AddBits(bottom_, ~cur & up, x0, y); });
            std::swap(bits, above);
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
