#include "events/PacketChecks.h"

#include <cmath>

#include "events/EventPayloads.h"
#include "storage/Compression.h"

namespace morvane {

bool IsStoredText(const std::string& text, size_t maxLength)
{
    return text.size() <= maxLength && text.find('\0') == std::string::npos;
}

bool IsStreamCoordinate(float v)
{
    constexpr float kReach = float((int64_t(1) << 20) + kMaxStoreSide);
    return std::isfinite(v) && v >= -kReach && v <= kReach;
}

bool UnpackField(std::span<const uint8_t> field, uint64_t packedSize, uint64_t unpackedSize, std::vector<uint8_t>& out)
{
    if (packedSize > field.size() || !IsFrameOf(field.first(size_t(packedSize)), size_t(unpackedSize)))
        return false;
    out.assign(size_t(unpackedSize), 0);
    return Decompress(field.first(size_t(packedSize)), out);
}

bool PackedPixelsHold(const PackedPixels& p, uint64_t pixels)
{
    if (pixels == 0)
        return p.unpackedSize == 0 && p.packedSize == 0;
    // The frame's own header must promise exactly the pixels; what it holds
    // is unpacked only when used, and must then come out to that size.
    return p.unpackedSize == pixels && p.unpackedSize <= kMaxEmbeddedPixels && p.packedSize <= p.field.size() &&
           IsFrameOf(std::span(p.field).first(size_t(p.packedSize)), size_t(p.unpackedSize));
}

bool EmbeddedToneHolds(int16_t kind, uint8_t bits, int32_t width, int32_t height, const PackedPixels& pattern)
{
    // A generated tone carries no pattern; only a bitmap pattern has pixels and sides.
    if (kind == 1)
        return PackedPixelsHold(pattern, 0);
    return kind == 0 && bits == 8 && EmbeddedSizeHolds(width, height) &&
           PackedPixelsHold(pattern, uint64_t(width) * uint64_t(height));
}

namespace {

// The coverage rectangle lies inside the layer and unpacks to its size.
template <class P>
bool CoverageInside(const P& p)
{
    if (!IsImageSizeAllowed(p.snapWidth, p.snapHeight))
        return false;
    if (p.left < 0 || p.top < 0 || int64_t(p.left) + p.snapWidth > p.width || int64_t(p.top) + p.snapHeight > p.height)
        return false;
    if (p.packedSize < 0 || p.fieldSize != ((uint64_t(p.packedSize) + 1) & ~uint64_t(1)))
        return false;
    // The frame's header must promise the rectangle; it is unpacked when used.
    return p.unpackedSize >= 0 && int64_t(p.unpackedSize) == int64_t(p.snapWidth) * p.snapHeight &&
           uint64_t(p.packedSize) <= p.field.size() &&
           IsFrameOf(std::span(p.field).first(size_t(p.packedSize)), size_t(p.unpackedSize));
}

} // namespace

bool CoverageHolds(const PixelBlockPayload& p) { return CoverageInside(p); }
bool CoverageHolds(const PixelBlockEnlargedPayload& p) { return CoverageInside(p); }

} // namespace morvane
