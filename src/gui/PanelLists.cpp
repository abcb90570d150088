#include "gui/PanelLists.h"

#include <QColor>
#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace morvane {

// A drag names its model by address and this process, so a row from another
// panel or another program never lands here.
QMimeData* RowDrag(const char* mimeType, const void* model, int32_t row)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint64(quintptr(model)) << qint64(QCoreApplication::applicationPid()) << qint32(row);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(mimeType), bytes);
    return data;
}

int32_t DraggedRow(const QMimeData* data, const char* mimeType, const void* model, int rowCount)
{
    const QString type = QString::fromLatin1(mimeType);
    if (!data || !data->hasFormat(type))
        return -1;
    QDataStream in(data->data(type));
    quint64 from = 0;
    qint64 pid = 0;
    qint32 row = -1;
    in >> from >> pid >> row;
    if (in.status() != QDataStream::Ok || from != quint64(quintptr(model)) ||
        pid != qint64(QCoreApplication::applicationPid()) || row < 0 || row >= rowCount)
        return -1;
    return row;
}

int ListThumbSide(int listType) { return listType == 0 ? 24 : listType == 1 ? 40 : 56; }

void DrawChecker(QPainter& p, const QRect& r)
{
    constexpr int kCell = 4;
    p.fillRect(r, Qt::white);
    for (int y = r.top(); y <= r.bottom(); y += kCell)
        for (int x = r.left() + ((y - r.top()) / kCell % 2) * kCell; x <= r.right(); x += 2 * kCell)
            p.fillRect(QRect(x, y, kCell, kCell).intersected(r), QColor(0xCC, 0xCC, 0xCC));
}

void AddPanelButtons(QWidget& panel, QVBoxLayout& layout, std::initializer_list<PanelButton> buttons)
{
    auto* row = new QHBoxLayout;
    for (const PanelButton& b : buttons) {
        auto* button = new QToolButton(&panel);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setIcon(QIcon::fromTheme(QString::fromLatin1(b.icon)));
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setAutoRaise(true);
        QObject::connect(button, &QToolButton::clicked, &panel, b.run);
        row->addWidget(button);
    }
    row->addStretch();
    layout.addLayout(row);
}

} // namespace morvane
