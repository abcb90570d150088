#include "gui/TStatusPanels.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>

#include <cmath>
#include <functional>

#include "app/CAppProfile.h"
#include "document/CUndoMngr.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "platform/qt/QtTabletSource.h"
#include "storage/FixedPoint.h"
#include "view/CViewState.h"

namespace morvane {

namespace {

constexpr int kQuarter = 90;
constexpr int kPanelMargin = 16;

class PanelLabel final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> clicked;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && clicked)
            clicked();
    }
};

QString ItemText(StatusPopup popup, int item)
{
    const std::string_view text = StatusPopupItems(popup)[size_t(item)];
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

int StepIndex(ScaleRatio scale)
{
    for (size_t i = 0; i < kScaleSteps.size(); ++i)
        if (kScaleSteps[i] == scale)
            return int(i);
    return -1;
}

// A scale between the steps as its percentage, like the items: at most two
// decimals, no trailing zeros.
QString PercentText(double scale)
{
    QString text = QString::number(scale * 100.0, 'f', 2);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text + u'%';
}

QString KiloBytes(int64_t bytes) { return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024); }

// The pop-up a panel opens; the tablet panel has none.
bool PopupOf(StatusPanel panel, StatusPopup& popup)
{
    switch (panel) {
    case StatusPanel::Zoom: popup = StatusPopup::Zoom; return true;
    case StatusPanel::Angle: popup = StatusPopup::Rotation; return true;
    case StatusPanel::TabletType: popup = StatusPopup::TabletType; return true;
    case StatusPanel::TabletMode: popup = StatusPopup::TabletMode; return true;
    case StatusPanel::Figure: popup = StatusPopup::StatusDisplay; return true;
    case StatusPanel::Tablet: return false;
    }
    return false;
}

} // namespace

QString FigureText(StatusFigure figure, TPaper& paper)
{
    switch (figure) {
    case StatusFigure::ImageSize: return QStringLiteral("%1 × %2").arg(paper.Width).arg(paper.Height);
    case StatusFigure::TotalMemory: return KiloBytes(paper.MemoryUsed().total);
    case StatusFigure::LayerMemory: return KiloBytes(paper.MemoryUsed().layers);
    case StatusFigure::UndoMemory: return KiloBytes(paper.MemoryUsed().undo);
    }
    return {};
}

TStatusPanels::TStatusPanels(TMainForm& form, CAppProfile& profile, QtTabletSource* tablet)
    : QObject(&form), form_(form), profile_(profile), tablet_(tablet)
{
    for (int i = 0; i < kPanelCount; ++i) {
        auto* label = new PanelLabel(form.statusBar());
        label->setObjectName(QStringLiteral("statusPanel%1").arg(i));
        label->setMinimumWidth(64);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::StyledPanel);
        label->clicked = [this, i] { Clicked(StatusPanel(i)); };
        form.statusBar()->addPermanentWidget(label);
        panels_[size_t(i)] = label;
    }
    // The tablet is in use only while the program is the active application.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this] { Refresh(); });
    ApplyTabletMode();
    Refresh();
}

bool TStatusPanels::TabletOpen() const
{
    return tablet_ && tablet_->TabletPresent() &&
           QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void TStatusPanels::ApplyTabletMode()
{
    if (tablet_)
        tablet_->SetCoordinateMode(profile_.config.DrawToolMode ? QtTabletSource::CoordinateMode::Tablet
                                                                : QtTabletSource::CoordinateMode::Os);
}

QString TStatusPanels::Text(StatusPanel panel) const
{
    TDrawWindow* window = form_.ActiveDrawWindow();
    switch (panel) {
    case StatusPanel::Zoom: {
        if (!window)
            return {};
        const int step = StepIndex(window->View().Scale());
        return step >= 0 ? ItemText(StatusPopup::Zoom, step) : PercentText(window->View().ScaleValue());
    }
    case StatusPanel::Angle:
        return window ? QStringLiteral("%1°").arg(roundSat(window->ViewAngle()) % 360) : QString();
    case StatusPanel::Tablet: return TabletOpen() ? QStringLiteral("On") : QStringLiteral("Off");
    case StatusPanel::TabletType: return QStringLiteral("タブレット %1").arg(profile_.config.tabletType + 1);
    case StatusPanel::TabletMode:
        return profile_.config.DrawToolMode ? QStringLiteral("タブレット座標") : QStringLiteral("OS 座標");
    case StatusPanel::Figure: return window ? FigureText(figure_, window->Paper()) : QString();
    }
    return {};
}

void TStatusPanels::Refresh()
{
    for (int i = 0; i < kPanelCount; ++i) {
        QLabel* label = panels_[size_t(i)];
        const QString text = Text(StatusPanel(i));
        if (label->text() == text)
            continue;
        label->setText(text);
        // Panels only grow, so the bar does not jump while figures change.
        const int wanted = label->fontMetrics().horizontalAdvance(text) + kPanelMargin;
        if (wanted > label->minimumWidth())
            label->setMinimumWidth(wanted);
    }
}

int TStatusPanels::Current(StatusPopup popup) const
{
    TDrawWindow* window = form_.ActiveDrawWindow();
    switch (popup) {
    case StatusPopup::Zoom: return window ? StepIndex(window->View().Scale()) : -1;
    case StatusPopup::Rotation: {
        if (!window)
            return -1;
        const double angle = window->ViewAngle();
        return std::fmod(angle, double(kQuarter)) == 0.0 ? int(angle) / kQuarter : -1;
    }
    case StatusPopup::TabletType: return profile_.config.tabletType;
    case StatusPopup::TabletMode: return profile_.config.DrawToolMode ? 1 : 0;
    case StatusPopup::StatusDisplay: return int(figure_);
    }
    return -1;
}

bool TStatusPanels::Enabled(StatusPopup popup) const
{
    switch (popup) {
    case StatusPopup::Zoom:
    case StatusPopup::Rotation: return form_.ActiveDrawWindow() != nullptr;
    case StatusPopup::TabletType:
    case StatusPopup::TabletMode: return TabletOpen();
    case StatusPopup::StatusDisplay: return true;
    }
    return false;
}

bool TStatusPanels::Choose(StatusPopup popup, int item)
{
    if (!Enabled(popup) || item < 0 || size_t(item) >= StatusPopupItems(popup).size())
        return false;
    TDrawWindow* window = form_.ActiveDrawWindow();
    switch (popup) {
    case StatusPopup::Zoom: window->SetZoom(kScaleSteps[size_t(item)]); break;
    case StatusPopup::Rotation: window->SetViewAngle(item * kQuarter); break;
    // The type only chose a driver's queue handling; kept for the settings.
    case StatusPopup::TabletType: profile_.config.tabletType = item; break;
    case StatusPopup::TabletMode:
        profile_.config.DrawToolMode = item == 1;
        ApplyTabletMode();
        break;
    case StatusPopup::StatusDisplay: figure_ = StatusFigure(item); break;
    }
    Refresh();
    return true;
}

QMenu* TStatusPanels::Popup(StatusPopup popup)
{
    if (menu_)
        menu_->deleteLater();
    menu_ = new QMenu(&form_);
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    const int current = Current(popup);
    const bool enabled = Enabled(popup);
    for (int i = 0; i < int(StatusPopupItems(popup).size()); ++i) {
        QAction* action = menu_->addAction(ItemText(popup, i));
        action->setCheckable(true);
        action->setChecked(i == current);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, popup, i] { Choose(popup, i); });
    }
    return menu_;
}

void TStatusPanels::Clicked(StatusPanel panel)
{
    StatusPopup popup;
    if (!PopupOf(panel, popup)) {
        Refresh();
        return;
    }
    QMenu* menu = Popup(popup);
    const QLabel* label = Panel(panel);
    menu->popup(label->mapToGlobal(QPoint(0, -menu->sizeHint().height())));
}

} // namespace morvane
