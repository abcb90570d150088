// The neighbourhood filters' dialogs offscreen: every one shows the preview
// pane; the Gaussian pane zooms and pans; noise 再作成 takes a new seed from
// the clock and repaints the pane; OK records the run.
#include <QAction>
#include <QDoubleSpinBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "document/CFlt4Core.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "filters/RecordBytes.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormFilter.h"
#include "gui/TMainForm.h"
#include "gui/TPreviewFrame.h"
#include "platform/Clock.h"
#include "storage/CBlockVMTC.h"
#include "support/MainFormHarness.h"

using namespace morvane;

class NeighbourDialogsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;
    FixedClock clock_;
    Clock* previousClock_ = nullptr;

    TPaper& Paper() { return form_->ActiveDrawWindow()->Paper(); }
    uint64_t LayerSum() { return support::Checksum(*Paper().LayerAt(Paper().CurrentLayer())->Store); }
    int32_t Steps() { return Paper().EventManager()->CommittedSteps(); }
    QAction* Action(const char* name) { return form_->Action(QString::fromUtf8(name)); }

    void Drag(QWidget* w, QPoint from, QPoint to)
    {
        QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(w, &press);
        QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(w, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, w->mapToGlobal(to), Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(w, &release);
    }

private slots:
    void init()
    {
        previousClock_ = SetClock(&clock_);
        clock_.ms = 5000;
        QVERIFY(session_.Start());
        harness::AnswerNewDocument(*form_, 400, 300);
        Action("ActFileNew")->trigger();
        QVERIFY(form_->ActiveDrawWindow());
        // Stripes and a grey ramp: every filter has something to change.
        CBlockVMTC& store = *Paper().LayerAt(Paper().CurrentLayer())->Store;
        for (int32_t y = 0; y < 300; y += 10)
            store.FillRect({0, y, 400, 5}, 0xFF000000u | uint32_t(y % 256) * 0x010101u);
        store.FillRect({190, 140, 23, 17}, 0xFFC03020u);
    }
    void cleanup()
    {
        session_.Stop();
        SetClock(previousClock_);
    }

    void everyNeighbourhoodDialogShowsThePane()
    {
        int dialogs = 0;
        for (const FilterDescriptor& f : FilterDescriptors()) {
            if (!f.pane)
                continue;
            CFlt4Core run(Paper(), true);
            QCOMPARE(run.Attach(f, Paper().CurrentLayer()), FilterAttach::Ready);
            TFormFilter dialog(f, run, form_->Filters().LastParams(f));
            QVERIFY2(dialog.Pane(), f.dialog);
            QVERIFY2(!dialog.Pane()->Picture().isNull(), f.dialog);
            QCOMPARE(dialog.objectName(), QString::fromUtf8(f.dialog));
            dialog.grab().save(harness::ShotPath(QString::fromUtf8(f.dialog) + QStringLiteral(".png")));
            ++dialogs;
        }
        QCOMPARE(dialogs, 9);
    }

    void gaussianPaneZoomsAndPans()
    {
        const FilterDescriptor& gauss = *FilterByCode(67);
        CFlt4Core run(Paper(), true);
        QCOMPARE(run.Attach(gauss, Paper().CurrentLayer()), FilterAttach::Ready);
        TFormFilter dialog(gauss, run, form_->Filters().LastParams(gauss));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        TPreviewFrame& pane = *dialog.Pane();
        // 400 x 300 does not fit the pane at 100 %: the slider starts below.
        auto* track = pane.findChild<QSlider*>(QStringLiteral("Track1"));
        QVERIFY(track->minimum() < 100);
        QCOMPARE(pane.Zoom(), 100);
        const EdgeRect at100 = pane.View();
        pane.SetZoom(400);
        const EdgeRect at400 = pane.View();
        QVERIFY(at400.right - at400.left < at100.right - at100.left);
        // Centred on the bounds' centre both times.
        QCOMPARE((at400.left + at400.right) / 2, (at100.left + at100.right) / 2);
        const QImage zoomed = pane.Picture();
        QWidget* box = pane.findChild<QWidget*>(QStringLiteral("PaintBox1"));
        Drag(box, {130, 100}, {57, 63});
        const EdgeRect panned = pane.View();
        QVERIFY(panned.left > at400.left);
        QVERIFY(panned.top > at400.top);
        QVERIFY(pane.Picture() != zoomed);
        // A new sigma repaints the pane with the filtered view.
        const QImage before = pane.Picture();
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("number0"))->setValue(6.0);
        clock_.Advance(800);
        QTRY_VERIFY(pane.Picture() != before);
    }

    void noiseReseedChangesSeedAndPaneAndOkRecords()
    {
        const int32_t steps = Steps();
        const uint64_t before = LayerSum();
        int32_t opened = 0, reseeded = 0;
        bool paneChanged = false;
        form_->askFilter = [&](const FilterDescriptor& f, CFlt4Core& run,
                               const FilterLastParams& last) -> std::optional<FilterLastParams> {
            TFormFilter dialog(f, run, last, form_.get());
            dialog.findChild<QDoubleSpinBox*>(QStringLiteral("number0"))->setValue(120);
            dialog.show();
            if (!QTest::qWaitForWindowExposed(&dialog))
                return std::nullopt;
            dialog.Pane()->SetZoom(200);
            opened = RecordI32(dialog.Controller().Current(), 8);
            const QImage first = dialog.Pane()->Picture();
            clock_.Advance(1234);
            dialog.findChild<QPushButton*>(QStringLiteral("reseedButton"))->click();
            reseeded = RecordI32(dialog.Controller().Current(), 8);
            paneChanged = dialog.Pane()->Picture() != first;
            dialog.grab().save(harness::ShotPath(QStringLiteral("noise-dialog.png")));
            return dialog.Chosen();
        };
        Action("actFilterNoise4")->trigger();
        QCOMPARE(opened, 5000);
        QCOMPARE(reseeded, 6234);
        QVERIFY(paneChanged);
        QCOMPARE(Steps(), steps + 1);
        QVERIFY(LayerSum() != before);
        QCOMPARE(Action("ActFilterRepeat")->text(), QStringLiteral("ノイズ(&L)"));
    }
};

QTEST_MAIN(NeighbourDialogsTest)
#include "NeighbourDialogsTest.moc"
