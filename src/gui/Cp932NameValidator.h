#pragma once
// Names travel in the recordings as CP932: a name field refuses, as it is
// typed, a character CP932 cannot hold, so the stream always replays the
// name on screen. NameField makes such a field with its hint.
#include <QValidator>

class QLineEdit;

namespace morvane {

class Cp932NameValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// A line edit for a layer name: the validator and a tooltip that says why
// a character does not appear.
QLineEdit* NameField(QWidget* parent, const char* objectName);

} // namespace morvane
