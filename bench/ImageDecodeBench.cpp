// Image import: a 4096 x 4096 PNG and JPEG decoded to a TMTC by our
// decoders (file read, checks, conversion to blue, green, red, alpha) against
// a bare libpng or libjpeg-turbo read of the same file into a plain buffer
// in the same pixel order. The files are written once at start-up into a
// temporary folder.
#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <filesystem>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t
#include <png.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "codecs/ImageDecoders.h"

namespace morvane::bench {
namespace {

// A smooth picture with a little noise, as scans and paintings have: the
// files stay of realistic size and the decoders do real work on every pixel.
std::vector<uint32_t> TestPicture()
{
    std::vector<uint32_t> noise(kPixels), pixels(kPixels);
    FillRandom(noise.data(), kPixels, 11);
    for (size_t i = 0; i < kPixels; ++i) {
        const uint32_t x = uint32_t(i % kSide), y = uint32_t(i / kSide), n = noise[i];
        const uint32_t r = (x / 16 + (n & 3)) & 255, g = (y / 16 + (n >> 8 & 3)) & 255;
        const uint32_t b = ((x + y) / 32 + (n >> 16 & 3)) & 255, a = 255 - ((x ^ y) >> 5 & 127);
        pixels[i] = a << 24 | r << 16 | g << 8 | b;
    }
    return pixels;
}

bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_BGRA;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), kSide * 4, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

bool WriteJpeg(const std::string& path, const std::vector<uint32_t>& pixels)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors); // a failure here ends the benchmark program
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = kSide;
    c.image_height = kSide;
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(pixels.data() + size_t(c.next_scanline) * kSide));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(file) == 0;
}

// The two files, made on first use and removed at exit.
struct TestFiles {
    TestFiles()
    {
        char pattern[] = "/tmp/morvane-decode-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        folder = pattern;
        const std::vector<uint32_t> pixels = TestPicture();
        png = folder + "/picture.png";
        jpeg = folder + "/picture.jpg";
        ready = WritePng(png, pixels) && WriteJpeg(jpeg, pixels);
    }
    ~TestFiles()
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
    std::string folder, png, jpeg;
    bool ready = false;
};

const TestFiles& Files()
{
    static const TestFiles files;
    return files;
}

void DecodeOurs(benchmark::State& state, const std::string TestFiles::*which)
{
    if (!Files().ready) {
        state.SkipWithError("could not write the test files");
        return;
    }
    TMTC image;
    int dpi = 0;
    TimeEach(state, kBytes, [&] { return DecodeImageFile(Files().*which, image, &dpi) == DecodeResult::Ok; });
}

void PngOurs(benchmark::State& state) { DecodeOurs(state, &TestFiles::png); }
void JpegOurs(benchmark::State& state) { DecodeOurs(state, &TestFiles::jpeg); }

// A plain libpng read: rows straight into the buffer, blue first.
bool BarePngRead(const char* path, uint8_t* pixels)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(png, pixels + y * rowBytes, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

// A plain libjpeg-turbo read: to blue, green, red, alpha, as many rows a
// call as the library offers.
bool BareJpegRead(const char* path, uint8_t* pixels)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    jpeg_decompress_struct d{};
    jpeg_error_mgr errors{};
    d.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, file);
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d);
    JSAMPROW rows[16];
    while (d.output_scanline < d.output_height) {
        for (JDIMENSION i = 0; i < 16; ++i)
            rows[i] = pixels + size_t(std::min(d.output_scanline + i, d.output_height - 1)) * d.output_width * 4;
        jpeg_read_scanlines(&d, rows, 16);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(file);
    return true;
}

void BareBaseline(benchmark::State& state, bool (*read)(const char*, uint8_t*), const std::string TestFiles::*which)
{
    if (!Files().ready) {
        state.SkipWithError("could not write the test files");
        return;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(kBytes));
    TimeEach(state, kBytes, [&] { return read((Files().*which).c_str(), pixels.data()); });
}

void PngBaseline(benchmark::State& state) { BareBaseline(state, BarePngRead, &TestFiles::png); }
void JpegBaseline(benchmark::State& state) { BareBaseline(state, BareJpegRead, &TestFiles::jpeg); }

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(png_decode_vs_bare_libpng, PngOurs, PngBaseline);
MORVANE_FIGURE(jpeg_decode_vs_bare_libjpeg, JpegOurs, JpegBaseline);
