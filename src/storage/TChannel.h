#pragma once
// A one-byte-per-pixel buffer (masks, coverage, nib grids). Rows are stored
// bottom-up: row y starts at byte W * (H - 1 - y).
#include "storage/CDibCore.h"

namespace morvane {

// A per-byte operation: fn(own byte, value).
using ByteFn = void (*)(uint8_t* byte, uint8_t value);

namespace bytefn {
void Store(uint8_t* byte, uint8_t v);      // byte := v
void Maximum(uint8_t* byte, uint8_t v);    // byte := v when byte < v
void Multiply(uint8_t* byte, uint8_t v);   // byte := byte * v / 255 (0 when either is 0)
void FillIfEmpty(uint8_t* byte, uint8_t v); // byte := 255 when v is 0
} // namespace bytefn

// How the first disc primitive writes a pixel: fn(byte, value, alpha).
using DiscBlendFn = void (*)(uint8_t* byte, uint8_t value, uint8_t alpha);

struct PointF {
    double x = 0, y = 0;
};

class TChannel : public CDibCore {
public:
    TChannel() { Init(); }
    TChannel(int32_t width, int32_t height);
    explicit TChannel(Point size) : TChannel(size.x, size.y) {}
    TChannel(const TChannel& other);
    TChannel& operator=(const TChannel&) = delete;
    ~TChannel() override { Release(); }

    bool Resize(int32_t width, int32_t height) override;
    int64_t ByteSize() const override { return int64_t(Width) * Height; }
    int BytesPerPixel() const override { return 1; }
    int64_t RowStep() const override { return -int64_t(Width); }
    uint8_t* PixelPtr(int32_t x, int32_t y) { return Bits + RowOffsets[y] + x; }
    const uint8_t* PixelPtr(int32_t x, int32_t y) const { return Bits + RowOffsets[y] + x; }

    uint8_t GetValue(int32_t x, int32_t y) const { return *PixelPtr(x, y); }
    uint8_t GetValueClamped(int32_t x, int32_t y) const;
    void BlendValue(int32_t x, int32_t y, uint8_t value, uint8_t alpha);
    void BlendValueFast(int32_t x, int32_t y, uint8_t value, uint8_t alpha);

    void FillAll(uint8_t value);
    bool FillRect(const ExtentRect& rect, uint8_t value);
    bool XorRect(const ExtentRect& rect, uint8_t value);
    bool CopyTo(TChannel& target, Point at) const;
    bool CopyRect(TChannel& target, Point at, const ExtentRect& rect) const;
    bool ApplyRect(const ExtentRect& rect, uint8_t value, ByteFn fn);
    bool Combine(const TChannel& source, Point at, const ExtentRect& rect, ByteFn fn);
    // The smallest rectangle holding every non-zero byte; false when all are zero.
    bool BoundingBox(EdgeRect& out) const;

    // Outline display: see the drawing source for the exact rules.
    void MarkEdgesFrom(uint8_t fillValue, uint8_t edgeValue);
    void MarkEdges(uint8_t value);

    // Disc and segment primitives. Nothing is drawn for r <= 0 or non-finite input.
    void SetDiscBlend(DiscBlendFn fn) { discBlend_ = fn; }
    // Antialiased disc through the chosen disc blend, at opacity 0..1.
    void StampDisc(double cx, double cy, double r, uint8_t value, double opacity, bool antialias);
    // Disc with radial falloff towards the rim.
    void StampDiscFalloff(double cx, double cy, double r, uint8_t value, double opacity);
    // Disc that only raises pixels (keep maximum).
    void StampDiscMax(double cx, double cy, double r, uint8_t value, double opacity);
    // One-pixel-wide horizontal segment on row y from x0 to x1 (keep maximum).
    void SegmentH(double x0, double x1, int32_t y, uint8_t value);
    // One-pixel-wide vertical segment on column x from y0 to y1 (keep maximum).
    void SegmentV(int32_t x, double y0, double y1, uint8_t value);

    // Antialiased fill of the closed polygon, value 255, keep maximum.
    void FillPolygon(const PointF* points, int count);

private:
    DiscBlendFn discBlend_ = nullptr;
};

} // namespace morvane
