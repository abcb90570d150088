#pragma once
// The document's composite drawn into a window image at the view's scale and
// rotation, over the invalidated rectangle only. Three walks: unrotated
// nearest (pixel replication at scales of 1 and more), unrotated area
// averaging below 1 when asked for, and rotated nearest. Every window pixel
// comes out opaque: outside the document grey 128; inside, pixels that are not
// opaque are flattened over white or over 8 x 8 window-pixel checker cells,
// unless the paper is opaque (its colour shows as it is); grid lines are
// blended over document pixel rows and columns.
// The window image is a TTC: rows bottom-up, as the GUI wraps it.
#include <cstdint>

#include "storage/Rect.h"
#include "storage/TMTC.h"
#include "view/CViewState.h"

namespace morvane {

class TPaper;

inline constexpr uint32_t kViewOutside = 0xFF808080u;
inline constexpr uint32_t kViewCheckerLight = 0xFFE0E0E0u;
inline constexpr uint32_t kViewCheckerDark = 0xFFC8C8C8u;

struct ViewSource {
    const TMTC* composite = nullptr;
    // The paper is opaque: the composite's colour is shown, its alpha unread.
    bool opaquePaper = true;
    bool checker = false;
    // Area averaging for unrotated scales below 1.
    bool areaAverage = false;
    bool grid = false;
    int32_t gridX = 25, gridY = 25;
    uint32_t gridColour = 0x80000000u;
};

// The paper's composite and flags. Its composite should be rendered without
// the grid: the view draws it, so it never reaches the thumbnails.
ViewSource ViewSourceOf(const TPaper& paper, bool areaAverage);

// window is sized to the client first (after a resize only the invalidated
// rectangle holds the new frame). False, nothing drawn, for a client or
// invalidated rectangle with no area, a missing composite or no memory.
bool RenderView(const CViewState& view, const ViewSource& source, TTC& window, const EdgeRect& invalid);

} // namespace morvane
