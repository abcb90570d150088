#include "gui/TFormAbout.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

namespace morvane {

QString ProductCaption(const char* format)
{
    return QString::fromUtf8(format).replace(QStringLiteral("%s"), QString::fromUtf8(kProductName));
}

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(ProductCaption("%s について"));
    auto* product = new QLabel(QString::fromUtf8(kProductName), this);
    product->setObjectName(QStringLiteral("productName"));
    QFont large = product->font();
    large.setPointSize(large.pointSize() * 2);
    large.setBold(true);
    product->setFont(large);
    auto* version = new QLabel(QStringLiteral("バージョン %1").arg(QStringLiteral(MORVANE_VERSION)), this);
    version->setObjectName(QStringLiteral("version"));
    auto* recording = new QLabel(QStringLiteral("描いた過程はすべてイベントとして記録され、\n"
                                                "イベントファイルから同じ絵に再生できます。"),
                                 this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(product);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(recording);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace morvane
