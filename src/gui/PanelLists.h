#pragma once
// What the list panels (layers, masks) share: the private drag of a row,
// which only the very model that made it accepts, the thumbnail box of a
// list type, the checkerboard under transparent thumbnails and the buttons.
#include <QByteArray>
#include <QRect>

#include <cstdint>
#include <functional>
#include <initializer_list>

class QMimeData;
class QPainter;
class QVBoxLayout;
class QWidget;

namespace morvane {

// A drag of one row of `model`, under the panel's own MIME type.
QMimeData* RowDrag(const char* mimeType, const void* model, int32_t row);
// The row a drag carries when it comes from this very model in this process
// and names a row below rowCount; -1 otherwise.
int32_t DraggedRow(const QMimeData* data, const char* mimeType, const void* model, int rowCount);

// "LayerListType", "MaskListType": small, medium or large thumbnails
// (large when not set).
int ListThumbSide(int listType);

void DrawChecker(QPainter& p, const QRect& r);

// The row of flat icon buttons below a list, found by their object names.
struct PanelButton {
    const char* name;
    const char* icon;
    const char* tip;
    std::function<void()> run;
};
void AddPanelButtons(QWidget& panel, QVBoxLayout& layout, std::initializer_list<PanelButton> buttons);

} // namespace morvane
