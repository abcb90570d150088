#pragma once
// The arithmetic of the watercolour, blur and smudge stamps that does not
// depend on the renderer's state, kept apart so it can be checked alone.
#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/MemoryBudget.h"

namespace morvane {

class CBlockVMTC;
class TMTC;

// The blur's scratch grows with the dab and L to some megabytes, so it is
// taken from the memory budget like every large buffer; a refusal throws
// std::bad_alloc for the grower to catch.
template <typename T> struct BudgetAllocator {
    using value_type = T;
    BudgetAllocator() = default;
    template <typename U> BudgetAllocator(const BudgetAllocator<U>&) {}
    T* allocate(size_t n)
    {
        if (void* p = AllocBlock(uint64_t(n) * sizeof(T)))
            return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, size_t n) { FreeBlock(p, uint64_t(n) * sizeof(T)); }
    template <typename U> bool operator==(const BudgetAllocator<U>&) const { return true; }
};

using BlurScratch = std::vector<uint32_t, BudgetAllocator<uint32_t>>;
// At least size entries; false, nothing changed, when memory runs out.
bool GrowBlurScratch(BlurScratch& scratch, size_t size);

} // namespace morvane

namespace morvane::penstamp {

// ---- watercolour

// The colour bytes of the 11 x 11 pixels around (x, y) averaged (each sum
// divided by 121), coordinates clamped into the image; alpha 255.
uint32_t AverageSquare11(const TMTC& image, int32_t x, int32_t y);
// The colour bytes of the four pixels at the ends of the dab's axes (16.16
// centre and half extents), each sum or difference one 16.16 unit further
// before its integer part is taken, clamped into the image; each sum >> 2.
uint32_t AverageFour(const TMTC& image, int32_t cx, int32_t cy, int32_t rx, int32_t ry);
// The stroke's wet colour: the picked colour tinted by the brush colour, the
// less the larger effect 1 (0-100) is.
uint32_t WetStartColour(uint32_t pick, uint32_t brush, int32_t effect1);
// The dab colour before the running colour mixes in: the wet colour moved
// towards the brush colour with the stroke length, reaching it at `distance`
// (0: at once).
uint32_t WetDabColour(uint32_t wet, uint32_t brush, float strokeLength, float distance);
// Moves each channel of the running colour towards `average` by at most
// effect2 / 10 (in 16.16, as the steps are counted).
void StepRunColour(std::array<float, 3>& run, uint32_t average, int32_t effect2);
// The running colour as the colour bytes of a pixel (truncated), alpha 255.
uint32_t RunColourPixel(const std::array<float, 3>& run);
// trunc(effect2 x 2.55), in 32-bit float.
uint32_t RunColourWeight(int32_t effect2);
// The dab colour after the running colour mixed in at RunColourWeight.
uint32_t MixRunColour(uint32_t dabColour, const std::array<float, 3>& run, int32_t effect2);
// Watercolour lays thin paint: the density times 22937 / 65536.
constexpr int32_t WatercolourDensity(int32_t density)
{
    return int32_t((int64_t{density} * 22937) >> 16);
}

// ---- blur
//
// Box sums are kept as four uint32_t in the byte order of a pixel: blue,
// green, red, alpha. (2L + 1)^2 x 255 fits in 32 bits for every L the
// renderer uses (at most 1000).

// What a source pixel adds to the sums, packed as a pixel: colour bytes times
// alpha / 255, or the plain colour bytes when protected; alpha kept.
uint32_t BoxTerm(uint32_t pixel, bool protect);
// The same in place over n pixels.
void BoxTermRow(uint32_t* pixels, int32_t n, bool protect);
// The box colour of the sums over (2L + 1)^2 pixels. Unprotected: colour
// sum x 255 div alpha sum (64-bit), alpha sum div (2L + 1)^2, and false
// (leave the pixel alone) when the alpha sum is 0. Protected: each colour sum
// div (2L + 1)^2, alpha 255.
bool BoxColour(const uint32_t* sums, int32_t L, bool protect, uint32_t& colour);

// The BoxTerm terms of n pixels of row y of the store from x0 on,
// coordinates clamped into the store.
void ReadTermRow(const CBlockVMTC& store, int32_t x0, int32_t y, int32_t n, bool protect, uint32_t* out);

// For each row y of the w x h area whose boxes lie in `terms` (termsW x
// termsH BoxTerm pixels with a margin of L all round: w = termsW - 2L), calls
// fn(y, boxes) with the sums of the w boxes of that row. Column sums slide
// down a row at a time and the box sums along the row, one column in and one
// out. columns holds 4 x termsW and boxes 4 x w values.
template <typename RowFn>
void ForEachBoxRow(const uint32_t* terms, int32_t termsW, int32_t termsH, int32_t L, uint32_t* columns,
                   uint32_t* boxes, RowFn fn);

// ---- implementation

// Column sums += the terms of row `in` - those of row `out` (either may be
// null), four lanes a column.
void SlideColumns(uint32_t* columns, const uint32_t* in, const uint32_t* out, int32_t n);
// boxes[x] = the sum of columns x ... x + side - 1, for x < w.
void SlideBoxes(const uint32_t* columns, int32_t side, int32_t w, uint32_t* boxes);

template <typename RowFn>
void ForEachBoxRow(const uint32_t* terms, int32_t termsW, int32_t termsH, int32_t L, uint32_t* columns,
                   uint32_t* boxes, RowFn fn)
{
    const int32_t side = 2 * L + 1;
    const int32_t w = termsW - 2 * L, h = termsH - 2 * L;
    if (L < 0 || w <= 0 || h <= 0)
        return;
    std::fill_n(columns, 4 * size_t(termsW), 0u);
    for (int32_t k = 0; k < side; ++k)
        SlideColumns(columns, terms + size_t(k) * termsW, nullptr, termsW);
    for (int32_t y = 0; y < h; ++y) {
        if (y > 0)
            SlideColumns(columns, terms + size_t(y - 1 + side) * termsW, terms + size_t(y - 1) * termsW,
                         termsW);
        SlideBoxes(columns, side, w, boxes);
        fn(y, static_cast<const uint32_t*>(boxes));
    }
}

} // namespace morvane::penstamp
