#pragma once
// What a filter routine is given for one call: the layer store it writes,
// the layer's pixels as they were before the run, where to work and how
// much of each pixel the selection lets through. Built on the stack for
// each call; a routine keeps nothing of it.
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

class CBlockVMTC;

// The selection's coverage (0..255) of n layer pixels from (x, y) to the
// right, written to out. One call per row piece, so no pixel pays an
// indirect call.
class CoverageRows {
public:
    virtual ~CoverageRows() = default;
    virtual void Row(int32_t x, int32_t y, int32_t n, uint8_t* out) const = 0;
};

struct FilterContext {
    CBlockVMTC* target = nullptr;
    uint8_t blendMode = 0;
    int32_t layerX = 0, layerY = 0;
    bool protect = false;
    // Null while no selection is active: every pixel is covered (255).
    const CoverageRows* coverage = nullptr;
    EdgeRect bounds{};
    const CBlockVMTC* backup = nullptr;
    // The part of bounds this call processes.
    EdgeRect work{};

    bool IsValid() const;
};

} // namespace morvane
