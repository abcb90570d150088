// JPEG through libjpeg-turbo, decoded straight to blue, green, red, alpha.
// Grey and colour files convert in the library; CMYK and YCCK ones (as
// Adobe programs write them, inverted) are converted here. A file cut short
// decodes with the library's grey padding in the missing part, as other
// viewers show it.
//
// libjpeg reports errors by longjmp back into ReadJpeg: that function's frame
// holds no object with a destructor, and nothing is created between the
// setjmp and the jump that would need one.
#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "codecs/DecoderSupport.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
// A progressive file may hold any number of scans, each a full pass over the
// coefficients; real files have a dozen or so.
constexpr int kMaxScans = 500;
constexpr JDIMENSION kRowsPerCall = 16;

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr, int) {}

void OnProgress(j_common_ptr cinfo)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans)
        OnError(cinfo);
}

int JpegDpi(const jpeg_decompress_struct& d)
{
    if (d.density_unit == 1)
        return d.X_density;
    if (d.density_unit == 2)
        return DpiFromPixelsPerMetre(int64_t(d.X_density) * 100);
    return 0;
}

// Adobe's CMYK is stored inverted (255 = no ink); other writers store ink.
void CmykRowToBgra(const JSAMPLE* src, uint32_t* dst, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, src += 4) {
        uint32_t c = src[0], m = src[1], y = src[2], k = src[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        dst[x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

// The libjpeg part; returns Ok or the failure, with `out` possibly half filled.
DecodeResult ReadJpeg(jpeg_decompress_struct* d, JpegErrors* errors, jpeg_progress_mgr* progress,
                      const uint8_t* data, size_t size, TMTC* out, int* dpi, const DecodeLimits* limits)
{
    if (setjmp(errors->jump))
        return errors->pub.msg_code == JERR_OUT_OF_MEMORY ? DecodeResult::OutOfMemory : DecodeResult::Corrupt;
    jpeg_create_decompress(d); // clears everything but the error manager
    d->progress = progress;
    jpeg_mem_src(d, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(d, TRUE) != JPEG_HEADER_OK)
        return DecodeResult::Corrupt;
    const bool cmyk = d->jpeg_color_space == JCS_CMYK || d->jpeg_color_space == JCS_YCCK;
    d->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    const DecodeResult allocated = AllocateImage(*out, d->image_width, d->image_height, *limits);
    if (allocated != DecodeResult::Ok)
        return allocated;
    jpeg_start_decompress(d);
    if (d->output_width != d->image_width || d->output_height != d->image_height)
        return DecodeResult::Corrupt;
    JSAMPARRAY cmykRow = cmyk ? (*d->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(d), JPOOL_IMAGE,
                                                        d->output_width * 4, 1)
                              : nullptr;
    // Several rows a call let the library hand over a whole row group at once.
    JSAMPROW rows[kRowsPerCall];
    while (d->output_scanline < d->output_height) {
        const JDIMENSION first = d->output_scanline;
        const JDIMENSION count = cmyk ? 1 : std::min<JDIMENSION>(kRowsPerCall, d->output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = cmyk ? cmykRow[0] : reinterpret_cast<JSAMPROW>(out->Row(int32_t(first + i)));
        if (jpeg_read_scanlines(d, rows, count) == 0)
            return DecodeResult::Truncated;
        if (cmyk)
            CmykRowToBgra(rows[0], out->Row(int32_t(first)), d->output_width, d->saw_Adobe_marker);
    }
    // Whatever follows the last row (a damaged trailer, say) cannot spoil the
    // image, so the decoder is not finished, only destroyed.
    *dpi = JpegDpi(*d);
    return DecodeResult::Ok;
}
} // namespace

DecodeResult DecodeJpeg(const uint8_t* data, size_t size, TMTC& out, int* dpiOut, const DecodeLimits& limits)
{
    if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8)
        return FinishDecode(out, DecodeResult::UnknownFormat, 0, dpiOut);
    jpeg_decompress_struct d{};
    JpegErrors errors{};
    d.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnError;
    errors.pub.emit_message = OnMessage;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    int dpi = 0;
    const DecodeResult result = ReadJpeg(&d, &errors, &progress, data, size, &out, &dpi, &limits);
    jpeg_destroy_decompress(&d);
    return FinishDecode(out, result, dpi, dpiOut);
}

} // namespace morvane
