#pragma once
// The one-byte block store of masks: 64 x 64 blocks, a new block is 0. The
// same rules as the 32-bit store: clipping, uncommitted blocks read as their
// Uniform, whole-block writes of one value change only the Uniform, false
// when nothing was left after clipping or a block could not get memory.
#include "storage/BlockViews.h"
#include "storage/CBlockImage.h"

namespace morvane {

class CBlockVMTC;
class TChannel;

class CBlockVCH : public CBlockImage {
public:
    // Not valid (and holding nothing) unless both sides are within 1 ... 32767
    // and the area within 2^28 pixels.
    CBlockVCH(int32_t width, int32_t height);
    CBlockVCH(const CBlockVCH& other);
    CBlockVCH& operator=(const CBlockVCH&) = delete;

    bool IsValid() const override { return CBlockImage::IsValid() && rowTable_ != nullptr; }
    void InitGeometry() override;
    bool InitBlock(SBlock& block) override;

    TVChannel View(const SBlock& block) const { return TVChannel(block, BlockWidth, rowTable_); }

    // 0 outside the store.
    uint8_t GetValue(int32_t x, int32_t y) const;
    uint8_t GetValueClamped(int32_t x, int32_t y) const;
    // Commits the block unless it already reads value; false outside.
    bool SetValue(int32_t x, int32_t y, uint8_t value);

    // rect of the store to `at` of the channel, and back.
    bool CopyOut(TChannel& channel, Point at, const ExtentRect& rect) const;
    bool CopyIn(const TChannel& channel, Point at, const ExtentRect& rect);
    // rect of other to `at` of this store.
    bool CopyStore(const CBlockVCH& other, Point at, const ExtentRect& rect);

    void FillAll(uint8_t value);
    bool FillRect(const ExtentRect& rect, uint8_t value);
    // Fills the four bands above, below, left and right of rect (everything
    // when rect misses the store).
    bool FillOutside(const ExtentRect& rect, uint8_t value);
    // The smallest rectangle holding every non-zero value; false when none.
    bool BoundingBox(EdgeRect& out) const;

    // value := alpha of the source over rect, and alpha := value (colour kept).
    bool FromAlpha(const CBlockVMTC& source, const ExtentRect& rect);
    bool ToAlpha(CBlockVMTC& target, const ExtentRect& rect) const;

    uint8_t DefaultUniform = 0;

protected:
    bool BlockHasContent(const SBlock& b) const override;

private:
    int64_t* rowTable_ = nullptr;
};

} // namespace morvane
