// The pencil's exact dabs: coverage of a disc (or ellipse) at its sub-pixel
// position, one scanline at a time, in a grid of one sample per pixel.
#include <algorithm>
#include <cmath>

#include "paint/CPenShapeSupport.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
struct EdgeBox {
    int32_t left, top, right, bottom;
};

double Overlap(double a0, double a1, double b0, double b1)
{
    return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

// An ellipse in the frame of the scan: p along the scanlines, q across
// them; semi-axis `major` along (c, s), `minor` across it. A chord solves
// P p^2 + 2 Q p + R = 0 with Q and R linear and quadratic in the offset.
class ScanEllipse {
public:
    ScanEllipse(double cp_, double cq_, double major, double minor, double c, double s) : cp(cp_), cq(cq_)
    {
        const double ia = 1.0 / (major * major), ib = 1.0 / (minor * minor);
        const double p = c * c * ia + s * s * ib;
        invP_ = 1.0 / p;
        q_ = c * s * (ia - ib);
        r_ = s * s * ia + c * c * ib;
        halfExtent_ = std::sqrt(major * major * s * s + minor * minor * c * c);
        p_ = p;
    }

    // Offsets from cp of the chord at offset dq from cq; false when none.
    bool Chord(double dq, double& p0, double& p1) const
    {
        const double q = dq * q_, r = dq * dq * r_ - 1.0;
        const double disc = q * q - p_ * r;
        if (disc <= 0.0)
            return false;
        const double root = std::sqrt(disc);
        p0 = (-q - root) * invP_;
        p1 = (-q + root) * invP_;
        return true;
    }
    // Half the extent across the scanlines.
    double HalfExtent() const { return halfExtent_; }

    const double cp, cq;

private:
    double p_, invP_, q_, r_, halfExtent_;
};
} // namespace

bool CPenShape::RenderExact(int32_t fx, int32_t fy, bool spanAcross, int32_t radius, int32_t angle,
                            int32_t aspectPercent)
{
    current_ = nullptr;
    if (radius <= 0 || radius > kMaxRadius * 0x10000)
        return false;
    fx &= 0xFFFF;
    fy &= 0xFFFF;
    const double r = radius / 65536.0;
    const int32_t k = int32_t(std::ceil(r)) + 2; // the dab's own pixel within the grid
    const int32_t side = 2 * k + 1;
    if (!exact_.LayoutExact(side, k * 0x10000 + fx, k * 0x10000 + fy))
        return false;

    const SinCos16 rotation = SinCosOfDegrees(angle);
    const double c = rotation.cosine / 65536.0, s = rotation.sine / 65536.0;
    const double cx = k + fx / 65536.0, cy = k + fy / 65536.0;
    const double minor = r * aspectPercent / 100.0;
    // Scanning columns is scanning rows of the grid mirrored about its
    // diagonal, which mirrors the ellipse's direction too.
    const ScanEllipse e =
        spanAcross ? ScanEllipse{cx, cy, r, minor, c, s} : ScanEllipse{cy, cx, r, minor, s, c};
    const int64_t along = spanAcross ? 1 : side, across = spanAcross ? side : 1;
    int32_t* coverage = exact_.coverage;
    // The lines and offsets along them that the chords reach: nothing
    // outside is covered.
    int32_t lineLo = side, lineHi = 0, alongLo = side, alongHi = 0;
    const auto span = [&](int32_t line, double p0, double p1, double weight) {
        const int32_t first = std::max(int32_t(std::floor(p0)), 0),
                      last = std::min(int32_t(std::ceil(p1)), side);
        if (first >= last)
            return;
        lineLo = std::min(lineLo, line);
        lineHi = std::max(lineHi, line + 1);
        alongLo = std::min(alongLo, first);
        alongHi = std::max(alongHi, last);
        for (int32_t j = first; j < last; ++j)
            coverage[line * across + j * along] = roundSat(Overlap(p0, p1, j, j + 1.0) * weight * 65536.0);
    };

    if (r < 0.5) {
        double p0 = 0, p1 = 0;
        if (e.Chord(0.0, p0, p1))
            span(int32_t(std::floor(e.cq)), e.cp + p0, e.cp + p1, 0.5);
    } else {
        const double extent = e.HalfExtent();
        for (int32_t line = 0; line < side; ++line) {
            double p0 = 0, p1 = 0;
            if (e.Chord(line + 0.5 - e.cq, p0, p1))
                span(line, e.cp + p0, e.cp + p1, Overlap(e.cq - extent, e.cq + extent, line, line + 1.0));
        }
    }

    std::fill_n(exact_.distance, exact_.Samples(), 0x10000);
    std::fill_n(exact_.density, exact_.Samples(), 0); // no coverage, no density
    const EdgeBox box = spanAcross ? EdgeBox{alongLo, lineLo, alongHi, lineHi}
                                   : EdgeBox{lineLo, alongLo, lineHi, alongHi};
    const int32_t cols = std::max(box.right - box.left, 0); // rows and columns empty together
    lastExact_ = {fx, fy, radius, angle, aspectPercent, spanAcross, useAirMap_ && !FlatAirMap()};
    if (lastExact_.distances) {
        const double stretch = 100.0 / aspectPercent, toFixed = 65536.0 / r;
        scratch_.resize(size_t(cols));
        for (int32_t row = box.top; row < box.bottom; ++row) {
            const double dy = row + 0.5 - cy;
            for (int32_t i = 0; i < cols; ++i) {
                const double dx = box.left + i + 0.5 - cx;
                const double u = dx * c + dy * s, v = (dy * c - dx * s) * stretch;
                scratch_[size_t(i)] = u * u + v * v;
            }
            const int64_t at = int64_t(row) * side + box.left;
            DistanceSpan(scratch_.data(), 0.0, toFixed, exact_.distance + at, cols);
            for (int32_t i = 0; i < cols; ++i)
                if (coverage[at + i] == 0)
                    exact_.distance[at + i] = 0x10000;
        }
    }
    for (int32_t row = box.top; row < box.bottom; ++row) {
        const int64_t at = int64_t(row) * side + box.left;
        CombineSpan(exact_.distance + at, coverage + at, exact_.density + at, cols);
    }
    exact_.combinedWith = CombineStamp();
    current_ = &exact_;
    return true;
}

} // namespace morvane
