#pragma once
// The event panel of the tool dock: pause, stop and step buttons, a menu
// with the same commands and the playback speeds, and the progress bar of
// the active document window. Every button and item runs the main window's
// command of the same meaning and mirrors its enabled and checked state.
#include <QGroupBox>

#include <utility>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;
class QVBoxLayout;

namespace morvane {

class TDrawWindow;
class TGraphicProgressBar;
class TMainForm;

class TEventPanel final : public QGroupBox {
public:
    explicit TEventPanel(TMainForm& form, QWidget* parent = nullptr);

    // Title, buttons and menu from the main window's commands, and the
    // progress of the active window; run after the commands were updated.
    void Refresh();
    // window's last progress figures, or an idle bar without a replay.
    void ShowProgress(const TDrawWindow* window);

    TGraphicProgressBar* Bar() const { return bar_; }
    QMenu* Menu() const { return menu_; }
    QSlider* StepSlider() const { return slider_; }
    QLabel* StepLabel() const { return stepLabel_; }

private:
    QToolButton* AddButton(const char* objectName, const char* command);
    void BuildMenu();
    void RunCommand(const char* command);
    // The slider and its buttons: the replay's steps, the new canvas being 1.
    void BuildSteps(QVBoxLayout* layout);
    void ShowSteps(const TDrawWindow* window);
    void ShowStepText(int step);
    void SeekTo(int step);

    TMainForm& form_;
    TGraphicProgressBar* bar_;
    QToolButton* pause_ = nullptr;
    QMenu* menu_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* stepLabel_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* first_ = nullptr;
    // Buttons and menu items with the command whose state they mirror.
    std::vector<std::pair<QToolButton*, const char*>> buttons_;
    std::vector<std::pair<QAction*, const char*>> items_;
};

} // namespace morvane
