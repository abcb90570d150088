// The document window's input without a window: temporary tools per scheme,
// the middle button, refused tool classes, the point thresholds per scale
// and engine, the move limit, modifier keys during a stroke, clicks, edits
// refused mid-stroke, lost pointers, the wheel, the view tools and
// auto-scroll.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "InputFixture.h"

namespace morvane {
namespace {

using testing_input::CountOf;
using testing_input::Desk;
using testing_input::Kinds;
using testing_input::PointOf;
using testing_layers::ExpectUndoRedoUndo;
using testing_layers::StateOf;

constexpr Operation kPaint{ToolClass::Freehand, 0};
constexpr Operation kZoomInOp{ToolClass::Zoom, kZoomIn}, kZoomOutOp{ToolClass::Zoom, kZoomOut};
constexpr Operation kHand{ToolClass::View, kViewHand}, kRotate{ToolClass::View, kViewRotate};
constexpr Operation kSize{ToolClass::View, kViewBrushSize};
constexpr Operation kPicker{ToolClass::ColourPicker, 0};
constexpr Operation kSelect{ToolClass::Selection, 0};
constexpr uint32_t C = kModCtrl, A = kModAlt, S = kModShift, Sp = kModSpace;

struct SwapCase {
    int scheme;
    Operation current;
    uint32_t keys;
    MouseButton button;
    Operation during; // the tool while the button is held
    bool beeps;
};

TEST(InputRouter, TemporaryToolsFollowKeysSchemeAndClass)
{
    const MouseButton L = MouseButton::Left, R = MouseButton::Right;
    const SwapCase cases[] = {
        {0, kPaint, C | Sp, L, kZoomInOp, false},
        {1, kPaint, C | Sp | A, L, kZoomOutOp, false},
        {0, kPaint, C | A, L, kSize, false},
        {0, kSelect, C | A, L, kSelect, false},
        {0, kPaint, Sp, L, kHand, false},
        {1, kPaint, Sp | S, L, kHand, false},
        {0, kPaint, A | Sp, L, kRotate, false},
        {1, kPaint, A | Sp, L, kPaint, false},
        {0, kPaint, A, L, kPicker, false},
        {1, kPaint, A, L, kRotate, false},
        {1, kPaint, A | S, L, kPaint, false},
        {1, kPaint, S, L, kPicker, false},
        {0, kPaint, S, L, kPaint, false},
        {1, kHand, S, L, kHand, false},
        {0, kZoomInOp, A, L, kZoomOutOp, false},
        {1, kZoomInOp, C, L, kZoomOutOp, false},
        {1, kZoomInOp, A, L, kRotate, false},
        {2, kPaint, Sp, L, kPaint, false},
        {0, kPaint, A, R, kPicker, false},
        {0, kSelect, 0, L, kSelect, false},
        {1, kSelect, S, L, kSelect, false},
        {0, {ToolClass::Shape, 0}, 0, L, {ToolClass::Shape, 0}, true},
    };
    for (const SwapCase& c : cases) {
        Desk desk({c.scheme});
        desk.router.SelectOperation(c.current);
        desk.Press(10, 10, c.keys, c.button);
        const Operation during = desk.tools.Current();
        desk.Release(10, 10, c.button);
        SCOPED_TRACE(testing::Message() << "scheme " << c.scheme << " class " << int(c.current.toolClass)
                                        << " keys " << c.keys << " button " << int(c.button));
        EXPECT_EQ(during, c.during);
        EXPECT_EQ(desk.tools.Current(), c.current) << "the tool comes back at the release";
        EXPECT_EQ(desk.beeps, c.beeps ? 1 : 0);
    }
}

TEST(InputRouter, MiddleButtonTakesTheToolItsPreferenceNames)
{
    const Operation expected[] = {kHand, kRotate, kSize, {ToolClass::Move, kMoveLayer}, {}, {}, {}, {},
                                  kSelect, {ToolClass::Selection, kSelectFreeForm}};
    for (int setting = 0; setting <= 11; ++setting) {
        InputSettings settings;
        settings.middleButton = setting;
        Desk desk(settings);
        desk.Press(10, 10, 0, MouseButton::Middle);
        const Operation during = desk.tools.Current();
        desk.Release(10, 10, MouseButton::Middle);
        SCOPED_TRACE(setting);
        // 4-7 and 10 name tools not built yet: refused. Out of range: the hand.
        const bool built = setting <= 3 || setting == 8 || setting == 9 || setting == 11;
        if (built) {
            EXPECT_EQ(during, expected[setting == 11 ? 0 : setting]);
        }
        EXPECT_EQ(desk.beeps, built ? 0 : 1);
        EXPECT_EQ(desk.tools.Current(), kPaint);
        EXPECT_TRUE(desk.Packets().empty()) << "the middle button never paints";
    }
}

// The numbers that name a tool of a class by its place in the class: the
// seed fill and auto-select are the seed-fill class's first and third tools,
// the gradation the fourth of the move class; others take the hand.
TEST(InputRouter, MiddleButtonPreferencesNameTheirTools)
{
    const std::pair<int32_t, Operation> cases[] = {{4, {ToolClass::Move, 3}},
                                                   {7, {ToolClass::SeedFill, kSeedFill}},
                                                   {10, {ToolClass::SeedFill, kAutoSelect}},
                                                   {-1, kHand},
                                                   {11, kHand},
                                                   {INT_MAX, kHand}};
    for (const auto& [setting, tool] : cases)
        EXPECT_EQ(MiddleButtonOperation(setting), tool) << setting;
}

struct ThresholdCase {
    uint8_t engine;
    double scale, threshold; // document pixels
};

TEST(InputRouter, ShortMovesAreDroppedByScaleAndEngine)
{
    const ThresholdCase cases[] = {{2, 1, 1},    {2, 2, 1},   {2, 4, 1}, {2, 8, 0.5},
                                   {1, 0.25, 4}, {1, 0.5, 3}, {1, 1, 2}, {1, 4, 2}};
    for (const ThresholdCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "engine " << int(c.engine) << " scale " << c.scale);
        Desk desk;
        // The kind's generation picks the engine.
        desk.tools.SelectKind(c.engine == 2 ? PaintKind::Pencil4 : PaintKind::Pencil1);
        desk.view.scale = c.scale;
        desk.Press(4, 10);
        ASSERT_EQ(desk.Paper().EngineLevel(), c.engine);
        // The first two moves are always taken, however short.
        desk.Drag(4, 10);
        desk.Drag(20, 10);
        EXPECT_EQ(CountOf(desk.Packets(), 17), 3);
        desk.Drag(20 + c.threshold, 10);
        EXPECT_EQ(CountOf(desk.Packets(), 17), 3) << "a move of the threshold is dropped";
        desk.Drag(20, 10 + c.threshold + 0.25);
        ASSERT_EQ(CountOf(desk.Packets(), 17), 4) << "a longer one is taken";
        EXPECT_FLOAT_EQ(PointOf(desk.Packets().back()).y, float(10 + c.threshold + 0.25));
        desk.Release(20, 20);
    }
}

TEST(InputRouter, TheMoveAfterTheLimitEndsTheStrokeAndTheNextBeginsAnother)
{
    Desk desk;
    desk.Press(5, 5);
    for (int32_t i = 0; i < InputRouter::kMaxStrokeMoves; ++i)
        desk.Drag(i % 2 ? 5 : 8, 5 + (i / 2) % 2 * 3);
    EXPECT_TRUE(desk.Paper().IsStroking());
    EXPECT_EQ(CountOf(desk.Packets(), 17), 1 + InputRouter::kMaxStrokeMoves);
    desk.Drag(30, 30);
    EXPECT_FALSE(desk.Paper().IsStroking()) << "the 60 001st move ends it";
    EXPECT_EQ(CountOf(desk.Packets(), 17), 1 + InputRouter::kMaxStrokeMoves) << "and adds no point";
    EXPECT_EQ(desk.Packets().back()[0], 18);
    desk.Drag(31, 31);
    EXPECT_TRUE(desk.Paper().IsStroking()) << "the next one begins a new stroke";
    EXPECT_EQ(CountOf(desk.Packets(), 48), 2);
    desk.Release(31, 31);
    EXPECT_EQ(CountOf(desk.Packets(), 18), 2);
}

TEST(InputRouter, ModifierKeysDropPointsAndTheStrokeGoesOn)
{
    for (uint32_t key : {S, C, A, Sp}) {
        SCOPED_TRACE(key);
        Desk desk;
        desk.Press(5, 5);
        desk.Drag(10, 5);
        desk.Drag(15, 5, key);
        desk.Drag(20, 5, key);
        EXPECT_TRUE(desk.Paper().IsStroking());
        EXPECT_EQ(CountOf(desk.Packets(), 17), 2) << "no points while the key is held";
        desk.Drag(25, 5);
        desk.Release(25, 5);
        EXPECT_EQ(Kinds(desk.Packets()), (std::vector<int>{48, 17, 17, 17, 17, 18})) << "one stroke";
    }
}

TEST(InputRouter, AClickPaintsNothingOnEngine2AndADragIsOneUndoStep)
{
    Desk desk;
    ASSERT_EQ(desk.Paper().EngineLevel(), 2);
    const auto before = StateOf(desk.Paper());
    desk.Press(12.5, 9.5);
    desk.Release(12.5, 9.5);
    EXPECT_EQ(Kinds(desk.Packets()), (std::vector<int>{48, 17, 17, 18}));
    const auto release = PointOf(desk.Packets()[2]);
    EXPECT_EQ(release.p, 0.0f) << "the release adds a zero-pressure point at the press";
    EXPECT_EQ(release.x, 12.5f);
    EXPECT_EQ(StateOf(desk.Paper()), before);

    desk.Press(5, 5);
    desk.Drag(15, 12);
    desk.Drag(30, 20);
    desk.Release(30, 20);
    const auto after = StateOf(desk.Paper());
    EXPECT_FALSE(after == before) << "a drag paints";
    ExpectUndoRedoUndo(desk.Paper(), before, after);
}

// What the undo command does with the document of the active window.
bool UndoCommand(TPaper& paper, const WindowEditState& window)
{
    int32_t layer = 0;
    ExtentRect rect{};
    return CanEdit(&paper, window) && paper.Undo(layer, rect);
}

TEST(InputRouter, UndoMidStrokeLandsNoPacketInsideTheStroke)
{
    Desk desk;
    desk.Press(5, 5);
    desk.Drag(30, 5);
    desk.Release(30, 5);
    const auto first = StateOf(desk.Paper());
    desk.Press(5, 15);
    desk.Drag(15, 22);
    desk.Drag(25, 22);
    EXPECT_FALSE(CanEdit(&desk.Paper(), desk.router.window));
    EXPECT_FALSE(UndoCommand(desk.Paper(), desk.router.window));
    EXPECT_EQ(desk.paper.recorder->undoSteps, 1);
    desk.Drag(35, 30);
    desk.Release(35, 30);
    EXPECT_EQ(Kinds(desk.Packets()), (std::vector<int>{48, 17, 17, 17, 18, 48, 17, 17, 17, 17, 17, 18}));
    EXPECT_EQ(desk.paper.recorder->undoSteps, 2);
    EXPECT_TRUE(UndoCommand(desk.Paper(), desk.router.window)) << "after the stroke the undo runs";
    EXPECT_EQ(desk.paper.recorder->undoSteps, 1);
    EXPECT_EQ(StateOf(desk.Paper()), first);
}

struct EditCase {
    WindowEditState window;
    EditQuery query;
    uint8_t playbackState;
    bool ready, expected;
};

TEST(InputRouter, CanEditByWindowStateAndQuery)
{
    const WindowEditState plain, player{.playerWindow = true},
        ended{.playerWindow = true, .replayEnded = true};
    const EditQuery commands, players{true, true, true}, anyPlayer{true, true, false}, notPlayedBack{false};
    const EditCase cases[] = {
        {plain, commands, 0, true, true},
        {plain, commands, 0, false, false},
        {{.renderMode = true}, commands, 0, true, false},
        {{.replaying = true}, commands, 0, true, false},
        {{.busy = true}, commands, 0, true, false},
        {{.modal = true}, commands, 0, true, false},
        {player, commands, 0, true, false},
        {ended, commands, 0, true, false},
        {player, players, 0, true, false},
        {ended, players, 0, true, true},
        {player, anyPlayer, 0, true, true},
        {plain, commands, 1, true, true},
        {plain, notPlayedBack, 1, true, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const EditCase& c = cases[i];
        Desk desk;
        desk.Paper().PlaybackState = c.playbackState;
        desk.Paper().Ready = c.ready;
        EXPECT_EQ(CanEdit(&desk.Paper(), c.window, c.query), c.expected) << "case " << i;
    }
    EXPECT_FALSE(CanEdit(nullptr, plain));
}

TEST(InputRouter, ALostPointerOrAToolChangeEndsTheStrokeAtItsRecordedEnd)
{
    enum How { Lose, Select, ReleaseNowhere, ReleaseFarOut };
    for (How how : {Lose, Select, ReleaseNowhere, ReleaseFarOut}) {
        SCOPED_TRACE(int(how));
        Desk desk;
        desk.Press(5, 5, Sp); // the hand, swapped in
        desk.Release(5, 5);
        desk.Press(5, 5);
        desk.Drag(20, 14);
        desk.router.Move({{150, 120}, kModShift}); // not painted
        const double nan = std::numeric_limits<double>::quiet_NaN();
        if (how == Lose)
            desk.router.LosePointer();
        else if (how == Select)
            desk.router.SelectOperation(kZoomInOp);
        else if (how == ReleaseNowhere)
            desk.router.Release(MouseButton::Left, {{nan, 3}});
        else
            desk.router.Release(MouseButton::Left, {{1e300, -1e300}});
        EXPECT_FALSE(desk.Paper().IsStroking());
        EXPECT_FALSE(desk.router.Busy());
        ASSERT_EQ(Kinds(desk.Packets()), (std::vector<int>{48, 17, 17, 17, 18}));
        const auto end = PointOf(desk.Packets()[3]);
        EXPECT_EQ(end.x, 20.0f);
        EXPECT_EQ(end.y, 14.0f);
        EXPECT_EQ(end.p, 0.0f);
        EXPECT_EQ(desk.tools.Current(), how == Select ? kZoomInOp : kPaint);
        desk.Drag(30, 30);
        EXPECT_EQ(desk.Packets().size(), 5u) << "moves after the end paint nothing";
    }
}

TEST(InputRouter, PlayerWindowsRefusePaintingAndKeepTheViewTools)
{
    Desk desk;
    desk.router.window.playerWindow = true;
    desk.Press(5, 5);
    desk.Drag(20, 20);
    desk.Release(20, 20);
    EXPECT_EQ(desk.beeps, 1);
    EXPECT_TRUE(desk.Packets().empty());
    desk.Press(5, 5, Sp);
    desk.Drag(15, 25, Sp);
    desk.Release(15, 25);
    EXPECT_EQ(desk.view.scrollX, -10);
    EXPECT_EQ(desk.view.scrollY, -20);
    EXPECT_EQ(desk.beeps, 1);
}

struct WheelCase {
    std::vector<int> deltas;
    uint32_t keys;
    int ins, outs, points;
};

TEST(InputRouter, WheelZoomsPerNotchAboutTheCentre)
{
    const WheelCase cases[] = {
        {{120}, 0, 1, 0, 0},       {{60, 60}, 0, 1, 0, 0},    {{60, -60, 60}, 0, 0, 0, 0},
        {{-240}, 0, 0, 2, 0},      {{120, -120}, A, 0, 0, 0}, {{240}, A, 0, 0, 20},
        {{-120}, A | Sp, 0, 1, 0}, {{INT_MAX}, 0, 100, 0, 0}, {{INT_MIN}, A, 0, 0, -1000},
    };
    for (const WheelCase& c : cases) {
        Desk desk;
        for (int d : c.deltas)
            desk.router.Wheel(d, c.keys);
        SCOPED_TRACE(testing::Message() << c.deltas[0] << " keys " << c.keys);
        EXPECT_EQ(desk.view.zoomIns, c.ins);
        EXPECT_EQ(desk.view.zoomOuts, c.outs);
        EXPECT_EQ(desk.view.zoomPoints, c.points);
        if (c.ins + c.outs) {
            EXPECT_EQ(desk.view.lastAnchor.x, 100.0);
        }
    }
    Desk stuck;
    stuck.view.canZoom = false;
    stuck.router.Wheel(120 * 5, 0);
    stuck.view.canZoom = true;
    stuck.router.Wheel(60, 0);
    EXPECT_EQ(stuck.view.zoomIns, 0) << "notches the view could not take are not kept";
}

TEST(InputRouter, ViewToolsZoomScrollRotateSizeAndPick)
{
    Desk desk;
    desk.router.SelectOperation(kZoomInOp);
    desk.Press(30, 40);
    desk.Release(30, 40);
    desk.Press(30, 40, 0, MouseButton::Right);
    desk.Release(30, 40, MouseButton::Right);
    EXPECT_EQ(desk.view.zoomIns, 1);
    EXPECT_EQ(desk.view.zoomOuts, 1);
    EXPECT_EQ(desk.view.lastAnchor.x, 30.0);

    desk.router.SelectOperation(kHand);
    desk.Press(50, 50);
    desk.Drag(40.7, 55.2);
    desk.Drag(38.1, 60);
    desk.Release(38, 60);
    EXPECT_EQ(desk.view.scrollX, 12);
    EXPECT_EQ(desk.view.scrollY, -10);
    // The right button turns the view about the client centre (100, 75).
    desk.Press(150, 75, 0, MouseButton::Right);
    desk.Drag(100, 125);
    desk.Release(100, 125, MouseButton::Right);
    EXPECT_NEAR(desk.view.rotation, 90.0, 1e-9);
    desk.router.SelectOperation(kRotate);
    desk.Press(150, 75);
    desk.Drag(100, 25);
    desk.Release(100, 25);
    EXPECT_NEAR(desk.view.rotation, 0.0, 1e-9);

    desk.router.SelectOperation(kSize);
    const float radius = desk.tools.Size().value;
    desk.Press(50, 50);
    desk.Drag(50 + 19.99, 10);
    EXPECT_NEAR(desk.tools.Size().value, radius + 10, 1e-4);
    desk.Drag(5000, 10);
    EXPECT_EQ(desk.tools.Size().value, 200.0f);
    desk.Release(5000, 10);

    desk.router.SelectOperation(kPicker);
    const uint32_t pixel = desk.Paper().Composite().GetPixel(7, 9);
    desk.Press(7.5, 9.5);
    desk.Release(7.5, 9.5);
    EXPECT_EQ(desk.tools.MainColour(), 0xFF000000u | (pixel & 0xFFFFFFu));
    EXPECT_TRUE(desk.Packets().empty());
}

TEST(InputRouter, TheRightButtonPicksColoursWhilePaintingWhenThePreferenceSaysSo)
{
    for (bool on : {true, false}) {
        InputSettings settings;
        settings.rightButtonPicker = on;
        Desk desk(settings);
        const uint32_t pixel = desk.Paper().Composite().GetPixel(20, 3);
        desk.tools.SetMainColour(0xFF123456u);
        desk.Press(20, 3, 0, MouseButton::Right);
        desk.Drag(30, 30);
        desk.Release(30, 30, MouseButton::Right);
        EXPECT_EQ(desk.tools.MainColour(), on ? 0xFF000000u | (pixel & 0xFFFFFFu) : 0xFF123456u);
        EXPECT_TRUE(desk.Packets().empty()) << "the right button never paints";
    }
}

TEST(InputRouter, AutoScrollFollowsTheCursorNearTheEdgeWhileAStrokeIsDragged)
{
    for (bool on : {false, true}) {
        InputSettings settings;
        settings.autoScroll = on;
        Desk desk(settings);
        PointD cursor{196, 5};
        desk.router.cursor = [&] { return cursor; };
        desk.Press(5, 5);
        desk.router.AutoScrollTick();
        EXPECT_EQ(desk.view.scrollX, 0) << "not before the drag";
        desk.Drag(20, 5);
        EXPECT_TRUE(desk.router.AutoScrolling());
        desk.router.AutoScrollTick();
        EXPECT_EQ(desk.view.scrollX, on ? 12 * 4 : 0);
        EXPECT_EQ(desk.view.scrollY, on ? -11 * 4 : 0);
        cursor = {-100, 1000};
        desk.router.AutoScrollTick();
        EXPECT_EQ(desk.view.scrollX, on ? 48 - 64 : 0) << "at most 16 x 4 a tick";
        cursor = {100, 75};
        desk.router.AutoScrollTick();
        EXPECT_EQ(desk.view.scrollX, on ? 48 - 64 : 0) << "inside the margin nothing moves";
        desk.Release(20, 5);
        EXPECT_FALSE(desk.router.AutoScrolling());
    }
}

TEST(InputRouter, DisabledInputAndNonFinitePointsDoNothing)
{
    Desk desk;
    const double inf = std::numeric_limits<double>::infinity();
    desk.router.Press(MouseButton::Left, {{inf, 5}});
    desk.router.Move({{5, std::nan("")}});
    EXPECT_FALSE(desk.router.Busy());
    desk.router.inputDisabled = true;
    desk.Press(5, 5);
    desk.router.Wheel(120, 0);
    EXPECT_FALSE(desk.router.Busy());
    EXPECT_EQ(desk.view.zoomIns, 0);
    desk.router.inputDisabled = false;
    desk.Press(5, 5);
    desk.Drag(20, 5);
    desk.router.Move({{inf, inf}});
    desk.Release(25, 5);
    EXPECT_EQ(Kinds(desk.Packets()), (std::vector<int>{48, 17, 17, 17, 18}));
}

} // namespace
} // namespace morvane
