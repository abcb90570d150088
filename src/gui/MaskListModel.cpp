#include "gui/MaskListModel.h"

#include <QMimeData>

#include <algorithm>

#include "document/CMaskMngr.h"
#include "document/TPaper.h"
#include "gui/PanelLists.h"

namespace morvane {

MaskListModel::MaskListModel(int thumbSide, QObject* parent) : QAbstractListModel(parent), thumbSide_(thumbSide) {}

void MaskListModel::SetPaper(TPaper* paper, bool readOnly)
{
    readOnly_ = readOnly;
    if (paper == paper_) {
        Refresh();
        return;
    }
    beginResetModel();
    paper_ = paper;
    count_ = paper_ ? paper_->Masks().Count() : 0;
    thumbnails_.assign(size_t(count_), QImage());
    endResetModel();
}

void MaskListModel::Refresh()
{
    const int now = paper_ ? paper_->Masks().Count() : 0;
    thumbnails_.assign(size_t(now), QImage());
    if (now != count_) {
        beginResetModel();
        count_ = now;
        endResetModel();
    } else if (count_ > 0) {
        emit dataChanged(index(0), index(count_ - 1));
    }
}

int MaskListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

QVariant MaskListModel::data(const QModelIndex& index, int role) const
{
    if (!paper_ || !index.isValid() || index.row() >= count_)
        return {};
    const CMaskMngr& masks = paper_->Masks();
    const CMaskData* mask = masks.At(index.row());
    if (!mask)
        return {};
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(mask->name);
    case Qt::DecorationRole: {
        QImage& thumb = thumbnails_[size_t(index.row())];
        if (thumb.isNull())
            thumb = MaskThumbnail(*mask, paper_->Width, paper_->Height, thumbSide_);
        return thumb;
    }
    case CurrentRole: return index.row() == masks.Current();
    case SelectsRole: return masks.IsMaskValid(index.row());
    default: return {};
    }
}

Qt::ItemFlags MaskListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return readOnly_ ? Qt::NoItemFlags : Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!readOnly_)
        f |= Qt::ItemIsDragEnabled;
    return f;
}

Qt::DropActions MaskListModel::supportedDropActions() const { return Qt::MoveAction; }

QStringList MaskListModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* MaskListModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty() || readOnly_)
        return nullptr;
    return RowDrag(kMimeType, this, indexes.first().row());
}

bool MaskListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex&) const
{
    return !readOnly_ && action == Qt::MoveAction && DraggedRow(data, kMimeType, this, count_) >= 0;
}

int32_t MaskListModel::DropTarget(int32_t from, int row) const
{
    // The mask leaves its place first: rows below it move up by one.
    return std::clamp(row > from ? row - 1 : row, 0, std::max(0, count_ - 1));
}

bool MaskListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                 const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, 0, parent) || !edit)
        return false;
    const int32_t from = DraggedRow(data, kMimeType, this, count_);
    // Onto a row: before it; onto nothing: after the last mask.
    const int32_t to = DropTarget(from, parent.isValid() ? parent.row() : row < 0 ? count_ : row);
    if (to == from)
        return false;
    // The list moves the row; the view's own removal finds nothing to do.
    return edit([from, to](TPaper& p) { return p.MoveMask(from, to); });
}

QImage MaskThumbnail(const CMaskData& mask, int32_t width, int32_t height, int side)
{
    if (width <= 0 || height <= 0 || side <= 0)
        return {};
    const int w = width > height ? side : std::max(1, int(int64_t(width) * side / height));
    const int h = width > height ? std::max(1, int(int64_t(height) * side / width)) : side;
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(0);
    if (!mask.IsValid())
        return image;
    for (int y = 0; y < h; ++y) {
        uchar* row = image.scanLine(y);
        const int32_t cy = int32_t(int64_t(y) * height / h);
        for (int x = 0; x < w; ++x)
            row[x] = mask.ValueAt(int32_t(int64_t(x) * width / w), cy);
    }
    return image;
}

} // namespace morvane
