#include "files/ByteStream.h"

#include <cstring>
#include <new>
#include <sys/stat.h>

#include "platform/AtomicFile.h"

namespace morvane {

bool MemoryReader::Read(void* buffer, size_t size)
{
    if (size > Remaining())
        return false;
    if (size != 0)
        std::memcpy(buffer, bytes_.data() + position_, size);
    position_ += size;
    return true;
}

bool MemoryReader::Skip(uint64_t count)
{
    if (count > Remaining())
        return false;
    position_ += count;
    return true;
}

bool MemoryReader::Seek(uint64_t position)
{
    if (position > Size())
        return false;
    position_ = position;
    return true;
}

FileReader::~FileReader()
{
    if (file_)
        std::fclose(file_);
}

OpenCode FileReader::Open(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return OpenCode::NotFound;
    if (!S_ISREG(info.st_mode))
        return OpenCode::CannotOpen;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        return OpenCode::CannotOpen;
    size_ = uint64_t(info.st_size);
    position_ = 0;
    return OpenCode::Ok;
}

bool FileReader::Read(void* buffer, size_t size)
{
    if (!file_ || size > Remaining())
        return false;
    const size_t got = size == 0 ? 0 : std::fread(buffer, 1, size, file_);
    position_ += got;
    return got == size;
}

bool FileReader::Skip(uint64_t count)
{
    if (!file_ || count > Remaining())
        return false;
    // Remaining() bounds count by the file's size, which fits off_t.
    if (fseeko(file_, off_t(position_ + count), SEEK_SET) != 0)
        return false;
    position_ += count;
    return true;
}

bool FileReader::Seek(uint64_t position)
{
    if (!file_ || position > size_ || fseeko(file_, off_t(position), SEEK_SET) != 0)
        return false;
    position_ = position;
    return true;
}

bool ByteWriter::WriteZeros(size_t count)
{
    static const uint8_t zeros[64] = {};
    bool ok = true;
    while (ok && count > 0) {
        const size_t n = count < sizeof zeros ? count : sizeof zeros;
        ok = Write(zeros, n);
        count -= n;
    }
    return ok;
}

bool MemoryWriter::Write(const void* data, size_t size)
{
    if (failed_)
        return false;
    try {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
    return !failed_;
}

bool AtomicFileWriter::Write(const void* data, size_t size)
{
    if (!file_.Write(data, size))
        return false;
    position_ += size;
    return true;
}

} // namespace morvane
