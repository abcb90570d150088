#include "gui/TBlendModeDropDwon.h"

#include <QSignalBlocker>

#include "document/ModeLists.h"
#include "document/SLayerParam.h"

namespace morvane {

TBlendModeDropDwon::TBlendModeDropDwon(QWidget* parent) : QComboBox(parent)
{
    for (uint8_t mode : kModeDisplayOrder)
        addItem(QString::fromUtf8(LayerParam(mode)->Name));
}

int TBlendModeDropDwon::Mode() const { return ModeAtListPosition(currentIndex()); }

void TBlendModeDropDwon::SetMode(int mode)
{
    const QSignalBlocker quiet(this);
    setCurrentIndex(ListPositionOfMode(mode));
}

} // namespace morvane
