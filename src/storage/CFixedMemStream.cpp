#include "storage/CFixedMemStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace morvane {

void CFixedMemStream::Attach(uint8_t* block, size_t size, bool writable)
{
    memory_ = block;
    const auto limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    size_ = block ? static_cast<int64_t>(std::min<uint64_t>(size, limit)) : 0;
    position_ = 0;
    writable_ = writable && block != nullptr;
}

void CFixedMemStream::Create(void* block, size_t size) { Attach(static_cast<uint8_t*>(block), size, true); }

void CFixedMemStream::CreateReadOnly(const void* block, size_t size)
{
    // Write() refuses to touch a read-only block, so dropping const is safe.
    Attach(static_cast<uint8_t*>(const_cast<void*>(block)), size, false);
}

void* CFixedMemStream::Detach()
{
    void* block = memory_;
    Attach(nullptr, 0, false);
    return block;
}

int64_t CFixedMemStream::Read(void* buffer, int64_t count)
{
    const int64_t n = std::clamp<int64_t>(count, 0, Remaining());
    if (n > 0) {
        std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
        position_ += n;
    }
    return n;
}

int64_t CFixedMemStream::Write(const void* buffer, int64_t count)
{
    // A memory stream would grow here; this block cannot, so the write is cut
    // at its end rather than running past it.
    const int64_t n = writable_ ? std::clamp<int64_t>(count, 0, Remaining()) : 0;
    if (n > 0) {
        std::memcpy(memory_ + position_, buffer, static_cast<size_t>(n));
        position_ += n;
    }
    return n;
}

int64_t CFixedMemStream::Seek(int64_t offset, Origin origin)
{
    const int64_t base = origin == Origin::Begin ? 0 : origin == Origin::Current ? position_ : size_;
    int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        return -1;
    position_ = target;
    return position_;
}

} // namespace morvane
