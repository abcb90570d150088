#include "storage/CBlockImage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/MemoryBudget.h"
#include "storage/SizeLimits.h"

namespace morvane {

bool CBlockImage::SizeAllowed(int32_t width, int32_t height)
{
    return IsStoreSizeAllowed(width, height);
}

CBlockImage::~CBlockImage() { Release(); }

void CBlockImage::Build(int32_t width, int32_t height, int32_t bytesPerPixel)
{
    InitGeometry();
    BytesPerPixel = bytesPerPixel;
    Width = width;
    Height = height;
    if (!Allocate())
        Width = Height = 0;
}

void CBlockImage::FillBlockPixels(SBlock& b, int32_t lx, int32_t ly, int32_t w, int32_t h, uint32_t value)
{
    ByPixelType([&](auto t) {
        using T = decltype(t);
        for (int32_t i = 0; i < h; ++i)
            std::fill_n(RowIn<T>(b, lx, ly + i), w, T(value));
    });
}

void CBlockImage::InitGeometry()
{
    BlockWidth = BlockHeight = BlockStride = 32;
    BlockMask = 31;
    BlockShift = 5;
}

bool CBlockImage::CommitBlock(SBlock& block)
{
    if (block.Committed())
        return true;
    if (!TakeBlockMemory(block))
        return false;
    // A block looks the same before and after it gets memory.
    FillBlockPixels(block, 0, 0, BlockWidth, BlockHeight, block.Uniform);
    return true;
}

bool CBlockImage::TakeBlockMemory(SBlock& block)
{
    block.Data = static_cast<uint8_t*>(AllocPooledBlock(uint64_t(BlockBytes)));
    return block.Data != nullptr;
}

bool CBlockImage::DecommitBlock(SBlock& block)
{
    if (!block.Committed())
        return false;
    FreePooledBlock(block.Data, uint64_t(BlockBytes));
    block.Data = nullptr;
    return true;
}

uint8_t* CBlockImage::PixelPtr(int32_t x, int32_t y, bool commit)
{
    SBlock* b = BlockAt(x, y, commit);
    if (!b || !b->Committed())
        return nullptr;
    return b->Data + ((((y & BlockMask) << BlockShift) + (x & BlockMask)) * BytesPerPixel);
}

SBlock* CBlockImage::BlockAt(int32_t x, int32_t y, bool commit)
{
    if (uint32_t(x) >= uint32_t(Width) || uint32_t(y) >= uint32_t(Height))
        return nullptr;
    return BlockAtIndex(x >> BlockShift, y >> BlockShift, commit);
}

bool CBlockImage::Allocate()
{
    FreeBlocks();
    if (!SizeAllowed(Width, Height) || BlockShift <= 0)
        return false;
    BlockStride = BlockWidth;
    BlockBytes = BlockWidth * BlockHeight * BytesPerPixel;
    BlocksX = (Width + BlockMask) >> BlockShift;
    BlocksY = (Height + BlockMask) >> BlockShift;
    const int64_t count = int64_t(BlocksX) * BlocksY;
    Blocks = static_cast<SBlock*>(AllocBlock(uint64_t(count) * sizeof(SBlock)));
    if (!Blocks)
        return false;
    blockCount_ = count;
    for (int32_t by = 0; by < BlocksY; ++by)
        for (int32_t bx = 0; bx < BlocksX; ++bx) {
            SBlock* b = new (&Blocks[int64_t(by) * BlocksX + bx]) SBlock;
            b->BlockX = uint16_t(bx);
            b->BlockY = uint16_t(by);
            if (!InitBlock(*b)) {
                FreeBlocks();
                return false;
            }
        }
    Valid = true;
    return true;
}

bool CBlockImage::Reshape(int32_t width, int32_t height)
{
    Release();
    Width = width;
    Height = height;
    if (Allocate())
        return true;
    Width = Height = 0;
    return false;
}

void CBlockImage::FreeBlocks()
{
    for (int64_t i = 0; i < blockCount_; ++i)
        CBlockImage::DecommitBlock(Blocks[i]);
    FreeBlock(Blocks, uint64_t(blockCount_) * sizeof(SBlock));
    Blocks = nullptr;
    blockCount_ = 0;
    BlocksX = BlocksY = 0;
    Valid = false;
}

void CBlockImage::Release()
{
    FreeBlocks();
    Width = Height = 0;
}

SBlock* CBlockImage::BlockAtIndex(int32_t bx, int32_t by, bool commit)
{
    if (!IsValid() || uint32_t(bx) >= uint32_t(BlocksX) || uint32_t(by) >= uint32_t(BlocksY))
        return nullptr;
    SBlock& b = Blocks[int64_t(by) * BlocksX + bx];
    if (commit && !CommitBlock(b))
        return nullptr;
    return &b;
}

const SBlock* CBlockImage::BlockAtIndex(int32_t bx, int32_t by) const
{
    return const_cast<CBlockImage*>(this)->BlockAtIndex(bx, by, false);
}

EdgeRect CBlockImage::BlockSquare(const SBlock& b) const
{
    const int32_t left = int32_t(b.BlockX) << BlockShift, top = int32_t(b.BlockY) << BlockShift;
    return {left, top, left + UsedW(b), top + UsedH(b)};
}

SPiece CBlockImage::MakePiece(int32_t x, int32_t y, int32_t w, int32_t h) const
{
    SPiece p;
    p.block = &Blocks[int64_t(y >> BlockShift) * BlocksX + (x >> BlockShift)];
    p.x = x;
    p.y = y;
    p.w = w;
    p.h = h;
    p.lx = x & BlockMask;
    p.ly = y & BlockMask;
    p.whole = p.lx == 0 && p.ly == 0 && w == UsedW(*p.block) && h == UsedH(*p.block);
    return p;
}

int64_t CBlockImage::CommittedBytes() const
{
    int64_t n = 0;
    for (int64_t i = 0; i < blockCount_; ++i)
        n += Blocks[i].Committed();
    return n * BlockBytes;
}

bool CBlockImage::UsedPartUniform(const SBlock& b, uint32_t& value) const
{
    return ByPixelType([&](auto t) {
        using T = decltype(t);
        const T first = *RowIn<T>(b, 0, 0);
        const int32_t w = UsedW(b), h = UsedH(b);
        for (int32_t i = 0; i < h; ++i) {
            const T* row = RowIn<T>(b, 0, i);
            if (!std::all_of(row, row + w, [first](T v) { return v == first; }))
                return false;
        }
        value = first;
        return true;
    });
}

int32_t CBlockImage::CompactRect(const EdgeRect& region)
{
    EdgeRect r;
    if (!IsValid() || !Intersect(region, {0, 0, Width, Height}, r))
        return 0;
    int32_t freed = 0;
    for (int32_t by = r.top >> BlockShift; by <= (r.bottom - 1) >> BlockShift; ++by)
        for (int32_t bx = r.left >> BlockShift; bx <= (r.right - 1) >> BlockShift; ++bx) {
            SBlock& b = Blocks[int64_t(by) * BlocksX + bx];
            uint32_t value = 0;
            if (b.Committed() && UsedPartUniform(b, value)) {
                DecommitBlock(b);
                b.Uniform = value;
                ++freed;
            }
        }
    return freed;
}

int32_t CBlockImage::Compact() { return CompactRect({0, 0, Width, Height}); }

bool CBlockImage::BoundsOfContent(EdgeRect& out) const
{
    EdgeRect bounds;
    for (int64_t i = 0; i < blockCount_; ++i)
        if (BlockHasContent(Blocks[i]))
            bounds = Union(bounds, BlockSquare(Blocks[i]));
    if (bounds.IsEmpty())
        return false;
    out = bounds;
    return true;
}

namespace {

// Whether a block's used part differs from the twin block of another store.
template <typename T>
bool BlocksDiffer(const CBlockImage& a, const SBlock& x, const CBlockImage& b, const SBlock& y)
{
    if (!x.Committed() && !y.Committed())
        return x.Uniform != y.Uniform;
    const int32_t w = a.UsedW(x), h = a.UsedH(x);
    for (int32_t i = 0; i < h; ++i) {
        if (x.Committed() && y.Committed()) {
            if (std::memcmp(a.RowIn<T>(x, 0, i), b.RowIn<T>(y, 0, i), size_t(w) * sizeof(T)) != 0)
                return true;
            continue;
        }
        const T* row = x.Committed() ? a.RowIn<T>(x, 0, i) : b.RowIn<T>(y, 0, i);
        const T value = T(x.Committed() ? y.Uniform : x.Uniform);
        if (std::any_of(row, row + w, [value](T v) { return v != value; }))
            return true;
    }
    return false;
}

} // namespace

bool CBlockImage::DifferingBounds(const CBlockImage& other, const EdgeRect& within, EdgeRect& out) const
{
    EdgeRect r;
    if (!IsValid() || !other.IsValid() || other.Width != Width || other.Height != Height ||
        other.BlockShift != BlockShift || other.BytesPerPixel != BytesPerPixel ||
        !Intersect(within, {0, 0, Width, Height}, r))
        return false;
    EdgeRect bounds;
    const bool wide = BytesPerPixel == 4;
    for (int32_t by = r.top >> BlockShift; by <= (r.bottom - 1) >> BlockShift; ++by)
        for (int32_t bx = r.left >> BlockShift; bx <= (r.right - 1) >> BlockShift; ++bx) {
            const SBlock& x = *BlockAtIndex(bx, by);
            const SBlock& y = *other.BlockAtIndex(bx, by);
            if (wide ? BlocksDiffer<uint32_t>(*this, x, other, y) : BlocksDiffer<uint8_t>(*this, x, other, y))
                bounds = Union(bounds, BlockSquare(x));
        }
    if (bounds.IsEmpty())
        return false;
    out = bounds;
    return true;
}

bool CBlockImage::CopyPieces(const CBlockImage& other, Point at, const ExtentRect& rect)
{
    if (other.BytesPerPixel != BytesPerPixel)
        return false;
    return ByPixelType([&](auto t) {
        using T = decltype(t);
        return ForEachPieceBetween(other, at, rect, [&](SPiece& p, const SPiece& s) {
            const SBlock& source = *s.block;
            if (!source.Committed())
                return FillPiece<T>(p, source.Uniform);
            return PutPiece<T>(p, [&](int32_t i) { return other.RowIn<T>(source, s.lx, s.ly + i); });
        });
    });
}

bool CBlockImage::CopyAllBlocks(const CBlockImage& other)
{
    return CopyAlignedBlocks(other, {0, 0}, {0, 0, other.Width, other.Height});
}

bool CBlockImage::CopyAlignedBlocks(const CBlockImage& other, Point at, const ExtentRect& rect)
{
    // `at` receives the widened rectangle's top-left corner, so that source
    // and target blocks line up one for one.
    if (&other == this || other.BlockWidth != BlockWidth || other.BytesPerPixel != BytesPerPixel ||
        (at.x & BlockMask) != 0 || (at.y & BlockMask) != 0)
        return false;
    EdgeRect e;
    if (!ClipToBuffer(rect, other.Width, other.Height, e))
        return false;
    const int32_t left = e.left & ~BlockMask, top = e.top & ~BlockMask;
    const int32_t right = (e.right + BlockMask) & ~BlockMask, bottom = (e.bottom + BlockMask) & ~BlockMask;
    return CopyPieces(other, at, {left, top, right - left, bottom - top});
}

} // namespace morvane
