// Tablet events of a document window reach the core tablet state: pressure
// sanitised, sub-pixel or whole-pixel positions by the coordinate mode, the
// eraser end switching the tool, proximity through the application, the
// mouse silenced while the pen is near, and strokes only on the active window.
#include <QPointingDevice>
#include <QTabletEvent>
#include <QWidget>
#include <QtTest>
#include <cmath>
#include <limits>

#include "StylusHarness.h"
#include "document/DocumentHost.h"
#include "document/TPaper.h"
#include "input/InputRouter.h"
#include "input/ToolState.h"
#include "paint/CPenRender.h"
#include "platform/qt/QtTabletSource.h"

using namespace morvane;

namespace {

class PlainView final : public ViewPort {
public:
    double Scale() const override { return 1; }
    bool ZoomStep(bool, PointD) override { return false; }
    bool ZoomByPoints(int, PointD) override { return false; }
    void ScrollBy(int, int) override {}
    double Rotation() const override { return 0; }
    void SetRotation(double) override {}
    PointD WindowToDocument(PointD w) const override { return w; }
    int ClientWidth() const override { return 64; }
    int ClientHeight() const override { return 48; }
};

class CountingWidget final : public QWidget {
public:
    int mousePresses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++mousePresses; }
};

// One document window with its input, attached to the tablet source.
struct Window {
    SilentDocumentHost host;
    TPaper paper{host};
    PlainView view;
    ToolState tools;
    InputRouter router{paper, view, tools};
    CPenRender render{router.Pen()};
    CountingWidget widget;
    bool playingBack = false;

    explicit Window(QtTabletSource& source)
    {
        paper.NewPicture("p", false, false, 72, 64, 48, 64, 48);
        paper.SetPenRenderer(&render);
        widget.resize(64, 48);
        widget.show();
        widget.activateWindow();
        source.Attach(widget, {&router, [this] { return playingBack; }, {}, {}, {}});
    }
};

void SendTablet(QObject* to, QEvent::Type type, QPointF at, qreal pressure,
                QPointingDevice::PointerType pointer = QPointingDevice::PointerType::Pen)
{
    const Qt::MouseButtons held = type == QEvent::TabletRelease || pressure <= 0 ? Qt::NoButton : Qt::LeftButton;
    QTabletEvent event(type, &harness::Stylus(pointer), at, at, pressure, 0, 0, 0, 0, 0, Qt::NoModifier,
                       type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton, held);
    QApplication::sendEvent(to, &event);
}

void Proximity(bool in, QPointingDevice::PointerType pointer = QPointingDevice::PointerType::Pen)
{
    SendTablet(qApp, in ? QEvent::TabletEnterProximity : QEvent::TabletLeaveProximity, {}, 0, pointer);
}

void ClickMouse(QWidget& widget)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
}

} // namespace

class TabletInputTest : public QObject {
    Q_OBJECT

private slots:
    void PressureAndPositionReachTheTabletState_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("pressure");
        QTest::addColumn<double>("expectedPressure");
        QTest::addColumn<QPointF>("expectedAt");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        const auto tablet = int(QtTabletSource::CoordinateMode::Tablet);
        const auto os = int(QtTabletSource::CoordinateMode::Os);
        QTest::newRow("tablet, sub-pixel") << tablet << 0.5 << 0.5 << QPointF(10.25, 7.75);
        QTest::newRow("OS, whole pixels") << os << 0.5 << 0.5 << QPointF(10, 7);
        QTest::newRow("NaN") << tablet << nan << 0.0 << QPointF(10.25, 7.75);
        QTest::newRow("infinite") << tablet << inf << 0.0 << QPointF(10.25, 7.75);
        QTest::newRow("above 1") << tablet << 3.0 << 1.0 << QPointF(10.25, 7.75);
    }
    void PressureAndPositionReachTheTabletState()
    {
        QFETCH(int, mode);
        QFETCH(double, pressure);
        QFETCH(double, expectedPressure);
        QFETCH(QPointF, expectedAt);
        QtTabletSource source;
        source.SetCoordinateMode(QtTabletSource::CoordinateMode(mode));
        Window window(source);
        QVERIFY(QTest::qWaitForWindowActive(&window.widget));
        QVERIFY(window.widget.hasTabletTracking());

        Proximity(true);
        SendTablet(&window.widget, QEvent::TabletPress, {10.25, 7.75}, pressure);
        const TabletPacket& last = source.State().Last();
        QCOMPARE(last.pressure, float(expectedPressure));
        QCOMPARE(last.at.x, expectedAt.x());
        QCOMPARE(last.at.y, expectedAt.y());
        // A positive pressure on the active window starts a stroke; NaN only hovers.
        QCOMPARE(window.paper.IsStroking(), expectedPressure > 0);
        SendTablet(&window.widget, QEvent::TabletRelease, {12, 8}, 0);
        QCOMPARE(source.State().Last().pressure, 0.0f);
        QVERIFY(!window.paper.IsStroking());
    }

    void EraserEndSelectsItsToolUntilThePenLeaves()
    {
        QtTabletSource source;
        Window window(source);
        const auto eraser = QPointingDevice::PointerType::Eraser;
        Proximity(true, eraser);
        SendTablet(&window.widget, QEvent::TabletMove, {20, 20}, 0, eraser);
        QVERIFY(source.State().EraserOn());
        QCOMPARE(window.tools.End(), PenEnd::Eraser);
        Proximity(false, eraser);
        QVERIFY(!source.State().EraserOn());
        QCOMPARE(window.tools.End(), PenEnd::Tip);

        // Not while the window plays a recording.
        window.playingBack = true;
        Proximity(true, eraser);
        SendTablet(&window.widget, QEvent::TabletMove, {20, 20}, 0, eraser);
        QCOMPARE(window.tools.End(), PenEnd::Tip);
        Proximity(false, eraser);
    }

    void PenLeavingMidStrokeEndsItAndTheMouseIsSilentWhileNear()
    {
        QtTabletSource source;
        Window window(source);
        QVERIFY(QTest::qWaitForWindowActive(&window.widget));
        Proximity(true);
        ClickMouse(window.widget);
        QCOMPARE(window.widget.mousePresses, 0);
        SendTablet(&window.widget, QEvent::TabletPress, {10, 10}, 0.8);
        SendTablet(&window.widget, QEvent::TabletMove, {14, 11}, 0.8);
        QVERIFY(window.paper.IsStroking());
        Proximity(false);
        QVERIFY(!window.paper.IsStroking());
        QVERIFY(!source.State().InProximity());
        ClickMouse(window.widget);
        QCOMPARE(window.widget.mousePresses, 1);
    }

    void NoStrokeStartsOutsideTheWindow()
    {
        QtTabletSource source;
        Window window(source);
        QVERIFY(QTest::qWaitForWindowActive(&window.widget));
        Proximity(true);
        SendTablet(&window.widget, QEvent::TabletPress, {64.5, 10}, 1.0);
        QVERIFY(!window.paper.IsStroking());
        SendTablet(&window.widget, QEvent::TabletPress, {63.5, 10}, 1.0);
        QVERIFY(window.paper.IsStroking());
        SendTablet(&window.widget, QEvent::TabletRelease, {63.5, 10}, 0);
        Proximity(false);
    }

    // The program being active is not enough: the window under the pen must
    // be the active one.
    void NoStrokeStartsOnAnInactiveWindow()
    {
        QtTabletSource source;
        Window behind(source), front(source);
        front.widget.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&front.widget));
        QVERIFY(!behind.widget.isActiveWindow());
        Proximity(true);
        SendTablet(&behind.widget, QEvent::TabletPress, {10, 10}, 1.0);
        QVERIFY(!behind.paper.IsStroking());
        SendTablet(&front.widget, QEvent::TabletPress, {10, 10}, 1.0);
        QVERIFY(front.paper.IsStroking());
        SendTablet(&front.widget, QEvent::TabletRelease, {10, 10}, 0);
        Proximity(false);
    }
};

QTEST_MAIN(TabletInputTest)
#include "TabletInputTest.moc"
