// The decoders' common ground: size checks, resolution, reading a file and
// choosing the decoder by the content's signature.
#include "codecs/ImageDecoders.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codecs/DecoderSupport.h"
#include "platform/MemoryBudget.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
// A file larger than the largest image any format could hold with its
// extras is not read at all.
constexpr uint64_t kMaxFileBytes = uint64_t(4) << 30;

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t length)
{
    return size >= length && std::memcmp(data, magic, length) == 0;
}

using Decoder = DecodeResult (*)(const uint8_t*, size_t, TMTC&, int*, const DecodeLimits&);

Decoder DecoderFor(const uint8_t* data, size_t size)
{
    if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8))
        return DecodePng;
    if (StartsWith(data, size, "\xFF\xD8\xFF", 3))
        return DecodeJpeg;
    if (StartsWith(data, size, "BM", 2))
        return DecodeBmp;
    if (StartsWith(data, size, "8BPS", 4))
        return DecodePsd;
    return nullptr;
}
} // namespace

bool DecodeSizeAllowed(int64_t width, int64_t height, const DecodeLimits& limits)
{
    return width >= 1 && height >= 1 && width <= limits.maxSide && height <= limits.maxSide &&
           width <= limits.maxPixels / height;
}

int DpiFromPixelsPerMetre(int64_t pixelsPerMetre)
{
    if (pixelsPerMetre <= 0)
        return 0;
    // Every value a file can hold (below 2^32) gives a dpi far inside int.
    return int(std::floor(double(pixelsPerMetre) * 2.54 / 100 + 0.41 + 0.5));
}

DecodeResult AllocateImage(TMTC& out, int64_t width, int64_t height, const DecodeLimits& limits)
{
    if (!DecodeSizeAllowed(width, height, limits))
        return DecodeFailed(out, DecodeResult::TooLarge);
    if (!out.Resize(int32_t(width), int32_t(height)))
        return DecodeFailed(out, DecodeResult::OutOfMemory);
    return DecodeResult::Ok;
}

DecodeResult DecodeFailed(TMTC& out, DecodeResult result)
{
    out.Release();
    return result;
}

DecodeResult FinishDecode(TMTC& out, DecodeResult result, int dpi, int* dpiOut)
{
    if (dpiOut)
        *dpiOut = result == DecodeResult::Ok ? dpi : 0;
    return result == DecodeResult::Ok ? result : DecodeFailed(out, result);
}

FileBytes::~FileBytes() { FreeBlock(data_, capacity_); }

DecodeResult FileBytes::Read(const char* path)
{
    FreeBlock(data_, capacity_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return DecodeResult::OpenFailed;
    struct stat st {};
    DecodeResult result = DecodeResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        result = DecodeResult::OpenFailed;
    else if (uint64_t(st.st_size) > kMaxFileBytes)
        result = DecodeResult::TooLarge;
    else if ((data_ = static_cast<uint8_t*>(AllocBlock(uint64_t(st.st_size)))) == nullptr)
        result = DecodeResult::OutOfMemory;
    else
        capacity_ = size_t(st.st_size);
    // A file that shrinks meanwhile gives what is there (the decoder then sees
    // a truncated file); one that grows gives its old length.
    while (result == DecodeResult::Ok && size_ < capacity_) {
        const ssize_t got = ::read(fd, data_ + size_, capacity_ - size_);
        if (got == 0)
            break;
        if (got > 0)
            size_ += size_t(got);
        else if (errno != EINTR)
            result = DecodeResult::OpenFailed;
    }
    ::close(fd);
    return result;
}

DecodeResult DecodeImageMemory(const uint8_t* data, size_t size, TMTC& out, int* dpiOut,
                               const DecodeLimits& limits)
{
    if (dpiOut)
        *dpiOut = 0;
    const Decoder decoder = data ? DecoderFor(data, size) : nullptr;
    if (!decoder)
        return DecodeFailed(out, DecodeResult::UnknownFormat);
    return decoder(data, size, out, dpiOut, limits);
}

DecodeResult DecodeImageFile(const std::string& utf8Path, TMTC& out, int* dpiOut, const DecodeLimits& limits)
{
    if (dpiOut)
        *dpiOut = 0;
    // Paths are bytes here: a UTF-8 name opens as it is.
    FileBytes file;
    const DecodeResult read = file.Read(utf8Path.c_str());
    if (read != DecodeResult::Ok)
        return DecodeFailed(out, read);
    return DecodeImageMemory(file.Data(), file.Size(), out, dpiOut, limits);
}

DecodeResult DecodePsdPreviewFile(const std::string& utf8Path, int32_t sizeWanted, TMTC& out,
                                  const DecodeLimits& limits)
{
    FileBytes file;
    const DecodeResult read = file.Read(utf8Path.c_str());
    if (read != DecodeResult::Ok)
        return DecodeFailed(out, read);
    return DecodePsdPreview(file.Data(), file.Size(), sizeWanted, out, limits);
}

} // namespace morvane
