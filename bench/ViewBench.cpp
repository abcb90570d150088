// One 1920 x 1080 frame of the document view over a 4096 x 4096 composite
// with partly transparent pixels on the checkerboard, at 1/2, 1/1 and 2/1,
// unrotated and turned by 30 degrees, against pixman drawing the same frame:
// the checkerboard copied, then the composite OVER it through the same
// transform.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <span>

#include "PixmanBaseline.h"
#include "view/ViewRender.h"

namespace morvane::bench {
namespace {

constexpr int32_t kClientW = 1920, kClientH = 1080;
constexpr Point kDocAnchor{300, 200};

struct Frame {
    ScaleRatio scale;
    double angle = 0.0;
    bool areaAverage = false;
};

// Half the pixels opaque, the others with alpha below 128.
const TMTC& Composite()
{
    static const std::unique_ptr<TMTC> doc = [] {
        auto image = std::make_unique<TMTC>(kSide, kSide);
        FillRandom(*image, 11);
        for (int32_t y = 0; y < image->Height; ++y)
            for (uint32_t& p : std::span(image->Row(y), size_t(image->Width)))
                p = (p & 0x80000000u) ? (p | 0xFF000000u) : p;
        return image;
    }();
    return *doc;
}

CViewState ViewOf(const Frame& f)
{
    CViewState v;
    v.SetDocument(kSide, kSide);
    v.SetClient(kClientW, kClientH);
    v.SetScale(f.scale.num, f.scale.den);
    v.SetAnchors({0, 0}, kDocAnchor);
    v.SetRotation(f.angle);
    return v;
}

void Ours(benchmark::State& state, Frame f)
{
    const CViewState view = ViewOf(f);
    ViewSource source;
    source.composite = &Composite();
    source.opaquePaper = false;
    source.checker = true;
    source.areaAverage = f.areaAverage;
    TTC window;
    TimeEach(state, int64_t(kClientW) * kClientH * 4,
             [&] { return RenderView(view, source, window, {0, 0, kClientW, kClientH}); });
}

// Window to source as pixman's matrix, the same mapping the view walks.
pixman_transform_t TransformOf(const CViewState& v)
{
    const double s = v.ScaleValue(), c = v.Cos() / s, n = v.Sin() / s;
    double tx = kDocAnchor.x, ty = kDocAnchor.y;
    if (v.Rotated()) {
        const DocPoint centre = v.RotationCentre();
        tx = centre.x - c * (kClientW / 2) + n * (kClientH / 2);
        ty = centre.y - n * (kClientW / 2) - c * (kClientH / 2);
    }
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(c);
    t.matrix[0][1] = pixman_double_to_fixed(-n);
    t.matrix[0][2] = pixman_double_to_fixed(tx);
    t.matrix[1][0] = pixman_double_to_fixed(n);
    t.matrix[1][1] = pixman_double_to_fixed(c);
    t.matrix[1][2] = pixman_double_to_fixed(ty);
    return t;
}

void Baseline(benchmark::State& state, Frame f)
{
    const CViewState view = ViewOf(f);
    TMTC target(kClientW, kClientH), checker(kClientW, kClientH);
    checker.FillChecker({0, 0, kClientW, kClientH}, {8, 8}, kViewCheckerLight, kViewCheckerDark);
    TMTC& doc = const_cast<TMTC&>(Composite());
    pixman_image_t* src = WrapForPixman(doc);
    pixman_image_t* dst = WrapForPixman(target);
    pixman_image_t* cells = WrapForPixman(checker);
    if (!src || !dst || !cells) {
        state.SkipWithError("pixman could not create the images");
        return;
    }
    const bool identity = f.scale == ScaleRatio{1, 1} && !view.Rotated();
    if (!identity) {
        const pixman_transform_t t = TransformOf(view);
        pixman_image_set_transform(src, &t);
        if (f.areaAverage) {
            int n = 0;
            const pixman_fixed_t step = pixman_double_to_fixed(1.0 / view.ScaleValue());
            pixman_fixed_t* params = pixman_filter_create_separable_convolution(
                &n, step, step, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 1, 1);
            pixman_image_set_filter(src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
            free(params);
        } else {
            pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
        }
    }
    const int32_t sx = identity ? kDocAnchor.x : 0, sy = identity ? kDocAnchor.y : 0;
    TimeEach(state, int64_t(kClientW) * kClientH * 4, [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, cells, nullptr, dst, 0, 0, 0, 0, 0, 0, kClientW, kClientH);
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, sx, sy, 0, 0, 0, 0, kClientW, kClientH);
        return true;
    });
    for (pixman_image_t* image : {src, dst, cells})
        pixman_image_unref(image);
}

#define VIEW_FRAME(name, num, den, angle, average)                                          \
    void name##Ours(benchmark::State& s) { Ours(s, Frame{{num, den}, angle, average}); }         \
    void name##Baseline(benchmark::State& s) { Baseline(s, Frame{{num, den}, angle, average}); }

VIEW_FRAME(Z050, 1, 2, 0.0, false)
VIEW_FRAME(Z050AA, 1, 2, 0.0, true)
VIEW_FRAME(Z100, 1, 1, 0.0, false)
VIEW_FRAME(Z200, 2, 1, 0.0, false)
VIEW_FRAME(Z050Rot, 1, 2, 30.0, false)
VIEW_FRAME(Z100Rot, 1, 1, 30.0, false)
VIEW_FRAME(Z200Rot, 2, 1, 30.0, false)

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(view_frame_z050, Z050Ours, Z050Baseline);
MORVANE_FIGURE(view_frame_z050_aa, Z050AAOurs, Z050AABaseline);
MORVANE_FIGURE(view_frame_z100, Z100Ours, Z100Baseline);
MORVANE_FIGURE(view_frame_z200, Z200Ours, Z200Baseline);
MORVANE_FIGURE(view_frame_z050_rot30, Z050RotOurs, Z050RotBaseline);
MORVANE_FIGURE(view_frame_z100_rot30, Z100RotOurs, Z100RotBaseline);
MORVANE_FIGURE(view_frame_z200_rot30, Z200RotOurs, Z200RotBaseline);
