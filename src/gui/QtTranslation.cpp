#include "gui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "platform/DiagnosticSink.h"

namespace morvane {

bool LoadQtTranslation(QCoreApplication& app, const QString& folder)
{
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), from)) {
        delete translator;
        Diagnose(("Qt's Japanese catalogue is missing in " + from + "; its dialogs stay in English").toStdString());
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace morvane
