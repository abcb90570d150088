#include "storage/TMTC.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "storage/BlendTables.h"
#include "storage/PixelKernels.h"
#include "storage/PixelWalk.h"
#include "storage/TChannel.h"

namespace morvane {

namespace pixelfn {
void Store(uint32_t* pixel, uint32_t colour, int32_t) { *pixel = colour; }
void Blend(uint32_t* pixel, uint32_t colour, int32_t alpha) { BlendColour(*pixel, colour, uint32_t(alpha) & 0xFF); }
void BlendFast(uint32_t* pixel, uint32_t colour, int32_t alpha) { BlendColourFast(*pixel, colour, uint32_t(alpha) & 0xFF); }
void Xor(uint32_t* pixel, uint32_t colour, int32_t) { *pixel ^= colour; }
} // namespace pixelfn

// ---- life cycle -------------------------------------------------------------

TMTC::TMTC(int32_t width, int32_t height)
{
    Init();
    Resize(width, height);
}

TMTC::TMTC(const TMTC& other) : CDibCore()
{
    Init();
    if (other.IsValid() && Resize(other.Width, other.Height))
        CopyAll(other);
}

bool TMTC::ResizeLayout(int32_t width, int32_t height, bool topDown, const char* failureLine)
{
    // Same byte count: keep the block, its contents take the new shape.
    // Allocate refuses insane sizes; their byte count is never computed.
    const bool sane = SizeIsSane(width, height, 4);
    const int64_t bytes = sane ? 4 * int64_t(width) * height : 0;
    const bool reuse = sane && Bits != nullptr && bitsBytes_ == bytes;
    if (!Allocate(width, height, reuse ? -1 : bytes, failureLine))
        return false;
    FillRowOffsets(topDown);
    return true;
}

bool TMTC::Resize(int32_t width, int32_t height)
{
    if (IsValid() && width == Width && height == Height)
        return true;
    return ResizeLayout(width, height, true, "TMTC::Resize: caught an exception!\\n");
}

TTC::TTC(int32_t width, int32_t height) { Resize(width, height); }

TTC::TTC(const TTC& other) : TMTC()
{
    if (other.IsValid() && Resize(other.Width, other.Height))
        CopyAll(other);
}

bool TTC::Resize(int32_t width, int32_t height)
{
    if (IsValid() && width == Width && height == Height)
        return true;
    // A screen bitmap always has at least one pixel a side.
    if (width >= 0 && height >= 0) {
        width = std::max(width, 1);
        height = std::max(height, 1);
    }
    Release();
    return ResizeLayout(width, height, false, "TTC::Resize: caught an exception!\\n");
}

// ---- single pixels ------------------------------------------------------------

uint32_t TMTC::GetPixelClamped(int32_t x, int32_t y) const
{
    return GetPixel(std::clamp(x, 0, Width - 1), std::clamp(y, 0, Height - 1));
}

void TMTC::BlendPixel(int32_t x, int32_t y, uint8_t alpha, uint32_t colour)
{
    if (Contains(x, y))
        BlendColour(*PixelPtr(x, y), colour, alpha);
}

void TMTC::BlendPixelFast(int32_t x, int32_t y, uint8_t alpha, uint32_t colour)
{
    if (Contains(x, y))
        BlendColourFast(*PixelPtr(x, y), colour, alpha);
}

void TMTC::SumRGB(int32_t x, int32_t y, SumsRGB& sums) const
{
    uint32_t p = GetPixelClamped(x, y);
    sums.blue += p & 0xFF;
    sums.green += (p >> 8) & 0xFF;
    sums.red += (p >> 16) & 0xFF;
}

// ---- fills and bit operations -------------------------------------------------

void TMTC::FillAll(uint32_t pixel) { FillRect({0, 0, Width, Height}, pixel); }

void TMTC::FillAllColour(uint32_t systemColour) { FillAll(PixelFromSystemColour(systemColour)); }

bool TMTC::FillRect(const ExtentRect& rect, uint32_t pixel)
{
    return ForEachRowSpan(*this, rect, [pixel](uint32_t* row, int32_t n, int32_t, int32_t) {
        std::fill_n(row, n, pixel);
    });
}

bool TMTC::SetMasked(const ExtentRect& rect, uint32_t mask, uint32_t value)
{
    const uint32_t keep = ~mask, set = value & mask;
    return ForEachRowSpan(*this, rect, [keep, set](uint32_t* row, int32_t n, int32_t, int32_t) {
        for (int32_t i = 0; i < n; ++i)
            row[i] = (row[i] & keep) | set;
    });
}

bool TMTC::SetAlpha(const ExtentRect& rect, uint8_t alpha)
{
    return SetMasked(rect, 0xFF000000u, uint32_t{alpha} << 24);
}

void TMTC::SetAlphaAll(uint8_t alpha) { SetAlpha({0, 0, Width, Height}, alpha); }

void TMTC::OrAll(uint32_t value) { OrRect({0, 0, Width, Height}, value); }

bool TMTC::OrRect(const ExtentRect& rect, uint32_t value)
{
    return SetMasked(rect, value, value);
}

bool TMTC::XorRect(const ExtentRect& rect, uint32_t value)
{
    return ForEachRowSpan(*this, rect, [value](uint32_t* row, int32_t n, int32_t, int32_t) {
        for (int32_t i = 0; i < n; ++i)
            row[i] ^= value;
    });
}

bool TMTC::ApplyRect(const ExtentRect& rect, uint32_t colour, PixelFn fn, int32_t param)
{
    return ForEachRowSpan(*this, rect, [=](uint32_t* row, int32_t n, int32_t, int32_t) {
        for (int32_t i = 0; i < n; ++i)
            fn(row + i, colour, param);
    });
}

bool TMTC::BlendRect(const ExtentRect& rect, uint8_t alpha, uint32_t colour)
{
    if (alpha == 0 || alpha == 255)
        return ApplyRect(rect, colour, pixelfn::Blend, alpha);
    const auto row = kernels::Best().blendColourRow;
    return ForEachRowSpan(*this, rect, [=](uint32_t* p, int32_t n, int32_t, int32_t) { row(p, n, colour, alpha); });
}

// ---- copies and blends from other buffers ----------------------------------------

bool TMTC::CopyFrom(const TMTC& source, Point at, const ExtentRect& rect)
{
    return ForEachRowPair(*this, source, at, rect, [](uint32_t* d, const uint32_t* s, int32_t n) {
        std::memmove(d, s, size_t(n) * 4);
    });
}

bool TMTC::CopyAll(const TMTC& source)
{
    if (!IsValid() || !source.IsValid() || source.Width != Width || source.Height != Height)
        return false;
    // One block move when the rows lie alike in memory; row by row otherwise.
    if (source.IsTopDown() == IsTopDown()) {
        std::memmove(Bits, source.Bits, size_t(ByteSize()));
        return true;
    }
    return CopyFrom(source, {0, 0}, {0, 0, Width, Height});
}

bool TMTC::FromChannel(const TChannel& channel, Point at, const ExtentRect& rect)
{
    return ForEachRowPair(*this, channel, at, rect, [](uint32_t* d, const uint8_t* s, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            d[i] = s[i] ? (0xFF000000u | s[i] * 0x010101u) : 0;
    });
}

bool TMTC::BlendFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect)
{
    if (opacity == 255)
        return CopyFrom(source, at, rect);
    if (opacity == 0)
        return false;
    const auto row = kernels::Best().blendRow;
    return ForEachRowPair(*this, source, at, rect,
                          [=](uint32_t* d, const uint32_t* s, int32_t n) { row(d, s, n, opacity); });
}

namespace {
template <uint32_t (*Op)(uint32_t, uint32_t, uint32_t)>
bool WalkPixelOp(TMTC& target, const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect)
{
    return ForEachRowPair(target, source, at, rect, [opacity](uint32_t* d, const uint32_t* s, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            d[i] = Op(d[i], s[i], opacity);
    });
}
} // namespace

bool TMTC::MultiplyFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect)
{
    return WalkPixelOp<MultiplyPixel>(*this, source, at, opacity, rect);
}

bool TMTC::AddFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect)
{
    return WalkPixelOp<AddPixel>(*this, source, at, opacity, rect);
}

bool TMTC::SubtractFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect)
{
    return WalkPixelOp<SubtractPixel>(*this, source, at, opacity, rect);
}

// ---- layer-style compositing ----------------------------------------------------

namespace {
// The target's alpha scaled by alphaOpacity, before the step runs.
inline void ScaleAlpha(uint32_t& t, uint8_t alphaOpacity)
{
    t = (t & 0x00FFFFFFu) | (uint32_t{MulTable[alphaOpacity][t >> 24]} << 24);
}
} // namespace

bool TMTC::CompositeFrom(const TMTC& source, Point at, const ExtentRect& rect, CompositeFn fn,
                         uint8_t opacity, uint8_t alphaOpacity)
{
    if (opacity == 0)
        return false;
    return ForEachRowPair(*this, source, at, rect, [=](uint32_t* d, const uint32_t* s, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            ScaleAlpha(d[i], alphaOpacity);
            fn(d + i, s[i], opacity);
        }
    });
}

bool TMTC::CompositeColour(uint32_t colour, const ExtentRect& rect, CompositeFn fn, uint8_t opacity,
                           uint8_t alphaOpacity)
{
    if (opacity == 0)
        return false;
    return ForEachRowSpan(*this, rect, [=](uint32_t* d, int32_t n, int32_t, int32_t) {
        for (int32_t i = 0; i < n; ++i) {
            ScaleAlpha(d[i], alphaOpacity);
            fn(d + i, colour, opacity);
        }
    });
}

void OverPixel(uint32_t* t, uint32_t s, uint32_t o, const OverMode& mode)
{
    const uint32_t sa = MulDiv255(s >> 24, o);
    if ((mode.flags & OverMode::kSkipTransparent) && sa == 0)
        return;
    const uint32_t ta = *t >> 24;
    const uint32_t ra = ta + sa - MulDiv255(ta, sa);
    if (ra == 0) {
        *t &= 0x00FFFFFFu;
        return;
    }
    const uint32_t start = (mode.flags & OverMode::kStartFromSource) ? s : mode.baseColour;
    int32_t work[3] = {int32_t(start & 0xFF), int32_t((start >> 8) & 0xFF), int32_t((start >> 16) & 0xFF)};
    if (mode.dest)
        mode.dest(work, *t, ta);
    if (mode.source)
        mode.source(work, s, sa);
    uint32_t r = ra << 24;
    for (int k = 0; k < 3; ++k)
        r |= uint32_t(std::clamp<int64_t>(int64_t(work[k]) * 255 / int32_t(ra), 0, 255)) << (8 * k);
    *t = r;
}

bool TMTC::CompositeOver(const TMTC& source, Point at, const ExtentRect& rect, const OverMode& mode,
                         uint8_t opacity, uint8_t alphaOpacity)
{
    if (opacity == 0)
        return false;
    return ForEachRowPair(*this, source, at, rect, [&](uint32_t* d, const uint32_t* s, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            ScaleAlpha(d[i], alphaOpacity);
            OverPixel(d + i, s[i], opacity, mode);
        }
    });
}

// ---- flips ------------------------------------------------------------------------

bool TMTC::FlipVertical(const ExtentRect& rect)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    const size_t bytes = size_t(r.right - r.left) * 4;
    std::vector<uint32_t> scratch(size_t(r.right - r.left));
    const int32_t h = r.bottom - r.top;
    for (int32_t i = 0; i < h / 2; ++i) {
        uint32_t* a = PixelPtr(r.left, r.top + i);
        uint32_t* b = PixelPtr(r.left, r.bottom - 1 - i);
        std::memcpy(scratch.data(), a, bytes);
        std::memcpy(a, b, bytes);
        std::memcpy(b, scratch.data(), bytes);
    }
    return true;
}

bool TMTC::FlipHorizontal(const ExtentRect& rect)
{
    return ForEachRowSpan(*this, rect, [](uint32_t* row, int32_t n, int32_t, int32_t) { std::reverse(row, row + n); });
}

bool TMTC::Rotate180(const ExtentRect& rect)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    const int32_t h = r.bottom - r.top, w = r.right - r.left;
    for (int32_t i = 0; i < h / 2; ++i) {
        uint32_t* a = PixelPtr(r.left, r.top + i);
        uint32_t* b = PixelPtr(r.left, r.bottom - 1 - i);
        for (int32_t x = 0; x < w; ++x)
            std::swap(a[x], b[w - 1 - x]);
    }
    if (h % 2)
        std::reverse(PixelPtr(r.left, r.top + h / 2), PixelPtr(r.left, r.top + h / 2) + w);
    return true;
}

// ---- flattening over a background ------------------------------------------------

namespace {
inline void FlattenOver(uint32_t& pixel, uint32_t background)
{
    const uint32_t a = pixel >> 24;
    if (a == 255)
        return;
    BlendColour(background, pixel, a);
    pixel = background;
}
} // namespace

bool TMTC::OverChecker(const ExtentRect& rect, int32_t cellW, int32_t cellH, uint32_t colourA,
                       uint32_t colourB, Point origin)
{
    if (cellW <= 0 || cellH <= 0)
        return false;
    return ForEachRowSpan(*this, rect, [=](uint32_t* row, int32_t n, int32_t x0, int32_t y) {
        // Parity by "& 1": a negative cell sum must still count as odd or even.
        const int64_t cellRow = (int64_t(y) - origin.y) / cellH;
        for (int32_t i = 0; i < n; ++i) {
            const int64_t cell = cellRow + (int64_t(x0) + i - origin.x) / cellW;
            FlattenOver(row[i], (cell & 1) ? colourA : colourB);
        }
    });
}

bool TMTC::OverColour(const ExtentRect& rect, uint32_t colour)
{
    return ForEachRowSpan(*this, rect, [colour](uint32_t* row, int32_t n, int32_t, int32_t) {
        for (int32_t i = 0; i < n; ++i)
            FlattenOver(row[i], colour);
    });
}

} // namespace morvane
