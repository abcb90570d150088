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

// Drawing input farther than this many pixels from a buffer is refused.
inline constexpr double kCoordinateReach = 1048576.0; // 2^20

// v is finite and within kCoordinateReach of 0 .. size.
inline bool CoordinateInReach(double v, int32_t size)
{
    return v >= -kCoordinateReach && v <= size + kCoordinateReach; // false for NaN
}

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

    // Outline display. Every non-zero byte becomes fillValue; every other byte
    // with a 4-neighbour in that region becomes edgeValue.
    void MarkEdgesFrom(uint8_t fillValue, uint8_t edgeValue);
    // MarkEdgesFrom(value, 42), then each such byte is raised by 42 for every
    // 4-neighbour in the region: 42 x (1 + neighbours), capped at 255.
    void MarkEdges(uint8_t value);

    // Disc and segment primitives. Nothing is drawn for r <= 0, for
    // non-finite input or for a centre or radius beyond 2^20 pixels of the
    // channel. Discs sample 5 x 5 points a pixel; for r <= 3 every pixel of
    // the bounding square is sampled.
    // The blend of StampDisc; nullptr chooses the default, the channel colour blend.
    void SetDiscBlend(DiscBlendFn fn) { discBlend_ = fn; }
    // Disc through the chosen disc blend, at opacity 0..1. Without
    // antialias every touched pixel gets the full opacity.
    void StampDisc(double cx, double cy, double r, uint8_t value, double opacity, bool antialias);
    // Antialiased disc whose value falls off towards the rim (channel blend).
    void StampDiscFalloff(double cx, double cy, double r, uint8_t value, double opacity);
    // Antialiased disc that only raises pixels (keep maximum).
    void StampDiscMax(double cx, double cy, double r, uint8_t value, double opacity);
    // One-pixel-wide horizontal segment on row y from x0 to x1 (keep maximum);
    // the end pixels get value x (covered 64ths) / 64.
    void SegmentH(double x0, double x1, int32_t y, uint8_t value);
    // One-pixel-wide vertical segment on column x from y0 to y1 (keep maximum).
    void SegmentV(int32_t x, double y0, double y1, uint8_t value);

    // Antialiased fill of the closed polygon, value 255, keep maximum. Fewer
    // than four points once closed and rid of consecutive repeats, or any
    // point non-finite or beyond 2^20 pixels of the channel, draws nothing.
    void FillPolygon(const PointF* points, int count);

private:
    DiscBlendFn discBlend_ = nullptr;
};

// The sub-sample geometry of the disc primitives (channel and 32-bit): each
// pixel is split into n x n samples at the scaled integer points
// (n * x + i, n * y + j), 0 <= i, j < n; centre and radius are scaled by n and
// rounded. A pixel whose four corners lie inside the circle is full, one whose
// corners all lie outside is skipped, the others count their samples.
class DiscSampler {
public:
    // False when nothing can be drawn: bad input, a radius too small for one
    // sample, or a bounding square wholly outside the buffer. countAll
    // samples every pixel of the square (small channel discs).
    bool Setup(double cx, double cy, double r, int32_t n, bool countAll, int32_t width, int32_t height);
    // write(pixel, count, x, y) for every pixel of the clipped square that
    // has count > 0 samples inside (Samples() for a full pixel); buffer is a
    // TChannel or a TMTC.
    template <typename Buffer, typename Write>
    void ForEachPixel(Buffer& buffer, Write&& write) const;
    int32_t Samples() const { return n_ * n_; }
    // max(0, 255 - d^2 * 255 / R^2), d the scaled distance of the pixel's
    // top-left corner and R the scaled radius.
    uint32_t Falloff(int32_t x, int32_t y) const
    {
        const int64_t dx = int64_t{n_} * x - cx_;
        const int64_t dy = int64_t{n_} * y - cy_;
        const int64_t f = 255 - (dx * dx + dy * dy) * 255 / r2_;
        return f > 0 ? static_cast<uint32_t>(f) : 0;
    }
    // round(opacity x 255), 0 for NaN.
    static uint32_t OpacityByte(double opacity);

private:
    static constexpr int32_t kRun = 256;
    // Sample counts of pixels x0 .. x0 + count - 1 of row y, count <= kRun.
    void RowCoverage(int32_t y, int32_t x0, int32_t count, uint8_t* out) const;

    int32_t n_ = 1;
    int64_t cx_ = 0, cy_ = 0, r2_ = 1;
    EdgeRect box_;
    bool countAll_ = false;
};

template <typename Buffer, typename Write>
void DiscSampler::ForEachPixel(Buffer& buffer, Write&& write) const
{
    uint8_t counts[kRun];
    for (int32_t y = box_.top; y < box_.bottom; ++y) {
        for (int32_t x0 = box_.left; x0 < box_.right; x0 += kRun) {
            const int32_t n = box_.right - x0 < kRun ? box_.right - x0 : kRun;
            RowCoverage(y, x0, n, counts);
            auto* pixel = buffer.PixelPtr(x0, y);
            for (int32_t i = 0; i < n; ++i)
                if (counts[i] != 0)
                    write(pixel + i, uint32_t{counts[i]}, x0 + i, y);
        }
    }
}

} // namespace morvane
