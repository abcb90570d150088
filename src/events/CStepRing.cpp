#include "events/CStepRing.h"

#include <algorithm>
#include <span>

#include "events/CMemSeg.h"
#include "events/EventPacketTable.h"
#include "events/EventWalk.h"

namespace morvane {

// The ring holds the start of every step that can be undone, the cursor on
// the last one; after an undo, the entries after the cursor are the starts of
// the undone steps followed by the end of the last of them.

bool CStepRing::Allocate(int32_t depth)
{
    committed_ = 0;
    stepStart_ = 0;
    return ring_.Allocate(depth, depth);
}

void CStepRing::Reset()
{
    if (ring_.Allocated())
        ring_.Allocate(ring_.UndoCapacity(), ring_.RedoCapacity());
    committed_ = 0;
    stepStart_ = 0;
}

void CStepRing::Adopt(int32_t committed, uint32_t end)
{
    Reset();
    committed_ = std::max(committed, 0);
    stepStart_ = end;
}

bool CStepRing::EndStep(uint32_t writePosition)
{
    if (!ring_.Allocated() || writePosition < stepStart_)
        return false;
    if (committed_ > 0) {
        ring_.Push(stepStart_);
    } else {
        // Setting at the cursor leaves the entries after it: a first step
        // after undoing everything must still end the redo.
        ring_.TakeRedoCount();
        ring_.Set(stepStart_);
    }
    ++committed_;
    stepStart_ = writePosition;
    return true;
}

bool CStepRing::UndoStep(SStepRange& removed)
{
    if (committed_ < 1 || ring_.CountBefore() < 1)
        return false;
    if (ring_.CountAfter() == 0) {
        // The end goes in after the last start; a ring of one would drop that start.
        if (ring_.UndoCapacity() < 2)
            return false;
        ring_.Push(stepStart_);
        ring_.Back();
    }
    uint32_t begin = 0, end = 0;
    if (!ring_.Read(begin) || !ring_.Peek(1, end))
        return false;
    ring_.Back();
    removed = {begin, end};
    stepStart_ = begin;
    --committed_;
    return true;
}

bool CStepRing::RedoStep(uint32_t& end)
{
    if (ring_.CountAfter() < 2)
        return false;
    ring_.Forward();
    if (!ring_.Peek(1, end))
        return false;
    stepStart_ = end;
    ++committed_;
    return true;
}

void CStepRing::DiscardRedo() { ring_.TakeRedoCount(); }

bool CStepRing::SetUndoDepth(int32_t depth) { return ring_.Resize(depth, depth); }

int32_t CStepRing::RedoCount() const { return std::max(ring_.CountAfter() - 1, 0); }

namespace {

void ClearBit(uint32_t& bits, PacketId id)
{
    if (const int8_t bit = InfoOf(id).validBit; bit >= 0)
        bits &= ~(uint32_t(1) << bit);
}

// A state record in the range: its bit, or for an embedded resource the
// reference's bit and the identifier.
bool Invalidate(PacketId id, std::span<const uint8_t> payload, uint32_t& bits, ForgetEmbedded forget, void* user)
{
    if (id != PacketId::EmbeddedTone && id != PacketId::EmbeddedNib) {
        ClearBit(bits, id);
        return true;
    }
    ClearBit(bits, id == PacketId::EmbeddedTone ? PacketId::ToneReference : PacketId::NibReference);
    const uint32_t identifier =
        uint32_t(payload[0]) | uint32_t(payload[1]) << 8 | uint32_t(payload[2]) << 16 | uint32_t(payload[3]) << 24;
    return !forget || forget(user, id, identifier);
}

struct Invalidation {
    uint32_t& bits;
    ForgetEmbedded forget;
    void* user;

    static bool Visit(void* self, uint64_t, uint8_t category, uint8_t code, std::span<const uint8_t> payload)
    {
        auto* s = static_cast<Invalidation*>(self);
        const PacketId id = PacketIdOf(category, code);
        return CategoryKindOf(id) != PacketCategory::StateRecord || Invalidate(id, payload, s->bits, s->forget, s->user);
    }
};

} // namespace

bool InvalidateRemovedRange(const CSegmentedStore& stream, SStepRange range, uint32_t& validBits,
                            ForgetEmbedded forget, void* user)
{
    Invalidation invalidation{validBits, forget, user};
    return WalkStorePackets(stream, range.begin, range.end, &Invalidation::Visit, &invalidation).ok;
}

} // namespace morvane
