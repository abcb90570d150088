#pragma once
// The headless render mode: replays an event file with no display and no
// settings, writes the picture and a protected copy of the stream, and
// reports the result code. Runs before any Qt object exists.
#include <string>

namespace morvane {

struct CommandLine;

// Replays the first file argument and writes its outputs: the result code
// (8 to 12), which is reported once (marker, -W descriptor) and is the
// program's exit status. One summary line goes to stderr.
int RunRenderMode(const CommandLine& line);

// The same without the report: the result code of rendering eventFile into
// folder.
int RenderEventFile(const std::string& eventFile, const std::string& folder);

} // namespace morvane
