#pragma once
// What the image decoders share: a bounds-checked reader over the file's
// bytes and the one place where a decoded image gets its memory.
#include <cstddef>
#include <cstdint>

#include "codecs/ImageDecoders.h"

namespace morvane {

// Reads integers of either byte order from a span; every read checks the
// remaining length first and a failed read leaves the position unchanged.
// Not the files' ByteReader: two classes of one name in one program would
// share their inline members' symbols, and the linker keeps only one.
class SpanReader {
public:
    SpanReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    const uint8_t* Here() const { return data_ + pos_; }
    bool Seek(uint64_t pos)
    {
        if (pos > size_)
            return false;
        pos_ = size_t(pos);
        return true;
    }
    bool Skip(uint64_t count) { return count <= Remaining() && Seek(pos_ + count); }

    bool U8(uint32_t& v) { return Get(1, false, v); }
    bool U16LE(uint32_t& v) { return Get(2, false, v); }
    bool U32LE(uint32_t& v) { return Get(4, false, v); }
    bool U16BE(uint32_t& v) { return Get(2, true, v); }
    bool U32BE(uint32_t& v) { return Get(4, true, v); }

private:
    bool Get(size_t bytes, bool bigEndian, uint32_t& v)
    {
        if (bytes > Remaining())
            return false;
        v = 0;
        for (size_t i = 0; i < bytes; ++i) {
            const uint32_t b = data_[pos_ + (bigEndian ? i : bytes - 1 - i)];
            v = v << 8 | b;
        }
        pos_ += bytes;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Checks the size against the limits, then gives `out` that size. TooLarge
// (nothing allocated) or OutOfMemory on failure.
DecodeResult AllocateImage(TMTC& out, int64_t width, int64_t height, const DecodeLimits& limits);

// Releases any image in `out` and passes the result through.
DecodeResult DecodeFailed(TMTC& out, DecodeResult result);

// The end of every decoder: on success the resolution goes out, on failure
// the image is released and the resolution is 0.
DecodeResult FinishDecode(TMTC& out, DecodeResult result, int dpi, int* dpiOut);

// The whole content of a file, allocated from the memory budget.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    DecodeResult Read(const char* path);
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

} // namespace morvane
