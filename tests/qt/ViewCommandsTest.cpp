// The view commands of the main window and its status bar offscreen: keys
// reach the view and the check marks follow, rotations (commands and drags)
// turn the way their captions say, the wheel zooms (by ten points with
// Alt), painting near the edge scrolls, the paper modes change only on white
// paper, and the status pop-ups set the view, the tablet settings and the
// figure shown.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPointingDevice>
#include <QStatusBar>
#include <QTabletEvent>
#include <QWheelEvent>
#include <QtTest>

#include "app/CAppProfile.h"
#include "app/CommandTable.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormNew.h"
#include "gui/TMainForm.h"
#include "gui/TStatusPanels.h"
#include "input/ToolState.h"
#include "platform/SettingsStore.h"
#include "platform/UserNotifier.h"
#include "platform/qt/QtTabletSource.h"
#include "storage/TMTC.h"

#include "support/MainFormHarness.h"

using namespace morvane;
using harness::Checksum;

namespace {

QStringList Texts(const QMenu& menu)
{
    QStringList texts;
    for (QAction* action : menu.actions())
        texts << action->text();
    return texts;
}

int CheckedIndex(const QMenu& menu)
{
    const QList<QAction*> actions = menu.actions();
    for (int i = 0; i < actions.size(); ++i)
        if (actions[i]->isChecked())
            return i;
    return -1;
}

DocPoint CentrePoint(TDrawWindow& w)
{
    const CViewState& v = w.View();
    return v.WindowToDocument({double(v.ClientWidth() / 2), double(v.ClientHeight() / 2)});
}

} // namespace

class ViewCommandsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<CAppProfile>& profile_ = session_.profile;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    void Start(bool ignoreTablet = false, bool tabletCoordinates = false)
    {
        QVERIFY(session_.Start([&](CAppProfile& p) {
            p.config.ignoreTablet = ignoreTablet;
            p.config.DrawToolMode = tabletCoordinates;
        }));
        harness::AnswerNewDocument(*form_, 800, 600);
    }
    TDrawWindow* NewWindow()
    {
        if (!form_->Run(QStringLiteral("ActFileNew")))
            return nullptr;
        QTest::qWait(1);
        return form_->ActiveDrawWindow();
    }
    TStatusPanels& Panels() { return *form_->StatusPanels(); }
    QString PanelText(StatusPanel panel) { return Panels().Panel(panel)->text(); }
    void Drag(QWidget* w, QPoint from, QPoint to)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 8; ++i)
            QTest::mouseMove(w, from + (to - from) * i / 8);
        QTest::mouseRelease(w, Qt::LeftButton, {}, to);
    }
    bool Checked(const char* name) { return form_->Action(QString::fromUtf8(name))->isChecked(); }

private slots:
    void init() { Start(); }
    void cleanup() { session_.Stop(); }

    void viewCommandsNeedADocument()
    {
        for (const Command& command : Commands()) {
            if (command.category != CommandCategory::View)
                continue;
            const QString name = QString::fromUtf8(command.name.data(), qsizetype(command.name.size()));
            QVERIFY2(!form_->Action(name)->isEnabled(), command.name.data());
            QVERIFY2(!form_->Run(name), command.name.data());
        }
        for (int key : {int(Qt::Key_F7), int(Qt::Key_F8), int(Qt::Key_F9)})
            QTest::keyClick(form_.get(), Qt::Key(key));
        QTest::keyClick(form_.get(), Qt::Key_H, Qt::ControlModifier);
        QVERIFY(PanelText(StatusPanel::Zoom).isEmpty());
        QVERIFY(!Panels().Choose(StatusPopup::Zoom, 8));
        QVERIFY(!Panels().Choose(StatusPopup::Rotation, 1));
        QVERIFY(!Panels().Popup(StatusPopup::Zoom)->actions().front()->isEnabled());
    }

    // F7 is 100 % about the window centre, F8 the largest step that shows the
    // whole document; the grid and the area averaging change what the window
    // shows, never the composite, and their check marks follow.
    void keysChangeTheViewAndTheChecks()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        Drag(w, {20, 20}, {300, 200});
        const CViewState& v = w->View();
        const DocPoint before = CentrePoint(*w);
        QTest::keyClick(form_.get(), Qt::Key_F7);
        QCOMPARE(v.Scale(), (ScaleRatio{1, 1}));
        QCOMPARE(PanelText(StatusPanel::Zoom), QStringLiteral("100%"));
        const DocPoint after = CentrePoint(*w);
        QVERIFY(std::abs(after.x - before.x) <= 1.0 && std::abs(after.y - before.y) <= 1.0);

        QTest::keyClick(form_.get(), Qt::Key_F8);
        auto fits = [&](ScaleRatio r) {
            const double s = double(r.num) / r.den;
            return v.DocumentWidth() * s <= v.ClientWidth() && v.DocumentHeight() * s <= v.ClientHeight();
        };
        QVERIFY(fits(v.Scale()));
        QVERIFY(v.Scale() == kScaleSteps.back() || !fits(v.StepIn()));

        const uint64_t composite = Checksum(w->Paper().Composite());
        struct Toggle {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* name;
            bool (TDrawWindow::*state)() const;
            int zoomItem;
        };
        // Area averaging works below 1.
        const Toggle toggles[] = {{Qt::Key_H, Qt::ControlModifier, "ActViewGrid", &TDrawWindow::GridShown, 8},
                                  {Qt::Key_F9, Qt::NoModifier, "ActViewAA", &TDrawWindow::AreaAverage, 6}};
        for (const Toggle& t : toggles) {
            QVERIFY(Panels().Choose(StatusPopup::Zoom, t.zoomItem));
            QVERIFY2(!(w->*t.state)() && !Checked(t.name), t.name);
            const QImage off = w->grab().toImage();
            QTest::keyClick(form_.get(), t.key, t.modifiers);
            QVERIFY2((w->*t.state)() && Checked(t.name), t.name);
            QVERIFY2(w->grab().toImage() != off, t.name);
            QTest::keyClick(form_.get(), t.key, t.modifiers);
            QVERIFY2(!(w->*t.state)() && !Checked(t.name), t.name);
            QVERIFY2(w->grab().toImage() == off, t.name);
        }
        QCOMPARE(Checksum(w->Paper().Composite()), composite);
    }

    // Clockwise turns put the document's top-left corner where a clockwise
    // turn takes it; the angle panel and the rotation pop-up follow.
    void rotationCommandsTurnTheView()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        struct Case {
            const char* name;
            int angle;
            int cornerRight, cornerBelow;  // side of the window centre of document (0, 0)
        };
        const Case cases[] = {{"ActViewRot90", 90, 1, -1},
                              {"ActViewRot180", 180, 1, 1},
                              {"ActViewRot270", 270, -1, 1},
                              {"ActViewRot0", 0, -1, -1}};
        for (const Case& c : cases) {
            QVERIFY2(form_->Run(QString::fromUtf8(c.name)), c.name);
            QCOMPARE(w->ViewAngle(), double(c.angle));
            QCOMPARE(PanelText(StatusPanel::Angle), QStringLiteral("%1°").arg(c.angle));
            QCOMPARE(CheckedIndex(*Panels().Popup(StatusPopup::Rotation)), c.angle / 90);
            const CViewState& v = w->View();
            const DocPoint corner = v.DocumentToWindow({0, 0});
            QVERIFY2((corner.x > v.ClientWidth() / 2) == (c.cornerRight > 0), c.name);
            QVERIFY2((corner.y > v.ClientHeight() / 2) == (c.cornerBelow > 0), c.name);
        }
        QVERIFY(Panels().Choose(StatusPopup::Rotation, 3));
        QCOMPARE(w->ViewAngle(), 270.0);
        QVERIFY(!Panels().Choose(StatusPopup::Rotation, 4));
        QCOMPARE(w->ViewAngle(), 270.0);
    }

    // Dragging with the rotation tool turns the picture with the pointer: a
    // quarter turn clockwise around the centre takes the point under the
    // press to the release, and the angle reads 90.
    void rotationDragTurnsThePictureWithThePointer()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        w->Input().SelectOperation({ToolClass::View, kViewRotate});
        const QPoint centre(w->View().ClientWidth() / 2, w->View().ClientHeight() / 2);
        const QPoint from = centre + QPoint(100, 0), to = centre + QPoint(0, 100);
        const DocPoint grabbed = w->View().WindowToDocument({double(from.x()), double(from.y())});
        Drag(w, from, to);
        QCOMPARE(w->ViewAngle(), 90.0);
        QCOMPARE(PanelText(StatusPanel::Angle), QStringLiteral("90°"));
        const DocPoint now = w->View().DocumentToWindow(grabbed);
        QVERIFY2(std::abs(now.x - to.x()) <= 1.0 && std::abs(now.y - to.y()) <= 1.0,
                 qPrintable(QStringLiteral("%1,%2").arg(now.x).arg(now.y)));
    }

    // The wheel zooms by steps; with Alt by ten points, whether the system
    // reports that wheel vertically or, as X11 does, horizontally. A
    // horizontal wheel alone zooms nothing.
    void altWheelZoomsByTenPoints_data()
    {
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<bool>("alt");
        QTest::addColumn<double>("scale");
        QTest::newRow("wheel") << QPoint(0, 120) << false << 1.5;
        QTest::newRow("Alt, vertical") << QPoint(0, 120) << true << 1.1;
        QTest::newRow("Alt, as X11 reports it") << QPoint(120, 0) << true << 1.1;
        QTest::newRow("Alt, out, as X11 reports it") << QPoint(-120, 0) << true << 0.9;
        QTest::newRow("horizontal wheel") << QPoint(120, 0) << false << 1.0;
    }
    void altWheelZoomsByTenPoints()
    {
        QFETCH(QPoint, delta);
        QFETCH(bool, alt);
        QFETCH(double, scale);
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        w->SetZoom({1, 1});
        const QPointF at(50, 50);
        QWheelEvent wheel(at, w->mapToGlobal(at), {}, delta, Qt::NoButton,
                          alt ? Qt::AltModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &wheel);
        QCOMPARE(w->View().ScaleValue(), scale);
    }

    // Painting near the edge of a view larger than the window scrolls it
    // while the button is held, when the setting asks for it.
    void autoScrollRunsWhilePaintingNearTheEdge()
    {
        QVERIFY(session_.Start([](CAppProfile& p) { p.config.useAutoScroll = true; }));
        harness::AnswerNewDocument(*form_, 800, 600);
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        w->SetZoom({2, 1});
        const QPoint inside(w->width() - 40, w->height() / 2);
        w->Input().cursor = [w] { return PointD{double(w->width() - 2), double(w->height() / 2)}; };
        const int32_t before = w->View().DocumentAnchor().x;
        QTest::mousePress(w, Qt::LeftButton, {}, inside);
        QTest::mouseMove(w, inside + QPoint(20, 0));
        QTRY_VERIFY_WITH_TIMEOUT(w->View().DocumentAnchor().x > before, 2000);
        QTest::mouseRelease(w, Qt::LeftButton, {}, inside + QPoint(20, 0));
        const int32_t released = w->View().DocumentAnchor().x;
        QTest::qWait(3 * TDrawWindow::kAutoScrollInterval);
        QCOMPARE(w->View().DocumentAnchor().x, released);
    }

    // The canvas-colour and checkerboard modes switch (and rebuild the
    // composite) only while the paper is white.
    void paperModesOnlyOnWhitePaper()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        struct Mode {
            const char* name;
            bool (TDrawWindow::*state)() const;
        };
        const Mode modes[] = {{"ActViewCanvasCol", &TDrawWindow::CanvasColourMode},
                              {"ActViewBGPat", &TDrawWindow::CheckerMode}};
        for (const Mode& m : modes) {
            const bool was = (w->*m.state)();
            QCOMPARE(Checked(m.name), was);
            QVERIFY(form_->Run(QString::fromUtf8(m.name)));
            QCOMPARE((w->*m.state)(), !was);
            QCOMPARE(Checked(m.name), !was);
        }

        QVERIFY(w->Paper().SetPaperColour(0x00FF8040u, false));
        for (const Mode& m : modes) {
            const bool was = (w->*m.state)();
            QVERIFY(form_->Run(QString::fromUtf8(m.name)));
            QCOMPARE((w->*m.state)(), was);
            QCOMPARE(Checked(m.name), was);
        }
    }

    void zoomPopupListsTheStepsAndSetsTheScale()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        QMenu* menu = Panels().Popup(StatusPopup::Zoom);
        QStringList expected;
        for (std::string_view item : StatusPopupItems(StatusPopup::Zoom))
            expected << QString::fromUtf8(item.data(), qsizetype(item.size()));
        QCOMPARE(expected.size(), 17);
        QCOMPARE(Texts(*menu), expected);
        QCOMPARE(menu->actions()[CheckedIndex(*menu)]->text(), PanelText(StatusPanel::Zoom));

        menu->actions()[expected.indexOf(QStringLiteral("200%"))]->trigger();
        QCOMPARE(w->View().Scale(), (ScaleRatio{2, 1}));
        QCOMPARE(PanelText(StatusPanel::Zoom), QStringLiteral("200%"));
        // Ctrl++ moves one step and the panel follows.
        QTest::keyClick(form_.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(PanelText(StatusPanel::Zoom), QStringLiteral("300%"));

        // Between the steps: the percentage, and no item checked.
        w->View().SetScale(5, 4);
        form_->UpdateActions();
        QCOMPARE(PanelText(StatusPanel::Zoom), QStringLiteral("125%"));
        QCOMPARE(CheckedIndex(*Panels().Popup(StatusPopup::Zoom)), -1);
    }

    void clickingAPanelOpensItsPopup()
    {
        QVERIFY(NewWindow());
        QTest::mouseClick(Panels().Panel(StatusPanel::Zoom), Qt::LeftButton);
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup);
        QCOMPARE(popup->actions().size(), 17);
        QCOMPARE(CheckedIndex(*popup), Panels().Current(StatusPopup::Zoom));
        popup->close();
    }

    // Type and mode go into the settings and survive a save and a load; the
    // mode decides how the tablet source places the pen.
    void tabletSettingsRoundTrip()
    {
        // No tablet yet: "Off", and its pop-ups are not offered.
        QtTabletSource* tablet = Panels().Tablet();
        QVERIFY(tablet);
        QCOMPARE(PanelText(StatusPanel::Tablet), QStringLiteral("Off"));
        QVERIFY(!Panels().Choose(StatusPopup::TabletType, 1));
        // A pen comes near: there is a tablet.
        static const QPointingDevice pen("pen", 3001, QInputDevice::DeviceType::Stylus,
                                         QPointingDevice::PointerType::Pen,
                                         QInputDevice::Capability::Position, 1, 2);
        QTabletEvent near(QEvent::TabletEnterProximity, &pen, {}, {}, 0, 0, 0, 0, 0, 0, Qt::NoModifier,
                          Qt::NoButton, Qt::NoButton);
        QApplication::sendEvent(qApp, &near);
        Panels().Refresh();
        QCOMPARE(PanelText(StatusPanel::Tablet), QStringLiteral("On"));
        QCOMPARE(tablet->Mode(), QtTabletSource::CoordinateMode::Os);
        QCOMPARE(PanelText(StatusPanel::TabletMode), QStringLiteral("OS 座標"));
        QCOMPARE(PanelText(StatusPanel::TabletType), QStringLiteral("タブレット 1"));

        QMenu* types = Panels().Popup(StatusPopup::TabletType);
        QCOMPARE(Texts(*types), (QStringList{QStringLiteral("タブレット 1 ( ワコム )"),
                                             QStringLiteral("タブレット 2 ( その他 )")}));
        types->actions()[1]->trigger();
        QCOMPARE(PanelText(StatusPanel::TabletType), QStringLiteral("タブレット 2"));
        QMenu* modes = Panels().Popup(StatusPopup::TabletMode);
        QCOMPARE(Texts(*modes), (QStringList{QStringLiteral("OS 座標モード"),
                                             QStringLiteral("タブレット座標モード( 精細 )")}));
        QCOMPARE(CheckedIndex(*modes), 0);
        modes->actions()[1]->trigger();
        QCOMPARE(tablet->Mode(), QtTabletSource::CoordinateMode::Tablet);
        QCOMPARE(PanelText(StatusPanel::TabletMode), QStringLiteral("タブレット座標"));

        MemorySettingsStore store;
        QVERIFY(profile_->SaveAtExit(store));
        CAppProfile loaded{AppEnvironment{}};
        loaded.Load(store);
        QCOMPARE(loaded.config.tabletType, 1);
        QVERIFY(loaded.config.DrawToolMode);

        // A later start takes the mode from the settings.
        Start(false, true);
        QCOMPARE(Panels().Tablet()->Mode(), QtTabletSource::CoordinateMode::Tablet);
        QApplication::sendEvent(qApp, &near);
        QVERIFY(Panels().Choose(StatusPopup::TabletMode, 0));
        QCOMPARE(Panels().Tablet()->Mode(), QtTabletSource::CoordinateMode::Os);
    }

    void tabletPopupsNeedTheTablet()
    {
        Start(true);
        QVERIFY(!Panels().Tablet());
        QCOMPARE(PanelText(StatusPanel::Tablet), QStringLiteral("Off"));
        for (StatusPopup popup : {StatusPopup::TabletType, StatusPopup::TabletMode}) {
            QVERIFY(!Panels().Popup(popup)->actions().front()->isEnabled());
            QVERIFY(!Panels().Choose(popup, 1));
        }
        QCOMPARE(profile_->config.tabletType, 0);
        QVERIFY(!profile_->config.DrawToolMode);
    }

    // The figure panel shows the chosen item: the layers grow with a stroke,
    // the history with its undo (the redo record keeps the painted pixels).
    void figurePanelFollowsTheChoice()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        QCOMPARE(PanelText(StatusPanel::Figure), QStringLiteral("%1 × %2").arg(w->Paper().Width).arg(w->Paper().Height));
        auto kb = [&] { return PanelText(StatusPanel::Figure).chopped(3).toLongLong(); };
        QVERIFY(Panels().Choose(StatusPopup::StatusDisplay, 2));
        QCOMPARE(CheckedIndex(*Panels().Popup(StatusPopup::StatusDisplay)), 2);
        QVERIFY(PanelText(StatusPanel::Figure).endsWith(QStringLiteral(" KB")));
        const qlonglong layersBefore = kb();
        Drag(w, {20, 20}, {300, 200});
        const qlonglong layers = kb();
        QVERIFY(layers > layersBefore);
        QVERIFY(Panels().Choose(StatusPopup::StatusDisplay, 3));
        const qlonglong undoBefore = kb();
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
        const qlonglong undo = kb();
        QVERIFY(undo > undoBefore);
        QVERIFY(Panels().Choose(StatusPopup::StatusDisplay, 1));
        QVERIFY(kb() > undo);
        QVERIFY(!Panels().Choose(StatusPopup::StatusDisplay, 4));
    }

    // The wheel and the playback timers reach the panels without a command.
    void panelsFollowTheWheelAndThePlayback()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        const QString before = PanelText(StatusPanel::Zoom);
        const QPointF at(50, 50);
        QWheelEvent wheel(at, w->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(w, &wheel);
        QVERIFY(PanelText(StatusPanel::Zoom) != before);
        QCOMPARE(PanelText(StatusPanel::Zoom), Panels().Popup(StatusPopup::Zoom)->actions()[CheckedIndex(
                                                   *Panels().Popup(StatusPopup::Zoom))]->text());

        profile_->config.eventWait = 0;
        QVERIFY(form_->OpenEventFile(QStringLiteral(MORVANE_DEMO), false));
        QVERIFY(Panels().Choose(StatusPopup::StatusDisplay, 1));
        const QString start = PanelText(StatusPanel::Figure);
        QTRY_VERIFY_WITH_TIMEOUT(PanelText(StatusPanel::Figure) != start, 20000);
    }

    // The size command fits the sub-window around the document at its scale.
    void sizeFitWrapsTheWindowAroundTheView()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        QVERIFY(Panels().Choose(StatusPopup::Zoom, 4));  // 25 %
        QVERIFY(form_->Run(QStringLiteral("ActViewSizeFit")));
        const int width = w->Paper().Width, height = w->Paper().Height;
        QTRY_COMPARE(w->size(), QSize(width / 4, height / 4));
        // The window's edges are the document's edges.
        const CViewState& v = w->View();
        const DocPoint first = v.WindowToDocument({-0.5, -0.5});
        const DocPoint last = v.WindowToDocument({w->width() - 0.5, w->height() - 0.5});
        QCOMPARE(first.x, -0.5);
        QCOMPARE(first.y, -0.5);
        QCOMPARE(last.x, width - 0.5);
        QCOMPARE(last.y, height - 0.5);
    }

    // A picture of a turned view with its grid: the status bar in it shows
    // every panel as the panel draws itself, and the window what it renders.
    void statusBarPicture()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        Drag(w, {40, 40}, {400, 300});
        QVERIFY(Panels().Choose(StatusPopup::Rotation, 1));
        QTest::keyClick(form_.get(), Qt::Key_H, Qt::ControlModifier);
        QTest::qWait(20);
        const QImage shot = form_->grab().toImage();
        QVERIFY(shot.save(harness::ShotPath(QStringLiteral("status-bar.png"))));
        QCOMPARE(PanelText(StatusPanel::Angle), QStringLiteral("90°"));
        const auto shows = [&](QWidget* part) {
            const QImage alone = part->grab().toImage();
            const QPoint at = part->mapTo(form_.get(), QPoint(0, 0));
            for (int y = 0; y < alone.height(); ++y)
                for (int x = 0; x < alone.width(); ++x)
                    if (shot.pixel(at + QPoint(x, y)) != alone.pixel(x, y))
                        return false;
            return true;
        };
        for (int i = 0; i < TStatusPanels::kPanelCount; ++i)
            QVERIFY2(shows(Panels().Panel(StatusPanel(i))), qPrintable(PanelText(StatusPanel(i))));
        QVERIFY(shows(w));
        QVERIFY(harness::Colours(shot, QRect(w->mapTo(form_.get(), QPoint(0, 0)), w->size())) >= 3);
    }
};

QTEST_MAIN(ViewCommandsTest)
#include "ViewCommandsTest.moc"
