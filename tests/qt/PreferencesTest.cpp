// The preferences dialog offscreen: a control for every row of the table on
// its page; 閉じる stores the states and every open window takes them at
// once (undo depth, scroll bars, outline, grid); 初期化 resets the controls
// and not the settings; the start files follow "UseLastFile" and the fit
// sub-options their box; 参照 fills its field; the command's key is Ctrl+K.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <cstring>

#include "support/MainFormHarness.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormPreference.h"
#include "gui/TMainForm.h"

using namespace morvane;

namespace {

int IndexOf(const char* setting, int bit = -1)
{
    const auto& table = PreferenceControls();
    for (size_t i = 0; i < table.size(); ++i)
        if (std::strcmp(table[i].setting, setting) == 0 && table[i].bit == bit)
            return int(i);
    return -1;
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    template <class W> W* Control(TFormPreference& d, const char* setting, int bit = -1)
    {
        return qobject_cast<W*>(d.Control(IndexOf(setting, bit)));
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void everyRowHasAControlOnItsPage()
    {
        TFormPreference d(*session_.profile);
        QStringList pages;
        for (int i = 0; i < d.Pages()->count(); ++i)
            pages << d.Pages()->item(i)->text();
        QCOMPARE(pages, (QStringList{QStringLiteral("ツール"), QStringLiteral("カーソル・グリッド"),
                                     QStringLiteral("書類"), QStringLiteral("起動ファイル")}));
        for (int i = 0; i < int(PreferenceControls().size()); ++i)
            QVERIFY(d.Control(i));
        QCOMPARE(Control<QSpinBox>(d, "undoMax")->maximum(), 50);
        QCOMPARE(Control<QSpinBox>(d, "undoMax")->minimum(), 1);
        QCOMPARE(Control<QSpinBox>(d, "gridW")->maximum(), 500);
        QCOMPARE(Control<QSpinBox>(d, "gridW")->minimum(), 2);
        QCOMPARE(form_->Action(QStringLiteral("ActEditOpt"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
        QVERIFY(d.grab().save(harness::ShotPath(QStringLiteral("preferences_dialog.png"))));
    }

    void closeStoresAndOpenWindowsTakeIt()
    {
        harness::AnswerNewDocument(*form_, 80, 60);
        QVERIFY(form_->Run(QStringLiteral("ActFileNew")));
        TDrawWindow* w = form_->ActiveDrawWindow();
        TFormPreference d(*session_.profile);
        Control<QSpinBox>(d, "undoMax")->setValue(3);
        Control<QCheckBox>(d, "showScrollBar")->setChecked(true);
        Control<QCheckBox>(d, "BrushGhost")->setChecked(!session_.profile->config.BrushGhost);
        const bool ghost = !session_.profile->config.BrushGhost;
        d.CloseAsked();
        QCOMPARE(session_.profile->config.undoMax, 3);
        form_->ApplyPreferences();
        QCOMPARE(w->Paper().UndoManager()->UndoDepth(), 3);
        QVERIFY(w->Preferences().scrollBars);
        QCOMPARE(w->Preferences().brushGhost, ghost);
    }

    void resetChangesTheControlsOnly()
    {
        session_.profile->config.undoMax = 20;
        TFormPreference d(*session_.profile);
        QCOMPARE(Control<QSpinBox>(d, "undoMax")->value(), 20);
        d.ResetAsked();
        QCOMPARE(Control<QSpinBox>(d, "undoMax")->value(), 8);
        QCOMPARE(session_.profile->config.undoMax, 20);
    }

    void dependentControlsFollowTheirBoxes()
    {
        TFormPreference d(*session_.profile);
        auto* last = Control<QCheckBox>(d, "UseLastFile");
        for (bool on : {true, false}) {
            last->setChecked(on);
            for (const char* file : {"brushFile", "nibFile", "palFile", "gradFile2"})
                QCOMPARE(d.Control(IndexOf(file))->isEnabled(), !on);
        }
        auto* fit = Control<QCheckBox>(d, "AutoSizeAdjust", 0);
        for (bool on : {false, true}) {
            fit->setChecked(on);
            QCOMPARE(d.Control(IndexOf("AutoSizeAdjust", 1))->isEnabled(), on);
            QCOMPARE(d.Control(IndexOf("AutoSizeAdjust", 2))->isEnabled(), on);
        }
        QString asked;
        d.askFile = [&](const QString& filter) {
            asked = filter;
            return QStringLiteral("/tmp/brushes.pmt");
        };
        d.Control(IndexOf("brushFile"))->findChild<QPushButton*>()->click();
        QVERIFY(asked.contains(QStringLiteral("*.pmt")));
        QCOMPARE(d.Control(IndexOf("brushFile"))->findChild<QLineEdit*>()->text(), QStringLiteral("/tmp/brushes.pmt"));
    }
};

QTEST_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
