#include "gui/LayerListModel.h"

#include <QMimeData>

#include <algorithm>

#include "document/TPaper.h"
#include "gui/PanelLists.h"
#include "gui/PixelImages.h"

namespace morvane {

LayerListModel::LayerListModel(QObject* parent) : QAbstractListModel(parent) {}

void LayerListModel::SetPaper(TPaper* paper, bool readOnly)
{
    if (paper == paper_) {
        readOnly_ = readOnly;
        Refresh();
        return;
    }
    beginResetModel();
    paper_ = paper;
    readOnly_ = readOnly;
    ids_ = IdsNow();
    endResetModel();
}

std::vector<int32_t> LayerListModel::IdsNow() const
{
    std::vector<int32_t> ids;
    if (paper_)
        for (int32_t i = 0; i < paper_->LayerCount(); ++i)
            ids.push_back(paper_->LayerAt(i)->Id);
    return ids;
}

void LayerListModel::Refresh()
{
    std::vector<int32_t> now = IdsNow();
    if (now != ids_) {
        beginResetModel();
        ids_ = std::move(now);
        endResetModel();
    } else if (!ids_.empty()) {
        emit dataChanged(index(0), index(int(ids_.size()) - 1));
    }
}

void LayerListModel::RefreshEntry(int32_t layerIndex)
{
    const int row = RowOfLayer(layerIndex);
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row), index(row));
}

int LayerListModel::RowOfLayer(int32_t layerIndex) const { return int(ids_.size()) - 1 - layerIndex; }
int32_t LayerListModel::LayerOfRow(int row) const { return int32_t(ids_.size()) - 1 - row; }

int LayerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ids_.size());
}

QVariant LayerListModel::data(const QModelIndex& index, int role) const
{
    if (!paper_ || !index.isValid() || index.row() >= rowCount())
        return {};
    const int32_t i = LayerOfRow(index.row());
    const CLayerData* layer = paper_->LayerAt(i);
    if (!layer)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return QString::fromStdString(layer->Name);
    case Qt::DecorationRole: return ThumbnailImage(*paper_, i);
    case VisibleRole: return layer->Visible;
    case ModeRole: return int(layer->Mode);
    case OpacityRole: return int(layer->Opacity);
    case ProtectRole: return layer->ProtectAlpha;
    case LevelRole: return int(layer->LinkLevel);
    case CurrentRole: return i == paper_->CurrentLayer();
    case LayerIndexRole: return int(i);
    default: return {};
    }
}

bool LayerListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || readOnly_ || !edit || !index.isValid())
        return false;
    const int32_t i = LayerOfRow(index.row());
    const std::string name = value.toString().toStdString();
    return edit([i, name](TPaper& p) { return p.RenameLayer(i, name); });
}

Qt::ItemFlags LayerListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return readOnly_ ? Qt::NoItemFlags : Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!readOnly_)
        f |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    return f;
}

Qt::DropActions LayerListModel::supportedDropActions() const { return Qt::MoveAction; }

QStringList LayerListModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* LayerListModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty() || readOnly_)
        return nullptr;
    return RowDrag(kMimeType, this, LayerOfRow(indexes.first().row()));
}

int32_t LayerListModel::DraggedLayer(const QMimeData* data) const
{
    return DraggedRow(data, kMimeType, this, rowCount());
}

bool LayerListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                     const QModelIndex&) const
{
    return !readOnly_ && action == Qt::MoveAction && DraggedLayer(data) >= 0;
}

bool LayerListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                  const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, 0, parent))
        return false;
    // Onto a row: before it; onto nothing: below the bottom layer.
    const int before = parent.isValid() ? parent.row() : row < 0 ? rowCount() : row;
    // The stack moves the row; the view's own removal finds nothing to do.
    return MoveLayerTo(DraggedLayer(data), before);
}

int32_t LayerListModel::DropTarget(int32_t from, int32_t count, int row) const
{
    // Layers that end up below the dropped run: those under the gap, less
    // the run's own layers that lay there.
    const int32_t below = int32_t(rowCount()) - row;
    return below - std::clamp(below - from, 0, count);
}

bool LayerListModel::MoveLayerTo(int32_t from, int row)
{
    if (readOnly_ || !edit || !paper_)
        return false;
    const int32_t count = paper_->Layers().LinkedRunLength(from) + 1;
    const int32_t to = DropTarget(from, count, row);
    if (to == from)
        return false;
    return edit([from, to, count](TPaper& p) { return count > 1 ? p.MoveLinkGroup(from, to) : p.MoveLayer(from, to); });
}

QImage ThumbnailImage(TPaper& paper, int32_t layerIndex)
{
    const CLayerData* layer = paper.LayerAt(layerIndex);
    return layer ? ImageOf(layer->Thumbnail) : QImage();
}

} // namespace morvane
