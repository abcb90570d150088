#pragma once
// What the main-window tests share: a shown main window over fresh settings
// with scripted message boxes, pixel checksums, playing a window to its end,
// a recording replayed into a fresh window, and a scripted answer to the
// new-document dialog.
#include <QString>
#include <QtTest>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "document/NewPictureModel.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormNew.h"
#include "gui/TMainForm.h"
#include "app/CAppProfile.h"
#include "platform/UserNotifier.h"
#include "storage/TMTC.h"

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
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }
    void Stop() { form.reset(); }

private:
    UserNotifier* previous_;
};

inline uint64_t Checksum(const TTC& image)
{
    uint64_t h = 1469598103934665603ull;
    const auto* p = static_cast<const uint8_t*>(static_cast<const void*>(image.Bits));
    for (size_t i = 0, n = size_t(image.Width) * size_t(image.Height) * 4; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

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

// The new-document dialog answered with a white picture of width x height.
inline void AnswerNewDocument(TMainForm& form, int32_t width, int32_t height)
{
    form.askNewDocument = [width, height]() -> std::optional<SNewDocumentChoice> {
        return SNewDocumentChoice{"無題", {width, height, 72, false}};
    };
}

} // namespace morvane::harness
