#pragma once
// A document window: shows its document through the view, paints with the
// mouse through the input router, and plays an event file when opened for
// one. The main window drives its playback ticks.
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "files/ResultCodes.h"
#include "events/PlaybackSession.h"
#include "gui/DrawViewPort.h"
#include "input/InputRouter.h"
#include "input/ToolState.h"
#include "storage/TMTC.h"
#include "view/BrushGhost.h"
#include "view/CViewState.h"
#include "view/ViewRender.h"

class QScrollBar;

namespace morvane {

class TMTC;

class CEventPlayer;
class ReplaySeeker;
class CPenRender;
class PaperPlaybackTarget;
class TPaper;

// What the window shows of the tools, from the settings.
struct WindowPreferences {
    bool brushGhost = false;      // "BrushGhost": the nib's outline at the pointer
    bool ghostCentre = true;      // "ShowGhostCenter": a mark at its centre
    int32_t drawCursor = 0;       // "DrawToolCursor": 0 標準, 1 精細
    int32_t otherCursor = 0;      // "OtherToolCursor"
    std::string cursorFile;       // "CursorFile": a picture for the drawing cursor
    bool scrollBars = false;      // "showScrollBar"
};

class TDrawWindow final : public QWidget, public DocumentHost, private PlaybackObserver {
public:
    // How often a painting drag near the edge scrolls the view.
    static constexpr int kAutoScrollInterval = 50;

    // The tool state is the program's; it must outlive the window.
    TDrawWindow(ToolState& tools, const InputSettings& input, QWidget* parent = nullptr);
    ~TDrawWindow() override;

    // A picture of width x height on white or (transparent) on no paper with
    // a transparent first layer; false, nothing shown, when refused.
    bool NewDocument(int32_t width, int32_t height, const std::string& name, int32_t resolution = 72,
                     bool transparent = false);
    // A picture made from an image file (path), named after it.
    bool NewDocumentFromImage(const TMTC& image, int32_t resolution, const std::string& path);
    // Opens an event file to play (paused on request): the player's open
    // result, 0 on success.
    int OpenEventFile(const std::string& path, bool paused);
    // Saves the recording, in the protected form when asked: 0 or the event
    // file writer's code.
    EventFileCode SaveRecording(const std::string& path, const EventSaveRequest& request = {}, bool protect = false);

    // Reads a document file into this window's fresh document. A file that
    // failed before anything was read leaves the window without a picture
    // (Paper().Ready false); one that failed in a chunk keeps what was read,
    // modified and without a path, so that saving asks for a new name.
    DocFileCode OpenDocumentFile(const std::string& path);
    // Saves the document; on success the window takes the path and name and
    // is no longer modified.
    DocFileCode SaveDocument(const std::string& path);
    // Reads the window's own file again into its document.
    DocFileCode RevertDocument();
    // The document file the window saves to; empty for none.
    const std::string& DocumentPath() const { return path_; }

    TPaper& Paper() { return *paper_; }
    CViewState& View() { return view_; }
    ToolState& Tools() { return tools_; }
    InputRouter& Input() { return *router_; }
    // The space bar, which the window tracks itself.
    bool SpaceHeld() const { return spaceDown_; }
    std::string DocumentName() const { return name_; }

    bool Undo();
    bool Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    bool CanEditNow() const;
    void ZoomStep(bool in);
    void FitView();

    // ---- view (TDrawWindowView.cpp) ----
    // The scale becomes `to` with the window centre kept over its document point.
    void SetZoom(ScaleRatio to);
    // The view's turn clockwise on screen, in degrees [0, 360).
    double ViewAngle() const;
    void SetViewAngle(double clockwise);
    // Paper display modes change only while the paper is white; false when refused.
    bool SetCanvasColourMode(bool on);
    bool CanvasColourMode() const;
    bool SetCheckerMode(bool on);
    bool CheckerMode() const;
    // The grid is the window's: drawn over the view, never into the composite.
    struct ViewGrid {
        bool on = false;
        int32_t x = 32, y = 32;
        uint32_t colour = 0x80000000u;
    };
    bool SetGrid(const ViewGrid& grid);
    bool GridShown() const { return grid_.on; }
    // The view moves so that the document point shows at the window's centre.
    void CentreOn(DocPoint point);
    // Area averaging for unrotated scales below 1.
    bool SetAreaAverage(bool on);
    bool AreaAverage() const { return areaAverage_; }
    // The sub-window takes the size the document shows at (within the MDI area).
    void SizeWindowToView();
    // Zoom, scroll or rotation changed.
    std::function<void()> viewChanged;

    // ---- tools on screen (TDrawWindowTools.cpp) ----
    void SetPreferences(const WindowPreferences& preferences);
    const WindowPreferences& Preferences() const { return prefs_; }
    // The pointer moved (the mouse, or the pen hovering or painting): the
    // nib's outline follows it.
    void PointerMoved();
    // Whether the outline shows, and its box in window pixels.
    bool GhostShown() const { return ghostShown_; }
    EdgeRect GhostBox() const { return ghostBox_; }
    const BrushGhost& Ghost() const { return ghost_; }
    QScrollBar* HorizontalBar() const { return hbar_; }
    QScrollBar* VerticalBar() const { return vbar_; }

    // ---- playback ----
    bool Playing() const { return session_.has_value() && !session_->Ended(); }
    // One tick of the playback (the wait paces it); false when not playing.
    bool PlaybackTick();
    // The marching ants move on the main window's 50 ms tick while the
    // selection border is shown and the outline holds points.
    bool AntsAnimate() const;
    void AntsTick();
    void SetPaused(bool paused);
    bool Paused() const;
    void StepPlayback();
    // Asks first; Yes ends the replay as interrupted at the next tick.
    void AskStop();
    void SetWait(int32_t wait);
    // ---- steps of a replay (TDrawWindowSteps.cpp) ----
    // The replay's steps as the event panel counts them: the new canvas is
    // step 1; 0 for a window that never replayed or went on painting.
    int32_t ReplayStep() const;
    int32_t ReplaySteps() const;
    // Shows step `step` (clamped) of a playing, paused or ended replay;
    // going back replays the file afresh into a new document, and paced
    // play goes on from there. False when it stopped short.
    bool SeekStep(int32_t step);
    // Painting may go on from the step shown: a paused or ended replay of
    // an unprotected current-generation stream.
    bool CanContinue() const;
    // Asks before dropping later steps; Yes makes the window an editable
    // document recording on from the step. False when declined or refused.
    bool ContinueAsked();
    // The event file the window replays or went on painting from; empty for none.
    const std::string& EventPath() const { return eventPath_; }
    // The figures of the last progress update (at most one a second, and
    // one at the end); known once the replay has reported any.
    struct PlaybackProgress {
        int32_t executed = 0, total = 0;
        uint32_t elapsedMs = 0;
        bool known = false;
    };
    const PlaybackProgress& LastProgress() const { return progress_; }
    std::function<void()> progressChanged;
    // The report at the end, with the thumbnails taken (null where none was).
    std::function<void(const TEventReportParam&, const std::vector<QImage>&)> playbackEnded;
    // A layer's entry (index) or the whole list (-1) must be shown again.
    std::function<void(int32_t)> layersChanged;
    // The pointer moved over the window (mouse or pen).
    std::function<void()> pointerMoved;
    // The title, the undo state or the playback state changed.
    std::function<void()> stateChanged;

    // ---- DocumentHost ----
    void InvalidateRect(const ExtentRect& rect) override;
    void InvalidateWindow(bool erase) override;
    void SetTitle(const std::string& title) override;
    // A change: the saved state stays reachable by undo and redo only while
    // the history still leads back to it.
    void MarkModified() override;
    void RefreshLayerEntry(int32_t layer) override;
    void RefreshLayerList() override;
    void ReloadWetPaint(int32_t) override {}
    void PictureResized(int32_t width, int32_t height) override;
    void PictureShifted(int32_t, int32_t) override { update(); }
    bool IsPlayingBack() const override { return Playing(); }
    void BeginProgress(const std::string&) override {}
    void Progress(const std::string&, int32_t) override {}
    void EndProgress() override {}

    bool Modified() const { return modified_; }
    // The changes are given up: closing asks nothing.
    void DiscardChanges() { SetModified(false); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // ---- PlaybackObserver ----
    void OnChangeHints(uint8_t hints) override;
    void OnProgress(int32_t executed, int32_t total, uint32_t startMs) override;
    bool TakeThumbnail(int slot) override;
    void OnEnd(const TEventReportParam& report) override;

    void StartDocument();
    // The title's modified mark follows.
    void SetModified(bool on);
    int32_t HistoryStep() const;
    // After an undo or redo: modified unless back at the saved step.
    void AfterHistoryStep();
    void StartTools();
    PointerEvent PointerFrom(const QPointF& at, Qt::KeyboardModifiers modifiers) const;
    double Dpr() const { return devicePixelRatioF(); }
    void Notify();
    // The name, marked when the replayed stream is protected.
    void RefreshTitle();
    void ViewMoved();
    ViewSource Source() const;
    // The client in device pixels: the widget less the scroll bars.
    void PlaceClient();
    void ToolChanged(uint32_t changes);
    void UpdateCursor();
    void UpdateGhost();
    void UpdateScrollBars();
    void DrawGhost(const EdgeRect& area);
    // The outline of a selection or move gesture follows the pointer.
    void OutlineChanged();
    // Repaints r (device pixels) of the client.
    void UpdateDeviceRect(const EdgeRect& r);
    void DrawToolOutline(const EdgeRect& area);
    std::vector<DocPoint> OutlinePoints() const;

    std::unique_ptr<TPaper> paper_;
    CViewState view_;
    DrawViewPort port_{view_};
    ToolState& tools_;
    std::unique_ptr<CPenRender> render_;
    std::unique_ptr<InputRouter> router_;
    InputSettings input_;
    QTimer autoScroll_;
    TTC image_;
    bool spaceDown_ = false;
    bool modified_ = false;
    std::string path_;
    // The undo count at the last save or load; -1 when no step leads back.
    int32_t savedStep_ = 0;
    bool steppingHistory_ = false;
    bool areaAverage_ = false;
    ViewGrid grid_;
    bool fitPending_ = false;
    WindowPreferences prefs_;
    BrushGhost ghost_;
    bool ghostShown_ = false;
    bool pointerInside_ = false;
    DocPoint ghostAt_;
    EdgeRect ghostBox_;
    std::vector<EdgeRect> ghostBands_;
    EdgeRect outlineBox_;
    Point antsOffset_;
    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    bool placingBars_ = false;
    int toolListener_ = 0;
    std::string name_;

    // A fresh document and replay of the event file; null when it fails.
    CEventPlayer* RestartReplay();
    void ShowSeekedStep();
    void LeavePlayback();

    std::unique_ptr<PaperPlaybackTarget> target_;
    std::unique_ptr<CEventPlayer> player_;
    std::unique_ptr<ReplaySeeker> seeker_;
    std::string eventPath_;
    int32_t wait_ = 0;
    std::optional<PlaybackSession> session_;
    std::vector<QImage> thumbnails_;
    PlaybackProgress progress_;
};

} // namespace morvane
