#include "platform/qt/QtTabletSource.h"

#include <QApplication>
#include <QInputDevice>
#include <QTabletEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "input/InputRouter.h"

namespace morvane {

namespace {

uint32_t ModifiersOf(Qt::KeyboardModifiers keys)
{
    return (keys & Qt::ShiftModifier ? uint32_t(kModShift) : 0u) | (keys & Qt::ControlModifier ? uint32_t(kModCtrl) : 0u) |
           (keys & Qt::AltModifier ? uint32_t(kModAlt) : 0u);
}

bool IsMouse(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseMove || type == QEvent::MouseButtonDblClick;
}

} // namespace

PointD WindowPoint(const QWidget& widget, QPointF logical)
{
    const double ratio = widget.devicePixelRatioF();
    return {logical.x() * ratio, logical.y() * ratio};
}

QtTabletSource::QtTabletSource(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

QtTabletSource::~QtTabletSource()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void QtTabletSource::Attach(QWidget& window, Target target)
{
    Detach(window);
    window.setTabletTracking(true);
    windows_.push_back({&window, std::move(target)});
    connect(&window, &QObject::destroyed, this, [this, &window] { Detach(window); });
}

void QtTabletSource::Detach(const QWidget& window)
{
    std::erase_if(windows_, [&](const Entry& e) { return e.window == &window; });
    if (current_ == &window)
        current_ = nullptr;
}

QtTabletSource::Entry* QtTabletSource::Find(const QObject* watched)
{
    auto it = std::find_if(windows_.begin(), windows_.end(), [&](const Entry& e) { return e.window == watched; });
    return it == windows_.end() ? nullptr : &*it;
}

bool QtTabletSource::TabletPresent() const
{
    if (eventsSeen_)
        return true;
    const QList<const QInputDevice*> devices = QInputDevice::devices();
    return std::any_of(devices.begin(), devices.end(), [](const QInputDevice* device) {
        const QInputDevice::DeviceType type = device->type();
        return type == QInputDevice::DeviceType::Stylus || type == QInputDevice::DeviceType::Airbrush ||
               type == QInputDevice::DeviceType::Puck;
    });
}

bool QtTabletSource::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::TabletEnterProximity:
    case QEvent::TabletLeaveProximity:
        eventsSeen_ = true;
        Proximity(event->type() == QEvent::TabletEnterProximity);
        return false;
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        eventsSeen_ = true;
        if (Entry* entry = Find(watched)) {
            Packet(*entry, static_cast<const QTabletEvent&>(*event));
            // Accepted: Qt makes no mouse event of it.
            event->accept();
            return true;
        }
        return false;
    default:
        return IsMouse(event->type()) && state_.InProximity() && Find(watched);
    }
}

void QtTabletSource::Packet(Entry& entry, const QTabletEvent& event)
{
    QWidget& window = *entry.window;
    QPointF at = event.position();
    if (mode_ == CoordinateMode::Os)
        at = QPointF(std::floor(at.x()), std::floor(at.y()));
    TabletPacket packet;
    packet.at = WindowPoint(window, at);
    packet.pressure = event.type() == QEvent::TabletRelease ? 0.0f : float(event.pressure());
    packet.inverted = event.pointerType() == QPointingDevice::PointerType::Eraser;
    packet.modifiers = ModifiersOf(event.modifiers()) | (entry.target.heldKeys ? entry.target.heldKeys() : 0);
    // A stroke starts only on the window itself while it is the active one.
    const bool onWindow = at.x() >= 0 && at.y() >= 0 && at.x() < window.width() && at.y() < window.height();
    const bool active = entry.target.active ? entry.target.active() : window.isActiveWindow();
    const bool startAllowed = onWindow && window.isVisible() && active;
    const bool playingBack = entry.target.playingBack && entry.target.playingBack();
    if (!entry.target.router)
        return;
    if (state_.Packet(packet, *entry.target.router, startAllowed, playingBack))
        current_ = &window;
    if (entry.target.handled)
        entry.target.handled();
}

void QtTabletSource::Proximity(bool in)
{
    // Every window's mouse follows the pen; the one it was over ends its gesture.
    for (Entry& entry : windows_)
        if (entry.target.router)
            entry.target.router->SetTabletDriving(in);
    Entry* entry = current_ ? Find(current_) : (windows_.empty() ? nullptr : &windows_.front());
    if (entry && entry->target.router)
        state_.Proximity(in, *entry->target.router);
}

} // namespace morvane
