#pragma once
// The document side of the event player: every recorded packet runs the
// same document operation live input ran, with recording off, on a pen,
// renderer and wet paint of the player's own. Values are checked against
// the document before an operation sees them, so a hostile stream fails
// its packet instead of reaching an allocation or an index.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "document/NibBitmapCache.h"
#include "events/PlaybackTarget.h"

namespace morvane {

class CPenRender;
class CPenShapeObj;
class TChannel;
class TFlowImage;
class TPaper;
class TStroke;

class PaperPlaybackTarget final : public PlaybackTarget {
public:
    // The document strokes through the player's renderer until the target
    // goes; the document must outlive it.
    explicit PaperPlaybackTarget(TPaper& paper);
    ~PaperPlaybackTarget() override;
    PaperPlaybackTarget(const PaperPlaybackTarget&) = delete;
    PaperPlaybackTarget& operator=(const PaperPlaybackTarget&) = delete;

    StreamLoad LoadStream(const std::string& path) override;
    void BeginPlayback(bool isProtected, bool strokeManager) override;
    HandlerResult ApplyRecord(std::span<const uint8_t> packet) override;
    HandlerResult ApplyCommand(std::span<const uint8_t> packet, int appVersion) override;
    void ClearMaps() override;
    uint8_t ImplicitStrokeKind() override;
    HandlerResult StartStroke(const PlaybackStroke& stroke) override;
    HandlerResult DrawPoint(const PlaybackPoint& point, PointRoutine routine) override;
    HandlerResult EndStroke() override;
    uint8_t TakeChangeHints() override;
    void EndPlayback() override;

    const TStroke& Pen() const { return *pen_; }
    const CPenRender& Renderer() const { return *render_; }
    // AppVersion of the last version record: major x 100 + minor.
    int32_t AppVersion() const { return appVersion_; }
    const NibBitmapCache& StoredNibs() const { return nibs_; }

private:
    // ---- state records (TPaperPlaybackState.cpp) ----
    HandlerResult ApplyState(std::span<const uint8_t> packet);
    HandlerResult ApplyPenState(std::span<const uint8_t> packet);
    HandlerResult ApplyRendererState(std::span<const uint8_t> packet);
    HandlerResult ApplyCurrentLayer(uint16_t layer);
    HandlerResult StoreNib(std::span<const uint8_t> packet);
    HandlerResult UseStoredNib(std::span<const uint8_t> packet);
    // The stored bitmap id becomes the renderer's nib at scale percent.
    HandlerResult UseNib(uint32_t id, int32_t scale, int32_t width, int32_t height);

    // A kind whose operation comes with a later tool: fails with a line.
    static HandlerResult NotReplayedYet(std::span<const uint8_t> packet);
    // An operation's answer: executed with the hints, or failed.
    HandlerResult Ran(bool done, uint8_t hints);
    bool IsLayer(int32_t index) const;

    TPaper& paper_;
    std::unique_ptr<TStroke> pen_;
    std::unique_ptr<CPenRender> render_;
    std::unique_ptr<TFlowImage> flow_;
    // The nib rebuilt from a stored bitmap (which one it was made from), and
    // the embedded bitmaps stored.
    struct NibSource {
        uint32_t id = 0;
        int32_t width = 0, height = 0; // 0: none
        bool operator==(const NibSource&) const = default;
    };
    std::unique_ptr<CPenShapeObj> bitmapNib_;
    NibSource bitmapNibSource_;
    NibBitmapCache nibs_;

    PlaybackStroke stroke_;
    bool stroking_ = false;
    // The kind of the last stroke on each layer, by layer Id.
    std::map<int32_t, uint8_t> lastKind_;
    uint8_t hints_ = 0;
    int32_t appVersion_ = 450;
    bool canvasMade_ = false;
    // Strokes switch the document's engine; the end gives it back.
    uint8_t engineAtStart_ = 2;
};

} // namespace morvane
