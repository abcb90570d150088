#pragma once
// The layer list of the layer panel as a model over a document's stack: one
// row per layer, the top layer first. It reads the stack on every request
// and keeps nothing of it but the Ids it last showed, to tell a new order
// from a changed row. Renames and drops go out through `edit`, so they run
// the document operations as the menu commands do.
#include <QAbstractListModel>
#include <QImage>

#include <functional>
#include <vector>

namespace morvane {

class TPaper;

class LayerListModel final : public QAbstractListModel {
public:
    // The private type of dragged rows: drops of anything else are refused.
    static constexpr const char* kMimeType = "application/x-morvane-layer-row";

    enum Role {
        VisibleRole = Qt::UserRole + 1,
        ModeRole,
        OpacityRole,
        ProtectRole,
        LevelRole,
        CurrentRole,
        LayerIndexRole,
    };

    explicit LayerListModel(QObject* parent = nullptr);

    // The document shown (none: an empty list); a read-only list takes no
    // renames and no drops.
    void SetPaper(TPaper* paper, bool readOnly);
    TPaper* Paper() const { return paper_; }
    bool ReadOnly() const { return readOnly_; }
    // The stack changed: rows come and go when the Ids did, else every row
    // is redrawn.
    void Refresh();
    // One layer's row (stack index) is redrawn.
    void RefreshEntry(int32_t layerIndex);

    int RowOfLayer(int32_t layerIndex) const;
    int32_t LayerOfRow(int row) const;

    // Runs a change of the document; false when refused.
    std::function<bool(const std::function<bool(TPaper&)>&)> edit;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // The stack index a run of count layers from `from` lands at when
    // dropped before view row `row` (rowCount(): below the bottom layer).
    int32_t DropTarget(int32_t from, int32_t count, int row) const;
    // The move a drop of layer `from` before view row `row` runs: the layer
    // alone, or a link group's leader with its run.
    bool MoveLayerTo(int32_t from, int row);

private:
    // The layer index a drag carries, when it comes from this very model.
    int32_t DraggedLayer(const QMimeData* data) const;
    std::vector<int32_t> IdsNow() const;

    TPaper* paper_ = nullptr;
    bool readOnly_ = true;
    std::vector<int32_t> ids_;
};

// A layer's thumbnail as an image (alpha kept), or a null image.
QImage ThumbnailImage(TPaper& paper, int32_t layerIndex);

} // namespace morvane
