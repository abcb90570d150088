#pragma once
// Selection by colour: every picked colour selects (or deselects) the
// pixels near it in RGB, softly towards the edge of its range. The
// computation is shared by the dialog's preview and the document operation;
// the settings travel in the stream as one record before the coverage.
#include <cstdint>
#include <span>
#include <vector>

#include "document/CMaskData.h"

namespace morvane {

class TPaper;

enum class ColourRangeSource : uint8_t { Layer = 0, Composite = 1 };

struct SColourRangeEntry {
    uint32_t colour = 0; // 0x00RRGGBB
    bool add = true;     // false: the entry removes what it matches
    uint8_t range = 50;  // 1-255
    bool operator==(const SColourRangeEntry&) const = default;
};

inline constexpr int32_t kMaxColourRangeEntries = 256;
inline constexpr uint8_t kDefaultColourRange = 50;

// What a colour range is computed from and what it picks. left and top are
// the source's canvas position (a layer's store may lie off the canvas).
struct SColourRange {
    ColourRangeSource source = ColourRangeSource::Layer;
    int32_t left = 0, top = 0;
    std::vector<SColourRangeEntry> entries;
    bool operator==(const SColourRange&) const = default;
};

// The record's bytes: u8 source, u8 0, u16 entry count, i32 left, i32 top,
// then per entry u32 colour, u8 add flag, u8 range, u16 0.
std::vector<uint8_t> EncodeColourRange(const SColourRange& range);
// False for a short or long record, no entry or more than 256, a range
// outside 1-255, an unknown source or a flag other than 0 or 1.
bool DecodeColourRange(std::span<const uint8_t> bytes, SColourRange& out);

// The coverage one pixel gets (0 for alpha 0 or 1).
uint8_t ColourRangeValue(uint32_t pixel, std::span<const SColourRangeEntry> entries);

// Pixels with a coverage above 1, and of them those fully selected.
struct SColourRangeCounts {
    int64_t selected = 0, full = 0;
};

// n pixels into out; where inside is given, a 0 there leaves the pixel out.
void ColourRangeRow(const uint32_t* pixels, const uint8_t* inside, int32_t n,
                    std::span<const SColourRangeEntry> entries, uint8_t* out, SColourRangeCounts& counts);

enum class ColourRangeResult : uint8_t {
    Selected,        // some pixel is selected
    NothingSelected, // the coverage is empty: nothing to change
    NoOverlap,       // the source and the current selection do not meet
    NoSource,        // no current layer with a store
    OutOfMemory,
};

// The source's canvas rectangle; false when there is no source.
bool ColourRangeSourceRect(const TPaper& paper, ColourRangeSource source, EdgeRect& rect);

// False when there is a selection and it lies wholly off the source.
bool ColourRangeMeetsSelection(const TPaper& paper, const EdgeRect& source);

// The coverage over the source's canvas rectangle, restricted to the current
// selection when there is one. The source's position is written to range.
ColourRangeResult ComputeColourRange(const TPaper& paper, SColourRange& range, SCoverage& out,
                                     SColourRangeCounts& counts);

} // namespace morvane
