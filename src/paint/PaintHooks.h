#pragma once
// What the pen renderer asks of the document for each pixel it paints: a
// selection mask or a screen tone scales the paint's alpha, a gradation
// supplies the colour. The document hands them over at stroke start. They are
// asked a row span at a time, so the renderer's pixel loop makes no calls.
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

class TMTC;

class AlphaModifier {
public:
    virtual ~AlphaModifier() = default;
    // Layer pixels that carry a value; everything outside reads 0.
    virtual EdgeRect Extent() const = 0;
    // Values (0-255) of the count pixels from (x, y) to the right, all
    // inside Extent().
    virtual void Row(int32_t x, int32_t y, int32_t count, uint8_t* out) const = 0;
};

class ColourSource {
public:
    virtual ~ColourSource() = default;
    // Colours (with alpha) of the count layer pixels from (x, y) to the right.
    virtual void Row(int32_t x, int32_t y, int32_t count, uint32_t* out) const = 0;
};

// The pen renderer's per-pixel chain as the pencil rebuild uses it, a row
// span (at most kRowSpan pixels) at a time, so no call is made per pixel.
class RowChain {
public:
    static constexpr int32_t kRowSpan = 256;
    virtual ~RowChain() = default;
    // Mask and tone as chosen at stroke start, then the normal final write
    // of one colour; alpha is changed on the way.
    virtual void ChainRow(TMTC& image, int32_t x, int32_t y, int32_t count, uint8_t* alpha,
                          uint32_t colour) const = 0;
    // The normal final write alone, one colour per pixel.
    virtual void WriteRow(TMTC& image, int32_t x, int32_t y, int32_t count, const uint8_t* alpha,
                          const uint32_t* colours) const = 0;
};

} // namespace morvane
