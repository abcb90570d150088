#pragma once
// What the document asks of the event recording: every operation hands over
// its packet, and undo and redo step the stream back and forward so that a
// replay stops where the picture is. The no-op recorder stands in until the
// real one exists; a document always has one, so callers never test for null.
#include <cstddef>
#include <cstdint>

#include "events/EventPacketIds.h"

namespace morvane {

class EventRecorder {
public:
    virtual ~EventRecorder() = default;
    virtual bool IsRecording() const = 0;
    // Appends one event packet; false when it could not be kept.
    virtual bool Record(const uint8_t* packet, size_t size) = 0;
    // Steps that undo and redo can still walk over.
    virtual int32_t UndoCount() const = 0;
    virtual int32_t RedoCount() const = 0;
    virtual bool UndoStep() = 0;
    virtual bool RedoStep() = 0;
    // A stroke is one step: its start packet (its kind gives the stroke
    // kind and line mode; the target layer and the current mask) with the
    // first point, then every further point; EndStroke closes the step.
    virtual bool BeginStroke(PacketId start, uint16_t layer, uint16_t mask, float x, float y, float pressure) = 0;
    virtual bool AddPoint(float x, float y, float pressure) = 0;
    virtual bool EndStroke() = 0;
    // Forgets the steps redo could walk forward over.
    virtual void DiscardRedoSteps() = 0;
    // Room for this many undo and redo steps; a recorder without a ring of
    // steps has nothing to resize.
    virtual bool SetStepCapacity(int32_t) { return true; }
};

class NullEventRecorder final : public EventRecorder {
public:
    bool IsRecording() const override { return false; }
    bool Record(const uint8_t*, size_t) override { return true; }
    int32_t UndoCount() const override { return 0; }
    int32_t RedoCount() const override { return 0; }
    bool UndoStep() override { return true; }
    bool RedoStep() override { return true; }
    bool BeginStroke(PacketId, uint16_t, uint16_t, float, float, float) override { return true; }
    bool AddPoint(float, float, float) override { return true; }
    bool EndStroke() override { return true; }
    void DiscardRedoSteps() override {}
};

} // namespace morvane
