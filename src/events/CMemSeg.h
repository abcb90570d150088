#pragma once
// The event stream's store: fixed-size segments appended as the stream
// grows, so that growing never copies what is already written.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace morvane {

// One segment. The block comes from the memory budget at construction;
// Valid() is false when it could not be had.
class CMemSeg {
public:
    explicit CMemSeg(int32_t size);
    ~CMemSeg();
    CMemSeg(const CMemSeg&) = delete;
    CMemSeg& operator=(const CMemSeg&) = delete;

    bool Valid() const { return block_ != nullptr; }
    int32_t Size() const { return size_; }
    // Bytes moved, limited to the block; 0 when offset lies outside it.
    int32_t Write(int32_t offset, const void* data, int32_t length);
    int32_t Read(int32_t offset, void* data, int32_t length) const;
    // The block itself, for reading (and filling) in place.
    const uint8_t* Bytes() const { return block_; }
    uint8_t* Bytes() { return block_; }

private:
    int32_t Clip(int32_t offset, int32_t length) const;

    uint8_t* block_;
    int32_t size_;
};

// The stream as one run of bytes [0, Position()) over its segments. Offsets
// stay below 2^31 so that they fit the recorder's 32-bit step offsets.
class CSegmentedStore {
public:
    static constexpr int32_t kDefaultSegmentSize = 65536;
    static constexpr int64_t kDefaultCapacity = int64_t(1) << 20;
    static constexpr int64_t kMaxLength = INT32_MAX;

    // The capacity only sizes the segment list up front; the store grows past it.
    explicit CSegmentedStore(int32_t segmentSize = kDefaultSegmentSize, int64_t initialCapacity = kDefaultCapacity);
    ~CSegmentedStore();
    CSegmentedStore(const CSegmentedStore&) = delete;
    CSegmentedStore& operator=(const CSegmentedStore&) = delete;

    // Writes at the position and advances it. All or nothing: the segments
    // are had before a byte is copied, so a failure leaves the store as it was.
    bool Append(const void* data, int64_t length);
    // Appends length bytes within one segment that fill writes in place (an
    // unpacker, say, saves the copy); false from fill, or bytes that would
    // straddle a segment boundary, leave the position where it was.
    using InPlaceFill = bool (*)(void* user, std::span<uint8_t> bytes);
    bool AppendInPlace(int64_t length, InPlaceFill fill, void* user);
    // Writing in place, for packets built where they will stay: the room
    // from the position to the end of its segment when at least length
    // bytes of it can be had (empty otherwise), then Commit adds the first
    // n bytes of that room to the stream.
    std::span<uint8_t> RoomAt(int64_t length);
    bool Commit(int64_t n);
    // Changes bytes already in the stream; false past the position.
    bool Overwrite(int64_t offset, const void* data, int64_t length);
    // Bytes read, across segments: length, or 0 when the range passes the position.
    int64_t Read(int64_t offset, void* data, int64_t length) const;
    // The bytes from offset to the end of its segment or the position, in
    // place; empty outside [0, Position()).
    std::span<const uint8_t> PieceAt(int64_t offset) const;

    int64_t Position() const { return position_; }
    // Moves the position back over written bytes, or forward again up to the
    // end of the last append (a redone step); false past it.
    bool SetPosition(int64_t position);
    // Cuts the stream at position for good: what lay beyond cannot come
    // back, and the segments wholly past it are freed.
    bool Truncate(int64_t position);
    // Frees every segment; the stream is empty.
    void Reset();

    bool Ready() const { return segmentSize_ > 0; }
    int32_t SegmentSize() const { return segmentSize_; }
    int32_t SegmentCount() const { return int32_t(segments_.size()); }
    int64_t AllocatedBytes() const { return int64_t(segments_.size()) * segmentSize_; }

private:
    bool Reserve(int64_t end);
    void DropSegmentsFrom(size_t count);
    template <typename Move> void Walk(int64_t offset, int64_t length, Move move) const;

    std::vector<std::unique_ptr<CMemSeg>> segments_;
    int32_t segmentSize_;
    int64_t position_ = 0;
    // The end of the bytes written by the last append: how far the position
    // may move forward again.
    int64_t written_ = 0;
    // The end of the room RoomAt handed out, while the position is in it.
    int64_t roomEnd_ = 0;
};

} // namespace morvane
