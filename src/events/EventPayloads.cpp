#include "events/EventPayloads.h"

#include <algorithm>

#include "storage/Compression.h"
#include "storage/ModeCount.h"
#include "storage/SizeLimits.h"

namespace morvane {

// The description gives blend-mode fields the range 0..21.
static_assert(kModeCount == 22, "EventPackets.txt's mode ranges follow the mode count");

namespace {

// The compressed bytes of `pixels` in a field rounded up to even.
bool PackInto(std::span<const uint8_t> pixels, uint64_t cap, std::vector<uint8_t>& field, uint32_t& packedSize)
{
    MemoryCompressSink sink;
    if (pixels.size() > cap || !Compress(pixels, sink, kCompressLevelEvents))
        return false;
    packedSize = uint32_t(sink.Data().size());
    field.assign(sink.Data().begin(), sink.Data().end());
    field.resize((packedSize + 1) & ~1u, 0);
    return true;
}

template <class P>
bool UnpackCoverageOf(const P& p, std::vector<uint8_t>& coverage)
{
    if (p.unpackedSize < 0 || int64_t(p.unpackedSize) != int64_t(p.snapWidth) * p.snapHeight || p.packedSize < 0)
        return false;
    return UnpackField(p.field, uint64_t(p.packedSize), uint64_t(p.unpackedSize), coverage);
}

template <class P>
bool PackCoverageOf(P& p, std::span<const uint8_t> coverage)
{
    uint32_t packed = 0;
    if (!PackInto(coverage, uint64_t(kMaxImagePixels), p.field, packed))
        return false;
    p.unpackedSize = int32_t(coverage.size());
    p.packedSize = int32_t(packed);
    p.fieldSize = uint32_t(p.field.size());
    return true;
}

} // namespace

bool UnpackPixels(const PackedPixels& p, std::vector<uint8_t>& out)
{
    return p.unpackedSize <= kMaxEmbeddedPixels && UnpackField(p.field, p.packedSize, p.unpackedSize, out);
}

bool PackPixels(PackedPixels& p, std::span<const uint8_t> pixels)
{
    if (!PackInto(pixels, kMaxEmbeddedPixels, p.field, p.packedSize))
        return false;
    p.unpackedSize = uint32_t(pixels.size());
    p.fieldSize = uint32_t(p.field.size());
    return true;
}

std::string ToneName(const EmbeddedTonePayload& tone)
{
    const size_t n = std::min<size_t>(tone.nameLength, tone.nameField.size());
    return std::string(tone.nameField.begin(), tone.nameField.begin() + std::ptrdiff_t(n));
}

bool SetToneName(EmbeddedTonePayload& tone, const std::string& name)
{
    if (name.size() > tone.nameField.size())
        return false;
    tone.nameField.fill(0);
    std::copy(name.begin(), name.end(), tone.nameField.begin());
    tone.nameLength = uint16_t(name.size());
    return true;
}

void SealImageBlock(ImageBlockPayload& image)
{
    constexpr size_t kPlacementSize = 72;
    if (image.hasPlacement == 1)
        image.placement.resize(kPlacementSize, 0);
    image.nameField = uint16_t(image.name.empty() ? 0 : StringFieldSize(image.name.size()));
    image.pixelBytes = uint32_t(image.pixels.size());
    image.length = uint32_t((image.hasPlacement == 1 ? kPlacementSize : 0) + image.nameField + image.pixels.size());
}

bool UnpackCoverage(const PixelBlockPayload& p, std::vector<uint8_t>& coverage) { return UnpackCoverageOf(p, coverage); }
bool UnpackCoverage(const PixelBlockEnlargedPayload& p, std::vector<uint8_t>& coverage)
{
    return UnpackCoverageOf(p, coverage);
}
bool PackCoverage(PixelBlockPayload& p, std::span<const uint8_t> coverage) { return PackCoverageOf(p, coverage); }
bool PackCoverage(PixelBlockEnlargedPayload& p, std::span<const uint8_t> coverage)
{
    return PackCoverageOf(p, coverage);
}

} // namespace morvane
