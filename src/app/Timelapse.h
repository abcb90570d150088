#pragma once
// `morvane -timelapse FILE OUT [-fps N] [-size WxH] [-every N] [-hold S]
// [-ffmpeg PATH]`: replays FILE headless and pipes a frame after every N
// steps to the ffmpeg program, which writes the video. Runs before any Qt
// object exists and reads no settings, as the render mode does.
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

struct TimelapseOptions {
    std::string file, out;
    int32_t fps = 30;
    int32_t width = 0, height = 0; // 0: the canvas fitted into 1920 x 1080
    int32_t every = 0;             // 0: about 30 seconds of video
    double hold = 2.0;             // seconds the last picture stays
    std::string ffmpeg;            // empty: "ffmpeg" on PATH
};

// Exit status 2: a switch unknown, a value missing or out of range.
inline constexpr int kTimelapseUsage = 2;
inline constexpr int kTimelapseDone = 0;

// args: what follows "-timelapse". False with a one-line reason.
bool ParseTimelapse(const std::vector<std::string>& args, TimelapseOptions& options, std::string& error);

// The frame: the canvas scaled to fit into the box (never enlarged), even sides.
void FitFrame(int32_t canvasW, int32_t canvasH, int32_t boxW, int32_t boxH, int32_t& w, int32_t& h);

// 0 written; 2 usage; 9 ffmpeg missing or failing, or OUT not writable;
// 10, 11, 12 as the render mode answers for FILE.
int RunTimelapse(const std::vector<std::string>& args);

} // namespace morvane
