#pragma once
// The mask list of the mask panel as a model over a document's masks: one
// row per mask in list order. Thumbnails are made when a row is first drawn
// and kept until the next refresh. Drops go out through `edit`, so they run
// the document operations as the menu commands do.
#include <QAbstractListModel>
#include <QImage>

#include <functional>
#include <vector>

namespace morvane {

class CMaskData;
class TPaper;

class MaskListModel final : public QAbstractListModel {
public:
    // The private type of dragged rows: drops of anything else are refused.
    static constexpr const char* kMimeType = "application/x-morvane-mask-row";

    enum Role { CurrentRole = Qt::UserRole + 1, SelectsRole };

    MaskListModel(int thumbSide, QObject* parent = nullptr);

    // The document shown (none: an empty list); a read-only list takes no
    // drops.
    void SetPaper(TPaper* paper, bool readOnly);
    TPaper* Paper() const { return paper_; }
    bool ReadOnly() const { return readOnly_; }
    // The masks changed: rows come and go with the count, thumbnails are
    // made again.
    void Refresh();

    // Runs a change of the document; false when refused.
    std::function<bool(const std::function<bool(TPaper&)>&)> edit;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // The list index a mask from `from` lands at when dropped before row
    // `row` (rowCount(): after the last one).
    int32_t DropTarget(int32_t from, int row) const;

private:
    TPaper* paper_ = nullptr;
    bool readOnly_ = true;
    int count_ = 0;
    int thumbSide_;
    mutable std::vector<QImage> thumbnails_;
};

// The mask drawn into the canvas's aspect fitted in a square of side: a
// landscape canvas gives side x max(1, H * side / W), else the other way
// round; each pixel the nearest canvas pixel's coverage (white: selected).
QImage MaskThumbnail(const CMaskData& mask, int32_t width, int32_t height, int side);

} // namespace morvane
