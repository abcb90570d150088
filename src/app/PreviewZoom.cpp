#include "app/PreviewZoom.h"

#include <algorithm>
#include <cmath>

namespace morvane {

int32_t PaneMinZoom(int32_t layerW, int32_t layerH, int32_t paneW, int32_t paneH)
{
    if (layerW <= 0 || layerH <= 0 || paneW <= 0 || paneH <= 0)
        return 100;
    const double fit = std::min(100.0 * paneW / layerW, 100.0 * paneH / layerH);
    return std::clamp(int32_t(std::floor(fit)), 1, 100);
}

double ZoomToTrack(double zoom, double minZoom, double maxZoom)
{
    const double b = minZoom / 100, c = maxZoom / 100, a = zoom / 100;
    double p;
    if (b >= 1 || c <= b) {
        p = c > b ? (a - b) / (c - b) : 0;
    } else {
        const double d = (c - 1) / (1 - b), e = b * d;
        p = (a * d - e) / (a * (d - 1) + (c - e));
    }
    return minZoom + std::clamp(p, 0.0, 1.0) * (maxZoom - minZoom);
}

double TrackToZoom(double track, double minZoom, double maxZoom)
{
    const double b = minZoom / 100, c = maxZoom / 100;
    if (maxZoom <= minZoom)
        return minZoom;
    const double p = std::clamp((track - minZoom) / (maxZoom - minZoom), 0.0, 1.0);
    if (b >= 1)
        return 100 * (b + p * (c - b));
    const double d = (c - 1) / (1 - b), e = b * d;
    return 100 * (e + p * (c - e)) / (d - p * (d - 1));
}

PaneView PaneViewAt(int32_t layerW, int32_t layerH, int32_t paneW, int32_t paneH, double zoom, Point centre)
{
    PaneView v;
    v.scaledW = std::clamp(int32_t(std::lround(layerW * zoom / 100)), 1, std::max(1, paneW));
    v.scaledH = std::clamp(int32_t(std::lround(layerH * zoom / 100)), 1, std::max(1, paneH));
    const int32_t w = std::clamp(int32_t(std::lround(v.scaledW * 100 / zoom)), 1, std::max(1, layerW));
    const int32_t h = std::clamp(int32_t(std::lround(v.scaledH * 100 / zoom)), 1, std::max(1, layerH));
    const int32_t left = std::clamp(centre.x - w / 2, 0, std::max(0, layerW - w));
    const int32_t top = std::clamp(centre.y - h / 2, 0, std::max(0, layerH - h));
    v.view = {left, top, left + w, top + h};
    return v;
}

} // namespace morvane
