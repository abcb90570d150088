#pragma once
// What the main-window tests share: a shown main window over fresh settings
// with scripted message boxes, pixel checksums, playing a window to its end,
// a recording replayed into a fresh window, a checksum of the masks, a scripted answer to the
// new-document dialog, and what screenshots must show.
#include <QAction>
#include <QDir>
#include <QImage>
#include <QRegion>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QtTest>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/CAppProfile.h"
#include "document/CMaskMngr.h"
#include "document/NewPictureModel.h"
#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormEventReport.h"
#include "gui/TFormNew.h"
#include "gui/TMainForm.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/TMTC.h"
#include "support/Checksum.h"

namespace morvane::harness {

// The message boxes are scripted for the session's whole life; Start makes a
// main window over fresh settings (playback without a wait, then as adjust
// says), shown and active, and Stop closes it.
class MainWindowSession {
public:
    RecordingNotifier notifier;
    std::unique_ptr<CAppProfile> profile;
    std::unique_ptr<TMainForm> form;

    MainWindowSession() : previous_(SetNotifier(&notifier)) {}
    ~MainWindowSession()
    {
        Stop();
        SetNotifier(previous_);
    }
    MainWindowSession(const MainWindowSession&) = delete;
    MainWindowSession& operator=(const MainWindowSession&) = delete;

    // False when the window did not become active.
    bool Start(const std::function<void(CAppProfile&)>& adjust = {})
    {
        Stop();
        notifier.messages.clear();
        notifier.script.clear();
        profile = std::make_unique<CAppProfile>(AppEnvironment{});
        profile->config.eventWait = 0;
        if (adjust)
            adjust(*profile);
        form = std::make_unique<TMainForm>(*profile);
        // Room for a 640 x 480 document window beside the panels.
        form->resize(1600, 1000);
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }
    void Stop() { form.reset(); }

private:
    UserNotifier* previous_;
};

using support::Checksum;

// Ticks the playback timers' work until the window stops playing (bounded).
inline void PlayToEnd(TMainForm& form, const TDrawWindow& window)
{
    for (int i = 0; i < 100000 && window.Playing(); ++i)
        form.TickPlayback();
}

// The active window's recording saved to path and played into a new window
// to its end; nullptr when either step failed.
inline TDrawWindow* Replay(TMainForm& form, const QString& path)
{
    if (!form.SaveEventFile(path))
        return nullptr;
    TDrawWindow* replay = form.OpenEventFile(path, false);
    if (replay)
        PlayToEnd(form, *replay);
    return replay;
}

// Every mask's place, bytes and name, the current one, the two flags and
// every layer's pixels.
inline uint64_t SelectionChecksum(TPaper& paper)
{
    uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](uint64_t v) { h = support::FnvMix(h, v); };
    const CMaskMngr& masks = paper.Masks();
    mix(uint64_t(masks.Count()) | uint64_t(masks.Current()) << 16 | uint64_t(paper.SelectionUsed) << 32 |
        uint64_t(paper.SelectionBorderShown) << 33);
    for (int32_t i = 0; i < masks.Count(); ++i) {
        const CMaskData& m = *masks.At(i);
        const EdgeRect r = m.Rect();
        mix(uint64_t(uint32_t(r.left)) << 32 | uint32_t(r.top));
        mix(uint64_t(uint32_t(r.right)) << 32 | uint32_t(r.bottom));
        for (unsigned char c : m.name)
            mix(c);
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                mix(m.ValueAt(x, y));
    }
    for (int32_t i = 0; i < paper.LayerCount(); ++i)
        mix(support::Checksum(*paper.LayerAt(i)->Store));
    return h;
}


// Triggers a command's action when it is enabled; false otherwise.
inline bool Trigger(TMainForm& form, const char* name)
{
    QAction* action = form.Action(QString::fromUtf8(name));
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

// The window point over a document point.
inline QPoint WindowPointOf(TDrawWindow& w, double x, double y)
{
    const DocPoint p = w.View().DocumentToWindow({x, y});
    return {int(std::lround(p.x)), int(std::lround(p.y))};
}

// A left-button drag through the window in eight steps.
inline void Drag(QWidget* w, QPoint from, QPoint to)
{
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 8; ++i)
        QTest::mouseMove(w, from + (to - from) * i / 8);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
}

// The new-document dialog answered with a white picture of width x height.
inline void AnswerNewDocument(TMainForm& form, int32_t width, int32_t height)
{
    form.askNewDocument = [width, height]() -> std::optional<SNewDocumentChoice> {
        return SNewDocumentChoice{"無題", {width, height, 72, false}};
    };
}

// Every screenshot goes to one folder of the build.
inline QString ShotPath(const QString& name)
{
    QDir().mkpath(QStringLiteral(MORVANE_SCREENSHOTS));
    return QStringLiteral(MORVANE_SCREENSHOTS "/") + name;
}

// What a picture of w must show, checked at 1:1 unrotated: the window
// pixels (at origin in shot, the window's visible part) that stand over the
// document carry the composite's pixel there, made opaque over white as the
// view shows it. The mismatches; -1 when the view is not at 1:1 or no
// document pixel is in sight.
inline int64_t CompositeMismatches(const QImage& shot, QPoint origin, TDrawWindow& w)
{
    const CViewState& v = w.View();
    if (v.Rotated() || !(v.Scale() == ScaleRatio{1, 1}) || w.devicePixelRatioF() != 1.0)
        return -1;
    const TMTC& composite = w.Paper().Composite();
    const QRegion visible = w.visibleRegion();
    int64_t shown = 0, wrong = 0;
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const DocPoint d = v.WindowToDocument({double(x), double(y)});
            const int32_t dx = int32_t(std::lround(d.x)), dy = int32_t(std::lround(d.y));
            const QPoint at = origin + QPoint(x, y);
            if (dx < 0 || dy < 0 || dx >= composite.Width || dy >= composite.Height ||
                !visible.contains({x, y}) || !shot.rect().contains(at))
                continue;
            uint32_t want = composite.GetPixel(dx, dy);
            if (!w.Paper().OpaquePaper) {
                if (w.Paper().CheckerTransparency && want >> 24 != 255)
                    continue;
                uint32_t white = 0xFFFFFFFFu;
                BlendColour(white, want, want >> 24);
                want = white;
            }
            ++shown;
            wrong += (shot.pixel(at) | 0xFF000000u) != (want | 0xFF000000u);
        }
    return shown == 0 ? -1 : wrong;
}

// Distinct colours in a rectangle of the image, counted up to limit.
inline int Colours(const QImage& image, QRect rect, int limit = 64)
{
    QSet<QRgb> seen;
    rect &= image.rect();
    for (int y = rect.top(); y <= rect.bottom() && seen.size() < limit; ++y)
        for (int x = rect.left(); x <= rect.right() && seen.size() < limit; ++x)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

// A report's picture shows a thumbnail with a picture in it in every slot
// the replay took (the demo's first tenth has paint already): the slots
// without one.
inline QStringList BlankThumbnails(const QImage& shot, const TFormEventReport& report, int count)
{
    QStringList blank;
    for (int i = 0; i < count; ++i) {
        const QRect at = report.ThumbnailRect(i);
        if (at.isEmpty() || Colours(shot, at) < 4)
            blank << QString::number(i);
    }
    return blank;
}

} // namespace morvane::harness
