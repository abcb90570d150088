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
// folder. A replay that ends for lack of memory says so, once.
int RenderEventFile(const std::string& eventFile, const std::string& folder);

// A render or viewer run takes at most the memory -M names, by default
// kRenderMemoryMiB: a hostile file then ends with its code, not with the
// machine's memory.
inline constexpr int32_t kRenderMemoryMiB = 2048;
void LimitRenderMemory(const CommandLine& line);

} // namespace morvane
