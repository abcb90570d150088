#pragma once
// The desktop program: the application object, the settings, the main
// window and the files named on the command line. Runs until the main
// window closes; the exit status.
namespace morvane {

struct AppEnvironment;
struct CommandLine;
class QtViewerReport;
class TMainForm;

// The monitor count and the primary screen's size, which the settings clamp
// the main window's stored size against. Needs the GUI application object.
void AddScreenFacts(AppEnvironment& env);

int RunDesktop(int argc, char** argv, const CommandLine& line);
// Viewer mode: the first file replays visibly, the result code (13 at the
// end) is reported after the delay and the program exits with it. Settings
// are read, never written.
int RunViewer(int argc, char** argv, const CommandLine& line);
// The main window of a viewer run: its title as a normal run's, no window
// takes edits, and the end of a replay reports its code (13 only after a
// clean one) instead of showing the report.
void PrepareViewerForm(TMainForm& form, QtViewerReport& report);

} // namespace morvane
