#include "document/ColourRange.h"

#include <algorithm>
#include <new>

#include "document/CLayerData.h"
#include "document/CMaskMngr.h"
#include "document/TPaper.h"
#include "storage/CBlockVMTC.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr size_t kHeadBytes = 12, kEntryBytes = 8;
// Rows of a layer read at a time: the layer is never copied out whole.
constexpr int32_t kStripRows = 64;

void PutU16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void PutU32(std::vector<uint8_t>& b, uint32_t v)
{
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}
uint32_t U16At(std::span<const uint8_t> b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }
uint32_t U32At(std::span<const uint8_t> b, size_t at) { return U16At(b, at) | U16At(b, at + 2) << 16; }

// An entry made ready for many pixels: its channels, and the squared
// distances where its coverage leaves 255 (2r²) and reaches 0 (3r²).
struct SPrepared {
    int32_t r, g, b;
    uint32_t full, none, r2;
    bool add;
};

SPrepared Prepared(const SColourRangeEntry& e)
{
    const uint32_t r2 = uint32_t(e.range) * e.range;
    return {int32_t((e.colour >> 16) & 0xFF), int32_t((e.colour >> 8) & 0xFF), int32_t(e.colour & 0xFF),
            2 * r2, 3 * r2, r2, e.add};
}

// One entry's coverage of a pixel: with f = 2r² and x = 1.5 - e / f, 255
// from x = 0.5 up, 0 from x = 0 down, ⌊512x⌋ between; in integers
// 512x = 768 - 256e / r², and ⌊768 - q⌋ = 768 - ⌈q⌉.
int32_t EntryCoverage(uint32_t pixel, const SPrepared& p)
{
    const int32_t dr = int32_t((pixel >> 16) & 0xFF) - p.r, dg = int32_t((pixel >> 8) & 0xFF) - p.g,
                  db = int32_t(pixel & 0xFF) - p.b;
    const uint32_t e = uint32_t(dr * dr + dg * dg + db * db);
    if (e >= p.none)
        return 0;
    if (e <= p.full)
        return 255;
    return 768 - int32_t((e * 256 + p.r2 - 1) / p.r2);
}

uint8_t ValueOf(uint32_t pixel, std::span<const SPrepared> entries)
{
    const uint32_t a = pixel >> 24;
    if (a <= 1)
        return 0;
    int32_t d = 0;
    for (const SPrepared& entry : entries) {
        int32_t c = EntryCoverage(pixel, entry);
        if (c == 0)
            continue;
        // A partly transparent pixel near the edge of the range counts more.
        if (c < 255 && a < 255)
            c = std::min(255, c + c * int32_t(255 - a) / 255);
        d = entry.add ? std::min(d + c, 255) : std::max(d - c, 0);
    }
    return uint8_t(d);
}

std::vector<SPrepared> PreparedAll(std::span<const SColourRangeEntry> entries)
{
    std::vector<SPrepared> out;
    out.reserve(entries.size());
    for (const SColourRangeEntry& e : entries)
        out.push_back(Prepared(e));
    return out;
}

// The source's rectangle on the canvas.
bool SourceRect(const TPaper& paper, ColourRangeSource source, EdgeRect& rect, const CLayerData*& layer)
{
    layer = nullptr;
    if (source == ColourRangeSource::Composite) {
        rect = {0, 0, paper.Width, paper.Height};
        return paper.Composite().IsValid();
    }
    layer = paper.LayerAt(paper.CurrentLayer());
    if (!layer || !layer->HasStore())
        return false;
    rect = {-layer->OriginX, -layer->OriginY, layer->Store->Width - layer->OriginX,
            layer->Store->Height - layer->OriginY};
    return true;
}

} // namespace

bool ColourRangeSourceRect(const TPaper& paper, ColourRangeSource source, EdgeRect& rect)
{
    const CLayerData* layer = nullptr;
    return SourceRect(paper, source, rect, layer);
}

bool ColourRangeMeetsSelection(const TPaper& paper, const EdgeRect& source)
{
    const CMaskMngr& masks = paper.Masks();
    EdgeRect meet;
    return !masks.HasSelection() || Intersect(source, masks.CurrentMask()->Rect(), meet);
}

std::vector<uint8_t> EncodeColourRange(const SColourRange& range)
{
    std::vector<uint8_t> b;
    b.reserve(kHeadBytes + kEntryBytes * range.entries.size());
    b.push_back(uint8_t(range.source));
    b.push_back(0);
    PutU16(b, uint32_t(range.entries.size()));
    PutU32(b, uint32_t(range.left));
    PutU32(b, uint32_t(range.top));
    for (const SColourRangeEntry& e : range.entries) {
        PutU32(b, e.colour & 0x00FFFFFFu);
        b.push_back(e.add ? 1 : 0);
        b.push_back(e.range);
        PutU16(b, 0);
    }
    return b;
}

bool DecodeColourRange(std::span<const uint8_t> bytes, SColourRange& out)
{
    if (bytes.size() < kHeadBytes || bytes[0] > uint8_t(ColourRangeSource::Composite))
        return false;
    const uint32_t count = U16At(bytes, 2);
    if (count == 0 || count > uint32_t(kMaxColourRangeEntries) || bytes.size() != kHeadBytes + kEntryBytes * count)
        return false;
    SColourRange r;
    r.source = ColourRangeSource(bytes[0]);
    r.left = int32_t(U32At(bytes, 4));
    r.top = int32_t(U32At(bytes, 8));
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kHeadBytes + kEntryBytes * i;
        const uint8_t add = bytes[at + 4], range = bytes[at + 5];
        if (add > 1 || range == 0)
            return false;
        r.entries.push_back({U32At(bytes, at) & 0x00FFFFFFu, add == 1, range});
    }
    out = std::move(r);
    return true;
}

uint8_t ColourRangeValue(uint32_t pixel, std::span<const SColourRangeEntry> entries)
{
    return ValueOf(pixel, PreparedAll(entries));
}

void ColourRangeRow(const uint32_t* pixels, const uint8_t* inside, int32_t n,
                    std::span<const SColourRangeEntry> entries, uint8_t* out, SColourRangeCounts& counts)
{
    const std::vector<SPrepared> prepared = PreparedAll(entries);
    for (int32_t x = 0; x < n; ++x) {
        const uint8_t d = inside && inside[x] == 0 ? 0 : ValueOf(pixels[x], prepared);
        out[x] = d;
        counts.selected += d > 1;
        counts.full += d == 255;
    }
}

ColourRangeResult ComputeColourRange(const TPaper& paper, SColourRange& range, SCoverage& out,
                                     SColourRangeCounts& counts)
{
    counts = {};
    EdgeRect rect;
    const CLayerData* layer = nullptr;
    if (!SourceRect(paper, range.source, rect, layer))
        return ColourRangeResult::NoSource;
    range.left = rect.left, range.top = rect.top;
    if (!ColourRangeMeetsSelection(paper, rect))
        return ColourRangeResult::NoOverlap;
    const CMaskMngr& masks = paper.Masks();
    const CMaskData* mask = masks.HasSelection() ? masks.CurrentMask() : nullptr;
    const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
    std::vector<uint8_t> inside;
    std::vector<uint32_t> opaque;
    TMTC strip;
    try {
        if (!out.Allocate(rect))
            return ColourRangeResult::OutOfMemory;
        if (mask)
            inside.resize(size_t(width));
        if (!layer)
            opaque.resize(size_t(width));
        if (layer && !strip.Resize(width, std::min(kStripRows, height)))
            return ColourRangeResult::OutOfMemory;
    } catch (const std::bad_alloc&) {
        return ColourRangeResult::OutOfMemory;
    }
    for (int32_t y0 = 0; y0 < height; y0 += kStripRows) {
        const int32_t rows = std::min(kStripRows, height - y0);
        if (layer && !layer->Store->CopyOut(strip, {0, 0}, false, 255, {0, y0, width, rows}))
            return ColourRangeResult::OutOfMemory;
        for (int32_t i = 0; i < rows; ++i) {
            const int32_t y = y0 + i;
            const uint32_t* pixels = nullptr;
            if (layer) {
                pixels = strip.Row(i);
            } else {
                // The composite is read as opaque everywhere.
                const uint32_t* row = paper.Composite().Row(y);
                for (int32_t x = 0; x < width; ++x)
                    opaque[size_t(x)] = row[x] | 0xFF000000u;
                pixels = opaque.data();
            }
            if (mask)
                mask->ReadRow(rect.top + y, rect.left, width, inside.data());
            ColourRangeRow(pixels, mask ? inside.data() : nullptr, width, range.entries, out.Row(rect.top + y),
                           counts);
        }
    }
    return counts.selected > 0 ? ColourRangeResult::Selected : ColourRangeResult::NothingSelected;
}

} // namespace morvane
