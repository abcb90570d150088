#include "events/EventPayloadsState.h"

#include <algorithm>
#include <cmath>

#include "storage/Compression.h"
#include "storage/SizeLimits.h"

namespace morvane {

bool PenColourPayload::Validate() const { return colour <= 0xFFFFFF && std::isfinite(density); }

bool PenRadiusPayload::Validate() const
{
    return std::isfinite(radius) && radius >= 0.1f && radius <= 200.0f && std::isfinite(minimumPercent);
}

bool PenEffectsPayload::Validate() const
{
    return std::isfinite(effect1) && std::isfinite(effect2) && std::isfinite(effect3) && std::isfinite(gamma) &&
           std::isfinite(spacing);
}

bool PackedPixels::Validate(uint64_t pixels) const
{
    if (fieldSize != ((uint64_t(packedSize) + 1) & ~uint64_t(1)) || field.size() != fieldSize)
        return false;
    if (pixels == 0)
        return unpackedSize == 0 && packedSize == 0;
    // The frame's own header must promise exactly the pixels; what it holds
    // is unpacked only when used, and must then come out to that size.
    return unpackedSize == pixels && unpackedSize <= kMaxEmbeddedPixels &&
           IsFrameOf(std::span(field).first(packedSize), unpackedSize);
}

bool UnpackField(std::span<const uint8_t> field, uint64_t packedSize, uint64_t unpackedSize, std::vector<uint8_t>& out)
{
    if (packedSize > field.size() || !IsFrameOf(field.first(size_t(packedSize)), size_t(unpackedSize)))
        return false;
    out.assign(size_t(unpackedSize), 0);
    return Decompress(field.first(size_t(packedSize)), out);
}

bool IsStreamCoordinate(float v)
{
    constexpr float kReach = float((int64_t(1) << 20) + kMaxStoreSide);
    return std::isfinite(v) && v >= -kReach && v <= kReach;
}

bool PackedPixels::Unpack(std::vector<uint8_t>& out) const
{
    return unpackedSize <= kMaxEmbeddedPixels && UnpackField(field, packedSize, unpackedSize, out);
}

bool PackedPixels::Pack(std::span<const uint8_t> pixels)
{
    MemoryCompressSink sink;
    if (pixels.size() > kMaxEmbeddedPixels || !Compress(pixels, sink, kCompressLevelEvents))
        return false;
    const std::span<const uint8_t> packed = sink.Data();
    unpackedSize = uint32_t(pixels.size());
    packedSize = uint32_t(packed.size());
    fieldSize = (packedSize + 1) & ~1u;
    field.assign(packed.begin(), packed.end());
    field.resize(fieldSize, 0);
    return true;
}

namespace {

// Sides of an embedded pattern or bitmap: both positive, at most 16 Mi pixels.
bool IsEmbeddedSize(int32_t width, int32_t height)
{
    return width > 0 && height > 0 && uint64_t(width) * uint64_t(height) <= kMaxEmbeddedPixels;
}

} // namespace

bool EmbeddedTonePayload::Validate() const
{
    if (nameLength > kNameField || nameField.size() != kNameField || unusedAttributes.size() != kUnusedAttributes)
        return false;
    // A generated tone carries no pattern; only a bitmap pattern has pixels and sides.
    if (kind == 1)
        return pattern.Validate(0);
    return kind == 0 && bits == 8 && IsEmbeddedSize(width, height) &&
           pattern.Validate(uint64_t(width) * uint64_t(height));
}

std::string EmbeddedTonePayload::Name() const
{
    const size_t n = std::min<size_t>(nameLength, nameField.size());
    return std::string(nameField.begin(), nameField.begin() + std::ptrdiff_t(n));
}

bool EmbeddedTonePayload::SetName(const std::string& name)
{
    if (name.size() > kNameField)
        return false;
    nameField.assign(kNameField, 0);
    std::copy(name.begin(), name.end(), nameField.begin());
    nameLength = uint16_t(name.size());
    return true;
}

bool GradationColoursPayload::Validate() const
{
    return length >= kSlotSize && length <= kSlotSize * kMaxSlots && length % kSlotSize == 0 &&
           colourSlots.size() == length;
}

bool EmbeddedNibPayload::Validate() const
{
    return IsEmbeddedSize(width, height) && bitmap.Validate(uint64_t(width) * uint64_t(height));
}

bool ImageBlockPayload::Validate() const
{
    if (bits != 32 || hasPlacement > 1 || nameField % 2 != 0 || !IsImageSizeAllowed(width, height))
        return false;
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
    const uint64_t placed = hasPlacement == 1 ? kPlacementSize : 0;
    return pixelBytes == bytes && pixels.size() == bytes && length == placed + nameField + bytes &&
           (hasPlacement == 0 || placement.size() == kPlacementSize) && IsStoredText(name) &&
           (name.empty() || name.size() < nameField);
}

void ImageBlockPayload::Seal()
{
    if (hasPlacement == 1)
        placement.resize(kPlacementSize, 0);
    nameField = uint16_t(name.empty() ? 0 : StringFieldSize(name.size()));
    pixelBytes = uint32_t(pixels.size());
    length = uint32_t((hasPlacement == 1 ? kPlacementSize : 0) + nameField + pixels.size());
}

} // namespace morvane
