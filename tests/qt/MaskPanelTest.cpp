// The mask panel offscreen: make current, move by drag, the buttons,
// properties and the combine menu each run a recorded operation that undoes,
// redoes and replays to the same masks; the list follows the document and
// takes nothing from a player; thumbnails show the mask in the canvas's
// aspect. A picture of the panel goes to the screenshots folder.
#include <QAction>
#include <QDockWidget>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include "support/MainFormHarness.h"
#include "support/TempFolder.h"
#include "document/CMaskMngr.h"
#include "document/TPaper.h"
#include "gui/MaskListModel.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "gui/TMaskPanel.h"

using namespace morvane;

namespace {

constexpr int32_t kWidth = 160, kHeight = 80;

QStringList NamesOf(const MaskListModel& model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.index(row).data().toString();
    return names;
}

} // namespace

class MaskPanelTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    TMaskPanel& Panel() { return *form_->MaskPanel(); }
    MaskListModel& Model() { return *Panel().Model(); }
    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    // Three masks: a rectangle at the left, an ellipse at the right, and an
    // empty one, current.
    TDrawWindow* Picture()
    {
        harness::AnswerNewDocument(*form_, kWidth, kHeight);
        if (!Trigger("ActFileNew"))
            return nullptr;
        TDrawWindow* w = form_->ActiveDrawWindow();
        const bool made = form_->EditPaper([](TPaper& p) {
            return p.SelectRectangle({10, 10}, {60, 70}, CombineMode::Replace) && p.NewMask() &&
                   p.SelectEllipse({70, 5}, {150, 75}, CombineMode::Replace) && p.NewMask();
        });
        return made ? w : nullptr;
    }
    void Drop(int from, int before)
    {
        std::unique_ptr<QMimeData> data(Model().mimeData({Model().index(from)}));
        QVERIFY(Model().dropMimeData(data.get(), Qt::MoveAction, before, 0, {}));
    }
    void Choose(int row, int entry)
    {
        QMenu* menu = Panel().MenuFor(row);
        QVERIFY(menu->actions().at(entry)->isEnabled());
        menu->actions().at(entry)->trigger();
    }

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        form_->askMaskName = [](const std::string&) -> std::optional<std::string> { return "輪郭"; };
    }
    void cleanup() { session_.Stop(); }

    void everyActionUndoesRedoesAndReplays_data()
    {
        using Act = std::function<void(MaskPanelTest&)>;
        QTest::addColumn<Act>("act");
        QTest::addColumn<int>("steps");
        const auto button = [](const char* name) {
            return Act([name](MaskPanelTest& t) { t.Panel().Button(name)->click(); });
        };
        QTest::newRow("make current") << Act([](MaskPanelTest& t) { t.Panel().ClickRow(0); }) << 1;
        QTest::newRow("drag down") << Act([](MaskPanelTest& t) { t.Drop(0, 3); }) << 1;
        QTest::newRow("drag up") << Act([](MaskPanelTest& t) { t.Drop(2, 0); }) << 1;
        QTest::newRow("new") << button("newMask") << 1;
        QTest::newRow("duplicate") << Act([](MaskPanelTest& t) {
            t.Panel().ClickRow(1);
            t.Panel().Button("duplicateMask")->click();
        }) << 2;
        QTest::newRow("delete") << button("deleteMask") << 1;
        QTest::newRow("rename") << Act([](MaskPanelTest& t) { t.Panel().DoubleClickRow(1); }) << 2;
        QTest::newRow("copy") << Act([](MaskPanelTest& t) { t.Choose(0, 0); }) << 1;
        QTest::newRow("add") << Act([](MaskPanelTest& t) {
            t.Panel().ClickRow(0);
            t.Choose(1, 1);
        }) << 2;
        QTest::newRow("subtract") << Act([](MaskPanelTest& t) {
            t.Panel().ClickRow(1);
            t.Choose(0, 2);
        }) << 2;
        QTest::newRow("intersect") << Act([](MaskPanelTest& t) {
            t.Panel().ClickRow(0);
            t.Choose(1, 3);
        }) << 2;
    }
    void everyActionUndoesRedoesAndReplays()
    {
        QFETCH(std::function<void(MaskPanelTest&)>, act);
        QFETCH(int, steps);
        TDrawWindow* w = Picture();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        const uint64_t before = harness::SelectionChecksum(paper);
        const QStringList namesBefore = NamesOf(Model());
        const int32_t undoBefore = paper.UndoManager()->UndoCount();
        act(*this);
        const uint64_t after = harness::SelectionChecksum(paper);
        QVERIFY2(after != before, "the action changed nothing");
        QCOMPARE(paper.UndoManager()->UndoCount(), undoBefore + steps);
        // The list shows the masks, the current one marked.
        QCOMPARE(Model().rowCount(), paper.Masks().Count());
        QVERIFY(Model().index(paper.Masks().Current()).data(MaskListModel::CurrentRole).toBool());
        const QStringList namesAfter = NamesOf(Model());

        for (int i = 0; i < steps; ++i)
            QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(harness::SelectionChecksum(paper), before);
        QCOMPARE(NamesOf(Model()), namesBefore);
        for (int i = 0; i < steps; ++i)
            QVERIFY(Trigger("ActEditRedo"));
        QCOMPARE(harness::SelectionChecksum(paper), after);
        QCOMPARE(NamesOf(Model()), namesAfter);

        const support::TempFolder folder;
        TDrawWindow* replay = harness::Replay(*form_, QString::fromStdString(folder / "masks.vd4"));
        QVERIFY(replay);
        QCOMPARE(harness::SelectionChecksum(replay->Paper()), after);
    }

    // Combining a mask into itself is not offered; the rows' thumbnails
    // follow the canvas's aspect and show where each mask selects.
    void menuAndThumbnails()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        for (QAction* action : Panel().MenuFor(2)->actions())
            QVERIFY(!action->isEnabled());
        QCOMPARE(Panel().MenuFor(0)->actions().size(), 4);
        const int side = Panel().ThumbSide();
        const QImage left = Model().index(0).data(Qt::DecorationRole).value<QImage>();
        const QImage right = Model().index(1).data(Qt::DecorationRole).value<QImage>();
        QCOMPARE(left.size(), QSize(side, side * kHeight / kWidth));
        const auto at = [&](const QImage& image, double x, double y) {
            return qGray(image.pixel(int(x * image.width() / kWidth), int(y * image.height() / kHeight)));
        };
        QCOMPARE(at(left, 30, 40), 255);
        QCOMPARE(at(left, 110, 40), 0);
        QCOMPARE(at(right, 30, 40), 0);
        QCOMPARE(at(right, 110, 40), 255);
        // A change of the mask shows at the next refresh.
        QVERIFY(form_->EditPaper([](TPaper& p) { return p.SelectMask(0) && p.InvertSelection(); }));
        QCOMPARE(at(Model().index(0).data(Qt::DecorationRole).value<QImage>(), 30, 40), 0);
        // A tall canvas: the height is the side.
        CMaskData mask("tall");
        QCOMPARE(MaskThumbnail(mask, 10, 400, side).size(), QSize(1, side));
    }

    // Drops come only from the panel's own rows; a player's list takes
    // neither drops nor buttons.
    void dropsAndPlayersAreGuarded()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        QMimeData text;
        text.setText(QStringLiteral("1"));
        QVERIFY(!Model().canDropMimeData(&text, Qt::MoveAction, 0, 0, {}));
        MaskListModel other(24);
        other.SetPaper(&w->Paper(), false);
        std::unique_ptr<QMimeData> foreign(other.mimeData({other.index(0)}));
        QVERIFY(!Model().canDropMimeData(foreign.get(), Qt::MoveAction, 2, 0, {}));

        const support::TempFolder folder;
        const QString path = QString::fromStdString(folder / "player.vd4");
        QVERIFY(form_->SaveEventFile(path));
        TDrawWindow* player = form_->OpenEventFile(path, true);
        QVERIFY(player);
        form_->UpdateActions();
        QVERIFY(Model().ReadOnly());
        QVERIFY(!Panel().Button("newMask")->isEnabled());
        std::unique_ptr<QMimeData> own(Model().mimeData({Model().index(0)}));
        QVERIFY(!own);
        player->SetPaused(false);
        harness::PlayToEnd(*form_, *player);
        form_->UpdateActions();
        QCOMPARE(Model().rowCount(), 3);
    }

    void windowMenuShowsThePanel()
    {
        QDockWidget* dock = form_->findChild<QDockWidget*>(QStringLiteral("maskDock"));
        QVERIFY(dock);
        QAction* show = form_->Action(QStringLiteral("actShowSelectWindow"));
        QCOMPARE(show->shortcut(), QKeySequence(QStringLiteral("Ctrl+9")));
        form_->UpdateActions();
        QCOMPARE(show->isChecked(), !dock->isHidden());
        show->trigger();
        QCOMPARE(show->isChecked(), !dock->isHidden());
        show->trigger();
        QCOMPARE(show->isChecked(), !dock->isHidden());
    }

    void screenshot()
    {
        QVERIFY(Picture());
        Panel().ClickRow(1);
        QDockWidget* dock = form_->findChild<QDockWidget*>(QStringLiteral("maskDock"));
        dock->show();
        dock->setFloating(true);
        dock->resize(240, 260);
        QApplication::processEvents();
        QVERIFY(Panel().grab().toImage().save(harness::ShotPath(QStringLiteral("mask_panel.png"))));
    }
};

QTEST_MAIN(MaskPanelTest)
#include "MaskPanelTest.moc"
