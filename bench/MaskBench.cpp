// Masks and the selection outline: expand and contract over the octagon
// against libvips' morphology with the same octagon, combining two masks
// against a copy of their bytes, and the ants' outline and one tick's
// drawing against plain memory traffic of the same size; the colour range
// of a noisy layer against a copy of the layer.
#include <algorithm>
#include <memory>

#include "BenchSupport.h"
#include "VipsBaseline.h"
#include "document/CAntPoints.h"
#include "document/CLayerData.h"
#include "document/CMaskMngr.h"
#include "document/MaskMorphology.h"
#include "document/ColourRange.h"
#include "document/TPaper.h"
#include "storage/CBlockVMTC.h"
#include "view/AntsDraw.h"

namespace morvane::bench {
namespace {

// Random blobs: discs of radius 4 ... 40 dropped over the square, about a
// third of it covered, soft at their rims.
SCoverage Blobs(int32_t side, uint64_t seed)
{
    SCoverage c;
    c.Allocate({0, 0, side, side});
    std::vector<uint32_t> r(4096);
    FillRandom(r.data(), r.size(), seed);
    const int32_t count = int32_t(int64_t(side) * side / 4000);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t a = r[size_t(3 * i) % r.size()] ^ uint32_t(i * 2654435761u);
        const uint32_t b = r[size_t(3 * i + 1) % r.size()] ^ uint32_t(i * 40503u);
        const int32_t cx = int32_t(a % uint32_t(side)), cy = int32_t(b % uint32_t(side));
        const int32_t rad = 4 + int32_t((a >> 16) % 37);
        for (int32_t y = std::max(cy - rad, 0); y < std::min(cy + rad + 1, side); ++y)
            for (int32_t x = std::max(cx - rad, 0); x < std::min(cx + rad + 1, side); ++x) {
                const int32_t d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                if (d2 <= rad * rad)
                    c.Row(y)[x] = d2 >= (rad - 1) * (rad - 1) ? std::max<uint8_t>(c.Row(y)[x], 128) : 255;
            }
    }
    return c;
}

const CMaskData& BlobMask()
{
    static const std::unique_ptr<CMaskData> mask = CMaskData::FromCoverage(Blobs(kSide, 11), "blobs");
    return *mask;
}

void Grow(benchmark::State& state, int32_t n, bool expand)
{
    const CMaskData& mask = BlobMask();
    TimeEach(state, int64_t(kPixels), [&] {
        SCoverage out;
        return GrowByN(mask, n, expand, kSide, kSide, out);
    });
}

// vips' morphology over the octagon of radius n: 255 must match, 128 is
// left out.
void VipsMorph(benchmark::State& state, int32_t n, VipsOperationMorphology op)
{
    const SCoverage blobs = Blobs(kSide, 11);
    if (!VipsOneThread()) {
        state.SkipWithError("vips could not start");
        return;
    }
    VipsImage* in = vips_image_new_from_memory(blobs.bytes.data(), blobs.bytes.size(), kSide, kSide, 1,
                                               VIPS_FORMAT_UCHAR);
    const int32_t side = 2 * n + 1, h = (n + 1) / 2;
    VipsImage* octagon = vips_image_new_matrix(side, side);
    for (int32_t dy = -n; dy <= n; ++dy)
        for (int32_t dx = -n; dx <= n; ++dx)
            *VIPS_MATRIX(octagon, dx + n, dy + n) = std::abs(dx) <= std::min(n, n + h - std::abs(dy)) ? 255 : 128;
    TimeEach(state, int64_t(kPixels), [&] {
        VipsImage* out = nullptr;
        if (vips_morph(in, &out, octagon, op, nullptr) != 0)
            return false;
        size_t size = 0;
        void* result = vips_image_write_to_memory(out, &size);
        g_object_unref(out);
        g_free(result);
        return result != nullptr && size == kPixels;
    });
    g_object_unref(octagon);
    g_object_unref(in);
}

void ExpandOurs(benchmark::State& s) { Grow(s, 8, true); }
void ExpandVips(benchmark::State& s) { VipsMorph(s, 8, VIPS_OPERATION_MORPHOLOGY_DILATE); }
void ContractOurs(benchmark::State& s) { Grow(s, 32, false); }
void ContractVips(benchmark::State& s) { VipsMorph(s, 32, VIPS_OPERATION_MORPHOLOGY_ERODE); }

// Two masks whose every other block row is one value throughout.
std::unique_ptr<CMaskData> HalfUniform(uint64_t seed)
{
    SCoverage c = Blobs(kSide, seed);
    for (int32_t y = 0; y < kSide; ++y)
        if ((y >> 6) & 1)
            std::fill_n(c.Row(y), kSide, uint8_t((y >> 7) & 1 ? 255 : 0));
    return CMaskData::FromCoverage(c, "half");
}

void CombineOurs(benchmark::State& state)
{
    const auto target = HalfUniform(3), source = HalfUniform(5);
    TimeEach(state, int64_t(kPixels), [&] {
        bool unchanged = false;
        return CombineMasks(target.get(), *source, CombineMode::Add, "add", unchanged) != nullptr;
    });
}

void Memcpy16MiB(benchmark::State& state)
{
    std::vector<uint8_t> source(kPixels, 7), target(kPixels, 0);
    TimeEach(state, int64_t(kPixels), [&] {
        std::memcpy(target.data(), source.data(), kPixels);
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

constexpr int32_t kCanvas = 8000;

const CMaskData& CanvasBlobs()
{
    static const std::unique_ptr<CMaskData> mask = CMaskData::FromCoverage(Blobs(kCanvas, 17), "canvas");
    return *mask;
}

void OutlineOurs(benchmark::State& state)
{
    const CMaskData& mask = CanvasBlobs();
    CAntPoints ants;
    TimeEach(state, int64_t(kCanvas) * kCanvas, [&] { return ants.Build(&mask, kCanvas, kCanvas); });
}

void Memcpy64MB(benchmark::State& state)
{
    const size_t bytes = size_t(kCanvas) * kCanvas;
    std::vector<uint8_t> source(bytes, 7), target(bytes, 0);
    TimeEach(state, int64_t(bytes), [&] {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

void DrawOurs(benchmark::State& state)
{
    CAntPoints ants;
    ants.Build(&CanvasBlobs(), kCanvas, kCanvas);
    CViewState view;
    view.SetDocument(kCanvas, kCanvas);
    view.SetClient(1920, 1080);
    view.SetScale(1, 1);
    view.SetAnchors({0, 0}, {3000, 3000});
    TMTC frame(1920, 1080);
    frame.FillAll(0);
    TimeEach(state, int64_t(1920) * 1080 * 4, [&] {
        benchmark::DoNotOptimize(DrawAnts(ants, view, frame, {0, 0, 1920, 1080}));
        return true;
    });
}

void MemsetFrame(benchmark::State& state)
{
    TMTC frame(1920, 1080);
    TimeEach(state, int64_t(1920) * 1080 * 4, [&] {
        frame.FillAll(0x80808080u);
        benchmark::DoNotOptimize(frame.Row(0));
        return true;
    });
}

// Eight colours, most adding, over a layer of noise: nearly every pixel is
// far from all of them, as on a real picture most are.
void ColourRangeOurs(benchmark::State& state)
{
    RecordingDocumentHost host;
    TPaper paper{host, SPaperSettings{1}};
    TMTC noise(kSide, kSide);
    FillRandom(noise, 5);
    if (!paper.NewPicture("bench", false, false, 72, kSide, kSide, 64, 64, false) || !noise.IsValid() ||
        !paper.LayerAt(0)->Store->CopyIn(noise, {0, 0}, 255, {0, 0, kSide, kSide})) {
        state.SkipWithError("out of memory");
        return;
    }
    SColourRange range{ColourRangeSource::Layer, 0, 0, {}};
    for (uint32_t i = 0; i < 8; ++i)
        range.entries.push_back({0x10203040u * (i + 1) & 0x00FFFFFFu, i != 5, uint8_t(20 + 25 * i)});
    TimeEach(state, kBytes, [&] {
        SCoverage out;
        SColourRangeCounts counts;
        return ComputeColourRange(paper, range, out, counts) != ColourRangeResult::OutOfMemory;
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;

MORVANE_FIGURE(mask_expand_n8_4096, ExpandOurs, ExpandVips);
MORVANE_FIGURE(mask_contract_n32_4096, ContractOurs, ContractVips);
MORVANE_FIGURE(mask_combine_add_4096, CombineOurs, Memcpy16MiB);
MORVANE_FIGURE(ants_outline_8000, OutlineOurs, Memcpy64MB);
MORVANE_FIGURE(ants_draw_1080p, DrawOurs, MemsetFrame);
MORVANE_FIGURE(colour_range_8_4096, ColourRangeOurs, Memcpy64MiB);
