#include "gui/MessageBoxNotifier.h"

#include <QApplication>
#include <QMessageBox>

namespace morvane {
namespace {

const QString kProgram = QStringLiteral("Morvane");

// The texts break lines with '\r' as they are written.
QString Text(const std::string& text) { return QString::fromStdString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')); }

QWidget* Owner() { return QApplication::activeWindow(); }

} // namespace

void MessageBoxNotifier::Warn(const std::string& text)
{
    QMessageBox::warning(Owner(), QStringLiteral("%1 (%2)").arg(QStringLiteral("警告"), kProgram), Text(text));
}

Answer MessageBoxNotifier::Ask(const std::string& text, Buttons buttons)
{
    QMessageBox::StandardButtons offered;
    switch (buttons) {
    case Buttons::Ok: offered = QMessageBox::Ok; break;
    case Buttons::OkCancel: offered = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: offered = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: offered = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    switch (QMessageBox::question(Owner(), kProgram, Text(text), offered)) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return DefaultAnswer(buttons);
    }
}

void MessageBoxNotifier::Inform(const std::string& text)
{
    QMessageBox::information(Owner(), kProgram, Text(text));
}

} // namespace morvane
