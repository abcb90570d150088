// The colour-range selection as a document operation: computed live from
// its source, recorded as its settings and its coverage, replayed from the
// coverage.
#include <algorithm>
#include <climits>

#include "document/CMaskMngr.h"
#include "document/ColourRange.h"
#include "document/SelectionOperations.h"
#include "document/TPaper.h"
#include "events/EventPayloads.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {

constexpr const char* kNoSelection = "有効な選択範囲がありません";
constexpr const char* kCreateMaskFailed = "CMaskData::createMask: exception!";

// The bounding box of the coverage's non-zero bytes, relative to it; false
// when every byte is 0.
bool NonZeroBox(const SCoverage& c, EdgeRect& box)
{
    box = {c.Width(), c.Height(), 0, 0};
    for (int32_t y = 0; y < c.Height(); ++y) {
        const uint8_t* row = c.Row(c.rect.top + y);
        const uint8_t* end = row + c.Width();
        const uint8_t* first = std::find_if(row, end, [](uint8_t v) { return v != 0; });
        if (first == end)
            continue;
        const uint8_t* last = std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(first),
                                           [](uint8_t v) { return v != 0; })
                                  .base();
        box.left = std::min(box.left, int32_t(first - row));
        box.right = std::max(box.right, int32_t(last - row));
        box.top = std::min(box.top, y);
        box.bottom = y + 1;
    }
    return !box.IsEmpty();
}

} // namespace

Verdict ColourRangeOp::Check(OpContext& c)
{
    if (fromStream)
        return Verdict::Go;
    if (range.entries.empty() || range.entries.size() > size_t(kMaxColourRangeEntries) ||
        !c.paper.Masks().CurrentMask())
        return Verdict::Refuse;
    SColourRangeCounts counts;
    switch (ComputeColourRange(c.paper, range, coverage, counts)) {
    case ColourRangeResult::Selected: return Verdict::Go;
    case ColourRangeResult::NothingSelected: return Verdict::Unchanged;
    case ColourRangeResult::NoOverlap: Notifier().Warn(kNoSelection); return Verdict::Refuse;
    case ColourRangeResult::OutOfMemory: Notifier().Warn(kCreateMaskFailed); return Verdict::Refuse;
    case ColourRangeResult::NoSource: return Verdict::Refuse;
    }
    return Verdict::Refuse;
}

bool ColourRangeOp::Prepare(OpContext& c)
{
    next = CMaskData::FromCoverage(coverage, c.paper.Masks().CurrentMask()->name);
    return next != nullptr;
}

// The settings first; the coverage packet replays them.
bool ColourRangeOp::Record(OpContext& c)
{
    TPaper& paper = c.paper;
    EdgeRect box;
    if (!NonZeroBox(coverage, box))
        return false;
    ColourRangePayload settings;
    settings.data = EncodeColourRange(range);
    settings.length = uint32_t(settings.data.size());
    PixelBlockPayload p;
    p.SetKind(PacketId::ColourRangeSelection);
    p.layer = int16_t(paper.CurrentLayer()), p.mask = int16_t(paper.Masks().Current());
    p.width = coverage.Width(), p.height = coverage.Height();
    p.kind = 6;
    p.left = box.left, p.top = box.top, p.snapWidth = box.right - box.left, p.snapHeight = box.bottom - box.top;
    std::vector<uint8_t> snapshot;
    snapshot.reserve(size_t(p.snapWidth) * size_t(p.snapHeight));
    for (int32_t y = box.top; y < box.bottom; ++y) {
        const uint8_t* row = coverage.Row(coverage.rect.top + y);
        snapshot.insert(snapshot.end(), row + box.left, row + box.right);
    }
    return PackCoverage(p, snapshot) && paper.RecordPacket(settings.Encode()) && paper.RecordPacket(p.Encode());
}

HistoryRecord ColourRangeOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = CUndoData::Command(UndoKind::MaskPixels, -1, -1, ExtentRect{},
                                  {c.paper.Masks().Current(), int32_t(next->maskId), 0, 0});
    return h;
}

bool ColourRangeOp::Apply(OpContext& c, CUndoData* record)
{
    CMaskMngr& masks = c.paper.Masks();
    std::unique_ptr<CMaskData> former = masks.Replace(masks.Current(), std::move(next));
    if (record)
        record->kept.object = std::move(former);
    return true;
}

void ColourRangeOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// The settings record before the packet gives the source and its place;
// the source must still have the packet's size. The settings are used once.
std::optional<ColourRangeOp> ColourRangeOp::Replayed(OpContext& c, PacketId, const PixelBlockPayload& p)
{
    TPaper& paper = c.paper;
    const std::shared_ptr<const SColourRange> settings = std::move(paper.PlayerColourRange);
    paper.PlayerColourRange.reset();
    EdgeRect source;
    if (!settings || p.mask != paper.Masks().Current() ||
        !ColourRangeSourceRect(paper, settings->source, source) || source.right - source.left != p.width ||
        source.bottom - source.top != p.height)
        return std::nullopt;
    ColourRangeOp op;
    op.range = *settings;
    op.fromStream = true;
    std::vector<uint8_t> snapshot;
    const int64_t right = int64_t(settings->left) + p.width, bottom = int64_t(settings->top) + p.height;
    if (right > INT32_MAX || bottom > INT32_MAX || !UnpackCoverage(p, snapshot) ||
        !op.coverage.Allocate({settings->left, settings->top, int32_t(right), int32_t(bottom)}))
        return std::nullopt;
    for (int32_t y = 0; y < p.snapHeight; ++y)
        std::copy_n(snapshot.begin() + int64_t(y) * p.snapWidth, p.snapWidth,
                    op.coverage.Row(settings->top + p.top + y) + p.left);
    return op;
}

bool TPaper::SelectColourRange(const SColourRange& range, bool record)
{
    return RunOperation(*this, ColourRangeOp{range}, record);
}

} // namespace morvane
