#pragma once
// The base of every in-memory pixel buffer. Row 0 is the top row of the image
// in every buffer type; the buffer types differ in where that row lies in
// memory, which RowOffsets records: pixel (x, y) is at
// Bits + RowOffsets[y] + x * BytesPerPixel().
#include <cstddef>
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

class CDibCore {
public:
    CDibCore() = default;
    virtual ~CDibCore();
    CDibCore(const CDibCore&) = delete;
    CDibCore& operator=(const CDibCore&) = delete;

    virtual void Init();
    virtual void Release();
    virtual void Clear() { Release(); }
    virtual bool IsValid() const { return Bits != nullptr && RowOffsets != nullptr; }
    virtual bool Resize(int32_t width, int32_t height) = 0;
    virtual int64_t ByteSize() const = 0;
    virtual int BytesPerPixel() const = 0;
    // Distance in pixels from row y to row y + 1 in memory.
    virtual int64_t RowStep() const = 0;
    bool IsTopDown() const { return RowStep() > 0; }

    uint8_t* RowPtr(int32_t y) { return Bits + RowOffsets[y]; }
    const uint8_t* RowPtr(int32_t y) const { return Bits + RowOffsets[y]; }
    EdgeRect Bounds() const { return {0, 0, Width, Height}; }
    bool Contains(int32_t x, int32_t y) const
    {
        return static_cast<uint32_t>(x) < static_cast<uint32_t>(Width) &&
               static_cast<uint32_t>(y) < static_cast<uint32_t>(Height);
    }

    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t* Bits = nullptr;
    int64_t* RowOffsets = nullptr;

protected:
    // Allocates the row offset table (height entries) and, when bitsBytes is
    // not negative, a new pixel block; the old block is freed first. Writes
    // `failureLine` to the diagnostic sink and releases everything on failure.
    bool Allocate(int32_t width, int32_t height, int64_t bitsBytes, const char* failureLine);
    // Rebuilds the offset table: top-down rows, or bottom-up ones.
    void FillRowOffsets(bool topDown);
    // Validates a requested size: both sides >= 0 and the byte count within reach.
    static bool SizeIsSane(int32_t width, int32_t height, int bytesPerPixel);

    int64_t bitsBytes_ = 0;   // size of the owned pixel block
    int64_t offsetsCount_ = 0; // entries of the offset table
};

bool IsValidBuffer(const CDibCore* buffer);

} // namespace morvane
