#pragma once
// What the pen renderer asks of the document for each pixel it paints: a
// selection mask or a screen tone scales the paint's alpha, a gradation
// supplies the colour. The document hands them over at stroke start. They are
// asked a row span at a time, so the renderer's pixel loop makes no calls.
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

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

} // namespace morvane
