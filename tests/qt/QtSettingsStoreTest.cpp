// The settings file: where it lives, that every value comes back from it,
// that it reads as a plain INI file, and that a hand-broken one loads safely.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "../app/SampleProfile.h"
#include "app/CAppProfile.h"
#include "gui/DesktopStart.h"
#include "platform/qt/QtSettingsStore.h"

using namespace morvane;

namespace {

AppEnvironment TestEnvironment()
{
    AppEnvironment env;
    env.appFolder = "/opt/morvane";
    env.screenWidth = 1920;
    env.screenHeight = 1080;
    return env;
}

QByteArray Contents(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class QtSettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    }

    void livesUnderTheUserConfigFolder()
    {
        QtSettingsStore store;
        QCOMPARE(store.FileName(), configHome.path() + "/vantrell/VELDRANE4.conf");
        CAppProfile p(TestEnvironment());
        QVERIFY(p.SaveAtExit(store));
        QVERIFY(QFile::exists(store.FileName()));
    }

    void screenFactsBoundTheMainWindow()
    {
        AppEnvironment env = TestEnvironment();
        env.screenWidth = 0;
        AddScreenFacts(env);
        QVERIFY(env.screenWidth > 0 && env.monitorCount >= 1);
        QTemporaryDir dir;
        QtSettingsStore store(dir.filePath("screen.conf"));
        store.Write("window", "mainWinW", int32_t(1) << 30);
        CAppProfile p(env);
        p.Load(store);
        QCOMPARE(p.window.mainWinW, std::max(env.screenWidth, 200));
    }

    void kindsAreCheckedOnReading()
    {
        QTemporaryDir dir;
        QtSettingsStore store(dir.filePath("kinds.conf"));
        store.Write("s", "int", int32_t(-2147483647 - 1));
        store.Write("s", "text", std::string("12"));
        store.Write("s", "bytes", std::vector<uint8_t>{0, 0xFF, '\n'});
        store.Write("s", "real", 0.1);
        QVERIFY(store.Flush());
        QtSettingsStore again(dir.filePath("kinds.conf"));
        QCOMPARE(again.ReadInt("s", "int"), std::optional<int32_t>(INT32_MIN));
        QCOMPARE(again.ReadReal("s", "real"), std::optional<double>(0.1));
        QCOMPARE(again.ReadBinary("s", "bytes"), std::optional(std::vector<uint8_t>{0, 0xFF, '\n'}));
        QCOMPARE(again.ReadString("s", "text"), std::optional<std::string>("12"));
        QVERIFY(!again.ReadString("s", "bytes"));
        QVERIFY(!again.ReadBinary("s", "text"));
        QVERIFY(!again.ReadInt("s", "real"));
        QVERIFY(!again.ReadInt("s", "missing"));
    }

    void everyValueSurvivesTheFile()
    {
        QTemporaryDir dir;
        const QString fileName = dir.filePath("VELDRANE4.conf");
        CAppProfile a(TestEnvironment());
        FillSample(a);
        QtSettingsStore store(fileName);
        QVERIFY(a.SaveAtExit(store));

        QtSettingsStore reopened(fileName);
        CAppProfile b(TestEnvironment());
        b.Load(reopened);
        std::vector<SettingEntry> ta = a.Table();
        std::vector<SettingEntry> tb = b.Table();
        QCOMPARE(tb.size(), ta.size());
        for (size_t i = 0; i < ta.size(); ++i)
            QVERIFY2(CurrentValue(ta[i]) == CurrentValue(tb[i]), ta[i].name.c_str());

        // A plain INI file: one group per section, text values in UTF-8.
        const QByteArray text = Contents(fileName);
        for (const char* line : {"[fileIO]\n", "[config]\n", "[color]\n", "[paper]\n", "[window]\n", "[font]\n",
                                 "appVerID=20\n", "FloatFormCount=2\n", "\nface=\"\xE5\x80\xA4 face, \xC3\xA4\"\n"})
            QVERIFY2(text.contains(line), line);
        QVERIFY(!text.contains("@ByteArray"));
        QVERIFY(!text.contains("@Variant"));
    }

    void brokenFileLoadsWithDefaultsAndClamps()
    {
        QTemporaryDir dir;
        const QString fileName = dir.filePath("broken.conf");
        const QByteArray broken =
            "[config]\n"
            "undoMax=99999999999999999999\n"
            "gridW=abc\n"
            "gridH=0\n"
            "gradRepCnt=-5\n"
            "opaquePaint=nan\n"
            "opaqueLine=1e999\n"
            "opaqueDraw=-inf\n"
            "mouseMBtnFunc=15\n"
            "GridColor=@ByteArray(\\xff\\0garbage)\n"
            "ToolFindNext=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x12garbage)\n"
            "fillLimit= 40 \n"
            "garbage line without equals\n"
            "[window]\n"
            "mainWinW=50\n"
            "mainWinH=-1\n"
            "FloatFormCount=1000000\n"
            "FloatForm0PaneCount=2000000000\n"
            "[font]\n"
            "face=@ByteArray(\\xff\\xfe)\n"
            "point=12.5\n"
            "[paper]\n"
            "w0=inf\n"
            "h0=1e308\n"
            "dpi0=0\n"
            "[[[broken\n"
            "\xff\xfe\x00\x01=\x80\n";
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(broken);
        file.close();

        QtSettingsStore store(fileName);
        CAppProfile p(TestEnvironment());
        p.Load(store);
        QCOMPARE(p.config.undoMax, 8);
        QCOMPARE(p.config.gridW, 32);
        QCOMPARE(p.config.gridH, 2);
        QCOMPARE(p.config.gradRepCnt, 1);
        QCOMPARE(p.config.opaquePaint, 1.0f);
        QCOMPARE(p.config.opaqueLine, 1.0f);
        QCOMPARE(p.config.opaqueDraw, 1.0f);
        QCOMPARE(p.config.mouseMBtnFunc, 10);
        QCOMPARE(uint32_t(p.config.GridColor), 0x80000000u);
        QCOMPARE(p.config.ToolFindNext, true);
        QCOMPARE(p.config.fillLimit, 40);
        QCOMPARE(p.window.mainWinW, 200);
        QCOMPARE(p.window.mainWinH, -1);
        QCOMPARE(p.window.FloatFormCount, kMaxFloatForms);
        QCOMPARE(p.window.forms[0].PaneCount, kMaxPanesPerForm);
        QCOMPARE(p.window.panes.size(), size_t(kMaxPanesPerForm));
        QCOMPARE(p.font.face, std::string());
        QCOMPARE(p.font.point, 0);
        QCOMPARE(p.paper[0].w, 640.0f);
        QCOMPARE(p.paper[0].h, 10000.0f);
        QCOMPARE(p.paper[0].dpi, 72);

        // A render or viewer instance leaves the file as it found it.
        p.SetSavesAtExit(false);
        QVERIFY(!p.SaveAtExit(store));
        QCOMPARE(Contents(fileName), broken);
    }

private:
    QTemporaryDir configHome;
};

QTEST_MAIN(QtSettingsStoreTest)
#include "QtSettingsStoreTest.moc"
