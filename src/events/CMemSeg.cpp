#include "events/CMemSeg.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/MemoryBudget.h"

namespace morvane {

namespace {
constexpr int32_t kMaxSegmentSize = 1 << 26;
constexpr size_t kMinListCapacity = 10;
} // namespace

CMemSeg::CMemSeg(int32_t size)
    : block_(size > 0 ? static_cast<uint8_t*>(AllocBlock(uint64_t(size))) : nullptr), size_(block_ ? size : 0)
{
}

CMemSeg::~CMemSeg()
{
    if (block_)
        FreeBlock(block_, uint64_t(size_));
}

int32_t CMemSeg::Clip(int32_t offset, int32_t length) const
{
    if (!block_ || offset < 0 || offset >= size_ || length <= 0)
        return 0;
    return std::min(length, size_ - offset);
}

int32_t CMemSeg::Write(int32_t offset, const void* data, int32_t length)
{
    const int32_t n = Clip(offset, length);
    if (n > 0)
        std::memcpy(block_ + offset, data, size_t(n));
    return n;
}

int32_t CMemSeg::Read(int32_t offset, void* data, int32_t length) const
{
    const int32_t n = Clip(offset, length);
    if (n > 0)
        std::memcpy(data, block_ + offset, size_t(n));
    return n;
}

CSegmentedStore::CSegmentedStore(int32_t segmentSize, int64_t initialCapacity)
    : segmentSize_(segmentSize > 0 && segmentSize <= kMaxSegmentSize ? segmentSize : 0)
{
    if (!Ready())
        return;
    const int64_t wanted = std::clamp<int64_t>(initialCapacity, 0, kMaxLength);
    const size_t slots = std::max(size_t((wanted + segmentSize_ - 1) / segmentSize_), kMinListCapacity);
    try {
        segments_.reserve(slots);
    } catch (const std::bad_alloc&) {
        // The list grows on demand instead.
    }
}

CSegmentedStore::~CSegmentedStore() = default;

void CSegmentedStore::DropSegmentsFrom(size_t count)
{
    segments_.resize(std::min(count, segments_.size()));
}

bool CSegmentedStore::Reserve(int64_t end)
{
    const size_t had = segments_.size();
    try {
        while (AllocatedBytes() < end) {
            auto segment = std::make_unique<CMemSeg>(segmentSize_);
            if (!segment->Valid()) {
                DropSegmentsFrom(had);
                return false;
            }
            segments_.push_back(std::move(segment));
        }
    } catch (const std::bad_alloc&) {
        DropSegmentsFrom(had);
        return false;
    }
    return true;
}

// Calls move(segment, offset in it, byte offset in the caller's buffer, count)
// for each piece of [offset, offset + length).
template <typename Move> void CSegmentedStore::Walk(int64_t offset, int64_t length, Move move) const
{
    int64_t done = 0;
    while (done < length) {
        const int64_t at = offset + done;
        const auto index = size_t(at / segmentSize_);
        const auto inSegment = int32_t(at % segmentSize_);
        const auto piece = int32_t(std::min<int64_t>(length - done, segmentSize_ - inSegment));
        move(*segments_[index], inSegment, done, piece);
        done += piece;
    }
}

bool CSegmentedStore::Append(const void* data, int64_t length)
{
    if (!Ready() || length < 0 || (length > 0 && !data) || length > kMaxLength - position_)
        return false;
    if (!Reserve(position_ + length))
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    Walk(position_, length, [&](CMemSeg& segment, int32_t at, int64_t from, int32_t n) {
        segment.Write(at, bytes + from, n);
    });
    // New bytes end what was written past the position before (undone steps).
    position_ += length;
    written_ = position_;
    roomEnd_ = 0;
    return true;
}

bool CSegmentedStore::AppendInPlace(int64_t length, InPlaceFill fill, void* user)
{
    if (!Ready() || length <= 0 || length > kMaxLength - position_ ||
        position_ % segmentSize_ + length > segmentSize_ || !Reserve(position_ + length))
        return false;
    CMemSeg& segment = *segments_[size_t(position_ / segmentSize_)];
    if (!fill(user, {segment.Bytes() + position_ % segmentSize_, size_t(length)}))
        return false;
    position_ += length;
    written_ = position_;
    return true;
}

std::span<uint8_t> CSegmentedStore::RoomAt(int64_t length)
{
    if (!Ready() || length <= 0 || length > kMaxLength - position_ || !Reserve(position_ + length))
        return {};
    const auto inSegment = int32_t(position_ % segmentSize_);
    if (segmentSize_ - inSegment < length)
        return {};
    CMemSeg& segment = *segments_[size_t(position_ / segmentSize_)];
    roomEnd_ = position_ + (segmentSize_ - inSegment);
    return {segment.Bytes() + inSegment, size_t(segmentSize_ - inSegment)};
}

bool CSegmentedStore::Commit(int64_t n)
{
    if (n < 0 || n > roomEnd_ - position_)
        return false;
    position_ += n;
    written_ = position_;
    return true;
}

bool CSegmentedStore::Overwrite(int64_t offset, const void* data, int64_t length)
{
    if (offset < 0 || length < 0 || offset > position_ || length > position_ - offset || (length > 0 && !data))
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    Walk(offset, length, [&](CMemSeg& segment, int32_t at, int64_t from, int32_t n) {
        segment.Write(at, bytes + from, n);
    });
    return true;
}

int64_t CSegmentedStore::Read(int64_t offset, void* data, int64_t length) const
{
    if (offset < 0 || length <= 0 || offset > position_ || length > position_ - offset || !data)
        return 0;
    auto* bytes = static_cast<uint8_t*>(data);
    Walk(offset, length, [&](const CMemSeg& segment, int32_t at, int64_t into, int32_t n) {
        segment.Read(at, bytes + into, n);
    });
    return length;
}

std::span<const uint8_t> CSegmentedStore::PieceAt(int64_t offset) const
{
    if (offset < 0 || offset >= position_)
        return {};
    const CMemSeg& segment = *segments_[size_t(offset / segmentSize_)];
    const auto inSegment = int32_t(offset % segmentSize_);
    const int64_t length = std::min<int64_t>(segmentSize_ - inSegment, position_ - offset);
    return {segment.Bytes() + inSegment, size_t(length)};
}

bool CSegmentedStore::SetPosition(int64_t position)
{
    if (position < 0 || position > written_)
        return false;
    position_ = position;
    roomEnd_ = 0;
    return true;
}

bool CSegmentedStore::Truncate(int64_t position)
{
    if (!SetPosition(position))
        return false;
    written_ = position;
    const int64_t keep = segmentSize_ > 0 ? (position + segmentSize_ - 1) / segmentSize_ : 0;
    DropSegmentsFrom(size_t(keep));
    return true;
}

void CSegmentedStore::Reset()
{
    segments_.clear();
    position_ = written_ = roomEnd_ = 0;
}

} // namespace morvane
