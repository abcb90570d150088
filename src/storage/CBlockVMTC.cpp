#include "storage/CBlockVMTC.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#endif

#include "storage/BlendTables.h"
#include "storage/PixelWalk.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
constexpr uint32_t kColourBits = 0x00FFFFFFu;

// Rotates the w x h source rectangle into the h x w target rectangle (strides
// in pixels): clockwise, target (x, y) = source (y, h - 1 - x).
void RotateRect(const uint32_t* src, int64_t srcStride, int32_t w, int32_t h, uint32_t* dst, int64_t dstStride,
                bool clockwise)
{
    for (int32_t y = 0; y < w; ++y, dst += dstStride) {
        if (clockwise) {
            const uint32_t* s = src + int64_t(h - 1) * srcStride + y;
            for (int32_t x = 0; x < h; ++x, s -= srcStride)
                dst[x] = *s;
        } else {
            const uint32_t* s = src + (w - 1 - y);
            for (int32_t x = 0; x < h; ++x, s += srcStride)
                dst[x] = *s;
        }
    }
}

// Where a rectangle of the source lands after a quarter turn.
ExtentRect Rotated(const ExtentRect& r, int32_t srcW, int32_t srcH, bool clockwise)
{
    if (clockwise)
        return {srcH - r.top - r.height, r.left, r.height, r.width};
    return {r.top, srcW - r.left - r.width, r.height, r.width};
}

// The source rectangle that lands on target rectangle t (the inverse of Rotated).
ExtentRect Unrotated(const ExtentRect& t, int32_t srcW, int32_t srcH, bool clockwise)
{
    if (clockwise)
        return {t.top, srcH - t.left - t.width, t.height, t.width};
    return {srcW - t.top - t.height, t.left, t.height, t.width};
}

// A block row is 128 bytes: a copy of that constant size is inlined, which
// matters when a copy out is half a million rows.
void CopyRow(uint32_t* d, const uint32_t* s, int32_t n)
{
    if (n == 32)
        std::memcpy(d, s, 32 * 4);
    else
        std::memcpy(d, s, size_t(n) * 4);
}

// Copies out of a region this large store past the caches: the target would
// not stay cached anyway, and streaming stores spare reading every target
// line before writing it. (The group's destructor fences them.)
constexpr int64_t kStreamingPixels = int64_t(1) << 21;

// Copies n pixels; the 64-byte lines wholly inside the target are streamed.
void StreamRow(uint32_t* d, const uint32_t* s, int32_t n)
{
    int32_t i = 0;
#if defined(__SSE2__)
    const uintptr_t address = reinterpret_cast<uintptr_t>(d);
    if ((address & 3) == 0) {
        i = std::min(n, int32_t(((64 - (address & 63)) & 63) / 4));
        std::memcpy(d, s, size_t(i) * 4);
        for (; i + 16 <= n; i += 16)
            for (int32_t k = i; k < i + 16; k += 4)
                _mm_stream_si128(reinterpret_cast<__m128i*>(d + k),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k)));
    }
#endif
    std::memcpy(d + i, s + i, size_t(n - i) * 4);
}

// Fills n pixels; the 64-byte lines wholly inside the target are streamed.
void StreamFill(uint32_t* d, uint32_t value, int32_t n)
{
    int32_t i = 0;
#if defined(__SSE2__)
    const uintptr_t address = reinterpret_cast<uintptr_t>(d);
    if ((address & 3) == 0) {
        i = std::min(n, int32_t(((64 - (address & 63)) & 63) / 4));
        std::fill_n(d, i, value);
        const __m128i v = _mm_set1_epi32(int32_t(value));
        for (; i + 16 <= n; i += 16)
            for (int32_t k = i; k < i + 16; k += 4)
                _mm_stream_si128(reinterpret_cast<__m128i*>(d + k), v);
    }
#endif
    std::fill_n(d + i, n - i, value);
}

// Committed pieces side by side in one band of blocks are copied out row by
// row across the group: gathered into one row, then streamed, so that each
// target row gets whole cache lines; eight blocks make a kilobyte a row.
class StreamingGroup {
public:
    StreamingGroup(const CBlockVMTC& store, TMTC& buffer) : store_(store), buffer_(buffer) {}
    ~StreamingGroup()
    {
        Flush();
#if defined(__SSE2__)
        _mm_sfence();
#endif
    }

    void Add(const SPiece& p, Point d)
    {
        if (count_ > 0 && (count_ == kGroup || d.y != at_.y || d.x != at_.x + width_))
            Flush();
        if (count_ == 0) {
            at_ = d;
            height_ = p.h;
            width_ = 0;
        }
        pieces_[count_++] = p;
        width_ += p.w;
    }

    void Flush()
    {
        for (int32_t i = 0; i < height_ && count_ > 0; ++i) {
            uint32_t* out = gathered_;
            for (int k = 0; k < count_; ++k) {
                const SPiece& p = pieces_[k];
                std::memcpy(out, store_.RowIn<uint32_t>(*p.block, p.lx, p.ly + i), size_t(p.w) * 4);
                out += p.w;
            }
            StreamRow(buffer_.PixelPtr(at_.x, at_.y + i), gathered_, width_);
        }
        count_ = 0;
    }

private:
    static constexpr int kGroup = 8;
    const CBlockVMTC& store_;
    TMTC& buffer_;
    SPiece pieces_[kGroup];
    int count_ = 0;
    Point at_;
    int32_t width_ = 0, height_ = 0;
    alignas(64) uint32_t gathered_[kGroup * 32];
};

#if defined(__x86_64__)
// Long runs sixteen pixels at a time where the processor has AVX-512BW: the
// even bytes (blue, red) and the odd ones (green, alpha) of each pixel add up
// in sixteen-bit lanes of two sums, folded every 256 steps. Returns how many
// pixels it summed.
// GCC 12 warns inside its own AVX-512 headers, whose undefined-vector idiom
// it then takes for an uninitialised read.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
__attribute__((target("avx512f,avx512bw"))) int32_t AddBytesWide(const uint32_t* row, int32_t n, uint64_t sums[4])
{
    const __m512i low = _mm512_set1_epi32(0x00FF00FF);
    int32_t i = 0;
    while (i + 16 <= n) {
        __m512i even = _mm512_setzero_si512(), odd = _mm512_setzero_si512();
        for (int32_t steps = 0; steps < 256 && i + 16 <= n; ++steps, i += 16) {
            const __m512i v = _mm512_loadu_si512(row + i);
            even = _mm512_add_epi16(even, _mm512_and_si512(v, low));
            odd = _mm512_add_epi16(odd, _mm512_srli_epi16(v, 8));
        }
        // Each 32-bit lane holds a low byte's sum and a high byte's sum.
        const __m512i lowHalves = _mm512_set1_epi32(0xFFFF);
        sums[0] += uint64_t(_mm512_reduce_add_epi32(_mm512_and_si512(even, lowHalves)));
        sums[1] += uint64_t(_mm512_reduce_add_epi32(_mm512_and_si512(odd, lowHalves)));
        sums[2] += uint64_t(_mm512_reduce_add_epi32(_mm512_srli_epi32(even, 16)));
        sums[3] += uint64_t(_mm512_reduce_add_epi32(_mm512_srli_epi32(odd, 16)));
    }
    _mm256_zeroupper();
    return i;
}
#pragma GCC diagnostic pop
#endif

// Sums of the four bytes of pixels: groups of four pixels add up in
// sixteen-bit lanes, folded into the totals before a lane could overflow and
// when the sums go out of scope.
class ByteSums {
public:
    explicit ByteSums(uint64_t sums[4]) : sums_(sums) {}
    ~ByteSums() { Fold(); }
    ByteSums(const ByteSums&) = delete;
    ByteSums& operator=(const ByteSums&) = delete;

    void Add(const uint32_t* row, int32_t n)
    {
        int32_t i = 0;
#if defined(__x86_64__)
        static const bool wide = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
        if (wide && n >= 64)
            i = AddBytesWide(row, n, sums_);
#endif
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; i + 4 <= n; i += 4) {
            if (groups_ == kGroupsPerFold)
                Fold();
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            lanes_ = _mm_add_epi16(lanes_, _mm_add_epi16(_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)));
            ++groups_;
        }
#endif
        for (; i < n; ++i)
            AddRepeated(row[i], 1);
    }

    void AddRepeated(uint32_t v, uint64_t count)
    {
        for (int k = 0; k < 4; ++k)
            sums_[k] += uint64_t((v >> (8 * k)) & 0xFF) * count;
    }

private:
    void Fold()
    {
#if defined(__SSE2__)
        alignas(16) uint16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), lanes_);
        for (int k = 0; k < 4; ++k)
            sums_[k] += uint64_t(lanes[k]) + lanes[k + 4];
        lanes_ = _mm_setzero_si128();
        groups_ = 0;
#endif
    }

    uint64_t* sums_;
#if defined(__SSE2__)
    // Each group adds two bytes to a lane: 128 groups stay below 65536.
    static constexpr int32_t kGroupsPerFold = 128;
    __m128i lanes_ = _mm_setzero_si128();
    int32_t groups_ = 0;
#endif
};

uint32_t AverageBytes(const uint64_t sums[4], uint64_t count)
{
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= uint32_t(sums[k] / count) << (8 * k);
    return v;
}
} // namespace

CBlockVMTC::CBlockVMTC(int32_t width, int32_t height) : rowTable_(SharedRowTable<32, 4 * 32>())
{
    Build(width, height, 4);
}

CBlockVMTC::CBlockVMTC(const CBlockVMTC& other) : CBlockVMTC(other.Width, other.Height)
{
    DefaultUniform = other.DefaultUniform;
    if (IsValid() && !CopyAllBlocks(other))
        Release();
}

bool CBlockVMTC::InitBlock(SBlock& block)
{
    block.Uniform = DefaultUniform;
    return true;
}

bool CBlockVMTC::BlockHasContent(const SBlock& b) const
{
    return AnyInUsedPart<uint32_t>(b, [](uint32_t v) { return (v >> 24) != 0; });
}

// ---- single pixels --------------------------------------------------------------

uint32_t CBlockVMTC::GetPixel(int32_t x, int32_t y) const { return ValueAt<uint32_t>(x, y, 0); }

uint32_t CBlockVMTC::ClampedPixel(int32_t x, int32_t y) const
{
    x = std::clamp(x, 0, Width - 1);
    y = std::clamp(y, 0, Height - 1);
    return PixelIn(Blocks[int64_t(y >> BlockShift) * BlocksX + (x >> BlockShift)], x, y);
}

uint32_t CBlockVMTC::GetPixelClamped(int32_t x, int32_t y) const { return IsValid() ? ClampedPixel(x, y) : 0; }

uint32_t CBlockVMTC::GetPixelOrDefault(int32_t x, int32_t y) const
{
    return ValueAt<uint32_t>(x, y, DefaultUniform);
}

bool CBlockVMTC::SetPixel(int32_t x, int32_t y, uint32_t value) { return SetValueAt<uint32_t>(x, y, value); }

uint32_t* CBlockVMTC::PixelPtrClamped(int32_t x, int32_t y)
{
    if (!IsValid())
        return nullptr;
    return reinterpret_cast<uint32_t*>(PixelPtr(std::clamp(x, 0, Width - 1), std::clamp(y, 0, Height - 1), true));
}

// ---- copies ---------------------------------------------------------------------

bool CBlockVMTC::CopyOut(TMTC& buffer, Point at, bool skipTransparent, uint8_t opacity,
                         const ExtentRect& rect) const
{
    CopyRegion c;
    if (opacity == 0 || !buffer.IsValid() || !ClipCopy(rect, at, Width, Height, buffer.Width, buffer.Height, c))
        return false;
    const bool streaming = opacity == 255 && int64_t(c.width) * c.height >= kStreamingPixels;
    StreamingGroup group(*this, buffer);
    // Neighbouring uncommitted pieces of one value are filled as one run.
    ExtentRect run;
    uint32_t runColour = 0;
    auto flush = [&] {
        if (run.width > 0) {
            if (streaming)
                for (int32_t y = run.top; y < run.top + run.height; ++y)
                    StreamFill(buffer.PixelPtr(run.left, y), runColour, run.width);
            else if (opacity == 255)
                buffer.FillRect(run, runColour);
            else
                buffer.BlendRect(run, opacity, runColour);
        }
        run.width = 0;
    };
    const bool ok = ForEachPieceTo(buffer.Width, buffer.Height, at, rect, [&](const SPiece& p, Point d) {
        const SBlock& b = *p.block;
        if (b.Committed()) {
            flush();
            if (streaming)
                group.Add(p, d);
            else if (opacity == 255)
                CopyRows(buffer, d, b, p);
            else
                buffer.BlendFrom(View(b), d, opacity, {p.lx, p.ly, p.w, p.h});
        } else if (skipTransparent && (b.Uniform >> 24) == 0) {
            flush();
        } else if (run.width > 0 && runColour == b.Uniform && run.top == d.y && run.height == p.h &&
                   run.left + run.width == d.x) {
            run.width += p.w;
        } else {
            flush();
            run = {d.x, d.y, p.w, p.h};
            runColour = b.Uniform;
        }
        return true;
    });
    flush();
    return ok;
}

void CBlockVMTC::CopyRows(TMTC& buffer, Point at, const SBlock& b, const SPiece& p) const
{
    for (int32_t i = 0; i < p.h; ++i)
        CopyRow(buffer.PixelPtr(at.x, at.y + i), RowIn<uint32_t>(b, p.lx, p.ly + i), p.w);
}

bool CBlockVMTC::CopyIn(const TMTC& buffer, Point at, uint8_t opacity, const ExtentRect& rect)
{
    if (opacity == 0 || !buffer.IsValid())
        return false;
    return ForEachPieceFrom(buffer.Width, buffer.Height, at, rect, [&](const SPiece& p, Point s) {
        if (opacity == 255)
            return PutPiece<uint32_t>(p, [&](int32_t i) { return buffer.PixelPtr(s.x, s.y + i); });
        if (!CommitBlock(*p.block))
            return false;
        View(*p.block).BlendFrom(buffer, {p.lx, p.ly}, opacity, {s.x, s.y, p.w, p.h});
        return true;
    });
}

bool CBlockVMTC::CopyStore(const CBlockVMTC& other, Point at, const ExtentRect& rect)
{
    return CopyStoreOf(*this, other, at, rect);
}

// ---- region writes ----------------------------------------------------------------

void CBlockVMTC::FillAll(uint32_t value) { FillRect({0, 0, Width, Height}, value); }

bool CBlockVMTC::FillRect(const ExtentRect& rect, uint32_t value)
{
    return ForEachBlockInRect(rect, [&](const SPiece& p) { return FillPiece<uint32_t>(p, value); });
}

bool CBlockVMTC::SetMasked(const ExtentRect& rect, uint32_t mask, uint32_t value)
{
    const uint32_t keep = ~mask, set = value & mask;
    return ForEachBlockInRect(rect, [&](const SPiece& p) {
        return TransformPiece<uint32_t>(p, [=](uint32_t v) { return (v & keep) | set; });
    });
}

bool CBlockVMTC::SetAlpha(const ExtentRect& rect, uint8_t alpha)
{
    return SetMasked(rect, 0xFF000000u, uint32_t{alpha} << 24);
}

bool CBlockVMTC::FillColourOfMode(const ExtentRect& rect, uint32_t neutralColour)
{
    return SetMasked(rect, kColourBits, neutralColour);
}

bool CBlockVMTC::XorRect(const ExtentRect& rect, uint32_t value)
{
    return ForEachBlockInRect(rect, [&](const SPiece& p) {
        return TransformPiece<uint32_t>(p, [=](uint32_t v) { return v ^ value; });
    });
}

// ---- geometry -------------------------------------------------------------------

bool CBlockVMTC::FlipH(const ExtentRect& rect)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    const SMirrorJob job{{r.left, r.top, r.left + (r.right - r.left) / 2, r.bottom}, r.left + r.right, 0, true, false};
    return MirrorSwap<uint32_t>(&job, 1, r);
}

bool CBlockVMTC::FlipV(const ExtentRect& rect)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    const SMirrorJob job{{r.left, r.top, r.right, r.top + (r.bottom - r.top) / 2}, 0, r.top + r.bottom, false, true};
    return MirrorSwap<uint32_t>(&job, 1, r);
}

bool CBlockVMTC::Rotate180(const ExtentRect& rect)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    // The upper half swaps with the lower one; an odd middle row mirrors in itself.
    const int32_t middle = r.top + (r.bottom - r.top) / 2;
    const SMirrorJob jobs[2] = {
        {{r.left, r.top, r.right, middle}, r.left + r.right, r.top + r.bottom, true, true},
        {{r.left, middle, r.left + (r.right - r.left) / 2, middle + 1}, r.left + r.right, 0, true, false},
    };
    return MirrorSwap<uint32_t>(jobs, (r.bottom - r.top) % 2 ? 2 : 1, r);
}

bool CBlockVMTC::RotateInto90(TMTC& buffer, bool clockwise) const
{
    if (!IsValid() || !buffer.Resize(Height, Width))
        return false;
    return const_cast<CBlockVMTC*>(this)->ForEachBlockInRect({0, 0, Width, Height}, [&](const SPiece& p) {
        const ExtentRect t = Rotated({p.x, p.y, p.w, p.h}, Width, Height, clockwise);
        if (!p.block->Committed())
            buffer.FillRect(t, p.block->Uniform);
        else
            RotateRect(RowIn<uint32_t>(*p.block, p.lx, p.ly), BlockStride, p.w, p.h, buffer.PixelPtr(t.left, t.top),
                       buffer.RowStep(), clockwise);
        return true;
    });
}

bool CBlockVMTC::RotateIntoStore90(CBlockVMTC& other, Point at, bool clockwise) const
{
    if (&other == this || !IsValid())
        return false;
    const ExtentRect whole{at.x, at.y, Height, Width};
    const bool ok = other.ForEachBlockInRect(whole, [&](const SPiece& t) {
        const ExtentRect s = Unrotated({t.x - at.x, t.y - at.y, t.w, t.h}, Width, Height, clockwise);
        // The pieces of the target are cut where the source's blocks end too.
        return const_cast<CBlockVMTC*>(this)->ForEachBlockInRect(s, [&](const SPiece& p) {
            const ExtentRect r = Rotated({p.x, p.y, p.w, p.h}, Width, Height, clockwise);
            const SPiece q = other.MakePiece(r.left + at.x, r.top + at.y, r.width, r.height);
            if (!p.block->Committed())
                return other.FillPiece<uint32_t>(q, p.block->Uniform);
            if (!other.CommitBlock(*q.block))
                return false;
            RotateRect(RowIn<uint32_t>(*p.block, p.lx, p.ly), BlockStride, p.w, p.h,
                       other.RowIn<uint32_t>(*q.block, q.lx, q.ly), other.BlockStride, clockwise);
            return true;
        });
    });
    other.CompactRect(ToEdge(whole));
    return ok;
}

void CBlockVMTC::SumBox(int32_t y0, int32_t rows, int32_t x0, int32_t x1, uint64_t sums[4]) const
{
    ByteSums total(sums);
    const int32_t inside = std::min(x1, Width);
    // Rows y ... y + h - 1 of one band of blocks. An uncommitted block adds its
    // Uniform once per sample; where a committed block's whole width is
    // summed, its rows are one run.
    auto addBand = [&](int32_t y, int32_t h) {
        for (int32_t x = x0; x < inside;) {
            const SBlock& b = Blocks[int64_t(y >> BlockShift) * BlocksX + (x >> BlockShift)];
            const int32_t end = std::min(inside, (x | BlockMask) + 1);
            if (!b.Committed())
                total.AddRepeated(b.Uniform, uint64_t(end - x) * uint64_t(h));
            else if (end - x == BlockWidth)
                total.Add(RowIn<uint32_t>(b, 0, y & BlockMask), h * BlockWidth);
            else
                for (int32_t j = 0; j < h; ++j)
                    total.Add(RowIn<uint32_t>(b, x & BlockMask, (y & BlockMask) + j), end - x);
            x = end;
        }
        if (x1 > inside)
            for (int32_t j = 0; j < h; ++j)
                total.AddRepeated(ClampedPixel(Width - 1, y + j), uint64_t(x1 - std::max(x0, inside)));
    };
    // Rows outside the store repeat its nearest one.
    for (int32_t j = y0; j < std::min(0, y0 + rows); ++j)
        addBand(0, 1);
    const int32_t last = std::min(y0 + rows, Height);
    for (int32_t y = std::max(y0, 0); y < last;) {
        const int32_t end = std::min(last, (y | BlockMask) + 1);
        addBand(y, end - y);
        y = end;
    }
    for (int32_t j = std::max(y0, Height); j < y0 + rows; ++j)
        addBand(Height - 1, 1);
}

CBlockVMTC::SShrinkBoxes CBlockVMTC::ShrinkBoxes(int32_t targetW, int32_t targetH) const
{
    targetW = std::max(targetW, 1);
    targetH = std::max(targetH, 1);
    return {int64_t(Width) * 1024 / targetW, int64_t(Height) * 1024 / targetH, Width / targetW + 1,
            Height / targetH + 1};
}

bool CBlockVMTC::ShrinkInto(TMTC& target, const ExtentRect& region) const
{
    if (!IsValid())
        return false;
    const SShrinkBoxes boxes = ShrinkBoxes(target.Width, target.Height);
    return ForEachRowSpan(target, region, [&](uint32_t* row, int32_t n, int32_t x0, int32_t y) {
        const int32_t sy = int32_t((boxes.stepY * y) >> 10);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t sx = int32_t((boxes.stepX * (x0 + i)) >> 10);
            uint64_t sums[4] = {0, 0, 0, 0};
            SumBox(sy, boxes.boxH, sx, sx + boxes.boxW, sums);
            row[i] = AverageBytes(sums, uint64_t(boxes.boxW) * boxes.boxH);
        }
    });
}

CShrinkGather::CShrinkGather(const CBlockVMTC& store, int32_t targetW, int32_t targetH)
    : store_(store), targetW_(targetW), targetH_(targetH)
{
    // Four sums per pixel of a thumbnail-sized target; larger ones shrink after.
    constexpr int64_t kMaxTargetPixels = 512 * 512;
    if (!store.IsValid() || targetW <= 0 || targetH <= 0 || int64_t(targetW) * targetH > kMaxTargetPixels)
        return;
    const CBlockVMTC::SShrinkBoxes boxes = store.ShrinkBoxes(targetW, targetH);
    count_ = uint64_t(boxes.boxW) * uint64_t(boxes.boxH);
    columns_ = Spans(store.Width, targetW, boxes.stepX, boxes.boxW, store.BlockShift, store.BlocksX);
    rows_ = Spans(store.Height, targetH, boxes.stepY, boxes.boxH, store.BlockShift, store.BlocksY);
    sums_.assign(size_t(targetW) * size_t(targetH) * 4, 0);
}

CShrinkGather::SpanLists CShrinkGather::Spans(int32_t size, int32_t targets, int64_t step, int32_t box,
                                              int32_t blockShift, int32_t blocks)
{
    SpanLists lists(static_cast<size_t>(blocks));
    const int32_t side = 1 << blockShift, last = size - 1;
    for (int32_t t = 0; t < targets; ++t) {
        const int64_t start = (step * t) >> 10, end = start + box;
        for (int64_t v = start; v < std::min<int64_t>(end, size);) {
            const int32_t block = int32_t(v >> blockShift), base = block << blockShift;
            const int32_t to = int32_t(std::min<int64_t>({end, size, base + side}));
            lists[size_t(block)].push_back({t, int32_t(v) - base, to - base});
            v = to;
        }
        // Samples beyond the store read its last pixel, as SumBox clamps them.
        const int32_t lastBase = (last >> blockShift) << blockShift;
        for (int64_t v = std::max<int64_t>(start, size); v < end; ++v)
            lists[size_t(last >> blockShift)].push_back({t, last - lastBase, last - lastBase + 1});
    }
    return lists;
}

namespace {
// Part of a block narrower than it (mostly the one column two boxes share):
// its rows packed into one run, which sums faster than a call per row.
void AddNarrow(const CBlockVMTC& store, const SBlock& b, int32_t x, int32_t y, int32_t w, int32_t h, ByteSums& total)
{
    uint32_t packed[32 * 32];
    if (int64_t(w) * h > int64_t(std::size(packed))) {
        for (int32_t i = 0; i < h; ++i)
            total.Add(store.RowIn<uint32_t>(b, x, y + i), w);
        return;
    }
    if (w == 1) // a loop of its own, not one copy call per pixel
        for (int32_t i = 0; i < h; ++i)
            packed[i] = *store.RowIn<uint32_t>(b, x, y + i);
    else
        for (int32_t i = 0; i < h; ++i)
            std::copy_n(store.RowIn<uint32_t>(b, x, y + i), w, packed + i * w);
    total.Add(packed, w * h);
}
} // namespace

void CShrinkGather::Add(const SBlock& b)
{
    if (!IsValid())
        return;
    for (const SSpan& r : rows_[b.BlockY])
        for (const SSpan& c : columns_[b.BlockX]) {
            ByteSums total(&sums_[(size_t(r.box) * size_t(targetW_) + size_t(c.box)) * 4]);
            const int32_t w = c.to - c.from, h = r.to - r.from;
            if (!b.Committed())
                total.AddRepeated(b.Uniform, uint64_t(w) * uint64_t(h));
            else if (w == store_.BlockWidth)
                total.Add(store_.RowIn<uint32_t>(b, 0, r.from), h * w);
            else
                AddNarrow(store_, b, c.from, r.from, w, h, total);
        }
}

bool CShrinkGather::Finish(TMTC& target) const
{
    if (!IsValid() || !target.IsValid() || target.Width != targetW_ || target.Height != targetH_)
        return false;
    for (int32_t y = 0; y < targetH_; ++y)
        for (int32_t x = 0; x < targetW_; ++x)
            target.Row(y)[x] = AverageBytes(&sums_[(size_t(y) * size_t(targetW_) + size_t(x)) * 4], count_);
    return true;
}

int32_t CBlockVMTC::ShrinkRowsWithin(int32_t targetH, int32_t storeRows) const
{
    const SShrinkBoxes boxes = ShrinkBoxes(1, targetH);
    // The last row a box reads is clamped into the store, as SumRow clamps it.
    int32_t ready = 0;
    while (ready < targetH &&
           std::min<int64_t>(((boxes.stepY * ready) >> 10) + boxes.boxH - 1, Height - 1) < storeRows)
        ++ready;
    return ready;
}

bool CBlockVMTC::ScaleInto(CBlockVMTC& other) const
{
    if (&other == this || !IsValid() || !other.IsValid())
        return false;
    const int64_t stepX = int64_t(Width) * 1024 / other.Width, stepY = int64_t(Height) * 1024 / other.Height;
    uint32_t tile[32 * 32];
    const bool ok = other.ForEachBlockInRect({0, 0, other.Width, other.Height}, [&](const SPiece& p) {
        for (int32_t y = 0; y < p.h; ++y)
            for (int32_t x = 0; x < p.w; ++x) {
                uint64_t sums[4] = {0, 0, 0, 0};
                for (int32_t i = 0; i < 4; ++i) {
                    const int32_t sy = int32_t((stepY * (p.y + y) + (stepY / 4) * i) >> 10);
                    for (int32_t j = 0; j < 4; ++j) {
                        const uint32_t v = ClampedPixel(int32_t((stepX * (p.x + x) + (stepX / 4) * j) >> 10), sy);
                        for (int k = 0; k < 4; ++k)
                            sums[k] += (v >> (8 * k)) & 0xFF;
                    }
                }
                tile[y * 32 + x] = AverageBytes(sums, 16);
            }
        return other.PutPiece<uint32_t>(p, [&](int32_t i) { return tile + i * 32; });
    });
    other.Compact();
    return ok;
}

// ---- alpha plane ----------------------------------------------------------------

bool CBlockVMTC::AlphaToChannel(TChannel& channel, const ExtentRect& rect) const
{
    if (!channel.IsValid())
        return false;
    return ForEachPieceTo(channel.Width, channel.Height, {rect.left, rect.top}, rect, [&](const SPiece& p, Point d) {
        ReadAlpha(p, [&](int32_t i) { return channel.PixelPtr(d.x, d.y + i); });
        return true;
    });
}

bool CBlockVMTC::ChannelToAlpha(const TChannel& channel, const ExtentRect& rect)
{
    if (!channel.IsValid())
        return false;
    const bool ok = ForEachPieceFrom(channel.Width, channel.Height, {rect.left, rect.top}, rect,
                                     [&](const SPiece& p, Point s) {
                                         return WriteAlpha(p, [&](int32_t i) { return channel.PixelPtr(s.x, s.y + i); });
                                     });
    CompactRect(ToEdge(rect));
    return ok;
}

bool CBlockVMTC::SwapAlphaWithChannel(TChannel& channel)
{
    if (!channel.IsValid())
        return false;
    const ExtentRect whole{0, 0, Width, Height};
    const bool ok = ForEachPieceFrom(channel.Width, channel.Height, {0, 0}, whole, [&](const SPiece& p, Point s) {
        // The store's alpha is saved first: if its block cannot get memory,
        // neither side of this piece has changed.
        uint8_t saved[32 * 32];
        ReadAlpha(p, [&](int32_t i) { return saved + i * 32; });
        if (!WriteAlpha(p, [&](int32_t i) { return channel.PixelPtr(s.x, s.y + i); }))
            return false;
        for (int32_t i = 0; i < p.h; ++i)
            std::memcpy(channel.PixelPtr(s.x, s.y + i), saved + i * 32, size_t(p.w));
        return true;
    });
    Compact();
    return ok;
}

} // namespace morvane

// ---- compositing (layers) ------------------------------------------------------------

namespace morvane {

namespace {
void ScaleAlphaRow(uint32_t* row, int32_t n, uint8_t alphaOpacity)
{
    if (alphaOpacity == 255)
        return;
    for (int32_t i = 0; i < n; ++i)
        row[i] = (row[i] & kColourBits) | (uint32_t{MulTable[alphaOpacity][row[i] >> 24]} << 24);
}

// Runs the row kernels of fn, through its filter when it has one; fn is held
// by value so that the walks need not reload it after every kernel call.
struct FilteredRows {
    SCompositeRows fn;
    uint8_t opacity;

    void Rows(uint32_t* dst, const uint32_t* src, int32_t n, int32_t x, int32_t y) const
    {
        if (!fn.filter)
            return fn.rows(dst, src, n, opacity);
        uint32_t copy[32];
        std::memcpy(copy, src, size_t(n) * 4);
        fn.filter(fn.context, copy, n, x, y);
        fn.rows(dst, copy, n, opacity);
    }
    void Colour(uint32_t* dst, uint32_t colour, int32_t n, int32_t x, int32_t y) const
    {
        if (!fn.filter)
            return fn.colour(dst, colour, n, opacity);
        uint32_t copy[32];
        std::fill_n(copy, n, colour);
        fn.filter(fn.context, copy, n, x, y);
        fn.rows(dst, copy, n, opacity);
    }
    // The rows of piece p (for the filter's coordinates) from src onwards.
    void Piece(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride, const SPiece& p) const
    {
        if (fn.piece && !fn.filter)
            return fn.piece(dst, dstStride, src, srcStride, p.w, p.h, opacity);
        for (int32_t i = 0; i < p.h; ++i, dst += dstStride, src += srcStride)
            Rows(dst, src, p.w, p.x, p.y + i);
    }
    void ColourPiece(uint32_t* dst, ptrdiff_t dstStride, uint32_t colour, const SPiece& p) const
    {
        for (int32_t i = 0; i < p.h; ++i, dst += dstStride)
            Colour(dst, colour, p.w, p.x, p.y + i);
    }
};
} // namespace

bool CompositeBufferInto(const TMTC& source, TMTC& target, Point at, const ExtentRect& rect,
                         const SCompositeRows& fn, uint8_t opacity)
{
    if (!fn.rows || !fn.colour || opacity == 0 || !source.IsValid() || !target.IsValid())
        return false;
    // The part of rect inside the source that lands inside the target.
    EdgeRect from;
    const EdgeRect landing{rect.left - at.x, rect.top - at.y, rect.left - at.x + target.Width,
                           rect.top - at.y + target.Height};
    if (!Intersect(ToEdge(rect), {0, 0, source.Width, source.Height}, from) || !Intersect(from, landing, from))
        return true;
    const FilteredRows run{fn, opacity};
    // A filter works on at most one block row's width at a time.
    const int32_t chunk = fn.filter ? 32 : from.right - from.left;
    for (int32_t y = from.top; y < from.bottom; ++y) {
        uint32_t* dst = target.PixelPtr(at.x + from.left - rect.left, at.y + y - rect.top);
        for (int32_t x = from.left; x < from.right; x += chunk)
            run.Rows(dst + (x - from.left), source.PixelPtr(x, y), std::min(chunk, from.right - x), x, y);
    }
    return true;
}

template <typename RowOp, typename ColourOp>
bool CBlockVMTC::CompositePieces(CBlockVMTC& target, Point at, const ExtentRect& rect, uint8_t alphaOpacity,
                                 bool perPixel, RowOp rowOp, ColourOp colourOp) const
{
    return target.ForEachPieceBetween(*this, at, rect, [&](SPiece& t, const SPiece& s) {
        SBlock& tb = *t.block;
        const SBlock& sb = *s.block;
        const bool skip = !sb.Committed() && (sb.Uniform >> 24) == 0;
        if (skip && alphaOpacity == 255)
            return true;
        if (!sb.Committed() && !tb.Committed() && !perPixel) {
            // One colour onto one colour: the result is one colour too.
            uint32_t v = tb.Uniform;
            ScaleAlphaRow(&v, 1, alphaOpacity);
            if (!skip)
                colourOp(&v, sb.Uniform, 1, s.x, s.y);
            if (v == tb.Uniform)
                return true;
            if (t.whole) {
                tb.Uniform = v;
                return true;
            }
        }
        if (!tb.Committed() && !target.CommitBlock(tb))
            return false;
        for (int32_t i = 0; i < t.h; ++i) {
            uint32_t* d = target.RowIn<uint32_t>(tb, t.lx, t.ly + i);
            ScaleAlphaRow(d, t.w, alphaOpacity);
            if (skip)
                continue;
            if (sb.Committed())
                rowOp(d, RowIn<uint32_t>(sb, s.lx, s.ly + i), t.w, s.x, s.y + i);
            else
                colourOp(d, sb.Uniform, t.w, s.x, s.y + i);
        }
        return true;
    });
}

bool CBlockVMTC::CompositeOnto(CBlockVMTC& target, Point at, const ExtentRect& rect, const SCompositeRows& fn,
                               uint8_t opacity, uint8_t alphaOpacity) const
{
    if (!fn.rows || !fn.colour || (opacity == 0 && alphaOpacity == 255))
        return false;
    const FilteredRows run{fn, opacity};
    return CompositePieces(
        target, at, rect, alphaOpacity, fn.filter != nullptr,
        [&](uint32_t* d, const uint32_t* s, int32_t n, int32_t x, int32_t y) { run.Rows(d, s, n, x, y); },
        [&](uint32_t* d, uint32_t c, int32_t n, int32_t x, int32_t y) { run.Colour(d, c, n, x, y); });
}

bool CBlockVMTC::CompositeOverOnto(CBlockVMTC& target, Point at, const ExtentRect& rect, const OverMode& mode,
                                   uint8_t opacity, uint8_t alphaOpacity) const
{
    if (opacity == 0 && alphaOpacity == 255)
        return false;
    return CompositePieces(
        target, at, rect, alphaOpacity, false,
        [&](uint32_t* d, const uint32_t* s, int32_t n, int32_t, int32_t) {
            for (int32_t i = 0; i < n; ++i)
                OverPixel(d + i, s[i], opacity, mode);
        },
        [&](uint32_t* d, uint32_t c, int32_t n, int32_t, int32_t) {
            for (int32_t i = 0; i < n; ++i)
                OverPixel(d + i, c, opacity, mode);
        });
}

bool CBlockVMTC::CompositeInto(TMTC& buffer, Point at, const ExtentRect& rect, const SCompositeRows& fn,
                               uint8_t opacity, bool skipTransparent) const
{
    if (!fn.rows || !fn.colour || opacity == 0 || !buffer.IsValid())
        return false;
    const FilteredRows run{fn, opacity};
    return ForEachPieceTo(buffer.Width, buffer.Height, at, rect, [&](const SPiece& p, Point d) {
        const SBlock& b = *p.block;
        if (!b.Committed() && skipTransparent && (b.Uniform >> 24) == 0)
            return true;
        uint32_t* row = buffer.PixelPtr(d.x, d.y);
        const ptrdiff_t stride = p.h > 1 ? buffer.PixelPtr(d.x, d.y + 1) - row : 0;
        if (b.Committed())
            run.Piece(row, stride, RowIn<uint32_t>(b, p.lx, p.ly), BlockWidth, p);
        else
            run.ColourPiece(row, stride, b.Uniform, p);
        return true;
    });
}

} // namespace morvane
