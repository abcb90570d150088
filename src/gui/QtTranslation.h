#pragma once
// Qt's own dialogs and buttons (file dialogs, message box buttons) in
// Japanese, from the qtbase_ja catalogue the system ships. Without it they
// stay in English and the program runs on.
#include <QString>

class QCoreApplication;

namespace morvane {

// Installs qtbase_ja from folder (empty: Qt's translations folder) on app;
// false, with one diagnostic line, when it is not there.
bool LoadQtTranslation(QCoreApplication& app, const QString& folder = {});

} // namespace morvane
