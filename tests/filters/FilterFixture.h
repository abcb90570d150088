#pragma once
// A small layer store spread over several blocks (one left uniform), a
// feathered coverage, and a routine run over them.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "filters/FilterDescriptor.h"
#include "storage/CBlockVMTC.h"

namespace morvane::testing_filters {

inline constexpr int32_t kW = 70, kH = 45;

// Deterministic pixels of every kind, alpha 0 included; the block at the
// bottom right stays uncommitted.
inline std::unique_ptr<CBlockVMTC> MakeLayer(uint32_t seed = 7)
{
    auto store = std::make_unique<CBlockVMTC>(kW, kH);
    store->FillAll(0x80336699u);
    uint32_t s = seed;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            s = s * 134775813u + 1;
            uint32_t v = s;
            if ((x + y) % 11 == 0)
                v &= 0x00FFFFFFu; // transparent
            store->SetPixel(x, y, v);
        }
    return store;
}

// Coverage falling off from a disc: 255 inside, 0 far out, blends between.
class FeatheredCoverage final : public CoverageRows {
public:
    void Row(int32_t x, int32_t y, int32_t n, uint8_t* out) const override
    {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t dx = x + i - 30, dy = y - 20;
            const int32_t d = dx * dx + dy * dy;
            out[i] = uint8_t(d < 100 ? 255 : d > 400 ? 0 : 255 - (d - 100) * 255 / 300);
        }
    }
};

// The default record of the filter with some parameters (by position) set
// to shown values.
inline std::vector<uint8_t> RecordOf(uint8_t code, std::initializer_list<std::pair<size_t, double>> values = {})
{
    const FilterDescriptor& d = *FilterByCode(code);
    std::vector<uint8_t> r = DefaultRecord(d);
    for (auto [param, value] : values)
        WriteParam(d.params[param], r, value);
    return r;
}

// The whole of a store, no selection.
inline FilterContext WholeContext(CBlockVMTC& target, const CBlockVMTC& backup)
{
    FilterContext c;
    c.target = &target;
    c.backup = &backup;
    c.bounds = c.work = {0, 0, target.Width, target.Height};
    return c;
}

inline FilterContext ContextFor(CBlockVMTC& target, const CBlockVMTC& backup, const CoverageRows* coverage,
                                EdgeRect work = {0, 0, kW, kH}, bool protect = false)
{
    FilterContext c;
    c.target = &target;
    c.backup = &backup;
    c.coverage = coverage;
    c.protect = protect;
    c.bounds = {0, 0, kW, kH};
    c.work = work;
    return c;
}

inline FilterResult RunFilter(const FilterDescriptor& d, CBlockVMTC& store, std::vector<uint8_t> record,
                              const CoverageRows* coverage = nullptr, EdgeRect work = {0, 0, kW, kH},
                              bool protect = false)
{
    const CBlockVMTC backup(store);
    return d.routine(ContextFor(store, backup, coverage, work, protect), {record});
}

inline bool Between(uint32_t v, uint32_t a, uint32_t b, int shift)
{
    const uint32_t x = (v >> shift) & 0xFF, p = (a >> shift) & 0xFF, q = (b >> shift) & 0xFF;
    return x >= std::min(p, q) && x <= std::max(p, q);
}

// A run under a feathered selection and random clips: uncovered pixels and
// pixels outside the clip stay bit-identical, fully covered ones equal the
// unselected run, partly covered ones lie between.
inline void ExpectClipEqualsFull(const FilterDescriptor& d, const std::vector<uint8_t>& record, std::mt19937& random,
                                 int rounds = 4)
{
    const FeatheredCoverage coverage;
    auto original = MakeLayer(), full = MakeLayer();
    ASSERT_EQ(RunFilter(d, *full, record), FilterResult::Done) << d.act;
    for (int round = 0; round < rounds; ++round) {
        const int32_t l = int32_t(random() % kW), t = int32_t(random() % kH);
        const EdgeRect clip{l, t, l + 1 + int32_t(random() % uint32_t(kW - l)),
                            t + 1 + int32_t(random() % uint32_t(kH - t))};
        auto part = MakeLayer();
        ASSERT_EQ(RunFilter(d, *part, record, &coverage, clip), FilterResult::Done) << d.act;
        for (int32_t y = 0; y < kH; ++y) {
            uint8_t cover[kW];
            coverage.Row(0, y, kW, cover);
            for (int32_t x = 0; x < kW; ++x) {
                const uint32_t was = original->GetPixel(x, y), got = part->GetPixel(x, y), all = full->GetPixel(x, y);
                const bool inClip = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                const uint32_t c = inClip ? cover[x] : 0;
                if (c == 0)
                    ASSERT_EQ(got, was) << d.act << " " << x << "," << y;
                else if (c == 255)
                    ASSERT_EQ(got, all) << d.act << " " << x << "," << y;
                else
                    // Where the full run left no alpha it kept the old
                    // colour, which a partial blend need not.
                    for (int shift : (all >> 24) == 0 ? std::vector{24} : std::vector{0, 8, 16, 24})
                        ASSERT_TRUE(Between(got, was, all, shift)) << d.act << " " << x << "," << y;
            }
        }
    }
}

} // namespace morvane::testing_filters
