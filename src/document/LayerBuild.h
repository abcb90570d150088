#pragma once
// The steps every operation that puts a new layer into the stack shares:
// the layer built whole before its packet is recorded, room made so that
// inserting cannot fail, its history record, and the insert itself.
#include <cstdint>
#include <memory>

#include "document/PaperOperation.h"

namespace morvane {

class CLayerData;
class CLayerMngr;

// A layer made exactly as the stack's AddLayer makes one (store, nominal
// size, thumbnail, dither seed), in a scratch stack so that nothing of the
// document changes until it goes in. nullptr when AddLayer refused it (it
// told the user why).
std::unique_ptr<CLayerData> BuiltLayer(const CLayerMngr& layers, int32_t index, int32_t width, int32_t height,
                                       bool visible, int32_t opacity, int32_t mode);
std::unique_ptr<CLayerData> CopiedLayer(const CLayerData& source);
// Room for one more layer, so that inserting cannot fail once recorded.
bool RoomForOne(CLayerMngr& layers);
// The layer goes in at index and becomes current.
void InsertLayer(CLayerMngr& layers, std::unique_ptr<CLayerData> layer, int32_t index);
// Undo takes the layer out again and makes the current layer current.
HistoryRecord InsertRecord(UndoKind kind, const CLayerData& layer, int32_t index, const TPaper& paper);

} // namespace morvane
