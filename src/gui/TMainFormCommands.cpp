#include "gui/TMainForm.h"

#include <QMdiArea>

#include <string>

#include "app/CommandTable.h"
#include "events/PlaybackReport.h"
#include "gui/TDrawWindow.h"

namespace morvane {

void TMainForm::DefineCommands()
{
    Handle("ActFileNew", [this] { NewDocument(); });
    Handle("ActEventOpen", [this] { OpenEventsAsked(); });
    Handle("ActFileClose", [this] { area_->closeActiveSubWindow(); });
    Handle("ActEventSaveAs", [this] { SaveEventsAsked(); });
    Handle("ActFileExit", [this] { close(); });
    Handle("ActEditUndo", [this] { ActiveDrawWindow()->Undo(); });
    Handle("ActEditRedo", [this] { ActiveDrawWindow()->Redo(); });
    Handle("ActViewZoomI", [this] { ActiveDrawWindow()->ZoomStep(true); });
    Handle("ActViewZoomO", [this] { ActiveDrawWindow()->ZoomStep(false); });
    Handle("ActEventPause", [this] { ActiveDrawWindow()->SetPaused(!ActiveDrawWindow()->Paused()); },
           [this] { return HasWindow() && ActiveDrawWindow()->Paused(); });
    Handle("ActEventStep", [this] { ActiveDrawWindow()->StepPlayback(); });
    Handle("ActEventStop", [this] { ActiveDrawWindow()->AskStop(); });
    for (int item = 0; item <= 5; ++item)
        Handle("ActEventWait" + std::to_string(item), [this, item] { SetEventWait(WaitOfSpeedItem(item)); });
}

// The command table's rules decide when a command runs; only toggles of a
// state of their own bring the check.
void TMainForm::Handle(const std::string& name, std::function<void()> run, std::function<bool()> checked)
{
    const Command* command = FindCommand(name);
    if (!command)
        return;
    handlers_.Set(name, std::move(run), [this, command, checked] {
        ActionState state;
        state.enabled = Enabled(command->enable);
        if (command->check == CheckRule::EventWait)
            state.checked = SpeedItemOfWait(EventWait()) == SpeedItemOfWait(command->value);
        else if (checked)
            state.checked = checked();
        return state;
    });
}

bool TMainForm::Enabled(EnableRule rule) const
{
    TDrawWindow* window = ActiveDrawWindow();
    switch (rule) {
    case EnableRule::Always: return true;
    case EnableRule::Document: return window != nullptr;
    case EnableRule::Editable: return window && window->CanEditNow();
    case EnableRule::Undo: return window && window->CanUndo();
    case EnableRule::Redo: return window && window->CanRedo();
    case EnableRule::Playback: return window && window->Playing();
    case EnableRule::FilterRepeat: return false;
    }
    return false;
}

} // namespace morvane
