#include "view/ViewScroll.h"

#include <algorithm>
#include <cmath>

#include "storage/FixedPoint.h"

namespace morvane {

namespace {

ScrollAxis AxisOf(double lo, double hi, int32_t client)
{
    // The span covers the document and the client both, so a document in
    // sight leaves nothing to scroll and one out of sight can be reached.
    const double first = std::min(lo, 0.0), last = std::max(hi, double(client));
    ScrollAxis axis;
    axis.page = client;
    axis.maximum = std::max(truncSat(std::ceil(last - first)) - client, 0);
    axis.value = std::clamp(truncSat(std::floor(-first)), 0, axis.maximum);
    return axis;
}

} // namespace

ViewScroll ScrollOf(const CViewState& view)
{
    const double w = view.DocumentWidth(), h = view.DocumentHeight();
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    // Pixel edges lie half a pixel off the centres.
    for (double x : {-0.5, w - 0.5})
        for (double y : {-0.5, h - 0.5}) {
            const DocPoint p = view.DocumentToWindow({x, y});
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
    if (!std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) || !std::isfinite(maxY))
        return {};
    return {AxisOf(minX, maxX, view.ClientWidth()), AxisOf(minY, maxY, view.ClientHeight())};
}

} // namespace morvane
