// The event panel in the tool dock offscreen: the progress bar's texts and
// click cycle, the panel following the active window's pause state and
// progress, the protected title, and Enter as the pause key.
#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <climits>

#include "support/MainFormHarness.h"
#include "app/CAppProfile.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "events/PlaybackReport.h"
#include "gui/TDrawWindow.h"
#include "gui/TEventPanel.h"
#include "gui/TFormEventReport.h"
#include "gui/TGraphicProgressBar.h"
#include "gui/TMainForm.h"
#include "platform/UserNotifier.h"

using namespace morvane;

using harness::Checksum;

namespace {

QString DemoPath()
{
    return QStringLiteral(MORVANE_DEMO);
}

} // namespace

class PlaybackPanelTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<CAppProfile>& profile_ = session_.profile;
    std::unique_ptr<TMainForm>& form_ = session_.form;
    QTemporaryDir dir_;

    TEventPanel* Panel() const { return form_->EventPanel(); }
    QToolButton* Button(const char* name) const
    {
        return Panel()->findChild<QToolButton*>(QString::fromUtf8(name));
    }
    QAction* MenuItem(const QString& caption) const
    {
        for (QAction* item : Panel()->Menu()->actions())
            if (item->text() == caption)
                return item;
        return nullptr;
    }
    QString CountText(TGraphicProgressBar* bar)
    {
        while (bar->Mode() != ProgressMode::Count)
            QTest::mouseClick(bar, Qt::LeftButton);
        return bar->Text();
    }
    void PlayToEnd(TDrawWindow* w) { harness::PlayToEnd(*form_, *w); }

    // A recording of strokes drawn with the mouse into a window of its own.
    QString Record(const QString& name, bool isProtected)
    {
        TDrawWindow w(form_->Tools(), InputSettingsFrom(*profile_));
        if (!w.NewDocument(240, 160, "rec"))
            return {};
        w.resize(240, 160);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            return {};
        for (int s = 0; s < 3; ++s) {
            const QPoint from(20 + 30 * s, 20), to(60 + 30 * s, 130);
            QTest::mousePress(&w, Qt::LeftButton, {}, from);
            for (int i = 1; i <= 6; ++i)
                QTest::mouseMove(&w, from + (to - from) * i / 6);
            QTest::mouseRelease(&w, Qt::LeftButton, {}, to);
        }
        const QString path = dir_.filePath(name);
        const bool saved =
            isProtected ? SaveProtectedEventFile(path.toStdString(), w.Paper(), EventSaveRequest{}) == EventFileCode::Ok
                        : w.SaveRecording(path.toStdString()) == EventFileCode::Ok;
        return saved ? path : QString();
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void progressTextsAndClickCycle_data()
    {
        QTest::addColumn<int>("executed");
        QTest::addColumn<int>("total");
        QTest::addColumn<uint>("elapsed");
        QTest::addColumn<QStringList>("texts"); // percentage, count, elapsed
        QTest::addColumn<double>("fraction");
        QTest::newRow("a quarter") << 1 << 4 << 3723004u
                                   << QStringList{"25.00%", "1 / 4", "経過: 1:02:03.004"} << 0.25;
        QTest::newRow("no steps") << 5 << 0 << 0u << QStringList{"0.00%", "5 / 0", "経過: 0:00:00.000"}
                                  << 0.0;
        QTest::newRow("past the total")
            << 7 << 5 << 59999u << QStringList{"100.00%", "7 / 5", "経過: 0:00:59.999"} << 1.0;
        QTest::newRow("huge") << INT_MAX / 2 << INT_MAX << 0u
                              << QStringList{"50.00%", QString("%1 / %2").arg(INT_MAX / 2).arg(INT_MAX),
                                             "経過: 0:00:00.000"}
                              << 0.5;
    }
    void progressTextsAndClickCycle()
    {
        QFETCH(int, executed);
        QFETCH(int, total);
        QFETCH(uint, elapsed);
        QFETCH(QStringList, texts);
        QFETCH(double, fraction);
        TGraphicProgressBar bar;
        bar.resize(200, 24);
        QVERIFY(bar.Text().isEmpty());
        bar.SetProgress(executed, total, elapsed);
        QVERIFY(qAbs(bar.Fraction() - fraction) < 1e-6);
        // A right click changes nothing; left clicks cycle back to the start.
        QTest::mouseClick(&bar, Qt::RightButton);
        for (const QString& text : texts + QStringList{texts.front()}) {
            QCOMPARE(bar.Text(), text);
            QTest::mouseClick(&bar, Qt::LeftButton);
        }
        bar.Clear();
        QVERIFY(bar.Text().isEmpty());
        QCOMPARE(bar.Fraction(), 0.0);
    }

    void panelFollowsPauseAndTheActiveWindow()
    {
        auto* dock = form_->findChild<QDockWidget*>(QStringLiteral("toolDock"));
        QVERIFY(dock && dock->isVisible());
        QCOMPARE(dock->windowTitle(), QStringLiteral("ツール"));
        QVERIFY(dock->isAncestorOf(Panel()));
        // Nothing plays: nothing to press, an empty bar.
        for (const char* name : {"pauseButton", "stopButton", "stepButton"})
            QVERIFY2(!Button(name)->isEnabled(), name);
        QVERIFY(Panel()->Bar()->Text().isEmpty());

        TDrawWindow* w = form_->OpenEventFile(DemoPath(), true);
        QVERIFY(w && w->Paused());
        QCOMPARE(Panel()->title(), QStringLiteral("イベント - 一時停止"));
        QVERIFY(Button("pauseButton")->isEnabled() && Button("pauseButton")->isChecked());
        QVERIFY(MenuItem(QStringLiteral("一時停止(&P)"))->isChecked());

        QTest::mouseClick(Button("pauseButton"), Qt::LeftButton);
        QVERIFY(!w->Paused());
        QCOMPARE(Panel()->title(), QStringLiteral("イベント - 再生"));
        QVERIFY(!Button("pauseButton")->isChecked());
        MenuItem(QStringLiteral("一時停止(&P)"))->trigger();
        QVERIFY(w->Paused());
        QCOMPARE(Panel()->title(), QStringLiteral("イベント - 一時停止"));

        // The demo's first steps set layers up: a few steps reach its pixels.
        const uint64_t before = Checksum(w->Paper().Composite());
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(Button("stepButton"), Qt::LeftButton);
            QVERIFY(w->Paused());
        }
        QVERIFY(Checksum(w->Paper().Composite()) != before);

        // The speed items run the main menu's commands and show its check.
        MenuItem(QStringLiteral("&3"))->trigger();
        QCOMPARE(form_->EventWait(), 8);
        emit Panel()->Menu()->aboutToShow();
        const QStringList speeds = {QStringLiteral("ウェイトなし(&N)"), "&1", "&2", "&3", "&4", "&5"};
        for (int item = 0; item < 6; ++item)
            QCOMPARE(MenuItem(speeds[item])->isChecked(), item == 3);

        notifier_.script.push_back(Answer::Yes);
        MenuItem(QStringLiteral("再生中止(&D)"))->trigger();
        QCOMPARE(notifier_.messages.back().text,
                 std::string("イベント再生の途中ですが、再生を終了しますか?"));
        // The stop lands on the next tick the wait lets through.
        QTRY_VERIFY(!w->Playing());
        QVERIFY(!Button("pauseButton")->isEnabled());
        QCOMPARE(Panel()->title(), QStringLiteral("イベント - 再生"));
    }

    // The bar ends on the report's step count, and shows each window's own
    // figures as the windows take turns.
    void recordingPlaysToTheFinalCount()
    {
        const QString path = Record(QStringLiteral("strokes.vd4"), false);
        QVERIFY(!path.isEmpty());
        TDrawWindow* first = form_->OpenEventFile(path, false);
        QVERIFY(first);
        PlayToEnd(first);
        QVERIFY(!first->Playing());
        const QString steps = form_->LastReport()->Lines().back();
        QCOMPARE(steps, QStringLiteral("5 ステップ"));
        TGraphicProgressBar* bar = Panel()->Bar();
        QCOMPARE(bar->Text(), QStringLiteral("100.00%"));
        QCOMPARE(CountText(bar), QStringLiteral("5 / 5"));

        TDrawWindow* second = form_->OpenEventFile(path, true);
        QVERIFY(second);
        QVERIFY(Button("pauseButton")->isEnabled());
        QVERIFY(bar->Text().isEmpty());
        auto* area = form_->findChild<QMdiArea*>();
        area->setActiveSubWindow(area->subWindowList().front());
        QCOMPARE(form_->ActiveDrawWindow(), first);
        QCOMPARE(bar->Text(), QStringLiteral("5 / 5"));
        QVERIFY(!Button("pauseButton")->isEnabled());
    }

    void protectedReplayIsTitledSo()
    {
        for (const bool isProtected : {false, true}) {
            const QString name = isProtected ? QStringLiteral("locked.vd4") : QStringLiteral("open.vd4");
            const QString path = Record(name, isProtected);
            QVERIFY(!path.isEmpty());
            TDrawWindow* w = form_->OpenEventFile(path, false);
            QVERIFY(w);
            // The placeholder is where the window's modified mark shows.
            const QString title = (isProtected ? name + QStringLiteral("( 保護 )") : name) + QStringLiteral("[*]");
            QCOMPARE(w->windowTitle(), title);
            QCOMPARE(form_->findChild<QMdiArea*>()->activeSubWindow()->windowTitle(), title);
            PlayToEnd(w);
            QCOMPARE(w->windowTitle(), title);
        }
    }

    void enterTogglesPauseAndCtrlEnterSteps()
    {
        TDrawWindow* w = form_->OpenEventFile(DemoPath(), false);
        QVERIFY(w);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QVERIFY(w->Paused());
        QCOMPARE(Panel()->title(), QStringLiteral("イベント - 一時停止"));
        QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!w->Paused());
        QTest::keyClick(w, Qt::Key_Return);
        // Ctrl+Enter is the step: it stays paused and moves on.
        const uint64_t before = Checksum(w->Paper().Composite());
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(w, Qt::Key_Return, Qt::ControlModifier);
            QVERIFY(w->Paused());
        }
        QVERIFY(Checksum(w->Paper().Composite()) != before);
    }

    // A picture of the main window with the dock while the demo plays, for a
    // person to look at.
    void grabWhilePlaying()
    {
        form_->SetEventWait(4);
        TDrawWindow* w = form_->OpenEventFile(DemoPath(), false);
        QVERIFY(w);
        QElapsedTimer timer;
        timer.start();
        while (w->Playing() && !w->LastProgress().known && timer.elapsed() < 5000) {
            form_->TickPlayback();
            QTest::qWait(1);
        }
        QVERIFY(w->LastProgress().known);
        QVERIFY(!Panel()->Bar()->Text().isEmpty());
        QVERIFY(form_->grab().save(harness::ShotPath(QStringLiteral("playback-panel.png"))));
    }
};

QTEST_MAIN(PlaybackPanelTest)
#include "PlaybackPanelTest.moc"
