#pragma once
// A stream over a block of memory that the caller owns (a file read into
// memory, a clipboard block). The block never grows and is never freed here:
// reads stop at its size and writes stop at its end.
#include <cstddef>
#include <cstdint>

namespace morvane {

class CFixedMemStream {
public:
    enum class Origin { Begin, Current, End };

    CFixedMemStream() = default;

    // Makes the block the stream's content: size = capacity = size, position 0.
    void Create(void* block, size_t size);
    // The same for a block that must not change; writes then store nothing.
    void CreateReadOnly(const void* block, size_t size);
    // Hands the block back and leaves the stream empty.
    void* Detach();

    // Both return the number of bytes moved, which is short at the block's end.
    int64_t Read(void* buffer, int64_t count);
    int64_t Write(const void* buffer, int64_t count);
    // Moves as a memory stream does (past the end is allowed, reads there give
    // nothing); returns the new position, or -1 and no move for a position
    // before the start.
    int64_t Seek(int64_t offset, Origin origin);
    // The block's size is fixed: true only when it already has that size.
    bool SetSize(int64_t size) const { return size == size_; }

    int64_t Position() const { return position_; }
    int64_t Size() const { return size_; }
    int64_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }
    const uint8_t* Memory() const { return memory_; }

private:
    void Attach(uint8_t* block, size_t size, bool writable);

    uint8_t* memory_ = nullptr;
    int64_t size_ = 0;
    int64_t position_ = 0;
    bool writable_ = false;
};

} // namespace morvane
