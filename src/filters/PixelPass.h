#pragma once
// The walk every per-pixel filter shares: the WorkRect of the target, block
// piece by block piece, each covered pixel replaced by f(pixel) through
// WriteColour or WritePixel. Without a selection the coverage is the
// constant 255 and a uniform block changes only its value; with one, each
// piece row asks the coverage once and skips its uncovered pixels before
// f sees them.
#include <array>
#include <cstdint>
#include <type_traits>

#include "filters/FilterContext.h"
#include "filters/FilterWrites.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

enum class PassWrite : uint8_t { Colour, Pixel };

template <PassWrite W, class F>
bool PixelPass(const FilterContext& c, F f)
{
    // f(pixel) or, for a routine whose new value depends on the coverage
    // itself, f(pixel, coverage).
    auto value = [&f](uint32_t old, uint32_t cover) {
        if constexpr (std::is_invocable_v<F, uint32_t, uint32_t>)
            return f(old, cover);
        else
            return f(old);
    };
    auto write = [&value](uint32_t old, uint32_t cover) {
        if constexpr (W == PassWrite::Colour)
            return WriteColour(old, value(old, cover), cover);
        else
            return WritePixel(old, value(old, cover), cover);
    };
    CBlockVMTC& store = *c.target;
    const ExtentRect rect = ToExtent(c.work);
    if (!c.coverage)
        return store.ForEachBlockInRect(rect, [&](SPiece& p) {
            return store.TransformPiece<uint32_t>(p, [&](uint32_t v) { return write(v, 255u); });
        });
    std::array<uint8_t, 64> cover{};
    return store.ForEachBlockInRect(rect, [&](SPiece& p) {
        for (int32_t i = 0; i < p.h; ++i) {
            c.coverage->Row(p.x, p.y + i, p.w, cover.data());
            bool any = false;
            for (int32_t j = 0; j < p.w; ++j)
                any = any || cover[size_t(j)] != 0;
            if (!any)
                continue;
            if (!p.block->Committed() && !store.CommitBlock(*p.block))
                return false;
            uint32_t* row = store.RowIn<uint32_t>(*p.block, p.lx, p.ly + i);
            for (int32_t j = 0; j < p.w; ++j)
                if (cover[size_t(j)] != 0)
                    row[j] = write(row[j], cover[size_t(j)]);
        }
        return true;
    });
}

} // namespace morvane
