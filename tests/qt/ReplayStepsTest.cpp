// A replay window moved through its steps with the event panel's slider and
// buttons, and painting on from a step with このステップから描き続ける.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <vector>

#include "support/MainFormHarness.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TEventPanel.h"
#include "gui/TFormEventReport.h"
#include "gui/TMainForm.h"
#include "platform/UserNotifier.h"

using namespace morvane;

using harness::Checksum;

class ReplayStepsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<TMainForm>& form_ = session_.form;
    QTemporaryDir dir_;

    TEventPanel* Panel() const { return form_->EventPanel(); }
    QSlider* Slider() const { return Panel()->StepSlider(); }
    QToolButton* Button(const char* name) const
    {
        return Panel()->findChild<QToolButton*>(QString::fromUtf8(name));
    }
    // The composite after each step of a straight replay, step 1 first,
    // stepped in a window of its own, which then closes.
    std::vector<uint64_t> StraightSteps(const QString& path)
    {
        std::vector<uint64_t> sums;
        TDrawWindow* w = form_->OpenEventFile(path, true);
        if (!w)
            return sums;
        sums.push_back(Checksum(w->Paper().Composite()));
        while (w->Playing()) {
            w->StepPlayback();
            if (w->Playing() || sums.size() < size_t(w->ReplaySteps()))
                sums.push_back(Checksum(w->Paper().Composite()));
        }
        form_->Run(QStringLiteral("ActFileClose"));
        return sums;
    }
    // A drag of the slider's handle to step, released there.
    void DragTo(int step)
    {
        Slider()->setSliderDown(true);
        Slider()->setSliderPosition(step);
        Slider()->setSliderDown(false);
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void sliderShowsEachStepAndPlayingOnEndsTheSame()
    {
        const QString demo = QStringLiteral(MORVANE_DEMO);
        const std::vector<uint64_t> straight = StraightSteps(demo);
        QVERIFY(straight.size() > 10);
        const int total = int(straight.size());
        TDrawWindow* w = form_->OpenEventFile(demo, false);
        QVERIFY(w);
        harness::PlayToEnd(*form_, *w);
        QCOMPARE(Checksum(w->Paper().Composite()), straight.back());
        QVERIFY(Slider()->isEnabled());
        QCOMPARE(Slider()->maximum(), total);
        QCOMPARE(Slider()->value(), total);

        // While dragged the label follows; the picture moves on release.
        const int k = total / 2;
        Slider()->setSliderDown(true);
        Slider()->setSliderPosition(k);
        QCOMPARE(Panel()->StepLabel()->text(), QString::asprintf("ステップ %d / %d", k, total));
        QCOMPARE(Checksum(w->Paper().Composite()), straight.back());
        Slider()->setSliderDown(false);
        QCOMPARE(w->ReplayStep(), k);
        QCOMPARE(Checksum(w->Paper().Composite()), straight[size_t(k - 1)]);

        QTest::mouseClick(Button("stepBackButton"), Qt::LeftButton);
        QCOMPARE(Slider()->value(), k - 1);
        QCOMPARE(Checksum(w->Paper().Composite()), straight[size_t(k - 2)]);
        Slider()->setFocus();
        QTest::keyClick(Slider(), Qt::Key_Right);
        QCOMPARE(w->ReplayStep(), k);
        QCOMPARE(Checksum(w->Paper().Composite()), straight[size_t(k - 1)]);
        QTest::mouseClick(Button("firstStepButton"), Qt::LeftButton);
        QCOMPARE(w->ReplayStep(), 1);
        QCOMPARE(Checksum(w->Paper().Composite()), straight.front());

        // Paced play goes on from the step shown to the same end.
        DragTo(k);
        QVERIFY(w->Playing());
        w->SetPaused(false);
        harness::PlayToEnd(*form_, *w);
        QCOMPARE(Checksum(w->Paper().Composite()), straight.back());
        QCOMPARE(Slider()->value(), total);
    }

    // Continued at step k, painted on: undo stops at k, and the saved
    // recording replays to the picture painted.
    void continueAtAStepPaintsOnAndUndoStopsThere()
    {
        const QString demo = QStringLiteral(MORVANE_DEMO);
        const std::vector<uint64_t> straight = StraightSteps(demo);
        const int total = int(straight.size());
        TDrawWindow* w = form_->OpenEventFile(demo, true);
        QVERIFY(w);
        QAction* resume = form_->Action(QStringLiteral("ActEventContinue"));
        const int k = total - 4;
        DragTo(k);
        form_->UpdateActions();
        QVERIFY(resume->isEnabled());
        notifier_.script.push_back(Answer::No);
        resume->trigger();
        QCOMPARE(notifier_.messages.back().text,
                 QString::asprintf("ステップ %d 以降の %d ステップは破棄されます。ここから描き続けますか?", k + 1,
                                   total - k)
                     .toStdString());
        QVERIFY(w->Playing());
        notifier_.script.push_back(Answer::Yes);
        resume->trigger();
        QVERIFY(!w->Playing());
        QVERIFY(w->CanEditNow());
        QVERIFY(w->isWindowModified());
        form_->UpdateActions();
        QVERIFY(!resume->isEnabled());
        QVERIFY(!Slider()->isEnabled());

        w->resize(400, 300);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        harness::Drag(w, harness::WindowPointOf(*w, 10, 10), harness::WindowPointOf(*w, 60, 40));
        const uint64_t painted = Checksum(w->Paper().Composite());
        QVERIFY(painted != straight[size_t(k - 1)]);

        TDrawWindow* replay = harness::Replay(*form_, dir_.filePath(QStringLiteral("continued.vd4")));
        QVERIFY(replay && replay != w);
        QCOMPARE(Checksum(replay->Paper().Composite()), painted);
        QVERIFY(form_->LastReport()->Lines().join('\n').contains(QStringLiteral("continued.vd4 : 追記可")));

        auto* area = form_->findChild<QMdiArea*>();
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
        QCOMPARE(form_->ActiveDrawWindow(), w);
        QVERIFY(w->Undo());
        QCOMPARE(Checksum(w->Paper().Composite()), straight[size_t(k - 1)]);
        QVERIFY(!w->CanUndo());
    }

    // A protected replay never offers it, and its report says so.
    void protectedReplayCannotContinue()
    {
        const QString locked = dir_.filePath(QStringLiteral("locked.vd4"));
        TDrawWindow* source = form_->OpenEventFile(QStringLiteral(MORVANE_DEMO), false);
        QVERIFY(source);
        harness::PlayToEnd(*form_, *source);
        QVERIFY(form_->LastReport()->Lines().join('\n').contains(QStringLiteral(" : 追記可")));
        {
            SilentDocumentHost host;
            TPaper paper(host);
            QVERIFY(paper.NewPicture("locked", false, false, 72, 64, 48, 64, 48));
            QVERIFY(SaveProtectedEventFile(locked.toStdString(), paper, {}) == EventFileCode::Ok);
        }
        TDrawWindow* l = form_->OpenEventFile(locked, true);
        QVERIFY(l);
        form_->UpdateActions();
        QVERIFY(!form_->Action(QStringLiteral("ActEventContinue"))->isEnabled());
        l->SetPaused(false);
        harness::PlayToEnd(*form_, *l);
        QVERIFY(form_->LastReport()->Lines().join('\n').contains(QStringLiteral("locked.vd4 : 追記不可")));
        QVERIFY(!form_->Action(QStringLiteral("ActEventContinue"))->isEnabled());
        QVERIFY(form_->grab().save(harness::ShotPath(QStringLiteral("replay-steps.png"))));
    }
};

QTEST_MAIN(ReplayStepsTest)
#include "ReplayStepsTest.moc"
