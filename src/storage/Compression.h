#pragma once
// Lossless block compression for documents, presets and event streams. Every
// compressed record carries both lengths beside it, so the reader always knows
// how many bytes must come out and allocates the target itself.
#include <cstddef>
#include <cstdint>
#include <span>

namespace morvane {

// Levels chosen by the callers: documents favour size, event streams are
// written while painting and favour speed.
constexpr int kCompressLevelDocument = 3;
constexpr int kCompressLevelEvents = 1;

// Where compressed bytes go. Compress appends to the sink; after a success
// CompressedBytes() holds the number of bytes this compression produced.
class CompressSink {
public:
    virtual ~CompressSink() = default;
    uint64_t CompressedBytes() const { return compressedBytes_; }

protected:
    // Called once before the first Append of a compression.
    virtual void Begin() {}
    // Appends bytes; false stops the compression, which then fails.
    virtual bool Append(std::span<const uint8_t> bytes) = 0;

private:
    friend bool Compress(std::span<const uint8_t> src, CompressSink& sink, int level);
    uint64_t compressedBytes_ = 0;
};

// Output in memory: starts at 64 KiB and doubles as needed, always through the
// memory budget. Each compression starts again at the beginning of the buffer,
// so one sink can serve a run of records.
class MemoryCompressSink final : public CompressSink {
public:
    static constexpr size_t kInitialCapacity = 64 * 1024;

    MemoryCompressSink() = default;
    ~MemoryCompressSink() override;
    MemoryCompressSink(const MemoryCompressSink&) = delete;
    MemoryCompressSink& operator=(const MemoryCompressSink&) = delete;

    // The bytes of the last compression (all of them only after a success).
    std::span<const uint8_t> Data() const { return {data_, size_}; }
    size_t Capacity() const { return capacity_; }

protected:
    void Begin() override { size_ = 0; }
    bool Append(std::span<const uint8_t> bytes) override;

private:
    bool Grow(size_t needed);

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The caller's write routine, called like fwrite: it must take all `count`
// elements and return `count`, otherwise the compression fails.
using CompressWriteRoutine = size_t (*)(const void* data, size_t elementSize, size_t count, void* user);

class CallbackCompressSink final : public CompressSink {
public:
    CallbackCompressSink(CompressWriteRoutine write, void* user) : write_(write), user_(user) {}

protected:
    bool Append(std::span<const uint8_t> bytes) override;

private:
    CompressWriteRoutine write_;
    void* user_;
};

// Compresses src as one frame into the sink; false when the compressor or the
// sink fails (the caller then drops the record it was writing).
bool Compress(std::span<const uint8_t> src, CompressSink& sink, int level);

// True only when src is exactly one of our frames and it yields exactly
// dst.size() bytes. The target size comes from the caller's record, never from
// the compressed data, so a frame that claims or produces more is refused.
// dst may hold partial output after a failure.
bool Decompress(std::span<const uint8_t> src, std::span<uint8_t> dst);
// Whether src is one of our frames that declares exactly `expected` bytes:
// checked before a target of that size is allocated for it, so a record that
// lies about its size costs no memory.
bool IsFrameOf(std::span<const uint8_t> src, size_t expected);

// Decompresses one frame of exactly count x pieceSize bytes straight into
// count separate pieces of memory, so a record of many blocks never needs a
// buffer of its whole size. target(i) gives piece i's memory, or nullptr
// (memory refused), which fails the call; so does a frame of any other size.
// Pieces before a failure may hold partial output.
template <typename PieceTarget>
bool DecompressPieces(std::span<const uint8_t> src, size_t pieceSize, size_t count, PieceTarget&& target);

// The image library's start-up configuration call, made once before any other
// service with an option number and a value from the settings. No option
// changes anything here: it is accepted and ignored.
void ConfigureImageLibrary(uint32_t option, uint32_t value);

namespace compressdetail {
// One streaming decompression: Begin checks the frame, Next fills one piece.
class PieceDecompressor {
public:
    bool Begin(std::span<const uint8_t> src, size_t expected);
    bool Next(std::span<uint8_t> piece);
    // Every input byte used and the frame closed.
    bool Finished() const;

private:
    std::span<const uint8_t> src_;
    size_t used_ = 0;
    size_t lastHint_ = 1;
};
} // namespace compressdetail

template <typename PieceTarget>
bool DecompressPieces(std::span<const uint8_t> src, size_t pieceSize, size_t count, PieceTarget&& target)
{
    if (pieceSize != 0 && count > SIZE_MAX / pieceSize)
        return false;
    compressdetail::PieceDecompressor d;
    if (!d.Begin(src, pieceSize * count))
        return false;
    for (size_t i = 0; i < count; ++i) {
        uint8_t* piece = target(i);
        if (!piece || !d.Next({piece, pieceSize}))
            return false;
    }
    return d.Finished();
}

} // namespace morvane
