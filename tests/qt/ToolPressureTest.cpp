// The pen in the main window offscreen: with the default tool a firm stroke
// covers more than a light one and with both pressure switches off they are
// the same; the pen's back end erases with its own tool, and leaving
// proximity brings the tip's tool back.
#include <QPointingDevice>
#include <QTabletEvent>
#include <QtTest>

#include "support/MainFormHarness.h"
#include "StylusHarness.h"
#include "input/ToolState.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

using namespace morvane;

namespace {

void Send(QWidget* to, QEvent::Type type, QPointF at, qreal pressure,
          QPointingDevice::PointerType pointer = QPointingDevice::PointerType::Pen)
{
    QTabletEvent event(type, &harness::Stylus(pointer), at, to->mapToGlobal(at), pressure, 0, 0, 0, 0, 0, Qt::NoModifier,
                       type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton,
                       type == QEvent::TabletRelease || pressure <= 0 ? Qt::NoButton : Qt::LeftButton);
    QApplication::sendEvent(to, &event);
}

void Proximity(bool in, QPointingDevice::PointerType pointer)
{
    QTabletEvent event(in ? QEvent::TabletEnterProximity : QEvent::TabletLeaveProximity, &harness::Stylus(pointer), {}, {}, 0,
                       0, 0, 0, 0, 0, Qt::NoModifier, Qt::NoButton, Qt::NoButton);
    QApplication::sendEvent(qApp, &event);
}

// One stroke across the window at one pressure.
void Stroke(QWidget* w, qreal pressure, QPointingDevice::PointerType pointer = QPointingDevice::PointerType::Pen)
{
    Send(w, QEvent::TabletPress, {60, 80}, pressure, pointer);
    for (int i = 1; i <= 10; ++i)
        Send(w, QEvent::TabletMove, {60.0 + 24.0 * i, 80.0 + 6.0 * i}, pressure, pointer);
    Send(w, QEvent::TabletRelease, {300, 140}, 0, pointer);
}

// Composite pixels the strokes left other than the white paper, and how
// dark they are together.
struct Coverage {
    int64_t pixels = 0, darkness = 0;
};

Coverage CoverageOf(const TPaper& paper)
{
    Coverage c;
    const TTC& image = paper.Composite();
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint32_t p = image.GetPixel(x, y) & 0xFFFFFFu;
            if (p == 0xFFFFFFu)
                continue;
            ++c.pixels;
            c.darkness += 765 - int64_t(p & 0xFF) - int64_t(p >> 8 & 0xFF) - int64_t(p >> 16 & 0xFF);
        }
    return c;
}

} // namespace

class ToolPressureTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;

    TDrawWindow* NewWindow()
    {
        if (!session_.form->Run(QStringLiteral("ActFileNew")))
            return nullptr;
        TDrawWindow* w = session_.form->ActiveDrawWindow();
        session_.form->activateWindow();
        QTest::qWait(1);
        return w;
    }
    Coverage StrokeIn(qreal pressure)
    {
        TDrawWindow* w = NewWindow();
        if (!w)
            return {};
        w->setFocus();
        Stroke(w, pressure);
        return CoverageOf(w->Paper());
    }

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        harness::AnswerNewDocument(*session_.form, 400, 300);
        session_.form->Tools().SetSize(8);
    }
    void cleanup() { session_.Stop(); }

    void firmStrokesCoverMoreThanLightOnesWhileTheSwitchesAreOn()
    {
        const Coverage firm = StrokeIn(1.0), light = StrokeIn(0.2);
        QVERIFY(light.pixels > 0);
        QVERIFY2(firm.pixels > light.pixels, "pressure to size");
        QVERIFY2(firm.darkness > light.darkness * 2, "pressure to density");

        ToolState& tools = session_.form->Tools();
        tools.Edit([](TPaintParam& p) { return p.SetPressureSize(false) | p.SetPressureDensity(false); });
        const Coverage firmOff = StrokeIn(1.0), lightOff = StrokeIn(0.2);
        QCOMPARE(lightOff.pixels, firmOff.pixels);
        QCOMPARE(lightOff.darkness, firmOff.darkness);
    }

    void theBackEndErasesAndLeavingBringsTheTipBack()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        ToolState& tools = session_.form->Tools();
        const auto eraser = QPointingDevice::PointerType::Eraser;
        // The picture's first layer is opaque white: the eraser lowers its alpha.
        const Coverage before = CoverageOf(w->Paper());
        QCOMPARE(before.pixels, int64_t(0));
        Proximity(true, eraser);
        Send(w, QEvent::TabletMove, {40, 40}, 0, eraser);
        QCOMPARE(tools.End(), PenEnd::Eraser);
        QCOMPARE(tools.Kind(), PaintKind::Eraser4);
        Stroke(w, 1.0, eraser);
        int64_t lowered = 0;
        CLayerData& layer = *w->Paper().LayerAt(0);
        for (int32_t y = 0; y < w->Paper().Height; ++y)
            for (int32_t x = 0; x < w->Paper().Width; ++x)
                lowered += (layer.Store->GetPixel(x, y) >> 24) < 255;
        QVERIFY2(lowered > 100, "the eraser end erases instead of painting black");
        QCOMPARE(CoverageOf(w->Paper()).darkness, int64_t(0));
        Proximity(false, eraser);
        QCOMPARE(tools.End(), PenEnd::Tip);
        QCOMPARE(tools.Kind(), PaintKind::Pencil4);
    }

    // A picture of the main window with a firm and a light stroke of the
    // default pen at 1:1, for a person to look at: the window shows the
    // picture the strokes made.
    void pictureOfAFirmAndALightStroke()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        w->SetZoom({1, 1});
        w->setFocus();
        session_.form->Tools().SetSize(12);
        Stroke(w, 1.0);
        for (const QEvent::Type type : {QEvent::TabletPress, QEvent::TabletMove, QEvent::TabletRelease})
            for (int i = 0; i <= (type == QEvent::TabletMove ? 10 : 0); ++i)
                Send(w, type, {60.0 + 24.0 * i, 160.0 + 6.0 * i}, type == QEvent::TabletRelease ? 0 : 0.2);
        // The outline at the pointer is not part of the picture.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w, &leave);
        QTest::qWait(20);
        const QImage shot = session_.form->grab().toImage();
        QVERIFY(shot.save(harness::ShotPath(QStringLiteral("pen-two-pressures.png"))));
        QCOMPARE(harness::CompositeMismatches(shot, w->mapTo(session_.form.get(), QPoint(0, 0)), *w), int64_t(0));
        QVERIFY(CoverageOf(w->Paper()).pixels > 0);
    }
};

QTEST_MAIN(ToolPressureTest)
#include "ToolPressureTest.moc"
