// Drawing on one-byte channels: discs, one-pixel segments, the polygon fill
// and the boundary marking of outline display; also the disc sampling that
// the 32-bit discs share.
#include <algorithm>
#include <cmath>
#include <vector>

#include "storage/BlendTables.h"
#include "storage/FixedPoint.h"
#include "storage/TChannel.h"

namespace morvane {

// ---- disc sampling -----------------------------------------------------------

bool DiscSampler::Setup(double cx, double cy, double r, int32_t n, bool countAll, int32_t width,
                        int32_t height)
{
    if (!(r > 0) || r > kCoordinateReach || !CoordinateInReach(cx, width) || !CoordinateInReach(cy, height) ||
        n < 1 || n > 15)
        return false;
    const int64_t scaledR = roundSat<int64_t>(r * n);
    if (scaledR <= 0)
        return false;
    n_ = n;
    countAll_ = countAll;
    cx_ = roundSat<int64_t>(cx * n);
    cy_ = roundSat<int64_t>(cy * n);
    r2_ = scaledR * scaledR;
    const EdgeRect square{roundSat(cx - r), roundSat(cy - r), roundSat(cx + r) + 1, roundSat(cy + r) + 1};
    return Intersect(square, {0, 0, width, height}, box_);
}

namespace {
// floor(sqrt(v)) exactly, -1 for negative v.
int64_t IntegerSqrt(int64_t v)
{
    if (v < 0)
        return -1;
    auto s = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
    while (s * s > v)
        --s;
    while ((s + 1) * (s + 1) <= v)
        ++s;
    return s;
}
} // namespace

void DiscSampler::RowCoverage(int32_t y, int32_t x0, int32_t count, uint8_t* out) const
{
    const int64_t n = n_;
    const int64_t top = n * y - cy_;
    const int64_t bottom = top + n;
    const int64_t dyNear = std::min(top * top, bottom * bottom);
    const int64_t dyFar = std::max(top * top, bottom * bottom);
    // Samples of sub-row j lie inside when |dx| <= half[j] (none for -1).
    int64_t half[15];
    for (int64_t j = 0; j < n; ++j)
        half[j] = IntegerSqrt(r2_ - (top + j) * (top + j) - 1);
    auto leftOf = [&](int32_t i) { return n * (int64_t{x0} + i) - cx_; };
    auto counted = [&](int32_t i) {
        const int64_t left = leftOf(i), right = left + n - 1;
        int64_t inside = 0;
        for (int64_t j = 0; j < n; ++j)
            inside += std::max<int64_t>(0, std::min(right, half[j]) - std::max(left, -half[j]) + 1);
        return static_cast<uint8_t>(inside);
    };
    if (countAll_) {
        for (int32_t i = 0; i < count; ++i)
            out[i] = counted(i);
        return;
    }
    // Corner distances fall and then rise along the row, so the pixels not
    // skipped form one run and the full ones one run inside it.
    auto corners = [&](int32_t i, bool nearest) {
        const int64_t l = leftOf(i), r = l + n;
        return nearest ? std::min(l * l, r * r) + dyNear : std::max(l * l, r * r) + dyFar;
    };
    int32_t lo = 0, hi = count;
    while (lo < hi && corners(lo, true) >= r2_)
        out[lo++] = 0;
    while (hi > lo && corners(hi - 1, true) >= r2_)
        out[--hi] = 0;
    while (lo < hi && corners(lo, false) >= r2_) {
        out[lo] = counted(lo);
        ++lo;
    }
    while (hi > lo && corners(hi - 1, false) >= r2_) {
        --hi;
        out[hi] = counted(hi);
    }
    std::fill(out + lo, out + hi, static_cast<uint8_t>(n * n));
}

namespace {
// NaN and values below 0 give 0, values above 1 give 1.
double ClampOpacity(double opacity)
{
    return opacity > 0 ? std::min(opacity, 1.0) : 0.0;
}
} // namespace

uint32_t DiscSampler::OpacityByte(double opacity)
{
    return roundSat<uint32_t>(ClampOpacity(opacity) * 255);
}

// ---- discs ---------------------------------------------------------------------

namespace {
constexpr int32_t kChannelSubPixels = 5;
constexpr uint32_t kChannelSamples = kChannelSubPixels * kChannelSubPixels;

void RaiseTo(uint8_t* byte, uint32_t value)
{
    if (*byte < value)
        *byte = static_cast<uint8_t>(value);
}

// Small discs would lose too much to the full/skip corner test, so every
// pixel of their square is sampled.
bool SetupChannelDisc(DiscSampler& s, const TChannel& c, double cx, double cy, double r)
{
    return c.IsValid() && s.Setup(cx, cy, r, kChannelSubPixels, r <= 3, c.Width, c.Height);
}
} // namespace

void TChannel::StampDisc(double cx, double cy, double r, uint8_t value, double opacity, bool antialias)
{
    const uint32_t opacityByte = DiscSampler::OpacityByte(opacity);
    DiscSampler s;
    if (opacityByte == 0 || !SetupChannelDisc(s, *this, cx, cy, r))
        return;
    auto stamp = [&](auto blend) {
        s.ForEachPixel(*this, [&](uint8_t* p, uint32_t count, int32_t, int32_t) {
            const uint32_t alpha = antialias ? opacityByte * count / kChannelSamples : opacityByte;
            if (alpha != 0)
                blend(p, value, static_cast<uint8_t>(alpha));
        });
    };
    if (discBlend_)
        stamp(discBlend_);
    else
        stamp([](uint8_t* p, uint8_t v, uint8_t a) { *p = static_cast<uint8_t>(Lerp255(v, *p, a)); });
}

void TChannel::StampDiscFalloff(double cx, double cy, double r, uint8_t value, double opacity)
{
    const uint32_t opacityByte = DiscSampler::OpacityByte(opacity);
    DiscSampler s;
    if (opacityByte == 0 || !SetupChannelDisc(s, *this, cx, cy, r))
        return;
    s.ForEachPixel(*this, [&](uint8_t* p, uint32_t count, int32_t x, int32_t y) {
        const uint32_t alpha = opacityByte * count / kChannelSamples;
        if (alpha != 0)
            *p = static_cast<uint8_t>(Lerp255((uint32_t{value} * s.Falloff(x, y)) >> 8, *p, alpha));
    });
}

void TChannel::StampDiscMax(double cx, double cy, double r, uint8_t value, double opacity)
{
    // Edge pixels get the inside value scaled by their coverage, so a disc of
    // any value stays darker at its rim than inside.
    const uint32_t inside = roundSat<uint32_t>(value * ClampOpacity(opacity));
    DiscSampler s;
    if (inside == 0 || !SetupChannelDisc(s, *this, cx, cy, r))
        return;
    s.ForEachPixel(*this, [&](uint8_t* p, uint32_t count, int32_t, int32_t) {
        RaiseTo(p, inside * count / kChannelSamples);
    });
}

// ---- one-pixel segments -----------------------------------------------------------

namespace {
// Raises pixels 0 .. limit - 1 of a line (pixelAt(i) is pixel i) to value x
// (64ths of the pixel inside [a, b)) / 64.
template <typename PixelAt>
void DrawSegment(double a, double b, int32_t limit, uint8_t value, PixelAt pixelAt)
{
    if (!CoordinateInReach(a, limit) || !CoordinateInReach(b, limit))
        return;
    if (a > b)
        std::swap(a, b);
    // Ends beyond the line change no count of a pixel on it.
    a = std::clamp(a, -2.0, limit + 2.0);
    b = std::clamp(b, -2.0, limit + 2.0);
    const int64_t from = roundSat<int64_t>(a * 64);
    const int64_t to = roundSat<int64_t>(b * 64);
    const int32_t first = std::max(roundSat(a - 1), 0);
    const int32_t last = std::min(roundSat(b + 1), limit - 1);
    for (int32_t i = first; i <= last; ++i) {
        const int64_t covered = std::min(to, int64_t{i} * 64 + 64) - std::max(from, int64_t{i} * 64);
        if (covered > 0)
            RaiseTo(pixelAt(i), (uint32_t{value} * uint32_t(covered)) >> 6);
    }
}
} // namespace

void TChannel::SegmentH(double x0, double x1, int32_t y, uint8_t value)
{
    if (IsValid() && y >= 0 && y < Height)
        DrawSegment(x0, x1, Width, value, [&](int32_t x) { return PixelPtr(x, y); });
}

void TChannel::SegmentV(int32_t x, double y0, double y1, uint8_t value)
{
    if (IsValid() && x >= 0 && x < Width)
        DrawSegment(y0, y1, Height, value, [&](int32_t y) { return PixelPtr(x, y); });
}

// ---- polygon fill -----------------------------------------------------------------
//
// Each pass cuts the polygon with scan lines: rows (u = y, crossings in
// v = x) or columns (u = x, crossings in v = y). A scan line is sampled at
// u, u + .25, .5 and .75, and each boundary contributes one crossing, the
// mean of its samples. A boundary that passes through the line at a corner
// is made of several edges; they share one monotone chain and so give one
// crossing, which keeps the pairing right for corners off the sample rows.

namespace {
struct ScanEdge {
    double ua = 0, va = 0; // start point in scan and crossing axes
    double lo = 0, hi = 0; // u range it crosses, its larger end lowered by 0.01
    double dvdu = 0;
    double slope = 0;    // |dv / du|
    bool adjust = false; // moves its crossing inwards by half the slope
    int32_t chain = 0;   // edges of one monotone run of the boundary
};

struct Crossing {
    double v;
    double slope;
    bool adjust;
    size_t edge; // ties keep edge order
};

struct ChainSum {
    double sum = 0;
    int32_t samples = 0;
    int32_t bestSamples = 0;
    size_t best = 0; // the edge with most samples speaks for the chain
};

// The edges of the closed point list for one pass, without those parallel to
// the scan lines (they are never crossed). Returns the number of chains.
int32_t BuildEdges(const std::vector<PointF>& pts, bool columns, std::vector<ScanEdge>& edges)
{
    auto u = [columns](const PointF& p) { return columns ? p.x : p.y; };
    auto v = [columns](const PointF& p) { return columns ? p.y : p.x; };
    const size_t count = pts.size() - 1;
    int dir = 0;
    for (size_t i = count; i-- > 0 && dir == 0;)
        dir = u(pts[i + 1]) > u(pts[i]) ? 1 : u(pts[i + 1]) < u(pts[i]) ? -1 : 0;
    int32_t chain = 0;
    for (size_t i = 0; i < count; ++i) {
        const double ua = u(pts[i]), ub = u(pts[i + 1]), va = v(pts[i]), vb = v(pts[i + 1]);
        if (ua == ub)
            continue;
        const int edgeDir = ub > ua ? 1 : -1;
        if (edgeDir != dir) {
            dir = edgeDir;
            ++chain;
        }
        ScanEdge e;
        e.ua = ua;
        e.va = va;
        e.lo = std::min(ua, ub);
        e.hi = std::max(ua, ub) - 0.01;
        e.dvdu = (vb - va) / (ub - ua);
        e.slope = std::fabs(e.dvdu);
        // Rows move edges at most 45 degrees off the row, columns those
        // strictly closer to the column than to the row.
        e.adjust =
            columns ? std::fabs(vb - va) > std::fabs(ub - ua) : std::fabs(vb - va) >= std::fabs(ub - ua);
        e.chain = chain;
        edges.push_back(e);
    }
    // The walk ends in the direction it began with: its last chain runs on
    // into the first.
    for (ScanEdge& e : edges)
        if (e.chain == chain)
            e.chain = 0;
    return chain + 1;
}

// One pass over scan lines first .. last; span(line, from, to) draws.
template <typename Span>
void ScanPass(const std::vector<ScanEdge>& edges, int32_t chains, int32_t first, int32_t last, int32_t limit,
              Span span)
{
    std::vector<size_t> byStart(edges.size());
    for (size_t i = 0; i < edges.size(); ++i)
        byStart[i] = i;
    std::sort(byStart.begin(), byStart.end(), [&](size_t a, size_t b) { return edges[a].lo < edges[b].lo; });
    std::vector<size_t> active;
    std::vector<ChainSum> sums(static_cast<size_t>(chains));
    std::vector<int32_t> touched;
    std::vector<Crossing> crossings;
    size_t next = 0;
    for (int32_t line = first; line <= last; ++line) {
        while (next < byStart.size() && edges[byStart[next]].lo <= line + 0.75)
            active.push_back(byStart[next++]);
        std::erase_if(active, [&](size_t i) { return edges[i].hi < line; });
        for (size_t i : active) {
            const ScanEdge& e = edges[i];
            double sum = 0;
            int32_t samples = 0;
            for (int k = 0; k < 4; ++k) {
                const double s = line + 0.25 * k;
                if (s >= e.lo && s <= e.hi) {
                    sum += e.va + (s - e.ua) * e.dvdu;
                    ++samples;
                }
            }
            if (samples == 0)
                continue;
            ChainSum& c = sums[static_cast<size_t>(e.chain)];
            if (c.samples == 0)
                touched.push_back(e.chain);
            c.sum += sum;
            c.samples += samples;
            if (samples > c.bestSamples || (samples == c.bestSamples && i < c.best)) {
                c.bestSamples = samples;
                c.best = i;
            }
        }
        crossings.clear();
        for (int32_t chain : touched) {
            ChainSum& c = sums[static_cast<size_t>(chain)];
            crossings.push_back({c.sum / c.samples, edges[c.best].slope, edges[c.best].adjust, c.best});
            c = ChainSum{};
        }
        touched.clear();
        std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) {
            return a.v < b.v || (a.v == b.v && a.edge < b.edge);
        });
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            const Crossing& a = crossings[i];
            const Crossing& b = crossings[i + 1];
            double from = std::max(a.v, 0.0);
            double to = std::min(b.v, double(limit));
            if (a.adjust)
                from += a.slope / 2;
            if (b.adjust)
                to -= b.slope / 2;
            if (to > from)
                span(line, from, to);
        }
    }
}

// The range of scan lines that can meet the points, clipped to the buffer.
bool LineRange(const std::vector<PointF>& pts, bool columns, int32_t lines, int32_t& first, int32_t& last)
{
    auto [lo, hi] = std::minmax_element(pts.begin(), pts.end(), [columns](const PointF& a, const PointF& b) {
        return columns ? a.x < b.x : a.y < b.y;
    });
    first = std::max(truncSat(columns ? lo->x : lo->y), 0);
    last = std::min(truncSat(columns ? hi->x : hi->y), lines - 1);
    return first <= last;
}
} // namespace

void TChannel::FillPolygon(const PointF* points, int count)
{
    if (!IsValid() || points == nullptr || count <= 0)
        return;
    for (int i = 0; i < count; ++i)
        if (!CoordinateInReach(points[i].x, Width) || !CoordinateInReach(points[i].y, Height))
            return;
    std::vector<PointF> pts;
    pts.reserve(static_cast<size_t>(count) + 1);
    for (int i = 0; i <= count; ++i) {
        const PointF& p = points[i % count];
        if (pts.empty() || p.x != pts.back().x || p.y != pts.back().y)
            pts.push_back(p);
    }
    if (pts.size() < 4)
        return;
    std::vector<ScanEdge> edges;
    edges.reserve(pts.size());
    for (const bool columns : {false, true}) {
        int32_t first = 0, last = 0;
        if (!LineRange(pts, columns, columns ? Width : Height, first, last))
            continue;
        edges.clear();
        const int32_t chains = BuildEdges(pts, columns, edges);
        if (columns)
            ScanPass(edges, chains, first, last, Height,
                     [this](int32_t x, double y0, double y1) { SegmentV(x, y0, y1, 255); });
        else
            ScanPass(edges, chains, first, last, Width,
                     [this](int32_t y, double x0, double x1) { SegmentH(x0, x1, y, 255); });
    }
}

// ---- boundary marking -------------------------------------------------------------

namespace {
// Along a line of n bytes `step` apart, calls mark(byte) on each byte other
// than `inside` once for every neighbour on the line that is `inside`: the
// first and last byte of every outside run, except at the line's ends.
// Membership is read before the byte is marked.
template <typename Mark> void MarkRunEnds(uint8_t* p, int64_t step, int32_t n, uint8_t inside, Mark mark)
{
    bool previousInside = false;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t* byte = p + i * step;
        const bool isInside = *byte == inside;
        if (!isInside) {
            const bool nextInside = i + 1 < n && byte[step] == inside;
            if (previousInside)
                mark(byte);
            if (nextInside)
                mark(byte);
        }
        previousInside = isInside;
    }
}

// Rows, then columns.
template <typename Mark> void MarkAllRunEnds(TChannel& c, uint8_t inside, Mark mark)
{
    if (c.Width <= 0 || c.Height <= 0)
        return;
    for (int32_t y = 0; y < c.Height; ++y)
        MarkRunEnds(c.PixelPtr(0, y), 1, c.Width, inside, mark);
    for (int32_t x = 0; x < c.Width; ++x)
        MarkRunEnds(c.PixelPtr(x, 0), c.RowStep(), c.Height, inside, mark);
}
} // namespace

void TChannel::MarkEdgesFrom(uint8_t fillValue, uint8_t edgeValue)
{
    if (!IsValid())
        return;
    uint8_t* const end = Bits + ByteSize();
    for (uint8_t* p = Bits; p != end; ++p)
        if (*p != 0)
            *p = fillValue;
    MarkAllRunEnds(*this, fillValue, [edgeValue](uint8_t* p) { *p = edgeValue; });
}

void TChannel::MarkEdges(uint8_t value)
{
    constexpr uint32_t kStep = 42;
    if (!IsValid())
        return;
    MarkEdgesFrom(value, kStep);
    MarkAllRunEnds(*this, value,
                   [](uint8_t* p) { *p = static_cast<uint8_t>(std::min<uint32_t>(*p + kStep, 255)); });
}

} // namespace morvane
