// The filter framework, the tone and the neighbourhood filters: attaching
// to a large sparse layer and the apply overhead against copying the bytes
// involved, preview pane paints against copying their pixels, and the
// routines on a committed 4096 x 4096 layer against memcpy and libvips.
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "VipsBaseline.h"
#include "document/CFlt4Core.h"
#include "document/TPaper.h"
#include "filters/FilterDescriptor.h"
#include "filters/RecordBytes.h"
#include "storage/CBlockVMTC.h"

namespace morvane::bench {
namespace {

constexpr int32_t kLarge = 8000;

// Every block of a kSide x kSide store filled with random pixels.
std::unique_ptr<CBlockVMTC> CommittedStore(uint64_t seed)
{
    auto store = std::make_unique<CBlockVMTC>(kSide, kSide);
    TMTC pixels(kSide, kSide);
    FillRandom(pixels, seed);
    if (!pixels.IsValid() || !store->CopyIn(pixels, {0, 0}, 255, {0, 0, kSide, kSide}))
        return nullptr;
    return store;
}

// One block in four of the layer painted: a band of rows a quarter of the
// blocks high, the rest uniform.
bool PaintQuarter(CBlockVMTC& store)
{
    TMTC band(store.Width, store.Height / 4);
    FillRandom(band, 11);
    return band.IsValid() && store.CopyIn(band, {0, 0}, 255, {0, 0, band.Width, band.Height});
}

// A document of a small picture over a large layer, so that its composite
// costs nothing next to the layer.
struct LargeLayer {
    RecordingDocumentHost host;
    TPaper paper{host, SPaperSettings{1}};
    bool ok = paper.NewPicture("bench", false, false, 72, kLarge, kLarge, 64, 64, false) &&
              PaintQuarter(*paper.LayerAt(0)->Store);
};

void AttachOurs(benchmark::State& state)
{
    LargeLayer doc;
    if (!doc.ok) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, doc.paper.LayerAt(0)->Store->CommittedBytes(), [&] {
        CFlt4Core run(doc.paper, false);
        return run.Attach(*FilterByCode(81), 0) == FilterAttach::Ready;
    });
}

// One copy of bytes bytes: what touching the same memory costs.
void CopyBytes(benchmark::State& state, size_t bytes)
{
    std::vector<uint8_t> source(bytes, 7), target(bytes);
    TimeEach(state, int64_t(bytes), [&] {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

// The bytes the attached layer has committed (whole block rows).
void AttachBaseline(benchmark::State& state) { CopyBytes(state, size_t(kLarge) * ((kLarge / 4 + 31) / 32 * 32) * 4); }

FilterResult WritesNothing(const FilterContext& c, const FilterRecord&)
{
    return c.IsValid() ? FilterResult::Done : FilterResult::Refused;
}

// Refresh, event and undo record of a run that changes nothing, on a
// committed 4096 x 4096 picture; the attach (the backup) is left out.
void ApplyOverheadOurs(benchmark::State& state)
{
    static const FilterDescriptor nothing{"actBench", "bench", 81, 0, "", {}, &WritesNothing};
    RecordingDocumentHost host;
    TPaper paper(host, SPaperSettings{1});
    std::unique_ptr<CBlockVMTC> pixels = CommittedStore(3);
    if (!pixels || !paper.NewPicture("bench", false, false, 72, kSide, kSide, kSide, kSide, false) ||
        !paper.LayerAt(0)->Store->CopyStore(*pixels, {0, 0}, {0, 0, kSide, kSide})) {
        state.SkipWithError("out of memory");
        return;
    }
    pixels.reset();
    std::unique_ptr<CFlt4Core> run;
    TimeEach(state, kBytes, [&] { return run->Apply({}) == FilterResult::Done; },
             [&] {
                 run = std::make_unique<CFlt4Core>(paper, true);
                 run->Attach(nothing, 0);
             });
}

void PaneInvertOurs(benchmark::State& state)
{
    LargeLayer doc;
    CFlt4Core run(doc.paper, false);
    if (!doc.ok || run.Attach(*FilterByCode(81), 0) != FilterAttach::Ready) {
        state.SkipWithError("out of memory");
        return;
    }
    TMTC pane;
    const EdgeRect view{3000, 800, 3512, 1184}; // across painted and uniform blocks
    TimeEach(state, 512 * 384 * 4, [&] { return run.PaintPane({}, view, pane); });
}

void PaneBaseline(benchmark::State& state) { CopyBytes(state, 512 * 384 * 4); }

// A routine over a committed 4096 x 4096 store, no selection.
void TimeRoutine(benchmark::State& state, uint8_t code, const std::vector<uint8_t>& record)
{
    std::unique_ptr<CBlockVMTC> store = CommittedStore(5);
    if (!store) {
        state.SkipWithError("out of memory");
        return;
    }
    FilterContext c;
    c.target = store.get();
    c.backup = store.get();
    c.bounds = c.work = {0, 0, kSide, kSide};
    const FilterDescriptor& filter = *FilterByCode(code);
    TimeEach(state, kBytes, [&] { return filter.routine(c, {record}) == FilterResult::Done; });
}

std::vector<uint8_t> LevelsRecord()
{
    std::vector<uint8_t> r = DefaultRecord(*FilterByCode(60));
    const uint8_t values[20] = {5, 10, 15, 20, 90, 110, 120, 80, 250, 240, 230, 220, 3, 6, 9, 12, 252, 249, 246, 243};
    std::copy(std::begin(values), std::end(values), r.begin());
    r[20] = 0; // curve mode
    return r;
}

std::vector<uint8_t> HueSaturationRecord()
{
    std::vector<uint8_t> r(16, 0);
    PutRecordU32(r, 0, 40);
    PutRecordU32(r, 4, 25);
    PutRecordU32(r, 8, uint32_t(-15));
    return r;
}

void InvertOurs(benchmark::State& state) { TimeRoutine(state, 81, {}); }
void LevelsOurs(benchmark::State& state) { TimeRoutine(state, 60, LevelsRecord()); }
void HueSaturationOurs(benchmark::State& state) { TimeRoutine(state, 61, HueSaturationRecord()); }

void MaplutBaseline(benchmark::State& state)
{
    std::vector<uint8_t> table(256 * 4);
    for (int i = 0; i < 256; ++i)
        for (int band = 0; band < 4; ++band)
            table[size_t(i * 4 + band)] = uint8_t(band == 3 ? i : 255 - i / 2);
    VipsImage* lut =
        VipsOneThread() ? vips_image_new_from_memory(table.data(), table.size(), 256, 1, 4, VIPS_FORMAT_UCHAR) : nullptr;
    if (!lut) {
        state.SkipWithError("vips could not make the table");
        return;
    }
    TimeVips(state, 13, size_t(kBytes), [lut](VipsImage* in, VipsImage** out) { return vips_maplut(in, out, lut, nullptr); });
    g_object_unref(lut);
}

void HsvBaseline(benchmark::State& state)
{
    TimeVips(state, 17, size_t(kBytes), [](VipsImage* in, VipsImage** out) {
        VipsImage* hsv = nullptr;
        if (vips_sRGB2HSV(in, &hsv, nullptr) != 0)
            return -1;
        const int result = vips_HSV2sRGB(hsv, out, nullptr);
        g_object_unref(hsv);
        return result;
    });
}

// ---- neighbourhood filters ----

void Blur3Ours(benchmark::State& state) { TimeRoutine(state, 64, {}); }

void Gauss10Ours(benchmark::State& state)
{
    std::vector<uint8_t> r(8, 0);
    PutRecordF32(r, 0, 10.0f);
    TimeRoutine(state, 67, r);
}

void Motion100Ours(benchmark::State& state) { TimeRoutine(state, 4, {100, 2, 0, 0, 0, 0, 0, 0}); }

std::vector<uint8_t> NoiseRecord()
{
    std::vector<uint8_t> r(16, 0);
    PutRecordU32(r, 0, 64);
    PutRecordU32(r, 8, 12345);
    return r;
}

void NoiseOurs(benchmark::State& state) { TimeRoutine(state, 25, NoiseRecord()); }

void PaneNoiseOurs(benchmark::State& state)
{
    LargeLayer doc;
    CFlt4Core run(doc.paper, false);
    if (!doc.ok || run.Attach(*FilterByCode(25), 0) != FilterAttach::Ready) {
        state.SkipWithError("out of memory");
        return;
    }
    TMTC pane;
    const std::vector<uint8_t> record = NoiseRecord();
    const EdgeRect view{3000, kLarge - 384, 3512, kLarge}; // the last rows: every draw above is jumped
    TimeEach(state, 512 * 384 * 4, [&] { return run.PaintPane({record}, view, pane); });
}

constexpr int32_t kMask55[25] = {1, 2, 3, 2, 1, 2, 4, 6, 4, 2, 3, 6, 9, 6, 3, 2, 4, 6, 4, 2, 1, 2, 3, 2, 1};

void Custom55Ours(benchmark::State& state)
{
    std::vector<uint8_t> r(108, 0);
    for (size_t i = 0; i < 25; ++i)
        PutRecordU32(r, 4 * i, uint32_t(kMask55[i]));
    PutRecordU32(r, 100, 81);
    TimeRoutine(state, 51, r);
}

// vips_conv with an integer mask of w x h weights (scale: their sum).
void ConvBaseline(benchmark::State& state, int w, int h, const int32_t* weights)
{
    std::vector<double> values(size_t(w * h));
    double sum = 0;
    for (size_t i = 0; i < values.size(); ++i)
        sum += values[i] = weights ? weights[i] : 1;
    VipsImage* mask = VipsOneThread() ? vips_image_new_matrix_from_array(w, h, values.data(), int(values.size())) : nullptr;
    if (!mask) {
        state.SkipWithError("vips could not make the mask");
        return;
    }
    vips_image_set_double(mask, "scale", sum);
    TimeVips(state, 19, size_t(kBytes), [mask](VipsImage* in, VipsImage** out) {
        return vips_conv(in, out, mask, "precision", VIPS_PRECISION_INTEGER, nullptr);
    });
    g_object_unref(mask);
}

constexpr int32_t kBlurMask[9] = {0, 1, 0, 1, 4, 1, 0, 1, 0};
void Blur3Baseline(benchmark::State& state) { ConvBaseline(state, 3, 3, kBlurMask); }
void Motion100Baseline(benchmark::State& state) { ConvBaseline(state, 101, 1, nullptr); }
void Custom55Baseline(benchmark::State& state) { ConvBaseline(state, 5, 5, kMask55); }

void Gauss10Baseline(benchmark::State& state)
{
    TimeVips(state, 23, size_t(kBytes), [](VipsImage* in, VipsImage** out) {
        return vips_gaussblur(in, out, 10.0, "precision", VIPS_PRECISION_INTEGER, nullptr);
    });
}

} // namespace

MORVANE_FIGURE(nbhd_blur3_4096, Blur3Ours, Blur3Baseline);
MORVANE_FIGURE(nbhd_gauss10_4096, Gauss10Ours, Gauss10Baseline);
MORVANE_FIGURE(nbhd_motion100_4096, Motion100Ours, Motion100Baseline);
MORVANE_FIGURE(nbhd_noise_4096, NoiseOurs, Memcpy64MiB);
MORVANE_FIGURE(nbhd_pane_noise_8000, PaneNoiseOurs, PaneBaseline);
MORVANE_FIGURE(nbhd_custom55_4096, Custom55Ours, Custom55Baseline);
MORVANE_FIGURE(filter_attach_8000, AttachOurs, AttachBaseline);
MORVANE_FIGURE(filter_apply_overhead_4096, ApplyOverheadOurs, Memcpy64MiB);
MORVANE_FIGURE(filter_pane_invert_8000, PaneInvertOurs, PaneBaseline);
MORVANE_FIGURE(tone_invert_4096, InvertOurs, Memcpy64MiB);
MORVANE_FIGURE(tone_levels_4096, LevelsOurs, MaplutBaseline);
MORVANE_FIGURE(tone_huesat_4096, HueSaturationOurs, HsvBaseline);

} // namespace morvane::bench
