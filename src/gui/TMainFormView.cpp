#include "app/CAppProfile.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

namespace morvane {

namespace {

struct ViewAngleCommand {
    const char* name;
    int clockwise;
};

constexpr ViewAngleCommand kAngleCommands[] = {
    {"ActViewRot0", 0}, {"ActViewRot90", 90}, {"ActViewRot270", 270}, {"ActViewRot180", 180}};

} // namespace

void TMainForm::DefineViewCommands()
{
    Handle("ActViewZoomI", [this] { ActiveDrawWindow()->ZoomStep(true); });
    Handle("ActViewZoomO", [this] { ActiveDrawWindow()->ZoomStep(false); });
    Handle("ActViewZoomCancel", [this] { ActiveDrawWindow()->SetZoom({1, 1}); });
    Handle("ActViewAtcualPixel", [this] { ActiveDrawWindow()->FitView(); });
    Handle("ActViewSizeFit", [this] { ActiveDrawWindow()->SizeWindowToView(); });
    for (const ViewAngleCommand& command : kAngleCommands)
        Handle(command.name, [this, angle = command.clockwise] { ActiveDrawWindow()->SetViewAngle(angle); });

    // A toggle's check mark reads the state it switches.
    using Getter = bool (TDrawWindow::*)() const;
    auto toggle = [this](const char* name, Getter shown, std::function<bool(TDrawWindow&, bool)> set) {
        Handle(
            name, [this, shown, set] { TDrawWindow& w = *ActiveDrawWindow(); set(w, !(w.*shown)()); },
            [this, shown] { return HasWindow() && (ActiveDrawWindow()->*shown)(); });
    };
    toggle("ActViewCanvasCol", &TDrawWindow::CanvasColourMode, &TDrawWindow::SetCanvasColourMode);
    toggle("ActViewBGPat", &TDrawWindow::CheckerMode, &TDrawWindow::SetCheckerMode);
    toggle("ActViewAA", &TDrawWindow::AreaAverage, &TDrawWindow::SetAreaAverage);
    toggle("ActViewGrid", &TDrawWindow::GridShown, [this](TDrawWindow& w, bool on) {
        const CAppProfile::Config& c = profile_.config;
        return w.SetGrid({on, c.gridW, c.gridH, uint32_t(c.GridColor)});
    });
}

} // namespace morvane
