#pragma once
// The geometry of a filter's preview pane: its zoom range, the slider that
// puts 100 % in its middle, and which part of the layer the pane shows.
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

inline constexpr int32_t kPaneMaxZoom = 1600;

// The smallest zoom: 100 %, or less when the whole layer must fit the pane.
int32_t PaneMinZoom(int32_t layerW, int32_t layerH, int32_t paneW, int32_t paneH);

// The slider position (in [min, max]) of a zoom percentage, and back. Below
// 100 % and above it get half of the slider each: with b = min / 100,
// c = max / 100, d = (c - 1) / (1 - b), e = b d, a zoom factor a lies at
// (a d - e) / (a (d - 1) + c - e) of the way. A minimum of 100 % is linear.
double ZoomToTrack(double zoom, double minZoom, double maxZoom);
double TrackToZoom(double track, double minZoom, double maxZoom);

// The part of the layer a pane of paneW x paneH shows at zoom, centred on
// centre (layer coordinates) and kept inside the layer, and the size it is
// drawn at.
struct PaneView {
    EdgeRect view{};
    int32_t scaledW = 0, scaledH = 0;
};
PaneView PaneViewAt(int32_t layerW, int32_t layerH, int32_t paneW, int32_t paneH, double zoom, Point centre);

} // namespace morvane
