#include "platform/qt/QtBusyCursor.h"

#include <QApplication>
#include <QCursor>

namespace morvane {

void QtBusyCursor::Push() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
void QtBusyCursor::Pop() { QApplication::restoreOverrideCursor(); }

} // namespace morvane
