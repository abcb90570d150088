#include "files/ImageExport.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <png.h>

#include "codecs/Bmp.h"
#include "files/FileTypes.h"
#include "platform/AtomicFile.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

// ---- PNG ----------------------------------------------------------------------------

// Where libpng's write callback puts the bytes. A failed append is noted
// and turned into png_error outside the try block, so the jump leaves no
// C++ object behind.
struct PngSink {
    std::vector<uint8_t>* out;
};

void PngWrite(png_structp png, png_bytep data, png_size_t size)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        sink->out->insert(sink->out->end(), data, data + size);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    if (failed)
        png_error(png, "out of memory");
}

void PngFlush(png_structp) {}

void PngQuiet(png_structp, png_const_charp) {}

[[noreturn]] void PngFail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Everything between setjmp and the jumps is plain C data.
bool WritePng(png_structp png, png_infop info, const TMTC& image, int dpi, bool withAlpha, PngSink* sink)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, sink, PngWrite, PngFlush);
    png_set_IHDR(png, info, png_uint_32(image.Width), png_uint_32(image.Height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dpi > 0) {
        const png_uint_32 ppm = png_uint_32(dpi * 10000.0 / 254.0 + 0.5);
        png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    png_set_bgr(png);
    if (!withAlpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int32_t y = 0; y < image.Height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(image.Row(y)));
    png_write_end(png, info);
    return true;
}

// ---- JPEG ---------------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

bool WriteJpeg(jpeg_compress_struct* cinfo, JpegError* error, const TMTC& image, int dpi, const JpegOptions* options,
               unsigned char** buffer, unsigned long* size)
{
    if (setjmp(error->jump))
        return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = JDIMENSION(image.Width);
    cinfo->image_height = JDIMENSION(image.Height);
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(cinfo);
    if (options->greyscale)
        jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(cinfo, options->quality, TRUE);
    cinfo->smoothing_factor = options->smoothing;
    if (options->progressive)
        jpeg_simple_progression(cinfo);
    if (dpi > 0 && dpi <= 0xFFFF) {
        cinfo->density_unit = 1;
        cinfo->X_density = UINT16(dpi);
        cinfo->Y_density = UINT16(dpi);
    }
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(image.Row(int32_t(cinfo->next_scanline))));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

bool Usable(const TMTC& image) { return image.IsValid() && image.Width > 0 && image.Height > 0; }

} // namespace

ExportFormat ExportFormatOf(const std::string& path)
{
    switch (FileTypeOf(path)) {
    case FileType::Bmp: return ExportFormat::Bmp;
    case FileType::Png: return ExportFormat::Png;
    case FileType::Jpeg: return ExportFormat::Jpeg;
    default: return ExportFormat::None;
    }
}

bool EncodePng(const TMTC& image, int dpi, bool withAlpha, std::vector<uint8_t>& out)
{
    out.clear();
    if (!Usable(image))
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngQuiet);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    PngSink sink{&out};
    const bool written = info && WritePng(png, info, image, dpi, withAlpha, &sink);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!written)
        out.clear();
    return written;
}

bool EncodeJpeg(const TMTC& image, int dpi, const JpegOptions& options, std::vector<uint8_t>& out)
{
    out.clear();
    if (!Usable(image))
        return false;
    JpegOptions checked = options;
    if (checked.quality < JpegOptions::kMinQuality || checked.quality > JpegOptions::kMaxQuality)
        checked.quality = JpegOptions::kDefaultQuality;
    if (checked.smoothing < 0 || checked.smoothing > 100)
        checked.smoothing = 0;
    jpeg_compress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = JpegFail;
    error.mgr.emit_message = JpegQuiet;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool written = WriteJpeg(&cinfo, &error, image, dpi, &checked, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    bool kept = false;
    if (written && buffer) {
        try {
            out.assign(buffer, buffer + size);
            kept = true;
        } catch (const std::bad_alloc&) {
        }
    }
    std::free(buffer);
    return kept;
}

WriteCode ExportImage(const TMTC& image, const std::string& path, int dpi, bool withAlpha,
                      const JpegOptions& options)
{
    const ExportFormat format = ExportFormatOf(path);
    if (!Usable(image) || format == ExportFormat::None)
        return WriteCode::Format;
    if (format == ExportFormat::Bmp)
        return SaveBmp24(image, path.c_str(), dpi) ? WriteCode::Ok : WriteCode::ShortWrite;
    std::vector<uint8_t> bytes;
    try {
        const bool encoded = format == ExportFormat::Png ? EncodePng(image, dpi, withAlpha, bytes)
                                                         : EncodeJpeg(image, dpi, options, bytes);
        if (!encoded)
            return WriteCode::ShortWrite;
    } catch (const std::bad_alloc&) {
        return WriteCode::NoMemory;
    }
    AtomicFile file(path);
    if (!file.IsOpen())
        return WriteCode::CannotOpen;
    return file.Write(bytes.data(), bytes.size()) && file.Commit() ? WriteCode::Ok : WriteCode::ShortWrite;
}

} // namespace morvane
