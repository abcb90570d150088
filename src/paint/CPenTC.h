#pragma once
// A pick-up patch: a square of the colour image taken around a dab centre,
// which spread and fingertip put down again at a later dab, so paint travels
// along the stroke. Pixels outside the image are its edge pixels repeated.
#include "storage/TMTC.h"

namespace morvane {

class CPenTC : public TMTC {
public:
    // Half side of a patch that holds every dab box of the half extents rx,
    // ry (16.16) put down around the patch centre: the larger one rounded up,
    // plus room for the box's rounding outwards and the centre's fraction.
    static int32_t HalfSizeFor(int32_t radiusX, int32_t radiusY);

    // Copies the patch of the dab at (x, y) with half extents (rx, ry), all
    // 16.16, centred on the centre's integer parts (floor), large enough for
    // dabs of half extent `reach` as well. False, and no patch, when the
    // image is empty or the memory cannot be had.
    bool Pick(const TMTC& image, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t reach = 0);
    void Reset() { picked_ = false; }
    bool Picked() const { return picked_; }

    // Whether a dab box put down around the integer centre (cx, cy) lies
    // wholly within the patch.
    bool Covers(const EdgeRect& box, int32_t cx, int32_t cy) const;
    // The patch pixel at offset (dx, dy) from its centre; Covers first.
    const uint32_t* RowAt(int32_t dx, int32_t dy) const { return PixelPtr(dx + hx, dy + hy); }

    int32_t originX = 0, originY = 0; // top-left of the patch in the image
    float centreX = 0, centreY = 0;   // the picked dab centre
    int32_t hx = 0, hy = 0;           // half sides
    float radiusX = 0, radiusY = 0;   // the picked dab's half extents
    float fracX = 0, fracY = 0;       // fractional parts of the centre

private:
    bool picked_ = false;
};

} // namespace morvane
