#include "gui/TFormEventReport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "events/PlaybackReport.h"

namespace morvane {
namespace {

// Two rows of five cells of 97 x 97, 102 pixels apart from (5, 5), each
// thumbnail centred in its framed cell.
class ThumbnailStrip final : public QWidget {
public:
    static constexpr int kCell = 97, kPitch = 102, kMargin = 5, kColumns = 5, kRows = 2;

    explicit ThumbnailStrip(std::vector<QImage> images, QWidget* parent) : QWidget(parent), images_(std::move(images))
    {
        setFixedSize(2 * kMargin + (kColumns - 1) * kPitch + kCell, 2 * kMargin + (kRows - 1) * kPitch + kCell);
    }

    // The image of slot i, centred in its cell; empty when it has none.
    QRect ImageRect(int i) const
    {
        if (i < 0 || i >= int(images_.size()) || images_[i].isNull())
            return {};
        const QRect cell = Cell(i);
        const QSize size = images_[i].size();
        return {QPoint(cell.left() + (kCell - size.width()) / 2, cell.top() + (kCell - size.height()) / 2),
                size};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(Qt::black);
        for (int i = 0; i < kColumns * kRows; ++i) {
            painter.drawRect(Cell(i).adjusted(-1, -1, 0, 0));
            if (const QRect at = ImageRect(i); !at.isEmpty())
                painter.drawImage(at.topLeft(), images_[i]);
        }
    }

private:
    static QRect Cell(int i)
    {
        return {kMargin + (i % kColumns) * kPitch, kMargin + (i / kColumns) * kPitch, kCell, kCell};
    }

    std::vector<QImage> images_;
};

} // namespace

QStringList ReportLines(const TEventReportParam& report)
{
    QStringList lines;
    lines << QString::fromUtf8(ReportStateLine(report.result))
          << QString::fromStdString(ReportFileLine(report.fileName, report.appendable));
    if (report.result != 3)
        lines << QString::fromStdString(ReportTimeLine(report.elapsedMs));
    lines << QString::fromStdString(ReportStepLine(report.steps));
    return lines;
}

TFormEventReport::TFormEventReport(const TEventReportParam& report, std::vector<QImage> thumbnails, QWidget* parent)
    : QDialog(parent), lines_(ReportLines(report))
{
    setWindowTitle(QStringLiteral("再生結果"));
    auto* layout = new QVBoxLayout(this);
    for (const QString& line : lines_)
        layout->addWidget(new QLabel(line, this));
    strip_ = new ThumbnailStrip(std::move(thumbnails), this);
    layout->addWidget(strip_);
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
}

QRect TFormEventReport::ThumbnailRect(int slot) const
{
    const QRect at = static_cast<const ThumbnailStrip*>(strip_)->ImageRect(slot);
    return at.isEmpty() ? at : at.translated(strip_->mapTo(this, QPoint(0, 0)));
}

} // namespace morvane
