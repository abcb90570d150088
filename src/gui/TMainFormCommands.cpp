#include "gui/TMainForm.h"

#include <QDragEnterEvent>
#include <QDockWidget>
#include <QDropEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <optional>
#include <string>

#include "app/CAppProfile.h"
#include "app/CommandTable.h"
#include "document/EventFile.h"
#include "files/FileTypes.h"
#include "files/ImageImport.h"
#include "gui/PixelImages.h"
#include "storage/TMTC.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/PlaybackReport.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormAbout.h"
#include "gui/TFormColorMask.h"
#include "gui/TFormLayerOption.h"
#include "gui/TFormNew.h"
#include "gui/TFormSelExt.h"
#include "document/CMaskMngr.h"
#include "gui/TFormNewLayer.h"
#include "gui/TFormPreference.h"
#include "platform/BusyCursor.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"

namespace morvane {

// What the new-layer dialog proposes.
bool AddQuickLayer(TPaper& p)
{
    return p.AddLayerNamed(p.CurrentLayer() + 1, p.Width, p.Height, true, 255, kModeNormal, p.Layers().NextName(1),
                           0x00FFFFFFu);
}

void TMainForm::DefineCommands()
{
    Handle("ActFileNew", [this] { NewDocumentAsked(); });
    Handle("ActEventOpen", [this] { OpenEventsAsked(); });
    Handle("ActFileOpen", [this] { OpenDocumentAsked(); });
    Handle("ActLyrImport", [this] {
        if (const QString path = askImagePath(); !path.isEmpty())
            ImportImageLayer(path);
    });
    Handle("ActFileClose", [this] { area_->closeActiveSubWindow(); });
    Handle("ActFileSave", [this] { SaveDocumentAsked(*ActiveDrawWindow(), false); }, {},
           [this] { return !ActiveDrawWindow()->Playing(); });
    Handle("ActFileSaveAs", [this] { SaveDocumentAsked(*ActiveDrawWindow(), true); }, {},
           [this] { return !ActiveDrawWindow()->Playing(); });
    Handle("ActFileRevert", [this] { RevertAsked(); }, {}, [this] {
        return IsDocumentFileName(QString::fromStdString(ActiveDrawWindow()->DocumentPath()));
    });
    Handle("ActLyrSaveAs", [this] { SaveLayerAsked(); });
    Handle("ActFileSaveAuto", [this] { SaveDatedBmp(); });
    Handle("ActEventSaveAs", [this] { SaveEventsAsked(); });
    Handle("ActFileExit", [this] { close(); });
    Handle("ActEditUndo", [this] { ActiveDrawWindow()->Undo(); });
    Handle("ActEditRedo", [this] { ActiveDrawWindow()->Redo(); });
    DefineViewCommands();
    Handle("ActEventPause", [this] { ActiveDrawWindow()->SetPaused(!ActiveDrawWindow()->Paused()); },
           [this] { return HasWindow() && ActiveDrawWindow()->Paused(); });
    Handle("ActEventStep", [this] { ActiveDrawWindow()->StepPlayback(); });
    Handle("ActEventStop", [this] { ActiveDrawWindow()->AskStop(); });
    Handle("ActEventContinue", [this] { ActiveDrawWindow()->ContinueAsked(); }, {},
           [this] { return ActiveDrawWindow()->CanContinue(); });
    for (int item = 0; item <= 5; ++item)
        Handle("ActEventWait" + std::to_string(item), [this, item] { SetEventWait(WaitOfSpeedItem(item)); });
    Handle("ActEventRecStop", [this] { StopRecordingAsked(); }, {}, [this] {
        CEventMngr* events = ActiveDrawWindow()->Paper().EventManager();
        return events && events->IsRecordingWithEvents();
    });
    DefinePanelCommands();
    DefineDocumentCommands();
    DefineFilterCommands();
}

// The command table's rules decide when a command runs; only toggles of a
// state of their own bring the check.
void TMainForm::Handle(const std::string& name, std::function<void()> run, std::function<bool()> checked,
                       std::function<bool()> applies)
{
    const Command* command = FindCommand(name);
    if (!command) {
        // A handler no menu, key or Run can reach: a misspelt or retired name.
        Diagnose("TMainForm::Handle: no command named " + name + " in the command table");
        unknownCommands_.push_back(name);
        return;
    }
    handlers_.Set(name, std::move(run), [this, command, checked, applies] {
        ActionState state;
        state.enabled = Enabled(command->enable) && (!applies || applies());
        if (command->check == CheckRule::EventWait)
            state.checked = SpeedItemOfWait(EventWait()) == SpeedItemOfWait(command->value);
        else if (checked)
            state.checked = checked();
        if (command->enable == EnableRule::FilterRepeat && filters_.LastFilter())
            state.caption = QString::fromStdString(FilterRepeatCaption(filters_.LastFilter()->name));
        return state;
    });
}

bool TMainForm::Handles(std::string_view name) const
{
    const ActionHandlers::Entry* entry = handlers_.Find(name);
    return entry && entry->execute;
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
    case EnableRule::FilterRepeat: return window && window->CanEditNow() && filters_.LastFilter();
    }
    return false;
}

// ---- document commands ----

namespace {

using PaperTest = bool (*)(TPaper&);

// A command on the active document: the operation it runs, and the state it
// needs beyond the command table's rule (none: the operation decides).
struct PaperCommand {
    const char* name;
    PaperTest run;
    PaperTest applies = nullptr;
    PaperTest checked = nullptr; // the state a toggle shows
};

bool HasLayerBelow(TPaper& p) { return p.CurrentLayer() > 0; }
bool HasSelection(TPaper& p) { return p.Masks().HasSelection(); }
// A selection that is switched on and a visible layer to take it from.
bool UsesSelection(TPaper& p) { return p.ActiveSelection() && p.LayerAt(p.CurrentLayer())->Visible; }
bool MergeableVisible(TPaper& p) { return p.Layers().VisibleCount() >= 2 && p.LayerAt(0)->Visible; }

const PaperCommand kPaperCommands[] = {
    {"ActEditUndoClear", [](TPaper& p) { return p.ClearHistoryAsked(); },
     [](TPaper& p) { return p.UndoManager() && (p.UndoManager()->CanUndo() || p.UndoManager()->CanRedo()); }},
    {"ActImgFlipH", [](TPaper& p) { return p.FlipPictureH(true); }},
    {"ActImgFlipV", [](TPaper& p) { return p.FlipPictureV(true); }},
    {"ActImgRot90", [](TPaper& p) { return p.RotatePicture90(true); }},
    {"ActImgRot270", [](TPaper& p) { return p.RotatePicture90(false); }},
    {"ActImgRot180", [](TPaper& p) { return p.RotatePicture180(true); }},
    {"ActImgInvert", [](TPaper& p) { return p.InvertPicture(true); }},
    {"ActLyrDup", [](TPaper& p) { return p.DuplicateLayer(p.CurrentLayer()); }},
    {"ActLyrDel", [](TPaper& p) { return p.DeleteLayer(p.CurrentLayer()); },
     [](TPaper& p) { return p.LayerCount() > 1; }},
    {"ActLyrGroupI", [](TPaper& p) { return p.LinkLayer(p.CurrentLayer(), true); }, HasLayerBelow},
    {"ActLyrGroupO", [](TPaper& p) { return p.LinkLayer(p.CurrentLayer(), false); },
     [](TPaper& p) { return p.LayerAt(p.CurrentLayer())->LinkLevel > 0; }},
    {"ActLyrGroupDel", [](TPaper& p) { return p.DeleteLinkGroup(p.CurrentLayer()); },
     [](TPaper& p) { return p.Layers().LeadsLinkGroup(p.CurrentLayer()); }},
    {"ActLyrClearA", [](TPaper& p) { return p.SetLayerAlpha(p.CurrentLayer(), 0); }},
    {"ActLyrFillA", [](TPaper& p) { return p.SetLayerAlpha(p.CurrentLayer(), 255); }},
    {"ActLyrInvertA", [](TPaper& p) { return p.InvertAlpha(p.CurrentLayer()); }},
    {"ActLyrProtectA",
     [](TPaper& p) { return p.SetLayerProtectAlpha(p.CurrentLayer(), !p.LayerAt(p.CurrentLayer())->ProtectAlpha); },
     nullptr, [](TPaper& p) { return p.LayerAt(p.CurrentLayer())->ProtectAlpha; }},
    {"ActLyrMergeD", [](TPaper& p) { return p.MergeDown(p.CurrentLayer()); }, HasLayerBelow},
    // Merging keeps transparency as merging down does; flattening makes the
    // result opaque over the background.
    {"ActLyrMergeV2", [](TPaper& p) { return p.MergeVisibleLayers(0, false); }, MergeableVisible},
    {"ActLyrMergeV", [](TPaper& p) { return p.MergeVisibleLayers(-1, true); }, MergeableVisible},
    // Inside the selection while there is one.
    {"actLyrFlipLR", [](TPaper& p) { return p.LayerCommandMasked(p.CurrentLayer(), 7, -1); }},
    {"actLyrFlipTB", [](TPaper& p) { return p.LayerCommandMasked(p.CurrentLayer(), 8, -1); }},
    {"ActLyrRot90", [](TPaper& p) { return p.RotateLayer90(p.CurrentLayer(), true); }},
    {"ActLyrRot270", [](TPaper& p) { return p.RotateLayer90(p.CurrentLayer(), false); }},
    {"actLyrRot180", [](TPaper& p) { return p.LayerCommandMasked(p.CurrentLayer(), 10, -1); }},
    {"ActLyrTrimOut", [](TPaper& p) { return p.TrimLayerOutside(p.CurrentLayer()); },
     [](TPaper& p) { return p.LayerAt(p.CurrentLayer())->IsLargerThanPicture(); }},
    {"ActViewCurLyr", [](TPaper& p) { return p.ShowOnlyLayer(p.CurrentLayer()); }},
    {"ActViewAllLyr", [](TPaper& p) { return p.ShowAllLayers(true); }},
    {"ActViewNoLyr", [](TPaper& p) { return p.ShowAllLayers(false); }},
    {"ActViewFlipLyr", [](TPaper& p) { return p.InvertLayerVisibility(); }},
    {"ActSelAll", [](TPaper& p) { return p.SelectAll(); }},
    {"ActSelCancel", [](TPaper& p) { return p.CancelSelection(); }, HasSelection},
    {"ActSelInvert", [](TPaper& p) { return p.InvertSelection(); }, HasSelection},
    {"ActSelExp1", [](TPaper& p) { return p.GrowSelectionByOne(true); }, HasSelection},
    {"ActSelCol1", [](TPaper& p) { return p.GrowSelectionByOne(false); }, HasSelection},
    {"ActMaskNew", [](TPaper& p) { return p.NewMask(); }, [](TPaper& p) { return p.Masks().CanAdd(); }},
    {"ActMaskNewFromLyrD", [](TPaper& p) { return p.MaskFromLayer(p.CurrentLayer(), false, false); },
     [](TPaper& p) { return p.Masks().CanAdd(); }},
    {"ActMaskNewFromLyrA", [](TPaper& p) { return p.MaskFromLayer(p.CurrentLayer(), true, false); },
     [](TPaper& p) { return p.Masks().CanAdd(); }},
    {"ActMaskDup", [](TPaper& p) { return p.DuplicateMask(); }, [](TPaper& p) { return p.Masks().CanAdd(); }},
    {"ActMaskDel", [](TPaper& p) { return p.DeleteMask(-1); }, [](TPaper& p) { return p.Masks().Count() > 1; }},
    {"ActMaskTrimOut", [](TPaper& p) { return p.TrimSelection(); },
     [](TPaper& p) { return p.Masks().ReachesOutside(p.Masks().Current(), p.Width, p.Height); }},
    {"ActSelEnable", [](TPaper& p) { return p.SetSelectionUsed(!p.SelectionUsed); }, nullptr,
     [](TPaper& p) { return p.SelectionUsed; }},
    {"ActViewSel", [](TPaper& p) { return p.SetSelectionBorderShown(!p.SelectionBorderShown); }, nullptr,
     [](TPaper& p) { return p.SelectionBorderShown; }},
    {"ActLyrSel2A", [](TPaper& p) { return p.MaskIntoAlpha(p.CurrentLayer()); }, HasSelection},
    {"ActLyrSelDup", [](TPaper& p) { return p.SelectionToLayer(p.CurrentLayer(), false); }, UsesSelection},
    {"ActLyrSelNew", [](TPaper& p) { return p.SelectionToLayer(p.CurrentLayer(), true); }, UsesSelection},
};

enum class Tiling { SideBySide, Stacked };

QList<QMdiSubWindow*> ShownWindows(const QMdiArea& area)
{
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder))
        if (sub->isVisible() && !sub->isMinimized())
            shown.push_back(sub);
    return shown;
}

// Each shown window gets an equal strip of the area: columns side by side,
// or rows one above the other.
void Tile(QMdiArea& area, Tiling tiling)
{
    const QList<QMdiSubWindow*> shown = ShownWindows(area);
    const QRect space = area.viewport()->rect();
    const int n = int(shown.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = shown[i];
        if (sub->isMaximized())
            sub->showNormal();
        if (tiling == Tiling::SideBySide) {
            const int left = space.width() * i / n, right = space.width() * (i + 1) / n;
            sub->setGeometry(left, 0, right - left, space.height());
        } else {
            const int top = space.height() * i / n, bottom = space.height() * (i + 1) / n;
            sub->setGeometry(0, top, space.width(), bottom - top);
        }
    }
}

// The minimised windows in rows from the bottom-left corner upwards.
void ArrangeIcons(QMdiArea& area)
{
    const QRect space = area.viewport()->rect();
    int i = 0;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized())
            continue;
        const QSize cell = sub->size();
        const int columns = std::max(1, space.width() / std::max(1, cell.width()));
        sub->move(i % columns * cell.width(), space.height() - (i / columns + 1) * cell.height());
        ++i;
    }
}

} // namespace

void TMainForm::DefineDocumentCommands()
{
    const auto optional = [](PaperTest test) { return test ? std::function<bool(TPaper&)>(test) : nullptr; };
    for (const PaperCommand& command : kPaperCommands)
        HandlePaper(command.name, command.run, optional(command.applies), optional(command.checked));
    for (const bool expand : {true, false})
        HandlePaper(
            expand ? "ActSelExp" : "ActSelCol2",
            [this, expand](TPaper& p) {
                const std::optional<int> n = askSelectionStep(expand);
                return n && p.GrowSelection(*n, expand);
            },
            HasSelection, {});
    HandlePaper(
        "ActSelColorRange",
        [this](TPaper& p) {
            // A selection off the layer leaves nothing to pick from.
            EdgeRect source;
            if (!ColourRangeSourceRect(p, ColourRangeSource::Layer, source) ||
                !ColourRangeMeetsSelection(p, source)) {
                Notifier().Warn("有効な選択範囲がありません");
                return false;
            }
            const std::optional<SColourRange> range = askColourRange(p);
            return range && p.SelectColourRange(*range);
        },
        {}, {});
    HandlePaper(
        "ActMaskOption",
        [this](TPaper& p) {
            const std::optional<std::string> name = askMaskName(p.Masks().CurrentMask()->name);
            return name && p.RenameMask(*name);
        },
        {}, {});
    Handle("actWindowCascade", [this] { area_->cascadeSubWindows(); });
    Handle("actWindowTileVertical", [this] { Tile(*area_, Tiling::SideBySide); });
    Handle("actWindowTileHorizontal", [this] { Tile(*area_, Tiling::Stacked); });
    Handle("actWindowArrange", [this] { ArrangeIcons(*area_); });
    Handle("actWindowMinimizeAll", [this] {
        for (QMdiSubWindow* sub : area_->subWindowList())
            sub->showMinimized();
    });
    Handle("actAboutBox", [this] {
        // Opened, not run: no nested event loop.
        auto* about = new TFormAbout(this);
        about->setAttribute(Qt::WA_DeleteOnClose);
        about->open();
    });
    askSelectionStep = [this](bool expand) -> std::optional<int> {
        TFormSelExt dialog(expand, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.Pixels();
    };
    askColourRange = [this](const TPaper& p) -> std::optional<SColourRange> {
        TFormColorMask dialog(p, this);
        if (dialog.exec() != QDialog::Accepted || dialog.Range().entries.empty())
            return std::nullopt;
        return dialog.Range();
    };
    askMaskName = [this](const std::string& name) -> std::optional<std::string> {
        bool ok = false;
        const QString text = QInputDialog::getText(this, QString::fromUtf8("マスクのプロパティ"),
                                                   QString::fromUtf8("名前"), QLineEdit::Normal,
                                                   QString::fromStdString(name), &ok);
        if (!ok || text.isEmpty())
            return std::nullopt;
        return text.toStdString();
    };
    DefineLayerDialogs();
    Handle("ActEditOpt", [this] {
        TFormPreference dialog(profile_, this);
        if (dialog.exec() == QDialog::Accepted)
            ApplyPreferences();
    });
    askNewDocument = [this]() -> std::optional<SNewDocumentChoice> {
        TFormNew dialog(profile_, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.Choice();
    };
    // Files dropped on the main window open as handed-over files do.
    setAcceptDrops(true);
}

void TMainForm::HandlePaper(const std::string& name, std::function<bool(TPaper&)> run,
                            std::function<bool(TPaper&)> applies, std::function<bool(TPaper&)> checked)
{
    const Command* command = FindCommand(name);
    const bool wait = command && command->category == CommandCategory::Image;
    auto execute = [this, run = std::move(run), wait] { EditPaper(run, wait); };
    // Asked only with an active window (the table's rule comes first).
    const auto onPaper = [this](std::function<bool(TPaper&)> test) -> std::function<bool()> {
        if (!test)
            return {};
        return [this, test = std::move(test)] { return HasWindow() && test(ActiveDrawWindow()->Paper()); };
    };
    Handle(name, std::move(execute), onPaper(std::move(checked)), onPaper(std::move(applies)));
}

// The new-layer and layer-properties commands ask their dialogs first.
void TMainForm::DefineLayerDialogs()
{
    askNewLayer = [this](TPaper& p) -> std::optional<SNewLayerChoice> {
        TFormNewLayer dialog(p.Layers().NextName(1), this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.Choice();
    };
    askLayerOptions = [this](TPaper& p, int32_t index) -> std::optional<SLayerOptions> {
        const auto trim = [this, index] { return EditPaper([index](TPaper& q) { return q.TrimLayerOutside(index); }); };
        TFormLayerOption dialog(p, index, trim, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.Choice();
    };
    HandlePaper(
        "ActLyrNew",
        [this](TPaper& p) {
            const std::optional<SNewLayerChoice> c = askNewLayer(p);
            return c && p.AddLayerNamed(p.CurrentLayer() + 1, p.Width, p.Height, true, c->opacity, c->mode, c->name,
                                        c->fill);
        },
        {}, {});
    HandlePaper(
        "ActLyrOpt",
        [this](TPaper& p) {
            const int32_t index = p.CurrentLayer();
            const std::optional<SLayerOptions> c = askLayerOptions(p, index);
            return c && ApplyLayerOptions(p, index, *c);
        },
        {}, {});
}

void TMainForm::ApplyPreferences()
{
    const CAppProfile::Config& c = profile_.config;
    for (TDrawWindow* window : DrawWindows()) {
        window->SetPreferences({c.BrushGhost, c.ShowGhostCenter, c.DrawToolCursor, c.OtherToolCursor, c.CursorFile,
                                c.showScrollBar});
        window->Input().SetSettings(InputSettingsFrom(profile_));
        if (window->GridShown())
            window->SetGrid({true, c.gridW, c.gridH, uint32_t(c.GridColor)});
        // Refused (with its message) when the history cannot take the depth.
        if (window->CanEditNow())
            window->Paper().SetUndoCount(c.undoMax);
    }
    UpdateActions();
}

bool TMainForm::EditPaper(const std::function<bool(TPaper&)>& run, bool wait)
{
    TDrawWindow* window = ActiveDrawWindow();
    if (!window || !window->CanEditNow())
        return false;
    std::optional<BusyCursor> busy;
    if (wait)
        busy.emplace();
    window->Input().PrepareEdit();
    const bool done = run(window->Paper());
    UpdateActions();
    UpdatePlaybackTimers();
    return done;
}

// Asks twice; the recording may be saved first, as the save command does.
void TMainForm::StopRecordingAsked()
{
    TDrawWindow* window = ActiveDrawWindow();
    CEventMngr* events = window ? window->Paper().EventManager() : nullptr;
    if (!events)
        return;
    events->StopRecordingAsked([this] {
        const QString path = askSavePath(nullptr);
        return !path.isEmpty() && SaveEventFile(path);
    });
}

void TMainForm::NewDocumentAsked()
{
    if (const std::optional<SNewDocumentChoice> choice = askNewDocument())
        NewDocument(*choice);
}

namespace {

std::string Unsupported(const std::string& path) { return path + " は未対応の形式です"; }

} // namespace

TDrawWindow* TMainForm::OpenGivenFile(const QString& path)
{
    const std::string file = path.toStdString();
    for (TDrawWindow* window : DrawWindows()) {
        if (window->DocumentPath() != file)
            continue;
        if (!window->Modified()) {
            area_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
            return window;
        }
        if (Notifier().Ask(file + "\rに加えられた変更を破棄して再読込していいですか?", Buttons::YesNo) != Answer::Yes)
            return window;
        window->DiscardChanges();
        window->parentWidget()->close();
        break;
    }
    BusyCursor busy;
    switch (FileTypeOf(file)) {
    case FileType::Document: return OpenDocumentFile(path);
    case FileType::Events2:
    case FileType::Events3:
    case FileType::Events4: return OpenEventFile(path, false);
    case FileType::Bmp:
    case FileType::Jpeg:
    case FileType::Png: return OpenImageFile(path);
    default: break;
    }
    Notifier().Warn(Unsupported(file));
    return nullptr;
}

TDrawWindow* TMainForm::OpenImageFile(const QString& path)
{
    const std::string file = path.toStdString();
    TMTC image;
    int dpi = 0;
    if (LoadImageFile(file, image, &dpi) != DecodeResult::Ok) {
        Notifier().Warn(ImageLoadFailedMessage(file));
        return nullptr;
    }
    auto* window = new TDrawWindow(tools_, InputSettingsFrom(profile_));
    if (!window->NewDocumentFromImage(image, dpi, file)) {
        delete window;
        return nullptr;
    }
    return AddWindow(window);
}

bool TMainForm::ImportImageLayer(const QString& path)
{
    const std::string file = path.toStdString();
    TMTC image;
    if (LoadImageFile(file, image, nullptr) != DecodeResult::Ok) {
        Notifier().Warn(ImageLoadFailedMessage(file));
        return false;
    }
    const std::string name = file.substr(file.find_last_of('/') + 1);
    return EditPaper([&](TPaper& p) { return p.ImportImageAsLayer(image, name); }, true);
}

TDrawWindow* TMainForm::DrawWindowAt(const QPoint& at) const
{
    for (QWidget* w = childAt(at); w; w = w->parentWidget())
        if (auto* window = dynamic_cast<TDrawWindow*>(w))
            return window;
    return nullptr;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    const auto local = [](const QUrl& url) { return url.isLocalFile(); };
    if (event->mimeData()->hasImage() || std::any_of(urls.begin(), urls.end(), local))
        event->acceptProposedAction();
}

// Images dropped on a document window become its layers; everything else
// (and images dropped beside the windows) opens as the open command does.
void TMainForm::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    const QList<QUrl> urls = mime->urls();
    event->acceptProposedAction();
    TDrawWindow* target = DrawWindowAt(event->position().toPoint());
    if (target)
        area_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(target->parentWidget()));
    if (target && urls.isEmpty() && mime->hasImage()) {
        TMTC image;
        if (BufferOf(qvariant_cast<QImage>(mime->imageData()), image))
            EditPaper([&](TPaper& p) { return p.ImportImageAsLayer(image, std::string()); }, true);
        return;
    }
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (target && IsImageType(FileTypeOf(path.toStdString())))
            ImportImageLayer(path);
        else
            OpenGivenFile(path);
    }
}

} // namespace morvane
