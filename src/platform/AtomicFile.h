#pragma once
// Writes a file so that a failure never damages the old one: the data goes
// to a temporary file in the target folder, which replaces the target only
// after a complete, flushed write. Without Commit the temporary file is removed.
#include <cstddef>
#include <cstdio>
#include <string>

namespace morvane {

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // False once any write has failed; later writes do nothing.
    bool Write(const void* data, size_t size);
    // Flushes, syncs and renames over the target; false (target untouched) on failure.
    bool Commit();

private:
    void Discard();

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

} // namespace morvane
