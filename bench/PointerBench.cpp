// A pointer move to the updated window image: a mouse stroke with a
// radius-100 brush on a 4096 x 4096 picture shown at 1/1 in a 1920 x 1080
// window. Each iteration moves the pointer 10 window pixels through the input
// router (stroke point, recorded; the document recomposes what the stroke
// touched) and draws the rectangle it invalidated into the window image, as
// the window's repaint does. Strokes run along rows of the window; the next row's stroke begins
// off the clock. The baseline copies one 1920 x 1080 frame. The median wall
// latency of one move is the counter latency_ms; painted_share (moves that
// changed pixels) and area (mean pixels of a changed rectangle) show that
// every timed move paints a whole dab.
#include <algorithm>
#include <chrono>
#include <vector>

#include "BenchSupport.h"
#include "document/DocumentHost.h"
#include "document/TPaper.h"
#include "input/InputRouter.h"
#include "input/ToolState.h"
#include "paint/CPenRender.h"
#include "view/ViewRender.h"

namespace morvane::bench {
namespace {

constexpr int32_t kClientW = 1920, kClientH = 1080;
constexpr int64_t kFrameBytes = int64_t(kClientW) * kClientH * 4;
constexpr float kRadius = 100;
constexpr double kStep = 10;
// Rows keep the brush inside the window; they are this far apart.
constexpr double kMargin = 120, kRowGap = 60;

// The router's view of the window: 1/1, scrolled to the picture's middle.
class BenchViewPort final : public ViewPort {
public:
    explicit BenchViewPort(const CViewState& view) : view_(view) {}
    double Scale() const override { return view_.ScaleValue(); }
    bool ZoomStep(bool, PointD) override { return false; }
    bool ZoomByPoints(int, PointD) override { return false; }
    void ScrollBy(int, int) override {}
    double Rotation() const override { return 0; }
    void SetRotation(double) override {}
    PointD WindowToDocument(PointD w) const override
    {
        const DocPoint d = view_.WindowToDocument({w.x, w.y});
        return {d.x, d.y};
    }
    int ClientWidth() const override { return view_.ClientWidth(); }
    int ClientHeight() const override { return view_.ClientHeight(); }

private:
    const CViewState& view_;
};

struct PointerScene {
    RecordingDocumentHost host;
    TPaper paper{host};
    CViewState view;
    BenchViewPort port{view};
    ToolState tools;
    InputRouter router{paper, port, tools};
    CPenRender render{router.Pen()};
    TTC window;
    PointD at{kMargin, kMargin};
    bool ready = false;
    int64_t painted = 0; // moves that changed pixels
    int64_t area = 0;

    PointerScene()
    {
        if (!paper.NewPicture("b", false, false, 72, kSide, kSide, kSide, kSide, false) ||
            !paper.SetPenRenderer(&render))
            return;
        // The airbrush's round nib at full density, as a dab of the draw class.
        tools.SelectKind(PaintKind::AirBrush4);
        tools.SetSize(kRadius);
        tools.SetMainColour(0xFF3060C0u);
        view.SetDocument(kSide, kSide);
        view.SetClient(kClientW, kClientH);
        view.SetScale(1, 1);
        view.SetAnchors({0, 0}, {(kSide - kClientW) / 2, (kSide - kClientH) / 2});
        paper.RenderAll(false);
        ready = RenderView(view, ViewSourceOf(paper, false), window, {0, 0, kClientW, kClientH});
    }

    // Ends the running stroke and presses at the start of the next row.
    void NextStroke()
    {
        router.Release(MouseButton::Left, {at});
        at.x = kMargin;
        at.y += kRowGap;
        if (at.y > kClientH - kMargin)
            at.y = kMargin;
        router.Press(MouseButton::Left, {at});
        host.Clear();
    }
    bool RowEnds() const { return at.x + kStep > kClientW - kMargin; }

    // One move and the repaint it asks for.
    bool Move()
    {
        at.x += kStep;
        router.Move({at});
        EdgeRect changed{};
        for (const RecordingDocumentHost::Entry& e : host.Calls)
            if (e.call == RecordingDocumentHost::Call::InvalidateRect)
                changed = changed.IsEmpty() ? ToEdge(e.rect) : Union(changed, ToEdge(e.rect));
        host.Clear();
        if (changed.IsEmpty())
            return paper.IsStroking();
        ++painted;
        area += int64_t(changed.right - changed.left) * (changed.bottom - changed.top);
        return RenderView(view, ViewSourceOf(paper, false), window, view.DocumentRectToWindow(changed));
    }
};

void Ours(benchmark::State& state)
{
    static PointerScene scene;
    if (!scene.ready) {
        state.SkipWithError("the scene could not be set up");
        return;
    }
    scene.NextStroke();
    std::vector<double> latencies;
    const int64_t paintedBefore = scene.painted;
    for (auto _ : state) {
        if (scene.RowEnds()) {
            state.PauseTiming();
            scene.NextStroke();
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        if (!scene.Move()) {
            state.SkipWithError("the move painted nothing");
            break;
        }
        benchmark::ClobberMemory();
        latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (latencies.empty())
        return;
    auto middle = latencies.begin() + ptrdiff_t(latencies.size() / 2);
    std::nth_element(latencies.begin(), middle, latencies.end());
    state.counters["latency_ms"] = *middle;
    state.counters["painted_share"] = double(scene.painted - paintedBefore) / double(latencies.size());
    state.counters["area"] = double(scene.area) / double(std::max<int64_t>(1, scene.painted));
}

void Baseline(benchmark::State& state)
{
    std::vector<uint32_t> source(size_t(kClientW) * kClientH), target(source.size());
    FillRandom(source.data(), source.size(), 7);
    TimeEach(state, kFrameBytes, [&] {
        std::memcpy(target.data(), source.data(), size_t(kFrameBytes));
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(pointer_to_image_r100, Ours, Baseline);
