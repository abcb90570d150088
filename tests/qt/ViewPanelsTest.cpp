// The navigator, loupe and information panels offscreen: a click or drag on
// the navigator moves the view's centre to the point under it, turned views
// too; its zoom and turn controls give what the view commands give; its
// picture and every layer's thumbnail equal a full shrink after strokes,
// layer work and undo; the information panel shows the pointer's position
// and the colour under it and the status display's memory figures; the
// loupe centres the pointer's pixel. Pictures go to the screenshots folder.
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include <cmath>

#include "support/MainFormHarness.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TInfoPanel.h"
#include "gui/TLoupePanel.h"
#include "gui/TMainForm.h"
#include "gui/TNavigatorPanel.h"
#include "gui/TStatusPanels.h"

using namespace morvane;

namespace {

QPoint At(TDrawWindow& w, double x, double y) { return harness::WindowPointOf(w, x, y); }

// The document point at the window's centre.
DocPoint CentreOf(TDrawWindow& w)
{
    const CViewState& v = w.View();
    return v.WindowToDocument({v.ClientWidth() / 2.0, v.ClientHeight() / 2.0});
}

bool SamePixels(const TMTC& a, const TMTC& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return false;
    for (int32_t y = 0; y < a.Height; ++y)
        for (int32_t x = 0; x < a.Width; ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y))
                return false;
    return true;
}

} // namespace

class ViewPanelsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    // A 320 x 240 picture with strokes on two layers, shown at 2:1.
    TDrawWindow* Picture()
    {
        harness::AnswerNewDocument(*form_, 320, 240);
        if (!Trigger("ActFileNew"))
            return nullptr;
        TDrawWindow* w = form_->ActiveDrawWindow();
        QTest::qWait(1);
        harness::Drag(w, At(*w, 20, 20), At(*w, 200, 120));
        w->Paper().AddLayer(1, 320, 240, true, 255, 3);
        w->Paper().SelectLayer(1);
        harness::Drag(w, At(*w, 40, 200), At(*w, 150, 40));
        w->SetZoom({2, 1});
        form_->UpdateActions();
        return w;
    }
    TNavigatorPanel& Navigator() { return *form_->NavigatorPanel(); }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void navigatorMovesTheViewCentre_data()
    {
        QTest::addColumn<int>("angle");
        QTest::newRow("upright") << 0;
        QTest::newRow("turned") << 30;
    }
    void navigatorMovesTheViewCentre()
    {
        QFETCH(int, angle);
        TDrawWindow* w = Picture();
        QVERIFY(w);
        w->SetViewAngle(angle);
        Navigator().Refresh();
        QWidget* map = Navigator().Map();
        const QPoint from = Navigator().MapPointOf({60, 50}).toPoint(), to = Navigator().MapPointOf({250, 180}).toPoint();
        QTest::mousePress(map, Qt::LeftButton, {}, from);
        const DocPoint pressed = Navigator().DocumentAt(from);
        DocPoint c = CentreOf(*w);
        QVERIFY2(std::abs(c.x - pressed.x) <= 1.0 && std::abs(c.y - pressed.y) <= 1.0,
                 qPrintable(QStringLiteral("%1,%2").arg(c.x).arg(c.y)));
        QMouseEvent move(QEvent::MouseMove, to, map->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(map, &move);
        QTest::mouseRelease(map, Qt::LeftButton, {}, to);
        const DocPoint dragged = Navigator().DocumentAt(to);
        c = CentreOf(*w);
        QVERIFY2(std::abs(c.x - dragged.x) <= 1.0 && std::abs(c.y - dragged.y) <= 1.0,
                 qPrintable(QStringLiteral("%1,%2").arg(c.x).arg(c.y)));
    }

    void zoomAndTurnControlsAreTheViewCommands()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        Navigator().ZoomSlider()->setValue(12);
        QCOMPARE(w->View().Scale(), (ScaleRatio{4, 1}));
        QCOMPARE(Navigator().ZoomText()->text(), QStringLiteral("400%"));
        Navigator().Button("zoomOut")->click();
        QCOMPARE(w->View().Scale(), (ScaleRatio{3, 1}));
        QCOMPARE(Navigator().ZoomSlider()->value(), 11);
        Navigator().Button("zoomIn")->click();
        QCOMPARE(w->View().Scale(), (ScaleRatio{4, 1}));
        Navigator().AngleSlider()->setValue(-90);
        const double turned = w->ViewAngle();
        QVERIFY(Trigger("ActViewRot0"));
        QVERIFY(Trigger("ActViewRot270"));
        QCOMPARE(w->ViewAngle(), turned);
        Navigator().Button("angleReset")->click();
        QCOMPARE(w->ViewAngle(), 0.0);
        QCOMPARE(Navigator().AngleSlider()->value(), 0);
    }

    // After strokes, layer work and undo, what the panels show equals a
    // shrink of the whole source, though each refresh makes again only what
    // the change met.
    void picturesEqualAFullShrink()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        int32_t layer = 0;
        ExtentRect rect;
        const std::function<bool()> steps[] = {
            [&] { return paper.ShiftLayer(1, 13, -7); },
            [&] { return paper.SetLayerOpacity(1, 90); },
            [&] { return paper.Undo(layer, rect); },
            [&] { return harness::Drag(w, At(*w, 100, 100), At(*w, 300, 20)), true; },
            [&] { return harness::Drag(w, At(*w, 5, 230), At(*w, 30, 200)), true; },
            [&] { return paper.Undo(layer, rect); },
        };
        for (size_t step = 0; step < std::size(steps); ++step) {
            QVERIFY(steps[step]());
            form_->UpdateActions();
            const TMTC& shown = Navigator().Picture();
            TMTC full;
            QVERIFY(full.Resize(shown.Width, shown.Height));
            QVERIFY(paper.Composite().ShrinkArea(full, {0, 0, full.Width, full.Height}));
            QVERIFY2(SamePixels(shown, full), qPrintable(QString::number(step)));
            for (int32_t i = 0; i < paper.LayerCount(); ++i) {
                CLayerData& l = *paper.LayerAt(i);
                TMTC kept;
                QVERIFY(kept.Resize(l.Thumbnail.Width, l.Thumbnail.Height));
                kept.CopyAll(l.Thumbnail);
                QVERIFY(l.RefreshThumbnail());
                QVERIFY2(SamePixels(kept, l.Thumbnail), qPrintable(QString("%1 %2").arg(step).arg(i)));
            }
        }
    }

    void informationAndLoupeFollowThePointer()
    {
        TDrawWindow* w = Picture();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        // A pixel of the first stroke.
        QPoint over;
        int32_t px = -1, py = -1;
        for (int32_t x = 60; x < 200 && px < 0; ++x)
            for (int32_t y = 0; y < 240; ++y)
                if ((paper.Composite().GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                    px = x, py = y;
                    break;
                }
        QVERIFY(px >= 0);
        w->CentreOn({double(px), double(py)});
        over = At(*w, px, py);
        QTest::mouseMove(w, over);
        TInfoPanel& info = *form_->InfoPanel();
        QTRY_COMPARE_WITH_TIMEOUT(info.Line("position"), QStringLiteral("%1, %2").arg(px).arg(py), 1000);
        const uint32_t c = paper.Composite().GetPixel(px, py);
        QCOMPARE(info.Line("colour"),
                 QStringLiteral("R:%1 G:%2 B:%3").arg(c >> 16 & 0xFF).arg(c >> 8 & 0xFF).arg(c & 0xFF));
        QCOMPARE(info.Line("size"), QStringLiteral("320 × 240"));
        QCOMPARE(info.Line("layer"), QString::fromStdString(paper.LayerAt(1)->Name));
        QCOMPARE(info.Line("totalMemory"), FigureText(StatusFigure::TotalMemory, paper));
        QCOMPARE(info.Line("layerMemory"), FigureText(StatusFigure::LayerMemory, paper));
        QCOMPARE(info.Line("undoMemory"), FigureText(StatusFigure::UndoMemory, paper));

        QVERIFY(Trigger("ActShowLoupeWindow"));
        TLoupePanel& loupe = *form_->LoupePanel();
        QTest::mouseMove(w, over + QPoint(1, 0));
        QTest::mouseMove(w, over);
        const QPoint middle(loupe.View()->width() / 2, loupe.View()->height() / 2);
        QCOMPARE(loupe.PixelAt(middle), (Point{px, py}));
        loupe.Magnification()->setValue(8);
        QCOMPARE(loupe.PixelAt(middle + QPoint(8, 0)), (Point{px + 1, py}));

        QVERIFY(Navigator().grab().save(harness::ShotPath(QStringLiteral("navigator_panel.png"))));
        QVERIFY(info.grab().save(harness::ShotPath(QStringLiteral("information_panel.png"))));
        QVERIFY(loupe.grab().save(harness::ShotPath(QStringLiteral("loupe_panel.png"))));
    }

    void windowMenuShowsThePanels()
    {
        for (const auto& [command, dock] : {std::pair{"actShowPreviewWindow", "navigatorDock"},
                                            std::pair{"ActShowInfomationView", "infoDock"},
                                            std::pair{"ActShowLoupeWindow", "loupeDock"},
                                            std::pair{"ActShowEventView", "eventLogDock"}}) {
            QDockWidget* d = form_->findChild<QDockWidget*>(QString::fromLatin1(dock));
            QAction* a = form_->Action(QString::fromLatin1(command));
            QVERIFY(d && a);
            const bool was = !d->isHidden();
            a->trigger();
            form_->UpdateActions();
            QCOMPARE(!d->isHidden(), !was);
            QCOMPARE(a->isChecked(), !was);
        }
    }
};

QTEST_MAIN(ViewPanelsTest)
#include "ViewPanelsTest.moc"
