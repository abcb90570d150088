#pragma once
// The main window's status bar: the active view's zoom and angle, the
// tablet's state, type and coordinate mode, and one chosen document figure.
// A click on a panel opens its pop-up list with the current item checked.
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>

#include "app/CommandTable.h"

class QLabel;
class QMenu;

namespace morvane {

class CAppProfile;
class QtTabletSource;
class TMainForm;
class TPaper;

enum class StatusPanel : uint8_t { Zoom, Angle, Tablet, TabletType, TabletMode, Figure };
// What the figure panel shows, in the order of its pop-up list.
enum class StatusFigure : uint8_t { ImageSize, TotalMemory, LayerMemory, UndoMemory };
// A figure as the panel shows it (the information panel shows the same).
QString FigureText(StatusFigure figure, TPaper& paper);

class TStatusPanels final : public QObject {
public:
    static constexpr int kPanelCount = 6;

    // Adds the panels to the form's status bar. tablet may be null (the
    // settings ignore the tablet); its coordinate mode is set from the
    // settings here.
    TStatusPanels(TMainForm& form, CAppProfile& profile, QtTabletSource* tablet);

    // Every panel's text from the active window and the settings.
    void Refresh();
    QString Text(StatusPanel panel) const;
    QLabel* Panel(StatusPanel panel) const { return panels_[size_t(panel)]; }

    // The pop-up list, built afresh with the current item checked; it
    // replaces the previous one.
    QMenu* Popup(StatusPopup popup);
    // The item's choice; false, nothing changed, when the list is not
    // enabled now or the item is outside it.
    bool Choose(StatusPopup popup, int item);
    // The checked item; -1 when none matches (a scale between steps, a
    // free angle, no window).
    int Current(StatusPopup popup) const;
    bool Enabled(StatusPopup popup) const;

    // Pen input is taken while a tablet is there and the program is the
    // active application.
    bool TabletOpen() const;
    QtTabletSource* Tablet() const { return tablet_; }
    StatusFigure Figure() const { return figure_; }

private:
    void Clicked(StatusPanel panel);
    void ApplyTabletMode();

    TMainForm& form_;
    CAppProfile& profile_;
    QtTabletSource* tablet_;
    StatusFigure figure_ = StatusFigure::ImageSize;
    std::array<QLabel*, kPanelCount> panels_{};
    QPointer<QMenu> menu_;
};

} // namespace morvane
