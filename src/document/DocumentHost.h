#pragma once
// The document window as its document sees it: what a change to the picture
// asks of the screen (repaint, title, the tool window's layer list, the
// wet-paint copy, the scroll range, progress). The document holds a host by
// reference and never owns it; the Qt window implements it in the program,
// RecordingDocumentHost stands in for tests and the headless render mode.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "storage/Rect.h"

namespace morvane {

class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    // A rectangle of the picture (picture coordinates) must be repainted.
    virtual void InvalidateRect(const ExtentRect& rect) = 0;
    virtual void InvalidateWindow(bool erase) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void MarkModified() = 0;
    // The tool window redraws the entry of one layer, or its whole list.
    virtual void RefreshLayerEntry(int32_t layerIndex) = 0;
    virtual void RefreshLayerList() = 0;
    // The wet-paint copy is taken again from the layer (layer -1: none).
    virtual void ReloadWetPaint(int32_t layerIndex) = 0;
    // The picture has a new size: scroll range, wet-paint size, tool window.
    virtual void PictureResized(int32_t width, int32_t height) = 0;
    // The picture's content moved by (dx, dy) (a canvas size with an anchor,
    // a crop): the view keeps showing the same content.
    virtual void PictureShifted(int32_t dx, int32_t dy) = 0;
    // While the window replays a recording, refreshes of the tool window are
    // left out.
    virtual bool IsPlayingBack() const = 0;
    // A long operation: a titled dialog with one line of text and a part
    // done of 0 ... 100.
    virtual void BeginProgress(const std::string& title) = 0;
    virtual void Progress(const std::string& text, int32_t percent) = 0;
    virtual void EndProgress() = 0;
    // Whether anyone sees the picture while it changes: a stroke is shown
    // point by point only then (its end shows it in any case).
    virtual bool ShowsPicture() const { return true; }
    // The masks or the selection changed: the ants are built again and the
    // mask list follows.
    virtual void SelectionChanged() {}

    // The window's stroke: marked while one runs, and its moves counted
    // (the desktop ends a stroke at its move limit).
    virtual void SetStroking(bool on) { stroking_ = on; }
    virtual void SetMoveCount(int32_t count) { moveCount_ = count; }
    bool IsStroking() const { return stroking_; }
    int32_t MoveCount() const { return moveCount_; }

private:
    bool stroking_ = false;
    int32_t moveCount_ = 0;
};

// A host that shows nothing and keeps no record of what it would have
// shown: the render mode and the benchmarks, where a long stream must not
// cost memory here.
class SilentDocumentHost final : public DocumentHost {
public:
    explicit SilentDocumentHost(bool playingBack = false) : playingBack_(playingBack) {}
    void InvalidateRect(const ExtentRect&) override {}
    void InvalidateWindow(bool) override {}
    void SetTitle(const std::string&) override {}
    void MarkModified() override {}
    void RefreshLayerEntry(int32_t) override {}
    void RefreshLayerList() override {}
    void ReloadWetPaint(int32_t) override {}
    void PictureResized(int32_t, int32_t) override {}
    void PictureShifted(int32_t, int32_t) override {}
    bool IsPlayingBack() const override { return playingBack_; }
    void BeginProgress(const std::string&) override {}
    void Progress(const std::string&, int32_t) override {}
    void EndProgress() override {}
    bool ShowsPicture() const override { return false; }

private:
    bool playingBack_;
};

// Keeps every call in order, so tests can say what a document asked for.
class RecordingDocumentHost final : public DocumentHost {
public:
    enum class Call {
        InvalidateRect, InvalidateWindow, SetTitle, MarkModified, RefreshLayerEntry, RefreshLayerList,
        ReloadWetPaint, PictureResized, PictureShifted, BeginProgress, Progress, EndProgress
    };
    struct Entry {
        Call call;
        ExtentRect rect{};
        int32_t a = 0, b = 0;
        std::string text;
    };

    void InvalidateRect(const ExtentRect& rect) override { Add(Call::InvalidateRect, rect); }
    void InvalidateWindow(bool erase) override { Add(Call::InvalidateWindow, {}, erase ? 1 : 0); }
    void SetTitle(const std::string& title) override { Add(Call::SetTitle, {}, 0, 0, title); }
    void MarkModified() override { Add(Call::MarkModified); }
    void RefreshLayerEntry(int32_t layerIndex) override { Add(Call::RefreshLayerEntry, {}, layerIndex); }
    void RefreshLayerList() override { Add(Call::RefreshLayerList); }
    void ReloadWetPaint(int32_t layerIndex) override { Add(Call::ReloadWetPaint, {}, layerIndex); }
    void PictureResized(int32_t width, int32_t height) override { Add(Call::PictureResized, {}, width, height); }
    void PictureShifted(int32_t dx, int32_t dy) override { Add(Call::PictureShifted, {}, dx, dy); }
    bool IsPlayingBack() const override { return PlayingBack; }
    void BeginProgress(const std::string& title) override { Add(Call::BeginProgress, {}, 0, 0, title); }
    void Progress(const std::string& text, int32_t percent) override { Add(Call::Progress, {}, percent, 0, text); }
    void EndProgress() override { Add(Call::EndProgress); }

    // How many calls of one kind were made.
    int32_t CountOf(Call call) const;
    // The last call of one kind, nullptr when there was none.
    const Entry* LastOf(Call call) const;
    void Clear() { Calls.clear(); }

    bool PlayingBack = false;
    std::vector<Entry> Calls;

private:
    void Add(Call call, ExtentRect rect = {}, int32_t a = 0, int32_t b = 0, std::string text = {})
    {
        Calls.push_back(Entry{call, rect, a, b, std::move(text)});
    }
};

} // namespace morvane
