#pragma once
// The 32-bit block store of layers: 32 x 32 blocks of blue, green, red,
// alpha pixels; a new block is transparent white. Every operation clips to
// the store and reads an uncommitted block as its Uniform; writes that cover
// a whole block and can be said with one value change only the Uniform.
// Operations that write return false when nothing was left after clipping or
// a block could not get memory; the blocks written before stay consistent.
#include <cstddef>
#include <vector>

#include "storage/BlockViews.h"
#include "storage/CBlockImage.h"

namespace morvane {

class TChannel;
class TMTC;
struct OverMode;

// Row kernels of a compositing step: n target pixels with n source pixels, or
// with one colour, at an opacity. The blend modes provide them.
using RowCompositeFn = void (*)(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity);
using ColourRowCompositeFn = void (*)(uint32_t* dst, uint32_t colour, int n, uint8_t opacity);
// The row kernel over n x h pixels whose rows lie strides (in pixels) apart.
using PieceCompositeFn = void (*)(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride,
                                  int n, int h, uint8_t opacity);

// How a store is composited: the two row kernels and an optional filter that
// rewrites a copy of each source row first (x, y: the store point of its first
// pixel). A filter may only take pixels out (set their alpha to 0); with one,
// uniform blocks go through it pixel by pixel too. A piece kernel, where a
// mode has one, saves the walk onto a plain buffer a call per row.
struct SCompositeRows {
    RowCompositeFn rows = nullptr;
    ColourRowCompositeFn colour = nullptr;
    void (*filter)(const void* context, uint32_t* row, int32_t n, int32_t x, int32_t y) = nullptr;
    const void* context = nullptr;
    PieceCompositeFn piece = nullptr;
};

class CBlockVMTC : public CBlockImage {
public:
    static constexpr uint32_t kDefaultUniform = 0x00FFFFFF;

    // Not valid (and holding nothing) unless both sides are within 1 ... 32767
    // and the area within 2^28 pixels.
    CBlockVMTC(int32_t width, int32_t height);
    CBlockVMTC(const CBlockVMTC& other);
    CBlockVMTC& operator=(const CBlockVMTC&) = delete;

    bool IsValid() const override { return CBlockImage::IsValid() && rowTable_ != nullptr; }
    bool InitBlock(SBlock& block) override;

    TVMTC View(const SBlock& block) const { return TVMTC(block, BlockWidth, rowTable_); }

    // ---- single pixels ----
    // 0 outside the store.
    uint32_t GetPixel(int32_t x, int32_t y) const;
    uint32_t GetPixelClamped(int32_t x, int32_t y) const;
    uint32_t GetPixelOrDefault(int32_t x, int32_t y) const;
    // Commits the block unless it already reads value; false outside.
    bool SetPixel(int32_t x, int32_t y, uint32_t value);
    // The pixel after clamping into the store, its block committed; nullptr
    // when that fails.
    uint32_t* PixelPtrClamped(int32_t x, int32_t y);

    // ---- copies ----
    // rect of the store to `at` of buffer: BlendFrom at the opacity (255
    // copies). An uncommitted piece acts as its block filled with Uniform;
    // with skipTransparent, pieces of uncommitted blocks of uniform alpha 0
    // are left out.
    bool CopyOut(TMTC& buffer, Point at, bool skipTransparent, uint8_t opacity, const ExtentRect& rect) const;
    // rect of buffer to `at` of the store, copied (255) or blended.
    bool CopyIn(const TMTC& buffer, Point at, uint8_t opacity, const ExtentRect& rect);
    // rect of other to `at` of this store.
    bool CopyStore(const CBlockVMTC& other, Point at, const ExtentRect& rect);

    // ---- compositing (layers) ----
    // rect of this store onto `at` of target: uncommitted pieces of uniform
    // alpha 0 are skipped; a piece of two uncommitted blocks that covers the
    // whole target block changes only the target's Uniform; otherwise the
    // target block is committed and composited row by row. Before a target
    // pixel is composited its alpha is scaled by alphaOpacity (MulTable), also
    // where the source is skipped, so the whole rectangle is scaled alike.
    bool CompositeOnto(CBlockVMTC& target, Point at, const ExtentRect& rect, const SCompositeRows& fn,
                       uint8_t opacity, uint8_t alphaOpacity) const;
    // The same walk with the general "over" step of the pixel buffers.
    bool CompositeOverOnto(CBlockVMTC& target, Point at, const ExtentRect& rect, const OverMode& mode,
                           uint8_t opacity, uint8_t alphaOpacity) const;
    // rect of this store onto `at` of a plain buffer (the document composite):
    // committed pieces row by row, uncommitted ones as their Uniform colour;
    // with skipTransparent, uncommitted pieces of uniform alpha 0 are left out.
    bool CompositeInto(TMTC& buffer, Point at, const ExtentRect& rect, const SCompositeRows& fn, uint8_t opacity,
                       bool skipTransparent = true) const;

    // ---- region writes ----
    void FillAll(uint32_t value);
    bool FillRect(const ExtentRect& rect, uint32_t value);
    // pixel := (value AND mask) OR (pixel AND NOT mask).
    bool SetMasked(const ExtentRect& rect, uint32_t mask, uint32_t value);
    bool SetAlpha(const ExtentRect& rect, uint8_t alpha);
    // The colour of every pixel := the blend mode's neutral colour, alpha kept.
    bool FillColourOfMode(const ExtentRect& rect, uint32_t neutralColour);
    bool XorRect(const ExtentRect& rect, uint32_t value);

    // ---- geometry ----
    // Block pairs are swapped and mirrored in place; a failed commit leaves
    // the store unchanged. Compacts the region afterwards.
    bool FlipH(const ExtentRect& rect);
    bool FlipV(const ExtentRect& rect);
    bool Rotate180(const ExtentRect& rect);
    // buffer becomes Height x Width: clockwise, target (x, y) = source (y,
    // Height - 1 - x); otherwise target (x, y) = source (Width - 1 - y, x).
    bool RotateInto90(TMTC& buffer, bool clockwise) const;
    // The same into another store, the rotated picture's top-left at `at`.
    bool RotateIntoStore90(CBlockVMTC& other, Point at, bool clockwise) const;
    // Box average for thumbnails into the region of target; the sizes set the
    // scale. Each sample is clamped into the store.
    bool ShrinkInto(TMTC& target, const ExtentRect& region) const;
    // How many rows from the top of a target targetH rows high ShrinkInto
    // computes from the store rows above storeRows alone.
    int32_t ShrinkRowsWithin(int32_t targetH, int32_t storeRows) const;
    // 4 x 4 supersampled scale of the whole store into the whole of other.
    bool ScaleInto(CBlockVMTC& other) const;

    // ---- alpha plane (the channel has the store's coordinates) ----
    bool AlphaToChannel(TChannel& channel, const ExtentRect& rect) const;
    bool ChannelToAlpha(const TChannel& channel, const ExtentRect& rect);
    bool SwapAlphaWithChannel(TChannel& channel);
    // Piece forms, shared with the mask store: row(i) gives the bytes of row i.
    template <typename RowFn>
    void ReadAlpha(const SPiece& p, RowFn row) const;
    template <typename RowFn>
    bool WriteAlpha(const SPiece& p, RowFn row);

    uint32_t DefaultUniform = kDefaultUniform;

protected:
    bool BlockHasContent(const SBlock& b) const override;

private:
    uint32_t PixelIn(const SBlock& b, int32_t x, int32_t y) const
    {
        return b.Committed() ? *RowIn<uint32_t>(b, x & BlockMask, y & BlockMask) : b.Uniform;
    }
    uint32_t ClampedPixel(int32_t x, int32_t y) const;
    void CopyRows(TMTC& buffer, Point at, const SBlock& b, const SPiece& p) const;
    // Where ShrinkInto's box for a target pixel starts (x, y times 1024 / 1024)
    // and how large it is, for a target of targetW x targetH.
    struct SShrinkBoxes {
        int64_t stepX = 0, stepY = 0;
        int32_t boxW = 0, boxH = 0;
    };
    SShrinkBoxes ShrinkBoxes(int32_t targetW, int32_t targetH) const;
    // Sums of the four bytes over the samples x0 ... x1 - 1 of rows y0 ...
    // y0 + rows - 1, x and y clamped.
    void SumBox(int32_t y0, int32_t rows, int32_t x0, int32_t x1, uint64_t sums[4]) const;
    // The store-to-store walk of CompositeOnto and its twin: rowOp(dst, src,
    // n, x, y) for source rows, colourOp(dst, colour, n, x, y) for uniform
    // ones (x, y: the source point). perPixel turns off the Uniform-only step.
    template <typename RowOp, typename ColourOp>
    bool CompositePieces(CBlockVMTC& target, Point at, const ExtentRect& rect, uint8_t alphaOpacity, bool perPixel,
                         RowOp rowOp, ColourOp colourOp) const;

    int64_t* rowTable_ = nullptr;

    friend class CShrinkGather;
};

// ShrinkInto of a whole store into a whole target, gathered while a pass
// writes the store: Add takes each block once, after its last write and
// while its pixels are still cached; Finish then gives what ShrinkInto gives.
class CShrinkGather {
public:
    // Not valid (ShrinkInto serves) when the target is empty or too large to
    // keep the sums of.
    CShrinkGather(const CBlockVMTC& store, int32_t targetW, int32_t targetH);
    bool IsValid() const { return !sums_.empty(); }
    void Add(const SBlock& b);
    bool Finish(TMTC& target) const;

private:
    // The samples of box `box` that lie in one block, from ... to - 1 inside
    // it; a sample clamped onto the store's last pixel gives a span of its own.
    struct SSpan {
        int32_t box, from, to;
    };
    using SpanLists = std::vector<std::vector<SSpan>>;
    static SpanLists Spans(int32_t size, int32_t targets, int64_t step, int32_t box, int32_t blockShift,
                           int32_t blocks);

    const CBlockVMTC& store_;
    int32_t targetW_ = 0, targetH_ = 0;
    uint64_t count_ = 0;
    SpanLists columns_, rows_;
    std::vector<uint64_t> sums_; // four per target pixel
};

template <typename RowFn>
void CBlockVMTC::ReadAlpha(const SPiece& p, RowFn row) const
{
    for (int32_t i = 0; i < p.h; ++i) {
        uint8_t* d = row(i);
        if (!p.block->Committed()) {
            std::memset(d, int(p.block->Uniform >> 24), size_t(p.w));
            continue;
        }
        const uint32_t* s = RowIn<uint32_t>(*p.block, p.lx, p.ly + i);
        for (int32_t j = 0; j < p.w; ++j)
            d[j] = uint8_t(s[j] >> 24);
    }
}

template <typename RowFn>
bool CBlockVMTC::WriteAlpha(const SPiece& p, RowFn row)
{
    // One alpha over the piece is a masked set, which keeps whole blocks uniform.
    const uint8_t first = row(0)[0];
    bool same = true;
    for (int32_t i = 0; i < p.h && same; ++i)
        same = std::all_of(row(i), row(i) + p.w, [first](uint8_t v) { return v == first; });
    if (same)
        return TransformPiece<uint32_t>(p, [first](uint32_t v) { return (v & 0x00FFFFFFu) | (uint32_t{first} << 24); });
    if (!CommitBlock(*p.block))
        return false;
    for (int32_t i = 0; i < p.h; ++i) {
        const uint8_t* s = row(i);
        uint32_t* d = RowIn<uint32_t>(*p.block, p.lx, p.ly + i);
        for (int32_t j = 0; j < p.w; ++j)
            d[j] = (d[j] & 0x00FFFFFFu) | (uint32_t{s[j]} << 24);
    }
    return true;
}

// rect of a plain buffer onto `at` of another with the kernels (and filter)
// CompositeInto uses: a store's pixels kept in a buffer for a while (the wet
// paint of a stroke) show as the store would.
bool CompositeBufferInto(const TMTC& source, TMTC& target, Point at, const ExtentRect& rect,
                         const SCompositeRows& fn, uint8_t opacity);

} // namespace morvane
