#include "gui/TFormSelExt.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "document/MaskMorphology.h"

namespace morvane {

TFormSelExt::TFormSelExt(bool expand, QWidget* parent) : QDialog(parent), amount_(new QSpinBox(this))
{
    setWindowTitle(QString::fromUtf8(expand ? "選択範囲の拡張" : "選択範囲の縮小"));
    amount_->setObjectName(QStringLiteral("amount"));
    amount_->setRange(1, kMaxGrowRadius);
    amount_->setValue(1);
    amount_->setSuffix(QStringLiteral(" px"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(amount_);
    layout->addWidget(buttons);
}

int TFormSelExt::Pixels() const { return amount_->value(); }

} // namespace morvane
