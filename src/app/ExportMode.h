#pragma once
// The export run: `morvane -export IN OUT [-Q<10-100>]` writes a document
// file or an image as OUT's format (.png, .bmp, the JPEG group, .mci),
// headless, before any window exists: no settings read or written, no
// question, one summary line on stderr. The exit status is the result.
#include <string>
#include <vector>

namespace morvane {

inline constexpr int kExportWritten = 0;
inline constexpr int kExportUsage = 2;
inline constexpr int kExportCannotWrite = 9;
inline constexpr int kExportCannotRead = 10;

// Whether the arguments (without the program name) ask for an export run.
bool IsExportCommand(const std::vector<std::string>& args);
int RunExportMode(const std::vector<std::string>& args);

} // namespace morvane
