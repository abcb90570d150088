#pragma once
// The demo recording: a picture painted through the document's own
// operations with recording on and a fixed clock, so the same build always
// writes the same bytes. Layers in several blend modes, strokes of every
// render method of the current stroke engine, layer commands.
#include <memory>
#include <string>
#include <vector>

namespace morvane {

class DemoPainter;
class FixedClock;
class TFlowImage;
class TPaper;
class TStroke;

// Paints the demo into a fresh document that records through its own
// manager. The document strokes with the recording's pen and renderer, so
// they live as long as this object; keep it until the recording is saved.
class DemoRecording {
public:
    explicit DemoRecording(TPaper& document);
    ~DemoRecording();
    DemoRecording(const DemoRecording&) = delete;
    DemoRecording& operator=(const DemoRecording&) = delete;

    // False when an operation was refused.
    bool Paint();

private:
    TPaper& document_;
    std::unique_ptr<DemoPainter> painter_;
};

// Paints the demo and saves its recording as an event file: 0, or the code
// of what failed (-1 when painting was refused).
int WriteDemoRecording(const std::string& path);

// A point of a painted path.
struct DemoSample {
    float x, y, pressure;
};

// A wave across a picture whose pressure swells and fades: points of a
// sine over `length` from (x0, y0).
std::vector<DemoSample> DemoWave(float x0, float y0, float length, float amplitude, int points);

// Paints a path through the document's own stroke begin, points and end,
// the clock moving between points as a hand would. False when refused.
bool PaintDemoPath(TPaper& document, TFlowImage& flow, TStroke& pen, FixedClock& clock,
                   const std::vector<DemoSample>& path);

} // namespace morvane
