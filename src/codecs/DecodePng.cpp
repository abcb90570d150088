// PNG through libpng. Every colour type, depth and interlacing ends as 8-bit
// blue, green, red, alpha; 16-bit samples are scaled, not cut. Gamma and
// colour profiles are ignored: a painting keeps the file's numbers.
//
// libpng reports errors by longjmp back into ReadPng: that function's frame
// holds no object with a destructor, and nothing is created between the
// setjmp and the jump that would need one.
#include <csetjmp>
#include <cstring>

#include <png.h>

#include "codecs/DecoderSupport.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
// Ancillary chunks, their text and their profiles are bounded so that a small
// file cannot make libpng allocate or inflate much beyond the image itself.
constexpr png_uint_32 kChunkCacheMax = 128;
constexpr png_alloc_size_t kChunkMallocMax = png_alloc_size_t(8) << 20;

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
    bool truncated;
};

void ReadFromMemory(png_structp png, png_bytep target, size_t count)
{
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > src->size - src->pos) {
        src->truncated = true;
        png_error(png, "truncated");
    }
    std::memcpy(target, src->data + src->pos, count);
    src->pos += count;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// The size in IHDR, read before libpng so that a refused size never reaches it.
bool PeekSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height)
{
    if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    width = png_get_uint_32(data + 16);
    height = png_get_uint_32(data + 20);
    return true;
}

// Deflate turns a byte into at most 1032; image data that could not hold the
// image's rows even so is refused before the image gets memory. The walk
// stops at the first chunk that does not fit, as libpng would.
bool ImageDataCanHold(const uint8_t* data, size_t size, uint32_t width, uint32_t height)
{
    constexpr uint64_t kMaxDeflateRatio = 1032;
    const uint32_t depth = data[24], colourType = data[25];
    const uint32_t samples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const uint64_t rowBytes = 1 + (uint64_t(width) * samples * depth + 7) / 8;
    uint64_t compressed = 0;
    for (size_t at = 8; at + 12 <= size;) {
        const uint64_t length = png_get_uint_32(data + at);
        if (length > size - at - 12)
            break;
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0)
            compressed += length;
        at += size_t(length) + 12;
    }
    return compressed * kMaxDeflateRatio >= rowBytes * height;
}

// Asks libpng for 8-bit blue, green, red, alpha whatever the file holds.
void RequestBgra(png_structp png, png_infop info)
{
    const png_byte colourType = png_get_color_type(png, info);
    png_set_expand(png); // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
}

// Known chunks that do not change the pixels are skipped unread.
void IgnoreUnusedChunks(png_structp png)
{
    static const png_byte kSkipped[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0sCAL\0"
                                       "sBIT\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, int(sizeof kSkipped / 5));
}

int PngDpi(png_structp png, png_infop info)
{
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (!png_get_pHYs(png, info, &x, &y, &unit) || unit != PNG_RESOLUTION_METER)
        return 0;
    return DpiFromPixelsPerMetre(int64_t(x));
}

// The libpng part; returns Ok or the failure, with `out` possibly half filled.
DecodeResult ReadPng(png_structp png, png_infop info, PngSource* src, TMTC* out, int* dpi,
                     const DecodeLimits* limits)
{
    volatile DecodeResult failure = DecodeResult::Corrupt;
    if (setjmp(png_jmpbuf(png)))
        return src->truncated ? DecodeResult::Truncated : DecodeResult(failure);

    png_set_read_fn(png, src, ReadFromMemory);
    png_set_user_limits(png, png_uint_32(limits->maxSide), png_uint_32(limits->maxSide));
    png_set_chunk_cache_max(png, kChunkCacheMax);
    png_set_chunk_malloc_max(png, kChunkMallocMax);
    IgnoreUnusedChunks(png);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    failure = AllocateImage(*out, width, height, *limits);
    if (failure != DecodeResult::Ok)
        return failure;
    failure = DecodeResult::Corrupt;
    RequestBgra(png, info);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        return DecodeResult::Corrupt;
    // Interlaced passes combine into the rows already read, so the rows of
    // the image itself serve every pass.
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(out->Row(int32_t(y))), nullptr);
    *dpi = PngDpi(png, info);
    return DecodeResult::Ok;
}

// The checks before libpng sees the data, then the libpng part in its own frame.
DecodeResult DecodePngData(const uint8_t* data, size_t size, TMTC& out, int& dpi, const DecodeLimits& limits)
{
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return DecodeResult::UnknownFormat;
    uint32_t width = 0, height = 0;
    if (!PeekSize(data, size, width, height))
        return size < 24 ? DecodeResult::Truncated : DecodeResult::Corrupt;
    if (!DecodeSizeAllowed(width, height, limits))
        return width == 0 || height == 0 ? DecodeResult::Corrupt : DecodeResult::TooLarge;
    if (size < 26 || !ImageDataCanHold(data, size, width, height))
        return DecodeResult::Truncated;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
        return DecodeResult::OutOfMemory;
    }
    PngSource src{data, size, 0, false};
    const DecodeResult result = ReadPng(png, info, &src, &out, &dpi, &limits);
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}
} // namespace

DecodeResult DecodePng(const uint8_t* data, size_t size, TMTC& out, int* dpiOut, const DecodeLimits& limits)
{
    int dpi = 0;
    const DecodeResult r = DecodePngData(data, size, out, dpi, limits);
    return FinishDecode(out, r, dpi, dpiOut);
}

} // namespace morvane
