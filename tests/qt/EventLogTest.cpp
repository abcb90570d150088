// The event log offscreen: its rows name the steps a sequence of commands
// recorded, the mark follows undo and redo with the redo steps greyed, a
// click undoes or redoes to its row, a new step drops the redo rows, and a
// replayed recording lists as many rows as it has steps.
#include <QAction>
#include <QListView>
#include <QtTest>

#include "support/MainFormHarness.h"
#include "support/TempFolder.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "gui/EventLogModel.h"
#include "gui/TDrawWindow.h"
#include "gui/TEventLogPanel.h"
#include "gui/TMainForm.h"

using namespace morvane;

class EventLogTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    EventLogModel& Model() { return *form_->EventLogPanel()->Model(); }
    QStringList Kinds()
    {
        QStringList kinds;
        for (int row = 0; row < Model().rowCount(); ++row)
            kinds << StepKindName(uint16_t(Model().index(row).data(EventLogModel::KindRole).toInt()));
        return kinds;
    }
    QList<bool> Greyed()
    {
        QList<bool> greyed;
        for (int row = 0; row < Model().rowCount(); ++row)
            greyed << Model().index(row).data(EventLogModel::RedoRole).toBool();
        return greyed;
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void rowsFollowTheHistory()
    {
        harness::AnswerNewDocument(*form_, 80, 60);
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form_->ActiveDrawWindow();
        TPaper& paper = w->Paper();
        for (const char* command : {"ActLyrDup", "ActLyrFillA", "ActImgFlipH"})
            QVERIFY(form_->Run(QString::fromLatin1(command)));
        const int32_t steps = paper.EventManager()->CommittedSteps();
        QCOMPARE(Model().rowCount(), steps);
        QCOMPARE(Kinds().mid(steps - 3),
                 (QStringList{QStringLiteral("DuplicateLayer"), QStringLiteral("SetLayerAlpha"), QStringLiteral("FlipAllH")}));
        QCOMPARE(Model().Current(), steps);
        QVERIFY(form_->Run(QStringLiteral("ActEditUndo")));
        QCOMPARE(Model().Current(), steps - 1);
        QCOMPARE(Greyed().mid(steps - 2), (QList<bool>{false, true}));
        // A click on the first of the three undoes to it, on the last redoes.
        QVERIFY(form_->EventLogPanel()->StepTo(steps - 3));
        QCOMPARE(paper.EventManager()->CommittedSteps(), steps - 2);
        QCOMPARE(Greyed().mid(steps - 3), (QList<bool>{false, true, true}));
        QVERIFY(form_->EventLogPanel()->StepTo(steps - 1));
        QCOMPARE(paper.EventManager()->CommittedSteps(), steps);
        QCOMPARE(Model().rowCount(), steps);
        // A new step after an undo: the redo row goes, the new one comes.
        QVERIFY(form_->Run(QStringLiteral("ActEditUndo")));
        QVERIFY(form_->Run(QStringLiteral("ActLyrInvertA")));
        QCOMPARE(Model().rowCount(), steps);
        QCOMPARE(Kinds().last(), QStringLiteral("InvertAlpha"));
        QVERIFY(!Greyed().contains(true));

        const QStringList live = Kinds();
        const support::TempFolder folder;
        TDrawWindow* replay = harness::Replay(*form_, QString::fromStdString(folder / "log.vd4"));
        QVERIFY(replay);
        form_->UpdateActions();
        QCOMPARE(Model().Paper(), &replay->Paper());
        QCOMPARE(Model().rowCount(), replay->Paper().EventManager()->CommittedSteps());
        // The saved recording closes with its end mark, a step of its own.
        QCOMPARE(Kinds(), live + QStringList{QStringLiteral("EndMark")});
        QVERIFY(form_->EventLogPanel()->grab().save(harness::ShotPath(QStringLiteral("event_log_panel.png"))));
    }
};

QTEST_MAIN(EventLogTest)
#include "EventLogTest.moc"
