#include "storage/TChannel.h"

#include <algorithm>
#include <cstring>

#include "storage/BlendTables.h"

namespace morvane {

namespace bytefn {
void Store(uint8_t* byte, uint8_t v) { *byte = v; }
void Maximum(uint8_t* byte, uint8_t v)
{
    if (*byte < v)
        *byte = v;
}
void Multiply(uint8_t* byte, uint8_t v)
{
    *byte = (v == 0 || *byte == 0) ? 0 : static_cast<uint8_t>((uint32_t{v} * kDiv255Mul * *byte) >> 23);
}
void FillIfEmpty(uint8_t* byte, uint8_t v)
{
    if (v == 0)
        *byte = 255;
}
} // namespace bytefn

TChannel::TChannel(int32_t width, int32_t height)
{
    Init();
    Resize(width, height);
}

TChannel::TChannel(const TChannel& other) : CDibCore()
{
    Init();
    if (other.IsValid() && Resize(other.Width, other.Height))
        other.CopyTo(*this, {0, 0});
}

bool TChannel::Resize(int32_t width, int32_t height)
{
    Release();
    if (!Allocate(width, height, int64_t(width) * height,
                  "TChannel::Resize: caught an exception!\\n"))
        return false;
    FillRowOffsets(false);
    return true;
}

uint8_t TChannel::GetValueClamped(int32_t x, int32_t y) const
{
    return GetValue(std::clamp(x, 0, Width - 1), std::clamp(y, 0, Height - 1));
}

void TChannel::BlendValue(int32_t x, int32_t y, uint8_t value, uint8_t alpha)
{
    if (!Contains(x, y))
        return;
    uint8_t* p = PixelPtr(x, y);
    *p = static_cast<uint8_t>(Lerp255(value, *p, alpha));
}

void TChannel::BlendValueFast(int32_t x, int32_t y, uint8_t value, uint8_t alpha)
{
    if (!Contains(x, y) || alpha == 0)
        return;
    uint8_t* p = PixelPtr(x, y);
    *p = alpha == 255 ? value : DeltaBlendByte(*p, value, alpha);
}

void TChannel::FillAll(uint8_t value)
{
    if (IsValid())
        std::memset(Bits, value, static_cast<size_t>(ByteSize()));
}

bool TChannel::FillRect(const ExtentRect& rect, uint8_t value)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memset(PixelPtr(r.left, y), value, static_cast<size_t>(r.right - r.left));
    return true;
}

bool TChannel::ApplyRect(const ExtentRect& rect, uint8_t value, ByteFn fn)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* p = PixelPtr(r.left, y);
        for (int32_t x = r.left; x < r.right; ++x, ++p)
            fn(p, value);
    }
    return true;
}

bool TChannel::XorRect(const ExtentRect& rect, uint8_t value)
{
    return ApplyRect(rect, value, [](uint8_t* b, uint8_t v) { *b ^= v; });
}

bool TChannel::CopyTo(TChannel& target, Point at) const
{
    return CopyRect(target, at, {0, 0, Width, Height});
}

bool TChannel::CopyRect(TChannel& target, Point at, const ExtentRect& rect) const
{
    CopyRegion c;
    if (!IsValid() || !target.IsValid() || !ClipCopy(rect, at, Width, Height, target.Width, target.Height, c))
        return false;
    for (int32_t i = 0; i < c.height; ++i)
        std::memmove(target.PixelPtr(c.dstX, c.dstY + i), PixelPtr(c.srcX, c.srcY + i), size_t(c.width));
    return true;
}

bool TChannel::Combine(const TChannel& source, Point at, const ExtentRect& rect, ByteFn fn)
{
    CopyRegion c;
    if (!IsValid() || !source.IsValid() ||
        !ClipCopy(rect, at, source.Width, source.Height, Width, Height, c))
        return false;
    for (int32_t i = 0; i < c.height; ++i) {
        uint8_t* d = PixelPtr(c.dstX, c.dstY + i);
        const uint8_t* s = source.PixelPtr(c.srcX, c.srcY + i);
        for (int32_t x = 0; x < c.width; ++x)
            fn(d + x, s[x]);
    }
    return true;
}

bool TChannel::BoundingBox(EdgeRect& out) const
{
    if (!IsValid())
        return false;
    EdgeRect box{Width, Height, 0, 0};
    for (int32_t y = 0; y < Height; ++y) {
        const uint8_t* row = PixelPtr(0, y);
        const uint8_t* first = std::find_if(row, row + Width, [](uint8_t v) { return v != 0; });
        if (first == row + Width)
            continue;
        const uint8_t* last = row + Width;
        while (last[-1] == 0)
            --last;
        box.left = std::min<int32_t>(box.left, int32_t(first - row));
        box.right = std::max<int32_t>(box.right, int32_t(last - row));
        box.top = std::min(box.top, y);
        box.bottom = y + 1;
    }
    if (box.IsEmpty())
        return false;
    out = box;
    return true;
}

} // namespace morvane
