// The morvane program in render mode, run as a separate process with no
// display: result codes as exit status and on a -W pipe, the picture, the
// protected copy and the markers, and the key acceptance test that a
// recording renders to the live document's picture byte for byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "RenderFixture.h"
#include "app/DemoRecording.h"
#include "app/FarStrokeRecording.h"
#include "codecs/Bmp.h"
#include "document/PaperFile.h"
#include "document/PictureExport.h"
#include "files/ImageImport.h"
#include "support/Checksum.h"
#include "events/EventPayloads.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "storage/Compression.h"
#include "storage/TChannel.h"

extern char** environ;

namespace morvane {
namespace {

using namespace testing_render;

struct ProgramRun {
    int status = -1; // exit status; -1 when the program did not exit by itself
    double seconds = 0;
    double cpuSeconds = 0; // the processor time it took, which a busy machine does not stretch
    long peakKiB = 0;      // the largest resident size the program reached
};

// Exit status of a child that, without privileges, cannot reach the program.
constexpr int kUnreachable = 125;

struct RunOptions {
    int notifyFd = -1;         // a descriptor the program inherits
    int outputFd = -1;         // the program's standard output, when given
    bool unprivileged = false; // as nobody, so folder permissions hold for root too
    const char* platform = nullptr; // a Qt platform for the viewer's window
    std::string errors = {};        // a file that takes what the program writes to stderr
};

// The environment without anything that names a display.
std::vector<char*> Headless(const char* platform = nullptr)
{
    static std::string named;
    std::vector<char*> env;
    if (platform) {
        named = std::string("QT_QPA_PLATFORM=") + platform;
        env.push_back(named.data());
    }
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) &&
            std::strncmp(*e, "QT_QPA_PLATFORM=", 16))
            env.push_back(*e);
    env.push_back(nullptr);
    return env;
}

ProgramRun RunMorvane(std::vector<std::string> args, RunOptions options = {})
{
    args.insert(args.begin(), MORVANE_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> env = Headless(options.platform);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (options.notifyFd >= 0)
            ::fcntl(options.notifyFd, F_SETFD, 0);
        if (options.outputFd >= 0)
            ::dup2(options.outputFd, STDOUT_FILENO);
        if (options.unprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) || ::setgid(65534) || ::setuid(65534)))
            ::_exit(126);
        if (options.unprivileged && ::access(argv[0], X_OK) != 0)
            ::_exit(kUnreachable);
        if (!options.errors.empty()) {
            const int fd = ::open(options.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::dup2(fd, 2) < 0)
                ::_exit(126);
        }
        ::execve(argv[0], argv.data(), env.data());
        ::_exit(127);
    }
    ProgramRun run;
    int status = 0;
    for (int waited = 0; waited < 60000; waited += 5) {
        struct rusage usage {};
        if (::wait4(pid, &status, WNOHANG, &usage) == pid) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            run.peakKiB = usage.ru_maxrss;
            run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    ADD_FAILURE() << "morvane did not end within a minute";
    return run;
}

std::vector<std::string> Markers(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".bad" || ext == ".prt" || ext == ".him")
            found.push_back(entry.path().filename().string());
    }
    return found;
}

// The demo with a stroke whose third point lies at NaN: the file opens and
// the replay stops there.
void WriteMidwayFailure(const std::string& path)
{
    RecordingDocumentHost host;
    TPaper painted(host);
    {
        DemoRecording demo(painted);
        ASSERT_TRUE(demo.Paint());
    }
    Bytes stream = StreamOf(painted);
    for (size_t at : PacketOffsets(stream))
        if (stream[at] == 17) {
            const float nan = std::numeric_limits<float>::quiet_NaN();
            std::memcpy(&stream[at + 2 + 2 * 12], &nan, 4);
            break;
        }
    WriteEventFile(path, stream, painted.Width, painted.Height);
}

TEST(RenderProcess, MinimalStreamRendersAndItsProtectedCopyDoesNot)
{
    TempFolder folder;
    WriteEventFile(folder / "a.vd4", BlankStream(64, 48), 64, 48);
    fs::create_directory(folder / "out");
    EXPECT_EQ(RunMorvane({"-render", "-O" + (folder / "out"), folder / "a.vd4"}).status, 8);
    EXPECT_TRUE(fs::exists(folder / "out/a.bmp"));
    EXPECT_TRUE(fs::exists(folder / "out/a.vd4"));
    EXPECT_TRUE(Markers(folder / "out").empty());

    // The copy renders nowhere: it is protected.
    fs::remove(folder / "out/a.bmp");
    EXPECT_EQ(RunMorvane({"-render", folder / "out/a.vd4"}).status, 11);
    EXPECT_EQ(Markers(folder / "out"), std::vector<std::string>{"a.prt"});
    EXPECT_FALSE(fs::exists(folder / "out/a.bmp"));
}

// "At once" for a run that gives up on its input: no delay of a second or
// more, the shortest a viewer waits. The sanitizers slow every instruction
// several times and a shared machine stretches the wall clock further, so
// their build gets five times the time; both the processor time (no busy
// loop) and the wall clock (no sleeping) are held to it.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kAtOnceSeconds = 5.0;
#else
constexpr double kAtOnceSeconds = 1.0;
#endif

TEST(RenderProcess, UnplayableInputsGiveTenAndTheirMarkerAtOnce)
{
    TempFolder folder;
    const Bytes blank = BlankStream(64, 48);
    WriteBytes(folder / "garbage.vd4", Bytes(300, 0xA5));
    WriteEventFile(folder / "whole.vd4", blank, 64, 48);
    Bytes whole = ReadBytes(folder / "whole.vd4");
    whole.resize(whole.size() / 2);
    WriteBytes(folder / "truncated.vd4", whole);
    WriteEventFile(folder / "endless.vd4", Bytes(blank.begin(), blank.end() - 2), 64, 48);

    WriteMidwayFailure(folder / "midway.vd4");
    WriteBytes(folder / "picture.bmp", Bytes(60, 0));

    for (const char* name : {"garbage", "truncated", "endless", "midway", "picture"}) {
        const std::string ext = std::string(name) == "picture" ? ".bmp" : ".vd4";
        const ProgramRun run = RunMorvane({"-render", folder / (name + ext)});
        EXPECT_EQ(run.status, 10) << name;
        EXPECT_LT(run.cpuSeconds, kAtOnceSeconds) << name;
        EXPECT_LT(run.seconds, kAtOnceSeconds) << name;
        EXPECT_TRUE(fs::exists(folder / (std::string(name) + ".bad"))) << name;
        EXPECT_FALSE(fs::exists(folder / (std::string(name) + ".bmp")) && std::string(name) != "picture") << name;
    }
    EXPECT_EQ(RunMorvane({"-render"}).status, 10);
}

TEST(RenderProcess, PastedImagesWithoutPermissionGiveTwelve)
{
    // An image block {12,1} (22 fixed bytes, no pixels) before the end mark.
    TempFolder folder;
    Bytes stream = BlankStream(64, 48);
    Bytes image(24, 0);
    image[0] = 12;
    image[1] = 1;
    stream.insert(stream.end() - 2, image.begin(), image.end());
    WriteEventFile(folder / "pasted.vd4", stream, 64, 48);
    EXPECT_EQ(RunMorvane({"-render", folder / "pasted.vd4"}).status, 12);
    EXPECT_EQ(Markers(folder.Path()), std::vector<std::string>{"pasted.him"});
}

TEST(RenderProcess, NotifyDescriptorOnAPipeReadsTheCode)
{
    TempFolder folder;
    WriteEventFile(folder / "a.vd4", BlankStream(32, 32), 32, 32);
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    const ProgramRun run = RunMorvane({"-render", "-W" + std::to_string(pipeFds[1]), folder / "a.vd4"}, {pipeFds[1]});
    ::close(pipeFds[1]);
    char line[16] = {};
    const ssize_t n = ::read(pipeFds[0], line, sizeof line - 1);
    ::close(pipeFds[0]);
    EXPECT_EQ(run.status, 8);
    EXPECT_EQ(std::string(line, n > 0 ? size_t(n) : 0), "8\n");
}

// What a person types first: the usage of every switch and mode, or the
// version, on standard output with status 0, and no window even where a
// display would take one.
TEST(RenderProcess, HelpAndVersionPrintAndEndBeforeAnythingStarts)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> printed;
    };
    const std::vector<std::string> usage = {"-render",     "-viewer", "-O<folder>", "-W<fd>",
                                            "-T<seconds>", "-demo",   "--version",  " 13 "};
    const Case cases[] = {{{"--help"}, usage},
                          {{"-h"}, usage},
                          {{"-render", "--help", "a.vd4"}, usage},
                          {{"--version"}, {"Morvane 0."}}};
    for (const Case& c : cases)
        for (const char* platform : {static_cast<const char*>(nullptr), "offscreen"}) {
            const std::string what = c.args[0] + (platform ? " offscreen" : " headless");
            TempFolder folder;
            const std::string out = folder / "out.txt";
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            RunOptions options;
            options.outputFd = fd;
            options.platform = platform;
            const ProgramRun run = RunMorvane(c.args, options);
            ::close(fd);
            EXPECT_EQ(run.status, 0) << what;
            EXPECT_LT(run.seconds, 5.0) << what;
            const Bytes bytes = ReadBytes(out);
            const std::string text(bytes.begin(), bytes.end());
            for (const std::string& word : c.printed)
                EXPECT_NE(text.find(word), std::string::npos) << what << ": " << word;
        }
}

TEST(RenderProcess, ReadOnlyFolderGivesNineWithTheInputUnchanged)
{
    TempFolder folder;
    fs::create_directory(folder / "ro");
    WriteEventFile(folder / "ro/a.vd4", BlankStream(32, 32), 32, 32);
    const Bytes input = ReadBytes(folder / "ro/a.vd4");
    ::chmod((folder / "ro").c_str(), 0555);
    const int status = RunMorvane({"-render", folder / "ro/a.vd4"}, {.unprivileged = true}).status;
    if (status == kUnreachable)
        GTEST_SKIP() << "the program lies where an unprivileged user cannot run it";
    EXPECT_EQ(status, 9);
    EXPECT_EQ(ReadBytes(folder / "ro/a.vd4"), input);
    EXPECT_EQ(fs::directory_iterator(folder / "ro")->path().filename(), "a.vd4");
    ::chmod((folder / "ro").c_str(), 0755);
}

#ifdef MORVANE_VIEWER
TEST(RenderProcess, ViewerPlaysToItsEndAndReportsThirteenAfterItsDelay)
{
    TempFolder folder;
    RunOptions options;
    options.platform = "offscreen";
    const ProgramRun played = RunMorvane({"-render", "-viewer", "-T0", MORVANE_DEMO}, options);
    EXPECT_EQ(played.status, 13);
    // A file that does not open: its code and marker after the delay, no box.
    const ProgramRun failed =
        RunMorvane({"-render", "-viewer", "-T1", "-O" + (folder / ""), folder / "none.vd4"}, options);
    EXPECT_EQ(failed.status, 10);
    EXPECT_GE(failed.seconds, 1.0);
    EXPECT_EQ(Markers(folder / ""), std::vector<std::string>{"none.bad"});
}

// Files that open but do not play to their end mark: the viewer reports the
// failure's code and marker, not the 13 of a finished replay.
TEST(RenderProcess, ViewerOfAReplayThatFailsReportsItsCode)
{
    TempFolder folder;
    const Bytes blank = BlankStream(64, 48);
    WriteEventFile(folder / "endless.vd4", Bytes(blank.begin(), blank.end() - 2), 64, 48);
    WriteMidwayFailure(folder / "midway.vd4");
    RunOptions options;
    options.platform = "offscreen";
    for (const char* name : {"endless", "midway"}) {
        const ProgramRun run =
            RunMorvane({"-render", "-viewer", "-T0", folder / (std::string(name) + ".vd4")}, options);
        EXPECT_EQ(run.status, 10) << name;
        EXPECT_TRUE(fs::exists(folder / (std::string(name) + ".bad"))) << name;
    }
}
#endif

// The key acceptance test: strokes and layer commands painted with
// recording on, saved, rendered by the program, give the live composite's
// BMP byte for byte.
TEST(RenderProcess, RecordingRendersToTheLivePictureByteForByte)
{
    TempFolder folder;
    RecordingDocumentHost host;
    TPaper live(host);
    DemoRecording demo(live);
    ASSERT_TRUE(demo.Paint());
    ASSERT_EQ(SaveEventFile(folder / "live.vd4", live, EventSaveRequest{}), EventFileCode::Ok);
    ASSERT_TRUE(SaveBmp24(live.Composite(), (folder / "expected.bmp").c_str(), live.Resolution));
    fs::create_directory(folder / "out");
    ASSERT_EQ(RunMorvane({"-render", "-O" + (folder / "out"), folder / "live.vd4"}).status, 8);
    const Bytes expected = ReadBytes(folder / "expected.bmp");
    ASSERT_GT(expected.size(), 54u);
    EXPECT_TRUE(ReadBytes(folder / "out/live.bmp") == expected);
}

// The number of dark pixels in each column of a 24-bit bottom-up BMP.
std::vector<int32_t> DarkPixelsPerColumn(const Bytes& bmp, int32_t& width)
{
    if (bmp.size() < 54)
        return {};
    auto i32 = [&](size_t at) { return int32_t(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24); };
    width = i32(18);
    const int32_t height = i32(22), stride = (width * 3 + 3) & ~3;
    const size_t offset = size_t(i32(10));
    if (bmp.size() < offset + size_t(stride) * size_t(height))
        return {};
    std::vector<int32_t> runs(size_t(width), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (bmp[offset + size_t(y) * size_t(stride) + size_t(x) * 3] < 128)
                ++runs[size_t(x)];
    return runs;
}

// A bitmap nib with pressure to size, at a steady pressure of 0.5: once the
// smoothing has brought the pressure up, the rendered stroke is as wide at
// its end as in its middle (the nib at half way between 20 % and 300 %).
TEST(RenderProcess, BitmapNibUnderSteadyPressureRendersASteadyWidth)
{
    TempFolder folder;
    RecordingDocumentHost host;
    TPaper live(host);
    ASSERT_TRUE(live.NewPicture("nib", false, false, 72, 400, 120, 400, 120));
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;
    // A solid 20 x 20 nib (the preset's channel holds 255 - coverage).
    auto channel = std::make_unique<TChannel>(20, 20);
    channel->FillAll(0);
    CPenShapeObj nib;
    ASSERT_TRUE(nib.SetBitmap(std::move(channel)));
    ASSERT_TRUE(nib.SetScale(300));
    BrushMethodRecord method;
    method.renderClass = uint8_t(RenderClass::Draw);
    render.SetMethod(method);
    render.SetNibPreset(&nib, false, false, false);
    NibRecord record = render.Nib();
    record.minRadius = 0;
    render.SetNib(record);
    pen.color = 0xFF000000u;
    ASSERT_TRUE(live.SetPenRenderer(&render));
    BrushRecord brush;
    brush.pressureSize = true;
    live.StrokeManager().SetBrush(brush);
    ASSERT_TRUE(live.StrokeBegin(flow, pen, true, 0.5f, 60, 20));
    for (int x = 40; x <= 380; x += 20)
        ASSERT_TRUE(live.StrokePoint(flow, pen, true, 0.5f, 60, float(x)));
    EdgeRect changed;
    ASSERT_TRUE(live.StrokeEnd(flow, pen, true, changed));
    ASSERT_TRUE(live.SetPenRenderer(nullptr));
    ASSERT_EQ(SaveEventFile(folder / "nib.vd4", live, EventSaveRequest{}), EventFileCode::Ok);
    ASSERT_TRUE(SaveBmp24(live.Composite(), (folder / "live.bmp").c_str(), live.Resolution));

    ASSERT_EQ(RunMorvane({"-render", folder / "nib.vd4"}).status, 8);
    int32_t width = 0;
    const Bytes rendered = ReadBytes(folder / "nib.bmp");
    const std::vector<int32_t> runs = DarkPixelsPerColumn(rendered, width);
    ASSERT_EQ(width, 400);
    // 20 px x 160 % = 32 rows (the soft rim's darker half), from x = 160
    // (the pressure within 1 % of 0.5) to where the last dab ends.
    for (int32_t x = 160; x < 340; ++x)
        ASSERT_NEAR(runs[size_t(x)], 32, 1) << "column " << x;
    EXPECT_TRUE(rendered == ReadBytes(folder / "live.bmp"));
}

// ---- hostile inputs: each ends in bounded time and memory with its code

// Where a hostile run must end: within 10 s of processor time (the wall
// clock of a shared machine says little), and within the memory it was
// allowed plus what the program itself takes.
constexpr double kHostileSeconds = 10;
#ifdef __SANITIZE_ADDRESS__
// The address sanitizer keeps what is freed a while and shadows the rest.
constexpr long kProgramKiB = 600 * 1024;
#else
constexpr long kProgramKiB = 200 * 1024;
#endif

std::string ErrorsOf(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// The blank recording with n nibs of 1024 x 1024 pixels embedded after it,
// each a few hundred bytes of zeros in the stream.
Bytes NibBomb(int n)
{
    Bytes stream = BlankStream(64, 48);
    stream.resize(stream.size() - 2); // the end mark comes last
    EmbeddedNibPayload nib;
    nib.width = 1024, nib.height = 1024, nib.scale = 40;
    EXPECT_TRUE(PackPixels(nib.bitmap, Bytes(size_t(1024) * 1024, 0)));
    for (int i = 0; i < n; ++i) {
        nib.id = uint32_t(1000 + i);
        const Bytes packet = nib.Encode();
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    stream.insert(stream.end(), {2, 255});
    return stream;
}

// A packed container whose header claims `blocks` blocks of 64 KiB of zeros,
// each present as the same few dozen bytes: a stream of gigabytes from a
// file of a megabyte or so.
Bytes ContainerBomb(uint32_t blocks, int32_t width, int32_t height)
{
    const Bytes zeros(65536, 0);
    MemoryCompressSink sink;
    EXPECT_TRUE(Compress(zeros, sink, kCompressLevelEvents));
    const Bytes packed(sink.Data().begin(), sink.Data().end());
    const uint32_t padded = uint32_t((packed.size() + 3) & ~size_t(3));
    Bytes file(56, 0);
    const auto put32 = [&file](size_t at, uint32_t v) { le::Put32(file.data() + at, v); };
    put32(0, le::Tag("MEVP"));
    put32(4, 48);
    put32(8, uint32_t(width));
    put32(12, uint32_t(height));
    file[16] = uint8_t(kEventGeneration);
    file[19] = uint8_t(kEventFlagInteractive >> 8);
    file[20] = 4;
    file[22] = 50;
    put32(24, 1);
    put32(28, blocks * 65536u);
    put32(40, blocks);
    put32(44, 65536);
    for (uint32_t b = 0; b < blocks; ++b) {
        const size_t at = file.size();
        file.resize(at + 28 + padded, 0);
        le::Put32(file.data() + at, le::Tag("MBEV"));
        le::Put32(file.data() + at + 4, 20 + padded);
        le::Put32(file.data() + at + 8, b * 65536u);
        le::Put32(file.data() + at + 12, 65536);
        le::Put32(file.data() + at + 16, uint32_t(packed.size()));
        std::copy(packed.begin(), packed.end(), file.begin() + ptrdiff_t(at + 28));
    }
    return file;
}

// A stroke of n points that swing from 2^20 px left of a 1000 x 1000 canvas
// to 2^20 px right of it with a changing pressure and a nib of 0.1 px that
// divides every step by three: every segment crosses the canvas, all but a
// thousand of its three million steps off it.
void WriteSwingingStroke(const std::string& path, int n)
{
    RecordingDocumentHost host;
    TPaper live(host);
    ASSERT_TRUE(live.NewPicture("swing", false, false, 72, 1000, 1000, 1000, 1000));
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;
    NibRecord nib;
    nib.radius = 10;
    render.SetNib(nib);
    ASSERT_TRUE(live.SetPenRenderer(&render));
    BrushRecord brush;
    brush.pressureSize = brush.pressureDensity = true;
    brush.denseStepRadius = brush.subStepRadius = 1;
    live.StrokeManager().SetBrush(brush);
    const float far = 1048500.0f;
    ASSERT_TRUE(live.StrokeBegin(flow, pen, true, 1, 500, -far));
    for (int i = 1; i < n; ++i)
        ASSERT_TRUE(live.StrokePoint(flow, pen, true, i % 3 ? 0.9f : 0.2f, float(100 + (i * 37) % 800),
                                     i % 2 ? 1000 + far : -far));
    EdgeRect changed;
    ASSERT_TRUE(live.StrokeEnd(flow, pen, true, changed));
    ASSERT_TRUE(live.SetPenRenderer(nullptr));
    ASSERT_EQ(SaveEventFile(path, live, EventSaveRequest{}), EventFileCode::Ok);
}

TEST(RenderProcess, NibBombRendersWithinItsBudgetOrEndsForLackOfMemory)
{
    TempFolder folder;
    fs::create_directory(folder / "out");
    // 128 nibs of 1 MiB each from a few kilobytes: held unpacked, 128 MiB.
    WriteEventFile(folder / "nibs.vd4", NibBomb(128), 64, 48);
    ASSERT_LT(ReadBytes(folder / "nibs.vd4").size(), size_t(64) << 10);
    RunOptions options;
    options.errors = folder / "nibs.err";
    const ProgramRun whole = RunMorvane({"-render", "-M96", "-O" + (folder / "out"), folder / "nibs.vd4"}, options);
    EXPECT_EQ(whole.status, 8);
    EXPECT_LT(whole.cpuSeconds, kHostileSeconds);
    EXPECT_LT(whole.peakKiB, 96 * 1024 + kProgramKiB);
    // A budget below one unpacked nib and its copy: code 10, and why.
    const ProgramRun starved = RunMorvane({"-render", "-M1", "-O" + (folder / "out"), folder / "nibs.vd4"}, options);
    EXPECT_EQ(starved.status, 10);
    EXPECT_LT(starved.cpuSeconds, kHostileSeconds);
    EXPECT_LT(starved.peakKiB, 1024 + kProgramKiB);
    EXPECT_NE(ErrorsOf(folder / "nibs.err").find("メモリ不足により正常に実行できませんでした！"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "out/nibs.bad"));
}

TEST(RenderProcess, ContainerBombEndsForLackOfMemoryBeforeUnpacking)
{
    TempFolder folder;
    // 32767 blocks: 2 GiB less 64 KiB of zeros from about 1.4 MB.
    WriteBytes(folder / "bomb.vd4", ContainerBomb(32767, 1000, 1000));
    RunOptions options;
    options.errors = folder / "bomb.err";
    const ProgramRun run = RunMorvane({"-render", folder / "bomb.vd4"}, options);
    EXPECT_EQ(run.status, 10);
    EXPECT_LT(run.cpuSeconds, kHostileSeconds);
    EXPECT_LT(run.peakKiB, kProgramKiB);
    EXPECT_NE(ErrorsOf(folder / "bomb.err").find("メモリ不足により正常に実行できませんでした！"), std::string::npos);
}

TEST(RenderProcess, StrokesFromFarOffRenderInBoundedTime)
{
    TempFolder folder;
    // 200 strokes from 2^20 px off, and the worst built so far: one stroke
    // whose every segment swings across the canvas from side to side.
    ASSERT_EQ(WriteFarStrokeRecording(folder / "far.vd4", FarStrokes::Far, 200), 0);
    WriteSwingingStroke(folder / "swing.vd4", 400);
    for (const char* name : {"far", "swing"}) {
        const ProgramRun run = RunMorvane({"-render", "-M512", folder / (std::string(name) + ".vd4")});
        EXPECT_EQ(run.status, 8) << name;
        EXPECT_LT(run.cpuSeconds, kHostileSeconds) << name;
        EXPECT_LT(run.peakKiB, 512 * 1024 + kProgramKiB) << name;
    }
}


// ---- the export run ----

// A document with a painted, half-transparent layer on a transparent paper.
void WriteDocument(const std::string& path, TMTC& composite)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("e", true, true, 150, 40, 30, 40, 30));
    TMTC image(40, 30);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            *image.PixelPtr(x, y) = uint32_t(x * 6) | uint32_t(y * 8) << 8 | uint32_t(x * 3 + 40) << 24;
    ASSERT_TRUE(paper.ImportImageAsLayer(image, "i.png"));
    ASSERT_EQ(SaveDocumentFile(path, paper), DocFileCode::Ok);
    ASSERT_TRUE(FlattenForExport(paper, true, composite));
}

TEST(ExportProcess, WritesEachTypeWithoutADisplayAndAnswersByExitStatus)
{
    const support::TempFolder folder;
    const std::string doc = folder / "a.mci";
    TMTC composite;
    WriteDocument(doc, composite);
    ASSERT_TRUE(composite.IsValid());

    ASSERT_EQ(RunMorvane({"-export", doc, folder / "a.png"}).status, 0);
    TMTC png;
    ASSERT_EQ(LoadImageFile(folder / "a.png", png, nullptr), DecodeResult::Ok);
    EXPECT_EQ(support::Checksum(png), support::Checksum(composite));
    // An image in, every output type out.
    for (const char* out : {"b.bmp", "b.jpg", "b.mci", "b.png"})
        EXPECT_EQ(RunMorvane({"-export", folder / "a.png", folder / out}).status, 0) << out;
    RecordingDocumentHost host;
    TPaper reopened(host);
    ASSERT_EQ(LoadDocumentFile(folder / "b.mci", reopened), DocFileCode::Ok);
    EXPECT_EQ(reopened.Width, 40);
    // -Q sets the quality: the lowest makes the smallest file.
    ASSERT_EQ(RunMorvane({"-export", doc, folder / "q.jpg", "-Q10"}).status, 0);
    EXPECT_LT(fs::file_size(folder / "q.jpg"), fs::file_size(folder / "b.jpg"));

    support::WriteBytes(folder / "junk.png", Bytes{1, 2, 3});
    const std::string errors = folder / "errors.txt";
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"-export", folder / "missing.mci", folder / "m.png"}, 10},
        {{"-export", folder / "junk.png", folder / "m.png"}, 10},
        {{"-export", std::string(MORVANE_DEMO), folder / "m.png"}, 10},
        {{"-export", doc, folder / "no/folder.png"}, 9},
        {{"-export", doc, folder / "m.gif"}, 2},
        {{"-export", doc, folder / "m.jpg", "-Q9"}, 2},
        {{"-export", doc, folder / "m.jpg", "-Q101"}, 2},
        {{"-export", doc}, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunMorvane(c.args, {.errors = errors}).status, c.status) << c.args.back();
        const Bytes said = support::ReadBytes(errors);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "one summary line";
    }
    EXPECT_FALSE(fs::exists(folder / "m.png"));
}

} // namespace
} // namespace morvane
