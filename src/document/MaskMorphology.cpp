#include "document/MaskMorphology.h"

#include <algorithm>
#include <new>
#include <vector>

namespace morvane {

namespace {

// out[i] = op over in[i - w ... i + w] (0 beyond 0 ... len - 1), strided:
// the van Herk / Gil-Werman running extreme, three operations a pixel
// whatever the width.
template <bool Max>
void RunningExtreme(const uint8_t* in, int64_t stride, int32_t len, int32_t w, uint8_t* out, int64_t outStride,
                    std::vector<uint8_t>& g, std::vector<uint8_t>& hv)
{
    auto op = [](uint8_t a, uint8_t b) { return Max ? std::max(a, b) : std::min(a, b); };
    const int32_t k = 2 * w + 1, padded = len + 2 * w;
    g.resize(size_t(padded));
    hv.resize(size_t(padded));
    auto at = [&](int32_t i) -> uint8_t { return i < w || i >= w + len ? 0 : in[int64_t(i - w) * stride]; };
    // Block starts every k entries, counted rather than divided.
    for (int32_t i = 0, inBlock = 0; i < padded; ++i, inBlock = inBlock + 1 == k ? 0 : inBlock + 1)
        g[size_t(i)] = inBlock == 0 ? at(i) : op(g[size_t(i - 1)], at(i));
    for (int32_t i = padded - 1, inBlock = (padded - 1) % k; i >= 0; --i, inBlock = inBlock == 0 ? k - 1 : inBlock - 1)
        hv[size_t(i)] = i == padded - 1 || inBlock == k - 1 ? at(i) : op(hv[size_t(i + 1)], at(i));
    for (int32_t x = 0; x < len; ++x)
        out[int64_t(x) * outStride] = op(hv[size_t(x)], g[size_t(x + 2 * w)]);
}

template <bool Max>
bool Octagon(const SCoverage& in, int32_t n, SCoverage& out)
{
    auto op = [](uint8_t a, uint8_t b) { return Max ? std::max(a, b) : std::min(a, b); };
    const EdgeRect& r = out.rect;
    const int32_t w = out.Width(), h = out.Height(), half = (n + 1) / 2;
    // The input over out's rectangle grown by n, 0 outside in.
    const EdgeRect pr{r.left - n, r.top - n, r.right + n, r.bottom + n};
    SCoverage src;
    if (!src.Allocate(pr))
        return false;
    const EdgeRect& ir = in.rect;
    for (int32_t y = std::max(pr.top, ir.top); y < std::min(pr.bottom, ir.bottom); ++y) {
        const int32_t x0 = std::max(pr.left, ir.left), x1 = std::min(pr.right, ir.right);
        if (x1 > x0)
            std::copy_n(in.Row(y) + (x0 - ir.left), x1 - x0, src.Row(y) + (x0 - pr.left));
    }
    const int32_t pw = src.Width(), ph = src.Height();
    std::vector<uint8_t> horizontal, g, hv;
    try {
        horizontal.resize(size_t(int64_t(pw) * ph));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Rows |dy| <= half take the full width n; beyond, row dy = +-(n + half
    // - wd) takes the width wd.
    for (int32_t wd = n; wd >= half; --wd) {
        for (int32_t y = 0; y < ph; ++y)
            RunningExtreme<Max>(src.bytes.data() + int64_t(y) * pw, 1, pw, wd, horizontal.data() + int64_t(y) * pw,
                                1, g, hv);
        if (wd == n) {
            // The column run over rows -half ... half, straight into out.
            std::vector<uint8_t> column(static_cast<size_t>(ph));
            for (int32_t x = 0; x < w; ++x) {
                RunningExtreme<Max>(horizontal.data() + n + x, pw, ph, half, column.data(), 1, g, hv);
                for (int32_t y = 0; y < h; ++y)
                    out.bytes[size_t(int64_t(y) * w + x)] = column[size_t(y + n)];
            }
            continue;
        }
        const int32_t dy = n + half - wd;
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* up = horizontal.data() + int64_t(y + n - dy) * pw + n;
            const uint8_t* down = horizontal.data() + int64_t(y + n + dy) * pw + n;
            uint8_t* o = out.bytes.data() + int64_t(y) * w;
            for (int32_t x = 0; x < w; ++x)
                o[x] = op(o[x], op(up[x], down[x]));
        }
    }
    return true;
}

} // namespace

bool OctagonFilter(const SCoverage& in, int32_t n, bool expand, SCoverage& out)
{
    if (n < 1 || n > kMaxGrowRadius || out.bytes.empty())
        return false;
    try {
        return expand ? Octagon<true>(in, n, out) : Octagon<false>(in, n, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool GrowByOne(const CMaskData& mask, bool expand, bool currentForm, SCoverage& out)
{
    SCoverage in;
    const EdgeRect r = mask.Rect();
    if (!mask.IsValid() || !mask.ToCoverage(r, in))
        return false;
    EdgeRect grown = r, occupied;
    if (currentForm && mask.OccupiedRect(occupied)) {
        grown.left -= occupied.left == r.left;
        grown.top -= occupied.top == r.top;
        grown.right += occupied.right == r.right;
        grown.bottom += occupied.bottom == r.bottom;
    }
    return out.Allocate(grown) && OctagonFilter(in, 1, expand, out);
}

bool GrowByN(const CMaskData& mask, int32_t n, bool expand, int32_t width, int32_t height, SCoverage& out)
{
    EdgeRect occupied;
    if (n < 1 || n > kMaxGrowRadius || !mask.OccupiedRect(occupied))
        return false;
    SCoverage in;
    if (!mask.ToCoverage(occupied, in))
        return false;
    // Growth past the canvas edge stops there, unless the content already
    // lay beyond it.
    EdgeRect grown{occupied.left - n, occupied.top - n, occupied.right + n, occupied.bottom + n};
    if (occupied.left >= 0)
        grown.left = std::max(grown.left, 0);
    if (occupied.top >= 0)
        grown.top = std::max(grown.top, 0);
    if (occupied.right <= width)
        grown.right = std::min(grown.right, width);
    if (occupied.bottom <= height)
        grown.bottom = std::min(grown.bottom, height);
    return out.Allocate(grown) && OctagonFilter(in, n, expand, out);
}

} // namespace morvane
