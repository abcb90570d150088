#pragma once
// The parts of a document file (".mci") that know nothing of documents: the
// 56-byte header, the 72-byte layer head (shared with the clipboard and the
// paste packets' placement record), the block chunks that carry a layer's or
// a mask's store, and the thumbnail read for previews. The chunk loop that
// builds a document from them is the document's (document/PaperFile.h).
#include <cstdint>
#include <string>

#include "files/ByteStream.h"
#include "files/ResultCodes.h"

namespace morvane {

class CBlockImage;
class TMTC;

inline constexpr uint32_t kTagDocument = le::Tag("MPIM");
inline constexpr uint32_t kTagLayer = le::Tag("MLYR");
inline constexpr uint32_t kTagLayerBlocks = le::Tag("MBIM");
inline constexpr uint32_t kTagMask = le::Tag("MMSK");
inline constexpr uint32_t kTagMaskBlocks = le::Tag("MBMK");
inline constexpr uint32_t kTagThumbnail = le::Tag("MTNL");
inline constexpr uint32_t kTagEventsPacked = le::Tag("MEVP");
inline constexpr uint32_t kTagEventsPlain = le::Tag("MEVS");
inline constexpr uint32_t kTagEventBlock = le::Tag("MBEV");

// Longest name kept from a file, in stored bytes without the terminator.
inline constexpr size_t kMaxStoredName = 255;

struct SDocumentHeader {
    static constexpr int kBytes = 56;
    static constexpr uint32_t kLayerCountValid = 0x0001, kMaskCountValid = 0x0002;
    static constexpr uint32_t kSelectionBorder = 0x0010, kSelectionUsed = 0x0020;
    static constexpr uint32_t kTransparentPaper = 0x0040, kChecker = 0x0080;
    static constexpr uint32_t kLayerNameValid = 0x0100, kMaskNameValid = 0x0200;

    int32_t width = 0, height = 0;
    int32_t version = 1;
    uint32_t flags = 0;
    uint32_t paperColour = 0x00FFFFFF;
    int16_t currentLayer = 0, currentMask = -1;
    uint16_t resolution = 0;
    int16_t layerCount = 0, layerNameNext = 0;
    int16_t maskCount = 0, maskNameNext = 0;

    void Encode(uint8_t out[kBytes]) const;
    // Ok; Tag; HeaderSize; Version above 1; PictureSize for a side outside
    // 1 .. 10000.
    DocFileCode Decode(const uint8_t in[kBytes]);
};

// Reads and checks the header: ShortRead, or Decode's code.
DocFileCode ReadDocumentHeader(ByteReader& in, SDocumentHeader& header);

// A layer's (or mask's) head: the 72 bytes after its chunk's tag and length.
struct SClipLayerAttr {
    static constexpr int kBytes = 72;
    static constexpr uint16_t kVisible = 0x0001, kProtectAlpha = 0x0002;
    static constexpr uint16_t kDitherValid = 0x0010, kDither = 0x0020;
    // Mask chunks: blocks follow.
    static constexpr uint16_t kHasBlocks = 0x0001;
    static constexpr int32_t kLayerBlockSide = 32, kMaskBlockSide = 64;
    static constexpr int kModes = 22;

    int32_t index = 0;
    uint16_t flags = 0;
    uint8_t mode = 0, opacity = 255;
    int32_t blockWidth = kLayerBlockSide, blockHeight = kLayerBlockSide;
    int32_t blocksX = 0, blocksY = 0;
    int32_t storeWidth = 0, storeHeight = 0;
    int32_t originX = 0, originY = 0;
    int32_t nominalWidth = 0, nominalHeight = 0;
    uint32_t defaultPixel = 0x00FFFFFF;
    uint16_t nameLength = 1; // stored bytes with the terminator
    uint16_t modeClass = 0;  // 0 for modes 0-3, 1 for the others
    uint8_t ditherDensity = 255;
    // The layer's link level: the format has no field for it, so it lives
    // in the reserved word; files without it read 0 (no link groups).
    uint16_t linkLevel = 0;
    uint32_t ditherValue = 0;

    void Encode(uint8_t out[kBytes]) const;
    void Decode(const uint8_t in[kBytes]);
    // Ok; Version for a mode class of 2 or more or a mode above 21;
    // CannotAddLayer for a store outside the store limits or an index
    // outside 0 .. layers (the count so far, at most 10000 layers);
    // LayerBlockSize for blocks other than 32 x 32 or counts across and
    // down that do not cover the store.
    DocFileCode validate(int32_t layers) const;
    // The mask head's rules: Version for a non-zero word at 62;
    // CannotMakeMask for a store outside the limits; MaskBlockSize for
    // blocks other than 64 x 64; MaskBlockLength for counts across and down
    // that do not cover the store.
    // A head without blocks (an empty mask) passes on its mode class alone.
    DocFileCode validateMask() const;
    // The blocks across and down of a store of this size.
    void SetStore(int32_t width, int32_t height, int32_t blockSide);
};

// 80 + the padded name: what WriteLayerHead writes for this name.
uint64_t LayerHeadSize(const std::string& name);
// The chunk header (tag, 72 + padded name), the head with the name's
// length filled in, and the name in the system code page with its
// terminator, padded to a multiple of 4. Ok or ShortWrite.
WriteCode WriteLayerHead(ByteWriter& out, const SClipLayerAttr& attr, const std::string& name,
                         uint32_t tag = kTagLayer);
// Reads the name that follows a head: `bytes` stored bytes (ShortRead when
// fewer remain), cut at its terminator or at kMaxStoredName bytes.
DocFileCode ReadLayerName(ByteReader& in, uint64_t bytes, std::string& name);

// Reads the block chunks of a store until all its blocks have arrived,
// row-major from the first: kind 1 decompressed straight into the store's
// blocks (their memory through the budget: NoMemory when refused), kind 2
// as uniform values that take no memory. forMask picks the mask codes and
// tag. The codes of a layer: ShortRead, Tag, LayerBlockSize, LayerBlockCount,
// LayerBlockKind, LayerBlockLength (lengths or data that do not unpack
// exactly), LayerBlockOutside (more blocks than are left).
DocFileCode ReadStoreBlocks(ByteReader& in, CBlockImage& store, bool forMask);
// Writes a store's blocks: each run of blocks without memory as one kind-2
// chunk, runs of committed blocks as kind-1 chunks of at most 64 blocks.
// Ok; ShortWrite; NoMemory.
WriteCode WriteStoreBlocks(ByteWriter& out, const CBlockImage& store, bool forMask);

// The preview of a document file: its header, then the thumbnail chunk when
// one comes before any layer. Ok, the open codes, Tag for a file that is no
// document or has no thumbnail chunk first, or the image block's code.
BlockReadCode ReadDocumentThumbnail(const std::string& path, TMTC& image);
BlockReadCode ReadDocumentThumbnail(ByteReader& in, TMTC& image);

} // namespace morvane
