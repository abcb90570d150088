#pragma once
// What the new-document dialog shows and returns, without the dialog: the
// preset list with its separators, sizes in pixels, inches, centimetres or
// millimetres at a resolution, the limits, the orientation, and the five
// user presets that live in the settings.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace morvane {

enum class SizeUnit : int32_t { Pixel = 0, Inch = 1, Cm = 2, Mm = 3 };
enum class PaperOrientation { Landscape, Portrait };

inline constexpr int32_t kNewPictureMinSide = 8;
inline constexpr int32_t kNewPictureMaxSide = 10000;
inline constexpr double kNewPictureMinResolution = 72.0;
inline constexpr double kNewPictureMaxResolution = 600.0;

// value in the unit to pixels at the resolution, rounded (+ 0.5, truncated;
// saturating, NaN gives 0).
int32_t ToPixels(double value, SizeUnit unit, double resolution);
// pixels to the unit at the resolution (not rounded).
double FromPixels(double pixels, SizeUnit unit, double resolution);
// "%1.0f" for pixels, "%1.6g" for the other units.
std::string FormatSizeValue(double value, SizeUnit unit);

struct SValueRange {
    double min = 0, max = 0;
    bool operator==(const SValueRange&) const = default;
};

// The sides' limits (8 ... 10000 pixels) in the unit at the resolution.
SValueRange SideRange(SizeUnit unit, double resolution);
// max(72, 8 / L) ... min(600, 10000 / L), L the largest side in inches; a
// size in pixels does not depend on the resolution, so there only 72 ... 600.
SValueRange ResolutionRange(SizeUnit unit, double width, double height);

// One entry of the preset list; sizes are long side x short side.
struct SPaperPresetEntry {
    const char* name;
    double longSide, shortSide;
    SizeUnit unit;
    int32_t resolution;
};

inline constexpr int kPaperPresetEntries = 40;
inline constexpr int kUserPaperPresets = 5;
inline constexpr int kFirstFixedPreset = 6; // entries from here have an orientation

const SPaperPresetEntry& PaperPresetEntry(int entry);
// The list shows the entries in groups with an empty line between them.
int PresetListLines();
int PresetLineOfEntry(int entry);
// -1 for a separator line (or a line outside the list).
int PresetEntryOfLine(int line);
// The entry whose size, rounded to pixels at the resolution, is width x
// height in either orientation, from entry 6 on; 0 ("カスタム") when none.
int FindPaperPreset(int32_t width, int32_t height, double resolution, PaperOrientation& orientation);

// A user preset as the settings keep it: 20 bytes, little-endian.
struct SUserPaperPreset {
    static constexpr size_t kBytes = 20;

    SizeUnit unit = SizeUnit::Pixel;
    int32_t resolution = 72;
    float width = 640.0f, height = 480.0f;
    bool transparent = false;

    void Encode(uint8_t (&out)[kBytes]) const;
    // Takes the fields as they are; call Sanitize before use.
    static SUserPaperPreset Decode(const uint8_t (&in)[kBytes]);
    // An unknown unit becomes pixels, the resolution 72 ... 600, a side that
    // is not finite its default, every side within 8 ... 10000 pixels.
    void Sanitize();
    bool operator==(const SUserPaperPreset&) const = default;
};

struct SNewPictureResult {
    int32_t width = 0, height = 0, resolution = 0;
    bool transparent = false;
    bool operator==(const SNewPictureResult&) const = default;
};

class NewPictureModel {
public:
    // Opens on user preset 1, as the dialog does. The presets are sanitised.
    explicit NewPictureModel(const std::array<SUserPaperPreset, kUserPaperPresets>& userPresets = {});

    // Takes the entry's unit, sizes (in the current orientation from entry 6
    // on), resolution and, for a user preset, its paper. False for an entry
    // outside the list.
    bool SelectEntry(int entry);
    // A separator moves on to its neighbour in the direction of travel
    // (direction < 0: upwards). Returns the line now selected.
    int SelectLine(int line, int direction);
    // Only from entry 6 on; turning swaps the sides.
    bool SetOrientation(PaperOrientation orientation);
    // Converts the sides into the new unit; the pixel size stays.
    void SetUnit(SizeUnit unit);
    // Edits: clamped to the limits; written back to a selected user preset,
    // otherwise the list is looked up again. False (nothing changes) for a
    // value that is not finite.
    bool SetSize(double width, double height);
    bool SetResolution(double resolution);
    void SetTransparent(bool transparent);

    int SelectedEntry() const { return entry_; }
    int SelectedLine() const { return PresetLineOfEntry(entry_); }
    bool OrientationEnabled() const { return entry_ >= kFirstFixedPreset; }
    PaperOrientation Orientation() const { return orientation_; }
    SizeUnit Unit() const { return unit_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    double Resolution() const { return resolution_; }
    bool Transparent() const { return transparent_; }
    int32_t WidthPixels() const;
    int32_t HeightPixels() const;
    std::string WidthText() const { return FormatSizeValue(width_, unit_); }
    std::string HeightText() const { return FormatSizeValue(height_, unit_); }
    // "画像サイズ ( %d × %d px )"
    std::string SizeTitle() const;
    SValueRange SidesRange() const { return SideRange(unit_, resolution_); }
    SValueRange ResolutionLimits() const { return ResolutionRange(unit_, width_, height_); }
    const SUserPaperPreset& UserPreset(int number) const; // 1 ... 5
    SNewPictureResult Result() const;

private:
    bool UserPresetSelected() const { return entry_ >= 1 && entry_ <= kUserPaperPresets; }
    // After an edit: write the user preset back, or look the list up.
    void Edited();
    double ClampSide(double value) const;

    std::array<SUserPaperPreset, kUserPaperPresets> user_;
    int entry_ = 1;
    PaperOrientation orientation_ = PaperOrientation::Landscape;
    SizeUnit unit_ = SizeUnit::Pixel;
    double width_ = 640, height_ = 480, resolution_ = 72;
    bool transparent_ = false;
};

} // namespace morvane
