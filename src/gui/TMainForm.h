#pragma once
// The main window: document windows in an MDI area, the commands that act on
// the active one, and the timers that drive event playback.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandTable.h"
#include "app/FilterCommand.h"
#include "document/ColourRange.h"
#include "input/InputRouter.h"
#include "input/ToolState.h"
#include "files/ImageExport.h"
#include "files/ResultCodes.h"
#include "gui/ActionBuilder.h"
#include "gui/TFormEventReport.h"
#include "gui/TFormLayerOption.h"
#include "gui/TFormNew.h"
#include "gui/TFormNewLayer.h"
#include "input/InputRouter.h"

class QAction;
class QDockWidget;
class QFileDialog;
class QMdiArea;
class QMdiSubWindow;

namespace morvane {

class QtTabletSource;
class TBrushListPanel;
class TColourPanel;
class TEventLogPanel;
class TInfoPanel;
class TLayerPanel;
class TLoupePanel;
class TMaskPanel;
class TNavigatorPanel;
class TOptionPanel;
class TToolPanel;
struct ToolItem;

class CAppProfile;
class SettingsStore;
class TDrawWindow;
class TEventPanel;
class TPaper;
class TStatusPanels;
struct TEventReportParam;

// Whether a name is a document file's (".mci", any case).
bool IsDocumentFileName(const QString& path);

class TMainForm final : public QMainWindow {
public:
    static constexpr int kPlaybackInterval = 50;

    explicit TMainForm(CAppProfile& profile, QWidget* parent = nullptr);
    ~TMainForm() override;

    // A new document as the new-document dialog chose it, in a window of its
    // own; nullptr when refused.
    TDrawWindow* NewDocument(const SNewDocumentChoice& choice);
    // A file opened by the open command, dropped on the window, named on the
    // command line or handed over by a later start, by its type: documents,
    // event files and images open in a window of their own; a window that
    // already shows the path is brought to the front (reloaded, when it
    // holds changes and the user agrees). nullptr when nothing opened.
    TDrawWindow* OpenGivenFile(const QString& path);
    // A new window with a picture made from an image file; nullptr (with
    // the message shown) when the image cannot be read.
    TDrawWindow* OpenImageFile(const QString& path);
    // The image file as a new layer of the active document; false (with the
    // message shown) when it cannot be read or added.
    bool ImportImageLayer(const QString& path);
    // A new window playing the event file; nullptr (with the message shown)
    // when it cannot be opened. result, when given, receives the player's
    // open result (a file that is no event file counts as 2).
    TDrawWindow* OpenEventFile(const QString& path, bool paused, int* result = nullptr);
    // A new window with the document read from a .mci file; nullptr (with
    // the message shown) when nothing could be read.
    TDrawWindow* OpenDocumentFile(const QString& path);
    // Saves the window's document under path; false with the path and code
    // shown.
    bool SaveDocumentAs(TDrawWindow& window, const QString& path);
    // The save command: under the window's own .mci name, else through the
    // save-as dialog, where an image name exports the picture. False when
    // cancelled or failed.
    bool SaveDocumentAsked(TDrawWindow& window, bool askName);
    // Writes the picture as an image file (a JPEG after its options dialog)
    // without renaming the window or clearing its mark: an export loses the
    // layers. False when cancelled or failed (with the code shown).
    bool ExportPictureAs(TDrawWindow& window, const QString& path);
    // Saves the active window's recording (protected when asked) with the
    // settings' flag mark; false with the message shown.
    bool SaveEventFile(const QString& path, bool protect = false);

    TDrawWindow* ActiveDrawWindow() const;
    std::vector<TDrawWindow*> DrawWindows() const;

    // Runs a change of the active document as the commands do: only while
    // the window takes edits, after the running gesture has ended; false
    // when refused.
    bool EditPaper(const std::function<bool(TPaper&)>& run, bool wait = false);
    // The settings' preferences taken by every open window at once: pointer
    // input, cursors and outline, scroll bars, the grid and the undo count.
    void ApplyPreferences();
    // Runs a command by its action name when its rule allows it now.
    bool Run(const QString& name);
    // Registers what a command of the command table does; applies, when
    // given, narrows the table's enable rule. A name the table does not know
    // is refused with a diagnostic line and kept in UnknownCommands().
    void Handle(const std::string& name, std::function<void()> run, std::function<bool()> checked = {},
                std::function<bool()> applies = {});
    // Whether the command has a handler that runs it.
    bool Handles(std::string_view name) const;
    const std::vector<std::string>& UnknownCommands() const { return unknownCommands_; }
    QAction* Action(const QString& name) const;
    // Enabled and checked states recomputed from the active window.
    void UpdateActions();

    // Files named on the command line, opened when the window first shows.
    void OpenOnShow(const QStringList& files) { pending_ = files; }
    // One round of the playback timers: every playing window ticks once.
    void TickPlayback();
    int32_t EventWait() const;
    void SetEventWait(int32_t wait);
    TFormEventReport* LastReport() const { return report_; }
    TEventPanel* EventPanel() const { return eventPanel_; }
    TStatusPanels* StatusPanels() const { return status_; }
    ToolState& Tools() { return tools_; }
    // The store the tools' own values live in: read now, written when the
    // form goes (with "DrawToolAutoSave"). Render and viewer runs keep none.
    void KeepToolsIn(SettingsStore& store);
    TToolPanel* ToolPanel() const { return toolPanel_; }
    TOptionPanel* OptionPanel() const { return optionPanel_; }
    TColourPanel* ColourPanel() const { return colourPanel_; }
    TBrushListPanel* BrushListPanel() const { return brushPanel_; }
    TLayerPanel* LayerPanel() const { return layerPanel_; }
    TMaskPanel* MaskPanel() const { return maskPanel_; }
    TNavigatorPanel* NavigatorPanel() const { return navigatorPanel_; }
    TInfoPanel* InfoPanel() const { return infoPanel_; }
    TLoupePanel* LoupePanel() const { return loupePanel_; }
    TEventLogPanel* EventLogPanel() const { return eventLogPanel_; }

    // Set by the viewer run: takes the end of a replay instead of the report.
    std::function<void(const TEventReportParam&)> replayEnded;
    // A viewer run: the windows opened from now on show and play, never take edits.
    void SetViewOnly(bool on) { viewOnly_ = on; }

    // File names for the save and open dialogs; tests replace them. The
    // save dialog offers protection when protect is given, and sets it.
    std::function<QString(bool* protect)> askSavePath;
    std::function<QString(bool& paused)> askOpenPath;
    // The document dialogs: a .mci name to save to, a file to open.
    std::function<QString()> askDocumentSavePath;
    std::function<QString()> askDocumentOpenPath;
    // An image file to add as a layer; a name to save the current layer as.
    std::function<QString()> askImagePath;
    std::function<QString()> askLayerSavePath;
    // The JPEG options before a JPEG export; nullopt when cancelled.
    std::function<std::optional<JpegOptions>()> askJpegOptions;
    // The new-document dialog; nullopt when cancelled. Tests replace it.
    std::function<std::optional<SNewDocumentChoice>()> askNewDocument;
    // The pixels to expand (or contract) the selection by, and a mask's new
    // name; nullopt when cancelled. Tests replace them.
    std::function<std::optional<int>(bool expand)> askSelectionStep;
    std::function<std::optional<std::string>(const std::string& name)> askMaskName;
    // The colour range picked in its dialog; nullopt when cancelled.
    std::function<std::optional<SColourRange>(const TPaper&)> askColourRange;
    // The new-layer and layer-properties dialogs; nullopt when cancelled.
    std::function<std::optional<SNewLayerChoice>(TPaper&)> askNewLayer;
    std::function<std::optional<SLayerOptions>(TPaper&, int32_t index)> askLayerOptions;
    // A filter's dialog over the attached run; nullopt when cancelled (or
    // refused because another modal dialog is open). Tests replace it.
    FilterDialogRunner askFilter;
    FilterCommandState& Filters() { return filters_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void DefineCommands();
    void DefineViewCommands();
    void DefineDocumentCommands();
    void DefineLayerDialogs();
    // ---- filters (TMainFormFilters.cpp) ----
    void DefineFilterCommands();
    // The repeat command also answers Ctrl+Alt+F (which shows the dialog).
    void AddFilterShortcuts();
    void RunFilterAsked(const FilterDescriptor& filter, bool useLast);
    // A command that changes the active document: run while the window
    // permits editing and applies (when given) holds.
    void HandlePaper(const std::string& name, std::function<bool(TPaper&)> run,
                     std::function<bool(TPaper&)> applies, std::function<bool(TPaper&)> checked);
    void NewDocumentAsked();
    void StopRecordingAsked();
    bool Enabled(EnableRule rule) const;
    TDrawWindow* AddWindow(TDrawWindow* window);
    void ShowReport(const TEventReportParam& report, const std::vector<QImage>& thumbnails);
    void UpdatePlaybackTimers();
    // ---- the panels (TMainFormPanels.cpp) ----
    void AddPanels();
    QDockWidget* AddDock(const QString& title, const QString& name, QWidget* panel, Qt::DockWidgetArea area);
    void DefinePanelCommands();
    // Shows or hides a dock; the settings' visible flags follow.
    void ShowDock(QDockWidget* dock, bool shown);
    void KeepDockFlags();
    // The docks the layout keeps, in one list.
    std::vector<QDockWidget*> Docks() const;
    // The pointer moved over a window: the panels that follow it.
    void PointerMovedOver(TDrawWindow& window);
    // The layout the settings remember, or the default when the toolkit
    // refuses it or it puts a panel off every screen.
    void RestoreLayout();
    void ResetLayout();
    void SaveLayout();
    // The tool panel's choice: the running gesture ends first.
    void ChooseTool(const ToolItem& item);
    // The save-on-close question; false when the close is cancelled.
    bool MayClose(TDrawWindow& window);
    void SaveEventsAsked();
    void OpenDocumentAsked();
    void SaveLayerAsked();
    // The document window under a point of the main window; nullptr for none.
    TDrawWindow* DrawWindowAt(const QPoint& at) const;
    void SaveDatedBmp();
    // The result of a write: false with the path and code shown.
    bool Written(const QString& path, WriteCode code);
    void RevertAsked();
    void OpenEventsAsked();
    bool HasWindow() const { return ActiveDrawWindow() != nullptr; }
    EventFileCode SaveRecordingOf(TDrawWindow& window, const QString& path, bool protect);

    CAppProfile& profile_;
    // The program's tool state; the document windows paint with it.
    ToolState tools_;
    FilterCommandState filters_;
    QMdiArea* area_;
    ActionHandlers handlers_;
    std::vector<std::string> unknownCommands_;
    ActionBuilder* builder_ = nullptr;
    QTimer tick_, idle_;
    QStringList pending_;
    bool shown_ = false;
    bool viewOnly_ = false;
    QPointer<TFormEventReport> report_;
    TEventPanel* eventPanel_ = nullptr;
    QDockWidget* toolDock_ = nullptr;
    QDockWidget* optionDock_ = nullptr;
    QDockWidget* colourDock_ = nullptr;
    QDockWidget* brushDock_ = nullptr;
    QDockWidget* layerDock_ = nullptr;
    QDockWidget* maskDock_ = nullptr;
    QDockWidget* navigatorDock_ = nullptr;
    QDockWidget* infoDock_ = nullptr;
    QDockWidget* loupeDock_ = nullptr;
    QDockWidget* eventLogDock_ = nullptr;
    TToolPanel* toolPanel_ = nullptr;
    TOptionPanel* optionPanel_ = nullptr;
    TColourPanel* colourPanel_ = nullptr;
    TBrushListPanel* brushPanel_ = nullptr;
    TLayerPanel* layerPanel_ = nullptr;
    TMaskPanel* maskPanel_ = nullptr;
    TNavigatorPanel* navigatorPanel_ = nullptr;
    TInfoPanel* infoPanel_ = nullptr;
    TLoupePanel* loupePanel_ = nullptr;
    TEventLogPanel* eventLogPanel_ = nullptr;
    QByteArray defaultLayout_;
    SettingsStore* toolStore_ = nullptr;
    // Pen input for every document window; none when the settings ignore the tablet.
    QtTabletSource* tablet_ = nullptr;
    TStatusPanels* status_ = nullptr;
};

// The new-layer command without its dialog: a transparent white layer of
// normal mode with the next default name, above the current layer.
bool AddQuickLayer(TPaper& paper);

// The event save dialog: generation 4's filter and, when offered, the
// unticked box "保護付きイベント(&V)" (object name "protectBox").
QFileDialog* NewEventSaveDialog(QWidget* parent, bool offerProtection);

} // namespace morvane
