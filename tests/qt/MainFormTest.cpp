// The main window offscreen: painting with the mouse records a stroke that
// replays to the same pixels, undo and redo by their keys, the pen on the
// active document only, the demo recording played to its end with its
// report, the protected save, a stop answered Yes, and the handlers that
// match the command table.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointingDevice>
#include <QPushButton>
#include <QTabletEvent>
#include <QTemporaryDir>
#include <QtTest>

#include "app/CAppProfile.h"
#include "app/CommandTable.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/PlaybackReport.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormEventReport.h"
#include "gui/TMainForm.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/TMTC.h"

#include "support/MainFormHarness.h"

using namespace morvane;
using harness::Checksum;

namespace {

constexpr int32_t kNewWidth = 800, kNewHeight = 600;

// Named by the build: a source path taken from __FILE__ may be relative to
// wherever the compiler ran.
QString DemoPath()
{
    return QStringLiteral(MORVANE_DEMO);
}

// The same file replayed without a window, as the render mode does; the
// steps it ran, counted as the report counts them.
uint64_t HeadlessChecksum(const QString& path, int32_t& steps)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    PaperPlaybackTarget target(paper);
    CEventPlayer player(*paper.EventManager(), target);
    if (player.Open(path.toStdString(), PlaybackMode::Interactive) != CEventPlayer::kOpenOk)
        return 0;
    while (player.Tick() == PlayerTick::Continue) {
    }
    steps = player.ExecutedSteps() + 1;
    player.Close();
    return Checksum(paper.Composite());
}

const QPointingDevice& Pen()
{
    static const QPointingDevice pen(
        "pen", 2001, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
        QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    return pen;
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<CAppProfile>& profile_ = session_.profile;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    // Ticks the playback timers' work until no window plays (bounded).
    void PlayToEnd()
    {
        for (int i = 0; i < 100000 && form_->DrawWindows().size() && form_->ActiveDrawWindow()->Playing(); ++i)
            form_->TickPlayback();
    }
    void Drag(QWidget* w, QPoint from, QPoint to)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 8; ++i)
            QTest::mouseMove(w, from + (to - from) * i / 8);
        QTest::mouseRelease(w, Qt::LeftButton, {}, to);
    }

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        harness::AnswerNewDocument(*form_, kNewWidth, kNewHeight);
    }
    void cleanup() { session_.Stop(); }

    void documentCommandsNeedADocument()
    {
        for (const char* name : {"ActEditUndo", "ActEditRedo", "ActFileClose", "ActEventSaveAs", "ActEventStop"}) {
            QVERIFY2(!form_->Action(QString::fromUtf8(name))->isEnabled(), name);
            QVERIFY2(!form_->Run(QString::fromUtf8(name)), name);
        }
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(form_->DrawWindows().empty());
    }

    void mouseStrokeUndoesAndReplays()
    {
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form_->ActiveDrawWindow();
        QVERIFY(w);
        QCOMPARE(w->Paper().Width, kNewWidth);
        QTest::qWait(1);
        w->Paper().RenderAll(false);
        const uint64_t blank = Checksum(w->Paper().Composite());

        const QPoint from(40, 40), to(200, 120);
        Drag(w, from, to);
        const uint64_t painted = Checksum(w->Paper().Composite());
        QVERIFY(painted != blank);
        // The window shows the stroke where the mouse went.
        const QImage shown = w->grab().toImage();
        const QPoint mid = (from + to) / 2;
        QVERIFY(qGray(shown.pixel(mid)) < 200);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stroke.vd4"));
        QVERIFY(form_->SaveEventFile(path));

        QVERIFY(form_->Action(QStringLiteral("ActEditUndo"))->isEnabled());
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Checksum(w->Paper().Composite()), blank);
        QTest::keyClick(form_.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Checksum(w->Paper().Composite()), painted);

        TDrawWindow* replay = form_->OpenEventFile(path, false);
        QVERIFY(replay);
        PlayToEnd();
        QVERIFY(!replay->Playing());
        QCOMPARE(Checksum(replay->Paper().Composite()), painted);
    }

    // A pen stroke on the active document paints and undoes as one step.
    void tabletStrokePaintsAndUndoes()
    {
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form_->ActiveDrawWindow();
        QVERIFY(w);
        form_->activateWindow();
        QTest::qWait(1);
        w->Paper().RenderAll(false);
        const uint64_t blank = Checksum(w->Paper().Composite());
        const auto send = [&](QEvent::Type type, QPointF at, qreal pressure) {
            QTabletEvent event(type, &Pen(), at, w->mapToGlobal(at), pressure, 0, 0, 0, 0, 0, Qt::NoModifier,
                               type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton,
                               type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton);
            QApplication::sendEvent(w, &event);
        };
        send(QEvent::TabletPress, {40, 40}, 0.9);
        for (int i = 1; i <= 8; ++i)
            send(QEvent::TabletMove, {40.0 + 20.0 * i, 40.0 + 8.0 * i}, 0.9);
        send(QEvent::TabletRelease, {200, 104}, 0);
        const uint64_t painted = Checksum(w->Paper().Composite());
        QVERIFY(painted != blank);
        // The release ended the stroke: undo takes it back whole.
        QVERIFY(!w->Paper().IsStroking());
        QVERIFY(form_->Action(QStringLiteral("ActEditUndo"))->isEnabled());
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Checksum(w->Paper().Composite()), blank);
    }

    // A pen pressed on a document window that is not the active one starts
    // nothing there (nor in the active one); on the active one it paints.
    void tabletStrokeStartsOnlyOnTheActiveDocument()
    {
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* behind = form_->ActiveDrawWindow();
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* active = form_->ActiveDrawWindow();
        QVERIFY(behind && active && behind != active);
        form_->activateWindow();
        QTest::qWait(1);
        for (TDrawWindow* w : {behind, active}) {
            QTabletEvent press(QEvent::TabletPress, &Pen(), {40, 40}, w->mapToGlobal(QPointF(40, 40)), 0.9, 0,
                               0, 0, 0, 0, Qt::NoModifier, Qt::LeftButton, Qt::LeftButton);
            QApplication::sendEvent(w, &press);
        }
        QVERIFY(!behind->Paper().IsStroking());
        QVERIFY(active->Paper().IsStroking());
        QTabletEvent release(QEvent::TabletRelease, &Pen(), {60, 50}, active->mapToGlobal(QPointF(60, 50)), 0,
                             0, 0, 0, 0, 0, Qt::NoModifier, Qt::LeftButton, Qt::NoButton);
        QApplication::sendEvent(active, &release);
        QVERIFY(!active->Paper().IsStroking());
    }

    // Ctrl+F4 reaches the close command (the sub-window's own key is gone);
    // a changed document asks, and Cancel keeps it open.
    void closeKeyAsksForAChangedDocument()
    {
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form_->ActiveDrawWindow();
        Drag(w, {30, 30}, {90, 60});
        QVERIFY(w->Modified());
        notifier_.script = {Answer::Cancel, Answer::No};
        QTest::keyClick(form_.get(), Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(notifier_.messages.back().text, std::string("\"無題\" は変更されています。\r保存しますか？"));
        QCOMPARE(form_->DrawWindows().size(), size_t(1));
        QTest::keyClick(form_.get(), Qt::Key_F4, Qt::ControlModifier);
        QTRY_VERIFY(form_->DrawWindows().empty());
    }

    void demoPlaysToItsEndWithAReport()
    {
        int32_t steps = 0;
        const uint64_t headless = HeadlessChecksum(DemoPath(), steps);
        QVERIFY(steps > 10);
        TDrawWindow* w = form_->OpenEventFile(DemoPath(), false);
        QVERIFY2(w, notifier_.messages.empty() ? "" : notifier_.messages.back().text.c_str());
        QVERIFY(form_->Action(QStringLiteral("ActEventStop"))->isEnabled());
        QTemporaryDir dir;
        QVERIFY(!form_->SaveEventFile(dir.filePath(QStringLiteral("during.vd4"))));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("during.vd4"))));
        PlayToEnd();
        QVERIFY(!w->Playing());
        QCOMPARE(Checksum(w->Paper().Composite()), headless);

        TFormEventReport* report = form_->LastReport();
        QVERIFY(report);
        QCOMPARE(report->windowTitle(), QStringLiteral("再生結果"));
        const QStringList lines = report->Lines();
        QCOMPARE(lines.front(), QStringLiteral("イベントの再生が終了しました"));
        QCOMPARE(lines.back(), QString::fromStdString(ReportStepLine(steps)));
        QVERIFY(report->findChild<QPushButton*>(QStringLiteral("closeButton")));

        // Pictures of the main window at 1:1 after the replay and of the
        // report, for a person to look at: the replayed picture and the
        // thumbnails are in them.
        w->SetZoom({1, 1});
        QTest::qWait(20);
        const QImage shot = form_->grab().toImage();
        QVERIFY(shot.save(harness::ShotPath(QStringLiteral("main_demo.png"))));
        QCOMPARE(harness::CompositeMismatches(shot, w->mapTo(form_.get(), QPoint(0, 0)), *w), int64_t(0));
        const QImage reportShot = report->grab().toImage();
        QVERIFY(reportShot.save(harness::ShotPath(QStringLiteral("report_demo.png"))));
        QCOMPARE(harness::BlankThumbnails(reportShot, *report, 10), QStringList());
    }

    // The save command's dialog offers protection: ticked, the file carries
    // the protection flag and the live stream does not; the settings' mark
    // reaches the container's flags either way.
    void saveCommandWritesTheProtectedFormWhenAsked()
    {
        QVERIFY(session_.Start([](CAppProfile& p) { p.fileIO.eventOptionFlag = true; }));
        harness::AnswerNewDocument(*form_, 200, 150);
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form_->ActiveDrawWindow();
        QVERIFY(w);
        Drag(w, {20, 20}, {120, 90});
        QTemporaryDir dir;
        for (const bool protect : {true, false}) {
            const QString path = dir.filePath(protect ? QStringLiteral("p.vd4") : QStringLiteral("u.vd4"));
            bool offered = false;
            form_->askSavePath = [&](bool* answer) {
                offered = answer != nullptr;
                if (answer)
                    *answer = protect;
                return path;
            };
            QVERIFY(form_->Run(QStringLiteral("ActEventSaveAs")));
            QVERIFY(offered);
            RecordingDocumentHost host;
            TPaper saved(host);
            QCOMPARE(LoadEventFile(path.toStdString(), saved), EventFileCode::Ok);
            bool found = false;
            QVERIFY(saved.EventManager()->QueryFileFlag(CEventMngr::kProtectionFlag, found));
            QCOMPARE(found, protect);
            QCOMPARE(saved.EventManager()->EventFlags, uint16_t(0x5000));
            QVERIFY(w->Paper().EventManager()->QueryFileFlag(CEventMngr::kProtectionFlag, found));
            QVERIFY(!found);
        }
        QVERIFY(notifier_.messages.empty());

        // The dialog itself: the box is there, unticked, only where offered.
        std::unique_ptr<QFileDialog> dialog(NewEventSaveDialog(form_.get(), true));
        auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("protectBox"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("保護付きイベント(&V)"));
        QVERIFY(!box->isChecked());
        dialog->show();
        QTest::qWait(20);
        QVERIFY(dialog->grab().save(harness::ShotPath(QStringLiteral("event_save_dialog.png"))));
        dialog.reset(NewEventSaveDialog(form_.get(), false));
        QVERIFY(!dialog->findChild<QCheckBox*>(QStringLiteral("protectBox")));
    }

    void stopAsksAndYesInterrupts_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void stopAsksAndYesInterrupts()
    {
        QFETCH(bool, yes);
        TDrawWindow* w = form_->OpenEventFile(DemoPath(), false);
        QVERIFY(w);
        form_->TickPlayback();
        notifier_.script.push_back(yes ? Answer::Yes : Answer::No);
        QVERIFY(form_->Run(QStringLiteral("ActEventStop")));
        QCOMPARE(notifier_.messages.back().text, std::string("イベント再生の途中ですが、再生を終了しますか?"));
        form_->TickPlayback();
        QCOMPARE(w->Playing(), !yes);
        if (yes)
            QCOMPARE(form_->LastReport()->Lines().front(), QStringLiteral("イベントの再生を中断しました"));
        else
            QVERIFY(!form_->LastReport());
    }

    void pauseHoldsAndStepRunsOne()
    {
        TDrawWindow* w = form_->OpenEventFile(DemoPath(), true);
        QVERIFY(w && w->Paused());
        const uint64_t before = Checksum(w->Paper().Composite());
        for (int i = 0; i < 5; ++i)
            form_->TickPlayback();
        QCOMPARE(Checksum(w->Paper().Composite()), before);
        for (int i = 0; i < 3; ++i)
            QVERIFY(form_->Run(QStringLiteral("ActEventStep")));
        QVERIFY(w->Paused());
        QVERIFY(Checksum(w->Paper().Composite()) != before);
    }

    void speedItemsSetTheWaitAndItsCheckMark()
    {
        const int32_t waits[] = {0, 1, 4, 8, 16, 32};
        for (int item = 0; item < 6; ++item) {
            QVERIFY(form_->Run(QStringLiteral("ActEventWait%1").arg(item)));
            QCOMPARE(form_->EventWait(), waits[item]);
            for (int other = 0; other < 6; ++other)
                QCOMPARE(form_->Action(QStringLiteral("ActEventWait%1").arg(other))->isChecked(), other == item);
        }
    }

    // The window's handlers and the command table name the same commands:
    // no handler waits under a name no menu or key reaches, and no command
    // a user can pick does nothing, with no document, an editable one, or a
    // recording playing.
    void handlersAndTheCommandTableAgree()
    {
        std::string unknown;
        for (const std::string& name : form_->UnknownCommands())
            unknown += name + " ";
        QVERIFY2(unknown.empty(), ("handled but not in the table: " + unknown).c_str());
        const auto everyEnabledCommandIsHandled = [this](const char* state) {
            form_->UpdateActions();
            int enabled = 0;
            for (const Command& command : Commands()) {
                const std::string name(command.name);
                if (!form_->Action(QString::fromStdString(name))->isEnabled())
                    continue;
                ++enabled;
                QVERIFY2(form_->Handles(name), (name + " is enabled without a handler, " + state).c_str());
            }
            QVERIFY2(enabled > 0, state);
        };
        everyEnabledCommandIsHandled("no document");
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        everyEnabledCommandIsHandled("a new document");
        QVERIFY(form_->OpenEventFile(DemoPath(), true));
        everyEnabledCommandIsHandled("the demo playing");
    }

    void unknownCommandNameFailsLoudly()
    {
        CapturingDiagnosticSink sink;
        ScopedDiagnostics capture(sink);
        bool ran = false;
        form_->Handle("ActNoSuchCommand", [&ran] { ran = true; });
        QCOMPARE(sink.lines, std::vector<std::string>{
                                 "TMainForm::Handle: no command named ActNoSuchCommand in the command table"});
        QCOMPARE(form_->UnknownCommands(), std::vector<std::string>{"ActNoSuchCommand"});
        QVERIFY(!form_->Handles("ActNoSuchCommand"));
        QVERIFY(!form_->Run(QStringLiteral("ActNoSuchCommand")));
        QVERIFY(!ran);
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
