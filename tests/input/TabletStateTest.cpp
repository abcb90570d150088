// The tablet seen from the core: pressure and positions sanitised, hovering,
// strokes started only where the window allows, the pen leaving proximity
// mid-stroke, and the tool kept for the pen's back end.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "InputFixture.h"
#include "input/TabletState.h"

namespace morvane {
namespace {

using testing_input::CountOf;
using testing_input::Desk;
using testing_input::Kinds;
using testing_input::PointOf;

constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(TabletState, PressureIsSanitised)
{
    const struct {
        float in, out;
    } cases[] = {{std::nanf(""), 0}, {kInf, 0}, {-kInf, 0}, {-0.5f, 0}, {1.5f, 1}, {0.25f, 0.25f}, {1, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(TabletState::SanitizePressure(c.in), c.out) << c.in;
}

struct Pen {
    Desk desk;
    TabletState tablet;

    bool Packet(double x, double y, float pressure, bool inverted = false, bool startAllowed = true,
                bool playingBack = false)
    {
        return tablet.Packet({{x, y}, pressure, inverted}, desk.router, startAllowed, playingBack);
    }
};

TEST(TabletState, PacketsPaintWithTheirPressureAndZeroPressureOnlyHovers)
{
    Pen pen;
    pen.tablet.Proximity(true, pen.desk.router);
    EXPECT_TRUE(pen.Packet(5, 5, 0));
    EXPECT_TRUE(pen.desk.Packets().empty()) << "a touch at pressure 0 hovers";
    EXPECT_TRUE(pen.Packet(5, 5, std::nanf("")));
    EXPECT_TRUE(pen.desk.Packets().empty());
    EXPECT_FALSE(pen.Packet(std::nan(""), 5, 1)) << "a packet without a position is dropped";
    EXPECT_EQ(pen.tablet.Last().pressure, 0.0f);
    // The mouse does not paint while the pen is near.
    pen.desk.Press(10, 10);
    pen.desk.Drag(20, 10);
    pen.desk.Release(20, 10);
    EXPECT_TRUE(pen.desk.Packets().empty());

    EXPECT_TRUE(pen.Packet(5, 5, 0.5f));
    EXPECT_TRUE(pen.Packet(15.25, 5, 2.0f));
    EXPECT_TRUE(pen.Packet(25, 5, 0));
    ASSERT_EQ(Kinds(pen.desk.Packets()), (std::vector<int>{48, 17, 17, 17, 18}));
    EXPECT_EQ(PointOf(pen.desk.Packets()[1]).p, 0.5f);
    EXPECT_EQ(PointOf(pen.desk.Packets()[2]).p, 1.0f) << "clamped";
    EXPECT_EQ(PointOf(pen.desk.Packets()[2]).x, 15.25f) << "sub-pixel positions stay";
    EXPECT_EQ(PointOf(pen.desk.Packets()[3]).p, 0.0f);
}

TEST(TabletState, AStrokeStartsOnlyInTheActiveWindowsClientArea)
{
    struct {
        double x, y;
        bool startAllowed;
        Operation tool;
        bool starts;
    } cases[] = {{5, 5, true, {}, true},
                 {5, 5, false, {}, false},
                 {-1, 5, true, {}, false},
                 {5, 150, true, {}, false},
                 {5, 5, true, {ToolClass::View, kViewHand}, false}};
    for (const auto& c : cases) {
        Pen pen;
        pen.desk.router.SelectOperation(c.tool);
        pen.Packet(c.x, c.y, 1, false, c.startAllowed);
        EXPECT_EQ(pen.desk.Paper().IsStroking(), c.starts) << c.x << "," << c.y << " " << c.startAllowed;
        // Once begun, the stroke follows the pen off the window.
        pen.Packet(c.x + 300, c.y, 1, false, false);
        EXPECT_EQ(CountOf(pen.desk.Packets(), 17), c.starts ? 2 : 0);
    }
}

TEST(TabletState, LeavingProximityMidStrokeEndsTheStroke)
{
    Pen pen;
    pen.tablet.Proximity(true, pen.desk.router);
    pen.Packet(5, 5, 1);
    pen.Packet(20, 8, 1);
    pen.tablet.Proximity(false, pen.desk.router);
    EXPECT_FALSE(pen.desk.Paper().IsStroking());
    ASSERT_EQ(Kinds(pen.desk.Packets()), (std::vector<int>{48, 17, 17, 17, 18}));
    EXPECT_EQ(PointOf(pen.desk.Packets()[3]).x, 20.0f);
    // Out of proximity the mouse paints again.
    pen.desk.Press(10, 10);
    pen.desk.Release(10, 10);
    EXPECT_EQ(CountOf(pen.desk.Packets(), 48), 2);
}

TEST(TabletState, TurningThePenOverSelectsTheBackEndsToolUntilItLeaves)
{
    Pen pen;
    ToolState& tools = pen.desk.tools;
    pen.tablet.Proximity(true, pen.desk.router);

    pen.Packet(5, 5, 0, true);
    EXPECT_TRUE(pen.tablet.EraserOn());
    EXPECT_EQ(tools.End(), PenEnd::Eraser);
    EXPECT_EQ(tools.Kind(), PaintKind::Eraser4) << "the back end keeps an eraser of its own";
    pen.Packet(5, 5, 0.8f, true);
    pen.Packet(9, 5, 0, true);
    EXPECT_EQ(CountOf(pen.desk.Packets(), 18), 1) << "the back end paints with its own tool";
    pen.tablet.Proximity(false, pen.desk.router);
    EXPECT_FALSE(pen.tablet.EraserOn());
    EXPECT_EQ(tools.End(), PenEnd::Tip);
    EXPECT_EQ(tools.Kind(), PaintKind::Pencil4);

    // A busy window keeps the back end until it is free.
    pen.tablet.Proximity(true, pen.desk.router);
    pen.Packet(5, 5, 0, true);
    pen.desk.router.window.busy = true;
    pen.tablet.Proximity(false, pen.desk.router);
    EXPECT_EQ(tools.End(), PenEnd::Eraser);
    pen.Packet(5, 5, 0, false);
    EXPECT_EQ(tools.End(), PenEnd::Eraser);
    pen.desk.router.window.busy = false;
    pen.Packet(5, 5, 0, false);
    EXPECT_EQ(tools.End(), PenEnd::Tip);
    EXPECT_FALSE(pen.tablet.EraserOn());

    // A window that plays a recording keeps its tool.
    pen.Packet(5, 5, 0, true, true, true);
    EXPECT_EQ(tools.End(), PenEnd::Tip);
}

} // namespace
} // namespace morvane
