#pragma once
// The stylus the tablet tests send events from: a pen with its tip and its
// back end, both with position and pressure.
#include <QPointingDevice>

namespace morvane::harness {

inline const QPointingDevice& Stylus(QPointingDevice::PointerType type)
{
    static const QPointingDevice pen("pen", 1001, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
                                     QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    static const QPointingDevice eraser("eraser", 1002, QInputDevice::DeviceType::Stylus,
                                        QPointingDevice::PointerType::Eraser,
                                        QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    return type == QPointingDevice::PointerType::Eraser ? eraser : pen;
}

} // namespace morvane::harness
