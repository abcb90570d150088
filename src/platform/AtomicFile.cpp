#include "platform/AtomicFile.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

AtomicFile::AtomicFile(std::string target) : target_(std::move(target))
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
    // mkstemp creates the file readable by the owner only; give it the usual mode.
    if (ok) {
        mode_t mask = umask(0);
        umask(mask);
        ok = chmod(temp_.c_str(), 0666 & ~mask) == 0;
    }
    if (ok && std::rename(temp_.c_str(), target_.c_str()) == 0) {
        temp_.clear();
        return true;
    }
    Discard();
    return false;
}

} // namespace morvane
