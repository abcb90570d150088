// The main window's panels: the tool dock (tool buttons above the event
// panel) on the left, the option, colour and brush-list docks stacked on the
// right, their Window menu commands, and the layout kept in the settings.
#include <QDockWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "app/CAppProfile.h"
#include "input/InputRouter.h"
#include "gui/TBrushListPanel.h"
#include "gui/TColourPanel.h"
#include "gui/TDrawWindow.h"
#include "gui/TEventLogPanel.h"
#include "gui/TEventPanel.h"
#include "gui/TInfoPanel.h"
#include "gui/TLayerPanel.h"
#include "gui/TLoupePanel.h"
#include "gui/TMaskPanel.h"
#include "gui/TNavigatorPanel.h"
#include "gui/TMainForm.h"
#include "gui/TOptionPanel.h"
#include "gui/TToolPanel.h"
#include "gui/ToolIcons.h"

namespace morvane {

namespace {

// The docking views of the settings, by their place in the value table.
constexpr int kOptionView = 0, kNavigatorView = 1, kInfoView = 2, kColorView = 3, kBrushListView = 5, kLayerView = 6,
              kMaskView = 7;

// Whether a floating panel can still be reached on some screen.
bool OnSomeScreen(const QRect& frame)
{
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(frame))
            return true;
    return false;
}

} // namespace

QDockWidget* TMainForm::AddDock(const QString& title, const QString& name, QWidget* panel, Qt::DockWidgetArea area)
{
    auto* dock = new QDockWidget(title, this);
    dock->setObjectName(name);
    dock->setWidget(panel);
    // Shown and hidden by its command only, so the setting follows the user.
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    addDockWidget(area, dock, Qt::Vertical);
    return dock;
}

void TMainForm::AddPanels()
{
    UseToolIconTheme();
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    toolPanel_ = new TToolPanel(tools_, column);
    toolPanel_->choose = [this](const ToolItem& item) { ChooseTool(item); };
    toolPanel_->stepNext = [this] { return profile_.config.ToolFindNext; };
    toolPanel_->AddKeys(*this);
    layout->addWidget(toolPanel_);
    eventPanel_ = new TEventPanel(*this, column);
    layout->addWidget(eventPanel_);
    layout->addStretch();
    toolDock_ = AddDock(QStringLiteral("ツール"), QStringLiteral("toolDock"), column, Qt::LeftDockWidgetArea);

    optionPanel_ = new TOptionPanel(tools_, this);
    optionDock_ = AddDock(QStringLiteral("オプション"), QStringLiteral("optionDock"), optionPanel_,
                          Qt::RightDockWidgetArea);
    colourPanel_ = new TColourPanel(tools_, this);
    colourPanel_->cellExchange = [this] { return profile_.config.CellExchange; };
    colourDock_ = AddDock(QStringLiteral("カラー"), QStringLiteral("colourDock"), colourPanel_, Qt::RightDockWidgetArea);
    brushPanel_ = new TBrushListPanel(tools_, profile_.window.BrushListType, this);
    brushDock_ = AddDock(QStringLiteral("ブラシリスト"), QStringLiteral("brushListDock"), brushPanel_,
                         Qt::RightDockWidgetArea);
    layerPanel_ = new TLayerPanel(*this, profile_.window.LayerListType, this);
    layerDock_ = AddDock(QStringLiteral("レイヤ"), QStringLiteral("layerDock"), layerPanel_, Qt::RightDockWidgetArea);
    maskPanel_ = new TMaskPanel(*this, profile_.window.MaskListType, this);
    maskDock_ = AddDock(QStringLiteral("マスク"), QStringLiteral("maskDock"), maskPanel_, Qt::RightDockWidgetArea);
    navigatorPanel_ = new TNavigatorPanel(*this, this);
    navigatorDock_ = AddDock(QStringLiteral("ナビゲータ"), QStringLiteral("navigatorDock"), navigatorPanel_,
                             Qt::LeftDockWidgetArea);
    infoPanel_ = new TInfoPanel(*this, this);
    infoDock_ = AddDock(QStringLiteral("情報"), QStringLiteral("infoDock"), infoPanel_, Qt::LeftDockWidgetArea);
    loupePanel_ = new TLoupePanel(*this, this);
    loupeDock_ = AddDock(QStringLiteral("ルーペ"), QStringLiteral("loupeDock"), loupePanel_, Qt::LeftDockWidgetArea);
    eventLogPanel_ = new TEventLogPanel(*this, this);
    eventLogDock_ = AddDock(QStringLiteral("イベントログ"), QStringLiteral("eventLogDock"), eventLogPanel_,
                            Qt::RightDockWidgetArea);
    // Shown on request only: the settings keep no flag of their own.
    loupeDock_->hide();
    eventLogDock_->hide();
    defaultLayout_ = saveState();
    RestoreLayout();
}

void TMainForm::DefinePanelCommands()
{
    const auto toggle = [this](const char* name, QDockWidget* TMainForm::*dock) {
        Handle(name, [this, dock] { ShowDock(this->*dock, (this->*dock)->isHidden()); },
               [this, dock] { return (this->*dock) && !(this->*dock)->isHidden(); });
    };
    toggle("actShowToolBox", &TMainForm::toolDock_);
    toggle("actShowCtrlWindow", &TMainForm::optionDock_);
    toggle("actShowColorWindow", &TMainForm::colourDock_);
    toggle("actShowPenMtdList", &TMainForm::brushDock_);
    toggle("actShowLayerWindow", &TMainForm::layerDock_);
    toggle("actShowSelectWindow", &TMainForm::maskDock_);
    toggle("actShowPreviewWindow", &TMainForm::navigatorDock_);
    toggle("ActShowInfomationView", &TMainForm::infoDock_);
    toggle("ActShowLoupeWindow", &TMainForm::loupeDock_);
    toggle("ActShowEventView", &TMainForm::eventLogDock_);
    Handle("actWindowInitAllPos", [this] { ResetLayout(); });
}

void TMainForm::ShowDock(QDockWidget* dock, bool shown)
{
    if (!dock)
        return;
    dock->setVisible(shown);
    KeepDockFlags();
}

// The settings' own visible flags and sizes, beside the toolkit's layout.
void TMainForm::KeepDockFlags()
{
    CAppProfile::Window& w = profile_.window;
    w.ToolFormVisible = !toolDock_->isHidden();
    const std::pair<int, QDockWidget*> views[] = {
        {kOptionView, optionDock_},       {kNavigatorView, navigatorDock_}, {kInfoView, infoDock_},
        {kColorView, colourDock_},        {kBrushListView, brushDock_},     {kLayerView, layerDock_},
        {kMaskView, maskDock_}};
    for (const auto& [index, dock] : views) {
        ViewPlacement& view = w.views[index];
        view.Visible = !dock->isHidden();
        view.Width = dock->width();
        view.Height = dock->height();
    }
}

void TMainForm::RestoreLayout()
{
    const QByteArray state = QByteArray::fromBase64(QByteArray::fromStdString(profile_.window.DockLayout));
    if (!state.isEmpty() && restoreState(state)) {
        for (QDockWidget* dock : Docks())
            if (dock->isFloating() && !OnSomeScreen(dock->frameGeometry())) {
                restoreState(defaultLayout_);
                break;
            }
    }
    const CAppProfile::Window& w = profile_.window;
    toolDock_->setVisible(w.ToolFormVisible);
    optionDock_->setVisible(w.views[kOptionView].Visible);
    colourDock_->setVisible(w.views[kColorView].Visible);
    brushDock_->setVisible(w.views[kBrushListView].Visible);
    layerDock_->setVisible(w.views[kLayerView].Visible);
    maskDock_->setVisible(w.views[kMaskView].Visible);
    navigatorDock_->setVisible(w.views[kNavigatorView].Visible);
    infoDock_->setVisible(w.views[kInfoView].Visible);
    // The loupe has no place in the settings' table: the layout keeps it.
}

void TMainForm::ResetLayout()
{
    restoreState(defaultLayout_);
    for (QDockWidget* dock : Docks()) {
        dock->setFloating(false);
        dock->show();
    }
    KeepDockFlags();
}

void TMainForm::SaveLayout()
{
    if (!toolDock_)
        return;
    KeepDockFlags();
    profile_.window.DockLayout = saveState().toBase64().toStdString();
}

std::vector<QDockWidget*> TMainForm::Docks() const
{
    return {toolDock_,      optionDock_, colourDock_, brushDock_, layerDock_, maskDock_, navigatorDock_, infoDock_,
            loupeDock_, eventLogDock_};
}

void TMainForm::PointerMovedOver(TDrawWindow& window)
{
    if (&window != ActiveDrawWindow())
        return;
    if (infoPanel_ && !infoDock_->isHidden())
        infoPanel_->RequestRefresh();
    if (loupePanel_ && !loupeDock_->isHidden())
        loupePanel_->Refresh();
}

void TMainForm::ChooseTool(const ToolItem& item)
{
    // A running gesture ends before the tool changes under it.
    for (TDrawWindow* window : DrawWindows())
        window->Input().LosePointer();
    ChooseItem(tools_, item);
}

} // namespace morvane
