#include "app/RenderReport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace morvane {

RenderCode RenderCodeOfOpenResult(int openResult)
{
    if (openResult == 5)
        return kRenderProtected;
    return openResult == 6 ? kRenderImagesRefused : kRenderCannotOpen;
}

RenderCode ViewerCodeOfReplay(int reportResult)
{
    return reportResult == 0 ? kViewerDone : kRenderCannotOpen;
}

const char* MarkerExtension(int code)
{
    switch (code) {
    case kRenderCannotOpen:
        return ".bad";
    case kRenderProtected:
        return ".prt";
    case kRenderImagesRefused:
        return ".him";
    default:
        return nullptr;
    }
}

std::string OutputFolderFor(const std::string& eventFile, const std::string& outputFolder)
{
    if (!outputFolder.empty())
        return outputFolder;
    const std::filesystem::path parent = std::filesystem::path(eventFile).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string OutputPathFor(const std::string& folder, const std::string& eventFile, const std::string& extension)
{
    const std::string stem = std::filesystem::path(eventFile).stem().string();
    return (std::filesystem::path(folder) / (stem + extension)).string();
}

RenderReporter::RenderReporter(std::string eventFile, std::string outputFolder, int notifyFd)
    : eventFile_(std::move(eventFile)), folder_(OutputFolderFor(eventFile_, outputFolder)), notifyFd_(notifyFd)
{
}

int RenderReporter::Report(int code)
{
    if (const char* extension = MarkerExtension(code))
        WriteMarker(extension);
    SendCode(code);
    return code;
}

void RenderReporter::WriteMarker(const char* extension)
{
    if (markerWritten_ || eventFile_.empty())
        return;
    markerWritten_ = true;
    const std::string path = OutputPathFor(folder_, eventFile_, extension);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

void RenderReporter::SendCode(int code) const
{
    if (notifyFd_ < 0 || ::fcntl(notifyFd_, F_GETFD) == -1)
        return;
    char line[16];
    const int n = std::snprintf(line, sizeof line, "%d\n", code);
    // One write, so a reader never sees half a line; a closed pipe is the
    // caller's business (SIGPIPE is ignored by the program).
    [[maybe_unused]] const ssize_t written = ::write(notifyFd_, line, static_cast<size_t>(n));
}

} // namespace morvane
