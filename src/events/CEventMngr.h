#pragma once
// The document's event manager, recording side: every packet the document
// hands over is appended to the segmented stream, state records are written
// only when the state they describe changed, and the steps of the stream
// follow the undo history so that the stream always replays to the picture
// on screen.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "events/CMemSeg.h"
#include "events/CStepRing.h"
#include "events/EventRecorder.h"
#include "events/EventSyncState.h"
#include "storage/CMapDD.h"
#include "storage/SizeLimits.h"

namespace morvane {

enum class EventMngrState : uint8_t { Idle = 0, Recording = 1, Playing = 2, Ended = 3 };

// Answer of WriteState.
enum class StateWrite : int { Unchanged = 0, Written = 1, Failed = 2 };

class CEventMngr final : public EventRecorder {
public:
    static constexpr uint8_t kCurrentGeneration = 41;
    // File flags of the DocumentFlags records.
    static constexpr uint16_t kProtectionFlag = 0x8000;
    static constexpr uint16_t kImagePermissionFlag = 0x4000;
    // The recorder's flag byte, the top byte of StateValidBits.
    static constexpr uint32_t kNameBlockWritten = 1u << 24;
    static constexpr uint32_t kStrokeOpen = 1u << 25;
    static constexpr int32_t kPointsPerPacket = 16;

    // Fills the state the next state records describe.
    using SyncSource = std::function<void(EventSyncState&)>;
    // Writes the stream as an event file; true when saved.
    using SaveEvents = std::function<bool()>;

    explicit CEventMngr(int32_t segmentSize = CSegmentedStore::kDefaultSegmentSize,
                        int64_t initialCapacity = CSegmentedStore::kDefaultCapacity);
    ~CEventMngr() override;
    CEventMngr(const CEventMngr&) = delete;
    CEventMngr& operator=(const CEventMngr&) = delete;

    // Without a source every sync writes the defaults of EventSyncState.
    void SetSyncSource(SyncSource source) { source_ = std::move(source); }

    // Empties the stream, takes a ring of depth steps each way, starts
    // recording and writes the version record. False leaves the manager idle.
    bool Start(int32_t undoDepth);
    // Starts again with the depth of the last start: a recording that
    // begins anew (from a snapshot of a loaded picture).
    bool Restart() { return Start(depth_); }
    // Stops the recording for good: stream, steps and cached state go.
    void Reset();
    // The stop command: asks twice, offers to save through save, resets.
    // False when the user cancelled or there was nothing to stop.
    bool StopRecordingAsked(const SaveEvents& save);

    EventMngrState State() const { return state_; }
    bool IsRecording() const override { return state_ == EventMngrState::Recording; }
    bool HasEvents() const;
    bool IsRecordingWithEvents() const { return IsRecording() && HasEvents(); }

    // ---- writers: nothing written and true while not recording ----
    // A packet of kind id (its first code) from its payload's parts.
    bool WritePacket(PacketId id, std::span<const uint8_t> fixed, std::span<const uint8_t> variable = {});
    // The same, closing the step.
    bool WriteStep(PacketId id, std::span<const uint8_t> fixed, std::span<const uint8_t> variable = {});
    // A StateRecord with its payload: written when it differs from the
    // cached copy or the copy is not valid.
    StateWrite WriteState(PacketId id, std::span<const uint8_t> payload);
    // A DataBlock of kind id.
    bool WriteData(PacketId id, std::span<const uint8_t> data);

    // ---- the document's recorder ----
    // A whole command packet: its category's state is synced first, and it
    // closes a step when its kind does.
    bool Record(const uint8_t* packet, size_t size) override;
    bool BeginStroke(PacketId start, uint16_t layer, uint16_t mask, float x, float y, float pressure) override;
    // Points come by the million: the common case, a point of an open stroke
    // with room in its packet, is taken here; the rest (a full packet, a
    // refusal) goes out of line.
    bool AddPoint(float x, float y, float pressure) override
    {
        if (pointNext_ == pointLimit_ || !IsStreamPoint(x, y, pressure))
            return AddPointSlowly(x, y, pressure);
        BufferPoint(x, y, pressure);
        return true;
    }
    bool EndStroke() override;

    bool SyncDocument();
    bool SyncPen();
    bool SyncRenderer();
    bool SyncAll();

    // Start marks after a new canvas; the end mark before a save and its
    // removal after it.
    bool StartMarks();
    bool EndMark();
    bool RemoveEndMark();

    // ---- steps ----
    int32_t UndoCount() const override { return steps_.UndoCount(); }
    int32_t RedoCount() const override { return steps_.RedoCount(); }
    bool UndoStep() override;
    bool RedoStep() override;
    void DiscardRedo() { steps_.DiscardRedo(); }
    void DiscardRedoSteps() override { DiscardRedo(); }
    bool SetUndoDepth(int32_t depth);
    bool SetStepCapacity(int32_t steps) override { return SetUndoDepth(steps); }
    int32_t CommittedSteps() const { return steps_.CommittedSteps(); }

    // ---- file flags of the DocumentFlags records ----
    // False when the walk meets a packet it cannot read.
    bool SetFileFlag(uint16_t mask, bool on);
    bool QueryFileFlag(uint16_t mask, bool& found);
    // Category-12 packets counted by the last query.
    int32_t ImageBlockCount() const { return imageBlocks_; }

    // ---- reading and loading ----
    // length bytes from offset, or 0 when the range passes the write position.
    int64_t Read(int64_t offset, void* buffer, int64_t length) const { return store_.Read(offset, buffer, length); }
    int64_t WritePosition() const { return store_.Position(); }
    // The end of the last committed step.
    int64_t CommittedLength() const { return steps_.StepStart(); }
    const CSegmentedStore& Store() const { return store_; }
    // The header of the last committed step; false without one.
    bool LastStepHeader(uint8_t header[2]) const;
    // Loading: the stream and its steps emptied (idle), the file's bytes
    // appended, then its step count, generation and flags taken.
    bool BeginLoad();
    bool AppendRaw(const void* data, int64_t length);
    void EndLoad(int32_t committedSteps, uint8_t generation, uint16_t flags);
    // A loaded stream of the current generation, unprotected, that opens
    // with a new canvas and ends with its end mark goes on recording: the
    // mark is taken off and every state record counts as not written, so
    // the next step writes what it needs anew. False (nothing changed) for
    // any other stream.
    bool ResumeLoaded();
    // A replayed stream goes on recording after its first `steps` steps,
    // which end at offset `cut` (a packet boundary the player reached):
    // what lies beyond is dropped for good, the steps stay committed but
    // none can be undone, and every state record, tone and nib counts as
    // not written. False (nothing changed) for a protected stream, one of
    // an earlier generation, or a cut the stream does not have.
    bool ResumeAt(int64_t cut, int32_t steps);
    // Streams of this generation on carry what recording on needs.
    static constexpr uint8_t kFirstAppendableGeneration = 32;
    // Whether the stream's first command is a new canvas (a stream a player
    // can start).
    bool OpensWithNewCanvas() const;

    uint32_t StateValidBits() const { return validBits_; }
    uint8_t EventGeneration = kCurrentGeneration;
    uint16_t EventFlags = 0;
    bool Protected = false;

private:
    static constexpr size_t kPointSize = 12;
    static constexpr size_t kPointPacketSize = 2 + kPointsPerPacket * kPointSize;
    // Finite and within 2^20 pixels of the largest store: the stream's
    // coordinate rule. It is checked on the magnitude bits, whose integer
    // order is the order of the values, with NaN and infinity above every
    // finite value: one test a point instead of a branch a coordinate.
    static constexpr uint32_t kPointReach = std::bit_cast<uint32_t>(float((int64_t(1) << 20) + kMaxStoreSide));
    static constexpr uint32_t kInfinity = 0x7F800000u;

    static uint32_t Magnitude(float v) { return std::bit_cast<uint32_t>(v) & 0x7FFFFFFFu; }
    static bool IsStreamPoint(float x, float y, float pressure)
    {
        return (std::max(Magnitude(x), Magnitude(y)) <= kPointReach) & (Magnitude(pressure) < kInfinity);
    }
    static void PutF32(uint8_t* at, float v)
    {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(at, &v, 4);
        } else {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            for (int i = 0; i < 4; ++i)
                at[i] = uint8_t(bits >> (8 * i));
        }
    }
    void BufferPoint(float x, float y, float pressure)
    {
        uint8_t* at = pointNext_;
        PutF32(at, x);
        PutF32(at + 4, y);
        PutF32(at + 8, pressure);
        pointNext_ = at + kPointSize;
    }
    bool AddPointSlowly(float x, float y, float pressure);

    // Appends one whole packet; a failure stops the recording.
    bool Append(std::span<const uint8_t> packet);
    bool AppendStep(std::span<const uint8_t> packet);
    bool BuildAndAppend(PacketId id, std::span<const uint8_t> fixed, std::span<const uint8_t> variable,
                        bool closesStep);
    bool EndStep();
    // A packet could not be kept: the user is told and the recording stops.
    bool Abandon();
    // Takes the last step off the stream, forgetting the state it wrote.
    bool CutLastStep();
    EventSyncState CurrentState() const;
    bool SyncDocumentFrom(const EventSyncState& s);
    bool SyncPenFrom(const EventSyncState& s);
    bool SyncRendererFrom(const EventSyncState& s);
    template <class Payload> bool SyncRecord(PacketId id, const Payload& payload);
    bool SyncTone(const SyncedTone& tone);
    bool SyncNib(const SyncedNib& nib);
    // Writes the embedded form of a resource the stream does not hold yet,
    // else syncs its reference record.
    template <class Embedded, class Reference>
    bool SyncEmbedded(CMapDD& map, Embedded embedded, PackedPixels Embedded::*packed,
                      std::span<const uint8_t> pixels, PacketId referenceId, const Reference& reference);
    bool SyncBeforePacket(PacketId id);
    void OpenPointPacket();
    // The open point packet goes into the stream; the last ends the step.
    bool ClosePointPacket(bool last);
    void ForgetPointPacket();
    void InvalidateState(PacketId id);
    void ForgetEmbedded();
    static bool Forget(void* self, PacketId embedded, uint32_t identifier);

    CSegmentedStore store_;
    CStepRing steps_;
    EventMngrState state_ = EventMngrState::Idle;
    SyncSource source_;
    int32_t depth_ = 8;
    uint32_t validBits_ = 0;
    // Cached copy of each state record's payload, by kind.
    std::vector<std::vector<uint8_t>> stateCache_;
    CMapDD toneMap_, nibMap_;
    int32_t imageBlocks_ = 0;
    // The packet being built: one buffer, appended once.
    std::vector<uint8_t> packet_;
    // The point packet being filled: in place in the store when its segment
    // has room for a whole one (nothing else writes while a stroke is open),
    // else in pointPacket_. Points go at pointNext_ up to pointLimit_; both
    // are null while no stroke is open.
    uint8_t* pointBase_ = nullptr;
    uint8_t* pointNext_ = nullptr;
    uint8_t* pointLimit_ = nullptr;
    // The end of the store's room for packets built in place.
    uint8_t* roomEnd_ = nullptr;
    bool pointsInPlace_ = false;
    uint8_t pointPacket_[kPointPacketSize] = {};
};

} // namespace morvane
