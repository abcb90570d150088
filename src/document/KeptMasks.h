#pragma once
// The masks of a document file, kept as they were read until the document
// has masks of its own: each with its head, name and store, written back
// unchanged so that opening and saving a file never drops them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/DocumentFile.h"
#include "storage/CBlockVCH.h"

namespace morvane {

struct SFileMask {
    SClipLayerAttr head;
    std::string name;
    std::unique_ptr<CBlockVCH> store; // null for a mask written without blocks
};

struct SKeptMasks {
    std::vector<SFileMask> masks;
    int32_t current = -1; // -1: no mask selected
    int32_t nameCounter = 0;
    bool borderShown = false, selectionUsed = false;

    void Clear() { *this = SKeptMasks{}; }
};

} // namespace morvane
