// The program's timelapse mode as a separate process: a video ffprobe reads
// with the frames and size asked for, and the exit codes of bad switches, a
// protected recording, a missing ffmpeg and one that dies while fed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProgram.h"
#include "app/Timelapse.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/PaperReplay.h"
#include "document/TPaper.h"
#include "support/TempFolder.h"

extern char** environ;

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") == 0; }

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Script(const support::TempFolder& folder, const char* name, const char* body)
{
    const std::string path = folder / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
}

} // namespace

// The demo recording is the desktop build's.
#ifdef MORVANE_DEMO
TEST(TimelapseProcess, TheDemoBecomesAVideoOfTheExpectedFramesAndSize)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed (scripts/setup installs it)";
    SilentDocumentHost host(true);
    PaperReplay replay(host);
    ASSERT_EQ(replay.Open(MORVANE_DEMO, PlaybackMode::Render), CEventPlayer::kOpenOk);
    const int32_t steps = replay.Player().TotalSteps() - 1;
    int32_t w = 0, h = 0;
    FitFrame(replay.Paper().Width, replay.Paper().Height, 1920, 1080, w, h);
    // Step 0 and every fourth, the last picture, and 2 s of it at 8 fps.
    const int frames = steps / 4 + 1 + (steps % 4 != 0) + 16;

    const support::TempFolder folder;
    const std::string out = folder / "demo.mp4";
    ASSERT_EQ(RunProgram({"-timelapse", MORVANE_DEMO, out, "-fps", "8", "-every", "4"}), 0);
    const std::string probe = Capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                      "stream=nb_read_frames,width,height -of csv=p=0 '" + out + "'");
    EXPECT_EQ(probe, std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(frames) + "\n");
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"demo.mp4"});
}

TEST(TimelapseProcess, FailuresGiveTheirCodesAndLeaveNoFile)
{
    const support::TempFolder folder;
    const std::string locked = folder / "locked.vd4";
    {
        SilentDocumentHost host;
        TPaper paper(host);
        ASSERT_TRUE(paper.NewPicture("locked", false, false, 72, 64, 48, 64, 48));
        ASSERT_EQ(SaveProtectedEventFile(locked, paper, {}), EventFileCode::Ok);
    }
    const std::string out = folder / "out.mp4";
    const std::string dies = Script(folder, "dies", "head -c 100000 >/dev/null; kill -9 $$");
    const std::string fails = Script(folder, "fails", "cat >/dev/null; echo broken >&2; exit 1");
    const std::string ffmpegDir = fs::path(Capture("command -v ffmpeg")).parent_path().string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string path;
        int code;
    } cases[] = {
        {"fps 0", {MORVANE_DEMO, out, "-fps", "0"}, "", 2},
        {"fps 121", {MORVANE_DEMO, out, "-fps", "121"}, "", 2},
        {"size too small", {MORVANE_DEMO, out, "-size", "8x8"}, "", 2},
        {"every 0", {MORVANE_DEMO, out, "-every", "0"}, "", 2},
        {"unknown switch", {MORVANE_DEMO, out, "-speed", "2"}, "", 2},
        {"a value missing", {MORVANE_DEMO, out, "-fps"}, "", 2},
        {"protected", {locked, out}, "", 11},
        {"garbage", {folder / "dies", out}, "", 10},
        {"no ffmpeg on PATH", {MORVANE_DEMO, out}, "/nonexistent", 9},
        {"ffmpeg killed while fed", {MORVANE_DEMO, out, "-size", "1920x1080", "-ffmpeg", dies}, "", 9},
        {"ffmpeg fails", {MORVANE_DEMO, out, "-ffmpeg", fails}, "", 9},
        {"OUT not writable", {MORVANE_DEMO, (folder / "missing") + "/out.mp4"}, ffmpegDir, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.path == ffmpegDir && !HaveFfmpeg())
            continue;
        std::vector<std::string> args = {"-timelapse"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(c.path.empty() ? RunProgram(args) : RunProgram(args, {}, c.path), c.code);
        // No video, no temporary file beside it.
        EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"dies", "fails", "locked.vd4"}));
    }
}

#endif

TEST(TimelapseProcess, FramesFitTheCanvasWithEvenSidesAndNeverEnlarge)
{
    const struct {
        int32_t cw, ch, bw, bh, w, h;
    } cases[] = {
        {480, 360, 1920, 1080, 480, 360},   // smaller: as it is
        {4000, 1000, 1920, 1080, 1920, 480}, // wide: the width fits
        {1000, 4000, 1920, 1080, 270, 1080}, // tall: the height fits
        {101, 57, 1920, 1080, 100, 56},      // odd sides go even
        {1, 1, 1920, 1080, 2, 2},
    };
    for (const auto& c : cases) {
        int32_t w = 0, h = 0;
        FitFrame(c.cw, c.ch, c.bw, c.bh, w, h);
        EXPECT_EQ(w, c.w) << c.cw << "x" << c.ch;
        EXPECT_EQ(h, c.h) << c.cw << "x" << c.ch;
    }
}

} // namespace morvane
