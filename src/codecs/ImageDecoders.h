#pragma once
// Decoders of the image files the program imports: BMP, PNG, JPEG and the
// merged image of a PSD file. Every decoder delivers a top-down 32-bit TMTC
// in blue, green, red, alpha order (alpha 255 where the format has none) and
// the file's resolution in dots per inch (0 when the file gives none).
//
// On success `out` holds the image; on any failure it holds none (released).
// Sizes past the limits are refused before anything is allocated.
#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/SizeLimits.h"

namespace morvane {

class TMTC;

enum class DecodeResult : int {
    Ok = 0,
    OpenFailed = 1,    // the file cannot be opened or read
    UnknownFormat = 2, // no decoder recognises the content
    Truncated = 3,     // the data ends before the image does
    Corrupt = 4,       // inconsistent or impossible headers or data
    Unsupported = 5,   // a valid variant this program does not read
    TooLarge = 6,      // the declared size is past the limits
    OutOfMemory = 7,
};

// The largest image a decoder accepts; the defaults are the layer store's limits.
struct DecodeLimits {
    int64_t maxSide = kMaxStoreSide;
    int64_t maxPixels = kMaxImagePixels;
};

// True when width x height is at least 1 x 1 and within the limits.
bool DecodeSizeAllowed(int64_t width, int64_t height, const DecodeLimits& limits);

// round(ppm x 2.54 / 100 + 0.41): the resolution files give in pixels per metre,
// as dots per inch. 0 for a resolution of 0 or below.
int DpiFromPixelsPerMetre(int64_t pixelsPerMetre);

// Reads the file (a UTF-8 path) and picks the decoder by the content's signature.
DecodeResult DecodeImageFile(const std::string& utf8Path, TMTC& out, int* dpiOut,
                             const DecodeLimits& limits = {});
DecodeResult DecodeImageMemory(const uint8_t* data, size_t size, TMTC& out, int* dpiOut,
                               const DecodeLimits& limits = {});

DecodeResult DecodeBmp(const uint8_t* data, size_t size, TMTC& out, int* dpiOut,
                       const DecodeLimits& limits = {});
DecodeResult DecodePng(const uint8_t* data, size_t size, TMTC& out, int* dpiOut,
                       const DecodeLimits& limits = {});
DecodeResult DecodeJpeg(const uint8_t* data, size_t size, TMTC& out, int* dpiOut,
                        const DecodeLimits& limits = {});
DecodeResult DecodePsd(const uint8_t* data, size_t size, TMTC& out, int* dpiOut,
                       const DecodeLimits& limits = {});

// The preview of the open dialog: the PSD's merged image scaled down by area
// averaging so that its longer side is at most sizeWanted (an image that
// already fits comes back unscaled). sizeWanted must be at least 1.
DecodeResult DecodePsdPreview(const uint8_t* data, size_t size, int32_t sizeWanted, TMTC& out,
                              const DecodeLimits& limits = {});
DecodeResult DecodePsdPreviewFile(const std::string& utf8Path, int32_t sizeWanted, TMTC& out,
                                  const DecodeLimits& limits = {});

} // namespace morvane
