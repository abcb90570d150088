// The filter commands of the main window: each filter of the table on the
// active layer, with its dialog, and the repeat command.
#include <QApplication>
#include <QGuiApplication>

#include "document/CFlt4Core.h"
#include "document/TPaper.h"
#include "filters/RecordBytes.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormFilter.h"
#include "gui/TMainForm.h"

namespace morvane {

void TMainForm::DefineFilterCommands()
{
    for (const FilterDescriptor& filter : FilterDescriptors())
        if (*filter.act)
            Handle(filter.act, [this, &filter] { RunFilterAsked(filter, false); });
    // Alt held: the dialog again, filled with the last values.
    Handle("ActFilterRepeat", [this] {
        if (const FilterDescriptor* last = filters_.LastFilter())
            RunFilterAsked(*last, !(QGuiApplication::keyboardModifiers() & Qt::AltModifier));
    });
    askFilter = [this](const FilterDescriptor& filter, CFlt4Core& run,
                       const FilterLastParams& last) -> std::optional<FilterLastParams> {
        // One modal dialog at a time: a second one counts as cancelled.
        if (QApplication::activeModalWidget())
            return std::nullopt;
        TFormFilter dialog(filter, run, last, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.Chosen();
    };
}

void TMainForm::AddFilterShortcuts()
{
    if (QAction* repeat = Action(QStringLiteral("ActFilterRepeat"))) {
        QList<QKeySequence> keys = repeat->shortcuts();
        keys.push_back(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));
        repeat->setShortcuts(keys);
    }
}

void TMainForm::RunFilterAsked(const FilterDescriptor& filter, bool useLast)
{
    TDrawWindow* window = ActiveDrawWindow();
    if (!window || !window->CanEditNow())
        return;
    window->Input().PrepareEdit();
    TPaper& paper = window->Paper();
    // Luminance to alpha takes the pen's main colour, tint off.
    if (filter.code == 63) {
        FilterLastParams& last = filters_.LastParams(filter);
        PutRecordU32(last.record, 0, tools_.MainColour() & 0x00FFFFFFu);
        last.record[4] = 0;
    }
    RunFilterCommand(paper, paper.CurrentLayer(), filter, useLast, filters_, askFilter);
    UpdateActions();
}

} // namespace morvane
