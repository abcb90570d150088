#include "gui/DrawViewPort.h"

#include <cmath>

#include "storage/Rect.h"
#include "storage/FixedPoint.h"

namespace morvane {

bool DrawViewPort::ZoomStep(bool in, PointD anchor)
{
    const DocPoint at{anchor.x, anchor.y};
    if (!(in ? view_.ZoomIn(at) : view_.ZoomOut(at)))
        return false;
    Changed();
    return true;
}

bool DrawViewPort::ZoomByPoints(int points, PointD anchor)
{
    const int32_t percent = roundSat(view_.ScaleValue() * 100.0) + points;
    const ScaleRatio before = view_.Scale();
    if (percent <= 0 || !view_.ZoomAt({percent, 100}, {anchor.x, anchor.y}) || view_.Scale() == before)
        return false;
    Changed();
    return true;
}

void DrawViewPort::ScrollBy(int dx, int dy)
{
    if (view_.Rotated()) {
        const DocPoint c = view_.WindowToDocument(
            {double(view_.ClientWidth() / 2 + dx), double(view_.ClientHeight() / 2 + dy)});
        view_.SetRotationCentre(c);
    } else {
        restX_ += dx / view_.ScaleValue();
        restY_ += dy / view_.ScaleValue();
        const int32_t mx = truncSat(restX_), my = truncSat(restY_);
        restX_ -= mx, restY_ -= my;
        const Point doc = view_.DocumentAnchor();
        view_.SetAnchors(view_.WindowAnchor(), {doc.x + mx, doc.y + my});
    }
    Changed();
}

double DrawViewPort::Rotation() const
{
    if (!view_.Rotated())
        return 0.0;
    const double clockwise = 360.0 - view_.Angle();
    return clockwise >= 360.0 ? clockwise - 360.0 : clockwise;
}

void DrawViewPort::SetRotation(double clockwise)
{
    if (view_.SetRotation(-clockwise))
        Changed();
}

PointD DrawViewPort::WindowToDocument(PointD window) const
{
    const DocPoint d = view_.WindowToDocument({window.x, window.y});
    return {d.x, d.y};
}

void DrawViewPort::Changed()
{
    if (changed)
        changed();
}

} // namespace morvane
