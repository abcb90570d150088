#pragma once
// The desktop program: the application object, the settings, the main
// window and the files named on the command line. Runs until the main
// window closes; the exit status.
namespace morvane {

struct CommandLine;

int RunDesktop(int argc, char** argv, const CommandLine& line);

} // namespace morvane
