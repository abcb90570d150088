#pragma once
// What the recorder writes as state records: the document fills this one
// plain struct when asked (the payloads as they would go into the stream),
// so the recorder never reaches into the document, the pen or the tool
// window. Later tools add their fields here without touching the recorder.
#include <cstdint>
#include <vector>

#include "events/EventPayloads.h"

namespace morvane {

class TChannel;

// A screen tone the pen paints through: embedded ({0,36}) the first time a
// stream uses it, referred to ({0,37}) afterwards.
struct SyncedTone {
    EmbeddedTonePayload embedded; // pattern left empty: the recorder packs pixels
    std::vector<uint8_t> pixels;  // width x height bytes of a bitmap pattern
    ToneReferencePayload reference;
};

// A bitmap nib: embedded ({0,44}) on first use, referred to ({0,45}) after.
struct SyncedNib {
    EmbeddedNibPayload embedded; // bitmap left empty: the recorder packs pixels
    std::vector<uint8_t> pixels;
    // Or the nib's own bitmap, read only when the nib is embedded (a sync
    // runs before every command; copying the bitmap each time would not do).
    const TChannel* bitmap = nullptr;
    NibReferencePayload reference;
};

struct EventSyncState {
    // Document state: {0,0}, {0,2}, {0,3}, {0,4}, {0,5}, {0,8}, {0,12}.
    AppVersionPayload version;
    CanvasColourStatePayload canvasColour;
    SubColourStatePayload subColour;
    GradationGeometryPayload gradationGeometry;
    GradationSettingsPayload gradationSettings;
    CurrentLayerPayload currentLayer;
    DocumentFlagsPayload documentFlags;
    // The pen paints through a tone of the tool window's list.
    bool usesTone = false;
    SyncedTone tone;
    // The pen paints with the gradation: {0,40} when its slots changed.
    bool usesGradation = false;
    GradationColoursPayload gradationColours;

    // Pen state: {0,13}, {0,16}, {0,17}, {0,18}.
    PenFlagsPayload penFlags;
    PenColourPayload penColour;
    PenRadiusPayload penRadius;
    PenEffectsPayload penEffects;

    // Renderer state: {0,48}, {0,50}, {0,52}, {0,53}, the nib, {0,56},
    // {0,57}, {0,58}, {0,60}.
    NibShapePayload nibShape;
    PenColoursPayload penColours;
    NibGeometryPayload nibGeometry;
    AirMapPayload airMap;
    bool bitmapNib = false;
    SyncedNib nib;
    BrushMethodPayload brushMethod;
    BrushValuesPayload brushValues;
    PenSwitchesPayload penSwitches;
    StrokeSettingsPayload strokeSettings;
};

} // namespace morvane
