#pragma once
// The named checks of the packet description (src/events/EventPackets.txt):
// the generated Failure() of each payload calls them by name.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "storage/SizeLimits.h"

namespace morvane {

struct PackedPixels;
struct PixelBlockPayload;
struct PixelBlockEnlargedPayload;

// Largest embedded tone pattern or nib bitmap, in pixels.
inline constexpr uint64_t kMaxEmbeddedPixels = uint64_t(16) << 20;

// Texts fit their field (at most maxLength bytes) and hold no zero byte.
bool IsStoredText(const std::string& text, size_t maxLength = 65533);

// A finite stroke or polygon coordinate, at most 2^20 pixels outside any canvas.
bool IsStreamCoordinate(float v);

// The first packedSize bytes of field uncompressed to exactly unpackedSize
// bytes (the caller has checked unpackedSize against its cap); false otherwise.
bool UnpackField(std::span<const uint8_t> field, uint64_t packedSize, uint64_t unpackedSize, std::vector<uint8_t>& out);

// Compressed pixels that unpack to exactly `pixels` bytes; with 0 pixels
// the record must be empty.
bool PackedPixelsHold(const PackedPixels& p, uint64_t pixels);

inline bool PictureSizeHolds(int64_t w, int64_t h) { return IsPictureSizeAllowed(w, h); }
inline bool StoreSizeHolds(int64_t w, int64_t h) { return IsStoreSizeAllowed(w, h); }
inline bool ImageSizeHolds(int64_t w, int64_t h) { return IsImageSizeAllowed(w, h); }
// The first layer of a new canvas: its sides, or 0 x 0 where the paint mode
// does not use them.
inline bool FirstLayerSizeHolds(int64_t w, int64_t h) { return (w == 0 && h == 0) || IsStoreSizeAllowed(w, h); }
inline bool EmbeddedSizeHolds(int64_t w, int64_t h)
{
    return w > 0 && h > 0 && uint64_t(w) * uint64_t(h) <= kMaxEmbeddedPixels;
}
bool EmbeddedToneHolds(int16_t kind, uint8_t bits, int32_t width, int32_t height, const PackedPixels& pattern);
bool CoverageHolds(const PixelBlockPayload& p);
bool CoverageHolds(const PixelBlockEnlargedPayload& p);

} // namespace morvane
