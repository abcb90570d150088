#pragma once
// The arithmetic of the watercolour, blur and smudge stamps that does not
// depend on the renderer's state, kept apart so it can be checked alone.
#include <array>
#include <cstdint>
#include <vector>

#include "storage/TMTC.h"

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
// The dab colour after the running colour mixed in at trunc(effect2 x 2.55).
uint32_t MixRunColour(uint32_t dabColour, const std::array<float, 3>& run, int32_t effect2);
// Watercolour lays thin paint: the density times 22937 / 65536.
constexpr int32_t WatercolourDensity(int32_t density)
{
    return int32_t((int64_t{density} * 22937) >> 16);
}

// ---- blur

// Sums over a box of source pixels: colour bytes weighted by alpha (plain
// when the layer's transparency is protected) and alpha. (2L + 1)^2 x 255
// fits in 32 bits for every L the renderer uses (at most 1000).
struct BoxSums {
    uint32_t blue = 0, green = 0, red = 0, alpha = 0;
};

// What a source pixel adds to the sums, packed as a pixel: colour bytes times
// alpha / 255, or the plain colour bytes when protected; alpha kept.
uint32_t BoxTerm(uint32_t pixel, bool protect);
// The box colour of the sums over (2L + 1)^2 pixels. Unprotected: colour
// sum x 255 div alpha sum (64-bit), alpha sum div (2L + 1)^2, and false
// (leave the pixel alone) when the alpha sum is 0. Protected: each colour sum
// div (2L + 1)^2, alpha 255.
bool BoxColour(const BoxSums& sums, int32_t L, bool protect, uint32_t& colour);

// Runs fn(x, y, sums) for every pixel (x, y) of the w x h area whose boxes
// lie in `terms`, a picture of BoxTerm pixels with a margin of L all round
// (w = terms.Width - 2L). Column sums slide down one row at a time and the
// box sums along each row, one column in and one out. `columns` is the
// caller's scratch and grows to terms.Width entries; false when it cannot.
template <typename Fn>
bool ForEachBoxSum(const TMTC& terms, int32_t L, std::vector<BoxSums>& columns, Fn fn);

// ---- implementation

inline void AddTerm(BoxSums& s, uint32_t t)
{
    s.blue += t & 0xFF;
    s.green += (t >> 8) & 0xFF;
    s.red += (t >> 16) & 0xFF;
    s.alpha += t >> 24;
}

inline void SubTerm(BoxSums& s, uint32_t t)
{
    s.blue -= t & 0xFF;
    s.green -= (t >> 8) & 0xFF;
    s.red -= (t >> 16) & 0xFF;
    s.alpha -= t >> 24;
}

inline void AddSums(BoxSums& s, const BoxSums& t)
{
    s.blue += t.blue;
    s.green += t.green;
    s.red += t.red;
    s.alpha += t.alpha;
}

inline void SubSums(BoxSums& s, const BoxSums& t)
{
    s.blue -= t.blue;
    s.green -= t.green;
    s.red -= t.red;
    s.alpha -= t.alpha;
}

bool GrowColumns(std::vector<BoxSums>& columns, size_t n);

template <typename Fn>
bool ForEachBoxSum(const TMTC& terms, int32_t L, std::vector<BoxSums>& columns, Fn fn)
{
    const int32_t side = 2 * L + 1;
    const int32_t w = terms.Width - 2 * L, h = terms.Height - 2 * L;
    if (L < 0 || w <= 0 || h <= 0 || !GrowColumns(columns, size_t(terms.Width)))
        return false;
    BoxSums* col = columns.data();
    const int32_t n = terms.Width;
    std::fill_n(col, n, BoxSums{});
    for (int32_t k = 0; k < side; ++k) {
        const uint32_t* row = terms.Row(k);
        for (int32_t i = 0; i < n; ++i)
            AddTerm(col[i], row[i]);
    }
    for (int32_t y = 0; y < h; ++y) {
        if (y > 0) {
            const uint32_t* out = terms.Row(y - 1);
            const uint32_t* in = terms.Row(y - 1 + side);
            for (int32_t i = 0; i < n; ++i) {
                SubTerm(col[i], out[i]);
                AddTerm(col[i], in[i]);
            }
        }
        BoxSums box;
        for (int32_t i = 0; i < side; ++i)
            AddSums(box, col[i]);
        for (int32_t x = 0; x < w; ++x) {
            if (x > 0) {
                SubSums(box, col[x - 1]);
                AddSums(box, col[x - 1 + side]);
            }
            fn(x, y, box);
        }
    }
    return true;
}

} // namespace morvane::penstamp
