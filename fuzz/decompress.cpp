// Compressed blocks from documents, presets and event files. The first four
// bytes (little-endian) give the length the record would promise, capped so a
// run never allocates much; the rest is the block. Decompress must either
// refuse or give exactly that many bytes, and whatever it accepts must survive
// a round trip through our own compressor.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "storage/Compression.h"

using namespace morvane;

namespace {

constexpr uint32_t kMaxExpected = 1u << 20;

void RoundTripOrDie(std::span<const uint8_t> bytes)
{
    MemoryCompressSink sink;
    if (!Compress(bytes, sink, kCompressLevelEvents) || sink.CompressedBytes() != sink.Data().size())
        std::abort();
    std::vector<uint8_t> back(bytes.size());
    if (!Decompress(sink.Data(), back) || !std::equal(back.begin(), back.end(), bytes.begin()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const uint32_t promised = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                              uint32_t(data[3]) << 24;
    std::vector<uint8_t> target(promised % (kMaxExpected + 1));
    const std::span<const uint8_t> block(data + 4, size - 4);
    if (Decompress(block, target))
        RoundTripOrDie(target);
    // The compressor must take any bytes at all.
    if (block.size() <= 64 * 1024)
        RoundTripOrDie(block);
    return 0;
}
