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

// A screen tone the pen paints through: embedded (EmbeddedTone) the first time a
// stream uses it, referred to (ToneReference) afterwards.
struct SyncedTone {
    EmbeddedTonePayload embedded; // pattern left empty: the recorder packs pixels
    std::vector<uint8_t> pixels;  // width x height bytes of a bitmap pattern
    ToneReferencePayload reference;
};

// A bitmap nib: embedded (EmbeddedNib) on first use, referred to (NibReference) after.
struct SyncedNib {
    EmbeddedNibPayload embedded; // bitmap left empty: the recorder packs pixels
    std::vector<uint8_t> pixels;
    // Or the nib's own bitmap, read only when the nib is embedded (a sync
    // runs before every command; copying the bitmap each time would not do).
    const TChannel* bitmap = nullptr;
    NibReferencePayload reference;
};

struct EventSyncState {
    // Document state: the records SyncDocument writes.
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
    // The pen paints with the gradation: GradationColours when its slots changed.
    bool usesGradation = false;
    GradationColoursPayload gradationColours;

    // Pen state: the records SyncPen writes.
    PenFlagsPayload penFlags;
    PenColourPayload penColour;
    PenRadiusPayload penRadius;
    PenEffectsPayload penEffects;

    // Renderer state: the records SyncRenderer writes, the nib among them.
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
