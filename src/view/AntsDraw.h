#pragma once
// Drawing the marching ants over a window image after the view is built:
// each edge point mapped through the view, a short run per point, black
// where the phase's bit for (x + y) mod 8 is set, white elsewhere.
#include "document/CAntPoints.h"
#include "storage/TMTC.h"
#include "view/CViewState.h"

namespace morvane {

// Pixels drawn; nothing for an outline without points.
int64_t DrawAnts(const CAntPoints& ants, const CViewState& view, TMTC& target, const EdgeRect& clip);

} // namespace morvane
