// The filter framework and the tone filters: attaching to a large sparse
// layer and the apply overhead against copying the bytes involved, a
// preview pane paint against copying its pixels, and the tone routines on a
// committed 4096 x 4096 layer against memcpy and libvips.
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

// A tone routine over a committed 4096 x 4096 store, no selection.
void TimeTone(benchmark::State& state, uint8_t code, const std::vector<uint8_t>& record)
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

void InvertOurs(benchmark::State& state) { TimeTone(state, 81, {}); }
void LevelsOurs(benchmark::State& state) { TimeTone(state, 60, LevelsRecord()); }
void HueSaturationOurs(benchmark::State& state) { TimeTone(state, 61, HueSaturationRecord()); }

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

} // namespace

MORVANE_FIGURE(filter_attach_8000, AttachOurs, AttachBaseline);
MORVANE_FIGURE(filter_apply_overhead_4096, ApplyOverheadOurs, Memcpy64MiB);
MORVANE_FIGURE(filter_pane_invert_8000, PaneInvertOurs, PaneBaseline);
MORVANE_FIGURE(tone_invert_4096, InvertOurs, Memcpy64MiB);
MORVANE_FIGURE(tone_levels_4096, LevelsOurs, MaplutBaseline);
MORVANE_FIGURE(tone_huesat_4096, HueSaturationOurs, HsvBaseline);

} // namespace morvane::bench
