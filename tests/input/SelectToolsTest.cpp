// The selection tools and the moves through the router: the combine mode
// from the keys at the press, squares with Shift during the drag, the
// polygon clicked, closed and taken back, the free-form line, the
// temporary selection move, the layer move, refused tools, and the
// recording replayed to the live document.
#include <gtest/gtest.h>

#include <filesystem>

#include "InputFixture.h"
#include "document/CMaskMngr.h"
#include "document/LivePaper.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

using testing_input::FakeView;
using namespace testing_layers;

constexpr uint32_t S = kModShift, A = kModAlt, C = kModCtrl;
constexpr Operation kRect{ToolClass::Selection, kSelectRectangle}, kEllipse{ToolClass::Selection, kSelectEllipse},
    kPolygon{ToolClass::Selection, kSelectPolygon}, kFree{ToolClass::Selection, kSelectFreeForm};

// A recording document with three layers (the current one offset from the
// canvas) under a view at scale 1, so window points are document points.
struct SelectDesk {
    Live live;
    FakeView view;
    ToolState tools;
    InputRouter router{*live, view, tools};
    int beeps = 0;
    int outlineChanges = 0;

    explicit SelectDesk(InputSettings settings = {})
    {
        router.SetSettings(settings);
        router.beep = [this] { ++beeps; };
        router.outlineChanged = [this] { ++outlineChanges; };
    }
    TPaper& Paper() { return *live; }
    PointerEvent At(double x, double y, uint32_t keys = 0) const { return {{x, y}, keys}; }
    void Drag(Operation tool, PointD from, PointD to, uint32_t keys = 0, uint32_t dragKeys = ~0u)
    {
        router.SelectOperation(tool);
        router.Press(MouseButton::Left, At(from.x, from.y, keys));
        const uint32_t during = dragKeys == ~0u ? keys : dragKeys;
        router.Move(At((from.x + to.x) / 2, (from.y + to.y) / 2, during));
        router.Move(At(to.x, to.y, during));
        router.Release(MouseButton::Left, At(to.x, to.y, during));
    }
    void Click(double x, double y, MouseButton b = MouseButton::Left)
    {
        router.Press(b, At(x, y));
        router.Release(b, At(x, y));
    }
    uint8_t Value(int32_t x, int32_t y) { return live->Masks().CurrentMask()->ValueAt(x, y); }
    // Undo steps since the desk was set up.
    int32_t Steps() { return live->UndoManager()->UndoCount() - base; }
    int32_t base = live->UndoManager()->UndoCount();
};

struct CombineCase {
    int scheme;
    uint32_t keys;
    CombineMode toolMode;
    uint8_t onlyFirst, both, onlySecond; // the mask there afterwards
};

// First rectangle: pixels 4-14; second: 10-24 by 10-20, dragged from its
// bottom-right corner, which lies outside the first.
TEST(SelectTools, KeysAtThePressChooseHowTheShapeMeetsTheSelection)
{
    const CombineCase cases[] = {
        {0, 0, CombineMode::Replace, 0, 255, 255},     {0, S, CombineMode::Replace, 255, 255, 255},
        {0, A, CombineMode::Replace, 255, 0, 0},       {0, S | A, CombineMode::Replace, 0, 255, 0},
        {1, C, CombineMode::Replace, 255, 0, 0},       {1, S | C, CombineMode::Replace, 0, 255, 0},
        {0, 0, CombineMode::Add, 255, 255, 255},       {0, 0, CombineMode::Intersect, 0, 255, 0},
        {0, S, CombineMode::Subtract, 255, 255, 255},
    };
    for (const CombineCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "scheme " << c.scheme << " keys " << c.keys << " mode "
                                        << int(c.toolMode));
        SelectDesk desk({c.scheme});
        desk.Drag(kRect, {4, 4}, {14, 14});
        ASSERT_TRUE(desk.tools.SetCombine(c.toolMode));
        const int32_t steps = desk.Steps();
        desk.Drag(kRect, {24, 20}, {10, 10}, c.keys);
        EXPECT_EQ(desk.Steps(), steps + 1) << "one operation for the drag";
        EXPECT_EQ(desk.Value(5, 5), c.onlyFirst);
        EXPECT_EQ(desk.Value(12, 12), c.both);
        EXPECT_EQ(desk.Value(22, 18), c.onlySecond);
        EXPECT_EQ(desk.Value(30, 30), 0);
        EXPECT_EQ(desk.beeps, 0);
        EXPECT_TRUE(desk.router.Outline().Empty()) << "the outline goes with the release";
    }
}

TEST(SelectTools, TheBoxCoversThePixelsFromThePressToThePointerAndShiftMakesItSquare)
{
    SelectDesk desk;
    desk.Drag(kRect, {30, 5}, {40, 9});
    EXPECT_EQ(desk.Paper().Masks().CurrentMask()->Rect(), (EdgeRect{30, 5, 41, 10}));
    // Shift pressed after the press (outside the selection, which a press
    // inside would drag): a square on the longer side.
    desk.Drag(kRect, {40, 20}, {30, 16}, 0, S);
    EXPECT_EQ(desk.Paper().Masks().CurrentMask()->Rect(), (EdgeRect{30, 10, 41, 21}));
    // Shift held from the press adds and stays a rectangle until let go.
    desk.Drag(kRect, {2, 30}, {6, 32}, S);
    EXPECT_EQ(desk.Value(35, 15), 255);
    EXPECT_EQ(desk.Value(6, 32), 255);
    EXPECT_EQ(desk.Value(6, 34), 0);
    // Up and left of the press: the same box.
    desk.Drag(kEllipse, {20, 20}, {10, 10});
    EXPECT_EQ(desk.Value(15, 15), 255);
    EXPECT_EQ(desk.Value(10, 10), 0) << "the ellipse leaves its corners";
    // A click that never leaves its pixel selects nothing.
    const int32_t steps = desk.Steps();
    desk.Drag(kRect, {44, 30}, {44.2, 30.3});
    EXPECT_EQ(desk.Steps(), steps);
}

TEST(SelectTools, APolygonIsClickedTakenBackAndClosedBySpaceOrDoubleClick)
{
    SelectDesk desk;
    desk.router.SelectOperation(kPolygon);
    desk.Click(4, 4);
    desk.Click(30, 4);
    desk.Click(40, 40); // taken back next
    desk.Click(0, 0, MouseButton::Right);
    desk.router.Move(desk.At(20, 30));
    ASSERT_EQ(desk.router.Outline().points.size(), 3u) << "two vertices and the pointer";
    EXPECT_DOUBLE_EQ(desk.router.Outline().points.back().x, 20.5);
    EXPECT_EQ(desk.Steps(), 0);
    desk.Click(4, 30);
    desk.router.Key(InputKey::Space);
    EXPECT_EQ(desk.Steps(), 1);
    EXPECT_EQ(desk.Value(10, 10), 255);
    EXPECT_EQ(desk.Value(40, 30), 0);
    EXPECT_TRUE(desk.router.Outline().Empty());

    // Escape drops the polygon, a double-click closes one.
    desk.router.SelectOperation(kPolygon);
    desk.Click(2, 20);
    desk.Click(8, 20);
    desk.router.Key(InputKey::Escape);
    EXPECT_TRUE(desk.router.Outline().Empty());
    desk.Click(34, 20);
    desk.Click(46, 20);
    desk.Click(46, 34);
    desk.router.Press(MouseButton::Left, {{46, 34}, 0, true});
    desk.router.Release(MouseButton::Left, desk.At(46, 34));
    EXPECT_EQ(desk.Steps(), 2) << "one selection for the dropped polygon's clicks, none";
    EXPECT_EQ(desk.Value(44, 30), 255);
    EXPECT_EQ(desk.Value(10, 10), 0) << "replaced";
}

TEST(SelectTools, ToolGesturesRecordWhatReplaysToTheLiveDocument)
{
    SelectDesk desk;
    desk.Drag(kRect, {3, 3}, {20, 16});
    desk.Drag(kEllipse, {40, 30}, {22, 12}, S);
    desk.router.SelectOperation(kFree);
    desk.router.Press(MouseButton::Left, desk.At(30, 2, A));
    for (int i = 0; i < 12; ++i)
        desk.router.Move(desk.At(30 + 1.3 * i, 2 + 2.7 * i + (i % 3) * 0.4, A));
    desk.router.Release(MouseButton::Left, desk.At(26, 30));
    // The selection dragged by its inside, then a layer moved.
    desk.router.SelectOperation(kRect);
    desk.router.Press(MouseButton::Left, desk.At(8, 8));
    desk.router.Move(desk.At(10.4, 9.2));
    EXPECT_EQ(desk.tools.Current(), (Operation{ToolClass::Move, kMoveSelection}));
    EXPECT_EQ(desk.Paper().Masks().Ants.Offset, (Point{2, 1}));
    desk.router.Release(MouseButton::Left, desk.At(12.2, 9.4));
    EXPECT_EQ(desk.tools.Current(), kRect);
    EXPECT_EQ(desk.Paper().Masks().Ants.Offset, (Point{}));
    EXPECT_EQ(desk.Value(8, 5), 255) << "moved by 4, 1";
    EXPECT_EQ(desk.Value(4, 4), 0);
    desk.router.SelectOperation({ToolClass::Move, kMoveLayer});
    const int32_t origin = desk.Paper().LayerAt(desk.Paper().CurrentLayer())->OriginX;
    desk.router.Press(MouseButton::Left, desk.At(20, 20));
    desk.router.Move(desk.At(23, 18));
    ASSERT_EQ(desk.router.Outline().points.size(), 4u);
    desk.router.Release(MouseButton::Left, desk.At(23, 18));
    EXPECT_EQ(desk.Paper().LayerAt(desk.Paper().CurrentLayer())->OriginX, origin - 3);
    // The layer and the selection moved together by one drag.
    desk.Drag({ToolClass::Move, kMoveLayerAndSelection}, {20, 20}, {22, 21});
    EXPECT_EQ(desk.Paper().LayerAt(desk.Paper().CurrentLayer())->OriginX, origin - 5);
    EXPECT_EQ(desk.Value(10, 6), 255) << "the selection went along by 2, 1";
    EXPECT_EQ(desk.Value(6, 5), 0);
    EXPECT_EQ(desk.Paper().Masks().Ants.Offset, (Point{}));
    EXPECT_EQ(desk.Steps(), 6);

    support::TempFolder folder;
    const PaperState live = WithoutIds(StateOf(desk.Paper()));
    const PaperState replayed = SavedAndReplayed(desk.Paper(), folder / "tools.vd4");
    EXPECT_TRUE(replayed == live) << Difference(replayed, live);
}

TEST(SelectTools, RefusedToolsBeepAndRecordNothing)
{
    SelectDesk desk;
    desk.Drag(kRect, {3, 3}, {20, 16});
    const size_t steps = size_t(desk.Steps());
    // The gradation drag waits for its operation.
    desk.Drag({ToolClass::Move, kMoveGradation}, {8, 8}, {12, 12});
    EXPECT_EQ(desk.beeps, 1);
    // A player window takes no selection tool and no move.
    desk.router.window.playerWindow = true;
    desk.Drag(kRect, {30, 30}, {40, 34});
    desk.Drag({ToolClass::Move, kMoveLayer}, {8, 8}, {12, 12});
    EXPECT_EQ(desk.beeps, 3);
    EXPECT_EQ(size_t(desk.Steps()), steps);
    // The middle button's layer move follows its drag.
    desk.router.window.playerWindow = false;
    InputSettings middle;
    middle.middleButton = 3;
    desk.router.SetSettings(middle);
    desk.router.SelectOperation(kRect);
    desk.router.Press(MouseButton::Middle, desk.At(20, 20));
    desk.router.Move(desk.At(25, 20));
    desk.router.Release(MouseButton::Middle, desk.At(25, 20));
    EXPECT_EQ(size_t(desk.Steps()), steps + 1);
    EXPECT_EQ(desk.tools.Current(), kRect);
}

} // namespace
} // namespace morvane
