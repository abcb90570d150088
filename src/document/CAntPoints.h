#pragma once
// The marching ants: the outline of the selection as four lists of edge
// points (left, right, top and bottom edges of the set of non-zero bytes,
// within the canvas) and the dash phase the 50 ms tick rotates.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/Rect.h"

namespace morvane {

class CMaskData;

// A growable list of points kept in blocks of 1024, so a long outline never
// needs one large block.
class CPointList {
public:
    static constexpr int32_t kBlockPoints = 1024;
    void Add(Point p);
    void Clear() { blocks_.clear(); used_ = 0; }
    int64_t Count() const;
    bool Empty() const { return blocks_.empty(); }
    Point At(int64_t i) const { return blocks_[size_t(i / kBlockPoints)][size_t(i % kBlockPoints)]; }
    // f(point) for points first ... last - 1.
    template <typename F>
    void ForRange(int64_t first, int64_t last, F&& f) const
    {
        for (int64_t i = first; i < last; ++i)
            f(At(i));
    }
    template <typename F>
    void ForEach(F&& f) const
    {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            const int32_t n = b + 1 == blocks_.size() ? used_ : kBlockPoints;
            for (int32_t i = 0; i < n; ++i)
                f(blocks_[b][size_t(i)]);
        }
    }

private:
    std::vector<std::vector<Point>> blocks_;
    int32_t used_ = 0; // points in the last block
};

class CAntPoints {
public:
    static constexpr uint8_t kInitialPhase = 204;

    // The outline of the mask's non-zero bytes inside the canvas; an empty
    // (or null) mask clears the lists.
    bool Build(const CMaskData* mask, int32_t canvasWidth, int32_t canvasHeight);
    void Clear();
    bool HasOutline() const { return !left_.Empty() && !right_.Empty() && !top_.Empty() && !bottom_.Empty(); }
    // The phase rotated right by one bit; only while there is an outline.
    bool Tick();
    uint8_t Phase() const { return phase_; }
    const CPointList& Left() const { return left_; }
    const CPointList& Right() const { return right_; }
    const CPointList& Top() const { return top_; }
    const CPointList& Bottom() const { return bottom_; }

    // Each list holds its points row by row, left to right. The points of
    // canvas row y are those from RowStart(list, y) to RowStart(list, y + 1);
    // rows outside the outline hold none.
    int64_t RowStart(int list, int32_t y) const;
    // The rows that can hold points: FirstRow() ... LastRow().
    int32_t FirstRow() const { return rowTop_; }
    int32_t LastRow() const { return rowTop_ + int32_t(rowStarts_[0].size()) - 2; }
    const CPointList& List(int list) const;

    // Added to every point when drawn (a selection being dragged).
    Point Offset{};

private:
    uint8_t phase_ = kInitialPhase;
    CPointList left_, right_, top_, bottom_;
    // Per list, the count before each row from rowTop_ on.
    std::vector<int64_t> rowStarts_[4];
    int32_t rowTop_ = 0;
};

} // namespace morvane
