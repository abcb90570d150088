#include "gui/TMainForm.h"

#include <QDir>
#include <QFileInfo>

#include <ctime>

#include "document/PictureExport.h"
#include "gui/FileDialogs.h"
#include "gui/TFormJpegOption.h"
#include "platform/BusyCursor.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QGridLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

#include <memory>
#include <string>

#include "app/CAppProfile.h"
#include "app/CommandTable.h"
#include "app/ToolSettings.h"
#include "document/EventFile.h"
#include "document/PaperFile.h"
#include "document/TPaper.h"
#include "events/CEventPlayer.h"
#include "events/PlaybackReport.h"
#include "gui/TDrawWindow.h"
#include "gui/TEventLogPanel.h"
#include "gui/TInfoPanel.h"
#include "gui/TLayerPanel.h"
#include "gui/TMaskPanel.h"
#include "gui/TNavigatorPanel.h"
#include "gui/TEventPanel.h"
#include "gui/TFormEventReport.h"
#include "gui/TStatusPanels.h"
#include "platform/UserNotifier.h"
#include "platform/qt/QtTabletSource.h"

namespace morvane {

TMainForm::TMainForm(CAppProfile& profile, QWidget* parent)
    : QMainWindow(parent), profile_(profile), area_(new QMdiArea(this))
{
    setWindowTitle(QStringLiteral("Morvane " MORVANE_VERSION));
    setCentralWidget(area_);
    connect(area_, &QMdiArea::subWindowActivated, this, [this] { UpdateActions(); });
    if (!profile_.config.ignoreTablet)
        tablet_ = new QtTabletSource(this);
    tick_.setInterval(kPlaybackInterval);
    idle_.setInterval(0);
    connect(&tick_, &QTimer::timeout, this, [this] {
        TickPlayback();
        for (TDrawWindow* window : DrawWindows())
            window->AntsTick();
    });
    connect(&idle_, &QTimer::timeout, this, [this] { TickPlayback(); });
    askSavePath = [this](bool* protect) {
        const std::unique_ptr<QFileDialog> dialog(NewEventSaveDialog(this, protect != nullptr));
        // A window that went on painting from a replay proposes its file.
        if (const TDrawWindow* w = ActiveDrawWindow(); w && !w->EventPath().empty())
            dialog->selectFile(QString::fromStdString(w->EventPath()));
        const bool chosen = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
        if (chosen && protect)
            *protect = dialog->findChild<QCheckBox*>(QStringLiteral("protectBox"))->isChecked();
        return chosen ? dialog->selectedFiles().front() : QString();
    };
    askOpenPath = [this](bool& paused) {
        QFileDialog dialog(this, QString(), QString(),
                           QStringLiteral("*.kte;*.mes;*.vd3;*.me3;*.vd4;*.me4"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        auto* pausedBox = new QCheckBox(QStringLiteral("停止状態で開く(&A)"), &dialog);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(pausedBox, grid->rowCount(), 0, 1, -1);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        paused = pausedBox->isChecked();
        return dialog.selectedFiles().front();
    };
    // The save dialogs start in the folder and filter used last.
    askDocumentSavePath = [this] {
        CAppProfile::FileIO& io = profile_.fileIO;
        int filter = io.pictLoadExtIdx;
        const QString path = AskFilePath(this, 8, QString::fromStdString(io.savePath), &filter);
        if (!path.isEmpty()) {
            io.pictLoadExtIdx = filter;
            io.savePath = QFileInfo(path).absolutePath().toStdString();
        }
        return path;
    };
    askLayerSavePath = [this] { return AskFilePath(this, 17, QString::fromStdString(profile_.fileIO.savePath)); };
    askJpegOptions = [this]() -> std::optional<JpegOptions> {
        TFormJpegOption dialog(profile_.fileIO, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        dialog.KeepIn(profile_.fileIO);
        return dialog.Options();
    };
    askDocumentOpenPath = [this] { return AskFilePath(this, 0); };
    askImagePath = [this] { return AskFilePath(this, 1); };
    LoadToolPresets(tools_, profile_);
    LoadToolColours(tools_, profile_);
    DefineCommands();
    builder_ = new ActionBuilder(*this, handlers_);
    AddFilterShortcuts();
    AddPanels();
    status_ = new TStatusPanels(*this, profile_, tablet_);
    connect(&tick_, &QTimer::timeout, status_, &TStatusPanels::Refresh);
    UpdateActions();
    resize(1024, 768);
}

TMainForm::~TMainForm()
{
    // Closing the sub-windows below activates others; this form is gone by then.
    disconnect(area_, nullptr, this, nullptr);
    eventPanel_ = nullptr;
    SaveLayout();
    SaveTools(tools_, profile_, toolStore_);
    // The windows and panels work with the tool state, which goes with this
    // form's members, before Qt would delete its children.
    // Every window, also one closed but not yet deleted (no longer listed).
    std::vector<QPointer<QWidget>> windows;
    for (QWidget* child : area_->findChildren<QWidget*>())
        if (dynamic_cast<TDrawWindow*>(child))
            windows.emplace_back(child);
    for (const QPointer<QWidget>& window : windows)
        delete window.data();
    for (QDockWidget* dock : {toolDock_, optionDock_, colourDock_, brushDock_})
        delete dock;
}

void TMainForm::KeepToolsIn(SettingsStore& store)
{
    toolStore_ = &store;
    LoadToolValues(tools_, store);
}

bool TMainForm::Run(const QString& name)
{
    const ActionHandlers::Entry* entry = handlers_.Find(name.toStdString());
    if (!entry || !entry->execute || (entry->update && !entry->update().enabled))
        return false;
    entry->execute();
    UpdateActions();
    return true;
}

QAction* TMainForm::Action(const QString& name) const { return builder_->Action(name.toStdString()); }

void TMainForm::UpdateActions()
{
    builder_->UpdateAll();
    if (eventPanel_)
        eventPanel_->Refresh();
    if (layerPanel_)
        layerPanel_->Refresh();
    if (maskPanel_)
        maskPanel_->Refresh();
    if (navigatorPanel_)
        navigatorPanel_->Refresh();
    if (eventLogPanel_)
        eventLogPanel_->Refresh();
    if (infoPanel_)
        infoPanel_->RequestRefresh();
    if (status_)
        status_->Refresh();
}

TDrawWindow* TMainForm::ActiveDrawWindow() const
{
    // The current sub-window stays current while the main window is inactive.
    QMdiSubWindow* sub = area_->currentSubWindow();
    return sub ? dynamic_cast<TDrawWindow*>(sub->widget()) : nullptr;
}

std::vector<TDrawWindow*> TMainForm::DrawWindows() const
{
    std::vector<TDrawWindow*> windows;
    for (QMdiSubWindow* sub : area_->subWindowList())
        if (auto* w = dynamic_cast<TDrawWindow*>(sub->widget()))
            windows.push_back(w);
    return windows;
}

TDrawWindow* TMainForm::AddWindow(TDrawWindow* window)
{
    window->Input().window.renderMode = viewOnly_;
    QMdiSubWindow* sub = area_->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(this);
    // The sub-window's own Ctrl+F4 would make the close command's key
    // ambiguous, and then neither fires.
    for (QAction* action : sub->systemMenu()->actions())
        if (action->shortcut() == QKeySequence(QStringLiteral("Ctrl+F4")))
            action->setShortcut(QKeySequence());
    window->stateChanged = [this] {
        UpdateActions();
        UpdatePlaybackTimers();
    };
    if (tablet_)
        tablet_->Attach(*window,
                        {&window->Input(), [window] { return window->Playing(); },
                         [window] { return window->SpaceHeld() ? uint32_t(kModSpace) : 0u; },
                         [window] {
                             window->PointerMoved();
                             if (window->stateChanged)
                                 window->stateChanged();
                         },
                         [this, window] { return isActiveWindow() && ActiveDrawWindow() == window; }});
    const CAppProfile::Config& c = profile_.config;
    window->SetPreferences({c.BrushGhost, c.ShowGhostCenter, c.DrawToolCursor, c.OtherToolCursor, c.CursorFile,
                            c.showScrollBar});
    window->viewChanged = [this, window, status = QPointer<TStatusPanels>(status_)] {
        if (status)
            status->Refresh();
        if (navigatorPanel_ && window == ActiveDrawWindow())
            navigatorPanel_->Refresh();
    };
    window->pointerMoved = [this, window] { PointerMovedOver(*window); };
    window->progressChanged = [this, window] {
        if (eventPanel_ && window == ActiveDrawWindow())
            eventPanel_->ShowProgress(window);
    };
    window->layersChanged = [this, window](int32_t layer) {
        if (window != ActiveDrawWindow())
            return;
        if (layerPanel_)
            layerPanel_->RefreshEntry(layer);
        if (navigatorPanel_)
            navigatorPanel_->Refresh();
    };
    window->playbackEnded = [this](const TEventReportParam& report, const std::vector<QImage>& thumbnails) {
        ShowReport(report, thumbnails);
    };
    sub->resize(640, 480);
    sub->show();
    area_->setActiveSubWindow(sub);
    window->setFocus();
    UpdateActions();
    return window;
}

TDrawWindow* TMainForm::NewDocument(const SNewDocumentChoice& choice)
{
    auto* window = new TDrawWindow(tools_, InputSettingsFrom(profile_));
    const SNewPictureResult& picture = choice.picture;
    if (!window->NewDocument(picture.width, picture.height, choice.name, picture.resolution, picture.transparent)) {
        delete window;
        return nullptr;
    }
    return AddWindow(window);
}

TDrawWindow* TMainForm::OpenEventFile(const QString& path, bool paused, int* result)
{
    const std::string file = path.toStdString();
    if (result)
        *result = CEventPlayer::kOpenFileError;
    if (EventFileTypeOf(file) != EventFileType::Current) {
        Notifier().Warn("イベントファイルとして開くことができません!");
        return nullptr;
    }
    auto* window = new TDrawWindow(tools_, InputSettingsFrom(profile_));
    const int opened = window->OpenEventFile(file, paused);
    if (result)
        *result = opened;
    if (opened != CEventPlayer::kOpenOk) {
        delete window;
        Notifier().Warn(OpenResultText(opened));
        return nullptr;
    }
    window->SetWait(EventWait());
    AddWindow(window);
    window->FitView();
    UpdatePlaybackTimers();
    return window;
}

bool IsDocumentFileName(const QString& path)
{
    return path.endsWith(QStringLiteral(".mci"), Qt::CaseInsensitive);
}

TDrawWindow* TMainForm::OpenDocumentFile(const QString& path)
{
    auto* window = new TDrawWindow(tools_, InputSettingsFrom(profile_));
    const DocFileCode code = window->OpenDocumentFile(path.toStdString());
    if (!window->Paper().Ready) {
        delete window;
        Notifier().Warn(DocumentFileMessage(path.toStdString(), code));
        return nullptr;
    }
    AddWindow(window);
    window->FitView();
    return window;
}

bool TMainForm::SaveDocumentAs(TDrawWindow& window, const QString& path)
{
    const DocFileCode code = window.SaveDocument(path.toStdString());
    if (code != DocFileCode::Ok)
        Notifier().Warn(DocumentFileMessage(path.toStdString(), code));
    UpdateActions();
    return code == DocFileCode::Ok;
}

bool TMainForm::SaveDocumentAsked(TDrawWindow& window, bool askName)
{
    // Only a document read from or saved as a .mci file has a name to save
    // under: document bytes never go under an image's name.
    QString path = QString::fromStdString(window.DocumentPath());
    if (askName || !IsDocumentFileName(path)) {
        path = askDocumentSavePath();
        if (path.isEmpty())
            return false;
        if (ExportFormatOf(path.toStdString()) != ExportFormat::None)
            return ExportPictureAs(window, path);
        if (!IsDocumentFileName(path))
            path += QStringLiteral(".mci");
    }
    return SaveDocumentAs(window, path);
}

bool TMainForm::Written(const QString& path, WriteCode code)
{
    if (code != WriteCode::Ok)
        Notifier().Warn(path.toStdString() + "\r    (err=" + std::to_string(int(code)) + ")");
    return code == WriteCode::Ok;
}

bool TMainForm::ExportPictureAs(TDrawWindow& window, const QString& path)
{
    JpegOptions options;
    if (ExportFormatOf(path.toStdString()) == ExportFormat::Jpeg) {
        const std::optional<JpegOptions> chosen = askJpegOptions();
        if (!chosen)
            return false;
        options = *chosen;
    }
    BusyCursor busy;
    return Written(path, ExportPicture(window.Paper(), path.toStdString(), options));
}

void TMainForm::SaveLayerAsked()
{
    TDrawWindow* window = ActiveDrawWindow();
    const QString path = window ? askLayerSavePath() : QString();
    if (path.isEmpty())
        return;
    BusyCursor busy;
    TPaper& paper = window->Paper();
    Written(path, ExportLayer(paper, paper.CurrentLayer(), path.toStdString()));
}

void TMainForm::SaveDatedBmp()
{
    TDrawWindow* window = ActiveDrawWindow();
    if (!window)
        return;
    const std::string saved = profile_.fileIO.savePath;
    const std::string folder = saved.empty() ? QDir::homePath().toStdString() : saved;
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    localtime_r(&now, &date);
    const std::string path = DatedBmpPath(folder + "/", date);
    if (path.empty()) {
        Notifier().Warn(folder + "\r    (err=" + std::to_string(int(WriteCode::CannotOpen)) + ")");
        return;
    }
    BusyCursor busy;
    Written(QString::fromStdString(path), ExportPicture(window->Paper(), path));
}

void TMainForm::OpenDocumentAsked()
{
    const QString path = askDocumentOpenPath();
    if (!path.isEmpty())
        OpenGivenFile(path);
}

void TMainForm::RevertAsked()
{
    TDrawWindow* window = ActiveDrawWindow();
    if (!window || window->DocumentPath().empty())
        return;
    if (window->Modified()) {
        const std::string text = window->DocumentName() + "\rに加えられた変更を破棄して再読込していいですか?";
        if (Notifier().Ask(text, Buttons::YesNo) != Answer::Yes)
            return;
    }
    const std::string path = window->DocumentPath();
    const DocFileCode code = window->RevertDocument();
    if (!window->Paper().Ready || code != DocFileCode::Ok)
        Notifier().Warn(DocumentFileMessage(path, code));
    UpdateActions();
}

bool TMainForm::SaveEventFile(const QString& path, bool protect)
{
    // A playing window's stream is being read, not recorded.
    TDrawWindow* window = ActiveDrawWindow();
    if (!window || window->Playing() || path.isEmpty())
        return false;
    const EventFileCode code = SaveRecordingOf(*window, path, protect);
    if (code != EventFileCode::Ok)
        Notifier().Warn(path.toStdString() + "\r    (err=" + std::to_string(CodeNumber(code)) + ")");
    return code == EventFileCode::Ok;
}

EventFileCode TMainForm::SaveRecordingOf(TDrawWindow& window, const QString& path, bool protect)
{
    EventSaveRequest request;
    request.optionFlag = profile_.fileIO.eventOptionFlag;
    return window.SaveRecording(path.toStdString(), request, protect);
}

void TMainForm::SaveEventsAsked()
{
    bool protect = false;
    const QString path = askSavePath(&protect);
    if (!path.isEmpty())
        SaveEventFile(path, protect);
}

QFileDialog* NewEventSaveDialog(QWidget* parent, bool offerProtection)
{
    auto* dialog =
        new QFileDialog(parent, QString(), QString(), QStringLiteral("Morvane4 イベント (*.vd4 *.me4)"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("vd4"));
    if (offerProtection) {
        auto* box = new QCheckBox(QStringLiteral("保護付きイベント(&V)"), dialog);
        box->setObjectName(QStringLiteral("protectBox"));
        if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
            grid->addWidget(box, grid->rowCount(), 0, 1, -1);
    }
    return dialog;
}

void TMainForm::OpenEventsAsked()
{
    bool paused = false;
    const QString path = askOpenPath(paused);
    if (!path.isEmpty())
        OpenEventFile(path, paused);
}

int32_t TMainForm::EventWait() const { return profile_.config.eventWait; }

void TMainForm::SetEventWait(int32_t wait)
{
    profile_.config.eventWait = wait;
    for (TDrawWindow* window : DrawWindows())
        window->SetWait(wait);
}

void TMainForm::TickPlayback()
{
    for (TDrawWindow* window : DrawWindows())
        window->PlaybackTick();
    UpdatePlaybackTimers();
}

// The idle timer runs only while a window plays; the 50 ms one also while
// a window's marching ants move.
void TMainForm::UpdatePlaybackTimers()
{
    bool playing = false, ants = false;
    for (TDrawWindow* window : DrawWindows()) {
        playing = playing || window->Playing();
        ants = ants || window->AntsAnimate();
    }
    if ((playing || ants) != tick_.isActive())
        playing || ants ? tick_.start() : tick_.stop();
    if (playing != idle_.isActive())
        playing ? idle_.start() : idle_.stop();
}

void TMainForm::ShowReport(const TEventReportParam& report, const std::vector<QImage>& thumbnails)
{
    UpdatePlaybackTimers();
    UpdateActions();
    if (replayEnded)
        return replayEnded(report);
    // Shown, not run: a report must not start an event loop inside a tick.
    auto* form = new TFormEventReport(report, thumbnails, this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    report_ = form;
}

bool TMainForm::MayClose(TDrawWindow& window)
{
    if (!window.Modified() || window.Playing())
        return true;
    const std::string text =
        std::string("\"").append(window.DocumentName()).append("\" は変更されています。\r保存しますか？");
    switch (Notifier().Ask(text, Buttons::YesNoCancel)) {
    case Answer::No:
        return true;
    case Answer::Yes:
        // A cancelled dialog or a failed save keeps the window open.
        return SaveDocumentAsked(window, false);
    default:
        return false;
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        auto* sub = qobject_cast<QMdiSubWindow*>(watched);
        auto* window = sub ? dynamic_cast<TDrawWindow*>(sub->widget()) : nullptr;
        if (window && !MayClose(*window)) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    const QStringList files = pending_;
    pending_.clear();
    for (const QString& file : files)
        OpenGivenFile(file);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    area_->closeAllSubWindows();
    if (!area_->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    tick_.stop();
    idle_.stop();
    QMainWindow::closeEvent(event);
}

} // namespace morvane
