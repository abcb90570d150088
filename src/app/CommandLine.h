#pragma once
// The program's command line: switches start with '-' (on this platform '/'
// starts every absolute path, so such an argument is a file). Parsed before
// any window or Qt object exists.
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// Help and Version print their text and end before anything starts.
enum class StartMode { Normal, Render, Viewer, Help, Version };

struct CommandLine {
    bool renderFlag = false;
    bool viewerFlag = false;
    std::string outputFolder;
    // -W<n>: the descriptor that receives the result code; -1 when not given
    // (as for -W0: no caller hands over its standard input for the code).
    int32_t notifyHandle = -1;
    // -T<n>: seconds viewer mode waits before it reports.
    int32_t delaySeconds = 0;
    // -M<n>: the memory a render or viewer run may take, in MiB; 0 when not
    // given (the render mode's default then holds).
    int32_t memoryMiB = 0;
    std::vector<std::string> files;
    // --help or -h, --version.
    bool helpWanted = false;
    bool versionWanted = false;

    // Viewer mode is a render run that shows the replay: -viewer alone
    // starts a normal instance.
    StartMode Mode() const
    {
        if (helpWanted)
            return StartMode::Help;
        if (versionWanted)
            return StartMode::Version;
        if (!renderFlag)
            return StartMode::Normal;
        return viewerFlag ? StartMode::Viewer : StartMode::Render;
    }
};

// Unknown switches, a W or T whose rest is not a decimal number and an M
// whose rest is not a positive one are reported through the user notifier
// and otherwise ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// What --help prints: every switch and mode, and the result codes.
const char* UsageText();

} // namespace morvane
