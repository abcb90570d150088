#include "platform/AtomicFile.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {
// A link is written through to the file it names, so the link stays a link.
std::string ResolvedTarget(std::string target)
{
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return target;
    char* resolved = realpath(target.c_str(), nullptr);
    if (!resolved)
        return target;
    std::string path(resolved);
    std::free(resolved);
    return path;
}
} // namespace

AtomicFile::AtomicFile(std::string target) : target_(ResolvedTarget(std::move(target)))
{
    temp_ = target_ + ".XXXXXX";
    int fd = mkstemp(temp_.data());
    if (fd < 0) {
        failed_ = true;
        temp_.clear();
        return;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        Discard();
    }
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty())
        std::remove(temp_.c_str());
    temp_.clear();
    failed_ = true;
}

bool AtomicFile::Write(const void* data, size_t size)
{
    if (failed_ || !file_)
        return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size)
        failed_ = true;
    return !failed_;
}

bool AtomicFile::Commit()
{
    if (failed_ || !file_)
        return false;
    bool ok = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    // mkstemp creates the file readable by the owner only: a replaced file
    // keeps its own permission bits, a new one gets the usual mode.
    if (ok) {
        struct stat old {};
        mode_t mode;
        if (stat(target_.c_str(), &old) == 0) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        ok = chmod(temp_.c_str(), mode) == 0;
    }
    if (ok && std::rename(temp_.c_str(), target_.c_str()) == 0) {
        temp_.clear();
        return true;
    }
    Discard();
    return false;
}

} // namespace morvane
