#pragma once
// Pictures written as image files other programs read: 24-bit BMP, PNG
// (alpha when the image has it, the resolution as pHYs) and JPEG with the
// options of its dialog. Every file goes through AtomicFile: a failed
// export leaves the old file as it was. The encoders' error jumps end in
// the C functions that set them; they never cross a C++ object.
#include <cstdint>
#include <string>
#include <vector>

#include "files/ResultCodes.h"

namespace morvane {

class TMTC;

enum class ExportFormat : uint8_t { None, Bmp, Png, Jpeg };

struct JpegOptions {
    static constexpr int kMinQuality = 10, kMaxQuality = 100, kDefaultQuality = 75;
    int quality = kDefaultQuality; // 10-100
    int smoothing = 0;             // 0-100
    bool greyscale = false;
    bool progressive = false;
};

// By the name's extension: .bmp, the JPEG group, .png; None for any other.
ExportFormat ExportFormatOf(const std::string& path);

// The encoders into memory; false when the library failed (nothing is kept).
// PNG writes the alpha channel when withAlpha, else colour only.
bool EncodePng(const TMTC& image, int dpi, bool withAlpha, std::vector<uint8_t>& out);
bool EncodeJpeg(const TMTC& image, int dpi, const JpegOptions& options, std::vector<uint8_t>& out);

// Writes image as path's format. A PNG keeps the alpha when withAlpha; BMP
// and JPEG never carry alpha (the caller flattens). Ok, CannotOpen (no
// temporary file in the folder), ShortWrite (an encoder or a write failed),
// NoMemory, Format (no image, or a name of no export format).
WriteCode ExportImage(const TMTC& image, const std::string& path, int dpi, bool withAlpha,
                      const JpegOptions& options = {});

} // namespace morvane
