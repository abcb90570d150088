// The end of a viewer run: the code goes to the -W descriptor after the -T
// delay, once, with the marker of a failed start, and a delay past what the
// timer holds is bounded; the viewer's main window reports how its replay
// ended and takes no edits.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <climits>

#include "app/CommandLine.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "files/EventContainer.h"
#include "gui/DesktopStart.h"
#include "gui/QtViewerReport.h"

#include "support/MainFormHarness.h"

using namespace morvane;

namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { QVERIFY(::pipe2(fds, O_NONBLOCK) == 0); }
    ~Pipe()
    {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    QByteArray Read() const
    {
        char buffer[64];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
    }
};

} // namespace

class ViewerReportTest : public QObject {
    Q_OBJECT

private slots:
    void CodeIsReportedOnceAfterTheDelay()
    {
        QTemporaryDir dir;
        Pipe pipe;
        CommandLine line;
        line.renderFlag = line.viewerFlag = true;
        line.files = {dir.filePath("demo.vd4").toStdString()};
        line.notifyHandle = pipe.fds[1];
        line.delaySeconds = 1;
        QtViewerReport report(line);
        std::vector<int> reported;
        report.onReported = [&](int code) { reported.push_back(code); };
        QElapsedTimer clock;
        clock.start();
        report.Finish(kViewerDone);
        report.Finish(kRenderCannotOpen);
        QTest::qWait(300);
        QVERIFY(reported.empty());
        QTRY_COMPARE_WITH_TIMEOUT(reported, std::vector<int>{kViewerDone}, 3000);
        QVERIFY(clock.elapsed() >= 1000);
        QCOMPARE(pipe.Read(), QByteArray("13\n"));
        QTest::qWait(50);
        QCOMPARE(reported.size(), size_t(1));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void FailedStartWritesItsMarker()
    {
        QTemporaryDir dir;
        CommandLine line;
        line.files = {"/nowhere/demo.vd4"};
        line.outputFolder = dir.path().toStdString();
        QtViewerReport report(line);
        int reported = 0;
        report.onReported = [&](int code) { reported = code; };
        report.Finish(kRenderProtected);
        QTRY_COMPARE(reported, int(kRenderProtected));
        QVERIFY(QFile::exists(dir.filePath("demo.prt")));
    }

    // The main window of a viewer run: a normal run's title, windows that
    // take no edits, and the code of the replay's end: 13 after a clean
    // one, the failure's 10 after one that stopped short of its end mark.
    void ViewerFormReportsHowTheReplayEnded()
    {
        QTemporaryDir dir;
        const QString endless = dir.filePath(QStringLiteral("endless.vd4"));
        {
            // A recording written as it stands, without the end mark a save adds.
            RecordingDocumentHost host;
            TPaper paper(host);
            QVERIFY(paper.NewPicture("p", false, false, 72, 64, 48, 64, 48));
            EventContainerInfo info;
            info.length = uint32_t(paper.EventManager()->CommittedLength());
            QCOMPARE(WriteEventStream(endless.toStdString(), paper, *paper.EventManager(), info, false, true), EventFileCode::Ok);
        }
        harness::MainWindowSession session;
        QVERIFY(session.Start());
        TMainForm& form = *session.form;
        const QString title = form.windowTitle();
        struct Case {
            QString file;
            int code;
        };
        for (const Case& c :
             {Case{QStringLiteral(MORVANE_DEMO), kViewerDone}, Case{endless, kRenderCannotOpen}}) {
            CommandLine line;
            line.renderFlag = line.viewerFlag = true;
            line.files = {c.file.toStdString()};
            line.outputFolder = dir.path().toStdString();
            QtViewerReport report(line);
            int reported = 0;
            report.onReported = [&](int code) { reported = code; };
            PrepareViewerForm(form, report);
            QCOMPARE(form.windowTitle(), title);
            TDrawWindow* w = form.OpenEventFile(c.file, false);
            QVERIFY(w);
            harness::PlayToEnd(form, *w);
            QTRY_COMPARE(reported, c.code);
            QVERIFY(!w->CanEditNow());
            form.replayEnded = {};
        }
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.bad")}),
                 QStringList{QStringLiteral("endless.bad")});

        // A new picture in a viewer takes no stroke.
        harness::AnswerNewDocument(form, 64, 48);
        QVERIFY(form.Run(QStringLiteral("ActFileNew")));
        TDrawWindow* fresh = form.ActiveDrawWindow();
        QVERIFY(fresh);
        QTest::qWait(1);
        const uint64_t blank = harness::Checksum(fresh->Paper().Composite());
        QTest::mousePress(fresh, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(fresh, QPoint(30, 20));
        QTest::mouseRelease(fresh, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(harness::Checksum(fresh->Paper().Composite()), blank);
        QVERIFY(!fresh->CanEditNow());
    }

    void DelayIsBounded_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("ms");
        QTest::newRow("negative") << -5 << 0;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("five") << 5 << 5000;
        QTest::newRow("beyond int milliseconds") << INT_MAX << QtViewerReport::kMaxDelaySeconds * 1000;
    }
    void DelayIsBounded()
    {
        QFETCH(int, seconds);
        QFETCH(int, ms);
        CommandLine line;
        line.delaySeconds = seconds;
        QCOMPARE(QtViewerReport(line).DelayMs(), ms);
    }
};

QTEST_MAIN(ViewerReportTest)
#include "ViewerReportTest.moc"
