#pragma once
// The fixed-size records into which paint parameters are split for storage:
// nib geometry and air map (nib presets), brush method and brush (brush
// presets), and the pen setting of one compatible tool slot (settings).
// Each is written and read field by field, little-endian; Decode takes the
// bytes as they are, so call Sanitize before using what came from outside.
#include <cstddef>
#include <cstdint>

namespace morvane {

// Nib geometry, 16 bytes. Units are those stored: radius in 1/100 px (for a
// bitmap nib: the scale percent x 100), aspect and minimum radius in 1/1000,
// angle in 1/10 degree.
struct NibRecord {
    static constexpr size_t kBytes = 16;

    int32_t radius = 1000;
    int32_t aspect = 1000;
    int32_t angle = 0;
    int32_t minRadius = 1000;

    void Encode(uint8_t (&out)[kBytes]) const;
    static NibRecord Decode(const uint8_t (&in)[kBytes]);
    // Radius 0.1-200 px (bitmap scale 1-500 %), aspect 0.01-1, minimum radius
    // 0-1, angle reduced into 0-3599.
    void Sanitize(bool holdsBitmapScale = false);
    bool operator==(const NibRecord&) const = default;
};

// Density distribution of a nib, 12 bytes: curve in the nib-preset numbering,
// flat part and floor in 1/1000.
struct AirMapRecord {
    static constexpr size_t kBytes = 12;

    uint8_t curve = 3;
    int32_t flat = 0;
    int32_t add = 0;

    void Encode(uint8_t (&out)[kBytes]) const;
    static AirMapRecord Decode(const uint8_t (&in)[kBytes]);
    // An unknown curve becomes 3 (1 - x); flat and add 0-1000.
    void Sanitize();
    bool operator==(const AirMapRecord&) const = default;
};

// How a current tool renders, 16 bytes. The class is checked where a kind is
// made from it (KindFromBrushMethod), not here.
struct BrushMethodRecord {
    static constexpr size_t kBytes = 16;

    uint8_t renderClass = 0;
    bool dodge = false;
    bool pencil = false;
    uint16_t effect1 = 0;
    uint16_t effect2 = 0;
    uint16_t effect3 = 0;
    // Pencil dabs by exact coverage instead of the nib grid (byte 2).
    bool exact = false;

    void Encode(uint8_t (&out)[kBytes]) const;
    static BrushMethodRecord Decode(const uint8_t (&in)[kBytes]);
    // Effects 0-100.
    void Sanitize();
    bool operator==(const BrushMethodRecord&) const = default;
};

// Pressure and spacing of a current tool, 24 bytes. density in 1/1000,
// gamma in 1/100, spacing in 1/10 percent (always whole percents), the two
// step thresholds in whole pixels.
struct BrushRecord {
    static constexpr size_t kBytes = 24;

    bool pressureSize = false;
    bool pressureDensity = false;
    int32_t density = 1000;
    int32_t gamma = 100;
    int32_t spacing = 100;
    int32_t denseStepRadius = 0;
    int32_t subStepRadius = 0;

    void Encode(uint8_t (&out)[kBytes]) const;
    static BrushRecord Decode(const uint8_t (&in)[kBytes]);
    // Density 10-1000, gamma 1-600, spacing 10-2000, thresholds 0-1000.
    void Sanitize();
    bool operator==(const BrushRecord&) const = default;
    // The density field for an opacity 0-1: x 1000 in float, truncated
    // (29 % is 290, where a double product would give 289).
    static int32_t DensityOf(float opacity);
};

// One slot of a compatible tool, 44 bytes. The comments name the value each
// field is kept under in the settings.
struct PenSettingRecord {
    static constexpr size_t kBytes = 44;

    float minRadius = 1.0f;      // "MIN", fraction of the radius
    float radius = 1.0f;         // "WIDTH", pixels
    float gamma = 1.0f;          // "GAMMA"
    float effect1 = 0.0f;        // "EFFECT"
    float effect2 = 0.0f;        // "ENV"
    float effect3 = 0.0f;        // "SPEED"
    bool pressureSize = false;   // "ifSIZE"
    bool pressureDensity = false; // "ifTRANSPARENCY"
    bool softEdge = false;       // "ifEDGE"
    bool useTone = false;        // "useTone"
    bool useGradation = false;   // "useGradation"
    float density = 1.0f;        // "opaque"
    float spacing = 0.5f;        // "penSpacing"
    int32_t airMap = 3;          // "airMap", compatible numbering

    void Encode(uint8_t (&out)[kBytes]) const;
    static PenSettingRecord Decode(const uint8_t (&in)[kBytes]);
    // Ranges as for the parameters; a value that is not finite takes the
    // field's value in `defaults`. An air map outside the compatible codes
    // takes the one of `defaults` as well.
    void Sanitize(const PenSettingRecord& defaults);
    bool operator==(const PenSettingRecord&) const = default;
};

} // namespace morvane
