// Qt's own texts in Japanese from the system's catalogue, and English with
// no failure when the catalogue is missing.
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include "gui/QtTranslation.h"
#include "platform/DiagnosticSink.h"

using namespace morvane;

class QtTranslationTest : public QObject {
    Q_OBJECT

    static QString Cancel() { return QCoreApplication::translate("QPlatformTheme", "Cancel"); }
    static void Unload()
    {
        for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }

private slots:
    void cleanup() { Unload(); }

    void systemCatalogueTranslatesQtsButtons()
    {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm")))
            QSKIP("qtbase_ja.qm is not installed (scripts/setup installs it)");
        QVERIFY(LoadQtTranslation(*qApp));
        QCOMPARE(Cancel(), QStringLiteral("キャンセル"));
    }

    void missingCatalogueKeepsEnglish()
    {
        const QTemporaryDir empty;
        CapturingDiagnosticSink sink;
        ScopedDiagnostics capture(sink);
        QVERIFY(!LoadQtTranslation(*qApp, empty.path()));
        QCOMPARE(Cancel(), QStringLiteral("Cancel"));
        QVERIFY(qApp->findChildren<QTranslator*>().isEmpty());
        QCOMPARE(int(sink.lines.size()), 1);
    }
};

QTEST_MAIN(QtTranslationTest)
#include "QtTranslationTest.moc"
