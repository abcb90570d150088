#include "gui/DesktopStart.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "app/CAppProfile.h"
#include "app/CommandLine.h"
#include "gui/MessageBoxNotifier.h"
#include "gui/TMainForm.h"
#include "platform/qt/QtSettingsStore.h"

namespace morvane {

namespace {

// Without a display the application object would abort the process.
bool DisplayAvailable()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

} // namespace

int RunDesktop(int argc, char** argv, const CommandLine& line)
{
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "morvane: no display; the headless render mode still runs (morvane -render FILE)\n");
        return 2;
    }
    QApplication app(argc, argv);
    MessageBoxNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);

    QtSettingsStore store;
    AppEnvironment environment = DetectEnvironment();
    AddScreenFacts(environment);
    CAppProfile profile(environment);
    profile.Load(store);

    int status = 0;
    {
        TMainForm form(profile);
        QStringList files;
        for (const std::string& file : line.files)
            files << QString::fromStdString(file);
        form.OpenOnShow(files);
        form.show();
        status = app.exec();
    }
    profile.SaveAtExit(store);
    SetNotifier(previous);
    return status;
}

} // namespace morvane
