#pragma once
// The one place that says how large things from outside may be. Every
// allocation whose size comes from a file, an event, the clipboard or the
// settings is checked here first.
#include <cstdint>

namespace morvane {

// A picture (document) side.
inline constexpr int64_t kMaxPictureSide = 10000;
// A layer or mask store side: 16.16 coordinates of a store must not overflow.
inline constexpr int64_t kMaxStoreSide = 32767;
// A flat image decoded from a file or the clipboard: its pixels are allocated at once.
inline constexpr int64_t kMaxImagePixels = int64_t(1) << 28;

constexpr bool SidesWithin(int64_t width, int64_t height, int64_t maxSide)
{
    return width >= 1 && height >= 1 && width <= maxSide && height <= maxSide;
}

constexpr bool IsPictureSizeAllowed(int64_t width, int64_t height)
{
    return SidesWithin(width, height, kMaxPictureSide);
}

// Block stores cost memory only for the blocks that hold something, so only
// their sides are limited: an empty 20000 x 20000 layer is allowed.
constexpr bool IsStoreSizeAllowed(int64_t width, int64_t height)
{
    return SidesWithin(width, height, kMaxStoreSide);
}

constexpr bool IsImageSizeAllowed(int64_t width, int64_t height)
{
    return SidesWithin(width, height, kMaxStoreSide) && width * height <= kMaxImagePixels;
}

} // namespace morvane
