// The layer-properties and new-layer dialogs: what they show of a layer and
// what OK takes (per cent, density, position limits, halves away from
// zero), the trim button only for a larger store, names CP932 cannot hold
// refused as typed, the neutral colour labels; through the menu, OK records
// each changed value as its own step and replays, Cancel changes nothing.
// Pictures of both dialogs go to the screenshots folder.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "support/MainFormHarness.h"
#include "support/TempFolder.h"
#include "document/ModeLists.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "gui/TBlendModeDropDwon.h"
#include "gui/TFormLayerOption.h"
#include "gui/TFormNewLayer.h"
#include "gui/TMainForm.h"

using namespace morvane;

class LayerDialogsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    // A 60 x 40 picture whose second layer (current) has a store of 100 x 70
    // with the picture at (30, 10), opacity 128 and dither density 64.
    TPaper* Picture()
    {
        harness::AnswerNewDocument(*form_, 60, 40);
        if (!Trigger("ActFileNew"))
            return nullptr;
        TPaper& p = form_->ActiveDrawWindow()->Paper();
        const bool ok = p.AddLayer(1, 60, 40, true, 128, kModeNormal) && p.ShiftLayer(1, -40, -30) &&
                        p.ShiftLayer(1, 10, 20) && p.SetLayerDither(1, false, 64) && p.SelectLayer(1);
        return ok ? &p : nullptr;
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void propertiesShowAndTake_data()
    {
        QTest::addColumn<double>("left");
        QTest::addColumn<int>("wantLeft");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("wantByte");
        QTest::newRow("as shown") << -30.0 << -30 << 50 << 128;
        QTest::newRow("half up") << 12.5 << 13 << 75 << 191;
        QTest::newRow("half down") << -12.5 << -13 << 1 << 3;
        QTest::newRow("past the limit") << 500.0 << 100 << 100 << 255;
    }
    void propertiesShowAndTake()
    {
        QFETCH(double, left);
        QFETCH(int, wantLeft);
        QFETCH(int, percent);
        QFETCH(int, wantByte);
        TPaper* p = Picture();
        QVERIFY(p);
        const CLayerData& layer = *p->LayerAt(1);
        QCOMPARE(layer.Store->Width, 100);
        TFormLayerOption dialog(*p, 1, {});
        QCOMPARE(dialog.OpacityBox()->value(), 50);
        QCOMPARE(dialog.DensityBox()->value(), 25);
        QCOMPARE(dialog.LeftBox()->value(), -30.0);
        QCOMPARE(dialog.TopBox()->value(), -10.0);
        // a = min(100, 10000 - 100): -100 ... 100 across, -70 ... 70 down.
        QCOMPARE(dialog.LeftBox()->minimum(), -100.0);
        QCOMPARE(dialog.LeftBox()->maximum(), 100.0);
        QCOMPARE(dialog.TopBox()->maximum(), 70.0);
        QVERIFY(dialog.TrimButton()->isEnabled());
        dialog.LeftBox()->setValue(left);
        dialog.OpacityBox()->setValue(percent);
        const SLayerOptions c = dialog.Choice();
        QCOMPARE(c.left, wantLeft);
        QCOMPARE(int(PercentToByte(c.opacityPercent)), wantByte);
    }

    void trimIsOfferedForALargerStoreAndRunsAtOnce()
    {
        TPaper* p = Picture();
        QVERIFY(p);
        TFormLayerOption bottom(*p, 0, {});
        QVERIFY(!bottom.TrimButton()->isEnabled());
        int trims = 0;
        TFormLayerOption dialog(*p, 1, [&] {
            ++trims;
            return p->TrimLayerOutside(1);
        });
        dialog.TrimButton()->click();
        QCOMPARE(trims, 1);
        QCOMPARE(p->LayerAt(1)->Store->Width, 60);
        QVERIFY(!dialog.TrimButton()->isEnabled());
        QCOMPARE(dialog.LeftBox()->value(), 0.0);
    }

    void namesCp932CannotHoldAreRefusedAsTyped()
    {
        TFormNewLayer dialog("レイヤ2");
        QLineEdit* name = dialog.NameEdit();
        name->clear();
        // Typed one character at a time, as a person (or an input method) does.
        for (const QString& c : {QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("f"), QStringLiteral("\u00e9"),
                                 QStringLiteral("\u4e0b"), QStringLiteral("\u66f8"), QStringLiteral("\u304d")})
            name->insert(c);
        QCOMPARE(name->text(), QStringLiteral("caf\u4e0b\u66f8\u304d"));
        TPaper* p = Picture();
        QVERIFY(p);
        TFormLayerOption options(*p, 1, {});
        options.NameEdit()->clear();
        for (const QString& c : {QStringLiteral("\U0001F3A8"), QStringLiteral("a"), QStringLiteral("b")})
            options.NameEdit()->insert(c);
        QCOMPARE(options.NameEdit()->text(), QStringLiteral("ab"));
    }

    void newLayerLabelsTheNeutralColour()
    {
        TFormNewLayer dialog("レイヤ2");
        QCOMPARE(dialog.NameEdit()->text(), QStringLiteral("レイヤ2"));
        QCOMPARE(dialog.ModeBox()->Mode(), int(kModeDisplayOrder[0]));
        QCOMPARE(dialog.ColourBox()->itemText(0), QStringLiteral("白"));
        dialog.ModeBox()->setCurrentIndex(ListPositionOfMode(kModeMultiply));
        QCOMPARE(dialog.ColourBox()->itemText(0), QStringLiteral("白( 中性色 )"));
        QCOMPARE(dialog.ColourBox()->currentIndex(), 0);
        dialog.ModeBox()->setCurrentIndex(ListPositionOfMode(kModeScreen));
        QCOMPARE(dialog.ColourBox()->itemText(1), QStringLiteral("黒( 中性色 )"));
        QCOMPARE(dialog.ColourBox()->currentIndex(), 1);
        dialog.TransparentBox()->setChecked(true);
        dialog.OpacityBox()->setValue(50);
        const SNewLayerChoice c = dialog.Choice();
        QCOMPARE(c.mode, int(kModeScreen));
        QCOMPARE(c.opacity, 128);
        QCOMPARE(c.fill, NewLayerFill(1, true));
        QVERIFY(dialog.grab().save(harness::ShotPath(QStringLiteral("new_layer_dialog.png"))));
    }

    // Through the menu: each changed value its own step, replayed alike;
    // Cancel changes nothing.
    void menuCommandsRecordEachValue()
    {
        TPaper* p = Picture();
        QVERIFY(p);
        const int32_t undo = p->UndoManager()->UndoCount();
        form_->askLayerOptions = [](TPaper&, int32_t) { return std::optional<SLayerOptions>(); };
        QVERIFY(Trigger("ActLyrOpt"));
        QCOMPARE(p->UndoManager()->UndoCount(), undo);
        form_->askLayerOptions = [](TPaper& paper, int32_t i) {
            SLayerOptions o = LayerOptionsOf(*paper.LayerAt(i));
            o.name = "線画", o.mode = kModeMultiply, o.opacityPercent = 80, o.dither = true, o.left = -5, o.top = -25;
            return std::optional<SLayerOptions>(o);
        };
        QVERIFY(Trigger("ActLyrOpt"));
        QCOMPARE(p->UndoManager()->UndoCount(), undo + 5);
        const CLayerData& l = *p->LayerAt(1);
        QCOMPARE(QString::fromStdString(l.Name), QStringLiteral("線画"));
        QCOMPARE(int(l.Opacity), 204);
        QCOMPARE(l.OriginX, 5);
        QCOMPARE(l.OriginY, 25);
        form_->askNewLayer = [](TPaper&) {
            return std::optional<SNewLayerChoice>(SNewLayerChoice{"影", kModeMultiply, 200, 0x00FFFFFFu});
        };
        QVERIFY(Trigger("ActLyrNew"));
        QCOMPARE(QString::fromStdString(p->LayerAt(2)->Name), QStringLiteral("影"));
        const support::TempFolder folder;
        TDrawWindow* replay = harness::Replay(*form_, QString::fromStdString(folder / "dialogs.vd4"));
        QVERIFY(replay);
        TPaper& r = replay->Paper();
        QCOMPARE(r.LayerCount(), 3);
        QCOMPARE(QString::fromStdString(r.LayerAt(1)->Name), QStringLiteral("線画"));
        QCOMPARE(r.LayerAt(1)->OriginX, 5);
        QCOMPARE(int(r.LayerAt(1)->Mode), int(kModeMultiply));
        QVERIFY(r.LayerAt(1)->Dither);
        QCOMPARE(harness::Checksum(r.Composite()), harness::Checksum(p->Composite()));
    }

    void propertiesScreenshot()
    {
        TPaper* p = Picture();
        QVERIFY(p);
        TFormLayerOption dialog(*p, 1, {});
        dialog.show();
        QVERIFY(dialog.grab().save(harness::ShotPath(QStringLiteral("layer_properties_dialog.png"))));
    }
};

QTEST_MAIN(LayerDialogsTest)
#include "LayerDialogsTest.moc"
