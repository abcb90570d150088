#include "gui/FileDialogs.h"

#include <QFileDialog>
#include <QLineEdit>

#include <memory>

#include "files/FileTypes.h"

namespace morvane {

namespace {

// The name in the name box takes the extension of the filter at index.
void FollowFilter(QFileDialog& dialog, int kind, int index)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit || edit->text().isEmpty())
        return;
    edit->setText(QString::fromStdString(SwapSaveExtension(edit->text().toStdString(), kind, index)));
}

} // namespace

QFileDialog* NewFileDialog(QWidget* parent, int kind, const QString& folder, int filterIndex)
{
    const FileDialogKind* k = DialogKindOf(kind);
    if (!k)
        return nullptr;
    QStringList filters;
    for (const std::string& f : k->filters)
        filters << QString::fromStdString(QtFilterOf(f));
    auto* dialog = new QFileDialog(parent, QString(), folder);
    dialog->setNameFilters(filters);
    if (k->preview)
        dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDefaultSuffix(QString::fromStdString(k->defaultExtension.substr(1)));
    if (filterIndex >= 0 && filterIndex < filters.size())
        dialog->selectNameFilter(filters[filterIndex]);
    if (!k->save) {
        dialog->setFileMode(QFileDialog::ExistingFile);
        return dialog;
    }
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog, kind, filters](const QString& filter) {
        const int index = int(filters.indexOf(filter));
        FollowFilter(*dialog, kind, index);
        const FileDialogKind* k = DialogKindOf(kind);
        if (index >= 0 && size_t(index) < k->filterExtensions.size())
            dialog->setDefaultSuffix(QString::fromStdString(k->filterExtensions[size_t(index)].substr(1)));
    });
    return dialog;
}

QString AskFilePath(QWidget* parent, int kind, const QString& folder, int* filterIndex)
{
    const std::unique_ptr<QFileDialog> dialog(NewFileDialog(parent, kind, folder, filterIndex ? *filterIndex : 0));
    if (!dialog || dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    if (filterIndex)
        *filterIndex = int(dialog->nameFilters().indexOf(dialog->selectedNameFilter()));
    return dialog->selectedFiles().front();
}

} // namespace morvane
