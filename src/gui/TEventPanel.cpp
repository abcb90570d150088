#include "gui/TEventPanel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <string>

#include "app/CommandTable.h"
#include "gui/TDrawWindow.h"
#include "gui/TGraphicProgressBar.h"
#include "gui/TMainForm.h"

namespace morvane {
namespace {

constexpr const char* kPause = "ActEventPause";
constexpr const char* kStep = "ActEventStep";
constexpr const char* kStop = "ActEventStop";
constexpr const char* kContinue = "ActEventContinue";
constexpr const char* kSpeeds[] = {"ActEventWait0", "ActEventWait1", "ActEventWait2",
                                   "ActEventWait3", "ActEventWait4", "ActEventWait5"};

} // namespace

TEventPanel::TEventPanel(TMainForm& form, QWidget* parent)
    : QGroupBox(parent), form_(form), bar_(new TGraphicProgressBar(this))
{
    setObjectName(QStringLiteral("eventPanel"));
    auto* buttons = new QHBoxLayout;
    pause_ = AddButton("pauseButton", kPause);
    pause_->setCheckable(true);
    AddButton("stopButton", kStop)->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    AddButton("stepButton", kStep)->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
    for (const auto& [button, command] : buttons_)
        buttons->addWidget(button);
    BuildMenu();
    auto* menuButton = new QToolButton(this);
    menuButton->setObjectName(QStringLiteral("menuButton"));
    menuButton->setArrowType(Qt::DownArrow);
    menuButton->setPopupMode(QToolButton::InstantPopup);
    menuButton->setMenu(menu_);
    buttons->addStretch();
    buttons->addWidget(menuButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(bar_);
    BuildSteps(layout);
    Refresh();
}

QToolButton* TEventPanel::AddButton(const char* objectName, const char* command)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromUtf8(objectName));
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this, command] { RunCommand(command); });
    buttons_.emplace_back(button, command);
    return button;
}

void TEventPanel::BuildMenu()
{
    menu_ = new QMenu(this);
    const auto add = [this](const QString& caption, const char* command, bool checkable) {
        QAction* item = menu_->addAction(caption, this, [this, command] { RunCommand(command); });
        item->setCheckable(checkable);
        items_.emplace_back(item, command);
    };
    add(QStringLiteral("一時停止(&P)"), kPause, true);
    add(QStringLiteral("ステップ実行(&S)"), kStep, false);
    menu_->addSeparator();
    for (const char* speed : kSpeeds) {
        const Command* command = FindCommand(speed);
        add(command ? QString::fromUtf8(command->caption.data(), qsizetype(command->caption.size()))
                    : QString(),
            speed, true);
    }
    menu_->addSeparator();
    add(QStringLiteral("再生中止(&D)"), kStop, false);
    add(QStringLiteral("このステップから描き続ける(&C)..."), kContinue, false);
    connect(menu_, &QMenu::aboutToShow, this, [this] { form_.UpdateActions(); });
}

// Through the main window, so its rules decide and its other views follow.
void TEventPanel::RunCommand(const char* command)
{
    form_.Run(QString::fromUtf8(command));
}

void TEventPanel::Refresh()
{
    TDrawWindow* window = form_.ActiveDrawWindow();
    const bool paused = window && window->Paused();
    setTitle(QStringLiteral("%1 - %2").arg(QStringLiteral("イベント"),
                                           paused ? QStringLiteral("一時停止") : QStringLiteral("再生")));
    pause_->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    pause_->setChecked(paused);
    for (const auto& [button, command] : buttons_) {
        const QAction* action = form_.Action(QString::fromUtf8(command));
        button->setEnabled(action && action->isEnabled());
    }
    for (const auto& [item, command] : items_) {
        const QAction* action = form_.Action(QString::fromUtf8(command));
        item->setEnabled(action && action->isEnabled());
        item->setChecked(action && action->isChecked());
    }
    ShowProgress(window);
}

void TEventPanel::BuildSteps(QVBoxLayout* layout)
{
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("stepSlider"));
    slider_->setTracking(false);
    stepLabel_ = new QLabel(this);
    stepLabel_->setObjectName(QStringLiteral("stepLabel"));
    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromUtf8(name));
        b->setText(caption);
        b->setAutoRaise(true);
        return b;
    };
    back_ = button("stepBackButton", QStringLiteral("1 ステップ戻る"));
    first_ = button("firstStepButton", QStringLiteral("先頭へ"));
    // The picture follows on release (and on keys), never while dragged:
    // going back replays from the start.
    connect(slider_, &QSlider::sliderMoved, this, [this](int step) { ShowStepText(step); });
    connect(slider_, &QSlider::valueChanged, this, [this](int step) { SeekTo(step); });
    connect(back_, &QToolButton::clicked, this, [this] { SeekTo(slider_->value() - 1); });
    connect(first_, &QToolButton::clicked, this, [this] { SeekTo(1); });
    auto* row = new QHBoxLayout;
    row->addWidget(first_);
    row->addWidget(back_);
    row->addStretch();
    row->addWidget(stepLabel_);
    layout->addWidget(slider_);
    layout->addLayout(row);
}

void TEventPanel::ShowStepText(int step)
{
    stepLabel_->setText(QString::asprintf("ステップ %d / %d", step, slider_->maximum()));
}

void TEventPanel::SeekTo(int step)
{
    if (TDrawWindow* window = form_.ActiveDrawWindow())
        window->SeekStep(step);
    form_.UpdateActions();
    Refresh();
}

void TEventPanel::ShowSteps(const TDrawWindow* window)
{
    const int total = window ? window->ReplaySteps() : 0;
    const QSignalBlocker quiet(slider_);
    slider_->setRange(total > 0 ? 1 : 0, total);
    if (!slider_->isSliderDown())
        slider_->setValue(window ? window->ReplayStep() : 0);
    for (QWidget* w : std::initializer_list<QWidget*>{slider_, back_, first_})
        w->setEnabled(total > 0);
    back_->setEnabled(total > 0 && slider_->value() > 1);
    ShowStepText(slider_->value());
}

void TEventPanel::ShowProgress(const TDrawWindow* window)
{
    ShowSteps(window);
    if (!window || !window->LastProgress().known)
        return bar_->Clear();
    const TDrawWindow::PlaybackProgress& progress = window->LastProgress();
    bar_->SetProgress(progress.executed, progress.total, progress.elapsedMs);
}

} // namespace morvane
