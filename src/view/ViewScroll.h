#pragma once
// The scroll bars of a document window: the document (a turned view: its
// bounding box) and the client together span the range, the client's place
// in that span is the value, and moving a bar is a scroll by the change.
#include <cstdint>

#include "view/CViewState.h"

namespace morvane {

struct ScrollAxis {
    int32_t maximum = 0; // 0: everything is in sight
    int32_t page = 0;
    int32_t value = 0;
};

struct ViewScroll {
    ScrollAxis x, y;
};

ViewScroll ScrollOf(const CViewState& view);

} // namespace morvane
