// The layer panel offscreen: each of its controls runs a recorded document
// operation that undoes, redoes and replays to the same stack and picture;
// the list follows menu commands, undo and the active window; a row click
// sends the next stroke to that layer; drops come only from the panel's own
// rows; a player window's list takes no edits. A picture of the panel goes
// to the screenshots folder.
#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QListView>
#include <QMimeData>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include "support/MainFormHarness.h"
#include "support/TempFolder.h"
#include "document/ModeLists.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "gui/LayerListModel.h"
#include "gui/TBlendModeDropDwon.h"
#include "gui/TDrawWindow.h"
#include "gui/TLayerPanel.h"
#include "gui/TMainForm.h"

using namespace morvane;

namespace {

constexpr int32_t kWidth = 160, kHeight = 120;

// What the list shows and replays must keep: per layer its name, origin,
// store, attributes and link level, top first, and the composite.
QStringList StackOf(TPaper& paper)
{
    QStringList rows;
    for (int32_t i = paper.LayerCount() - 1; i >= 0; --i) {
        const CLayerData& l = *paper.LayerAt(i);
        rows << QStringLiteral("%1 @%2,%3 %4x%5 v%6 o%7 m%8 p%9 k%10 d%11/%12")
                    .arg(QString::fromStdString(l.Name))
                    .arg(l.OriginX)
                    .arg(l.OriginY)
                    .arg(l.Store->Width)
                    .arg(l.Store->Height)
                    .arg(l.Visible)
                    .arg(l.Opacity)
                    .arg(l.Mode)
                    .arg(l.ProtectAlpha)
                    .arg(l.LinkLevel)
                    .arg(l.Dither)
                    .arg(l.DitherDensity);
    }
    rows << QString::number(harness::Checksum(paper.Composite()), 16);
    return rows;
}

} // namespace

class LayerPanelTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    TLayerPanel& Panel() { return *form_->LayerPanel(); }
    LayerListModel& Model() { return *Panel().Model(); }
    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    // Three layers with paint; the top one shifted so that its store is
    // larger than the picture; the middle one current.
    TDrawWindow* Picture()
    {
        harness::AnswerNewDocument(*form_, kWidth, kHeight);
        if (!Trigger("ActFileNew"))
            return nullptr;
        TDrawWindow* w = form_->ActiveDrawWindow();
        QTest::qWait(1);
        harness::Drag(w, At(*w, 20, 20), At(*w, 120, 60));
        Panel().Button("newLayer")->click();
        harness::Drag(w, At(*w, 30, 100), At(*w, 140, 30));
        Panel().Button("newLayer")->click();
        harness::Drag(w, At(*w, 10, 60), At(*w, 150, 70));
        if (!form_->EditPaper([](TPaper& p) { return p.ShiftLayer(2, 9, 4); }))
            return nullptr;
        Panel().ClickRow(1, Panel().RowRect(1).center());
        return w;
    }
    static QPoint At(TDrawWindow& w, double x, double y) { return harness::WindowPointOf(w, x, y); }
    // The point of a row's part.
    QPoint PartOf(int row, QRect TLayerPanel::RowParts::*part)
    {
        const QModelIndex index = Model().index(row);
        const auto parts = TLayerPanel::PartsOf(Panel().RowRect(row), index.data(LayerListModel::LevelRole).toInt(),
                                                Panel().ThumbSide());
        return (parts.*part).center();
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void everyControlUndoesRedoesAndReplays_data()
    {
        using Act = std::function<void(LayerPanelTest&)>;
        QTest::addColumn<Act>("act");
        QTest::addColumn<int>("steps");
        const auto click = [](int row, QRect TLayerPanel::RowParts::*part) {
            return Act([row, part](LayerPanelTest& t) { t.Panel().ClickRow(row, t.PartOf(row, part)); });
        };
        const auto button = [](const char* name) {
            return Act([name](LayerPanelTest& t) { t.Panel().Button(name)->click(); });
        };
        QTest::newRow("visibility") << click(2, &TLayerPanel::RowParts::eye) << 1;
        QTest::newRow("protect") << click(0, &TLayerPanel::RowParts::lock) << 1;
        QTest::newRow("link") << click(0, &TLayerPanel::RowParts::link) << 1;
        QTest::newRow("opacity drag") << Act([](LayerPanelTest& t) {
            QSlider* s = t.Panel().OpacitySlider();
            s->setSliderDown(true);
            for (int v : {90, 70, 41})
                s->setValue(v);
            s->setSliderDown(false);
        }) << 1;
        QTest::newRow("opacity typed") << Act([](LayerPanelTest& t) {
            QSpinBox* box = t.Panel().OpacityBox();
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("25"));
            QTest::keyClick(box, Qt::Key_Return);
        }) << 1;
        QTest::newRow("mode") << Act([](LayerPanelTest& t) {
            TBlendModeDropDwon* box = t.Panel().ModeBox();
            box->setCurrentIndex(ListPositionOfMode(kModeScreen));
            emit box->activated(box->currentIndex());
        }) << 1;
        QTest::newRow("drag one layer") << Act([](LayerPanelTest& t) {
            std::unique_ptr<QMimeData> data(t.Model().mimeData({t.Model().index(0)}));
            QVERIFY(t.Model().dropMimeData(data.get(), Qt::MoveAction, 2, 0, {}));
        }) << 1;
        QTest::newRow("drag a link group") << Act([](LayerPanelTest& t) {
            t.Panel().ClickRow(0, t.PartOf(0, &TLayerPanel::RowParts::link));
            std::unique_ptr<QMimeData> data(t.Model().mimeData({t.Model().index(1)}));
            t.Model().dropMimeData(data.get(), Qt::MoveAction, 3, 0, {});
        }) << 2;
        QTest::newRow("up") << button("layerUp") << 1;
        QTest::newRow("down") << button("layerDown") << 1;
        QTest::newRow("new") << button("newLayer") << 1;
        QTest::newRow("duplicate") << button("duplicateLayer") << 1;
        QTest::newRow("delete") << button("deleteLayer") << 1;
        QTest::newRow("merge down") << button("mergeDown") << 1;
        QTest::newRow("rename") << Act([](LayerPanelTest& t) {
            QVERIFY(t.Model().setData(t.Model().index(1), QStringLiteral("下塗り"), Qt::EditRole));
        }) << 1;
        QTest::newRow("trim") << Act([](LayerPanelTest& t) {
            t.Panel().ClickRow(0, t.Panel().RowRect(0).center());
            QVERIFY(t.Trigger("ActLyrTrimOut"));
        }) << 1;
    }
    void everyControlUndoesRedoesAndReplays()
    {
        QFETCH(std::function<void(LayerPanelTest&)>, act);
        QFETCH(int, steps);
        TDrawWindow* w = Picture();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        const QStringList before = StackOf(paper);
        const int32_t undoBefore = paper.UndoManager()->UndoCount();
        act(*this);
        const QStringList after = StackOf(paper);
        QVERIFY2(after != before, "the control changed nothing");
        QCOMPARE(paper.UndoManager()->UndoCount(), undoBefore + steps);
        // The list shows the stack: a row per layer, the current one marked.
        QCOMPARE(Model().rowCount(), paper.LayerCount());
        QVERIFY(Model().index(Model().RowOfLayer(paper.CurrentLayer())).data(LayerListModel::CurrentRole).toBool());

        for (int i = 0; i < steps; ++i)
            QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(StackOf(paper), before);
        QCOMPARE(Model().rowCount(), paper.LayerCount());
        for (int i = 0; i < steps; ++i)
            QVERIFY(Trigger("ActEditRedo"));
        QCOMPARE(StackOf(paper), after);

        const support::TempFolder folder;
        TDrawWindow* replay = harness::Replay(*form_, QString::fromStdString(folder / "panel.vd4"));
        QVERIFY(replay);
        QCOMPARE(StackOf(replay->Paper()), after);
    }

    void listFollowsCommandsUndoAndTheActiveWindow()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        QCOMPARE(Model().rowCount(), 3);
        QVERIFY(Trigger("ActLyrDup"));
        QCOMPARE(Model().rowCount(), 4);
        QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(Model().rowCount(), 3);
        QCOMPARE(Model().index(0).data().toString(), QString::fromStdString(w->Paper().LayerAt(2)->Name));
        // The mode list in display order.
        TBlendModeDropDwon* box = Panel().ModeBox();
        QCOMPARE(box->count(), int(kModeDisplayOrder.size()));
        for (int i = 0; i < box->count(); ++i)
            QCOMPARE(box->itemText(i), QString::fromUtf8(LayerParam(kModeDisplayOrder[size_t(i)])->Name));
        // Another window: its one layer.
        harness::AnswerNewDocument(*form_, 40, 30);
        QVERIFY(Trigger("ActFileNew"));
        QCOMPARE(Model().rowCount(), 1);
        QCOMPARE(Model().Paper(), &form_->ActiveDrawWindow()->Paper());
    }

    // The row clicked is where the next stroke lands.
    void rowClickSendsTheNextStrokeThere()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        Panel().ClickRow(2, Panel().RowRect(2).center());
        QCOMPARE(paper.CurrentLayer(), 0);
        const uint64_t bottom = harness::Checksum(*paper.LayerAt(0)->Store), top = harness::Checksum(*paper.LayerAt(2)->Store);
        harness::Drag(w, At(*w, 15, 15), At(*w, 60, 90));
        QVERIFY(harness::Checksum(*paper.LayerAt(0)->Store) != bottom);
        QCOMPARE(harness::Checksum(*paper.LayerAt(2)->Store), top);
    }

    // Only the panel's own rows drop; a player's list takes no edits.
    void dropsAndPlayersAreGuarded()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        QMimeData text;
        text.setText(QStringLiteral("1"));
        QVERIFY(!Model().canDropMimeData(&text, Qt::MoveAction, 0, 0, {}));
        LayerListModel other;
        other.SetPaper(&w->Paper(), false);
        std::unique_ptr<QMimeData> foreign(other.mimeData({other.index(0)}));
        QVERIFY(foreign);
        QVERIFY(!Model().canDropMimeData(foreign.get(), Qt::MoveAction, 3, 0, {}));
        std::unique_ptr<QMimeData> own(Model().mimeData({Model().index(0)}));
        QVERIFY(Model().canDropMimeData(own.get(), Qt::MoveAction, 3, 0, {}));

        const support::TempFolder folder;
        const QString path = QString::fromStdString(folder / "player.vd4");
        QVERIFY(form_->SaveEventFile(path));
        TDrawWindow* player = form_->OpenEventFile(path, true);
        QVERIFY(player);
        QVERIFY(player->Playing());
        form_->UpdateActions();
        QVERIFY(Model().ReadOnly());
        QVERIFY(!Panel().ModeBox()->isEnabled());
        QVERIFY(!Panel().Button("newLayer")->isEnabled());
        QVERIFY(!(Model().flags(Model().index(0)) & Qt::ItemIsEditable));
        player->SetPaused(false);
        harness::PlayToEnd(*form_, *player);
        form_->UpdateActions();
        QCOMPARE(Model().rowCount(), 3);
    }

    void windowMenuShowsThePanel()
    {
        QDockWidget* dock = form_->findChild<QDockWidget*>(QStringLiteral("layerDock"));
        QVERIFY(dock);
        QAction* show = form_->Action(QStringLiteral("actShowLayerWindow"));
        form_->UpdateActions();
        QCOMPARE(show->isChecked(), !dock->isHidden());
        show->trigger();
        QCOMPARE(dock->isHidden(), true);
        QVERIFY(!show->isChecked());
        show->trigger();
        QVERIFY(!dock->isHidden());
    }

    void screenshot()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        Panel().ClickRow(0, PartOf(0, &TLayerPanel::RowParts::link));
        Panel().ClickRow(0, PartOf(0, &TLayerPanel::RowParts::lock));
        Panel().ClickRow(2, PartOf(2, &TLayerPanel::RowParts::eye));
        // Tall enough for every row.
        form_->findChild<QDockWidget*>(QStringLiteral("layerDock"))->setFloating(true);
        form_->findChild<QDockWidget*>(QStringLiteral("layerDock"))->resize(280, 420);
        QApplication::processEvents();
        const QImage shot = Panel().grab().toImage();
        QVERIFY(shot.save(harness::ShotPath(QStringLiteral("layer_panel.png"))));
        // Every layer has paint, and its thumbnail shows it.
        for (int32_t i = 0; i < w->Paper().LayerCount(); ++i) {
            const QImage thumb = ThumbnailImage(w->Paper(), i);
            int painted = 0;
            for (int y = 0; y < thumb.height(); ++y)
                for (int x = 0; x < thumb.width(); ++x)
                    painted += qAlpha(thumb.pixel(x, y)) > 0 && (thumb.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
            QVERIFY2(painted > 0, qPrintable(QString::number(i)));
        }
    }
};

QTEST_MAIN(LayerPanelTest)
#include "LayerPanelTest.moc"
