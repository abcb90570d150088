#pragma once
// The pen renderer: what one dab of a current tool does to the pixels of the
// wet-paint image. Each stroke start picks the per-pixel chain (selection
// mask, screen tone, gradation, then one final write) for this renderer
// alone, so the live renderer and a player document's renderer never see each
// other's choice. Dab geometry and densities are 16.16.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "paint/CGradeMapObj.h"
#include "paint/CPenShape.h"
#include "paint/PaintHooks.h"
#include "paint/PaintRecords.h"
#include "paint/PenStampMath.h"
#include "storage/Rect.h"

namespace morvane {

class AlphaModifier;
class CBlockVMTC;
class ColourSource;
class CPenShapeObj;
class CPenTC;
class TChannel;
class TMTC;
class TPaper;
class TStroke;

// The final write of the chain.
enum class Plot : uint8_t {
    Over,      // normal paint
    Keep,      // colour only: the layer's transparency is protected
    Erase,     // lowers alpha
    Mix,       // colour and alpha towards the colour (blur, spread, fingertip)
    Lightness, // burn and dodge
};

// Render method classes of the brush method record.
enum class RenderClass : uint8_t {
    Draw = 0,
    Watercolour = 1,
    Blur = 2,
    Erase = 3,
    Spread = 4,
    Fingertip = 5,
    BurnDodge = 6,
};

// What the document hands over at stroke start; nothing here is owned.
struct PenStrokeSetup {
    const AlphaModifier* mask = nullptr;     // the active selection, if any
    const AlphaModifier* tone = nullptr;     // used when the stroke's tone switch is on
    const ColourSource* gradation = nullptr; // used when its gradation switch is on
    uint32_t backgroundColour = 0xFFFFFFFF;  // what erasing a protected layer paints
    const CBlockVMTC* blurSource = nullptr;  // the layer before the stroke
    bool oldestEngine = false;               // a player document on the oldest engine: always Keep
};

// One dab: centre in target pixels, density 0-1, nominal radius N.
struct PenDab {
    float x = 0, y = 0;
    float density = 1;
    float radius = 1;
    uint32_t colour = 0;
};

// Frees a pick-up patch; defined beside the spread and fingertip stamps,
// where the patch is a complete type.
struct PenTCDelete {
    void operator()(CPenTC* patch) const;
};

class CPenRender final : public RowChain {
public:
    static constexpr unsigned kEffect1 = 1, kEffect2 = 2, kEffect3 = 4;
    static constexpr unsigned kAllEffects = kEffect1 | kEffect2 | kEffect3;
    static constexpr int32_t kLightnessEntries = 2048;
    // Row spans of the chain hold at most this many pixels.
    static constexpr int32_t kChainSpan = 256;

    explicit CPenRender(TStroke& stroke);
    ~CPenRender();
    CPenRender(const CPenRender&) = delete;
    CPenRender& operator=(const CPenRender&) = delete;

    // Each returns the previous one.
    TStroke& SetStroke(TStroke& stroke);
    TPaper* SetPaper(TPaper* paper);

    // Configuration, in the order the tool window sets it. Each setter
    // reports whether anything changed.
    bool SetThreshold(uint32_t threshold);
    bool SetNib(const NibRecord& nib);
    // Only the effects named in effectMask are taken over; effect 1 is kept
    // within 0-100.
    bool SetMethod(const BrushMethodRecord& method, unsigned effectMask = kAllEffects);
    // A changed air map rebuilds the nib's densities.
    bool SetAirMap(const AirMapRecord& airMap);
    // A usable bitmap preset becomes the nib (built at once); anything else
    // leaves a round nib. The flags take the preset's air map, threshold
    // and nib record as well.
    void SetNibPreset(CPenShapeObj* preset, bool updateAirMap, bool updateThreshold, bool updateNib);
    void SetColours(uint32_t main, uint32_t second);

    uint32_t Threshold() const { return aliased; }
    const NibRecord& Nib() const { return nib; }
    const BrushMethodRecord& Method() const { return method; }
    const AirMapRecord& AirMap() const { return airMapTable.AirMap(); }
    uint32_t MainColour() const { return colors[0]; }
    uint32_t SecondColour() const { return colors[1]; }
    bool HasBitmapNib() const { return hasBitmapNib; }
    // The bitmap preset the nib is made from; nullptr for a round nib.
    const CPenShapeObj* BitmapNib() const { return hasBitmapNib ? bitmapNib : nullptr; }

    // Bitmap nib: its scale percent; else the nib radius in pixels.
    float CurrentRadius() const;
    // Smallest radius for the nominal radius (bitmap nib: scale percent).
    float MinRadius(float nominal) const;
    // Distance between dabs for spacing s (a fraction) and radius R.
    float DabInterval(float spacing, float radius) const;
    // Half sides in whole pixels of the dab of radius N.
    Point DabExtent(float radius) const;
    // Half the largest dab the running stroke can make, in pixels.
    float StrokeReach() const { return float(strokeReach) / 65536.0f; }

    // The stroke engine says whether the current segment is y-major.
    void SetSpanAcross(bool yMajor) { spanAcross = yMajor ? 1 : 0; }

    // Stroke start at (x, y): copies the colours, picks the chain, runs the
    // class's preparation. False when the stroke cannot paint (the blur's
    // buffer, say); its stamps then do nothing.
    bool Prepare(TMTC& image, const PenStrokeSetup& setup, float x, float y);
    // One dab, by the method's class: the pencil into the coverage channel,
    // everything else into the colour image. False when nothing was touched.
    bool Stamp(TMTC& image, TChannel& coverage, const PenDab& dab);
    bool StampImage(TMTC& image, const PenDab& dab);
    bool StampCoverage(TChannel& coverage, const PenDab& dab);
    // Gives the bitmap nib back the scale it had at stroke start.
    void EndStroke();

    // The compatible engines stamp their own discs and borrow only the
    // chain: PrepareChain is Prepare without the class's preparation, and
    // the lightness curve is built from the exposure they hand over.
    void PrepareChain(const PenStrokeSetup& setup);
    void PrepareLightness(int32_t exposure, bool dodge);
    uint32_t BackgroundColour() const { return backgroundColour; }
    const CBlockVMTC* BlurSource() const { return blurSource; }
    // A row span (at most kChainSpan pixels) through the modifiers and the
    // given final write; colours may be nullptr (every pixel `colour`).
    void ChainRow(TMTC& image, int32_t x, int32_t y, int32_t count, uint8_t* alpha, const uint32_t* colours,
                  uint32_t colour, Plot plot) const;
    // The given final write alone over a span.
    void WriteRow(TMTC& image, int32_t x, int32_t y, int32_t count, const uint8_t* alpha,
                  const uint32_t* colours, Plot plot) const;
    // The coverage chain over a span: mask and tone, then keep the maximum
    // of the channel and alpha x value / 255.
    void CoverageRow(TChannel& coverage, int32_t x, int32_t y, int32_t count, uint8_t* alpha,
                     uint8_t value) const;

    // The last dab's box, clipped to its target.
    EdgeRect DabBox() const { return {dabLeft, dabTop, dabRight, dabBottom}; }
    // The chain's final write for normal paint.
    Plot NormalPlot() const { return chain_.plot; }

    // RowChain: the pencil rebuild of the wet paint runs the chain chosen at
    // stroke start.
    void ChainRow(TMTC& image, int32_t x, int32_t y, int32_t count, uint8_t* alpha,
                  uint32_t colour) const override;
    void WriteRow(TMTC& image, int32_t x, int32_t y, int32_t count, const uint8_t* alpha,
                  const uint32_t* colours) const override;

private:
    struct Chain {
        const AlphaModifier* mask = nullptr;
        const AlphaModifier* tone = nullptr;
        const ColourSource* gradation = nullptr;
        Plot plot = Plot::Over;
        bool HasModifiers() const { return mask || tone || gradation; }
    };

    // Dab set-up: nib, centre, density, box and clip. False when the dab
    // stamps nothing (no density, no nib, empty box).
    bool SetupDab(const PenDab& dab, int32_t width, int32_t height, bool exact, bool yMajor);
    bool MakeNib(float radius, bool exact, bool yMajor);
    bool MakeBitmapNib(float radius);
    // A round nib's half extent (16.16) for radius N, at least 0.1 px.
    static int32_t RoundNibRadius(float radius);
    // Half extents (16.16) of the box that holds the current grid.
    Point GridReach() const;
    // The largest half extent (16.16) any dab of the stroke can have.
    int32_t LargestDabReach();

    // The nib's alpha (0-255) of count pixels of target row y from x.
    void NibRow(int32_t x, int32_t y, int32_t count, uint8_t* alpha) const;
    // The final write alone over a span.
    void Write(Plot plot, uint32_t* px, const uint8_t* alpha, int32_t count, const uint32_t* colours,
               uint32_t colour) const;
    // Mask, tone and gradation over a span; colours then points at shades
    // when the gradation supplied them.
    void ApplyModifiers(int32_t x, int32_t y, int32_t count, uint8_t* alpha, const uint32_t*& colours,
                        uint32_t* shades) const;
    // Every pixel of the dab box through the colour chain with one colour;
    // the final write and whether there are modifiers are chosen once.
    void Paint(TMTC& image, uint32_t colour, Plot plot) const;
    template <Plot P, bool Modified> void PaintWith(TMTC& image, uint32_t colour) const;
    // Every pixel of the dab box through the coverage chain (mask, tone, keep maximum).
    void PaintCoverage(TChannel& coverage, uint8_t value) const;

    void SelectChain(const PenStrokeSetup& setup);
    void BuildLightnessTable();

    // Class stamps. Draw, erase and burn/dodge: CPenRenderDraw.cpp.
    bool StampDraw(TMTC& image);
    bool StampErase(TMTC& image);
    bool StampBurnDodge(TMTC& image);
    // Watercolour: CPenRenderWet.cpp.
    bool PrepareWatercolour(const TMTC& image, float x, float y);
    bool StampWatercolour(TMTC& image, const PenDab& dab);
    // Blur: CPenRenderBlur.cpp.
    bool PrepareBlur();
    bool StampBlur(TMTC& image);
    // Spread and fingertip: CPenRenderSmudge.cpp.
    bool PrepareSmudge(const TMTC& image, float x, float y);
    bool StampSpread(TMTC& image);
    bool StampFingertip(TMTC& image);
    // The patch over the dab box, pixel for pixel from its centre.
    void PutDown(TMTC& image, const CPenTC& patch) const;

    TStroke* stroke; // never null
    TPaper* paper = nullptr;
    CGradeMapObj airMapTable{CGradeMapObj::kRendererEntries};
    CPenShapeObj* bitmapNib = nullptr;
    NibRecord nib;
    uint32_t aliased = 0;
    std::array<uint32_t, 2> colors{0xFFFFFFFF, 0xFF000000};
    CPenShape shape{&airMapTable};
    uint8_t spanAcross = 0;
    bool hasBitmapNib = false;
    int32_t bitmapScale = 0;
    BrushMethodRecord method;

    int32_t dabX = 0, dabY = 0;
    int32_t dabRadiusX = 0, dabRadiusY = 0;
    int32_t dabDensity = 0;
    int32_t dabLeft = 0, dabTop = 0, dabRight = 0, dabBottom = 0;
    int32_t clipDX = 0, clipDY = 0;
    uint32_t dabColor = 0;

    // Blur: four sums per column (the products with 255 are taken in 64 bits).
    BlurScratch scratch;
    const CBlockVMTC* blurSource = nullptr;
    float blurRadius = 0;
    // Spread and fingertip: two patches, the one put down next and the one picked.
    std::array<std::unique_ptr<CPenTC, PenTCDelete>, 2> pickup;
    int32_t pickupIndex = 0;
    // The largest half extent (16.16) of the stroke's dabs, from its start:
    // patches are picked this large, so a later, larger dab finds all it
    // puts down.
    int32_t strokeReach = 0;

    std::vector<int32_t> lightnessTable;
    uint32_t backgroundColour = 0xFFFFFFFF;

    Chain chain_;
    Chain coverageChain_;
    bool strokeReady_ = false; // Prepare succeeded
};

} // namespace morvane
