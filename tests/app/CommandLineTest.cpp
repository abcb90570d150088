#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

struct SwitchCase {
    std::vector<std::string> args;
    StartMode mode;
    std::string folder;
    int32_t notify, delay;
    std::vector<std::string> files;
    int warnings;
};

TEST(CommandLine, SwitchesFilesAndWarnings)
{
    const std::vector<SwitchCase> cases = {
        {{"-render", "a.vd4"}, StartMode::Render, "", -1, 0, {"a.vd4"}, 0},
        {{"-RENDER"}, StartMode::Render, "", -1, 0, {}, 0},
        {{"-renderX"}, StartMode::Normal, "", -1, 0, {}, 1},
        {{"-render", "-viewer"}, StartMode::Viewer, "", -1, 0, {}, 0},
        {{"-viewer"}, StartMode::Normal, "", -1, 0, {}, 0},
        {{"-O"}, StartMode::Normal, "", -1, 0, {}, 0},
        {{"-o/tmp/out dir"}, StartMode::Normal, "/tmp/out dir", -1, 0, {}, 0},
        {{"-Wabc"}, StartMode::Normal, "", -1, 0, {}, 1},
        {{"-W"}, StartMode::Normal, "", -1, 0, {}, 1},
        {{"-W5", "-t5"}, StartMode::Normal, "", 5, 5, {}, 0},
        {{"-render", "-W0", "a.vd4"}, StartMode::Render, "", -1, 0, {"a.vd4"}, 0},
        {{"--help"}, StartMode::Help, "", -1, 0, {}, 0},
        {{"-render", "-h", "a.vd4"}, StartMode::Help, "", -1, 0, {"a.vd4"}, 0},
        {{"--version", "--help"}, StartMode::Help, "", -1, 0, {}, 0},
        {{"--version"}, StartMode::Version, "", -1, 0, {}, 0},
        {{"-help", "-H"}, StartMode::Normal, "", -1, 0, {}, 2},
        {{"-T5s"}, StartMode::Normal, "", -1, 0, {}, 1},
        {{"-W99999999999"}, StartMode::Normal, "", -1, 0, {}, 1},
        {{"/render", "/tmp/a.vd4", ""}, StartMode::Normal, "", -1, 0, {"/render", "/tmp/a.vd4"}, 0},
        {{"-", "-x"}, StartMode::Normal, "", -1, 0, {}, 2},
    };
    for (const SwitchCase& c : cases) {
        RecordingNotifier notes;
        UserNotifier* before = SetNotifier(&notes);
        const CommandLine line = ParseCommandLine(c.args);
        SetNotifier(before);
        const std::string what = c.args.empty() ? "" : c.args[0];
        EXPECT_EQ(line.Mode(), c.mode) << what;
        EXPECT_EQ(line.outputFolder, c.folder) << what;
        EXPECT_EQ(line.notifyHandle, c.notify) << what;
        EXPECT_EQ(line.delaySeconds, c.delay) << what;
        EXPECT_EQ(line.files, c.files) << what;
        EXPECT_EQ(static_cast<int>(notes.messages.size()), c.warnings) << what;
    }
}

TEST(CommandLine, MemorySwitchTakesPositiveMebibytes)
{
    const struct {
        const char* arg;
        int32_t mebibytes;
        size_t warnings;
    } cases[] = {{"-M512", 512, 0}, {"-m64", 64, 0}, {"-M0", 0, 1}, {"-M-5", 0, 1}, {"-M", 0, 1}, {"-M1G", 0, 1}};
    for (const auto& c : cases) {
        RecordingNotifier notes;
        UserNotifier* before = SetNotifier(&notes);
        const CommandLine line = ParseCommandLine({"-render", c.arg, "a.vd4"});
        SetNotifier(before);
        EXPECT_EQ(line.memoryMiB, c.mebibytes) << c.arg;
        EXPECT_EQ(notes.messages.size(), c.warnings) << c.arg;
        EXPECT_EQ(line.files, std::vector<std::string>{"a.vd4"}) << c.arg;
    }
}

TEST(CommandLine, WarningNamesTheWholeArgument)
{
    RecordingNotifier notes;
    UserNotifier* before = SetNotifier(&notes);
    ParseCommandLine({"-renderX"});
    SetNotifier(before);
    ASSERT_EQ(notes.messages.size(), 1u);
    EXPECT_EQ(notes.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(notes.messages[0].text, "unknown command line switch!\r    arg = -renderX");
}

} // namespace
} // namespace morvane
