#pragma once
// A polygon by the even-odd rule, rows sampled at their centres, edges
// ramped by their slopes; no vertical antialiasing.
#include <vector>

#include "paint/CFillMngr.h"

namespace morvane {

class CPolygonFiller final : public CFillMngr {
public:
    CPolygonFiller(int32_t layerWidth, int32_t layerHeight);
    // False for fewer than three points, a point that is not finite, or a
    // polygon that misses the layer.
    bool SetPolygon(const PointF* points, int32_t count);
    int32_t Render(TChannel& target, Point origin) override;

private:
    struct Edge {
        float x, slope;
        int32_t key;
    };
    void AddEdge(int32_t key, int32_t r);
    std::vector<PointF> vertices_;
    std::vector<int32_t> sorted_;
    std::vector<Edge> active_;
};

} // namespace morvane
