// Replay and the render program.
// replay_vs_direct: 2,000 mixed operations on a 1024 x 1024 picture, 1,000
// strokes of 40 points at radius 8 and 1,000 layer commands (opacity, blend
// mode, visibility, flips, shifts, new layers and their deletion, moves),
// replayed in process from their recording (loaded from the event file,
// played tick by tick with no pacing), against the same operations called
// on a document with recording off.
// render_startup_vs_vips_cli: the whole `morvane -render` process on a blank
// 640 x 480 recording against the whole `vips copy` process on a 640 x 480
// .v image. The time is the child's CPU time (user + system, from wait4);
// the wall time is kept as a counter.
// render_far_points: the render of 300 strokes that come from 2^20 px off a
// 1000 x 1000 canvas, cross it and leave, against the render of the same
// lines clipped to the canvas by hand (both in process, outputs written).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/FarStrokeRecording.h"
#include "app/RenderMode.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventPlayer.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kReplaySide = 1024;
constexpr int kStrokes = 1000, kStrokePoints = 40;
constexpr float kRadius = 8;

fs::path Scratch()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "morvane-bench-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()) ? pattern : std::string("."));
    }();
    return folder;
}

// Stroke s: a sine across the picture, its row and phase set by s.
float StrokeX(int s, int i) { return 40.0f + float(i) * float(kReplaySide - 80) / float(kStrokePoints - 1) + float(s % 7); }
float StrokeY(int s, int i)
{
    return 40.0f + float((s * 37) % (kReplaySide - 80)) + 30.0f * std::sin(float(i) * 0.07f + float(s));
}

// The layer command after stroke s: ten kinds in turn on the layers above
// the background, of which there are two or three.
bool LayerCommand(TPaper& paper, int s, bool record)
{
    const int32_t top = paper.TopLayerIndex();
    const int32_t layer = 1 + s % top;
    switch (s % 10) {
    case 0: return paper.SetLayerOpacity(layer, 96 + s % 160, record);
    case 1: return paper.SetLayerMode(layer, kModeMultiply + s % 3, record);
    case 2: return paper.SetLayerVisible(layer, s % 4 != 2, record);
    case 3: return paper.FlipLayerH(layer, record);
    case 4: return paper.ShiftLayer(layer, s % 5 - 2, 2 - s % 5, record);
    case 5: return top < 3 ? paper.AddLayer(top + 1, kReplaySide, kReplaySide, true, 200, kModeNormal, record)
                           : paper.DeleteLayer(top, record);
    case 6: return paper.MoveLayer(layer, layer == top ? 1 : top, record);
    case 7: return paper.InvertLayer(layer, record);
    case 8: return paper.SetLayerDither(layer, s % 3 == 0, s % 200, record);
    default: return paper.RotateLayer180(layer, record);
    }
}

struct Painter {
    SilentDocumentHost host;
    TPaper paper{host};
    TStroke stroke{4};
    CPenRender render{stroke};
    TFlowImage flow;

    bool Paint(bool record)
    {
        if (!paper.NewPicture("b", false, false, 72, kReplaySide, kReplaySide, kReplaySide, kReplaySide, record) ||
            !paper.AddLayer(1, kReplaySide, kReplaySide, true, 220, kModeNormal, record) ||
            !paper.AddLayer(2, kReplaySide, kReplaySide, true, 180, kModeScreen, record) ||
            !paper.SetPenRenderer(&render))
            return false;
        NibRecord nib;
        nib.radius = int32_t(kRadius * 100);
        render.SetNib(nib);
        stroke.color = 0xFF3060C0;
        stroke.SetRadius(kRadius);
        for (int s = 0; s < kStrokes; ++s) {
            if (!paper.SelectLayer(s % (paper.TopLayerIndex() + 1)) ||
                !paper.StrokeBegin(flow, stroke, record, 1.0f, StrokeY(s, 0), StrokeX(s, 0)))
                return false;
            for (int i = 1; i < kStrokePoints; ++i)
                paper.StrokePoint(flow, stroke, record, 0.3f + 0.7f * float(i % 20) / 19.0f, StrokeY(s, i),
                                  StrokeX(s, i));
            EdgeRect out;
            if (!paper.StrokeEnd(flow, stroke, record, out) || !LayerCommand(paper, s, record))
                return false;
        }
        paper.SetPenRenderer(nullptr);
        return true;
    }
};

std::string MixedRecording()
{
    static const std::string path = [] {
        const std::string file = (Scratch() / "mixed.vd4").string();
        Painter painter;
        const bool saved = painter.Paint(true) && SaveEventFile(file, painter.paper, EventSaveRequest{}) == EventFileCode::Ok;
        return saved ? file : std::string();
    }();
    return path;
}

void ReplayMixed(benchmark::State& state)
{
    const std::string path = MixedRecording();
    if (path.empty())
        return state.SkipWithError("the recording could not be made");
    TimeEach(state, 2 * int64_t(kStrokes), [&] {
        SilentDocumentHost host(true);
        TPaper paper(host);
        PaperPlaybackTarget target(paper);
        CEventPlayer player(*paper.EventManager(), target);
        if (player.Open(path, PlaybackMode::Render) != CEventPlayer::kOpenOk)
            return false;
        PlayerTick tick = PlayerTick::Continue;
        while (tick == PlayerTick::Continue)
            tick = player.Tick();
        player.Close();
        return tick == PlayerTick::Ended;
    });
}

void DirectMixed(benchmark::State& state)
{
    TimeEach(state, 2 * int64_t(kStrokes), [&] { return Painter().Paint(false); });
}

// ---- far points ----

constexpr int kFarStrokes = 300;

std::string FarRecording(FarStrokes form)
{
    const std::string file = (Scratch() / (form == FarStrokes::Far ? "far.vd4" : "clipped.vd4")).string();
    return WriteFarStrokeRecording(file, form, kFarStrokes) == 0 ? file : std::string();
}

void RenderFar(benchmark::State& state, FarStrokes form)
{
    const std::string path = FarRecording(form);
    const std::string out = (Scratch() / (form == FarStrokes::Far ? "far" : "clipped")).string();
    fs::create_directories(out);
    if (path.empty())
        return state.SkipWithError("the recording could not be made");
    TimeEach(state, kFarStrokes, [&] { return RenderEventFile(path, out) == 8; });
}

void RenderFarPoints(benchmark::State& state)
{
    RenderFar(state, FarStrokes::Far);
}

void RenderClippedPoints(benchmark::State& state)
{
    RenderFar(state, FarStrokes::Clipped);
}

// ---- whole processes ----

struct ChildRun {
    bool ok = false;
    double cpuSeconds = 0, wallSeconds = 0;
};

ChildRun RunChild(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The programs' own lines would bury the benchmark's table.
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            ::dup2(quiet, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ChildRun run;
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.ok = WIFEXITED(status);
    run.ok = run.ok && WEXITSTATUS(status) == (args[0].ends_with("morvane") ? 8 : 0);
    return run;
}

void TimeChild(benchmark::State& state, const std::vector<std::string>& args)
{
    double wall = 0;
    for (auto _ : state) {
        const ChildRun run = RunChild(args);
        if (!run.ok) {
            state.SkipWithError("the program failed");
            return;
        }
        state.SetIterationTime(run.cpuSeconds);
        wall += run.wallSeconds;
    }
    state.counters["wall_ms"] = 1000 * wall / double(state.iterations());
}

std::string Program()
{
    // The bench programs sit in <build>/bench, the program in <build>/src.
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "morvane").string();
}

void RenderStartup(benchmark::State& state)
{
    const std::string input = (Scratch() / "blank.vd4").string();
    SilentDocumentHost host;
    TPaper paper(host);
    if (!paper.NewPicture("blank", false, false, 72, 640, 480, 640, 480) ||
        SaveEventFile(input, paper, EventSaveRequest{}) != EventFileCode::Ok)
        return state.SkipWithError("the recording could not be made");
    const std::string out = (Scratch() / "out").string();
    fs::create_directories(out);
    TimeChild(state, {Program(), "-render", "-O" + out, input});
}

void VipsCopy(benchmark::State& state)
{
    const std::string input = (Scratch() / "in.v").string();
    const std::string output = (Scratch() / "out.v").string();
    // A 640 x 480 four-band picture made by vips itself, so the baseline
    // reads what it writes.
    if (!RunChild({"vips", "black", input, "640", "480", "--bands", "4"}).ok)
        return state.SkipWithError("vips (libvips-tools) is not installed");
    TimeChild(state, {"vips", "copy", input, output});
}

bool RegisterManualFigure(const std::string& figure, void (*ours)(benchmark::State&),
                          void (*baseline)(benchmark::State&))
{
    for (auto [side, fn] : {std::pair{"/ours", ours}, std::pair{"/baseline", baseline}})
        benchmark::RegisterBenchmark((figure + side).c_str(), fn)
            ->UseManualTime()
            ->Iterations(20)
            ->Unit(benchmark::kMillisecond);
    return true;
}

} // namespace

[[maybe_unused]] static const bool replay_registered = [] {
    for (auto [side, fn] : {std::pair{"/ours", &ReplayMixed}, std::pair{"/baseline", &DirectMixed}})
        benchmark::RegisterBenchmark((std::string("replay_vs_direct") + side).c_str(), fn)
            ->MeasureProcessCPUTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    return true;
}();
[[maybe_unused]] static const bool startup_registered =
    RegisterManualFigure("render_startup_vs_vips_cli", RenderStartup, VipsCopy);
MORVANE_FIGURE(render_far_points, RenderFarPoints, RenderClippedPoints);

} // namespace morvane::bench
