#pragma once
// Expanding and contracting a selection: every output byte is the maximum
// (expand) or minimum (contract) of the input over an octagon of radius n,
// offsets (dx, dy) with |dy| <= n and |dx| <= min(n, n + h - |dy|),
// h = (n + 1) / 2; pixels outside the input count as 0. Radius 1 is the
// 3 x 3 square.
#include <cstdint>

#include "document/CMaskData.h"

namespace morvane {

inline constexpr int32_t kMaxGrowRadius = 32;

// The octagon filter of in over out.rect (already sized); false when
// memory runs out.
bool OctagonFilter(const SCoverage& in, int32_t n, bool expand, SCoverage& out);

// By one pixel. The current form grows the rectangle by one on each side
// where the mask's content touches its edge; the earlier form keeps it.
bool GrowByOne(const CMaskData& mask, bool expand, bool currentForm, SCoverage& out);
// By n pixels (1 ... 32) over the occupied rectangle grown by n; the growth
// stops at the canvas (width x height) on each side where the content lay
// inside it. False when the mask is empty or memory runs out.
bool GrowByN(const CMaskData& mask, int32_t n, bool expand, int32_t width, int32_t height, SCoverage& out);

} // namespace morvane
