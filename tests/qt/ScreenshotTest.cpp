// Pictures of the desktop program for a person to look at: the main window
// after the demo recording has played, with the file menu open, and the
// report, each checked for what it must show. Saved as PNGs under the build
// folder's screenshots/. The Japanese captions need a Japanese font; the
// test fails without one rather than saving pictures of empty boxes.
#include <QDir>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRawFont>
#include <QSet>
#include <QTextLayout>
#include <QtTest>

#include "app/CAppProfile.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormEventReport.h"
#include "gui/TMainForm.h"
#include "platform/UserNotifier.h"

#include "support/MainFormHarness.h"

using namespace morvane;

namespace {

const QString kFileMenu = QStringLiteral("ファイル(&F)");

// Whether every character of text gets a real glyph from font, fallback
// fonts included, and each glyph comes from a family that writes Japanese.
bool RendersJapanese(const QFont& font, const QString& text)
{
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        if (!japanese.contains(run.rawFont().familyName()))
            return false;
        for (quint32 index : run.glyphIndexes()) {
            if (index == 0)
                return false;
            ++glyphs;
        }
    }
    return glyphs == text.size();
}

using harness::Colours;
using harness::ShotPath;

} // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<CAppProfile>& profile_ = session_.profile;
    std::unique_ptr<TMainForm>& form_ = session_.form;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(QStringLiteral(MORVANE_SCREENSHOTS)));
        QVERIFY(session_.Start());
        form_->resize(1024, 720);
    }
    void cleanupTestCase() { session_.Stop(); }

    void japaneseFontRendersTheMenus()
    {
        QVERIFY2(!QFontDatabase::families(QFontDatabase::Japanese).isEmpty(), "no Japanese font is installed");
        QVERIFY(RendersJapanese(QApplication::font(), QStringLiteral("ファイル")));
        QVERIFY(RendersJapanese(form_->menuBar()->font(), QStringLiteral("再生結果")));
    }

    // Played by the program's own timers, as a person would watch it.
    void demoPlayedShowsThePicture()
    {
        TDrawWindow* w = form_->OpenEventFile(QStringLiteral(MORVANE_DEMO), false);
        QVERIFY2(w, notifier_.messages.empty() ? "" : notifier_.messages.back().text.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(!w->Playing(), 120000);
        QVERIFY(form_->LastReport());
        QTest::qWait(50);

        // At 1:1, so the picture shows the composite's own pixels.
        w->SetZoom({1, 1});
        QTest::qWait(20);
        const QImage shot = form_->grab().toImage();
        QVERIFY(shot.save(ShotPath(QStringLiteral("main_window.png"))));
        QCOMPARE(harness::CompositeMismatches(shot, w->mapTo(form_.get(), QPoint(0, 0)), *w), int64_t(0));
        QVERIFY2(Colours(shot, QRect(w->mapTo(form_.get(), QPoint(0, 0)), w->size())) >= 16,
                 "the replayed picture is a blank page");
    }

    void fileMenuOpens()
    {
        QMenu* menu = nullptr;
        for (QAction* action : form_->menuBar()->actions())
            if (action->text() == kFileMenu)
                menu = action->menu();
        QVERIFY(menu);
        form_->activateWindow();
        form_->menuBar()->setActiveAction(menu->menuAction());
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(50);

        // The open menu is a window of its own: drawn over the main window
        // where it stands, and saved alone as well.
        const QImage alone = menu->grab().toImage();
        QVERIFY(alone.save(ShotPath(QStringLiteral("file_menu.png"))));
        QVERIFY(Colours(alone, alone.rect()) >= 8);
        QImage shot = form_->grab().toImage();
        {
            QPainter painter(&shot);
            painter.drawImage(form_->mapFromGlobal(menu->pos()), alone);
        }
        QVERIFY(shot.save(ShotPath(QStringLiteral("main_window_file_menu.png"))));
        menu->hide();
    }

    void reportShowsItsTexts()
    {
        TFormEventReport* report = form_->LastReport();
        QVERIFY(report);
        const QImage shot = report->grab().toImage();
        QVERIFY(shot.save(ShotPath(QStringLiteral("report.png"))));
        QVERIFY(Colours(shot, shot.rect()) >= 8);
        QCOMPARE(harness::BlankThumbnails(shot, *report, 10), QStringList());
    }
};

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
