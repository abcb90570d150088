#pragma once
// A document operation as a declared object, and the one driver that runs
// every operation in the same order, live (recording) and in replay:
//
//   check → prepare → record → history record → change → refresh
//
// An operation declares its name, the packet kinds it writes and replays,
// its undo kinds and the change hints a replay of it raises, and gives:
//   Verdict Check(OpContext&)          the arguments against the document
//   bool Prepare(OpContext&)           (optional) what can fail, made before
//                                      anything is recorded: new layers,
//                                      grown stores; a self-inverse change
//                                      may be made here and taken back by
//   void Revert(OpContext&)            (optional) when the packet is refused
//   std::vector<uint8_t> Packet(OpContext&)  the event, or
//   bool Record(OpContext&)            (optional) for an operation that
//                                      writes more than one packet
//   HistoryRecord History(OpContext&)  (optional) the undo record, built
//                                      before the change (pixel copies, old
//                                      values)
//   bool Apply(OpContext&, CUndoData*) the change; it hands what it takes
//                                      out of the document to the record
//                                      (null: nothing is kept)
//   void Refresh(OpContext&)           (optional) composite, window, panels
//   static std::optional<Op> Replayed(OpContext&, PacketId, const Payload&)
//                                      the operation a packet asks for, or
//                                      none when the packet does not fit the
//                                      document
// A history record that cannot be built (memory) does not stop the change:
// the driver tells the user, and the history goes (the stream keeps the
// step), so undo and redo never step the stream by a record it lacks.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "document/CUndoData.h"
#include "document/TPaper.h"
#include "document/UndoKind.h"
#include "events/EventPacketIds.h"
#include "events/PlaybackTarget.h"
#include "platform/BusyCursor.h"

namespace morvane {

// The change hints a replayed operation raises (events/PlaybackTarget.h).
inline constexpr uint8_t kStackHints =
    changehint::kLayerStructure | changehint::kCurrentLayer | changehint::kLayerPixels;
inline constexpr uint8_t kWholePictureHints = kStackHints | changehint::kCanvasSize | changehint::kTitle;
inline constexpr uint8_t kLookHints = changehint::kLayerStructure | changehint::kCurrentLayer;

struct OpContext {
    TPaper& paper;
    bool record;
};

// The answer of an operation's check: refused, nothing to do (the call
// succeeds, nothing is recorded), or go on.
enum class Verdict : uint8_t { Refuse, Unchanged, Go };

// What a change leaves in the history: a record that the change completes,
// or none at all (a record that could not be built is null but not `none`).
struct HistoryRecord {
    std::unique_ptr<CUndoData> record{};
    bool none = false;
    static HistoryRecord None()
    {
        HistoryRecord h;
        h.none = true;
        return h;
    }
};

namespace opdetail {
template <class Op> constexpr bool kBusy = requires { Op::kBusy; };
} // namespace opdetail

template <class Op>
bool RunOperation(TPaper& paper, Op op, bool record)
{
    OpContext ctx{paper, record};
    const Verdict verdict = op.Check(ctx);
    if (verdict != Verdict::Go)
        return verdict == Verdict::Unchanged;
    std::optional<BusyCursor> busy;
    if constexpr (opdetail::kBusy<Op>)
        busy.emplace();
    if constexpr (requires { op.Prepare(ctx); })
        if (!op.Prepare(ctx))
            return false;
    if (record) {
        bool kept;
        if constexpr (requires { op.Record(ctx); })
            kept = op.Record(ctx);
        else
            kept = paper.RecordPacket(op.Packet(ctx));
        if (!kept) {
            if constexpr (requires { op.Revert(ctx); })
                op.Revert(ctx);
            return false;
        }
    }
    HistoryRecord history = HistoryRecord::None();
    if constexpr (requires { op.History(ctx); })
        if (record && paper.UndoEnabled())
            history = op.History(ctx);
    if (!op.Apply(ctx, history.record.get()))
        return false;
    paper.KeepHistory(std::move(history));
    if constexpr (requires { op.Refresh(ctx); })
        op.Refresh(ctx);
    return true;
}

} // namespace morvane
