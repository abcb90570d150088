// Event files: writing and reading the compressed container of a 64 MiB
// recording against zstd on the same 64 KiB blocks at the same level, the
// floor of any container of compressed segments.
#include <zstd.h>

#include <cmath>
#include <memory>
#include <span>
#include <vector>

#include "BenchSupport.h"
#include "events/CMemSeg.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "storage/Compression.h"

namespace morvane::bench {
namespace {

constexpr int64_t kStreamBytes = int64_t(64) << 20;
constexpr size_t kBlock = size_t(CSegmentedStore::kDefaultSegmentSize);

void PutFloat(std::vector<uint8_t>& s, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i)
        s.push_back(uint8_t(bits >> (8 * i)));
}

// Strokes as a pen records them: a start packet, full point packets {17,16}
// and the closing {18,n}, the points wandering smoothly with the pressure;
// a DataBlock pads the stream to exactly 64 MiB.
std::vector<uint8_t> RecordedStrokes()
{
    std::vector<uint8_t> s;
    s.reserve(size_t(kStreamBytes));
    float x = 500, y = 400, angle = 0;
    uint32_t stroke = 0;
    constexpr size_t kLongestStroke = 6 + 40 * (2 + 16 * 12);
    while (s.size() + kLongestStroke + 6 <= size_t(kStreamBytes)) {
        s.insert(s.end(), {16, 0, 0, 0, 0, 0});
        const uint32_t points = 16 * (1 + stroke % 40) - stroke % 7;
        for (uint32_t i = 0; i < points; ++i) {
            if (i % 16 == 0) {
                const uint32_t left = points - i;
                s.push_back(left > 16 ? 17 : 18);
                s.push_back(uint8_t(left > 16 ? 16 : left));
            }
            angle += 0.05f + 0.01f * float(stroke % 5);
            x += 2.0f * std::cos(angle);
            y += 2.0f * std::sin(angle);
            PutFloat(s, x);
            PutFloat(s, y);
            PutFloat(s, 0.5f + 0.4f * std::sin(float(i) * 0.1f));
        }
        ++stroke;
    }
    const auto rest = uint32_t(size_t(kStreamBytes) - s.size() - 6);
    s.insert(s.end(), {1, 0, uint8_t(rest), uint8_t(rest >> 8), uint8_t(rest >> 16), 0});
    s.resize(size_t(kStreamBytes), 0);
    return s;
}

// A file in memory whose room is had once, as a memory-mapped file's would be.
class MemoryFile final : public ByteWriter {
public:
    explicit MemoryFile(size_t room) : bytes_(room) {}
    bool Write(const void* data, size_t size) override
    {
        if (size > bytes_.size() - position_)
            return false;
        std::memcpy(bytes_.data() + position_, data, size);
        position_ += size;
        return true;
    }
    uint64_t Position() const override { return position_; }
    void Rewind() { position_ = 0; }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

struct Recording {
    CSegmentedStore store;
    EventContainerInfo info;
    std::vector<uint8_t> file;
    bool ok = false;

    Recording()
    {
        const std::vector<uint8_t> bytes = RecordedStrokes();
        info.width = info.height = 1024;
        info.flags = kEventFlagInteractive;
        info.length = uint32_t(bytes.size());
        MemoryWriter out;
        ok = store.Append(bytes.data(), int64_t(bytes.size())) && WriteContainer(out, store, info) == EventFileCode::Ok;
        file = out.Bytes();
    }
};

const Recording& TheRecording()
{
    static const Recording recording;
    return recording;
}

void SaveContainer(benchmark::State& state)
{
    const Recording& r = TheRecording();
    MemoryFile out(r.file.size());
    TimeEach(state, kStreamBytes, [&] {
        out.Rewind();
        return r.ok && WriteContainer(out, r.store, r.info) == EventFileCode::Ok && out.Position() == r.file.size();
    });
}

void CompressBlocks(benchmark::State& state)
{
    const Recording& r = TheRecording();
    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
    std::vector<uint8_t> packed(ZSTD_compressBound(kBlock));
    TimeEach(state, kStreamBytes, [&] {
        for (int64_t offset = 0; offset < r.store.Position(); offset += int64_t(kBlock)) {
            const std::span<const uint8_t> block = r.store.PieceAt(offset);
            const size_t n = ZSTD_compressCCtx(context.get(), packed.data(), packed.size(), block.data(),
                                               block.size(), kCompressLevelEvents);
            if (ZSTD_isError(n))
                return false;
            benchmark::DoNotOptimize(packed.data());
        }
        return r.ok;
    });
}

void LoadContainer(benchmark::State& state)
{
    const Recording& r = TheRecording();
    CSegmentedStore store;
    StoreSink sink(store);
    TimeEach(state, kStreamBytes, [&] {
        MemoryReader in(r.file);
        EventContainerInfo info;
        return r.ok && ReadContainer(in, sink, info) == EventFileCode::Ok && store.Position() == kStreamBytes;
    });
}

// The blocks' compressed bytes, as the container holds them.
std::vector<std::span<const uint8_t>> PackedBlocks(const std::vector<uint8_t>& file)
{
    std::vector<std::span<const uint8_t>> blocks;
    for (size_t at = 56; at + 28 <= file.size(); at += 8 + le::U32(file.data() + at + 4))
        blocks.emplace_back(file.data() + at + 28, le::U32(file.data() + at + 16));
    return blocks;
}

void DecompressBlocks(benchmark::State& state)
{
    const Recording& r = TheRecording();
    const auto blocks = PackedBlocks(r.file);
    std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    std::vector<uint8_t> block(kBlock);
    TimeEach(state, kStreamBytes, [&] {
        for (std::span<const uint8_t> packed : blocks) {
            const size_t n = ZSTD_decompressDCtx(context.get(), block.data(), block.size(), packed.data(), packed.size());
            if (n != kBlock)
                return false;
            benchmark::DoNotOptimize(block.data());
        }
        return r.ok;
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(mevp_save_vs_zstd, SaveContainer, CompressBlocks);
MORVANE_FIGURE(mevp_load_vs_zstd, LoadContainer, DecompressBlocks);
