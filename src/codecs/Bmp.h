#pragma once
// BMP files: the 24-bit writer of screen buffers and the reader of BMP data
// held in memory (files and the clipboard). The full decoder of imported
// files is DecodeBmp in ImageDecoders.h.
#include <cstddef>
#include <cstdint>

namespace morvane {

class TMTC;

// Reads a BMP file held in memory; see the source for what is accepted.
bool LoadBmp(TMTC& image, const uint8_t* data, size_t size, int* dpiOut);
// Writes a 24-bit bottom-up BMP file; false on any failure (the old file stays).
bool SaveBmp24(const TMTC& image, const char* fileName, int dpi);

} // namespace morvane
