#include "app/FolderRender.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/RenderReport.h"
#include "document/EventFile.h"

extern char** environ;

namespace morvane {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kMaxJobs = 64;

bool IsSwitch(const std::string& arg, const char* name)
{
    if (arg.size() != std::char_traits<char>::length(name))
        return false;
    return std::equal(arg.begin(), arg.end(), name,
                      [](char a, char b) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)b); });
}

bool ReadNumber(const std::string& text, int32_t& value)
{
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end;
}

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

// A child's answer: its exit status, a signal counting as a file that cannot be played.
int CodeOfStatus(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : int(kRenderCannotOpen);
}

pid_t StartChild(const std::string& program, const FolderRenderOptions& o, const std::string& file)
{
    std::vector<std::string> args = {program, "-render", "-O" + o.output, "-W0"};
    if (o.memoryMiB > 0)
        args.push_back("-M" + std::to_string(o.memoryMiB));
    args.push_back(file);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

void Tell(int fd, int code)
{
    if (fd < 0 || ::fcntl(fd, F_GETFD) == -1)
        return;
    const std::string line = std::to_string(code) + "\n";
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
}

} // namespace

bool ParseFolderRender(const std::vector<std::string>& args, FolderRenderOptions& o)
{
    bool render = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '-') {
            files.push_back(a);
        } else if (IsSwitch(a, "-render")) {
            render = true;
        } else if (IsSwitch(a, "-viewer")) {
            return false;
        } else if ((IsSwitch(a, "-j") || IsSwitch(a, "-O")) && i + 1 < args.size()) {
            if (IsSwitch(a, "-O"))
                o.output = args[++i];
            else if (!ReadNumber(args[++i], o.jobs))
                o.jobs = 0;
        } else if (a.size() > 2 && (a[1] == 'O' || a[1] == 'o')) {
            o.output = a.substr(2);
        } else if (a.size() > 2 && (a[1] == 'W' || a[1] == 'w')) {
            ReadNumber(a.substr(2), o.notifyFd);
        } else if (a.size() > 2 && (a[1] == 'M' || a[1] == 'm')) {
            ReadNumber(a.substr(2), o.memoryMiB);
        }
    }
    if (!render || files.size() != 1 || !IsFolder(files[0]))
        return false;
    o.folder = files[0];
    if (o.output.empty())
        o.output = o.folder;
    return true;
}

std::vector<std::string> EventFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::error_code kind;
        if (entry.is_regular_file(kind) && EventFileTypeOf(entry.path().string()) != EventFileType::None)
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

int RunFolderRender(const FolderRenderOptions& o, const std::string& program)
{
    const std::vector<std::string> files = EventFilesIn(o.folder);
    const int32_t cores = int32_t(std::max(1u, std::thread::hardware_concurrency()));
    const int32_t jobs = std::clamp(o.jobs > 0 ? o.jobs : cores, 1, kMaxJobs);
    if (files.empty())
        std::fprintf(stderr, "render: no event files in %s\n", o.folder.c_str());
    int largest = files.empty() ? int(kRenderCannotOpen) : 0;
    std::map<pid_t, std::string> running;
    size_t next = 0;
    const auto report = [&](const std::string& file, int code) {
        std::printf("%s -> %d\n", file.c_str(), code);
        std::fflush(stdout);
        largest = std::max(largest, code);
    };
    while (next < files.size() || !running.empty()) {
        while (next < files.size() && int32_t(running.size()) < jobs) {
            const std::string& file = files[next++];
            const pid_t pid = StartChild(program, o, file);
            if (pid < 0)
                report(file, kRenderCannotOpen);
            else
                running.emplace(pid, file);
        }
        if (running.empty())
            continue;
        int status = 0;
        const pid_t done = ::waitpid(-1, &status, 0);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (const auto it = running.find(done); it != running.end()) {
            report(it->second, CodeOfStatus(status));
            running.erase(it);
        }
    }
    Tell(o.notifyFd, largest);
    return largest;
}

} // namespace morvane
