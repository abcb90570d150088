// Resampling of 32-bit buffers: nearest stretch, the two box shrinks and the
// rotated sampler of the view.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"
#include "storage/PixelWalk.h"
#include "storage/TMTC.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvane {

namespace {

bool HasPixels(const TMTC& b) { return b.IsValid() && b.Width > 0 && b.Height > 0; }

// Runs f on the source, or on a private copy of it when it is the target
// itself, so that written pixels are never read back as samples.
template <typename F>
bool WithDistinctSource(const TMTC& source, const TMTC& target, F&& f)
{
    if (&source != &target)
        return f(source);
    try {
        TMTC copy(source);
        return copy.IsValid() && f(copy);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

uint32_t PackBytes(const uint32_t bytes[4])
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24;
}

// ---- ShrinkBox4 ------------------------------------------------------------

// The four sample positions of each target index along one axis, in 1024ths:
// ((step * k + (step / 4) * j) >> 10, clamped into the source.
std::vector<int32_t> Box4Samples(int32_t sourceSize, int32_t targetSize)
{
    const int64_t step = int64_t{sourceSize} * 1024 / targetSize;
    std::vector<int32_t> at(size_t(targetSize) * 4);
    for (int32_t k = 0; k < targetSize; ++k)
        for (int32_t j = 0; j < 4; ++j)
            at[size_t(k) * 4 + j] = int32_t(std::min<int64_t>((step * k + step / 4 * j) >> 10, sourceSize - 1));
    return at;
}

// ---- ShrinkArea ------------------------------------------------------------

// One axis of the box shrink: box k starts at (step * k) >> 10 and spans
// `box` source pixels (clamped into the source).
struct AreaAxis {
    AreaAxis(int32_t sourceSize, int32_t targetSize)
        : size(sourceSize), step(int64_t{sourceSize} * 1024 / targetSize), box(sourceSize / targetSize + 1)
    {
    }
    int64_t Start(int32_t k) const { return (step * k) >> 10; }

    int64_t size, step, box;
};

// n / d for n <= 255 * d and d <= 2^23 as a multiply and a shift:
// with m = 2^55 / d + 1 the error n * (m - 2^55 / d) / 2^55 stays below
// n * d / 2^55 < 1 / d, too small to reach the next multiple of d; n * m < 2^63.
struct ExactDivider {
    static constexpr uint64_t kMaxDivisor = uint64_t{1} << 23;
    explicit ExactDivider(uint64_t d) : m((uint64_t{1} << 55) / d + 1) {}
    uint32_t operator()(uint32_t n) const { return uint32_t((n * m) >> 55); }
    uint64_t m;
};

// Boxes too large for the exact divider are few and small in number of
// targets, so plain division costs nothing there.
struct PlainDivider {
    explicit PlainDivider(uint64_t d) : d(d) {}
    uint32_t operator()(uint64_t n) const { return uint32_t(n / d); }
    uint64_t d;
};

// sums[k] = sum of rows[r][k] over the rows, for k < n bytes.
template <typename Sum>
void SumColumns(Sum* sums, const uint8_t* const* rows, int64_t rowCount, size_t n)
{
    std::fill_n(sums, n, Sum{0});
    for (int64_t r = 0; r < rowCount; ++r)
        for (size_t k = 0; k < n; ++k)
            sums[k] += rows[r][k];
}

#if defined(__SSE2__)
// The same sums 16 bytes at a time: 16-bit lanes stay in registers across up
// to 257 rows (257 * 255 fits), then widen into the 32-bit sums.
template <>
void SumColumns<uint32_t>(uint32_t* sums, const uint8_t* const* rows, int64_t rowCount, size_t n)
{
    const __m128i zero = _mm_setzero_si128();
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        __m128i s[4] = {zero, zero, zero, zero};
        for (int64_t r0 = 0; r0 < rowCount; r0 += 257) {
            const int64_t r1 = std::min<int64_t>(rowCount, r0 + 257);
            __m128i lo = zero, hi = zero;
            for (int64_t r = r0; r < r1; ++r) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + k));
                lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
                hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
            }
            s[0] = _mm_add_epi32(s[0], _mm_unpacklo_epi16(lo, zero));
            s[1] = _mm_add_epi32(s[1], _mm_unpackhi_epi16(lo, zero));
            s[2] = _mm_add_epi32(s[2], _mm_unpacklo_epi16(hi, zero));
            s[3] = _mm_add_epi32(s[3], _mm_unpackhi_epi16(hi, zero));
        }
        for (int i = 0; i < 4; ++i)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + k + 4 * i), s[i]);
    }
    for (; k < n; ++k) {
        uint32_t s = 0;
        for (int64_t r = 0; r < rowCount; ++r)
            s += rows[r][k];
        sums[k] = s;
    }
}
#endif

// Column sums over a target row's box rows are made once for every distinct
// box start row; each target pixel then adds the sums of its box columns. A
// box reaches past the source by at most one row or column, which is counted
// again as the last one. Every row is read before its target row is written,
// so a buffer may shrink into itself.
template <typename Sum, typename Divide>
void ShrinkAreaRows(const TMTC& source, TMTC& target, const EdgeRect& r, const AreaAxis& ax,
                    const AreaAxis& ay, Divide divide)
{
    const int64_t c0 = ax.Start(r.left);
    const int64_t c1 = std::min(ax.Start(r.right - 1) + ax.box, ax.size);
    const size_t bytes = size_t(c1 - c0) * 4;
    std::vector<Sum> sums(bytes);
    std::vector<const uint8_t*> rows(size_t(ay.box));
    // Only boxes that reach the source's last column can run past it.
    const Sum* lastColumn = c1 == ax.size ? sums.data() + (ax.size - 1 - c0) * 4 : nullptr;
    int64_t sumsRow = -1;

    for (int32_t y = r.top; y < r.bottom; ++y) {
        const int64_t y0 = ay.Start(y);
        if (y0 != sumsRow) {
            for (int64_t i = 0; i < ay.box; ++i)
                rows[size_t(i)] = source.RowPtr(int32_t(std::min(y0 + i, ay.size - 1))) + c0 * 4;
            SumColumns(sums.data(), rows.data(), ay.box, bytes);
            sumsRow = y0;
        }
        uint32_t* out = target.PixelPtr(r.left, y);
        for (int32_t x = r.left; x < r.right; ++x) {
            const int64_t x0 = ax.Start(x);
            const int64_t inside = std::min(x0 + ax.box, ax.size);
            Sum acc[4] = {0, 0, 0, 0};
            for (const Sum* s = sums.data() + (x0 - c0) * 4; s < sums.data() + (inside - c0) * 4; s += 4)
                for (int k = 0; k < 4; ++k)
                    acc[k] += s[k];
            if (const Sum beyond = Sum(x0 + ax.box - inside))
                for (int k = 0; k < 4; ++k)
                    acc[k] += beyond * lastColumn[k];
            uint32_t q[4];
            for (int k = 0; k < 4; ++k)
                q[k] = divide(acc[k]);
            *out++ = PackBytes(q);
        }
    }
}

// ---- RotateSample ------------------------------------------------------------

// Positions are 16.16 in 64 bits. Starts within 2^61 and steps within 2^31
// keep a walk of up to 2^31 pixels inside the range; a factor of 2^15 source
// pixels per target pixel already leaves any source after one step.
constexpr int64_t kMaxStart = int64_t{1} << 61;
constexpr float kMaxFactor = 32768.0f;

int64_t ToFixed(float v)
{
    return std::clamp(roundSat<int64_t>(double(v) * 65536.0), -kMaxStart, kMaxStart);
}

} // namespace

bool TMTC::StretchNearest(const TMTC& source, const ExtentRect& sourceRect, const ExtentRect& targetRect)
{
    EdgeRect s, t;
    if (!IsValid() || !source.IsValid() || !ClipToBuffer(sourceRect, source.Width, source.Height, s) ||
        !ClipToBuffer(targetRect, Width, Height, t))
        return false;
    const int32_t dw = t.right - t.left, dh = t.bottom - t.top;
    const int64_t stepX = (int64_t{s.right - s.left} << 16) / dw;
    const int64_t stepY = (int64_t{s.bottom - s.top} << 16) / dh;
    // Truncated steps keep the last target row inside the source, so every
    // target row is written from a source row.
    return WithDistinctSource(source, *this, [&](const TMTC& src) {
        int64_t lastRow = -1;
        for (int32_t j = 0; j < dh; ++j) {
            const int64_t sy = s.top + ((j * stepY) >> 16);
            uint32_t* d = PixelPtr(t.left, t.top + j);
            if (sy == lastRow) {
                std::memcpy(d, PixelPtr(t.left, t.top + j - 1), size_t(dw) * 4);
                continue;
            }
            const uint32_t* sr = src.PixelPtr(s.left, int32_t(sy));
            int64_t sx = 0;
            for (int32_t i = 0; i < dw; ++i, sx += stepX)
                d[i] = sr[sx >> 16];
            lastRow = sy;
        }
        return true;
    });
}

bool TMTC::ShrinkBox4(const TMTC& source)
{
    if (!HasPixels(*this) || !HasPixels(source))
        return false;
    try {
        const std::vector<int32_t> cols = Box4Samples(source.Width, Width);
        const std::vector<int32_t> rows = Box4Samples(source.Height, Height);
        for (int32_t y = 0; y < Height; ++y) {
            const uint32_t* r[4];
            for (int i = 0; i < 4; ++i)
                r[i] = source.Row(rows[size_t(y) * 4 + i]);
            uint32_t* out = Row(y);
            for (int32_t x = 0; x < Width; ++x) {
                uint32_t sum[4] = {0, 0, 0, 0};
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < 4; ++j)
                        for (int k = 0, p = r[i][cols[size_t(x) * 4 + j]]; k < 4; ++k, p >>= 8)
                            sum[k] += p & 0xFF;
                for (uint32_t& v : sum)
                    v >>= 4;
                out[x] = PackBytes(sum);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TMTC::ShrinkArea(TMTC& target, const ExtentRect& region) const
{
    EdgeRect r;
    if (!HasPixels(*this) || !HasPixels(target) || !ClipToBuffer(region, target.Width, target.Height, r))
        return false;
    const AreaAxis ax(Width, target.Width), ay(Height, target.Height);
    const uint64_t count = uint64_t(ax.box) * uint64_t(ay.box);
    try {
        if (count <= ExactDivider::kMaxDivisor)
            ShrinkAreaRows<uint32_t>(*this, target, r, ax, ay, ExactDivider(count));
        else
            ShrinkAreaRows<uint64_t>(*this, target, r, ax, ay, PlainDivider(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TMTC::RotateSample(const TMTC& source, float centreX, float centreY, float factor, float angleDegrees,
                        const ExtentRect& rect, uint32_t background)
{
    EdgeRect r;
    if (!IsValid() || !ClipToBuffer(rect, Width, Height, r))
        return false;
    if (!HasPixels(source) || !std::isfinite(centreX) || !std::isfinite(centreY) || !std::isfinite(factor) ||
        !std::isfinite(angleDegrees)) {
        FillRect(rect, background);
        return false;
    }
    const float f = std::clamp(factor, -kMaxFactor, kMaxFactor);
    const SinCos turn = SinCosDegrees(angleDegrees);
    const float c = float(turn.cosine) * f, s = float(turn.sine) * f;
    const int64_t stepX = ToFixed(c), stepY = ToFixed(s);
    const int32_t halfW = Width / 2, halfH = Height / 2;
    const int64_t srcW = source.Width, srcH = source.Height;

    return WithDistinctSource(source, *this, [&](const TMTC& src) {
        return ForEachRowSpan(*this, rect, [&](uint32_t* row, int32_t n, int32_t x, int32_t y) {
            const auto d = float(x - halfW), e = float(y - halfH);
            int64_t px = ToFixed(centreX + 0.5f + (c * d - s * e));
            int64_t py = ToFixed(centreY + 0.5f + (s * d + c * e));
            for (int32_t i = 0; i < n; ++i, px += stepX, py += stepY) {
                const int64_t sx = px >> 16, sy = py >> 16;
                row[i] = sx >= 0 && sx < srcW && sy >= 0 && sy < srcH ? src.GetPixel(int32_t(sx), int32_t(sy))
                                                                      : background;
            }
        });
    });
}

} // namespace morvane
