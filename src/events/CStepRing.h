#pragma once
// The recorder's steps: where each undoable step of the stream begins, kept
// in a ring so that undo can cut the stream back to a step's start and redo
// can move it forward again over the bytes still held.
#include <cstdint>

#include "events/EventPacketIds.h"

#include "events/CRingBuf.h"

namespace morvane {

// Bytes [begin, end) of the stream.
struct SStepRange {
    uint32_t begin = 0;
    uint32_t end = 0;
};

class CStepRing {
public:
    // Room for depth steps each way (the document passes its undo count plus
    // slack); false when depth < 1 or memory is short.
    bool Allocate(int32_t depth);
    // Forgets every step; the ring keeps its capacity.
    void Reset();
    bool Allocated() const { return ring_.Allocated(); }

    // The step being written ends at writePosition: the next one starts there.
    // A new step ends every redo.
    bool EndStep(uint32_t writePosition);
    // Takes the last step off: removed is its byte range, whose state records
    // the recorder must invalidate; the stream's length becomes removed.begin.
    bool UndoStep(SStepRange& removed);
    // Puts the next undone step back; the stream's length becomes end.
    bool RedoStep(uint32_t& end);
    void DiscardRedo();
    // Keeps the most recent steps each way; false leaves the ring as it was.
    bool SetUndoDepth(int32_t depth);

    int32_t UndoCount() const { return ring_.CountBefore(); }
    int32_t RedoCount() const;
    int32_t CommittedSteps() const { return committed_; }
    // Where the step being written began.
    uint32_t StepStart() const { return stepStart_; }
    // Where the last committed step began; false without one in the ring.
    bool LastStepStart(uint32_t& begin) const { return committed_ > 0 && ring_.Read(begin); }
    // A stream loaded whole: committed steps end at end, none can be undone.
    void Adopt(int32_t committed, uint32_t end);

private:
    CRingBufDWORD ring_;
    int32_t committed_ = 0;
    uint32_t stepStart_ = 0;
};

class CSegmentedStore;

// Called for each embedded tone or nib in a removed range
// with its identifier: the recorder forgets it so that the next use embeds
// it again. False stops the walk.
using ForgetEmbedded = bool (*)(void* user, PacketId embedded, uint32_t identifier);

// Clears the StateValidBits of every state record in [range.begin,
// range.end) of the stream, and of the reference record of every embedded
// tone or nib there, so that the next step writes them again. The recorder
// passes its write position as the end, before cutting the stream back:
// packets of a step not yet ended go with the undone step and must be
// invalidated too. False when a packet
// cannot be read (walk stopped there) or forget refused.
bool InvalidateRemovedRange(const CSegmentedStore& stream, SStepRange range, uint32_t& validBits,
                            ForgetEmbedded forget, void* user);

} // namespace morvane
