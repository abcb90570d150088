#include "gui/DesktopStart.h"

#include <QApplication>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/CAppProfile.h"
#include "app/CommandLine.h"
#include "app/RenderReport.h"
#include "events/PlaybackSession.h"
#include "gui/MessageBoxNotifier.h"
#include "gui/QtTranslation.h"
#include "gui/QtViewerReport.h"
#include "gui/TMainForm.h"
#include "platform/BusyCursor.h"
#include "platform/qt/QtBusyCursor.h"
#include "platform/qt/QtInstancePort.h"
#include "platform/qt/QtSettingsStore.h"

namespace morvane {

void AddScreenFacts(AppEnvironment& env)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    env.monitorCount = std::max<int32_t>(1, static_cast<int32_t>(QGuiApplication::screens().size()));
    env.screenWidth = primary->size().width();
    env.screenHeight = primary->size().height();
}

namespace {

// Without a display the application object would abort the process.
bool DisplayAvailable()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

// What the settings are read against: the machine and its screens.
AppEnvironment DesktopEnvironment()
{
    AppEnvironment environment = DetectEnvironment();
    AddScreenFacts(environment);
    return environment;
}

// The message boxes and the wait cursor of a desktop run, for its lifetime.
template <typename Notifier>
struct DesktopSeams {
    Notifier notifier;
    QtBusyCursor cursor;
    UserNotifier* previousNotifier = SetNotifier(&notifier);
    BusyCursorPort* previousCursor = SetBusyCursorPort(&cursor);
    DesktopSeams() = default;
    DesktopSeams(const DesktopSeams&) = delete;
    DesktopSeams& operator=(const DesktopSeams&) = delete;
    ~DesktopSeams()
    {
        SetBusyCursorPort(previousCursor);
        SetNotifier(previousNotifier);
    }
};

} // namespace

int RunDesktop(int argc, char** argv, const CommandLine& line)
{
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "morvane: no display; the headless render mode still runs (morvane -render FILE)\n");
        return 2;
    }
    QApplication app(argc, argv);
    LoadQtTranslation(app);
    // One normal instance per user: a later start hands its files over.
    QtInstancePort instances;
    if (instances.TryForward(line.files))
        return 0;
    DesktopSeams<MessageBoxNotifier> seams;

    QtSettingsStore store;
    CAppProfile profile(DesktopEnvironment());
    profile.Load(store);

    int status = 0;
    {
        TMainForm form(profile);
        form.KeepToolsIn(store);
        QStringList files;
        for (const std::string& file : line.files)
            files << QString::fromStdString(file);
        form.OpenOnShow(files);
        instances.Listen(kGreetingNormal, {[&form](const std::string& file) {
                                               form.OpenGivenFile(QString::fromStdString(file));
                                           },
                                           [&form] {
                                               form.showNormal();
                                               form.raise();
                                               form.activateWindow();
                                           }});
        form.show();
        status = app.exec();
    }
    profile.SaveAtExit(store);
    return status;
}

void PrepareViewerForm(TMainForm& form, QtViewerReport& report)
{
    form.SetViewOnly(true);
    form.replayEnded = [&report](const TEventReportParam& end) {
        report.Finish(ViewerCodeOfReplay(end.result));
    };
}

int RunViewer(int argc, char** argv, const CommandLine& line)
{
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "morvane: no display for the viewer\n");
        const std::string file = line.files.empty() ? std::string() : line.files.front();
        return RenderReporter(file, line.outputFolder, line.notifyHandle).Report(kRenderCannotOpen);
    }
    QApplication app(argc, argv);
    LoadQtTranslation(app);
    QtViewerReport report(line);
    // Like a render run, a viewer run never waits for a person.
    DesktopSeams<LoggingNotifier> seams;
    QtSettingsStore store;
    CAppProfile profile(DesktopEnvironment());
    profile.Load(store);

    int status = 0;
    {
        TMainForm form(profile);
        PrepareViewerForm(form, report);
        form.show();
        int opened = 0;
        if (line.files.empty() || !form.OpenEventFile(QString::fromStdString(line.files.front()), false, &opened))
            report.Finish(line.files.empty() ? kRenderCannotOpen : RenderCodeOfOpenResult(opened));
        status = app.exec();
    }
    return status;
}

} // namespace morvane
