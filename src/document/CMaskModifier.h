#pragma once
// The selection as the pen renderer reads it: the mask's coverage in the
// coordinates of the layer's store, handed over at stroke start.
#include "document/CMaskData.h"
#include "paint/PaintHooks.h"

namespace morvane {

class CMaskModifier final : public AlphaModifier {
public:
    // The mask (not owned; it must outlive the stroke) over a layer whose
    // store holds canvas (0, 0) at origin.
    void Aim(const CMaskData& mask, Point origin);
    EdgeRect Extent() const override;
    void Row(int32_t x, int32_t y, int32_t count, uint8_t* out) const override;

private:
    const CMaskData* mask_ = nullptr;
    Point origin_{};
};

} // namespace morvane
