#pragma once
// One undo record and the table of its 64 kinds. A record keeps what it needs
// to reverse one operation: a pixel copy, an alpha plane, nothing (a
// self-inverse transform), attribute values, or objects taken out of the
// document. Everything a record holds is owned through std::unique_ptr, so an
// object belongs either to the document or to the record, never to both.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/CLayerData.h"
#include "document/UndoKind.h"
#include "storage/CBlockVMTC.h"
#include "storage/Rect.h"

namespace morvane {

class CLayerMngr;

enum UndoCategory : uint8_t {
    kUndoPixels = 1,    // pixel copy of a rectangle of one layer
    kUndoAlpha = 2,     // alpha plane of a rectangle
    kUndoTransform = 3, // self-inverse transform, keeps nothing
    kUndoAttribute = 4, // one value of a layer or of the document
    kUndoStructure = 5, // kept layers, layer lists, whole stacks
    kUndoSelection = 6, // kept masks
};

// Flag bits of a kind.
enum UndoFlag : uint16_t {
    kUndoFlagLayerList = 0x0001,
    kUndoFlagCanvas = 0x0002,
    kUndoFlagCanvasSize = 0x0004,
    kUndoFlagWholeLayer = 0x0008,
    kUndoFlagBulky = 0x0010,
    kUndoFlagOwnsBuffer = 0x0020,
    kUndoFlagLayerAfterSelection = 0x0040,
    kUndoFlagSelection = 0x0080,
    kUndoFlagSelectionImage = 0x0100,
};

struct SUndoKind {
    uint8_t kind;
    uint8_t category;
    uint16_t flags;
    const char* name;
};

// The entry of a kind; kind 0 for a number outside 0 ... 63.
const SUndoKind& UndoKindOf(int kind);
inline const SUndoKind& UndoKindOf(UndoKind kind) { return UndoKindOf(int(kind)); }

// valueA of kinds 12-15: the transform was applied to the visible layers only.
constexpr int32_t kUndoVisibleOnly = 1;

// A kept object of the selection records (masks) and anything else the
// document hands over later: the record only needs to free it and to know
// what it costs.
class IUndoKept {
public:
    virtual ~IUndoKept() = default;
    virtual int64_t HeldBytes() const = 0;
};

// Owned bytes taken from the memory budget (alpha planes, pixel copies).
class CUndoBytes {
public:
    static std::unique_ptr<CUndoBytes> Make(int64_t size);
    ~CUndoBytes();
    CUndoBytes(const CUndoBytes&) = delete;
    CUndoBytes& operator=(const CUndoBytes&) = delete;
    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }
    int64_t Size() const { return size_; }

private:
    CUndoBytes(uint8_t* data, int64_t size) : data_(data), size_(size) {}
    uint8_t* data_;
    int64_t size_;
};

// A copy of a rectangle of a layer store, block for block: a committed block
// is one memcpy into a single shared allocation, a uniform one only its value,
// so a mostly flat rectangle costs next to nothing.
class CPixelCopy {
public:
    // nullptr when memory runs out; rect must lie inside the store.
    static std::unique_ptr<CPixelCopy> Take(const CBlockVMTC& source, const EdgeRect& rect);
    // A store handed over whole (a filter's backup): rect is its full extent.
    static std::unique_ptr<CPixelCopy> Adopt(std::unique_ptr<CBlockVMTC> store);
    // Writes the copy back to the rectangle it was taken from.
    bool RestoreInto(CBlockVMTC& target) const;
    int64_t HeldBytes() const;
    const EdgeRect& Rect() const { return rect_; }

private:
    static constexpr int32_t kUniform = -1;
    explicit CPixelCopy(const EdgeRect& rect) : rect_(rect) {}

    EdgeRect rect_;
    // Taken copies: the block grid from origin_ (block-aligned), each block's
    // slot in data_ or kUniform with its value.
    Point origin_{};
    int32_t blocksX_ = 0;
    std::vector<int32_t> slots_;
    std::vector<uint32_t> uniforms_;
    std::unique_ptr<CUndoBytes> data_;
    // Adopted copies.
    std::unique_ptr<CBlockVMTC> store_;
};

// What a record of category 5 or 6 holds out of the document.
struct SUndoKept {
    std::unique_ptr<CLayerData> layer;
    std::unique_ptr<CLayerData> layer2;
    std::vector<std::unique_ptr<CLayerData>> layers;
    std::unique_ptr<CLayerMngr> stack;
    std::unique_ptr<IUndoKept> object;
    int64_t HeldBytes() const;
};

struct SUndoValues {
    int32_t a = 0, b = 0, c = 0, d = 0;
};

// A selection named in one value (kinds 24, 35, 44): the mask index in the
// low 16 bits, the low 16 bits of its identifier in the high ones.
inline int32_t PackedSelection(int32_t maskIndex, int32_t maskId)
{
    return int32_t((uint32_t(maskIndex) & 0xFFFFu) | (uint32_t(maskId) & 0xFFFFu) << 16);
}
inline int32_t SelectionIndexOf(int32_t packed) { return packed & 0xFFFF; }
inline uint16_t SelectionIdOf(int32_t packed) { return uint16_t(uint32_t(packed) >> 16); }

class CUndoData {
public:
    CUndoData(UndoKind kind, int32_t layerIndex, int32_t layerId, const ExtentRect& rect);
    ~CUndoData();
    CUndoData(const CUndoData&) = delete;
    CUndoData& operator=(const CUndoData&) = delete;

    // Category 1: a copy of rect (clipped to the store) of the layer's pixels;
    // nullptr when the rectangle misses the store or memory runs out.
    static std::unique_ptr<CUndoData> PixelRecord(UndoKind kind, const CLayerData& layer, int32_t index,
                                                  const ExtentRect& rect);
    // Category 2: the alpha bytes of rect (clipped); nullptr as above.
    static std::unique_ptr<CUndoData> AlphaRecord(UndoKind kind, CLayerData& layer, int32_t index,
                                                  const ExtentRect& rect);
    // A valid record of a kind that keeps values or objects, filled by the
    // operation; nullptr when memory runs out.
    static std::unique_ptr<CUndoData> Command(UndoKind kind, int32_t layerIndex, int32_t layerId,
                                              const ExtentRect& rect, SUndoValues values = {});

    // Writes the kept pixels or alpha plane back into the store.
    bool RestoreInto(CBlockVMTC& store) const;

    const SUndoKind& Kind() const { return UndoKindOf(kind); }
    UndoKind Id() const { return UndoKind(kind); }
    uint8_t Category() const { return Kind().category; }
    uint16_t Flags() const { return Kind().flags; }
    // Whether it counts toward the depth of a counted list.
    bool Counts() const { return pixels != nullptr || (Flags() & kUndoFlagBulky) != 0; }
    int64_t HeldBytes() const;

    bool valid = false;
    bool undone = false;
    ExtentRect rect{};
    int32_t layerIndex = -1;
    int32_t layerId = -1;
    std::unique_ptr<CPixelCopy> pixels;
    uint8_t kind = 0;
    std::unique_ptr<CPixelCopy> pixels2;
    std::unique_ptr<CUndoBytes> buffer;
    SUndoKept kept;
    SUndoValues values;
    std::string nameA, nameB; // kinds 25 and 63

private:
    // Row i of the piece p in the alpha plane of rect.
    uint8_t* AlphaRow(const SPiece& p, int32_t i) const
    {
        return buffer->Data() + int64_t(p.y - rect.top + i) * rect.width + (p.x - rect.left);
    }
};

} // namespace morvane
