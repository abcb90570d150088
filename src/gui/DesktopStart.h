#pragma once
// The desktop program: the application object, the settings, the main
// window and the files named on the command line. Runs until the main
// window closes; the exit status.
namespace morvane {

struct CommandLine;

int RunDesktop(int argc, char** argv, const CommandLine& line);
// Viewer mode: the first file replays visibly, the result code (13 at the
// end) is reported after the delay and the program exits with it. Settings
// are read, never written.
int RunViewer(int argc, char** argv, const CommandLine& line);

} // namespace morvane
