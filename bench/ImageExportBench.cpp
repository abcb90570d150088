// Export: a 4096 x 4096 picture written as PNG and as JPEG by the export
// (flattening the composite over the paper, encoding into memory, the safe
// write of the file) against a bare libpng or libjpeg-turbo write of the
// same flattened pixels to a file: PNG at the same level and filters, JPEG
// at quality 75 from the same blue, green, red, alpha rows.
#include <cstdio>
#include <filesystem>
#include <memory>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t
#include <png.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "document/DocumentHost.h"
#include "document/PictureExport.h"
#include "document/TPaper.h"
#include "events/EventRecorder.h"

namespace morvane::bench {
namespace {

// A smooth picture with a little noise: files of realistic size.
TMTC TestPicture()
{
    TMTC image(kSide, kSide);
    std::vector<uint32_t> noise(kPixels);
    FillRandom(noise.data(), kPixels, 13);
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
            const uint32_t n = noise[size_t(y) * kSide + size_t(x)];
            const uint32_t r = (uint32_t(x) / 16 + (n & 3)) & 255, g = (uint32_t(y) / 16 + (n >> 8 & 3)) & 255;
            const uint32_t b = (uint32_t(x + y) / 32 + (n >> 16 & 3)) & 255;
            *image.PixelPtr(x, y) = 0xFF000000u | r << 16 | g << 8 | b;
        }
    return image;
}

struct Scene {
    Scene()
    {
        char pattern[] = "/tmp/morvane-export-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        folder = pattern;
        const TMTC image = TestPicture();
        ready = paper.NewPictureFromImage("bench", image, 72, "bench.png", false) &&
                FlattenForExport(paper, false, flat);
    }
    ~Scene()
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
    SilentDocumentHost host;
    TPaper paper{host, {}, std::make_unique<NullEventRecorder>()};
    TMTC flat;
    std::string folder;
    bool ready = false;
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

void ExportOurs(benchmark::State& state, const char* name)
{
    Scene& s = TheScene();
    if (!s.ready) {
        state.SkipWithError("could not make the picture");
        return;
    }
    const std::string path = s.folder + "/" + name;
    TimeEach(state, kBytes, [&] { return ExportPicture(s.paper, path) == WriteCode::Ok; });
}

void PngOurs(benchmark::State& state) { ExportOurs(state, "ours.png"); }
void JpegOurs(benchmark::State& state) { ExportOurs(state, "ours.jpg"); }

bool BarePngWrite(const std::string& path, const TMTC& image)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int32_t y = 0; y < image.Height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(image.Row(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool BareJpegWrite(const std::string& path, const TMTC& image)
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
    c.in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 75, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(image.Row(int32_t(c.next_scanline))));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(file) == 0;
}

void Baseline(benchmark::State& state, bool (*write)(const std::string&, const TMTC&), const char* name)
{
    Scene& s = TheScene();
    if (!s.ready) {
        state.SkipWithError("could not make the picture");
        return;
    }
    const std::string path = s.folder + "/" + name;
    TimeEach(state, kBytes, [&] { return write(path, s.flat); });
}

void PngBaseline(benchmark::State& state) { Baseline(state, BarePngWrite, "bare.png"); }
void JpegBaseline(benchmark::State& state) { Baseline(state, BareJpegWrite, "bare.jpg"); }

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(png_export_vs_bare_libpng, PngOurs, PngBaseline);
MORVANE_FIGURE(jpeg_export_vs_bare_libjpeg, JpegOurs, JpegBaseline);
