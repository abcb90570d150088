// The document commands of the main window offscreen: the new-document
// dialog over its preset model, the image and layer commands through their
// menu actions (done, undone, redone and replayed from their recording), the
// window arrangement, the about box and files dropped on the window.
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <algorithm>

#include "app/CAppProfile.h"
#include "document/CLayerData.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormAbout.h"
#include "gui/TFormNew.h"
#include "gui/TMainForm.h"
#include "platform/UserNotifier.h"

#include "support/MainFormHarness.h"
#include "document/SLayerParam.h"

using namespace morvane;
using harness::Checksum;

namespace {

constexpr int32_t kWidth = 160, kHeight = 120;

// Everything a command may change: size, composite, and each layer's
// attributes and picture-area pixels.
uint64_t Signature(TPaper& paper)
{
    uint64_t h = Checksum(paper.Composite());
    const auto mix = [&h](uint64_t v) { h = support::FnvMix(h, v); };
    mix(uint64_t(paper.Width) << 32 | uint32_t(paper.Height));
    mix(uint64_t(paper.LayerCount()));
    for (int32_t i = 0; i < paper.LayerCount(); ++i) {
        const CLayerData& l = *paper.LayerAt(i);
        mix(uint64_t(l.Visible) | uint64_t(l.ProtectAlpha) << 1 | uint64_t(l.LinkLevel) << 8 |
            uint64_t(l.Opacity) << 24 | uint64_t(l.Mode) << 32);
        for (int32_t y = 0; y < paper.Height; ++y)
            for (int32_t x = 0; x < paper.Width; ++x)
                mix(l.Store->GetPixelOrDefault(x + l.OriginX, y + l.OriginY));
    }
    return h;
}

QLineEdit* Edit(TFormNew& form, const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name)); }
QListWidget* Presets(TFormNew& form) { return form.findChild<QListWidget*>(QStringLiteral("presetList")); }

// A value typed and confirmed as a person does.
void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void ChooseUnit(TFormNew& form, SizeUnit unit)
{
    auto* combo = form.findChild<QComboBox*>(QStringLiteral("widthUnit"));
    combo->setCurrentIndex(int(unit));
    emit combo->activated(int(unit));
}

int EntryIndex(const char* name)
{
    for (int e = 0; e < kPaperPresetEntries; ++e)
        if (QString::fromUtf8(PaperPresetEntry(e).name) == QString::fromUtf8(name))
            return e;
    return -1;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class DocumentCommandsTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<CAppProfile>& profile_ = session_.profile;
    std::unique_ptr<TMainForm>& form_ = session_.form;

    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    TDrawWindow* NewWindow()
    {
        harness::AnswerNewDocument(*form_, kWidth, kHeight);
        return Trigger("ActFileNew") ? form_->ActiveDrawWindow() : nullptr;
    }
    void Drag(QWidget* w, QPoint from, QPoint to)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 8; ++i)
            QTest::mouseMove(w, from + (to - from) * i / 8);
        QTest::mouseRelease(w, Qt::LeftButton, {}, to);
    }
    // A picture with a stroke on the opaque bottom layer and another on a
    // transparent layer above it (current), all recorded.
    TDrawWindow* TwoLayerPicture()
    {
        TDrawWindow* w = NewWindow();
        if (!w)
            return nullptr;
        QTest::qWait(1);
        Drag(w, {20, 20}, {70, 40});
        if (!Trigger("ActLyrNew"))
            return nullptr;
        Drag(w, {30, 90}, {140, 50});
        return w;
    }

private slots:
    void init()
    {
        QVERIFY(session_.Start());
        // The new-layer dialog answered with what it proposes.
        form_->askNewLayer = [](TPaper& p) {
            return std::optional<SNewLayerChoice>(
                SNewLayerChoice{p.Layers().NextName(1), kModeNormal, 255, 0x00FFFFFFu});
        };
    }
    void cleanup() { session_.Stop(); }

    // ---- the new-document dialog ----

    void newFormPresetGivesPixels_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("portrait");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("unit");
        QTest::newRow("custom") << "カスタム" << false << 512 << 512 << int(SizeUnit::Pixel);
        QTest::newRow("VGA") << "VGA" << false << 640 << 480 << int(SizeUnit::Pixel);
        QTest::newRow("A4") << "A4" << false << 1754 << 1240 << int(SizeUnit::Mm);
        QTest::newRow("A4 portrait") << "A4" << true << 1240 << 1754 << int(SizeUnit::Mm);
        QTest::newRow("letter") << "レターサイズ" << false << 1650 << 1275 << int(SizeUnit::Inch);
    }
    void newFormPresetGivesPixels()
    {
        QFETCH(QString, preset);
        QFETCH(bool, portrait);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, unit);
        TFormNew form(*profile_);
        // It opens on user preset 1.
        QCOMPARE(Presets(form)->currentRow(), PresetLineOfEntry(1));
        QVERIFY(!form.findChild<QRadioButton*>(QStringLiteral("portrait"))->isEnabled());
        const int entry = EntryIndex(preset.toUtf8().constData());
        Presets(form)->setCurrentRow(PresetLineOfEntry(entry));
        if (portrait)
            QTest::mouseClick(form.findChild<QRadioButton*>(QStringLiteral("portrait")), Qt::LeftButton);
        const SNewPictureResult got = form.Choice().picture;
        QCOMPARE(got.width, width);
        QCOMPARE(got.height, height);
        QCOMPARE(form.findChild<QComboBox*>(QStringLiteral("heightUnit"))->currentIndex(), unit);
        QCOMPARE(form.findChild<QGroupBox*>()->title(), QStringLiteral("画像サイズ ( %1 × %2 px )").arg(width).arg(height));
        QCOMPARE(Presets(form)->currentRow(), PresetLineOfEntry(entry));
    }

    // Moving onto a separator, by click or key, moves on in the direction of travel.
    void newFormSkipsSeparators()
    {
        TFormNew form(*profile_);
        QListWidget* list = Presets(form);
        int separators = 0;
        for (int line = 1; line + 1 < PresetListLines(); ++line) {
            if (PresetEntryOfLine(line) >= 0)
                continue;
            ++separators;
            list->setCurrentRow(line - 1);
            list->setCurrentRow(line);
            QCOMPARE(list->currentRow(), line + 1);
            list->setCurrentRow(line);
            QCOMPARE(list->currentRow(), line - 1);
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Down);
            QCOMPARE(list->currentRow(), line + 1);
            QCOMPARE(form.Model().SelectedLine(), line + 1);
        }
        QCOMPARE(separators, 10);
    }

    void newFormUnitChangeKeepsPixels()
    {
        TFormNew form(*profile_);
        Presets(form)->setCurrentRow(PresetLineOfEntry(EntryIndex("A4")));
        const SNewPictureResult a4 = form.Choice().picture;
        // Pixels first: the other units follow from the rounded pixel size.
        const QString texts[] = {QStringLiteral("1754"), QStringLiteral("11.6933"), QStringLiteral("29.7011"),
                                 QStringLiteral("297.011")};
        for (SizeUnit unit : {SizeUnit::Pixel, SizeUnit::Inch, SizeUnit::Cm, SizeUnit::Mm}) {
            ChooseUnit(form, unit);
            QCOMPARE(Edit(form, "widthEdit")->text(), texts[int(unit)]);
            QCOMPARE(form.findChild<QComboBox*>(QStringLiteral("heightUnit"))->currentIndex(), int(unit));
            QCOMPARE(form.Choice().picture, a4);
        }
    }

    // Edits while a user preset is selected reach the settings at once;
    // edits of a fixed preset do not.
    void newFormWritesUserPresetBack()
    {
        const PaperPreset second = profile_->paper[2];
        {
            TFormNew form(*profile_);
            Type(Edit(form, "widthEdit"), QStringLiteral("1000"));
            QTest::mouseClick(form.findChild<QRadioButton*>(QStringLiteral("transparentPaper")), Qt::LeftButton);
            QCOMPARE(profile_->paper[1].w, 1000.0f);
            QVERIFY(profile_->paper[1].transparent);
            Presets(form)->setCurrentRow(PresetLineOfEntry(EntryIndex("VGA")));
            Type(Edit(form, "heightEdit"), QStringLiteral("300"));
            QCOMPARE(form.Model().SelectedEntry(), 0); // no longer a listed size
        }
        QCOMPARE(profile_->paper[2].w, second.w);
        TFormNew again(*profile_);
        QCOMPARE(again.Choice().picture, (SNewPictureResult{1000, 480, 72, true}));
    }

    // OK takes what is typed even unconfirmed; text that is no number keeps
    // the value, and sizes past the limits are clamped.
    void newFormOkTakesTypedValues()
    {
        TFormNew form(*profile_);
        Presets(form)->setCurrentRow(PresetLineOfEntry(EntryIndex("VGA")));
        Edit(form, "widthEdit")->setText(QStringLiteral("99999"));
        Edit(form, "heightEdit")->setText(QStringLiteral("abc"));
        form.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.Choice().picture, (SNewPictureResult{10000, 480, 72, false}));
        QCOMPARE(Edit(form, "widthEdit")->text(), QStringLiteral("10000"));
        QCOMPARE(Edit(form, "heightEdit")->text(), QStringLiteral("480"));
    }

    void fileNewOpensTheChosenDocument_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("resolution");
        QTest::newRow("QVGA white") << "QVGA" << false << 320 << 240 << 72;
        QTest::newRow("A6 transparent") << "A6" << true << 874 << 620 << 150;
    }
    void fileNewOpensTheChosenDocument()
    {
        QFETCH(QString, preset);
        QFETCH(bool, transparent);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, resolution);
        form_->askNewDocument = [&]() -> std::optional<SNewDocumentChoice> {
            TFormNew dialog(*profile_, form_.get());
            Presets(dialog)->setCurrentRow(PresetLineOfEntry(EntryIndex(preset.toUtf8().constData())));
            if (transparent)
                QTest::mouseClick(dialog.findChild<QRadioButton*>(QStringLiteral("transparentPaper")), Qt::LeftButton);
            Edit(dialog, "nameEdit")->setText(QStringLiteral("絵"));
            return dialog.Choice();
        };
        QVERIFY(Trigger("ActFileNew"));
        TDrawWindow* w = form_->ActiveDrawWindow();
        QVERIFY(w);
        QCOMPARE(w->Paper().Width, width);
        QCOMPARE(w->Paper().Height, height);
        QCOMPARE(w->Paper().Resolution, resolution);
        QCOMPARE(w->Paper().OpaquePaper, !transparent);
        QCOMPARE(w->windowTitle(), QStringLiteral("絵[*]"));
        QVERIFY(!w->isWindowModified());
        // Cancelled: nothing opens.
        form_->askNewDocument = [] { return std::optional<SNewDocumentChoice>(); };
        QVERIFY(Trigger("ActFileNew"));
        QCOMPARE(form_->DrawWindows().size(), size_t(1));
    }

    // ---- image and layer commands ----

    void commandUndoesRedoesAndReplays_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("layers");
        const auto row = [](const char* command, QStringList before, int layers) {
            QTest::newRow(command) << QString::fromLatin1(command) << before << layers;
        };
        row("ActImgFlipH", {}, 2);
        row("ActImgFlipV", {}, 2);
        row("ActImgRot90", {}, 2);
        row("ActImgRot270", {}, 2);
        row("ActImgRot180", {}, 2);
        row("ActImgInvert", {}, 2);
        row("ActLyrNew", {}, 3);
        row("ActLyrDup", {}, 3);
        row("ActLyrDel", {}, 1);
        row("ActLyrGroupI", {}, 2);
        row("ActLyrGroupO", {"ActLyrGroupI"}, 2);
        row("ActLyrGroupDel", {"ActLyrNew", "ActLyrGroupI", "select 1"}, 1);
        row("ActLyrClearA", {}, 2);
        row("ActLyrFillA", {}, 2);
        row("ActLyrInvertA", {}, 2);
        row("ActLyrProtectA", {}, 2);
        row("ActLyrMergeD", {}, 1);
        row("ActLyrMergeV2", {}, 1);
        row("ActLyrMergeV", {}, 1);
        row("actLyrFlipLR", {}, 2);
        row("actLyrFlipTB", {}, 2);
        row("ActLyrRot90", {}, 2);
        row("ActLyrRot270", {}, 2);
        row("actLyrRot180", {}, 2);
        row("ActViewCurLyr", {}, 2);
        row("ActViewAllLyr", {"ActViewNoLyr"}, 2);
        row("ActViewNoLyr", {}, 2);
        row("ActViewFlipLyr", {}, 2);
    }
    void commandUndoesRedoesAndReplays()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, before);
        QFETCH(int, layers);
        TDrawWindow* w = TwoLayerPicture();
        QVERIFY(w);
        TPaper& paper = w->Paper();
        for (const QString& step : before) {
            if (step == QStringLiteral("select 1")) {
                QVERIFY(paper.SelectLayer(1));
                form_->UpdateActions();
            } else
                QVERIFY2(Trigger(step.toLatin1().constData()), qPrintable(step));
        }
        const uint64_t start = Signature(paper);
        QVERIFY(Trigger(command.toLatin1().constData()));
        const uint64_t done = Signature(paper);
        QVERIFY(done != start);
        QCOMPARE(paper.LayerCount(), layers);
        QVERIFY(w->Modified());

        QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(Signature(paper), start);
        QVERIFY(Trigger("ActEditRedo"));
        QCOMPARE(Signature(paper), done);

        QTemporaryDir dir;
        TDrawWindow* replay = harness::Replay(*form_, dir.filePath(QStringLiteral("command.vd4")));
        QVERIFY(replay && replay != w);
        QVERIFY(!replay->Playing());
        QCOMPARE(Signature(replay->Paper()), done);
    }

    // What a command needs beyond an editable document keeps it disabled.
    void commandsOutOfReachStayDisabled()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        for (const char* name : {"ActLyrDel", "ActLyrMergeD", "ActLyrGroupI", "ActLyrGroupO", "ActLyrGroupDel",
                                 "ActLyrMergeV2", "ActLyrMergeV", "ActEditUndoClear", "ActLyrTrimOut", "ActImgSize",
                                 "ActLyrSel2A", "ActImgTrim"})
            QVERIFY2(!form_->Action(QString::fromLatin1(name))->isEnabled(), name);
        // Playing a recording, no document command is offered.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.vd4"));
        Drag(w, {10, 10}, {60, 60});
        QVERIFY(form_->SaveEventFile(path));
        TDrawWindow* replay = form_->OpenEventFile(path, true);
        QVERIFY(replay && replay->Playing());
        for (const char* name : {"ActLyrNew", "ActImgFlipH", "ActViewNoLyr"})
            QVERIFY2(!form_->Action(QString::fromLatin1(name))->isEnabled(), name);
    }

    void clearHistoryAsksFirst()
    {
        TDrawWindow* w = TwoLayerPicture();
        QVERIFY(w);
        notifier_.script = {Answer::No, Answer::Yes};
        QVERIFY(Trigger("ActEditUndoClear"));
        QCOMPARE(notifier_.messages.back().text, std::string("すべての 取り消し/やり直し を破棄してよろしいですか?"));
        QVERIFY(form_->Action(QStringLiteral("ActEditUndo"))->isEnabled());
        QVERIFY(Trigger("ActEditUndoClear"));
        QVERIFY(!form_->Action(QStringLiteral("ActEditUndo"))->isEnabled());
        QVERIFY(!form_->Action(QStringLiteral("ActEditUndoClear"))->isEnabled());
    }

    // Stopping the recording asks twice and may save it first; afterwards
    // nothing is recorded and the command is no longer offered.
    void recordingStopAsksAndSavesFirst()
    {
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        const CEventMngr& events = *w->Paper().EventManager();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kept.vd4"));
        form_->askSavePath = [path](bool*) { return path; };
        notifier_.script = {Answer::Cancel};
        QVERIFY(Trigger("ActEventRecStop"));
        QCOMPARE(notifier_.messages.back().text,
                 std::string("イベント記録を終了します。\r一度終了すると、記録を再開することはできません!"));
        QVERIFY(events.IsRecordingWithEvents());
        notifier_.script = {Answer::Ok, Answer::Yes};
        QVERIFY(Trigger("ActEventRecStop"));
        QCOMPARE(notifier_.messages.back().text, std::string("今までのイベントを保存しますか?"));
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!events.IsRecording());
        form_->UpdateActions();
        QVERIFY(!form_->Action(QStringLiteral("ActEventRecStop"))->isEnabled());
    }

    // The tool dock is shown and hidden by its command (Ctrl+0), the check
    // mark and the setting follow, and a new main window starts that way.
    void toolDockFollowsItsCommand()
    {
        auto* dock = form_->findChild<QDockWidget*>(QStringLiteral("toolDock"));
        QAction* toggle = form_->Action(QStringLiteral("actShowToolBox"));
        QVERIFY(dock && !dock->isHidden() && toggle->isChecked());
        QTest::keyClick(form_.get(), Qt::Key_0, Qt::ControlModifier);
        QVERIFY(dock->isHidden());
        form_->UpdateActions();
        QVERIFY(!toggle->isChecked());
        QVERIFY(!profile_->window.ToolFormVisible);
        TMainForm next(*profile_);
        QVERIFY(next.findChild<QDockWidget*>(QStringLiteral("toolDock"))->isHidden());
        QVERIFY(Trigger("actShowToolBox"));
        QVERIFY(!dock->isHidden() && profile_->window.ToolFormVisible);
    }

    // ---- windows ----

    void windowsArrangeAsNamed()
    {
        for (int i = 0; i < 3; ++i)
            QVERIFY(NewWindow());
        QMdiArea* area = form_->findChild<QMdiArea*>();
        const QRect space = area->viewport()->rect();
        const QList<QMdiSubWindow*> subs = area->subWindowList(QMdiArea::CreationOrder);

        QVERIFY(Trigger("actWindowTileVertical"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(subs[i]->geometry(), QRect(space.width() * i / 3, 0, space.width() * (i + 1) / 3 - space.width() * i / 3,
                                                space.height()));
        }
        QVERIFY(Trigger("actWindowTileHorizontal"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(subs[i]->geometry(), QRect(0, space.height() * i / 3, space.width(),
                                                space.height() * (i + 1) / 3 - space.height() * i / 3));
        }
        // Cascaded: each window down and to the right of the one before.
        QVERIFY(Trigger("actWindowCascade"));
        QList<QPoint> corners;
        for (QMdiSubWindow* sub : subs)
            corners.push_back(sub->pos());
        std::sort(corners.begin(), corners.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); });
        for (int i = 1; i < 3; ++i)
            QVERIFY(corners[i].x() > corners[i - 1].x() && corners[i].y() > corners[i - 1].y());
        QVERIFY(Trigger("actWindowMinimizeAll"));
        for (QMdiSubWindow* sub : subs)
            QVERIFY(sub->isMinimized());
        subs[1]->move(40, 10);
        QVERIFY(Trigger("actWindowArrange"));
        int x = 0;
        for (QMdiSubWindow* sub : subs) {
            QCOMPARE(sub->geometry().bottom(), space.bottom());
            QCOMPARE(sub->x(), x);
            x += sub->width();
        }
    }

    void aboutBoxNamesTheProduct()
    {
        QCOMPARE(form_->Action(QStringLiteral("actAboutBox"))->text(), QStringLiteral("Morvane について(&A)..."));
        QVERIFY(Trigger("actAboutBox"));
        auto* about = form_->findChild<TFormAbout*>();
        QVERIFY(about && about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("Morvane について"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("productName"))->text(), QStringLiteral("Morvane"));
        const QString version = about->findChild<QLabel*>(QStringLiteral("version"))->text();
        QVERIFY2(QRegularExpression(QStringLiteral("^バージョン \\d+\\.\\d+\\.\\d+$")).match(version).hasMatch(),
                 qPrintable(version));
    }

    // Pictures of the dialogs for a person to look at.
    void dialogScreenshots()
    {
        TFormNew form(*profile_);
        Presets(form)->setCurrentRow(PresetLineOfEntry(EntryIndex("A4")));
        form.show();
        QVERIFY(form.grab().save(harness::ShotPath(QStringLiteral("new_document.png"))));
        TFormAbout about;
        about.show();
        QVERIFY(about.grab().save(harness::ShotPath(QStringLiteral("about.png"))));
    }

    // ---- dropped files ----

    void droppedFilesOpenOrAreRefused()
    {
        QTemporaryDir dir;
        TDrawWindow* w = NewWindow();
        QVERIFY(w);
        Drag(w, {10, 10}, {80, 50});
        const QString events = dir.filePath(QStringLiteral("drawn.vd4"));
        QVERIFY(form_->SaveEventFile(events));
        const QString picture = dir.filePath(QStringLiteral("picture.png"));
        WriteFile(picture, QByteArray("\x89PNG\r\n\x1a\n", 8));
        const QString broken = dir.filePath(QStringLiteral("broken.vd4"));
        WriteFile(broken, QByteArray("not an event file"));

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(events), QUrl::fromLocalFile(picture)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);

        QCOMPARE(form_->DrawWindows().size(), size_t(2));
        TDrawWindow* played = form_->DrawWindows().back();
        QVERIFY(played->Playing());
        QCOMPARE(notifier_.messages.back().text, "画像ファイルを開くことができませんでした！\r    path = " + picture.toStdString());
        harness::PlayToEnd(*form_, *played);
        QCOMPARE(Checksum(played->Paper().Composite()), Checksum(w->Paper().Composite()));

        // A file with an event file's name that holds none gets the player's text.
        notifier_.messages.clear();
        QVERIFY(!form_->OpenGivenFile(broken));
        QCOMPARE(notifier_.messages.size(), size_t(1));
        QVERIFY(notifier_.messages.back().text.find("画像ファイル") == std::string::npos);
        QCOMPARE(form_->DrawWindows().size(), size_t(2));

        // Nothing local: refused at the door.
        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://example.invalid/a.vd4"))});
        QDragEnterEvent away(QPoint(5, 5), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &away);
        QVERIFY(!away.isAccepted());
    }
};

QTEST_MAIN(DocumentCommandsTest)
#include "DocumentCommandsTest.moc"
