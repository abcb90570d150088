#include <QMdiArea>
#include <QMdiSubWindow>

#include <cmath>

#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "storage/FixedPoint.h"

namespace morvane {

void TDrawWindow::SetZoom(ScaleRatio to)
{
    if (view_.ZoomAt(to, {double(view_.ClientWidth() / 2), double(view_.ClientHeight() / 2)}))
        ViewMoved();
}

double TDrawWindow::ViewAngle() const
{
    return port_.Rotation();
}

void TDrawWindow::SetViewAngle(double clockwise)
{
    port_.SetRotation(clockwise);
}

bool TDrawWindow::SetCanvasColourMode(bool on) { return paper_->SetPaperMode(on, paper_->CheckerTransparency); }
bool TDrawWindow::CanvasColourMode() const { return paper_->OpaquePaper; }
bool TDrawWindow::SetCheckerMode(bool on) { return paper_->SetPaperMode(paper_->OpaquePaper, on); }
bool TDrawWindow::CheckerMode() const { return paper_->CheckerTransparency; }

bool TDrawWindow::SetGrid(const ViewGrid& grid)
{
    grid_ = grid;
    update();
    return true;
}

bool TDrawWindow::SetAreaAverage(bool on)
{
    areaAverage_ = on;
    update();
    return true;
}

ViewSource TDrawWindow::Source() const
{
    ViewSource source = ViewSourceOf(*paper_, areaAverage_);
    source.grid = grid_.on;
    source.gridX = grid_.x;
    source.gridY = grid_.y;
    source.gridColour = grid_.colour;
    return source;
}

void TDrawWindow::SizeWindowToView()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub || sub->isMinimized())
        return;
    if (sub->isMaximized())
        sub->showNormal();
    // The shown document (rotated: its bounding box) in logical pixels.
    const double s = view_.ScaleValue() / Dpr(), c = std::abs(view_.Cos()), n = std::abs(view_.Sin());
    const int32_t w = view_.DocumentWidth(), h = view_.DocumentHeight();
    const QSize client(truncSat(std::ceil((c * w + n * h) * s)), truncSat(std::ceil((n * w + c * h) * s)));
    QSize outer = client + (sub->size() - size());
    if (QMdiArea* area = sub->mdiArea())
        outer = outer.boundedTo(area->viewport()->size());
    sub->resize(outer);
    // The whole document in sight: from its corner, or centred when rotated.
    if (view_.Rotated())
        view_.SetRotationCentre({(w - 1) / 2.0, (h - 1) / 2.0});
    else
        view_.SetAnchors({0, 0}, {0, 0});
    ViewMoved();
}

void TDrawWindow::CentreOn(DocPoint point)
{
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
        return;
    if (view_.Rotated())
        view_.SetRotationCentre(point);
    else
        view_.SetAnchors({view_.ClientWidth() / 2, view_.ClientHeight() / 2},
                         {truncSat<int32_t>(std::round(point.x)), truncSat<int32_t>(std::round(point.y))});
    ViewMoved();
}

void TDrawWindow::ViewMoved()
{
    update();
    UpdateScrollBars();
    UpdateGhost();
    if (viewChanged)
        viewChanged();
}

} // namespace morvane
