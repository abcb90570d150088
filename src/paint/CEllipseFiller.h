#pragma once
// An ellipse in a box: its rows as crossing points of each integer row y,
// spans between the two crossings, edge ramps from the box's slopes.
#include <vector>

#include "paint/CFillMngr.h"

namespace morvane {

// An ellipse C + cos t u + sin t v through the ends p1, p2 of a diameter
// and the end p3 of its conjugate, as crossing points of every integer row
// (two, left first; one at a tangent). False when degenerate.
struct SEllipseRows {
    double cx = 0, cy = 0, halfHeight = 0;
    std::vector<PointF> points;
    bool Build(PointF p1, PointF p2, PointF p3);
};

class CEllipseFiller final : public CFillMngr {
public:
    // newGeometry: the edge slopes follow the whole ellipse's box, not the
    // box clipped to the layer.
    CEllipseFiller(int32_t layerWidth, int32_t layerHeight, bool newGeometry);
    // The ellipse in the box spanned by two corners.
    bool SetEllipse(PointF c1, PointF c2);
    int32_t Render(TChannel& target, Point origin) override;
    const SEllipseRows& Rows() const { return rows_; }

private:
    void SetSlopes();
    bool newGeometry_;
    ExtentRect slopeBox_{};
    SEllipseRows rows_;
};

} // namespace morvane
