// Seeking replays, the timelapse mode and folder renders.
// seek_vs_replay_from_start: 20 seeks in random order to steps of a 5,000
// step recording on 2048 x 2048 (2,500 strokes of 16 points and 2,500 layer
// commands) in one replay, against replaying from the start to each step.
// timelapse_vs_render: `morvane -timelapse` of that recording into a
// 1280 x 720 .mp4, a frame every 10 steps, against `morvane -render` of it
// (wall time of the whole processes, ffmpeg included: it runs beside).
// batch_render_vs_serial: `morvane -render -j 2` of a folder of 32
// recordings against the 32 renders one after another; and
// batch_render_vs_gnu_parallel against `parallel -j 2` over the same files
// (wall times).
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/PaperReplay.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kSeeks = 20, kBatchFiles = 32;

fs::path Scratch()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "morvane-seek-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()) ? pattern : std::string("."));
    }();
    return folder;
}

// strokes strokes of 16 points, each followed by a layer command, on side².
bool Record(const std::string& file, int32_t side, int strokes)
{
    SilentDocumentHost host;
    TPaper paper(host);
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;
    if (!paper.NewPicture("r", false, false, 72, side, side, side, side) ||
        !paper.AddLayer(1, side, side, true, 200, kModeNormal) || !paper.SetPenRenderer(&render))
        return false;
    pen.color = 0xFF3060C0;
    pen.SetRadius(6);
    const float span = float(side - 40);
    for (int s = 0; s < strokes; ++s) {
        const float y = 20 + float((s * 97) % int(span));
        bool ok = paper.StrokeBegin(flow, pen, true, 1.0f, y, 20);
        for (int i = 1; i < 16 && ok; ++i)
            ok = paper.StrokePoint(flow, pen, true, 0.5f, y + 20 * std::sin(float(i + s)), 20 + span * float(i) / 15);
        EdgeRect out;
        ok = ok && paper.StrokeEnd(flow, pen, true, out);
        switch (s % 3) {
        case 0: ok = ok && paper.SetLayerOpacity(1, 100 + s % 150); break;
        case 1: ok = ok && paper.SetLayerVisible(1, s % 2 == 0); break;
        default: ok = ok && paper.ShiftLayer(1, 1, -1); break;
        }
        if (!ok)
            return false;
    }
    paper.SetPenRenderer(nullptr);
    return SaveEventFile(file, paper, EventSaveRequest{}) == EventFileCode::Ok;
}

const std::string& LongRecording()
{
    static const std::string path = [] {
        const std::string file = (Scratch() / "long.vd4").string();
        return Record(file, 2048, 2500) ? file : std::string();
    }();
    return path;
}

std::vector<int32_t> SeekTargets(int32_t total)
{
    std::mt19937 random(4242);
    std::vector<int32_t> targets;
    for (int i = 0; i < kSeeks; ++i)
        targets.push_back(int32_t(random() % uint32_t(total)));
    return targets;
}

void SeekInOneReplay(benchmark::State& state)
{
    if (LongRecording().empty())
        return state.SkipWithError("the recording could not be made");
    for (auto _ : state) {
        SilentDocumentHost host(true);
        PaperReplay replay(host);
        if (replay.Open(LongRecording(), PlaybackMode::Render) != CEventPlayer::kOpenOk)
            return state.SkipWithError("the recording does not open");
        for (int32_t step : SeekTargets(replay.Player().TotalSteps() - 1))
            if (replay.Seek(step) != SeekResult::Reached)
                return state.SkipWithError("a seek stopped short");
    }
}

void ReplayFromStartToEach(benchmark::State& state)
{
    if (LongRecording().empty())
        return state.SkipWithError("the recording could not be made");
    int32_t total = 0;
    {
        SilentDocumentHost host(true);
        PaperReplay probe(host);
        probe.Open(LongRecording(), PlaybackMode::Render);
        total = probe.Player().TotalSteps() - 1;
    }
    for (auto _ : state) {
        for (int32_t step : SeekTargets(total)) {
            SilentDocumentHost host(true);
            PaperReplay replay(host);
            if (replay.Open(LongRecording(), PlaybackMode::Render) != CEventPlayer::kOpenOk)
                return state.SkipWithError("the recording does not open");
            while (replay.Player().ExecutedSteps() < step && replay.Tick() == PlayerTick::Continue) {
            }
        }
    }
}

// ---- whole processes, wall time ----

std::string Program()
{
    // The bench programs sit in <build>/bench, the program in <build>/src.
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "morvane").string();
}

// Runs a shell command line quietly; its wall time, or < 0 on failure.
double WallOf(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return status != -1 && WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 8) ? seconds
                                                                                                      : -1;
}

void TimeCommand(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        const double seconds = WallOf(command);
        if (seconds < 0)
            return state.SkipWithError(("failed: " + command).c_str());
        state.SetIterationTime(seconds);
    }
}

std::string Out()
{
    const fs::path out = Scratch() / "out";
    fs::create_directories(out);
    return out.string();
}

void Timelapse(benchmark::State& state)
{
    if (LongRecording().empty())
        return state.SkipWithError("the recording could not be made");
    TimeCommand(state, Program() + " -timelapse " + LongRecording() + " " + Out() +
                           "/long.mp4 -size 1280x720 -every 10");
}

void RenderLong(benchmark::State& state)
{
    if (LongRecording().empty())
        return state.SkipWithError("the recording could not be made");
    TimeCommand(state, Program() + " -render -O" + Out() + " " + LongRecording());
}

const std::string& BatchFolder()
{
    static const std::string folder = [] {
        const fs::path in = Scratch() / "batch";
        fs::create_directories(in);
        for (int i = 0; i < kBatchFiles; ++i)
            if (!Record((in / ("r" + std::to_string(100 + i) + ".vd4")).string(), 512, 60 + i))
                return std::string();
        return in.string();
    }();
    return folder;
}

void BatchRender(benchmark::State& state)
{
    if (BatchFolder().empty())
        return state.SkipWithError("the recordings could not be made");
    TimeCommand(state, Program() + " -render -O " + Out() + " -j 2 " + BatchFolder());
}

void SerialRenders(benchmark::State& state)
{
    if (BatchFolder().empty())
        return state.SkipWithError("the recordings could not be made");
    TimeCommand(state, "for f in " + BatchFolder() + "/*.vd4; do " + Program() + " -render -O" + Out() +
                           " \"$f\"; done; true");
}

void GnuParallel(benchmark::State& state)
{
    if (BatchFolder().empty())
        return state.SkipWithError("the recordings could not be made");
    TimeCommand(state, "parallel -j 2 " + Program() + " -render -O" + Out() + " ::: " + BatchFolder() +
                           "/*.vd4; true");
}

bool Manual(const std::string& figure, const char* side, void (*fn)(benchmark::State&))
{
    benchmark::RegisterBenchmark((figure + "/" + side).c_str(), fn)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    return true;
}

[[maybe_unused]] const bool kProcesses =
    Manual("timelapse_vs_render", "ours", Timelapse) && Manual("timelapse_vs_render", "baseline", RenderLong) &&
    Manual("batch_render_vs_serial", "ours", BatchRender) &&
    Manual("batch_render_vs_serial", "baseline", SerialRenders) &&
    Manual("batch_render_vs_gnu_parallel", "ours", BatchRender) &&
    Manual("batch_render_vs_gnu_parallel", "baseline", GnuParallel);

} // namespace

MORVANE_FIGURE(seek_vs_replay_from_start, SeekInOneReplay, ReplayFromStartToEach);

} // namespace morvane::bench
