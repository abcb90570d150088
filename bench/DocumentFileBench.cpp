// Document files of a 4096 x 4096 picture with four layers (noise, flat, a
// tenth stroked, a gradient): the save against bare zstd level 3 over the
// same blocks in runs of 64 and against libpng writing the flattened
// composite; the load against bare zstd decompression of those runs.
#include <png.h>
#include <zstd.h>

#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "document/DocumentHost.h"
#include "document/ImageOperations.h"
#include "document/PaperFile.h"
#include "document/TPaper.h"
#include "files/ByteStream.h"
#include "storage/CBlockVMTC.h"

namespace morvane::bench {
namespace {

constexpr int kRun = 64;

void FillLayer(CBlockVMTC& store, int kind)
{
    std::vector<uint32_t> rows(kPixels, 0x00FFFFFFu);
    if (kind == 0)
        FillRandom(rows.data(), rows.size(), 7);
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
            uint32_t& p = rows[size_t(y) * kSide + size_t(x)];
            if (kind == 2 && (uint32_t(x / 32) * 2654435761u + uint32_t(y / 32) * 40503u) % 10 == 0)
                p = 0xFF000000u | uint32_t((x * 3 + y) & 0xFF) << 8 | uint32_t(x ^ y) & 0xFF;
            if (kind == 3)
                p = 0xFF000000u | uint32_t(x * 255 / kSide) << 16 | uint32_t(y * 255 / kSide) << 8 | 0x40;
        }
    FillStoreFromRows(store, reinterpret_cast<const uint8_t*>(rows.data()));
}

struct Document {
    SilentDocumentHost host;
    TPaper paper{host};
    std::vector<uint8_t> file;

    Document()
    {
        paper.NewPicture("bench", true, false, 72, kSide, kSide, kSide, kSide);
        for (int i = 1; i < 4; ++i)
            paper.AddLayer(i, kSide, kSide, true, 255, 3);
        for (int i = 0; i < 4; ++i)
            FillLayer(*paper.LayerAt(i)->Store, i);
        paper.RenderAll(false);
        MemoryWriter out;
        SaveDocumentFile(out, paper);
        file = out.Bytes();
    }
};

Document& TheDocument()
{
    static Document document;
    return document;
}

// The committed blocks of every layer, gathered in runs of 64 as the file
// holds them.
std::vector<std::vector<uint8_t>> Runs()
{
    std::vector<std::vector<uint8_t>> runs;
    TPaper& paper = TheDocument().paper;
    for (int32_t i = 0; i < paper.LayerCount(); ++i) {
        const CBlockVMTC& store = *paper.LayerAt(i)->Store;
        const int64_t total = int64_t(store.BlocksX) * store.BlocksY;
        for (int64_t b = 0; b < total;) {
            if (!store.Blocks[b].Committed()) {
                ++b;
                continue;
            }
            std::vector<uint8_t> run;
            for (int n = 0; n < kRun && b < total && store.Blocks[b].Committed(); ++n, ++b)
                run.insert(run.end(), store.Blocks[b].Data, store.Blocks[b].Data + store.BlockBytes);
            runs.push_back(std::move(run));
        }
    }
    return runs;
}

void SaveOurs(benchmark::State& state)
{
    Document& d = TheDocument();
    TimeEach(state, int64_t(d.file.size()), [&] {
        // As the baseline writes into memory it has: no growing buffer timed.
        MemoryWriter out;
        out.Reserve(d.file.size());
        return SaveDocumentFile(out, d.paper) == DocFileCode::Ok;
    });
}

void SaveZstdBaseline(benchmark::State& state)
{
    const std::vector<std::vector<uint8_t>> runs = Runs();
    TimeEach(state, int64_t(TheDocument().file.size()), [&] {
        // Fresh output memory each time, as the save's own.
        const size_t size = ZSTD_compressBound(size_t(kRun) * 4096) * runs.size();
        const std::unique_ptr<uint8_t[]> out(new uint8_t[size]);
        size_t at = 0;
        for (const std::vector<uint8_t>& run : runs) {
            const size_t n = ZSTD_compress(out.get() + at, size - at, run.data(), run.size(), 3);
            if (ZSTD_isError(n))
                return false;
            at += n;
        }
        return true;
    });
}

void LoadOurs(benchmark::State& state)
{
    Document& d = TheDocument();
    TimeEach(state, int64_t(d.file.size()), [&] {
        SilentDocumentHost host;
        TPaper paper(host);
        MemoryReader in(d.file);
        return LoadDocumentFile(in, paper, "bench.mci") == DocFileCode::Ok;
    });
}

void LoadZstdBaseline(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> packed;
    for (const std::vector<uint8_t>& run : Runs()) {
        std::vector<uint8_t> out(ZSTD_compressBound(run.size()));
        out.resize(ZSTD_compress(out.data(), out.size(), run.data(), run.size(), 3));
        packed.push_back(std::move(out));
    }
    std::vector<uint8_t> target(size_t(kRun) * 4096);
    TimeEach(state, int64_t(TheDocument().file.size()), [&] {
        for (const std::vector<uint8_t>& run : packed)
            if (ZSTD_isError(ZSTD_decompress(target.data(), target.size(), run.data(), run.size())))
                return false;
        return true;
    });
}

void WriteToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// The flattened composite as a PNG at libpng's default level.
bool WritePng(const TTC& picture, std::vector<uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_bytep> rows(size_t(picture.Height));
    for (int32_t y = 0; y < picture.Height; ++y)
        rows[size_t(y)] = reinterpret_cast<png_bytep>(const_cast<uint32_t*>(picture.Row(y)));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, WriteToVector, nullptr);
    png_set_IHDR(png, info, uint32_t(picture.Width), uint32_t(picture.Height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void PngBaseline(benchmark::State& state)
{
    const TTC& picture = TheDocument().paper.Composite();
    TimeEach(state, kBytes, [&] {
        std::vector<uint8_t> out;
        out.reserve(size_t(kBytes));
        return WritePng(picture, out);
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(mci_save_vs_zstd, SaveOurs, SaveZstdBaseline);
MORVANE_FIGURE(mci_load_vs_zstd, LoadOurs, LoadZstdBaseline);
MORVANE_FIGURE(mci_save_vs_libpng, SaveOurs, PngBaseline);
