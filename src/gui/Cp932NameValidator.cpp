#include "gui/Cp932NameValidator.h"

#include <QLineEdit>

#include "codecs/CodePage.h"

namespace morvane {

QValidator::State Cp932NameValidator::validate(QString& input, int&) const
{
    return Cp932CanHold(input.toStdString()) ? Acceptable : Invalid;
}

QLineEdit* NameField(QWidget* parent, const char* objectName)
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setValidator(new Cp932NameValidator(line));
    line->setToolTip(QStringLiteral("レイヤ名に使えない文字は入力できません"));
    return line;
}

} // namespace morvane
