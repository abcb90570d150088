// What a document window shows of the tools: the cursor of the current
// operation, the nib's outline at the pointer (with the "BrushGhost"
// setting, and always while the brush size is dragged) and the scroll bars.
#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>

#include <cmath>

#include "input/ToolState.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "view/OutlineDraw.h"
#include "view/ViewScroll.h"

namespace morvane {

namespace {

// The precise cursor: a thin cross with an open centre, white edged with black.
QCursor PreciseCursor()
{
    static const QCursor cursor = [] {
        QPixmap pixmap(21, 21);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::black), 1}}) {
            p.setPen(QPen(colour, width));
            p.drawLine(10, 0, 10, 7);
            p.drawLine(10, 13, 10, 20);
            p.drawLine(0, 10, 7, 10);
            p.drawLine(13, 10, 20, 10);
        }
        return QCursor(pixmap, 10, 10);
    }();
    return cursor;
}

QCursor StandardCursor(Operation op)
{
    switch (op.toolClass) {
    case ToolClass::View:
        return op.sub == kViewHand ? Qt::OpenHandCursor : op.sub == kViewRotate ? Qt::SizeAllCursor : Qt::SizeHorCursor;
    case ToolClass::ColourPicker: return Qt::PointingHandCursor;
    case ToolClass::Freehand:
    case ToolClass::Zoom:
    default: return Qt::CrossCursor;
    }
}

} // namespace

void TDrawWindow::StartTools()
{
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    hbar_->setObjectName(QStringLiteral("hScroll"));
    vbar_->setObjectName(QStringLiteral("vScroll"));
    hbar_->hide();
    vbar_->hide();
    const auto scrolled = [this](bool horizontal, int value) {
        if (placingBars_)
            return;
        const ViewScroll s = ScrollOf(view_);
        if (horizontal)
            port_.ScrollBy(value - s.x.value, 0);
        else
            port_.ScrollBy(0, value - s.y.value);
    };
    connect(hbar_, &QScrollBar::valueChanged, this, [scrolled](int v) { scrolled(true, v); });
    connect(vbar_, &QScrollBar::valueChanged, this, [scrolled](int v) { scrolled(false, v); });
    toolListener_ = tools_.Listen([this](uint32_t changes) { ToolChanged(changes); });
    ToolChanged(toolchange::kOperation | toolchange::kParams);
}

void TDrawWindow::SetPreferences(const WindowPreferences& preferences)
{
    prefs_ = preferences;
    PlaceClient();
    UpdateCursor();
    UpdateGhost();
    update();
}

void TDrawWindow::ToolChanged(uint32_t changes)
{
    if (changes & (toolchange::kOperation | toolchange::kParams))
        ghost_.SetNib(tools_.Param());
    UpdateCursor();
    UpdateGhost();
}

void TDrawWindow::UpdateCursor()
{
    const Operation op = tools_.Current();
    const bool drawing = op.toolClass == ToolClass::Freehand;
    if (drawing && !prefs_.cursorFile.empty()) {
        // A picture Qt cannot read leaves the standard cursor.
        const QPixmap picture(QString::fromStdString(prefs_.cursorFile));
        if (!picture.isNull()) {
            setCursor(QCursor(picture, picture.width() / 2, picture.height() / 2));
            return;
        }
    }
    setCursor((drawing ? prefs_.drawCursor : prefs_.otherCursor) == 1 ? PreciseCursor() : StandardCursor(op));
}

// ---- the outline ----

void TDrawWindow::PointerMoved()
{
    pointerInside_ = true;
    UpdateGhost();
    if (pointerMoved)
        pointerMoved();
}

void TDrawWindow::leaveEvent(QEvent* event)
{
    pointerInside_ = false;
    UpdateGhost();
    QWidget::leaveEvent(event);
}

void TDrawWindow::UpdateGhost()
{
    if (!router_)
        return;
    const std::optional<PointD> sizing = router_->BrushSizeDrag();
    const bool freehand = tools_.Current().toolClass == ToolClass::Freehand;
    const bool show = paper_->Ready && !Playing() && (sizing || (prefs_.brushGhost && freehand && pointerInside_));
    const PointD at = sizing ? *sizing : router_->LastWindowPoint();
    const DocPoint centre{at.x, at.y};
    const EdgeRect box = show ? ghost_.Box(view_, centre, prefs_.ghostCentre) : EdgeRect{};
    if (show == ghostShown_ && box == ghostBox_ && centre.x == ghostAt_.x && centre.y == ghostAt_.y)
        return;
    // Only the rows around the old and the new outline are drawn again, not
    // the whole box of a large one.
    std::vector<EdgeRect> bands = show ? ghost_.Bands(view_, centre, prefs_.ghostCentre) : std::vector<EdgeRect>{};
    for (const EdgeRect& r : BrushGhost::MoveBands(ghostBands_, bands))
        UpdateDeviceRect(r);
    ghostShown_ = show && !box.IsEmpty();
    ghostBox_ = box;
    ghostBands_ = std::move(bands);
    ghostAt_ = centre;
}

void TDrawWindow::UpdateDeviceRect(const EdgeRect& r)
{
    const double d = Dpr();
    if (!r.IsEmpty())
        update(QRect(QPoint(int(std::floor(r.left / d)), int(std::floor(r.top / d))),
                     QPoint(int(std::ceil(r.right / d)), int(std::ceil(r.bottom / d)))));
}

void TDrawWindow::DrawGhost(const EdgeRect& area)
{
    EdgeRect inside;
    if (ghostShown_ && Intersect(area, ghostBox_, inside))
        ghost_.Draw(image_, inside, view_, ghostAt_, prefs_.ghostCentre);
}

// ---- the outline of a selection or move gesture ----

std::vector<DocPoint> TDrawWindow::OutlinePoints() const
{
    std::vector<DocPoint> points;
    for (const PointD& p : router_->Outline().points)
        points.push_back({p.x, p.y});
    return points;
}

void TDrawWindow::OutlineChanged()
{
    // A dragged selection moves all of its ants.
    const Point offset = paper_->Masks().Ants.Offset;
    if (!(offset == antsOffset_)) {
        antsOffset_ = offset;
        update();
    }
    UpdateDeviceRect(outlineBox_);
    outlineBox_ = OutlineBox(OutlinePoints(), view_);
    UpdateDeviceRect(outlineBox_);
}

void TDrawWindow::DrawToolOutline(const EdgeRect& area)
{
    const ToolOutline& outline = router_->Outline();
    if (!outline.Empty())
        DrawOutline(OutlinePoints(), outline.closed, paper_->Masks().Ants.Phase(), view_, image_, area);
}

// ---- the client and its scroll bars ----

void TDrawWindow::PlaceClient()
{
    const int bar = prefs_.scrollBars ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    if (hbar_) {
        hbar_->setVisible(prefs_.scrollBars);
        vbar_->setVisible(prefs_.scrollBars);
        hbar_->setGeometry(0, height() - bar, std::max(width() - bar, 0), bar);
        vbar_->setGeometry(width() - bar, 0, bar, std::max(height() - bar, 0));
    }
    // The document point at the window's centre stays there.
    const bool hadClient = view_.ClientWidth() > 0 && view_.ClientHeight() > 0 && !fitPending_;
    const DocPoint kept =
        view_.WindowToDocument({double(view_.ClientWidth() / 2), double(view_.ClientHeight() / 2)});
    const double d = Dpr();
    view_.SetClient(int32_t(std::lround(std::max(width() - bar, 0) * d)),
                    int32_t(std::lround(std::max(height() - bar, 0) * d)));
    if (hadClient && !view_.Rotated()) {
        const DocPoint now = view_.DocumentToWindow(kept);
        const long dx = std::lround(now.x - view_.ClientWidth() / 2), dy = std::lround(now.y - view_.ClientHeight() / 2);
        if (dx || dy)
            port_.ScrollBy(int(dx), int(dy));
    }
    UpdateScrollBars();
}

void TDrawWindow::UpdateScrollBars()
{
    if (!prefs_.scrollBars || !hbar_)
        return;
    const ViewScroll s = ScrollOf(view_);
    placingBars_ = true;
    for (const auto& [bar, axis] : {std::pair{hbar_, s.x}, std::pair{vbar_, s.y}}) {
        bar->setRange(0, axis.maximum);
        bar->setPageStep(axis.page);
        bar->setSingleStep(std::max(axis.page / 20, 1));
        bar->setValue(axis.value);
    }
    placingBars_ = false;
}

} // namespace morvane
