#pragma once
// The open and save dialogs, built from the table of dialog kinds: filters
// in order, the default extension, and on saving the name's extension
// following the chosen filter.
#include <QString>

class QFileDialog;
class QWidget;

namespace morvane {

// A dialog of the kind (0-18); nullptr for a kind without one. The
// program's own (non-native) dialog where the kind previews.
QFileDialog* NewFileDialog(QWidget* parent, int kind, const QString& folder = {}, int filterIndex = 0);
// Runs it: the chosen file, empty when cancelled; filterIndex (when given)
// receives the chosen filter's index.
QString AskFilePath(QWidget* parent, int kind, const QString& folder = {}, int* filterIndex = nullptr);

} // namespace morvane
