// The selection commands of the main window offscreen: reached from their
// actions and keys, done, undone and replayed from their recording, with
// the check marks following the document's two selection flags.
#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "document/CLayerData.h"
#include "document/CMaskMngr.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormColorMask.h"
#include "gui/TMainForm.h"
#include "storage/CBlockVMTC.h"
#include "platform/UserNotifier.h"

#include "support/MainFormHarness.h"

using namespace morvane;

class SelectionCommandsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    QAction* Action(const char* name) { return form_->Action(QString::fromLatin1(name)); }
    bool Trigger(const char* name)
    {
        QAction* action = Action(name);
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        return true;
    }
    TDrawWindow* NewWindow()
    {
        harness::AnswerNewDocument(*form_, 120, 90);
        return Trigger("ActFileNew") ? form_->ActiveDrawWindow() : nullptr;
    }

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        form_->askSelectionStep = [](bool) -> std::optional<int> { return 4; };
        form_->askMaskName = [](const std::string&) -> std::optional<std::string> { return "輪郭"; };
        form_->askColourRange = [](const TPaper&) -> std::optional<SColourRange> {
            return SColourRange{ColourRangeSource::Layer, 0, 0, {{0xFFFFFF, true, 40}}};
        };
    }
    void cleanup() { session_.Stop(); }

    void keysReachTheirCommands()
    {
        const struct {
            const char* command;
            const char* key;
        } keys[] = {{"ActSelAll", "Ctrl+A"}, {"ActSelCancel", "Ctrl+D"}, {"ActSelInvert", "Ctrl+Shift+I"},
                    {"ActLyrSelDup", "Ctrl+J"}, {"ActLyrSelNew", "Ctrl+Shift+J"}};
        for (const auto& k : keys)
            QVERIFY2(Action(k.command)->shortcuts().contains(QKeySequence(QString::fromLatin1(k.key))), k.command);
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        QTest::keyClick(form_.get(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(w->Paper().Masks().HasSelection());
    }

    void commandUndoesRedoesAndReplays_data()
    {
        QTest::addColumn<QStringList>("steps");
        const auto row = [](const char* name, QStringList steps) { QTest::newRow(name) << steps; };
        row("select all", {"ActSelAll"});
        row("cancel", {"ActSelAll", "ActSelCancel"});
        row("invert", {"ActSelAll", "ActSelCol1", "ActSelInvert"});
        row("expand 1", {"ActSelAll", "ActSelCol1", "ActSelCol1", "ActSelExp1"});
        row("expand n", {"ActSelAll", "ActSelCol2", "ActSelExp"});
        row("new mask", {"ActMaskNew"});
        row("duplicate", {"ActSelAll", "ActMaskDup"});
        row("delete", {"ActMaskNew", "ActMaskDel"});
        row("from density", {"ActMaskNewFromLyrD"});
        row("from transparency", {"ActMaskNewFromLyrA"});
        row("rename", {"ActMaskOption"});
        row("use", {"ActSelAll", "ActSelEnable"});
        row("border", {"ActSelAll", "ActViewSel"});
        row("alpha from the selection", {"ActSelAll", "ActSelCol2", "ActLyrSel2A"});
        row("colour range", {"ActSelColorRange"});
        row("selection copied to a layer", {"ActSelAll", "ActSelCol2", "ActLyrSelDup"});
        row("selection moved to a layer", {"ActSelAll", "ActSelCol2", "ActLyrSelNew"});
    }
    void commandUndoesRedoesAndReplays()
    {
        QFETCH(QStringList, steps);
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        for (int i = 0; i + 1 < steps.size(); ++i)
            QVERIFY2(Trigger(steps[i].toLatin1().constData()), qPrintable(steps[i]));
        const uint64_t start = harness::SelectionChecksum(paper) ^ harness::Checksum(paper.Composite());
        QVERIFY2(Trigger(steps.back().toLatin1().constData()), qPrintable(steps.back()));
        const uint64_t done = harness::SelectionChecksum(paper) ^ harness::Checksum(paper.Composite());
        QVERIFY(done != start);
        QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(harness::SelectionChecksum(paper) ^ harness::Checksum(paper.Composite()), start);
        QVERIFY(Trigger("ActEditRedo"));
        QCOMPARE(harness::SelectionChecksum(paper) ^ harness::Checksum(paper.Composite()), done);
        QTemporaryDir dir;
        TDrawWindow* replay = harness::Replay(*form_, dir.filePath(QStringLiteral("selection.vd4")));
        QVERIFY(replay && replay != w);
        QCOMPARE(harness::SelectionChecksum(replay->Paper()) ^ harness::Checksum(replay->Paper().Composite()), done);
    }

    void checkMarksFollowTheFlags()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        QVERIFY(Trigger("ActSelAll"));
        form_->UpdateActions();
        QVERIFY(Action("ActSelEnable")->isChecked());
        QVERIFY(Action("ActViewSel")->isChecked());
        QVERIFY(Trigger("ActSelEnable"));
        form_->UpdateActions();
        QVERIFY(!paper.SelectionUsed);
        QVERIFY(!Action("ActSelEnable")->isChecked());
        QVERIFY(Trigger("ActViewSel"));
        form_->UpdateActions();
        QVERIFY(!Action("ActViewSel")->isChecked());
        QVERIFY(Trigger("ActEditUndo"));
        form_->UpdateActions();
        QVERIFY(Action("ActViewSel")->isChecked());
    }

    // The ants run on the main window's timer also when nothing plays: the
    // phase turns and the window shows black and white dashes.
    void antsMoveAndShow()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        w->resize(200, 160);
        w->show();
        QVERIFY(Trigger("ActViewZoomCancel"));
        QVERIFY(Trigger("ActSelAll"));
        QVERIFY(Trigger("ActSelCol2"));
        const CAntPoints& ants = w->Paper().Masks().Ants;
        QVERIFY(ants.HasOutline());
        const uint8_t phase = ants.Phase();
        QTRY_VERIFY_WITH_TIMEOUT(ants.Phase() != phase, 1000);
        const QImage shot = w->grab().toImage();
        QVERIFY(shot.save(harness::ShotPath(QStringLiteral("selection_ants.png"))));
        int black = 0, white = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                black += p == qRgb(0, 0, 0);
                white += p == qRgb(255, 255, 255);
            }
        QVERIFY(black > 50);
        QVERIFY(white > 50);
        // Hidden border: the timer leaves the phase alone.
        QVERIFY(Trigger("ActViewSel"));
        QVERIFY(!w->AntsAnimate());
    }

    // A click in the preview picks the colour under it, the range waits for
    // its pause before the preview follows, and OK selects what it showed.
    void colourRangeDialogPicksFromThePreview()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        QVERIFY(paper.SelectRectangle({10, 10}, {30, 25}, CombineMode::Replace));
        // The same colour inside the selection and outside it.
        QVERIFY(paper.LayerAt(0)->Store->FillRect({12, 12, 8, 8}, 0xFFC02020u));
        QVERIFY(paper.LayerAt(0)->Store->FillRect({40, 40, 4, 4}, 0xFFC02020u));
        std::optional<SColourRange> picked;
        form_->askColourRange = [&picked](const TPaper& p) -> std::optional<SColourRange> {
            TFormColorMask dialog(p);
            dialog.show();
            QTest::mouseClick(dialog.Preview(), Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
            if (dialog.Entries()->count() != 1)
                return std::nullopt;
            dialog.RangeBox()->setValue(30);
            if (!dialog.Debounce().isActive())
                return std::nullopt;
            if (!QTest::qWaitFor([&dialog] { return !dialog.Debounce().isActive(); }, 2000))
                return std::nullopt;
            dialog.SetLook(TFormColorMask::Look::OnBlack);
            dialog.grab().save(harness::ShotPath(QStringLiteral("colour_range.png")));
            QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            if (dialog.result() != QDialog::Accepted)
                return std::nullopt;
            picked = dialog.Range();
            return picked;
        };
        QVERIFY(Trigger("ActSelColorRange"));
        QVERIFY(picked.has_value());
        QCOMPARE(picked->entries.size(), size_t(1));
        QCOMPARE(picked->entries[0].colour, 0xC02020u);
        QCOMPARE(int(picked->entries[0].range), 30);
        const CMaskData& mask = *paper.Masks().CurrentMask();
        QCOMPARE(int(mask.ValueAt(14, 14)), 255);
        QCOMPARE(int(mask.ValueAt(11, 11)), 0);
        QCOMPARE(int(mask.ValueAt(41, 41)), 0);
    }

    void commandsNeedingASelectionStayDisabledWithout()
    {
        QVERIFY(NewWindow());
        for (const char* name : {"ActSelCancel", "ActSelInvert", "ActSelExp1", "ActSelCol1", "ActSelExp",
                                 "ActSelCol2", "ActMaskDel", "ActMaskTrimOut", "ActLyrSel2A"})
            QVERIFY2(!Action(name)->isEnabled(), name);
    }
};

QTEST_MAIN(SelectionCommandsTest)
#include "SelectionCommandsTest.moc"
