#pragma once
// Image files read as pictures or layers: the reader is chosen by the
// name's extension, the content decides the decoder (a PNG named .jpg
// opens, as other painting programs do), and the file's alpha is kept.
#include <cstdint>
#include <string>

#include "codecs/ImageDecoders.h"

namespace morvane {

class TMTC;

// The resolution a picture gets when the file gives none (or one outside
// 1-10000, which no real file means).
inline constexpr int kDefaultImageDpi = 72;

// Decodes path into out; dpiOut (when given) receives the file's
// resolution. A name whose extension is no image type fails at once with
// UnknownFormat; sizes past the limits fail before anything is allocated.
DecodeResult LoadImageFile(const std::string& path, TMTC& out, int* dpiOut, const DecodeLimits& limits = {});

// The message callers that load images for their own use show.
std::string ImageLoadFailedMessage(const std::string& path);

} // namespace morvane
