// The selection tools in a document window offscreen: a rectangle dragged
// with the mouse, a second one added with Shift held at its press, the
// outline shown while dragging, and the recording replayed to the same
// selection.
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>

#include "document/CMaskMngr.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

#include "support/MainFormHarness.h"

using namespace morvane;

namespace {

// The current mask's rectangle and bytes.
uint64_t MaskSum(TPaper& paper)
{
    uint64_t h = 1469598103934665603ull;
    const CMaskData& m = *paper.Masks().CurrentMask();
    const EdgeRect r = m.Rect();
    h = support::FnvMix(h, uint64_t(uint32_t(r.left)) << 32 | uint32_t(r.top));
    h = support::FnvMix(h, uint64_t(uint32_t(r.right)) << 32 | uint32_t(r.bottom));
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            h = support::FnvMix(h, m.ValueAt(x, y));
    return h;
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
          Qt::KeyboardModifiers keys)
{
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, keys);
    QApplication::sendEvent(w, &event);
}

// A left drag with the keys held throughout; stops before the release when
// asked, so the outline can be seen.
void DragWith(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers keys, bool release = true)
{
    Send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, keys);
    for (int i = 1; i <= 6; ++i)
        Send(w, QEvent::MouseMove, from + (to - from) * i / 6, Qt::NoButton, Qt::LeftButton, keys);
    if (release)
        Send(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, keys);
}

int CountColour(const QImage& shot, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            n += shot.pixel(x, y) == colour;
    return n;
}

} // namespace

class SelectionToolsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void rectangleAddedWithShiftIsRecordedAndReplayed()
    {
        harness::AnswerNewDocument(*form_, 120, 90);
        QVERIFY(harness::Trigger(*form_, "ActFileNew"));
        TDrawWindow* w = form_->ActiveDrawWindow();
        QVERIFY(w);
        w->resize(220, 180);
        w->show();
        QVERIFY(harness::Trigger(*form_, "ActViewZoomCancel"));
        w->Input().SelectOperation({ToolClass::Selection, kSelectRectangle});
        const auto at = [w](double x, double y) { return harness::WindowPointOf(*w, x, y); };

        DragWith(w, at(10, 10), at(40, 30), Qt::NoModifier);
        // Shift at the press adds; the press lies outside the first box.
        DragWith(w, at(70, 60), at(30, 20), Qt::ShiftModifier);
        TPaper& paper = w->Paper();
        const CMaskData& mask = *paper.Masks().CurrentMask();
        QCOMPARE(mask.Rect(), (EdgeRect{10, 10, 71, 61}));
        QCOMPARE(mask.ValueAt(12, 12), uint8_t(255)); // the first box only
        QCOMPARE(mask.ValueAt(35, 25), uint8_t(255)); // both
        QCOMPARE(mask.ValueAt(65, 55), uint8_t(255)); // the second only
        QCOMPARE(mask.ValueAt(60, 15), uint8_t(0));   // neither
        QCOMPARE(mask.ValueAt(15, 50), uint8_t(0));
        QVERIFY(paper.SelectionUsed && paper.SelectionBorderShown);

        // An ellipse being dragged shows its outline before anything is
        // recorded; the picture keeps the ants of the selection with it.
        w->Input().SelectOperation({ToolClass::Selection, kSelectEllipse});
        const uint64_t selected = MaskSum(paper);
        DragWith(w, at(80, 8), at(110, 40), Qt::NoModifier, false);
        QVERIFY(!w->Input().Outline().Empty());
        QCOMPARE(MaskSum(paper), selected);
        const QImage shot = w->grab().toImage();
        QVERIFY(shot.save(harness::ShotPath(QStringLiteral("selection_tools_drag.png"))));
        QVERIFY(CountColour(shot, qRgb(0, 0, 0)) > 100);
        Send(w, QEvent::MouseButtonRelease, at(110, 40), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QVERIFY(w->Input().Outline().Empty());
        QCOMPARE(paper.Masks().CurrentMask()->ValueAt(95, 24), uint8_t(255));
        QCOMPARE(paper.Masks().CurrentMask()->ValueAt(12, 12), uint8_t(0));

        QTemporaryDir dir;
        const uint64_t live = MaskSum(paper);
        TDrawWindow* replay = harness::Replay(*form_, dir.filePath(QStringLiteral("tools.vd4")));
        QVERIFY(replay && replay != w);
        QCOMPARE(MaskSum(replay->Paper()), live);
        QCOMPARE(harness::Checksum(replay->Paper().Composite()), harness::Checksum(paper.Composite()));
    }
};

QTEST_MAIN(SelectionToolsTest)
#include "SelectionToolsTest.moc"
