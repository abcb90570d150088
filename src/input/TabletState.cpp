#include "input/TabletState.h"

#include <algorithm>
#include <cmath>

#include "input/InputRouter.h"

namespace morvane {

float TabletState::SanitizePressure(float pressure)
{
    return std::isfinite(pressure) ? std::clamp(pressure, 0.0f, 1.0f) : 0.0f;
}

bool TabletState::Packet(const TabletPacket& packet, InputRouter& router, bool startAllowed, bool playingBack)
{
    if (!IsFinite(packet.at))
        return false;
    last_ = packet;
    last_.pressure = SanitizePressure(packet.pressure);
    // A packet is only sent while the pen is near.
    proximity_ = true;
    router.SetTabletDriving(true);
    router.TabletPacket(last_.at, last_.pressure, last_.modifiers, startAllowed);
    if (last_.pressure == 0 && last_.inverted && !eraser_ && !playingBack && !router.Busy()) {
        eraser_ = true;
        router.SelectEnd(PenEnd::Eraser);
    }
    SettleEraser(router);
    return true;
}

void TabletState::Proximity(bool in, InputRouter& router)
{
    proximity_ = in;
    router.SetTabletDriving(in);
    if (!in)
        router.LosePointer();
    SettleEraser(router);
}

void TabletState::SettleEraser(InputRouter& router)
{
    if (!eraser_ || (proximity_ && !endPending_))
        return;
    if (router.Busy()) {
        endPending_ = true;
        return;
    }
    eraser_ = endPending_ = false;
    router.SelectEnd(PenEnd::Tip);
}

} // namespace morvane
