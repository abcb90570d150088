#include "events/CRingBuf.h"

#include <algorithm>
#include <cstring>

#include "platform/MemoryBudget.h"

namespace morvane {

namespace {
// Far more steps than any undo depth; keeps n + r and the byte size in range.
constexpr int32_t kMaxCapacity = 1 << 20;
constexpr int32_t kMaxElementSize = 1 << 12;
} // namespace

CRingBuf::CRingBuf(int32_t elementSize) : elementSize_(elementSize) {}

CRingBuf::~CRingBuf() { Free(); }

void CRingBuf::Free()
{
    if (buffer_)
        FreeBlock(buffer_, uint64_t(allocatedBytes_));
    buffer_ = nullptr;
    allocatedBytes_ = 0;
    undoCapacity_ = redoCapacity_ = countBefore_ = countAfter_ = cursor_ = 0;
}

uint8_t* CRingBuf::Slot(int64_t index) const
{
    const int64_t slots = Slots();
    const int64_t wrapped = ((index % slots) + slots) % slots;
    return buffer_ + wrapped * elementSize_;
}

bool CRingBuf::Allocate(int32_t elementSize, int32_t n, int32_t r)
{
    Free();
    elementSize_ = elementSize;
    if (elementSize < 1 || elementSize > kMaxElementSize || n < 1 || r < 1 || n > kMaxCapacity || r > kMaxCapacity)
        return false;
    const int64_t bytes = int64_t(n + r) * elementSize;
    buffer_ = static_cast<uint8_t*>(AllocBlock(uint64_t(bytes)));
    if (!buffer_)
        return false;
    allocatedBytes_ = bytes;
    undoCapacity_ = n;
    redoCapacity_ = r;
    return true;
}

bool CRingBuf::Resize(int32_t n, int32_t r)
{
    if (!buffer_ || n < 1 || r < 1 || n > kMaxCapacity || r > kMaxCapacity)
        return false;
    if (n == undoCapacity_ && r == redoCapacity_)
        return true;
    const int32_t keepBefore = std::min(countBefore_, n);
    const int32_t keepAfter = std::min(countAfter_, r);
    const int64_t bytes = int64_t(n + r) * elementSize_;
    auto* fresh = static_cast<uint8_t*>(AllocBlock(uint64_t(bytes)));
    if (!fresh)
        return false;
    // The kept run goes to the start of the new buffer; the cursor lands on
    // its last undo element (or just before slot 0 when there is none).
    const int32_t kept = keepBefore + keepAfter;
    for (int32_t i = 0; i < kept; ++i)
        std::memcpy(fresh + int64_t(i) * elementSize_, Slot(int64_t(cursor_) - keepBefore + 1 + i), size_t(elementSize_));
    FreeBlock(buffer_, uint64_t(allocatedBytes_));
    buffer_ = fresh;
    allocatedBytes_ = bytes;
    undoCapacity_ = n;
    redoCapacity_ = r;
    countBefore_ = keepBefore;
    countAfter_ = keepAfter;
    cursor_ = (keepBefore - 1 + n + r) % (n + r);
    return true;
}

bool CRingBuf::Set(const void* element)
{
    if (!buffer_)
        return false;
    std::memcpy(Slot(cursor_), element, size_t(elementSize_));
    countBefore_ = std::max(countBefore_, 1);
    return true;
}

bool CRingBuf::Push(const void* element)
{
    if (!buffer_)
        return false;
    cursor_ = (cursor_ + 1) % Slots();
    std::memcpy(Slot(cursor_), element, size_t(elementSize_));
    countBefore_ = std::min(countBefore_ + 1, undoCapacity_);
    countAfter_ = 0;
    return true;
}

bool CRingBuf::Pop()
{
    if (countBefore_ < 1)
        return false;
    cursor_ = (cursor_ - 1 + Slots()) % Slots();
    --countBefore_;
    countAfter_ = 0;
    return true;
}

bool CRingBuf::Back()
{
    if (countBefore_ < 1)
        return false;
    cursor_ = (cursor_ - 1 + Slots()) % Slots();
    --countBefore_;
    // A full redo side lets its farthest element go, as a full undo side does.
    countAfter_ = std::min(countAfter_ + 1, redoCapacity_);
    return true;
}

bool CRingBuf::Forward()
{
    if (countAfter_ < 1)
        return false;
    cursor_ = (cursor_ + 1) % Slots();
    countBefore_ = std::min(countBefore_ + 1, undoCapacity_);
    --countAfter_;
    return true;
}

bool CRingBuf::Read(void* element) const { return Peek(0, element); }

bool CRingBuf::Peek(int32_t d, void* element) const
{
    const bool reachable = d <= 0 ? -int64_t(d) < countBefore_ : d <= countAfter_;
    if (!buffer_ || !reachable)
        return false;
    std::memcpy(element, Slot(int64_t(cursor_) + d), size_t(elementSize_));
    return true;
}

int32_t CRingBuf::TakeRedoCount()
{
    const int32_t count = countAfter_;
    countAfter_ = 0;
    return count;
}

} // namespace morvane
