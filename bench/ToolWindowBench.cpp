// The tool window's drawing. The colour wheel: our hue ring and
// saturation/value square of 256 x 256 against pixman drawing the same
// geometry, a conical gradient through the ring's mask and two linear
// gradients over the square. The nib outline: what a document window does
// for one pointer move with a radius-200 outline at 100 % in a 1920 x 1080
// window (its old and new box drawn again from the document, the outline
// over the new one) against a memcpy of one such frame.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "PixmanBaseline.h"
#include "view/BrushGhost.h"
#include "view/ColourWheel.h"
#include "view/ViewRender.h"

namespace morvane::bench {
namespace {

constexpr int32_t kWheelSide = 256;
constexpr double kHue = 200;

void WheelOurs(benchmark::State& state)
{
    TMTC image;
    TimeEach(state, int64_t(kWheelSide) * kWheelSide * 4, [&] { return DrawColourWheel(image, kWheelSide, kHue); });
}

pixman_color_t PixmanColour(uint32_t argb)
{
    const auto wide = [](uint32_t byte) { return uint16_t(byte * 257); };
    return {wide(argb >> 16 & 0xFF), wide(argb >> 8 & 0xFF), wide(argb & 0xFF), wide(argb >> 24)};
}

// The ring's coverage as an a8 mask, made once as a program would keep it.
std::vector<uint32_t> RingMask(const WheelGeometry& w)
{
    std::vector<uint32_t> mask(size_t(kWheelSide) * kWheelSide / 4);
    auto* bytes = reinterpret_cast<uint8_t*>(mask.data());
    for (int32_t y = 0; y < kWheelSide; ++y)
        for (int32_t x = 0; x < kWheelSide; ++x) {
            const double d = std::hypot(x + 0.5 - w.centre, y + 0.5 - w.centre);
            const double c = std::clamp(d - w.inner + 0.5, 0.0, 1.0) * std::clamp(w.outer - d + 0.5, 0.0, 1.0);
            bytes[size_t(y) * kWheelSide + size_t(x)] = uint8_t(std::lround(c * 255));
        }
    return mask;
}

void WheelPixman(benchmark::State& state)
{
    const WheelGeometry w = WheelOf(kWheelSide);
    std::vector<uint32_t> pixels(size_t(kWheelSide) * kWheelSide), maskBits = RingMask(w);
    pixman_image_t* target = WrapForPixman(pixels, kWheelSide, kWheelSide);
    pixman_image_t* mask = pixman_image_create_bits(PIXMAN_a8, kWheelSide, kWheelSide, maskBits.data(), kWheelSide);
    // The hue ring: six sectors, counter-clockwise from red on the right.
    std::vector<pixman_gradient_stop_t> hues;
    for (int i = 0; i <= 6; ++i)
        hues.push_back({pixman_double_to_fixed(i / 6.0), PixmanColour(HsvToRgb({360.0 - 60.0 * i, 1, 1}))});
    const pixman_point_fixed_t centre = {pixman_double_to_fixed(w.centre), pixman_double_to_fixed(w.centre)};
    pixman_image_t* ring = pixman_image_create_conical_gradient(&centre, 0, hues.data(), int(hues.size()));
    const EdgeRect& q = w.square;
    const pixman_gradient_stop_t across[2] = {{0, PixmanColour(0xFFFFFFFF)},
                                              {pixman_int_to_fixed(1), PixmanColour(HsvToRgb({kHue, 1, 1}))}};
    const pixman_gradient_stop_t down[2] = {{0, PixmanColour(0)}, {pixman_int_to_fixed(1), PixmanColour(0xFF000000)}};
    const pixman_point_fixed_t left{pixman_int_to_fixed(q.left), 0}, right{pixman_int_to_fixed(q.right - 1), 0};
    const pixman_point_fixed_t top{0, pixman_int_to_fixed(q.top)}, bottom{0, pixman_int_to_fixed(q.bottom - 1)};
    pixman_image_t* saturation = pixman_image_create_linear_gradient(&left, &right, across, 2);
    pixman_image_t* value = pixman_image_create_linear_gradient(&top, &bottom, down, 2);
    const int qw = q.right - q.left, qh = q.bottom - q.top;
    TimeEach(state, int64_t(kWheelSide) * kWheelSide * 4, [&] {
        std::memset(pixels.data(), 0, pixels.size() * 4);
        pixman_image_composite32(PIXMAN_OP_SRC, ring, mask, target, 0, 0, 0, 0, 0, 0, kWheelSide, kWheelSide);
        pixman_image_composite32(PIXMAN_OP_SRC, saturation, nullptr, target, q.left, q.top, 0, 0, q.left, q.top, qw,
                                 qh);
        pixman_image_composite32(PIXMAN_OP_OVER, value, nullptr, target, q.left, q.top, 0, 0, q.left, q.top, qw, qh);
        return true;
    });
    for (pixman_image_t* image : {ring, saturation, value, mask, target})
        pixman_image_unref(image);
}

// ---- the nib outline ----

constexpr int32_t kClientW = 1920, kClientH = 1080;
constexpr double kGhostRadius = 200;

const TMTC& Document()
{
    static const std::unique_ptr<TMTC> doc = [] {
        auto image = std::make_unique<TMTC>(kSide, kSide);
        FillRandom(*image, 5);
        return image;
    }();
    return *doc;
}

void OutlineOurs(benchmark::State& state)
{
    CViewState view;
    view.SetDocument(kSide, kSide);
    view.SetClient(kClientW, kClientH);
    view.SetScale(1, 1);
    view.SetAnchors({0, 0}, {1000, 1000});
    ViewSource source;
    source.composite = &Document();
    TTC window;
    if (!RenderView(view, source, window, {0, 0, kClientW, kClientH})) {
        state.SkipWithError("no window image");
        return;
    }
    BrushGhost ghost;
    ghost.SetEllipse(kGhostRadius, 1, 0);
    // Moves of a few pixels along a row through the middle of the window:
    // the bands of the old and the new outline drawn again from the
    // document, the new outline over them, as the window's paint does.
    DocPoint at{700, 540};
    std::vector<EdgeRect> shown = ghost.Bands(view, at, true);
    TimeEach(state, int64_t(kClientW) * kClientH * 4, [&] {
        const DocPoint next{at.x < 1200 ? at.x + 3 : 700, 540};
        std::vector<EdgeRect> moved = ghost.Bands(view, next, true);
        bool done = true;
        for (const EdgeRect& band : BrushGhost::MoveBands(shown, moved)) {
            done = done && RenderView(view, source, window, band);
            ghost.Draw(window, band, view, next, true);
        }
        shown = std::move(moved);
        at = next;
        return done;
    });
}

void OneFrameMemcpy(benchmark::State& state)
{
    const size_t pixels = size_t(kClientW) * kClientH;
    std::vector<uint32_t> source(pixels), target(pixels);
    FillRandom(source.data(), pixels, 9);
    TimeEach(state, int64_t(pixels) * 4, [&] {
        std::memcpy(target.data(), source.data(), pixels * 4);
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

} // namespace

MORVANE_FIGURE(colour_wheel_vs_pixman, WheelOurs, WheelPixman);
MORVANE_FIGURE(brush_outline_move_r200, OutlineOurs, OneFrameMemcpy);

} // namespace morvane::bench
