#pragma once
// A document read from a file: its layers' heads applied, and its recording
// carried on, either the file's own or one that starts from a snapshot of
// the loaded picture, so that a recording never differs from the picture.
#include <cstdint>
#include <string>

namespace morvane {

class CLayerData;
class CLayerMngr;
class TPaper;
struct SClipLayerAttr;

// The head's attributes onto a layer with a store: mode (clamped into
// 0-21), name, visibility, protect alpha, opacity, default pixel, origin,
// nominal size (the picture's when the head's is no store size), dither
// with its generator value, and link level (ClampLinkLevels puts it within
// the stack's rules), so that a layer recorded with its head replays equal
// to it field for field.
void ApplyLayerAttributes(const SClipLayerAttr& attr, const std::string& name, CLayerData& layer, int32_t pictureW,
                        int32_t pictureH);
// Link levels within the stack's rules: at most one above the layer below.
void ClampLinkLevels(CLayerMngr& layers);

// After a load: the file's stream goes on when it can (streamLoaded and
// resumable); otherwise the recording starts again from the loaded picture.
void ContinueRecording(TPaper& paper, bool streamLoaded);

} // namespace morvane
