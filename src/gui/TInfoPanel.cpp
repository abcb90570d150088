#include "gui/TInfoPanel.h"

#include <QFormLayout>
#include <QLabel>

#include <cmath>

#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "gui/TStatusPanels.h"
#include "storage/FixedPoint.h"

namespace morvane {

TInfoPanel::TInfoPanel(TMainForm& form, QWidget* parent) : QWidget(parent), form_(form)
{
    auto* layout = new QFormLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    AddLine("position", QStringLiteral("位置"));
    AddLine("colour", QStringLiteral("色"));
    swatch_ = new QLabel(this);
    swatch_->setFixedSize(32, 12);
    layout->addRow(QString(), swatch_);
    AddLine("size", QStringLiteral("画像サイズ"));
    AddLine("resolution", QStringLiteral("解像度"));
    AddLine("layer", QStringLiteral("レイヤ"));
    AddLine("totalMemory", QStringLiteral("全使用メモリ"));
    AddLine("layerMemory", QStringLiteral("レイヤ使用メモリ"));
    AddLine("undoMemory", QStringLiteral("アンドゥ使用メモリ"));
    timer_.setSingleShot(true);
    timer_.setInterval(kRefreshInterval);
    connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
    Refresh();
}

QLabel* TInfoPanel::AddLine(const char* name, const QString& caption)
{
    auto* value = new QLabel(this);
    value->setObjectName(QString::fromLatin1(name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    static_cast<QFormLayout*>(layout())->addRow(caption, value);
    return value;
}

QString TInfoPanel::Line(const char* name) const
{
    const QLabel* label = findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

void TInfoPanel::RequestRefresh()
{
    if (!timer_.isActive())
        timer_.start();
}

void TInfoPanel::Refresh()
{
    TDrawWindow* w = form_.ActiveDrawWindow();
    const auto set = [this](const char* name, const QString& text) {
        findChild<QLabel*>(QString::fromLatin1(name))->setText(text);
    };
    if (!w) {
        for (const char* name : {"position", "colour", "size", "resolution", "layer", "totalMemory", "layerMemory",
                                 "undoMemory"})
            set(name, QString());
        swatch_->setStyleSheet(QString());
        return;
    }
    TPaper& paper = w->Paper();
    const PointD at = w->Input().LastDocumentPoint();
    const int32_t x = truncSat<int32_t>(std::floor(at.x + 0.5)), y = truncSat<int32_t>(std::floor(at.y + 0.5));
    const TTC& composite = paper.Composite();
    const bool inside = x >= 0 && y >= 0 && x < composite.Width && y < composite.Height;
    set("position", inside ? QStringLiteral("%1, %2").arg(x).arg(y) : QStringLiteral("-"));
    if (inside) {
        const uint32_t c = composite.GetPixel(x, y);
        const int r = int(c >> 16 & 0xFF), g = int(c >> 8 & 0xFF), b = int(c & 0xFF);
        set("colour", QStringLiteral("R:%1 G:%2 B:%3").arg(r).arg(g).arg(b));
        swatch_->setStyleSheet(QStringLiteral("background: rgb(%1, %2, %3)").arg(r).arg(g).arg(b));
    } else {
        set("colour", QStringLiteral("-"));
        swatch_->setStyleSheet(QString());
    }
    set("size", FigureText(StatusFigure::ImageSize, paper));
    set("resolution", QStringLiteral("%1 dpi").arg(paper.Resolution));
    const CLayerData* layer = paper.LayerAt(paper.CurrentLayer());
    set("layer", layer ? QString::fromStdString(layer->Name) : QString());
    set("totalMemory", FigureText(StatusFigure::TotalMemory, paper));
    set("layerMemory", FigureText(StatusFigure::LayerMemory, paper));
    set("undoMemory", FigureText(StatusFigure::UndoMemory, paper));
}

} // namespace morvane
