#include "gui/TDrawWindow.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

#include "document/EventFile.h"
#include "document/PaperFile.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventPlayer.h"
#include "events/PlaybackReport.h"
#include "events/PlaybackTarget.h"
#include "events/ReplaySeeker.h"
#include "paint/CPenRender.h"
#include "platform/Clock.h"
#include "platform/UserNotifier.h"
#include "platform/qt/TtcImage.h"
#include "view/AntsDraw.h"
#include "view/ViewRender.h"
#include "document/CMaskMngr.h"

namespace morvane {
namespace {

constexpr int kThumbnailSide = 96;
constexpr int kThumbnailSlots = 10;

uint32_t ModifiersOf(Qt::KeyboardModifiers m, bool space)
{
    return (m & Qt::ShiftModifier ? kModShift : 0u) | (m & Qt::ControlModifier ? kModCtrl : 0u) |
           (m & Qt::AltModifier ? kModAlt : 0u) | (space ? kModSpace : 0u);
}

bool ButtonOf(Qt::MouseButton qt, MouseButton& out)
{
    switch (qt) {
    case Qt::LeftButton: out = MouseButton::Left; return true;
    case Qt::RightButton: out = MouseButton::Right; return true;
    case Qt::MiddleButton: out = MouseButton::Middle; return true;
    default: return false;
    }
}

} // namespace

TDrawWindow::TDrawWindow(ToolState& tools, const InputSettings& input, QWidget* parent)
    : QWidget(parent), tools_(tools), input_(input)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    port_.changed = [this] { ViewMoved(); };
    autoScroll_.setInterval(kAutoScrollInterval);
    connect(&autoScroll_, &QTimer::timeout, this, [this] { router_->AutoScrollTick(); });
    StartDocument();
    StartTools();
}

TDrawWindow::~TDrawWindow()
{
    tools_.Forget(toolListener_);
    // The player and its target stroke through the document: they go first.
    seeker_.reset();
    session_.reset();
    player_.reset();
    target_.reset();
    if (paper_)
        paper_->SetPenRenderer(nullptr);
    // The document calls its host while it goes; it keeps the router's pen
    // and flow image until then.
    paper_.reset();
    router_.reset();
}

void TDrawWindow::StartDocument()
{
    paper_ = std::make_unique<TPaper>(*this);
    router_ = std::make_unique<InputRouter>(*paper_, port_, tools_, input_);
    render_ = std::make_unique<CPenRender>(router_->Pen());
    paper_->SetPenRenderer(render_.get());
    router_->PrepareEdit();
    router_->beep = [] { QApplication::beep(); };
    router_->autoScrollChanged = [this](bool on) { on ? autoScroll_.start() : autoScroll_.stop(); };
    router_->outlineChanged = [this] { OutlineChanged(); };
    router_->cursor = [this] {
        const QPointF at = mapFromGlobal(QCursor::pos()).toPointF() * Dpr();
        return PointD{at.x(), at.y()};
    };
}

bool TDrawWindow::NewDocument(int32_t width, int32_t height, const std::string& name, int32_t resolution,
                              bool transparent)
{
    if (!paper_->NewPicture(name, transparent, transparent, resolution, width, height, width, height))
        return false;
    name_ = name;
    SetTitle(name);
    savedStep_ = HistoryStep();
    SetModified(false);
    FitView();
    return true;
}

bool TDrawWindow::NewDocumentFromImage(const TMTC& image, int32_t resolution, const std::string& path)
{
    const std::string file = path.substr(path.find_last_of('/') + 1);
    if (!paper_->NewPictureFromImage(path, image, resolution, file))
        return false;
    name_ = file;
    path_ = path;
    SetTitle(name_);
    savedStep_ = HistoryStep();
    SetModified(false);
    router_->PrepareEdit();
    FitView();
    Notify();
    return true;
}

int TDrawWindow::OpenEventFile(const std::string& path, bool paused)
{
    CEventMngr* events = paper_->EventManager();
    if (!events)
        return CEventPlayer::kOpenFailed;
    target_ = std::make_unique<PaperPlaybackTarget>(*paper_);
    player_ = std::make_unique<CEventPlayer>(*events, *target_);
    router_->window.playerWindow = router_->window.replaying = true;
    const int opened = player_->Open(path, PlaybackMode::Interactive);
    if (opened != CEventPlayer::kOpenOk) {
        player_->Close();
        player_.reset();
        target_.reset();
        return opened;
    }
    const std::string file = path.substr(path.find_last_of('/') + 1);
    name_ = file;
    RefreshTitle();
    thumbnails_.assign(kThumbnailSlots, QImage());
    session_.emplace(*player_, static_cast<PlaybackObserver&>(*this), file);
    player_->Pause(paused);
    eventPath_ = path;
    seeker_ = std::make_unique<ReplaySeeker>(*player_, [this] { return RestartReplay(); });
    FitView();
    Notify();
    return opened;
}

EventFileCode TDrawWindow::SaveRecording(const std::string& path, const EventSaveRequest& request, bool protect)
{
    return protect ? SaveProtectedEventFile(path, *paper_, request) : SaveEventFile(path, *paper_, request);
}

bool TDrawWindow::CanEditNow() const { return CanEdit(paper_.get(), router_->window); }

bool TDrawWindow::CanUndo() const
{
    return CanEditNow() && paper_->UndoManager() && paper_->UndoManager()->CanUndo();
}

bool TDrawWindow::CanRedo() const
{
    return CanEditNow() && paper_->UndoManager() && paper_->UndoManager()->CanRedo();
}

bool TDrawWindow::Undo()
{
    int32_t layer = 0;
    ExtentRect rect;
    steppingHistory_ = true;
    const bool done = CanEditNow() && paper_->Undo(layer, rect);
    steppingHistory_ = false;
    if (done)
        AfterHistoryStep();
    Notify();
    return done;
}

bool TDrawWindow::Redo()
{
    int32_t layer = 0;
    ExtentRect rect;
    steppingHistory_ = true;
    const bool done = CanEditNow() && paper_->Redo(layer, rect);
    steppingHistory_ = false;
    if (done)
        AfterHistoryStep();
    Notify();
    return done;
}

int32_t TDrawWindow::HistoryStep() const { return paper_->UndoManager() ? paper_->UndoManager()->UndoCount() : 0; }

void TDrawWindow::AfterHistoryStep() { SetModified(HistoryStep() != savedStep_); }

void TDrawWindow::MarkModified()
{
    // A new change made from below the saved step drops the redo steps that
    // led back to it.
    if (!steppingHistory_ && HistoryStep() <= savedStep_)
        savedStep_ = -1;
    SetModified(true);
}

void TDrawWindow::SetModified(bool on)
{
    modified_ = on;
    setWindowModified(on);
    if (parentWidget())
        parentWidget()->setWindowModified(on);
}

DocFileCode TDrawWindow::OpenDocumentFile(const std::string& path)
{
    const DocFileCode code = LoadDocumentFile(path, *paper_);
    if (!paper_->Ready)
        return code;
    name_ = path.substr(path.find_last_of('/') + 1);
    path_ = code == DocFileCode::Ok ? path : std::string();
    SetTitle(name_);
    savedStep_ = HistoryStep();
    SetModified(code != DocFileCode::Ok);
    router_->PrepareEdit();
    FitView();
    Notify();
    return code;
}

DocFileCode TDrawWindow::SaveDocument(const std::string& path)
{
    const DocFileCode code = SaveDocumentFile(path, *paper_);
    if (code != DocFileCode::Ok)
        return code;
    path_ = path;
    name_ = path.substr(path.find_last_of('/') + 1);
    SetTitle(name_);
    savedStep_ = HistoryStep();
    SetModified(false);
    Notify();
    return code;
}

DocFileCode TDrawWindow::RevertDocument()
{
    if (path_.empty())
        return DocFileCode::NotFound;
    const std::string path = path_;
    return OpenDocumentFile(path);
}

void TDrawWindow::ZoomStep(bool in)
{
    port_.ZoomStep(in, {double(view_.ClientWidth() / 2), double(view_.ClientHeight() / 2)});
}

void TDrawWindow::FitView()
{
    // A window not laid out yet has no client: it fits at its first size.
    fitPending_ = view_.ClientWidth() <= 0 || view_.ClientHeight() <= 0;
    if (!fitPending_)
        view_.Fit();
    ViewMoved();
}

// ---- playback ----

bool TDrawWindow::PlaybackTick()
{
    if (!Playing())
        return false;
    session_->Tick();
    return Playing();
}

void TDrawWindow::SetPaused(bool paused)
{
    if (Playing())
        player_->Pause(paused);
    Notify();
}

bool TDrawWindow::Paused() const { return Playing() && player_->Paused(); }

void TDrawWindow::StepPlayback()
{
    if (Playing())
        session_->Step();
    Notify();
}

void TDrawWindow::AskStop()
{
    if (Playing() && Notifier().Ask("イベント再生の途中ですが、再生を終了しますか?", Buttons::YesNo) == Answer::Yes)
        session_->RequestStop();
}

void TDrawWindow::SetWait(int32_t wait)
{
    wait_ = wait;
    if (session_)
        session_->SetWait(wait);
}

// The layer panels, the layer list and the pen and nib displays are not
// built yet; their hints have no one to answer them.
void TDrawWindow::OnChangeHints(uint8_t hints)
{
    // A new canvas size shows the whole picture again.
    if (hints & changehint::kCanvasSize)
        FitView();
    else if (hints & changehint::kLayerStructure)
        update();
    // The player's stack, shown read-only, follows its progress.
    if (hints & (changehint::kLayerStructure | changehint::kCurrentLayer | changehint::kLayerPixels))
        RefreshLayerList();
    if (hints & changehint::kTitle) {
        RefreshTitle();
        Notify();
    }
}

void TDrawWindow::OnProgress(int32_t executed, int32_t total, uint32_t startMs)
{
    progress_ = {executed, total, CurrentClock().Milliseconds() - startMs, true};
    if (progressChanged)
        progressChanged();
}

bool TDrawWindow::TakeThumbnail(int slot)
{
    if (slot < 0 || slot >= int(thumbnails_.size()))
        return false;
    const QImage composite = WrapTtc(paper_->Composite());
    if (composite.isNull())
        return false;
    // The composite's rows are bottom-up; an opaque paper leaves its alpha unread.
    thumbnails_[slot] = composite.mirrored(false, true)
                            .convertToFormat(QImage::Format_RGB32)
                            .scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return true;
}

void TDrawWindow::OnEnd(const TEventReportParam& report)
{
    router_->window.replaying = false;
    router_->window.replayEnded = true;
    update();
    Notify();
    if (playbackEnded)
        playbackEnded(report, thumbnails_);
}

// ---- DocumentHost ----

void TDrawWindow::InvalidateRect(const ExtentRect& rect)
{
    const EdgeRect w = view_.DocumentRectToWindow(ToEdge(rect));
    if (w.IsEmpty())
        return;
    const double d = Dpr();
    const int left = int(std::floor(w.left / d)), top = int(std::floor(w.top / d));
    update(QRect(QPoint(left, top), QPoint(int(std::ceil(w.right / d)), int(std::ceil(w.bottom / d)))));
}

void TDrawWindow::InvalidateWindow(bool) { update(); }

void TDrawWindow::SetTitle(const std::string& title)
{
    // Qt shows the modified mark in place of the placeholder.
    setWindowTitle(QString::fromStdString(title) + QStringLiteral("[*]"));
    if (parentWidget())
        parentWidget()->setWindowTitle(windowTitle());
}

void TDrawWindow::PictureResized(int32_t width, int32_t height)
{
    view_.SetDocument(width, height);
    update();
}

bool TDrawWindow::AntsAnimate() const
{
    return paper_->SelectionBorderShown && paper_->Masks().Ants.HasOutline();
}

void TDrawWindow::AntsTick()
{
    if (AntsAnimate() && paper_->Masks().Ants.Tick())
        update();
}

void TDrawWindow::RefreshTitle() { SetTitle(PlaybackWindowTitle(name_, paper_->EventsProtected)); }

void TDrawWindow::RefreshLayerEntry(int32_t layer)
{
    if (layersChanged)
        layersChanged(layer);
}

void TDrawWindow::RefreshLayerList()
{
    if (layersChanged)
        layersChanged(-1);
}

void TDrawWindow::Notify()
{
    if (stateChanged)
        stateChanged();
}

// ---- Qt events ----

void TDrawWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const double d = Dpr();
    // Each rectangle of the region on its own: a moving outline invalidates
    // its old and its new box, not all between them.
    bool drawn = false;
    for (const QRect& r : event->region()) {
        const EdgeRect invalid{int32_t(std::floor(r.left() * d)), int32_t(std::floor(r.top() * d)),
                               int32_t(std::ceil((r.right() + 1) * d)), int32_t(std::ceil((r.bottom() + 1) * d))};
        if (RenderView(view_, Source(), image_, invalid)) {
            DrawGhost(invalid);
            if (paper_->SelectionBorderShown)
                DrawAnts(paper_->Masks().Ants, view_, image_, invalid);
            DrawToolOutline(invalid);
            drawn = true;
        }
    }
    if (!drawn) {
        painter.fillRect(event->rect(), QColor(128, 128, 128));
        return;
    }
    // One window pixel is one device pixel.
    painter.scale(1.0 / d, 1.0 / d);
    DrawTtc(painter, QPoint(0, 0), image_);
}

void TDrawWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceClient();
    if (fitPending_)
        FitView();
    update();
}

PointerEvent TDrawWindow::PointerFrom(const QPointF& at, Qt::KeyboardModifiers modifiers) const
{
    const QPointF p = at * Dpr();
    return PointerEvent{{p.x(), p.y()}, ModifiersOf(modifiers, spaceDown_)};
}

void TDrawWindow::mousePressEvent(QMouseEvent* event)
{
    MouseButton button;
    if (!ButtonOf(event->button(), button))
        return;
    PointerEvent e = PointerFrom(event->position(), event->modifiers());
    e.doubleClick = event->type() == QEvent::MouseButtonDblClick;
    router_->Press(button, e);
    PointerMoved();
}

void TDrawWindow::mouseMoveEvent(QMouseEvent* event)
{
    router_->Move(PointerFrom(event->position(), event->modifiers()));
    PointerMoved();
}

void TDrawWindow::mouseReleaseEvent(QMouseEvent* event)
{
    MouseButton button;
    if (!ButtonOf(event->button(), button))
        return;
    router_->Release(button, PointerFrom(event->position(), event->modifiers()));
    PointerMoved();
    Notify();
}

void TDrawWindow::wheelEvent(QWheelEvent* event)
{
    // X11 turns a wheel held with Alt into a horizontal one.
    const QPoint delta = event->angleDelta();
    const bool alt = event->modifiers() & Qt::AltModifier;
    router_->Wheel(delta.y() != 0 || !alt ? delta.y() : delta.x(),
                   ModifiersOf(event->modifiers(), spaceDown_));
}

void TDrawWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceDown_ = true;
        router_->Key(InputKey::Space);
    }
    if (event->key() == Qt::Key_Escape)
        router_->Key(InputKey::Escape);
    // Enter pauses and resumes a replay; with Ctrl it is the step and stop
    // commands' key, which the main window takes first.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && Playing()) {
        if (!event->isAutoRepeat())
            SetPaused(!Paused());
        return;
    }
    QWidget::keyPressEvent(event);
}

void TDrawWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        spaceDown_ = false;
    QWidget::keyReleaseEvent(event);
}

// A lost pointer ends the stroke at its recorded end.
void TDrawWindow::focusOutEvent(QFocusEvent* event)
{
    router_->LosePointer();
    spaceDown_ = false;
    QWidget::focusOutEvent(event);
}

void TDrawWindow::hideEvent(QHideEvent* event)
{
    router_->LosePointer();
    QWidget::hideEvent(event);
}

} // namespace morvane
