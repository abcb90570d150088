#include "storage/Compression.h"

#include <zstd.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/MemoryBudget.h"

namespace morvane {

namespace {

// Frame header descriptor bit that says a content checksum ends the frame.
constexpr uint8_t kChecksumFlag = 0x04;

struct CompressState {
    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context{ZSTD_createCCtx(), ZSTD_freeCCtx};
    std::vector<uint8_t> chunk = std::vector<uint8_t>(ZSTD_CStreamOutSize());
};

// Contexts are reused: setting one up costs more than compressing a small record.
CompressState& CompressorOfThread()
{
    thread_local CompressState state;
    return state;
}

ZSTD_DCtx* DecompressorOfThread()
{
    thread_local std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context{ZSTD_createDCtx(), ZSTD_freeDCtx};
    return context.get();
}

bool Configure(ZSTD_CCtx* context, uint64_t srcSize, int level)
{
    const int clamped = level < 1 ? 1 : level > ZSTD_maxCLevel() ? ZSTD_maxCLevel() : level;
    return !ZSTD_isError(ZSTD_CCtx_reset(context, ZSTD_reset_session_and_parameters)) &&
           !ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, clamped)) &&
           !ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1)) &&
           !ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(context, srcSize));
}

uint32_t ReadLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

// Exactly one standard frame with its content size and checksum, nothing after
// it: what Compress writes. Anything else (legacy or skippable frames, foreign
// formats) is refused before the decoder sees it.
bool IsFrameOf(std::span<const uint8_t> src, size_t expected)
{
    if (src.size() < 5 || ReadLE32(src.data()) != ZSTD_MAGICNUMBER || !(src[4] & kChecksumFlag))
        return false;
    return ZSTD_findFrameCompressedSize(src.data(), src.size()) == src.size() &&
           ZSTD_getFrameContentSize(src.data(), src.size()) == expected;
}

MemoryCompressSink::~MemoryCompressSink() { FreeBlock(data_, capacity_); }

bool MemoryCompressSink::Grow(size_t needed)
{
    size_t capacity = capacity_ ? capacity_ : kInitialCapacity;
    while (capacity < needed) {
        if (capacity > SIZE_MAX / 2)
            return false;
        capacity *= 2;
    }
    auto* grown = static_cast<uint8_t*>(AllocBlock(capacity));
    if (!grown)
        return false;
    if (size_)
        std::memcpy(grown, data_, size_);
    FreeBlock(data_, capacity_);
    data_ = grown;
    capacity_ = capacity;
    return true;
}

bool MemoryCompressSink::Append(std::span<const uint8_t> bytes)
{
    if (bytes.size() > SIZE_MAX - size_)
        return false;
    if (size_ + bytes.size() > capacity_ && !Grow(size_ + bytes.size()))
        return false;
    if (!bytes.empty())
        std::memcpy(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
    return true;
}

bool CallbackCompressSink::Append(std::span<const uint8_t> bytes)
{
    return write_ && write_(bytes.data(), 1, bytes.size(), user_) == bytes.size();
}

bool Compress(std::span<const uint8_t> src, CompressSink& sink, int level)
{
    sink.compressedBytes_ = 0;
    CompressState& state = CompressorOfThread();
    if (!state.context || !Configure(state.context.get(), src.size(), level))
        return false;
    sink.Begin();
    ZSTD_inBuffer in{src.data(), src.size(), 0};
    uint64_t written = 0;
    size_t remaining;
    do {
        ZSTD_outBuffer out{state.chunk.data(), state.chunk.size(), 0};
        remaining = ZSTD_compressStream2(state.context.get(), &out, &in, ZSTD_e_end);
        if (ZSTD_isError(remaining) || (out.pos && !sink.Append({state.chunk.data(), out.pos})))
            return false;
        written += out.pos;
    } while (remaining != 0);
    sink.compressedBytes_ = written;
    return true;
}

bool Decompress(std::span<const uint8_t> src, std::span<uint8_t> dst)
{
    if (!IsFrameOf(src, dst.size()))
        return false;
    ZSTD_DCtx* context = DecompressorOfThread();
    if (!context)
        return false;
    uint8_t none = 0; // the decoder wants a valid pointer even for no output
    const size_t produced =
        ZSTD_decompressDCtx(context, dst.empty() ? &none : dst.data(), dst.size(), src.data(), src.size());
    return !ZSTD_isError(produced) && produced == dst.size();
}

void ConfigureImageLibrary(uint32_t, uint32_t) {}

namespace compressdetail {

bool PieceDecompressor::Begin(std::span<const uint8_t> src, size_t expected)
{
    src_ = src;
    used_ = 0;
    lastHint_ = 1;
    ZSTD_DCtx* context = DecompressorOfThread();
    return context && IsFrameOf(src, expected) &&
           !ZSTD_isError(ZSTD_DCtx_reset(context, ZSTD_reset_session_only));
}

bool PieceDecompressor::Next(std::span<uint8_t> piece)
{
    ZSTD_DCtx* context = DecompressorOfThread();
    ZSTD_outBuffer out{piece.data(), piece.size(), 0};
    while (out.pos < out.size) {
        ZSTD_inBuffer in{src_.data(), src_.size(), used_};
        const size_t before = out.pos;
        const size_t hint = ZSTD_decompressStream(context, &out, &in);
        const bool progressed = in.pos != used_ || out.pos != before;
        used_ = in.pos;
        lastHint_ = hint;
        // An error, a frame that ended early, or one that stalls without input.
        if (ZSTD_isError(hint) || (hint == 0 && out.pos < out.size) || !progressed)
            return false;
    }
    return true;
}

bool PieceDecompressor::Finished() const
{
    if (lastHint_ == 0)
        return used_ == src_.size();
    // The frame's last bytes (its checksum) may still be unread.
    ZSTD_DCtx* context = DecompressorOfThread();
    uint8_t none = 0;
    ZSTD_outBuffer out{&none, 0, 0};
    ZSTD_inBuffer in{src_.data(), src_.size(), used_};
    const size_t hint = ZSTD_decompressStream(context, &out, &in);
    return !ZSTD_isError(hint) && hint == 0 && in.pos == src_.size();
}

} // namespace compressdetail

} // namespace morvane
