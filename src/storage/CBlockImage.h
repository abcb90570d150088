#pragma once
// A block store: the image is cut into square blocks, and a block takes
// memory only when something different from its uniform value is written
// into it; until then it reads as that one value. Layers can be far larger
// than the picture and are mostly empty or flat, so an empty store costs one
// small record per block.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "storage/Rect.h"

namespace morvane {

// One block. Kept at 16 bytes: a 20000 x 20000 layer has 390625 of them.
struct SBlock {
    uint8_t* Data = nullptr; // BlockBytes of pixels while committed
    uint32_t Uniform = 0;    // the value of every pixel while not committed
    uint16_t BlockX = 0, BlockY = 0;
    bool Committed() const { return Data != nullptr; }
};
static_assert(sizeof(SBlock) == 16);

// A part of a store that lies inside one block.
struct SPiece {
    SBlock* block = nullptr;
    int32_t x = 0, y = 0, w = 0, h = 0; // image coordinates
    int32_t lx = 0, ly = 0;             // position inside the block
    bool whole = false;                 // covers the block's whole used part
};

class CBlockImage {
public:
    // Both sides within 1 .. kMaxStoreSide (storage/SizeLimits.h).
    static bool SizeAllowed(int32_t width, int32_t height);

    CBlockImage() = default;
    virtual ~CBlockImage();
    CBlockImage(const CBlockImage&) = delete;
    CBlockImage& operator=(const CBlockImage&) = delete;

    virtual bool IsValid() const { return Valid && Blocks != nullptr; }
    virtual void InitGeometry(); // 32 x 32 blocks
    // Gives the block memory filled with its Uniform; false (block unchanged)
    // when the memory budget says no.
    virtual bool CommitBlock(SBlock& block);
    // Memory for an uncommitted block whose every pixel the caller writes
    // next (its contents are undefined until then); false when refused.
    bool TakeBlockMemory(SBlock& block);
    virtual bool DecommitBlock(SBlock& block);
    virtual bool InitBlock(SBlock& block) = 0;
    // Address of pixel (x, y); nullptr outside or when it has no memory.
    virtual uint8_t* PixelPtr(int32_t x, int32_t y, bool commit);
    // The block holding pixel (x, y); nullptr outside (or when a commit fails).
    virtual SBlock* BlockAt(int32_t x, int32_t y, bool commit);

    // Builds the block table for Width x Height; false (not valid, nothing
    // held) when the size is outside the store limits or memory runs out.
    bool Allocate();
    // Rebuilds the store empty at the new size.
    bool Reshape(int32_t width, int32_t height);
    void Release();

    SBlock* BlockAtIndex(int32_t bx, int32_t by, bool commit);
    const SBlock* BlockAtIndex(int32_t bx, int32_t by) const;
    int32_t UsedW(const SBlock& b) const { return std::min(Width - (int32_t(b.BlockX) << BlockShift), BlockWidth); }
    int32_t UsedH(const SBlock& b) const { return std::min(Height - (int32_t(b.BlockY) << BlockShift), BlockHeight); }
    // The block's used part in image coordinates.
    EdgeRect BlockSquare(const SBlock& b) const;

    int64_t CommittedBytes() const;
    // Every committed block whose used part is one value gives its memory
    // back; returns how many did.
    int32_t Compact();
    // The same for the blocks that meet the image rectangle r.
    int32_t CompactRect(const EdgeRect& r);
    // Union of the block squares that hold anything (see BlockHasContent).
    bool BoundsOfContent(EdgeRect& out) const;
    // Union of the block squares meeting `within` whose pixels differ from
    // other's (a store of the same size and geometry, such as a copy of this
    // one); false when none does or the stores do not match.
    bool DifferingBounds(const CBlockImage& other, const EdgeRect& within, EdgeRect& out) const;
    // Copies the other store block for block over the common grid; both must
    // have the same block size and pixel size.
    bool CopyAllBlocks(const CBlockImage& other);
    // The same for rect of the other store widened outwards to whole blocks;
    // `at` (block-aligned) receives the widened rectangle's top-left corner.
    bool CopyAlignedBlocks(const CBlockImage& other, Point at, const ExtentRect& rect);

    // ---- walks ---------------------------------------------------------------
    // Each calls f for every piece, left to right, top to bottom; a piece never
    // crosses a block boundary. f returns false to stop (a failed commit); the
    // walk then returns false, as it does when nothing is left after clipping.

    // f(SPiece&) over rect clipped to the store.
    template <typename F>
    bool ForEachBlockInRect(const ExtentRect& rect, F&& f);
    // Copies out of the store into a buffer of bufW x bufH: rect of the store
    // goes to `at` of the buffer; f(SPiece&, Point bufferPoint).
    template <typename F>
    bool ForEachPieceTo(int32_t bufW, int32_t bufH, Point at, const ExtentRect& rect, F&& f) const;
    // Copies into the store: rect of the buffer goes to `at` of the store;
    // f(SPiece&, Point bufferPoint).
    template <typename F>
    bool ForEachPieceFrom(int32_t bufW, int32_t bufH, Point at, const ExtentRect& rect, F&& f);
    // Between stores: rect of other goes to `at` of this store; pieces are cut
    // at the block boundaries of both. f(SPiece& mine, const SPiece& other's).
    template <typename F>
    bool ForEachPieceBetween(const CBlockImage& other, Point at, const ExtentRect& rect, F&& f);

    // ---- piece writes, shared by the walks of the store classes -------------------
    template <typename T>
    T* RowIn(const SBlock& b, int32_t lx, int32_t ly) const
    {
        return reinterpret_cast<T*>(b.Data) + ((ly << BlockShift) + lx);
    }
    // Every pixel of the piece := value; a whole block only changes Uniform.
    template <typename T>
    bool FillPiece(const SPiece& p, uint32_t value);
    // pixel := op(pixel); a whole uncommitted block only changes Uniform.
    template <typename T, typename Op>
    bool TransformPiece(const SPiece& p, Op op);
    // Copies rows row(0) ... row(h - 1) in; an uncommitted block stays so when
    // the rows hold its uniform value (or one value over the whole block).
    template <typename T, typename RowFn>
    bool PutPiece(const SPiece& p, RowFn row);

    SPiece MakePiece(int32_t x, int32_t y, int32_t w, int32_t h) const;

    bool Valid = false;
    int32_t BlockBytes = 0;
    int32_t BytesPerPixel = 0;
    int32_t BlockWidth = 0, BlockHeight = 0, BlockStride = 0, BlockMask = 0, BlockShift = 0;
    int32_t Width = 0, Height = 0;
    int32_t BlocksX = 0, BlocksY = 0;
    SBlock* Blocks = nullptr;

protected:
    // InitGeometry, the size and Allocate; a refused store keeps size 0 x 0.
    void Build(int32_t width, int32_t height, int32_t bytesPerPixel);
    // Row i of a block at i * RowBytes, one table for every view of a kind.
    template <int32_t Rows, int32_t RowBytes>
    static int64_t* SharedRowTable()
    {
        static int64_t table[Rows] = {};
        static const bool filled = [] {
            for (int32_t i = 0; i < Rows; ++i)
                table[i] = int64_t(RowBytes) * i;
            return true;
        }();
        (void)filled;
        return table;
    }
    // Fills part of a committed block's memory with value.
    void FillBlockPixels(SBlock& b, int32_t lx, int32_t ly, int32_t w, int32_t h, uint32_t value);
    // Whether the block holds anything for BoundsOfContent.
    virtual bool BlockHasContent(const SBlock& b) const = 0;
    template <typename T, typename Pred>
    bool AnyInUsedPart(const SBlock& b, Pred pred) const
    {
        if (!b.Committed())
            return pred(T(b.Uniform));
        for (int32_t i = 0; i < UsedH(b); ++i)
            if (std::any_of(RowIn<T>(b, 0, i), RowIn<T>(b, 0, i) + UsedW(b), pred))
                return true;
        return false;
    }
    // The value at (x, y), or `outside` beyond the store.
    template <typename T>
    T ValueAt(int32_t x, int32_t y, T outside) const
    {
        if (!IsValid() || uint32_t(x) >= uint32_t(Width) || uint32_t(y) >= uint32_t(Height))
            return outside;
        const SBlock& b = Blocks[int64_t(y >> BlockShift) * BlocksX + (x >> BlockShift)];
        return b.Committed() ? *RowIn<T>(b, x & BlockMask, y & BlockMask) : T(b.Uniform);
    }
    // Commits the block unless it already reads value; false outside.
    template <typename T>
    bool SetValueAt(int32_t x, int32_t y, T value)
    {
        SBlock* b = BlockAt(x, y, false);
        if (!b || (!b->Committed() && T(b->Uniform) == value))
            return b != nullptr;
        if (!CommitBlock(*b))
            return false;
        *RowIn<T>(*b, x & BlockMask, y & BlockMask) = value;
        return true;
    }
    // CopyStore of either kind; a copy within one store reads from a copy of
    // it, since overlapping pieces would read what the copy has just written.
    template <typename Store>
    static bool CopyStoreOf(Store& self, const Store& other, Point at, const ExtentRect& rect)
    {
        if (&other != &self)
            return self.CopyPieces(other, at, rect);
        const Store source(other);
        return source.IsValid() && self.CopyPieces(source, at, rect);
    }
    // Whether the used part of a committed block is one value, and which.
    bool UsedPartUniform(const SBlock& b, uint32_t& value) const;
    // Calls f(T{}) with the store's pixel type.
    template <typename F>
    decltype(auto) ByPixelType(F&& f) const
    {
        return BytesPerPixel == 4 ? f(uint32_t{}) : f(uint8_t{});
    }
    // Copies rect of other (same pixel size) to `at`, piece by piece.
    bool CopyPieces(const CBlockImage& other, Point at, const ExtentRect& rect);

    // Mirrored swaps for the flips: the region `half` is exchanged with its
    // mirror image x' = sumX - 1 - x (when mirrorX), y' = sumY - 1 - y (when
    // mirrorY). All blocks that need memory get it first, so a failed commit
    // leaves the store unchanged.
    struct SMirrorJob {
        EdgeRect half;
        int32_t sumX = 0, sumY = 0;
        bool mirrorX = false, mirrorY = false;
    };
    template <typename T>
    bool MirrorSwap(const SMirrorJob* jobs, int count, const EdgeRect& region);

    int64_t blockCount_ = 0;

private:
    void FreeBlocks();
    static constexpr int32_t kNoGrid = 0x3FFFFFFF;
    // f(offset, length) over [0, n), cut where a + i crosses a multiple of
    // maskA + 1 or b + i one of maskB + 1.
    template <typename F>
    static bool SplitRange(int32_t a, int32_t b, int32_t n, int32_t maskA, int32_t maskB, F&& f);
    template <typename F>
    bool WalkPieces(int32_t x, int32_t y, int32_t ox, int32_t oy, int32_t w, int32_t h, int32_t otherMask,
                    F&& f) const;
    template <typename F>
    bool ForEachMirrorPair(const SMirrorJob& job, F&& f) const;
};

// ---- templates ------------------------------------------------------------------

template <typename F>
bool CBlockImage::SplitRange(int32_t a, int32_t b, int32_t n, int32_t maskA, int32_t maskB, F&& f)
{
    for (int32_t i = 0; i < n;) {
        const int32_t len = std::min({n - i, maskA + 1 - ((a + i) & maskA), maskB + 1 - ((b + i) & maskB)});
        if (!f(i, len))
            return false;
        i += len;
    }
    return true;
}

template <typename F>
bool CBlockImage::WalkPieces(int32_t x, int32_t y, int32_t ox, int32_t oy, int32_t w, int32_t h,
                             int32_t otherMask, F&& f) const
{
    return SplitRange(y, oy, h, BlockMask, otherMask, [&](int32_t dy, int32_t ph) {
        return SplitRange(x, ox, w, BlockMask, otherMask, [&](int32_t dx, int32_t pw) {
            SPiece p = MakePiece(x + dx, y + dy, pw, ph);
            return f(p, Point{ox + dx, oy + dy});
        });
    });
}

template <typename F>
bool CBlockImage::ForEachBlockInRect(const ExtentRect& rect, F&& f)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    return WalkPieces(r.left, r.top, r.left, r.top, r.right - r.left, r.bottom - r.top, BlockMask,
                      [&](SPiece& p, Point) { return f(p); });
}

template <typename F>
bool CBlockImage::ForEachPieceTo(int32_t bufW, int32_t bufH, Point at, const ExtentRect& rect, F&& f) const
{
    CopyRegion c;
    if (!IsValid() || !ClipCopy(rect, at, Width, Height, bufW, bufH, c))
        return false;
    return WalkPieces(c.srcX, c.srcY, c.dstX, c.dstY, c.width, c.height, kNoGrid, f);
}

template <typename F>
bool CBlockImage::ForEachPieceFrom(int32_t bufW, int32_t bufH, Point at, const ExtentRect& rect, F&& f)
{
    CopyRegion c;
    if (!IsValid() || !ClipCopy(rect, at, bufW, bufH, Width, Height, c))
        return false;
    return WalkPieces(c.dstX, c.dstY, c.srcX, c.srcY, c.width, c.height, kNoGrid, f);
}

template <typename F>
bool CBlockImage::ForEachPieceBetween(const CBlockImage& other, Point at, const ExtentRect& rect, F&& f)
{
    CopyRegion c;
    if (!IsValid() || !other.IsValid() || !ClipCopy(rect, at, other.Width, other.Height, Width, Height, c))
        return false;
    return WalkPieces(c.dstX, c.dstY, c.srcX, c.srcY, c.width, c.height, other.BlockMask,
                      [&](SPiece& p, Point o) { return f(p, other.MakePiece(o.x, o.y, p.w, p.h)); });
}

template <typename T>
bool CBlockImage::FillPiece(const SPiece& p, uint32_t value)
{
    SBlock& b = *p.block;
    const T v = T(value);
    if (p.whole) {
        if (b.Committed())
            DecommitBlock(b);
        b.Uniform = v;
        return true;
    }
    if (!b.Committed()) {
        if (T(b.Uniform) == v)
            return true;
        if (!CommitBlock(b))
            return false;
    }
    for (int32_t i = 0; i < p.h; ++i)
        std::fill_n(RowIn<T>(b, p.lx, p.ly + i), p.w, v);
    return true;
}

template <typename T, typename Op>
bool CBlockImage::TransformPiece(const SPiece& p, Op op)
{
    SBlock& b = *p.block;
    if (!b.Committed()) {
        const T u = T(b.Uniform), changed = T(op(u));
        if (changed == u)
            return true;
        if (p.whole) {
            b.Uniform = changed;
            return true;
        }
        if (!CommitBlock(b))
            return false;
    }
    for (int32_t i = 0; i < p.h; ++i) {
        T* row = RowIn<T>(b, p.lx, p.ly + i);
        for (int32_t j = 0; j < p.w; ++j)
            row[j] = T(op(row[j]));
    }
    return true;
}

template <typename T, typename RowFn>
bool CBlockImage::PutPiece(const SPiece& p, RowFn row)
{
    SBlock& b = *p.block;
    if (!b.Committed()) {
        const T first = row(0)[0];
        bool same = true;
        for (int32_t i = 0; i < p.h && same; ++i) {
            const T* r = row(i);
            same = std::all_of(r, r + p.w, [first](T v) { return v == first; });
        }
        if (same && (p.whole || first == T(b.Uniform))) {
            b.Uniform = first;
            return true;
        }
        // A piece over every pixel of the block needs no fill first.
        const bool everyPixel = p.lx == 0 && p.ly == 0 && p.w == BlockWidth && p.h == BlockHeight;
        if (!(everyPixel ? TakeBlockMemory(b) : CommitBlock(b)))
            return false;
    }
    for (int32_t i = 0; i < p.h; ++i)
        std::memcpy(RowIn<T>(b, p.lx, p.ly + i), row(i), size_t(p.w) * sizeof(T));
    return true;
}

template <typename F>
bool CBlockImage::ForEachMirrorPair(const SMirrorJob& job, F&& f) const
{
    // Cut where either side crosses a block boundary; the mirrored side
    // crosses one where sum - x is a multiple of the block size.
    auto split = [this](int32_t start, int32_t n, bool mirrored, int32_t sum, auto&& g) {
        for (int32_t i = 0; i < n;) {
            const int32_t v = start + i;
            int32_t len = std::min(n - i, BlockMask + 1 - (v & BlockMask));
            if (mirrored)
                len = std::min(len, ((sum - v - 1) & BlockMask) + 1);
            if (!g(v, len))
                return false;
            i += len;
        }
        return true;
    };
    const EdgeRect& a = job.half;
    return split(a.top, a.bottom - a.top, job.mirrorY, job.sumY, [&](int32_t y, int32_t h) {
        return split(a.left, a.right - a.left, job.mirrorX, job.sumX, [&](int32_t x, int32_t w) {
            const int32_t mx = job.mirrorX ? job.sumX - x - w : x;
            const int32_t my = job.mirrorY ? job.sumY - y - h : y;
            return f(MakePiece(x, y, w, h), MakePiece(mx, my, w, h));
        });
    });
}

template <typename T>
bool CBlockImage::MirrorSwap(const SMirrorJob* jobs, int count, const EdgeRect& region)
{
    // Two uncommitted blocks need no memory when their values are equal or
    // when both are covered whole (then only the Uniforms swap).
    auto needsMemory = [](const SPiece& a, const SPiece& b) {
        const SBlock &A = *a.block, &B = *b.block;
        return A.Committed() || B.Committed() || (A.Uniform != B.Uniform && !(a.whole && b.whole));
    };
    for (int k = 0; k < count; ++k) {
        const bool ok = ForEachMirrorPair(jobs[k], [&](const SPiece& a, const SPiece& b) {
            if (!needsMemory(a, b))
                return true;
            return (a.block->Committed() || CommitBlock(*a.block)) && (b.block->Committed() || CommitBlock(*b.block));
        });
        if (!ok) {
            CompactRect(region); // the fresh blocks hold only their Uniform
            return false;
        }
    }
    for (int k = 0; k < count; ++k) {
        const SMirrorJob& job = jobs[k];
        ForEachMirrorPair(job, [&](const SPiece& a, const SPiece& b) {
            SBlock &A = *a.block, &B = *b.block;
            if (!A.Committed() || !B.Committed()) {
                // Otherwise both pieces hold the same value already.
                if (!A.Committed() && !B.Committed() && a.whole && b.whole)
                    std::swap(A.Uniform, B.Uniform);
                return true;
            }
            for (int32_t i = 0; i < a.h; ++i) {
                T* ra = RowIn<T>(A, a.lx, a.ly + i);
                T* rb = RowIn<T>(B, b.lx, job.mirrorY ? b.ly + a.h - 1 - i : b.ly + i);
                if (job.mirrorX)
                    for (int32_t j = 0; j < a.w; ++j)
                        std::swap(ra[j], rb[a.w - 1 - j]);
                else
                    std::swap_ranges(ra, ra + a.w, rb);
            }
            return true;
        });
    }
    CompactRect(region);
    return true;
}

} // namespace morvane
