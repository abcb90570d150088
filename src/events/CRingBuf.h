#pragma once
// A ring of fixed-size elements with a cursor: up to N elements at and before
// the cursor (the undo side) and up to R after it (the redo side). The
// recorder keeps its step offsets in one (CRingBufDWORD).
#include <cstdint>

namespace morvane {

class CRingBuf {
public:
    explicit CRingBuf(int32_t elementSize);
    ~CRingBuf();
    CRingBuf(const CRingBuf&) = delete;
    CRingBuf& operator=(const CRingBuf&) = delete;

    // Frees the old buffer and takes room for n + r elements, both counts
    // cleared; false (nothing held) when n or r < 1 or memory is short.
    bool Allocate(int32_t elementSize, int32_t n, int32_t r);
    // Keeps the most recent min(before, n) elements and the first
    // min(after, r) after the cursor; false leaves the ring as it was.
    bool Resize(int32_t n, int32_t r);

    // Writes at the cursor; the count before becomes at least 1.
    bool Set(const void* element);
    // Advances and writes; the oldest element falls out at N, the redo side empties.
    bool Push(const void* element);
    // Retreat over the element at the cursor, dropping it (Pop) or moving it
    // to the redo side (Back); false when nothing is before the cursor.
    bool Pop();
    bool Back();
    // Moves the first redo element back before the cursor; false without one.
    bool Forward();
    // The element at the cursor; false when the count before is 0.
    bool Read(void* element) const;
    // The element d places from the cursor: d <= 0 needs -d < before, d > 0
    // needs d <= after.
    bool Peek(int32_t d, void* element) const;
    int32_t TakeRedoCount();

    bool Allocated() const { return buffer_ != nullptr; }
    int32_t ElementSize() const { return elementSize_; }
    int32_t UndoCapacity() const { return undoCapacity_; }
    int32_t RedoCapacity() const { return redoCapacity_; }
    int32_t CountBefore() const { return countBefore_; }
    int32_t CountAfter() const { return countAfter_; }

private:
    int32_t Slots() const { return undoCapacity_ + redoCapacity_; }
    uint8_t* Slot(int64_t index) const;
    void Free();

    int64_t allocatedBytes_ = 0;
    uint8_t* buffer_ = nullptr;
    int32_t elementSize_;
    int32_t undoCapacity_ = 0;
    int32_t redoCapacity_ = 0;
    int32_t countBefore_ = 0;
    int32_t countAfter_ = 0;
    int32_t cursor_ = 0;
};

class CRingBufDWORD : public CRingBuf {
public:
    CRingBufDWORD() : CRingBuf(4) {}
    bool Allocate(int32_t n, int32_t r) { return CRingBuf::Allocate(4, n, r); }
    bool Set(uint32_t value) { return CRingBuf::Set(&value); }
    bool Push(uint32_t value) { return CRingBuf::Push(&value); }
    bool Read(uint32_t& value) const { return CRingBuf::Read(&value); }
    bool Peek(int32_t d, uint32_t& value) const { return CRingBuf::Peek(d, &value); }
};

} // namespace morvane
