// Block compression of a painted layer: zstd level 1 (what event streams use)
// against zlib level 6 on the same bytes. Besides the time figure, the
// benchmark's counters give the output sizes and size_vs_zlib6, our output
// size over zlib's.
#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "BenchSupport.h"
#include "storage/Compression.h"

namespace morvane::bench {
namespace {

constexpr int32_t kLayerSide = 2048;
constexpr size_t kLayerPixels = size_t(kLayerSide) * kLayerSide;
constexpr int64_t kLayerBytes = int64_t(kLayerPixels) * 4;
constexpr uint32_t kTransparentWhite = 0x00FFFFFFu;

// A small deterministic generator so every run paints the same layer.
class Lcg {
public:
    explicit Lcg(uint64_t seed) : state_(seed) {}
    uint32_t Next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state_ >> 33);
    }
    int32_t Between(int32_t low, int32_t high) { return low + int32_t(Next() % uint32_t(high - low + 1)); }
    float Unit() { return float(Next() & 0xFFFFFF) / float(0x1000000); }

private:
    uint64_t state_;
};

// Straight-alpha "over" of a colour at coverage (0-255) onto a pixel.
uint32_t Over(uint32_t pixel, uint32_t colour, uint32_t coverage)
{
    const uint32_t da = pixel >> 24;
    const uint32_t outA = coverage + da * (255 - coverage) / 255;
    if (outA == 0)
        return pixel;
    uint32_t out = outA << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t s = (colour >> shift) & 0xFF, d = (pixel >> shift) & 0xFF;
        const uint32_t c = (s * coverage + d * da * (255 - coverage) / 255) / outA;
        out |= std::min(c, 255u) << shift;
    }
    return out;
}

// One thick antialiased stroke: discs along a wandering path gather the
// stroke's coverage (the strongest disc wins, as a brush stroke does), then
// the coverage is laid over the layer at the stroke's opacity.
void PaintStroke(std::vector<uint32_t>& layer, std::vector<uint8_t>& coverage, Lcg& rng)
{
    static constexpr uint32_t kColours[] = {0x202020u, 0xC03030u, 0x3050B0u, 0xF0C8A0u, 0x40A060u};
    const uint32_t colour = kColours[rng.Next() % std::size(kColours)];
    const uint32_t opacity = rng.Next() % 3 ? 255 : 170;
    const float radius = float(rng.Between(3, 14));
    float x = float(rng.Between(0, kLayerSide - 1)), y = float(rng.Between(0, kLayerSide - 1));
    float angle = rng.Unit() * 6.2831853f;
    int32_t left = kLayerSide, top = kLayerSide, right = -1, bottom = -1;
    for (int32_t step = rng.Between(80, 500); step > 0; --step) {
        angle += (rng.Unit() - 0.5f) * 0.3f;
        x += 2.0f * std::cos(angle);
        y += 2.0f * std::sin(angle);
        const int32_t x0 = std::max(0, int32_t(x - radius - 1)), x1 = std::min(kLayerSide - 1, int32_t(x + radius + 1));
        const int32_t y0 = std::max(0, int32_t(y - radius - 1)), y1 = std::min(kLayerSide - 1, int32_t(y + radius + 1));
        for (int32_t py = y0; py <= y1; ++py)
            for (int32_t px = x0; px <= x1; ++px) {
                const float dx = float(px) + 0.5f - x, dy = float(py) + 0.5f - y;
                const float edge = std::clamp(radius + 0.5f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
                uint8_t& c = coverage[size_t(py) * kLayerSide + size_t(px)];
                c = std::max(c, uint8_t(edge * 255.0f + 0.5f));
            }
        if (x0 <= x1 && y0 <= y1) {
            left = std::min(left, x0), top = std::min(top, y0);
            right = std::max(right, x1), bottom = std::max(bottom, y1);
        }
    }
    for (int32_t py = top; py <= bottom; ++py)
        for (int32_t px = left; px <= right; ++px) {
            const size_t i = size_t(py) * kLayerSide + size_t(px);
            if (coverage[i])
                layer[i] = Over(layer[i], colour, coverage[i] * opacity / 255);
            coverage[i] = 0;
        }
}

// About 30 % of the pixels stroked, the rest transparent white.
const std::vector<uint32_t>& PaintedLayer()
{
    static const std::vector<uint32_t> layer = [] {
        std::vector<uint32_t> pixels(kLayerPixels, kTransparentWhite);
        std::vector<uint8_t> coverage(kLayerPixels, 0);
        Lcg rng(20261209);
        size_t painted = 0;
        while (painted < kLayerPixels * 3 / 10) {
            PaintStroke(pixels, coverage, rng);
            painted = size_t(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p >> 24; }));
        }
        return pixels;
    }();
    return layer;
}

std::span<const uint8_t> LayerBytes()
{
    return {reinterpret_cast<const uint8_t*>(PaintedLayer().data()), size_t(kLayerBytes)};
}

uLongf ZlibCompress(std::vector<Bytef>& out)
{
    uLongf length = out.size();
    const std::span<const uint8_t> src = LayerBytes();
    return compress2(out.data(), &length, src.data(), uLong(src.size()), 6) == Z_OK ? length : 0;
}

void Zstd1Ours(benchmark::State& state)
{
    std::vector<Bytef> zlibOut(compressBound(uLong(kLayerBytes)));
    const double zlibSize = double(ZlibCompress(zlibOut));
    uint64_t size = 0;
    TimeEach(state, kLayerBytes, [&] {
        MemoryCompressSink sink;
        const bool ok = Compress(LayerBytes(), sink, kCompressLevelEvents);
        size = sink.CompressedBytes();
        return ok;
    });
    state.counters["bytes_out"] = double(size);
    state.counters["size_vs_zlib6"] = zlibSize > 0 ? double(size) / zlibSize : 0.0;
}

void Zlib6Baseline(benchmark::State& state)
{
    std::vector<Bytef> out(compressBound(uLong(kLayerBytes)));
    uLongf size = 0;
    LayerBytes(); // paint outside the timing
    TimeEach(state, kLayerBytes, [&] { return (size = ZlibCompress(out)) != 0; });
    state.counters["bytes_out"] = double(size);
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(zstd1_compress_vs_zlib6, Zstd1Ours, Zlib6Baseline);
