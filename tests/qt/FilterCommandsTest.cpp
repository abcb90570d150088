// The filter commands of the main window offscreen: levels through its
// real dialog (automatic setting, ordered input ends, OK records), the
// repeat command with and without its dialog, and a cancelled dialog.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "document/CFlt4Core.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormFilter.h"
#include "gui/TMainForm.h"
#include "gui/TPreviewFrame.h"
#include "storage/CBlockVMTC.h"
#include "support/MainFormHarness.h"

using namespace morvane;

class FilterCommandsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    TPaper& Paper() { return form_->ActiveDrawWindow()->Paper(); }
    uint64_t LayerSum() { return support::Checksum(*Paper().LayerAt(Paper().CurrentLayer())->Store); }
    int32_t Steps() { return Paper().EventManager()->CommittedSteps(); }
    TMainForm& Form() { return *form_; }
    QAction* Action(const char* name) { return form_->Action(QString::fromUtf8(name)); }

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        harness::AnswerNewDocument(*form_, 96, 64);
        Action("ActFileNew")->trigger();
        QVERIFY(form_->ActiveDrawWindow());
        // A band of mid tones the automatic levels can stretch.
        CBlockVMTC& store = *Paper().LayerAt(Paper().CurrentLayer())->Store;
        for (int32_t x = 0; x < 96; ++x)
            store.FillRect({x, 0, 1, 64}, 0xFF000000u | uint32_t(60 + x) * 0x010101u);
    }
    void cleanup() { session_.Stop(); }

    void levelsDialogAdjustsAndRecords()
    {
        const int32_t steps = Steps();
        const uint64_t before = LayerSum();
        bool shown = false;
        std::vector<double> ends;
        double pushedBack = 0;
        form_->askFilter = [&](const FilterDescriptor& f, CFlt4Core& run,
                               const FilterLastParams& last) -> std::optional<FilterLastParams> {
            TFormFilter dialog(f, run, last, form_.get());
            dialog.show();
            shown = QTest::qWaitForWindowExposed(&dialog);
            dialog.findChild<QPushButton*>(QStringLiteral("autoButton"))->click();
            const FilterDialogController& c = dialog.Controller();
            for (int channel = 1; channel <= 3; ++channel)
                ends.insert(ends.end(), {c.Value(0, channel), c.Value(2, channel)});
            // The input minimum cannot reach the maximum.
            auto* channels = dialog.findChild<QComboBox*>(QStringLiteral("channelList"));
            channels->setCurrentIndex(1);
            dialog.findChild<QDoubleSpinBox*>(QStringLiteral("number0"))->setValue(200);
            pushedBack = c.Value(0, 1);
            dialog.grab().save(harness::ShotPath(QStringLiteral("levels-dialog.png")));
            return dialog.Chosen();
        };
        QVERIFY(Action("actFilterLevels4")->isEnabled());
        Action("actFilterLevels4")->trigger();
        QVERIFY(shown);
        // Each channel stretched from its lowest (60) to its highest level.
        QCOMPARE(ends, (std::vector<double>{60, 155, 60, 155, 60, 155}));
        QCOMPARE(pushedBack, 154.0);
        QCOMPARE(Steps(), steps + 1);
        QVERIFY(LayerSum() != before);
        QCOMPARE(Action("ActFilterRepeat")->text(), QStringLiteral("レベル補正(&L)"));
    }

    void repeatRunsWithoutTheDialogAndAltShowsIt()
    {
        QAction* repeat = Action("ActFilterRepeat");
        QVERIFY(!repeat->isEnabled()); // nothing ran since the start
        int asked = 0;
        form_->askFilter = [&](const FilterDescriptor&, CFlt4Core&,
                               const FilterLastParams& last) -> std::optional<FilterLastParams> {
            ++asked;
            FilterLastParams chosen = last;
            chosen.record[0] = 3;
            return chosen;
        };
        Action("actFilterPoster4")->trigger();
        QCOMPARE(asked, 1);
        QVERIFY(repeat->isEnabled());
        const int32_t steps = Steps();
        QTest::keyClick(form_.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(Steps(), steps + 1);
        QTest::keyClick(form_.get(), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(asked, 2);
        QCOMPARE(Steps(), steps + 2);
    }

    void previewPaneShowsTheFilteredViewAndLeavesTheLayer()
    {
        const uint64_t before = LayerSum();
        CFlt4Core run(Paper(), true);
        QCOMPARE(run.Attach(*FilterByCode(81), Paper().CurrentLayer()), FilterAttach::Ready);
        TPreviewFrame pane;
        pane.Bind(run, [] { return std::vector<uint8_t>{}; });
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QCOMPARE(LayerSum(), before);
        // At 100 % the whole 96 x 64 layer fits: pixel for pixel, inverted.
        QCOMPARE(pane.Zoom(), 100);
        QCOMPARE(pane.Picture().size(), QSize(96, 64));
        QCOMPARE(pane.Picture().pixel(10, 5), 0xFF000000u | (255u - 70u) * 0x010101u);
        auto* track = pane.findChild<QSlider*>(QStringLiteral("Track1"));
        // The layer fits at 100 %, so the slider starts there (linear).
        QCOMPARE(track->minimum(), 100);
        QCOMPARE(track->value(), 100);
        // Zoomed in, the view is the middle of the layer.
        pane.SetZoom(400);
        QCOMPARE(pane.View(), (EdgeRect{16, 7, 81, 57}));
        QCOMPARE(LayerSum(), before);
        pane.grab().save(harness::ShotPath(QStringLiteral("filter-preview-pane.png")));
    }

    void colourBalanceSlidersMoveTogetherWhenSynced()
    {
        CFlt4Core run(Paper(), true);
        QCOMPARE(run.Attach(*FilterByCode(24), Paper().CurrentLayer()), FilterAttach::Ready);
        TFormFilter dialog(*FilterByCode(24), run, Form().Filters().LastParams(*FilterByCode(24)));
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("number0"))->setValue(1.5);
        QCOMPARE(dialog.Controller().Value(1), 1.0);
        dialog.findChild<QCheckBox*>(QStringLiteral("syncBox"))->setChecked(true);
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("number2"))->setValue(0.75);
        for (size_t p = 0; p < 3; ++p)
            QCOMPARE(dialog.Controller().Value(p), 0.75);
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>(QStringLiteral("number1"))->value(), 0.75);
    }

    void cancelChangesNothing()
    {
        const uint64_t before = LayerSum();
        const int32_t steps = Steps();
        uint64_t previewed = before;
        form_->askFilter = [&](const FilterDescriptor&, CFlt4Core& run,
                               const FilterLastParams& last) -> std::optional<FilterLastParams> {
            std::vector<uint8_t> r = last.record;
            r[0] = 40;
            run.PreviewOnDocument({r});
            previewed = LayerSum();
            return std::nullopt;
        };
        Action("actFilterContrast4")->trigger();
        QVERIFY(previewed != before);
        QCOMPARE(LayerSum(), before);
        QCOMPARE(Steps(), steps);
        QVERIFY(!Action("ActFilterRepeat")->isEnabled());
        QVERIFY(!Action("actFilterGradateMap")->isEnabled()); // needs the gradations
    }
};

QTEST_MAIN(FilterCommandsTest)
#include "FilterCommandsTest.moc"
