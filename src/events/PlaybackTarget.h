#pragma once
// What the event player drives: the document side implements this, so the
// player reads the stream and keeps the stroke rules while the document
// runs its non-recording operations. Every packet handed over has been
// decoded and validated by the player first; indices into the document's
// own lists are the document's to check (an index out of range is Failed,
// with the document left as it was). The player also decides which
// point routine a stroke uses, so the document never looks at AppVersion
// or stroke kinds to pick one.
#include <cstdint>
#include <span>
#include <string>

namespace morvane {

// Declined: refused by the operation's own rules (a filter on a protected
// layer); the player counts it as executed and writes a diagnostic line.
// Failed ends the replay with the error result.
enum class HandlerResult : uint8_t { Executed, Declined, Failed };

// Change hints of one step (bit meanings of the player's hint byte).
namespace changehint {
inline constexpr uint8_t kLayerStructure = 1u << 0;
inline constexpr uint8_t kLayerPixels = 1u << 1;
inline constexpr uint8_t kTitle = 1u << 2;
inline constexpr uint8_t kCurrentLayer = 1u << 3;
inline constexpr uint8_t kCurrentMask = 1u << 4;
inline constexpr uint8_t kBrush = 1u << 5;
inline constexpr uint8_t kNib = 1u << 6;
inline constexpr uint8_t kCanvasSize = 1u << 7;
} // namespace changehint

// Stroke kinds: 0 and 1 the earlier routines, 2 the standard one, 4 wet paint.
struct PlaybackStroke {
    uint8_t kind = 2;
    bool lineMode = false;
    // Started by a point packet with no start packet: the document aims the
    // pen at its current layer and mask, layer and mask are not used.
    bool implicit = false;
    uint16_t layer = 0, mask = 0;
};

// How one point is drawn: the first point opens the stroke by the routine
// the player chose, every later one continues it.
enum class PointRoutine : uint8_t { OpenEarlier, OpenStandard, OpenWetPaint, Continue, ContinueWetPaint };

// What loading an event file came to: the file side sorts its reader's
// codes into these, so the player needs nothing of the file formats.
enum class StreamLoad : uint8_t { Loaded, FileError, Version, ProtectedHeader };

struct PlaybackPoint {
    float x = 0, y = 0, pressure = 0; // finite, pressure within [0, 1]
};

class PlaybackTarget {
public:
    virtual ~PlaybackTarget() = default;

    // Loads an event file into the manager the player reads.
    virtual StreamLoad LoadStream(const std::string& path) = 0;
    // The loaded stream starts playing; the stroke manager is set up when asked.
    virtual void BeginPlayback(bool isProtected, bool strokeManager) = 0;
    // A StateRecord or DataBlock, whole packet with its header.
    virtual HandlerResult ApplyRecord(std::span<const uint8_t> packet) = 0;
    // A command of categories 2, 4, 5, 6, 10, 12, 13, 32-35 and 38, whole
    // packet; the start and end marks never come here.
    virtual HandlerResult ApplyCommand(std::span<const uint8_t> packet, int appVersion) = 0;
    // The start marks: forget the nibs and tones the stream embedded so far.
    virtual void ClearMaps() = 0;
    // Kind for a stroke started by a point packet: the last stroke's on the
    // current layer, else the document engine's (2, or 4 for wet paint).
    virtual uint8_t ImplicitStrokeKind() = 0;
    virtual HandlerResult StartStroke(const PlaybackStroke& stroke) = 0;
    virtual HandlerResult DrawPoint(const PlaybackPoint& point, PointRoutine routine) = 0;
    // Finishes the stroke by the routine of its kind and redraws what it
    // touched; a stroke cut off before its first point ends here too.
    virtual HandlerResult EndStroke() = 0;
    // Hints set since the last call (changehint bits); the call clears them.
    virtual uint8_t TakeChangeHints() = 0;
    // The replay is over: engine reset, display caches rebuilt, pen re-synced.
    virtual void EndPlayback() = 0;
};

} // namespace morvane
