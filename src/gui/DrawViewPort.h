#pragma once
// The input's view of a document window: zoom, scroll and rotation carried
// out on the window's CViewState, with a callback for the repaint.
#include <functional>

#include "input/ViewPort.h"
#include "view/CViewState.h"

namespace morvane {

class DrawViewPort final : public ViewPort {
public:
    explicit DrawViewPort(CViewState& view) : view_(view) {}

    double Scale() const override { return view_.ScaleValue(); }
    bool ZoomStep(bool in, PointD anchor) override;
    bool ZoomByPoints(int points, PointD anchor) override;
    void ScrollBy(int dx, int dy) override;
    // The view keeps its angle anticlockwise; the input turns clockwise on
    // screen, as a drag around the centre reads in window coordinates.
    double Rotation() const override;
    void SetRotation(double clockwise) override;
    PointD WindowToDocument(PointD window) const override;
    int ClientWidth() const override { return view_.ClientWidth(); }
    int ClientHeight() const override { return view_.ClientHeight(); }

    // The view moved: the whole window is drawn again.
    std::function<void()> changed;

private:
    void Changed();

    CViewState& view_;
    // Scrolling at scales above 1 moves the integer anchors by less than a
    // document pixel; the rest is kept for the next move.
    double restX_ = 0, restY_ = 0;
};

} // namespace morvane
