#include "app/Timelapse.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <new>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/RenderMode.h"
#include "app/RenderReport.h"
#include "document/DocumentHost.h"
#include "document/PaperReplay.h"
#include "document/TPaper.h"
#include "events/PlaybackReport.h"
#include "platform/Clock.h"
#include "platform/MemoryBudget.h"
#include "storage/CScaleImage.h"
#include "storage/TMTC.h"

extern char** environ;

namespace morvane {
namespace {

constexpr int kFailed = 9;
constexpr int32_t kBoxW = 1920, kBoxH = 1080;
constexpr int32_t kSecondsOfVideo = 30;

bool ReadInt(const std::string& text, int32_t& value)
{
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end;
}

bool ReadSize(const std::string& text, int32_t& w, int32_t& h)
{
    const size_t x = text.find_first_of("xX");
    return x != std::string::npos && ReadInt(text.substr(0, x), w) && ReadInt(text.substr(x + 1), h);
}

bool ReadSeconds(const std::string& text, double& value)
{
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end && std::isfinite(value) && value >= 0 && value <= 3600;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string Extension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return {};
    return Lower(path.substr(dot));
}

// ffmpeg's arguments for raw frames on its standard input into path.
std::vector<std::string> FfmpegArguments(const TimelapseOptions& o, int32_t w, int32_t h, const std::string& path)
{
    std::vector<std::string> a = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                  "-pix_fmt", "bgra", "-s", std::to_string(w) + "x" + std::to_string(h),
                                  "-r", std::to_string(o.fps), "-i", "-"};
    const std::string ext = Extension(o.out);
    if (ext == ".mp4" || ext == ".mkv" || ext == ".mov")
        a.insert(a.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "20"});
    if (ext == ".mp4")
        a.insert(a.end(), {"-movflags", "+faststart"});
    if (ext == ".webm")
        a.insert(a.end(), {"-c:v", "libvpx-vp9", "-crf", "32", "-b:v", "0"});
    a.push_back(path);
    return a;
}

// The ffmpeg child: its standard input is ours to write, its messages go
// to a file read when it fails. Reaped (and its file removed) on every path.
class Encoder {
public:
    ~Encoder() { Finish(true); }

    bool Start(const TimelapseOptions& o, int32_t w, int32_t h, const std::string& path)
    {
        messages_ = path + ".log";
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 2, messages_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::vector<std::string> args = FfmpegArguments(o, w, h, path);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int spawned = o.ffmpeg.empty()
                                ? posix_spawnp(&pid_, "ffmpeg", &actions, nullptr, argv.data(), environ)
                                : posix_spawn(&pid_, o.ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[0]);
        if (spawned != 0) {
            pid_ = -1;
            ::close(pipeEnds[1]);
            std::remove(messages_.c_str());
            std::fprintf(stderr, "timelapse: cannot start %s: %s\n", o.ffmpeg.empty() ? "ffmpeg" : o.ffmpeg.c_str(),
                         std::strerror(spawned));
            return false;
        }
        input_ = pipeEnds[1];
        return true;
    }

    // Every byte, or false when ffmpeg stopped reading (died, full disk).
    bool Write(const uint8_t* bytes, size_t n)
    {
        while (n > 0 && input_ >= 0) {
            const ssize_t put = ::write(input_, bytes, n);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            bytes += put;
            n -= size_t(put);
        }
        return n == 0;
    }

    // Closes its input and waits: true when it exited 0. kill ends it first.
    bool Finish(bool kill)
    {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
        if (pid_ < 0)
            return false;
        if (kill)
            ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok && !kill)
            ShowMessages();
        std::remove(messages_.c_str());
        return ok;
    }

private:
    void ShowMessages() const
    {
        std::ifstream in(messages_);
        std::deque<std::string> last;
        for (std::string line; std::getline(in, line);) {
            last.push_back(line);
            if (last.size() > 5)
                last.pop_front();
        }
        for (const std::string& line : last)
            std::fprintf(stderr, "ffmpeg: %s\n", line.c_str());
    }

    pid_t pid_ = -1;
    int input_ = -1;
    std::string messages_;
};

// One frame: the composite, opaque, scaled into the fitted size and centred
// on black, top row first.
class FrameMaker {
public:
    bool Prepare(const TPaper& paper, int32_t frameW, int32_t frameH)
    {
        FitFrame(paper.Width, paper.Height, frameW, frameH, fitW_, fitH_);
        frameW_ = frameW, frameH_ = frameH;
        frame_.assign(size_t(frameW) * size_t(frameH) * 4, 0);
        for (size_t i = 3; i < frame_.size(); i += 4)
            frame_[i] = 0xFF;
        return fitted_.Resize(fitW_, fitH_);
    }

    const std::vector<uint8_t>& Make(const TPaper& paper)
    {
        const TMTC& composite = paper.Composite();
        const TMTC* source = &composite;
        if (fitW_ != composite.Width || fitH_ != composite.Height) {
            CScaleImageTMTC scale(composite, fitted_);
            if (scale.Bind({0, 0, composite.Width, composite.Height}, {0, 0, fitW_, fitH_}))
                scale.Resample();
            source = &fitted_;
        }
        const int32_t left = (frameW_ - fitW_) / 2, top = (frameH_ - fitH_) / 2;
        for (int32_t y = 0; y < fitH_; ++y) {
            const uint8_t* from = source->RowPtr(y);
            uint8_t* to = frame_.data() + (size_t(top + y) * size_t(frameW_) + size_t(left)) * 4;
            for (int32_t x = 0; x < fitW_; ++x, from += 4, to += 4) {
                to[0] = from[0], to[1] = from[1], to[2] = from[2];
                to[3] = 0xFF;
            }
        }
        return frame_;
    }

private:
    int32_t frameW_ = 0, frameH_ = 0, fitW_ = 0, fitH_ = 0;
    TMTC fitted_;
    std::vector<uint8_t> frame_;
};

// At most once a second; a terminal sees one line rewritten.
class Progress {
public:
    void Show(int32_t step, int32_t total, int64_t frames, bool force)
    {
        const uint32_t now = CurrentClock().Milliseconds();
        if (!force && now - last_ < 1000)
            return;
        if (!started_)
            start_ = now, started_ = true;
        last_ = now;
        const double seconds = double(now - start_) / 1000.0;
        std::fprintf(stderr, "timelapse: %d/%d steps (%d%%), %lld frames, %.1f frames/s%c", step, total,
                     total > 0 ? int(int64_t(step) * 100 / total) : 100, static_cast<long long>(frames),
                     seconds > 0 ? double(frames) / seconds : 0.0, ::isatty(2) ? '\r' : '\n');
    }
    void Begin() { start_ = last_ = CurrentClock().Milliseconds(), started_ = true; }

private:
    uint32_t start_ = 0, last_ = 0;
    bool started_ = false;
};

// A temporary file beside out with out's extension, so ffmpeg picks the
// same container.
std::string TemporaryBeside(const std::string& out)
{
    const size_t slash = out.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : out.substr(0, slash + 1);
    return folder + ".timelapse-" + std::to_string(::getpid()) + Extension(out);
}

struct Run {
    const TimelapseOptions& options;
    PaperReplay& replay;
    int32_t frameW = 0, frameH = 0;
    int64_t frames = 0;
};

bool Emit(Run& run, Encoder& encoder, FrameMaker& maker, int64_t count)
{
    const std::vector<uint8_t>& frame = maker.Make(run.replay.Paper());
    for (int64_t i = 0; i < count; ++i, ++run.frames)
        if (!encoder.Write(frame.data(), frame.size()))
            return false;
    return true;
}

// Replays to the end with a frame after every `every` steps: 0 done, 9 the
// encoder stopped, 10 the replay failed.
int Encode(Run& run, Encoder& encoder)
{
    FrameMaker maker;
    if (!maker.Prepare(run.replay.Paper(), run.frameW, run.frameH))
        return kRenderCannotOpen;
    CEventPlayer& player = run.replay.Player();
    const int32_t total = std::max(player.TotalSteps() - 1, 0);
    const int32_t every = run.options.every > 0 ? run.options.every
                                                : std::max(1, (total + kSecondsOfVideo * run.options.fps - 1) /
                                                                  (kSecondsOfVideo * run.options.fps));
    Progress progress;
    progress.Begin();
    if (!Emit(run, encoder, maker, 1))
        return kFailed;
    PlayerTick tick = PlayerTick::Continue;
    while ((tick = run.replay.Tick()) == PlayerTick::Continue) {
        if (player.ExecutedSteps() % every == 0 && !Emit(run, encoder, maker, 1))
            return kFailed;
        progress.Show(player.ExecutedSteps(), total, run.frames, false);
    }
    player.Close();
    if (tick != PlayerTick::Ended || !player.EndMarkSeen())
        return kRenderCannotOpen;
    const int64_t hold = int64_t(std::lround(run.options.hold * run.options.fps));
    const bool last = player.ExecutedSteps() % every != 0;
    if (!Emit(run, encoder, maker, hold + (last ? 1 : 0)))
        return kFailed;
    progress.Show(player.ExecutedSteps(), total, run.frames, true);
    return kTimelapseDone;
}

int Timelapse(const TimelapseOptions& options)
{
    SilentDocumentHost host(true);
    PaperReplay replay(host);
    const int opened = replay.Open(options.file, PlaybackMode::Render);
    if (opened != CEventPlayer::kOpenOk) {
        std::fprintf(stderr, "timelapse: %s\n", OpenResultText(opened));
        return RenderCodeOfOpenResult(opened);
    }
    Run run{options, replay};
    run.frameW = options.width, run.frameH = options.height;
    if (run.frameW == 0)
        FitFrame(replay.Paper().Width, replay.Paper().Height, kBoxW, kBoxH, run.frameW, run.frameH);
    const std::string temporary = TemporaryBeside(options.out);
    // No path, an exception's included, leaves the temporary file behind.
    struct Removed {
        const std::string& path;
        ~Removed() { std::remove(path.c_str()); }
    } removed{temporary};
    Encoder encoder;
    if (!encoder.Start(options, run.frameW, run.frameH, temporary))
        return kFailed;
    const int code = Encode(run, encoder);
    if (code != kTimelapseDone) {
        encoder.Finish(true);
        if (code == kFailed)
            std::fprintf(stderr, "\ntimelapse: ffmpeg stopped reading the frames\n");
        return code;
    }
    if (!encoder.Finish(false) || std::rename(temporary.c_str(), options.out.c_str()) != 0) {
        std::fprintf(stderr, "\ntimelapse: %s could not be written\n", options.out.c_str());
        return kFailed;
    }
    std::fprintf(stderr, "\ntimelapse: %s: %lld frames of %dx%d at %d fps\n", options.out.c_str(),
                 static_cast<long long>(run.frames), run.frameW, run.frameH, options.fps);
    return kTimelapseDone;
}

} // namespace

void FitFrame(int32_t canvasW, int32_t canvasH, int32_t boxW, int32_t boxH, int32_t& w, int32_t& h)
{
    w = canvasW, h = canvasH;
    if (int64_t(w) * boxH > int64_t(h) * boxW) {
        if (w > boxW)
            h = int32_t(int64_t(h) * boxW / w), w = boxW;
    } else if (h > boxH) {
        w = int32_t(int64_t(w) * boxH / h), h = boxH;
    }
    // Encoders of 4:2:0 video want even sides.
    w = std::max(2, w & ~1);
    h = std::max(2, h & ~1);
}

bool ParseTimelapse(const std::vector<std::string>& args, TimelapseOptions& o, std::string& error)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '-') {
            files.push_back(a);
            continue;
        }
        const std::string name = Lower(a);
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        bool ok = false;
        if (name == "-fps")
            ok = ReadInt(value, o.fps) && o.fps >= 1 && o.fps <= 120;
        else if (name == "-size")
            ok = ReadSize(value, o.width, o.height) && o.width >= 16 && o.height >= 16 && o.width <= 7680 &&
                 o.height <= 4320;
        else if (name == "-every")
            ok = ReadInt(value, o.every) && o.every >= 1;
        else if (name == "-hold")
            ok = ReadSeconds(value, o.hold);
        else if (name == "-ffmpeg")
            ok = !(o.ffmpeg = value).empty();
        else {
            error = "unknown switch " + a;
            return false;
        }
        if (!ok) {
            error = "bad value for " + a + ": " + value;
            return false;
        }
    }
    if (files.size() != 2) {
        error = "needs FILE and OUT";
        return false;
    }
    o.file = files[0];
    o.out = files[1];
    return true;
}

int RunTimelapse(const std::vector<std::string>& args)
{
    TimelapseOptions options;
    std::string error;
    if (!ParseTimelapse(args, options, error)) {
        std::fprintf(stderr,
                     "timelapse: %s\nusage: morvane -timelapse FILE OUT [-fps N] [-size WxH] [-every N] "
                     "[-hold S] [-ffmpeg PATH]\n",
                     error.c_str());
        return kTimelapseUsage;
    }
    MemoryBudget::SetLimit(uint64_t(kRenderMemoryMiB) << 20);
    try {
        return Timelapse(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "timelapse: メモリ不足により正常に実行できませんでした！\n");
    }
    return kRenderCannotOpen;
}

} // namespace morvane
