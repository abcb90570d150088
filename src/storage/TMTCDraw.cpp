// Drawing on 32-bit buffers: lines, frames, checkerboards and discs.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "storage/BlendTables.h"
#include "storage/FixedPoint.h"
#include "storage/PixelWalk.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

// ---- lines --------------------------------------------------------------------

namespace {
// The first h in lo .. hi where pred holds, pred being false then true along
// the range; hi + 1 when it never holds.
template <typename Pred> int64_t FirstWhere(int64_t lo, int64_t hi, Pred pred)
{
    int64_t end = hi + 1;
    while (lo < end) {
        const int64_t mid = lo + (end - lo) / 2;
        if (pred(mid))
            end = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// Narrows [first, last] to the steps h of 0 .. n whose coordinate
// c0 + h * d / n lies in 0 .. limit - 1. The coordinate is monotone in h, so
// the steps inside form one range.
void ClipSteps(int64_t c0, int64_t d, int64_t n, int32_t limit, int64_t& first, int64_t& last)
{
    auto at = [=](int64_t h) { return c0 + h * d / n; };
    auto before = [=](int64_t h) { return d >= 0 ? at(h) < 0 : at(h) >= limit; };
    auto after = [=](int64_t h) { return d >= 0 ? at(h) >= limit : at(h) < 0; };
    first = std::max(first, FirstWhere(0, n, [&](int64_t h) { return !before(h); }));
    last = std::min(last, FirstWhere(0, n, after) - 1);
}

bool InReach(int64_t v, int32_t size)
{
    return CoordinateInReach(static_cast<double>(v), size);
}
} // namespace

void TMTC::DrawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PixelFn fn, uint32_t colour, int32_t p0,
                    int32_t p1)
{
    if (!IsValid() || fn == nullptr || !InReach(x0, Width) || !InReach(x1, Width) || !InReach(y0, Height) ||
        !InReach(y1, Height))
        return;
    const int64_t dx = int64_t{x1} - x0;
    const int64_t dy = int64_t{y1} - y0;
    const int64_t n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) {
        if (Contains(x0, y0))
            fn(PixelPtr(x0, y0), colour, p1);
        return;
    }
    int64_t first = 0, last = n;
    ClipSteps(x0, dx, n, Width, first, last);
    ClipSteps(y0, dy, n, Height, first, last);
    for (int64_t h = first; h <= last; ++h) {
        const auto x = static_cast<int32_t>(x0 + h * dx / n);
        const auto y = static_cast<int32_t>(y0 + h * dy / n);
        if (Contains(x, y))
            fn(PixelPtr(x, y), colour, static_cast<int32_t>(p0 + (int64_t{p1} - p0) * h / n));
    }
}

void TMTC::DrawLineAA(uint32_t colour, bool wide, double x0, double y0, double x1, double y1)
{
    if (!IsValid() || !CoordinateInReach(x0, Width) || !CoordinateInReach(x1, Width) ||
        !CoordinateInReach(y0, Height) || !CoordinateInReach(y1, Height))
        return;
    // Work in (major, minor) and step the major axis upwards.
    const bool xMajor = std::fabs(x1 - x0) >= std::fabs(y1 - y0);
    double a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
    double a1 = xMajor ? x1 : y1, b1 = xMajor ? y1 : x1;
    if (a0 > a1) {
        std::swap(a0, a1);
        std::swap(b0, b1);
    }
    const int32_t majorLimit = xMajor ? Width : Height;
    const int32_t minorLimit = xMajor ? Height : Width;
    auto plot = [&](int32_t a, int64_t b, uint32_t alpha) {
        if (b >= 0 && b < minorLimit)
            BlendColour(xMajor ? *PixelPtr(a, int32_t(b)) : *PixelPtr(int32_t(b), a), colour, alpha);
    };
    // 16.16 minor coordinate; |slope| < 1 pixel a step.
    const int64_t slope = truncSat<int64_t>((b1 - b0) / (a1 - a0 + 1) * 65536);
    const int32_t start = roundSat(a0);
    const int32_t from = std::max(start, 0);
    const int32_t to = std::min(roundSat(a1), majorLimit - 1);
    int64_t minor = truncSat<int64_t>(b0 * 65536) + (int64_t{from} - start) * slope;
    for (int32_t a = from; a <= to; ++a, minor += slope) {
        const int64_t b = minor >> 16;
        if (wide) {
            const auto f = static_cast<uint32_t>(minor >> 8) & 0xFF;
            plot(a, b, 255 - f);
            plot(a, b + 1, f);
        } else {
            plot(a, b, 255);
        }
    }
}

void TMTC::FrameRect(const ExtentRect& rect, PixelFn fn, uint32_t colour, int32_t param)
{
    if (!IsValid() || rect.width <= 0 || rect.height <= 0)
        return;
    const EdgeRect e = ToEdge(rect);
    const int64_t l = e.left, t = e.top, r = int64_t{e.right} - 1, b = int64_t{e.bottom} - 1;
    // The sides run along the axes, so ends clamped to one pixel beyond the
    // buffer keep every visible pixel of them.
    auto side = [&](int64_t xa, int64_t ya, int64_t xb, int64_t yb) {
        auto cx = [&](int64_t x) { return static_cast<int32_t>(std::clamp<int64_t>(x, -1, Width)); };
        auto cy = [&](int64_t y) { return static_cast<int32_t>(std::clamp<int64_t>(y, -1, Height)); };
        DrawLine(cx(xa), cy(ya), cx(xb), cy(yb), fn, colour, param, param);
    };
    if (l == r || t == b) {
        side(l, t, r, b);
        return;
    }
    side(l, t, r, t);     // top, with both of its corners
    side(r, t + 1, r, b); // right, down to the bottom-right corner
    side(r - 1, b, l, b); // bottom, to the bottom-left corner
    if (b - 1 >= t + 1)
        side(l, b - 1, l, t + 1); // left, between the corners
}

bool TMTC::FillChecker(const ExtentRect& rect, Point cell, uint32_t colourA, uint32_t colourB)
{
    if (cell.x <= 0 || cell.y <= 0)
        return false;
    // Cells count from the region's own corner; clipping only cuts them.
    return ForEachRowSpan(*this, rect, [&](uint32_t* row, int32_t n, int32_t x0, int32_t y) {
        const int64_t cellRow = (int64_t{y} - rect.top) / cell.y;
        const int64_t dx = int64_t{x0} - rect.left;
        int64_t cellColumn = dx / cell.x;
        int64_t offset = dx % cell.x;
        for (int32_t i = 0; i < n; ++cellColumn, offset = 0) {
            const auto run = static_cast<int32_t>(std::min<int64_t>(n - i, cell.x - offset));
            std::fill(row + i, row + i + run, ((cellRow + cellColumn) & 1) ? colourA : colourB);
            i += run;
        }
    });
}

// ---- discs ----------------------------------------------------------------------

namespace {
constexpr int32_t kSubPixels = 4;
constexpr int64_t kSamples = kSubPixels * kSubPixels;

void StampColourDisc(TMTC& m, double cx, double cy, double r, uint32_t colour, double opacity, bool antialias,
                     bool falloff)
{
    const uint32_t opacityByte = DiscSampler::OpacityByte(opacity);
    DiscSampler s;
    if (opacityByte == 0 || !m.IsValid() || !s.Setup(cx, cy, r, kSubPixels, false, m.Width, m.Height))
        return;
    s.ForEachPixel(m, [&](uint32_t* p, uint32_t count, int32_t x, int32_t y) {
        auto alpha = antialias ? static_cast<uint32_t>(int64_t{opacityByte} * count / kSamples) : opacityByte;
        if (falloff)
            alpha = (alpha * s.Falloff(x, y)) >> 8;
        BlendColour(*p, colour, alpha);
    });
}
} // namespace

void TMTC::StampDisc(double cx, double cy, double r, uint32_t colour, double opacity, bool antialias)
{
    StampColourDisc(*this, cx, cy, r, colour, opacity, antialias, false);
}

void TMTC::StampDiscFalloff(double cx, double cy, double r, uint32_t colour, double opacity, bool antialias)
{
    // A small disc has too few pixels to fade.
    StampColourDisc(*this, cx, cy, r, colour, opacity, antialias, r >= 3);
}

} // namespace morvane
