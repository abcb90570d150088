// The tool window's panels offscreen: a kind chosen, size and density set,
// a colour picked in the square and from a red pixel, a preset clicked, and
// the stroke painted shows that colour and width, in pixels and in the
// recorded state; every tool button has an icon; the option panel shows a
// kind's controls; the Window menu's panel commands with their checks; the
// layout kept over a restart and reset by its command. Pictures of the
// panels and the main window go to the screenshots folder.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <span>
#include <vector>

#include "support/MainFormHarness.h"
#include "app/ToolOptions.h"
#include "input/ToolState.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/EventPacketTable.h"
#include "events/EventPayloads.h"
#include "gui/TBrushListPanel.h"
#include "gui/TColourPanel.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "gui/TOptionPanel.h"
#include "gui/TToolPanel.h"

using namespace morvane;

namespace {

using Packet = std::vector<uint8_t>;

// The recording's state records in force at its last stroke: the pen's
// colour and radius.
struct PenState {
    uint32_t colour = 0;
    float radius = 0;
    int strokes = 0;
};

PenState LastStrokeState(TPaper& paper)
{
    CEventMngr& events = *paper.EventManager();
    std::vector<uint8_t> stream(size_t(events.WritePosition()));
    events.Read(0, stream.data(), int64_t(stream.size()));
    PenState state, atStroke;
    for (size_t at = 0; at < stream.size();) {
        const int64_t n = PayloadLength(std::span(stream).subspan(at));
        if (n < 0)
            break;
        const std::span<const uint8_t> packet(stream.data() + at, size_t(n) + 2);
        PenColourPayload colour;
        PenRadiusPayload radius;
        if (colour.Decode(packet))
            state.colour = colour.colour;
        if (radius.Decode(packet))
            state.radius = radius.radius;
        if (packet[0] == 48 || packet[0] == 21) {
            atStroke = state;
            atStroke.strokes = state.strokes = state.strokes + 1;
        }
        at += packet.size();
    }
    return atStroke;
}

// Rows of document column x that the strokes left other than white, and
// the pixel in the middle of them.
struct Band {
    int rows = 0;
    uint32_t middle = 0;
};

Band BandAt(const TPaper& paper, int32_t x, int32_t fromY, int32_t toY)
{
    Band band;
    int first = -1, last = -1;
    for (int32_t y = fromY; y < toY; ++y)
        if ((paper.Composite().GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
            ++band.rows;
            first = first < 0 ? y : first;
            last = y;
        }
    if (first >= 0)
        band.middle = paper.Composite().GetPixel(x, (first + last) / 2) & 0xFFFFFF;
    return band;
}

uint8_t Channel(uint32_t rgb, int shift) { return uint8_t(rgb >> shift & 0xFF); }

// The panel's widget of that name that shows (rows of a kind left behind
// go when the event loop gets to them).
template <typename T>
T* Shown(QWidget* panel, const QString& name)
{
    for (T* candidate : panel->findChildren<T*>(name))
        if (candidate->isVisibleTo(panel))
            return candidate;
    return nullptr;
}

void Shoot(QWidget* widget, const QString& name)
{
    QVERIFY(widget->grab().save(harness::ShotPath(name + QStringLiteral(".png"))));
}

} // namespace

class ToolPanelsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        harness::AnswerNewDocument(*session_.form, 320, 240);
    }
    void cleanup() { session_.Stop(); }

    void panelChoicesPaintWithThatColourAndWidth()
    {
        TMainForm& form = *session_.form;
        ToolState& tools = form.Tools();
        QVERIFY(form.Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form.ActiveDrawWindow();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        const auto toWindow = [&](double x, double y) {
            const DocPoint p = w->View().DocumentToWindow({x, y});
            return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
        };

        // The watercolour by its button, size and density from the option panel.
        form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("toolGroup2"))->click();
        QCOMPARE(tools.Kind(), PaintKind::WaterColor4);
        TOptionPanel* options = form.OptionPanel();
        Shown<QDoubleSpinBox>(options, TOptionPanel::ControlName(OptionId::Size))->setValue(12);
        Shown<QDoubleSpinBox>(options, TOptionPanel::ControlName(OptionId::Density))->setValue(80);
        QCOMPARE(tools.Size().value, 12.0f);
        QCOMPARE(tools.Param().Settings().density, 0.8f);
        // Blue from the wheel: the ring at 240 degrees, then the square's corner.
        TColourWheel* wheel = form.ColourPanel()->Wheel();
        QTest::mouseClick(wheel, Qt::LeftButton, {}, wheel->RingPoint(240).toPoint());
        QTest::mouseClick(wheel, Qt::LeftButton, {}, wheel->SquarePoint({240, 1, 1}).toPoint());
        const uint32_t blue = tools.MainColour() & 0xFFFFFF;
        // A click lands on a whole pixel: the corner's colour within a step or two.
        QVERIFY2(Channel(blue, 0) >= 248 && Channel(blue, 8) < 12 && Channel(blue, 16) < 12,
                 qPrintable(QString::number(blue, 16)));

        harness::Drag(w, toWindow(20, 60), toWindow(300, 60));
        const Band wet = BandAt(paper, 160, 20, 110);
        QVERIFY2(std::abs(wet.rows - 24) <= 3, qPrintable(QString::number(wet.rows)));
        QVERIFY(Channel(wet.middle, 0) > Channel(wet.middle, 16) + 20);
        PenState recorded = LastStrokeState(paper);
        QCOMPARE(recorded.strokes, 1);
        QCOMPARE(recorded.colour, blue);
        QCOMPARE(recorded.radius, 12.0f);

        // A red line, then the picker on it.
        form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("toolGroup0"))->click();
        QCOMPARE(tools.Kind(), PaintKind::Pencil4);
        tools.SetMainColour(0xFFE00000u);
        tools.SetSize(6);
        harness::Drag(w, toWindow(20, 160), toWindow(300, 160));
        tools.SetMainColour(0xFF00FF00u);
        form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("スポイト"))->click();
        QCOMPARE(tools.Current(), (Operation{ToolClass::ColourPicker, 0}));
        const QPoint onLine = toWindow(160, 160);
        const DocPoint picked = w->View().WindowToDocument({double(onLine.x()), double(onLine.y())});
        const uint32_t red = paper.Composite().GetPixel(int32_t(std::floor(picked.x)), int32_t(std::floor(picked.y)));
        QVERIFY(Channel(red, 16) > Channel(red, 8) + 150);
        QTest::mouseClick(w, Qt::LeftButton, {}, onLine);
        QCOMPARE(tools.MainColour(), 0xFF000000u | red);
        QCOMPARE(form.ColourPanel()->findChild<QLineEdit*>(QStringLiteral("colourHex"))->text(),
                 QStringLiteral("#%1").arg(red & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper());

        // A preset clicked in the brush list paints with its own size.
        form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("toolGroup3"))->click();
        QCOMPARE(tools.Kind(), PaintKind::AirBrush4);
        QCoreApplication::processEvents();
        QListWidget* list = form.BrushListPanel()->List();
        QVERIFY(list->count() > 0);
        tools.SetSize(30);
        QListWidgetItem* preset = list->item(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(preset).center());
        const float presetSize = tools.Size().value;
        QVERIFY(presetSize != 30.0f);
        QCOMPARE(QString::fromStdString(tools.Param().Name()), preset->text());
        harness::Drag(w, toWindow(20, 200), toWindow(300, 200));
        recorded = LastStrokeState(paper);
        QCOMPARE(recorded.strokes, 3);
        QCOMPARE(recorded.colour, red & 0xFFFFFF);
        QCOMPARE(recorded.radius, presetSize);
    }

    void everyToolButtonHasAnIconAndTheOptionsFollowTheKind()
    {
        TMainForm& form = *session_.form;
        for (QToolButton* button : form.ToolPanel()->Buttons())
            QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
        for (QAction* item : form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("toolGroup4"))->menu()->actions())
            QVERIFY2(!item->icon().isNull(), qPrintable(item->text()));
        // Unbuilt classes are disabled, the built ones not.
        QVERIFY(form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("選択範囲とレイヤの移動"))->isEnabled());
        QVERIFY(!form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("矩形塗りつぶし"))->isEnabled());
        QVERIFY(form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("矩形選択"))->isEnabled());
        QVERIFY(form.ToolPanel()->findChild<QToolButton*>(QStringLiteral("手のひら"))->isEnabled());

        // The option panel shows the kind's controls and no others.
        for (PaintKind kind : {PaintKind::Pencil1, PaintKind::Eraser1, PaintKind::Blur4, PaintKind::Dodge1}) {
            form.Tools().SelectKind(kind);
            for (int id = 0; id <= int(OptionId::Tone); ++id) {
                const QString name = TOptionPanel::ControlName(OptionId(id));
                bool listed = false;
                for (const OptionControl& c : OptionControlsFor(form.Tools()))
                    listed = listed || c.id == OptionId(id);
                QCOMPARE(Shown<QWidget>(form.OptionPanel(), name) != nullptr, listed);
            }
        }
        form.Tools().SelectKind(PaintKind::WaterColor1);
        auto* effect = Shown<QDoubleSpinBox>(form.OptionPanel(), TOptionPanel::ControlName(OptionId::Effect1));
        QVERIFY(effect);
        QCOMPARE(effect->toolTip(), QStringLiteral("のばし効果|のばし効果の変更"));
    }

    void windowMenuTogglesPanelsAndTheLayoutSurvivesARestart()
    {
        const struct {
            const char* command;
            const char* dock;
        } panels[] = {{"actShowToolBox", "toolDock"},
                      {"actShowCtrlWindow", "optionDock"},
                      {"actShowColorWindow", "colourDock"},
                      {"actShowPenMtdList", "brushListDock"}};
        TMainForm* form = session_.form.get();
        for (const auto& p : panels) {
            auto* dock = form->findChild<QDockWidget*>(QString::fromLatin1(p.dock));
            QAction* toggle = form->Action(QString::fromLatin1(p.command));
            QVERIFY(dock && !dock->isHidden());
            form->UpdateActions();
            QVERIFY(toggle->isChecked());
            toggle->trigger();
            QVERIFY(dock->isHidden());
            form->UpdateActions();
            QVERIFY(!toggle->isChecked());
            toggle->trigger();
            QVERIFY(!dock->isHidden());
        }
        form->UpdateActions();
        QVERIFY2(!form->Action(QStringLiteral("actShowPalWindow"))->isEnabled(), "no swatch list yet");

        // The colour panel moves to the left, the brush list is hidden.
        auto* colour = form->findChild<QDockWidget*>(QStringLiteral("colourDock"));
        form->addDockWidget(Qt::LeftDockWidgetArea, colour);
        form->Action(QStringLiteral("actShowPenMtdList"))->trigger();
        QCOMPARE(form->dockWidgetArea(colour), Qt::LeftDockWidgetArea);
        CAppProfile* profile = session_.profile.get();
        session_.form.reset();
        QVERIFY(!profile->window.DockLayout.empty());
        QVERIFY(!profile->window.views[5].Visible);

        TMainForm again(*profile);
        QCOMPARE(again.dockWidgetArea(again.findChild<QDockWidget*>(QStringLiteral("colourDock"))),
                 Qt::LeftDockWidgetArea);
        QVERIFY(again.findChild<QDockWidget*>(QStringLiteral("brushListDock"))->isHidden());
        QVERIFY(again.Run(QStringLiteral("actWindowInitAllPos")));
        QCOMPARE(again.dockWidgetArea(again.findChild<QDockWidget*>(QStringLiteral("colourDock"))),
                 Qt::RightDockWidgetArea);
        QVERIFY(!again.findChild<QDockWidget*>(QStringLiteral("brushListDock"))->isHidden());

        // A layout the toolkit refuses gives the default.
        profile->window.DockLayout = "bm90IGEgbGF5b3V0";
        TMainForm refused(*profile);
        QCOMPARE(refused.dockWidgetArea(refused.findChild<QDockWidget*>(QStringLiteral("colourDock"))),
                 Qt::RightDockWidgetArea);
    }

    void picturesOfThePanels()
    {
        TMainForm& form = *session_.form;
        form.resize(1100, 800);
        QVERIFY(form.Run(QStringLiteral("ActFileNew")));
        QTest::qWait(20);
        Shoot(&form, QStringLiteral("main-window-panels"));
        Shoot(form.ToolPanel(), QStringLiteral("panel-tools"));
        Shoot(form.OptionPanel(), QStringLiteral("panel-options"));
        Shoot(form.ColourPanel(), QStringLiteral("panel-colour"));
        Shoot(form.BrushListPanel(), QStringLiteral("panel-brushes"));
    }
};

QTEST_MAIN(ToolPanelsTest)
#include "ToolPanelsTest.moc"
