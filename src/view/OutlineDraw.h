#pragma once
// The outline of a tool gesture over a window image (a selection shape
// being drawn, a layer being moved): dashed lines between points given in
// canvas pixel-edge coordinates, black and white as the ants are.
#include <span>

#include "storage/TMTC.h"
#include "view/CViewState.h"

namespace morvane {

// Pixels drawn inside clip; with closed the last point joins the first.
int64_t DrawOutline(std::span<const DocPoint> points, bool closed, uint8_t phase, const CViewState& view,
                    TMTC& target, const EdgeRect& clip);
// The window rectangle the outline covers (empty for no points).
EdgeRect OutlineBox(std::span<const DocPoint> points, const CViewState& view);

} // namespace morvane
