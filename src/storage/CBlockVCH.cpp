#include "storage/CBlockVCH.h"

#include "storage/CBlockVMTC.h"
#include "storage/TChannel.h"

namespace morvane {

CBlockVCH::CBlockVCH(int32_t width, int32_t height) : rowTable_(SharedRowTable<64, 64>())
{
    Build(width, height, 1);
}

CBlockVCH::CBlockVCH(const CBlockVCH& other) : CBlockVCH(other.Width, other.Height)
{
    DefaultUniform = other.DefaultUniform;
    if (IsValid() && !CopyAllBlocks(other))
        Release();
}

void CBlockVCH::InitGeometry()
{
    BlockWidth = BlockHeight = BlockStride = 64;
    BlockMask = 63;
    BlockShift = 6;
}

bool CBlockVCH::InitBlock(SBlock& block)
{
    block.Uniform = DefaultUniform;
    return true;
}

bool CBlockVCH::BlockHasContent(const SBlock& b) const
{
    return AnyInUsedPart<uint8_t>(b, [](uint8_t v) { return v != 0; });
}

uint8_t CBlockVCH::GetValue(int32_t x, int32_t y) const { return ValueAt<uint8_t>(x, y, 0); }

uint8_t CBlockVCH::GetValueClamped(int32_t x, int32_t y) const
{
    return IsValid() ? GetValue(std::clamp(x, 0, Width - 1), std::clamp(y, 0, Height - 1)) : 0;
}

bool CBlockVCH::SetValue(int32_t x, int32_t y, uint8_t value) { return SetValueAt<uint8_t>(x, y, value); }

bool CBlockVCH::CopyOut(TChannel& channel, Point at, const ExtentRect& rect) const
{
    if (!channel.IsValid())
        return false;
    return ForEachPieceTo(channel.Width, channel.Height, at, rect, [&](const SPiece& p, Point d) {
        const SBlock& b = *p.block;
        if (!b.Committed()) {
            channel.FillRect({d.x, d.y, p.w, p.h}, uint8_t(b.Uniform));
            return true;
        }
        for (int32_t i = 0; i < p.h; ++i)
            std::memcpy(channel.PixelPtr(d.x, d.y + i), RowIn<uint8_t>(b, p.lx, p.ly + i), size_t(p.w));
        return true;
    });
}

bool CBlockVCH::CopyIn(const TChannel& channel, Point at, const ExtentRect& rect)
{
    if (!channel.IsValid())
        return false;
    return ForEachPieceFrom(channel.Width, channel.Height, at, rect, [&](const SPiece& p, Point s) {
        return PutPiece<uint8_t>(p, [&](int32_t i) { return channel.PixelPtr(s.x, s.y + i); });
    });
}

bool CBlockVCH::CopyStore(const CBlockVCH& other, Point at, const ExtentRect& rect)
{
    return CopyStoreOf(*this, other, at, rect);
}

void CBlockVCH::FillAll(uint8_t value) { FillRect({0, 0, Width, Height}, value); }

bool CBlockVCH::FillRect(const ExtentRect& rect, uint8_t value)
{
    return ForEachBlockInRect(rect, [&](const SPiece& p) { return FillPiece<uint8_t>(p, value); });
}

bool CBlockVCH::FillOutside(const ExtentRect& rect, uint8_t value)
{
    if (!IsValid())
        return false;
    EdgeRect r;
    if (!ClipToBuffer(rect, Width, Height, r)) {
        FillAll(value);
        return true;
    }
    const ExtentRect bands[4] = {
        {0, 0, Width, r.top},
        {0, r.bottom, Width, Height - r.bottom},
        {0, r.top, r.left, r.bottom - r.top},
        {r.right, r.top, Width - r.right, r.bottom - r.top},
    };
    for (const ExtentRect& band : bands)
        if (band.width > 0 && band.height > 0 && !FillRect(band, value))
            return false;
    return true;
}

bool CBlockVCH::BoundingBox(EdgeRect& out) const
{
    EdgeRect box;
    for (int64_t k = 0; k < blockCount_; ++k) {
        const SBlock& b = Blocks[k];
        const EdgeRect square = BlockSquare(b);
        if (!b.Committed()) {
            if (b.Uniform != 0)
                box = Union(box, square);
            continue;
        }
        for (int32_t i = 0; i < square.bottom - square.top; ++i) {
            const uint8_t* row = RowIn<uint8_t>(b, 0, i);
            const uint8_t* end = row + (square.right - square.left);
            const uint8_t* first = std::find_if(row, end, [](uint8_t v) { return v != 0; });
            if (first == end)
                continue;
            const uint8_t* last = end;
            while (last[-1] == 0)
                --last;
            const int32_t y = square.top + i;
            box = Union(box, {square.left + int32_t(first - row), y, square.left + int32_t(last - row), y + 1});
        }
    }
    if (box.IsEmpty())
        return false;
    out = box;
    return true;
}

bool CBlockVCH::FromAlpha(const CBlockVMTC& source, const ExtentRect& rect)
{
    // Pieces of a 32 x 32 source grid never cover a whole 64 x 64 block, so
    // uniform areas commit here and are given back afterwards.
    const bool ok = ForEachPieceBetween(source, {rect.left, rect.top}, rect, [&](const SPiece& p, const SPiece& s) {
        if (!s.block->Committed())
            return FillPiece<uint8_t>(p, s.block->Uniform >> 24);
        // Pieces are cut at the source's 32 x 32 grid too.
        uint8_t alpha[32 * 32];
        source.ReadAlpha(s, [&](int32_t i) { return alpha + i * 32; });
        return PutPiece<uint8_t>(p, [&](int32_t i) { return alpha + i * 32; });
    });
    CompactRect(ToEdge(rect));
    return ok;
}

bool CBlockVCH::ToAlpha(CBlockVMTC& target, const ExtentRect& rect) const
{
    const bool ok = target.ForEachPieceBetween(*this, {rect.left, rect.top}, rect, [&](const SPiece& p, const SPiece& s) {
        const SBlock& b = *s.block;
        uint8_t uniformRow[64];
        std::memset(uniformRow, int(b.Uniform & 0xFF), sizeof uniformRow);
        return target.WriteAlpha(p, [&](int32_t i) {
            return b.Committed() ? RowIn<uint8_t>(b, s.lx, s.ly + i) : static_cast<const uint8_t*>(uniformRow);
        });
    });
    target.CompactRect(ToEdge(rect));
    return ok;
}

} // namespace morvane
