// The morvane program. The command line is read and the headless jobs run
// before any GUI object exists, so they work on a machine with no display.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/DemoPicture.h"
#include "app/ExportMode.h"
#include "app/FolderRender.h"
#include "app/RenderMode.h"
#include "app/Timelapse.h"

#ifdef MORVANE_GUI
#include "gui/DesktopStart.h"
#endif

int main(int argc, char** argv)
{
    // A caller that closed its end of the -W pipe must not kill a render run.
    std::signal(SIGPIPE, SIG_IGN);

    if (argc >= 2 && strcasecmp(argv[1], "-timelapse") == 0)
        return morvane::RunTimelapse(std::vector<std::string>(argv + 2, argv + argc));
    if (argc == 3 && std::strcmp(argv[1], "-demo") == 0)
        return morvane::WriteDemoPicture(argv[2]) ? 0 : 1;

    const std::vector<std::string> args(argv + 1, argv + argc);
    if (morvane::FolderRenderOptions folder; morvane::ParseFolderRender(args, folder))
        return morvane::RunFolderRender(folder, "/proc/self/exe");
    if (morvane::IsExportCommand(args))
        return morvane::RunExportMode(args);
    const morvane::CommandLine line = morvane::ParseCommandLine(args);
    if (line.Mode() == morvane::StartMode::Help) {
        std::fputs(morvane::UsageText(), stdout);
        return 0;
    }
    if (line.Mode() == morvane::StartMode::Version) {
        std::puts("Morvane " MORVANE_VERSION);
        return 0;
    }
    if (line.Mode() == morvane::StartMode::Render)
        return morvane::RunRenderMode(line);
    if (line.Mode() == morvane::StartMode::Viewer)
        morvane::LimitRenderMemory(line);

#ifdef MORVANE_GUI
    if (line.Mode() == morvane::StartMode::Normal)
        return morvane::RunDesktop(argc, argv, line);
    return morvane::RunViewer(argc, argv, line);
#endif
    std::fprintf(stderr, "%sThis build has no desktop program.\n", morvane::UsageText());
    return 2;
}
