#pragma once
// One mask: an 8-bit coverage store placed on the canvas (0 outside, 255
// fully inside). The current mask of a document is its selection. A mask
// without a store is empty: nothing is selected.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/CUndoData.h"
#include "storage/CBlockVCH.h"
#include "storage/Rect.h"

namespace morvane {

// A coverage image in canvas coordinates, rows top-down: what the mask
// operations compute in before the result becomes a mask.
struct SCoverage {
    EdgeRect rect{};
    std::vector<uint8_t> bytes;

    int32_t Width() const { return rect.right - rect.left; }
    int32_t Height() const { return rect.bottom - rect.top; }
    uint8_t* Row(int32_t y) { return bytes.data() + int64_t(y - rect.top) * Width(); }
    const uint8_t* Row(int32_t y) const { return bytes.data() + int64_t(y - rect.top) * Width(); }
    // rect sized and zero-filled; false (left empty) when the size is outside
    // the store limits or memory runs out.
    bool Allocate(const EdgeRect& r);
};

class CMaskData final : public IUndoKept {
public:
    // An empty mask with a new identifier.
    explicit CMaskData(std::string name);
    ~CMaskData() override;
    CMaskData(const CMaskData&) = delete;
    CMaskData& operator=(const CMaskData&) = delete;

    // A copy with a new identifier; nullptr when memory runs out.
    std::unique_ptr<CMaskData> Clone() const;
    // A mask holding the coverage's bytes at its place, its uniform blocks
    // compacted. An all-zero coverage still gives a store. nullptr, with
    // the user told, when the store cannot be made.
    static std::unique_ptr<CMaskData> FromCoverage(const SCoverage& coverage, const std::string& name);

    bool IsValid() const { return pixels && pixels->IsValid(); }
    // Canvas rectangle of the store; empty for an empty mask.
    EdgeRect Rect() const;
    // Bounding box of the non-zero blocks in canvas coordinates; false
    // when there are none.
    bool OccupiedRect(EdgeRect& out) const;
    // The exact bounding box of the non-zero bytes, in canvas coordinates;
    // false when there are none.
    bool SelectedRect(EdgeRect& out) const;
    // The byte at a canvas point: 0 outside the store.
    uint8_t ValueAt(int32_t x, int32_t y) const;
    // As painting reads it: v * scale / 255 inside, -1 outside the store.
    int32_t PaintValueAt(int32_t x, int32_t y, uint8_t scale) const;
    // The coverage of canvas row y from x to x + count - 1 into out: 0
    // outside the store, a uniform block's value for each of its pixels.
    void ReadRow(int32_t y, int32_t x, int32_t count, uint8_t* out) const;
    // The mask's bytes over rect (canvas coordinates) into a coverage.
    bool ToCoverage(const EdgeRect& rect, SCoverage& out) const;
    int64_t HeldBytes() const override;

    int32_t listIndex = 0;
    uint32_t maskId = 0;
    std::unique_ptr<CBlockVCH> pixels;
    std::string name;
    // The store's top-left pixel lies at canvas (-offsetX, -offsetY).
    int32_t offsetX = 0, offsetY = 0;
};

} // namespace morvane
