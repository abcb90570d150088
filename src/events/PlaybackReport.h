#pragma once
// The texts and figures a replay shows around itself: the result of
// opening a stream, the report at its end, the progress display, and the
// speed menu. Plain functions, so the desktop program and the render mode
// show the same words.
#include <cstdint>
#include <string>

namespace morvane {

// Open results 0-7.
const char* OpenResultText(int result);

// Report results: 0 finished, 1 interrupted by the user, 2 stopped by an
// error, 3 stopped.
const char* ReportStateLine(int result);
std::string ReportFileLine(const std::string& fileName, bool appendable);
// Hours and minutes appear only when they are not zero.
std::string ReportTimeLine(uint32_t elapsedMs);
std::string ReportStepLine(int32_t steps);

// The title of a window replaying fileName.
std::string PlaybackWindowTitle(const std::string& fileName, bool isProtected);

// Progress display modes, in the order a click cycles through them.
enum class ProgressMode { Percent, Count, Elapsed };
ProgressMode NextProgressMode(ProgressMode mode);
std::string ProgressText(ProgressMode mode, int32_t executed, int32_t total, uint32_t elapsedMs);

// The thumbnail slot 0-9 a replay has reached, -1 before the first (and for
// a stream without steps).
int ProgressDecile(int32_t executed, int32_t total);

// The speed menu: items 0-5 set these waits in milliseconds; the check mark
// sits on the item a wait falls into.
int32_t WaitOfSpeedItem(int item);
int SpeedItemOfWait(int32_t wait);

} // namespace morvane
