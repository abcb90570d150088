#include "files/DocumentFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/CodePage.h"
#include "files/ImageBlock.h"
#include "storage/CBlockImage.h"
#include "storage/Compression.h"
#include "storage/SizeLimits.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr uint32_t kHeaderLength = 48;
constexpr int kBlockHead = 40;            // a block chunk's head with its tag and length
constexpr uint32_t kBlockHeadRest = 32;   // what its length counts before the data
constexpr int32_t kBlocksPerRun = 64;     // committed blocks compressed together
constexpr uint8_t kKindPixels = 1, kKindUniform = 2;
constexpr int32_t kPreviewSide = 256;

uint64_t Padded4(uint64_t n) { return (n + 3) & ~uint64_t(3); }

int32_t BlocksOver(int32_t side, int32_t blockSide) { return (side + blockSide - 1) / blockSide; }

// The per-kind codes of the block chunks of a layer or a mask.
struct SBlockRules {
    uint32_t tag;
    int32_t side;
    DocFileCode size, count, kind, length, outside;
};
constexpr SBlockRules kLayerRules{kTagLayerBlocks,           SClipLayerAttr::kLayerBlockSide,
                                  DocFileCode::LayerBlockSize, DocFileCode::LayerBlockCount,
                                  DocFileCode::LayerBlockKind, DocFileCode::LayerBlockLength,
                                  DocFileCode::LayerBlockOutside};
constexpr SBlockRules kMaskRules{kTagMaskBlocks,           SClipLayerAttr::kMaskBlockSide,
                                 DocFileCode::MaskBlockSize, DocFileCode::MaskBlockCount,
                                 DocFileCode::MaskBlockKind, DocFileCode::MaskBlockLength,
                                 DocFileCode::MaskBlockOutside};

struct SBlockChunkHead {
    uint32_t tag = 0, length = 0;
    int32_t blockWidth = 0, blockHeight = 0;
    uint8_t kind = 0;
    int32_t count = 0;
    uint32_t packedLength = 0, unpackedLength = 0;

    void Decode(const uint8_t* p)
    {
        tag = le::U32(p);
        length = le::U32(p + 4);
        blockWidth = le::I32(p + 8);
        blockHeight = le::I32(p + 12);
        kind = p[16];
        count = le::I32(p + 20);
        packedLength = le::U32(p + 24);
        unpackedLength = le::U32(p + 28);
    }
    void Encode(uint8_t* p) const
    {
        std::memset(p, 0, kBlockHead);
        le::Put32(p, tag);
        le::Put32(p + 4, length);
        le::Put32(p + 8, uint32_t(blockWidth));
        le::Put32(p + 12, uint32_t(blockHeight));
        p[16] = kind;
        le::Put32(p + 20, uint32_t(count));
        le::Put32(p + 24, packedLength);
        le::Put32(p + 28, unpackedLength);
    }
};

// Where the next block of a store goes, row-major.
struct SBlockCursor {
    CBlockImage& store;
    int64_t next = 0;
    int64_t Total() const { return int64_t(store.BlocksX) * store.BlocksY; }
    int64_t Left() const { return Total() - next; }
    SBlock& At(int64_t i) const { return store.Blocks[next + i]; }
};

// Uniform values of a mask are its bytes; entries keep them in the low byte.
uint32_t UniformOf(const CBlockImage& store, uint32_t entry)
{
    return store.BytesPerPixel == 4 ? entry : (entry & 0xFFu);
}

DocFileCode ReadUniformBlocks(ByteReader& in, SBlockCursor& cursor, const SBlockChunkHead& head,
                              const SBlockRules& rules)
{
    const uint64_t bytes = uint64_t(head.count) * 4;
    if (bytes > head.length - kBlockHeadRest)
        return rules.length;
    std::vector<uint8_t> entries(bytes);
    if (!in.Read(entries.data(), entries.size()))
        return DocFileCode::ShortRead;
    for (int32_t i = 0; i < head.count; ++i) {
        SBlock& block = cursor.At(i);
        if (block.Committed())
            cursor.store.DecommitBlock(block);
        block.Uniform = UniformOf(cursor.store, le::U32(&entries[size_t(i) * 4]));
    }
    return DocFileCode::Ok;
}

DocFileCode ReadPixelBlocks(ByteReader& in, SBlockCursor& cursor, const SBlockChunkHead& head,
                            const SBlockRules& rules)
{
    const uint64_t blockBytes = uint64_t(cursor.store.BlockBytes);
    if (uint64_t(head.unpackedLength) != blockBytes * uint64_t(head.count) || head.packedLength < 1 ||
        head.packedLength > head.length - kBlockHeadRest)
        return rules.length;
    if (head.packedLength > in.Remaining())
        return DocFileCode::ShortRead;
    std::vector<uint8_t> packed(head.packedLength);
    if (!in.Read(packed.data(), packed.size()))
        return DocFileCode::ShortRead;
    bool refused = false;
    const bool unpacked = DecompressPieces(packed, size_t(blockBytes), size_t(head.count), [&](size_t i) -> uint8_t* {
        SBlock& block = cursor.At(int64_t(i));
        if (!block.Committed() && !cursor.store.TakeBlockMemory(block)) {
            refused = true;
            return nullptr;
        }
        return block.Data;
    });
    if (refused)
        return DocFileCode::NoMemory;
    return unpacked ? DocFileCode::Ok : rules.length;
}

DocFileCode ReadBlockChunk(ByteReader& in, SBlockCursor& cursor, const SBlockRules& rules)
{
    uint8_t raw[kBlockHead];
    if (!in.Read(raw, sizeof raw))
        return DocFileCode::ShortRead;
    SBlockChunkHead head;
    head.Decode(raw);
    const uint64_t end = in.Position() - kBlockHeadRest + head.length;
    if (head.tag != rules.tag)
        return DocFileCode::Tag;
    if (head.length < kBlockHeadRest || head.length - kBlockHeadRest > in.Remaining())
        return DocFileCode::ShortRead;
    if (head.blockWidth != rules.side || head.blockHeight != rules.side)
        return rules.size;
    if (head.count < 1)
        return rules.count;
    if (head.count > cursor.Left())
        return rules.outside;
    DocFileCode code;
    if (head.kind == kKindPixels)
        code = ReadPixelBlocks(in, cursor, head, rules);
    else if (head.kind == kKindUniform)
        code = ReadUniformBlocks(in, cursor, head, rules);
    else
        code = rules.kind;
    if (code != DocFileCode::Ok)
        return code;
    cursor.next += head.count;
    return in.Seek(end) ? DocFileCode::Ok : DocFileCode::ShortRead;
}

// Writes one chunk of head and data, padded to 4.
bool WriteBlockChunk(ByteWriter& out, SBlockChunkHead head, std::span<const uint8_t> data)
{
    const uint64_t padded = Padded4(data.size());
    head.length = uint32_t(kBlockHeadRest + padded);
    uint8_t raw[kBlockHead];
    head.Encode(raw);
    return out.Write(raw, sizeof raw) && out.Write(data.data(), data.size()) &&
           out.WriteZeros(size_t(padded - data.size()));
}

class StoreWriter {
public:
    StoreWriter(ByteWriter& out, const CBlockImage& store, const SBlockRules& rules)
        : out_(out), store_(store), rules_(rules)
    {
    }

    WriteCode Run()
    {
        const int64_t total = int64_t(store_.BlocksX) * store_.BlocksY;
        for (int64_t i = 0; i < total;) {
            const bool committed = store_.Blocks[i].Committed();
            int64_t n = 1;
            while (i + n < total && store_.Blocks[i + n].Committed() == committed &&
                   (!committed || n < kBlocksPerRun))
                ++n;
            if (const WriteCode code = committed ? Pixels(i, n) : Uniforms(i, n); code != WriteCode::Ok)
                return code;
            i += n;
        }
        return WriteCode::Ok;
    }

private:
    SBlockChunkHead HeadOf(uint8_t kind, int64_t count) const
    {
        SBlockChunkHead head;
        head.tag = rules_.tag;
        head.blockWidth = head.blockHeight = rules_.side;
        head.kind = kind;
        head.count = int32_t(count);
        return head;
    }

    WriteCode Uniforms(int64_t first, int64_t count)
    {
        std::vector<uint8_t> entries(size_t(count) * 4);
        for (int64_t i = 0; i < count; ++i)
            le::Put32(&entries[size_t(i) * 4], store_.Blocks[first + i].Uniform);
        return WriteBlockChunk(out_, HeadOf(kKindUniform, count), entries) ? WriteCode::Ok : WriteCode::ShortWrite;
    }

    WriteCode Pixels(int64_t first, int64_t count)
    {
        const size_t blockBytes = size_t(store_.BlockBytes);
        gathered_.resize(blockBytes * size_t(count));
        for (int64_t i = 0; i < count; ++i)
            std::memcpy(&gathered_[size_t(i) * blockBytes], store_.Blocks[first + i].Data, blockBytes);
        if (!Compress(gathered_, packed_, kCompressLevelDocument))
            return WriteCode::NoMemory;
        SBlockChunkHead head = HeadOf(kKindPixels, count);
        head.packedLength = uint32_t(packed_.Data().size());
        head.unpackedLength = uint32_t(gathered_.size());
        return WriteBlockChunk(out_, head, packed_.Data()) ? WriteCode::Ok : WriteCode::ShortWrite;
    }

    ByteWriter& out_;
    const CBlockImage& store_;
    const SBlockRules& rules_;
    std::vector<uint8_t> gathered_;
    MemoryCompressSink packed_;
};

} // namespace

// ---- header ---------------------------------------------------------------------------

void SDocumentHeader::Encode(uint8_t out[kBytes]) const
{
    std::memset(out, 0, kBytes);
    le::Put32(out, kTagDocument);
    le::Put32(out + 4, kHeaderLength);
    le::Put32(out + 8, uint32_t(width));
    le::Put32(out + 12, uint32_t(height));
    le::Put32(out + 16, uint32_t(version));
    le::Put32(out + 24, flags);
    le::Put32(out + 28, paperColour);
    le::Put16(out + 32, uint16_t(currentLayer));
    le::Put16(out + 34, uint16_t(currentMask));
    le::Put16(out + 36, resolution);
    le::Put16(out + 40, uint16_t(layerCount));
    le::Put16(out + 42, uint16_t(layerNameNext));
    le::Put16(out + 44, uint16_t(maskCount));
    le::Put16(out + 46, uint16_t(maskNameNext));
}

DocFileCode SDocumentHeader::Decode(const uint8_t in[kBytes])
{
    if (le::U32(in) != kTagDocument)
        return DocFileCode::Tag;
    if (le::U32(in + 4) != kHeaderLength)
        return DocFileCode::HeaderSize;
    width = le::I32(in + 8);
    height = le::I32(in + 12);
    version = le::I32(in + 16);
    flags = le::U32(in + 24);
    paperColour = le::U32(in + 28);
    currentLayer = le::I16(in + 32);
    currentMask = le::I16(in + 34);
    resolution = le::U16(in + 36);
    layerCount = le::I16(in + 40);
    layerNameNext = le::I16(in + 42);
    maskCount = le::I16(in + 44);
    maskNameNext = le::I16(in + 46);
    // A negative version is as unknown as one above 1.
    if (uint32_t(version) > 1)
        return DocFileCode::Version;
    if (!IsPictureSizeAllowed(width, height))
        return DocFileCode::PictureSize;
    return DocFileCode::Ok;
}

DocFileCode ReadDocumentHeader(ByteReader& in, SDocumentHeader& header)
{
    uint8_t raw[SDocumentHeader::kBytes];
    if (!in.Read(raw, sizeof raw))
        return DocFileCode::ShortRead;
    return header.Decode(raw);
}

// ---- layer head -----------------------------------------------------------------------

void SClipLayerAttr::Encode(uint8_t out[kBytes]) const
{
    std::memset(out, 0, kBytes);
    le::Put32(out, uint32_t(index));
    le::Put16(out + 4, flags);
    out[6] = mode;
    out[7] = opacity;
    le::Put32(out + 8, uint32_t(blockWidth));
    le::Put32(out + 12, uint32_t(blockHeight));
    le::Put32(out + 16, uint32_t(blocksX));
    le::Put32(out + 20, uint32_t(blocksY));
    le::Put32(out + 24, uint32_t(storeWidth));
    le::Put32(out + 28, uint32_t(storeHeight));
    le::Put32(out + 32, uint32_t(originX));
    le::Put32(out + 36, uint32_t(originY));
    le::Put32(out + 40, uint32_t(nominalWidth));
    le::Put32(out + 44, uint32_t(nominalHeight));
    le::Put32(out + 48, defaultPixel);
    le::Put16(out + 52, nameLength);
    le::Put16(out + 54, modeClass);
    out[56] = ditherDensity;
    le::Put16(out + 58, linkLevel);
    le::Put32(out + 60, ditherValue);
}

void SClipLayerAttr::Decode(const uint8_t in[kBytes])
{
    index = le::I32(in);
    flags = le::U16(in + 4);
    mode = in[6];
    opacity = in[7];
    blockWidth = le::I32(in + 8);
    blockHeight = le::I32(in + 12);
    blocksX = le::I32(in + 16);
    blocksY = le::I32(in + 20);
    storeWidth = le::I32(in + 24);
    storeHeight = le::I32(in + 28);
    originX = le::I32(in + 32);
    originY = le::I32(in + 36);
    nominalWidth = le::I32(in + 40);
    nominalHeight = le::I32(in + 44);
    defaultPixel = le::U32(in + 48);
    nameLength = le::U16(in + 52);
    modeClass = le::U16(in + 54);
    ditherDensity = in[56];
    linkLevel = le::U16(in + 58);
    ditherValue = le::U32(in + 60);
}

void SClipLayerAttr::SetStore(int32_t width, int32_t height, int32_t blockSide)
{
    storeWidth = width;
    storeHeight = height;
    blockWidth = blockHeight = blockSide;
    blocksX = BlocksOver(width, blockSide);
    blocksY = BlocksOver(height, blockSide);
}

namespace {
bool CoversStore(const SClipLayerAttr& a, int32_t side)
{
    return a.blockWidth == side && a.blockHeight == side && a.blocksX == BlocksOver(a.storeWidth, side) &&
           a.blocksY == BlocksOver(a.storeHeight, side);
}
} // namespace

DocFileCode SClipLayerAttr::validate(int32_t layers) const
{
    if (modeClass >= 2 || mode >= kModes)
        return DocFileCode::Version;
    if (!IsStoreSizeAllowed(storeWidth, storeHeight) || index < 0 || index > layers || layers >= 10000)
        return DocFileCode::CannotAddLayer;
    return CoversStore(*this, kLayerBlockSide) ? DocFileCode::Ok : DocFileCode::LayerBlockSize;
}

DocFileCode SClipLayerAttr::validateMask() const
{
    if (modeClass != 0)
        return DocFileCode::Version;
    // An empty mask has no store to describe.
    if (!(flags & kHasBlocks))
        return DocFileCode::Ok;
    if (!IsImageSizeAllowed(storeWidth, storeHeight))
        return DocFileCode::CannotMakeMask;
    if (blockWidth != kMaskBlockSide || blockHeight != kMaskBlockSide)
        return DocFileCode::MaskBlockSize;
    return CoversStore(*this, kMaskBlockSide) ? DocFileCode::Ok : DocFileCode::MaskBlockLength;
}

namespace {
std::string StoredName(const std::string& name)
{
    std::string stored = Utf8ToCp932(name);
    if (stored.size() > kMaxStoredName)
        stored.resize(kMaxStoredName);
    return stored;
}
} // namespace

uint64_t LayerHeadSize(const std::string& name)
{
    return 8 + SClipLayerAttr::kBytes + ((StoredName(name).size() + 4) & ~size_t(3));
}

WriteCode WriteLayerHead(ByteWriter& out, const SClipLayerAttr& attr, const std::string& name, uint32_t tag)
{
    const std::string stored = StoredName(name);
    const size_t padded = (stored.size() + 4) & ~size_t(3);
    SClipLayerAttr head = attr;
    head.nameLength = uint16_t(stored.size() + 1);
    uint8_t raw[8 + SClipLayerAttr::kBytes];
    le::Put32(raw, tag);
    le::Put32(raw + 4, uint32_t(SClipLayerAttr::kBytes + padded));
    head.Encode(raw + 8);
    const bool ok = out.Write(raw, sizeof raw) && out.Write(stored.data(), stored.size()) &&
                    out.WriteZeros(padded - stored.size());
    return ok ? WriteCode::Ok : WriteCode::ShortWrite;
}

DocFileCode ReadLayerName(ByteReader& in, uint64_t bytes, std::string& name)
{
    if (bytes > in.Remaining())
        return DocFileCode::ShortRead;
    std::string stored(size_t(bytes), '\0');
    if (!in.Read(stored.data(), stored.size()))
        return DocFileCode::ShortRead;
    stored.resize(std::min({stored.find('\0'), stored.size(), kMaxStoredName}));
    name = Cp932ToUtf8(stored);
    return DocFileCode::Ok;
}

// ---- blocks ---------------------------------------------------------------------------

DocFileCode ReadStoreBlocks(ByteReader& in, CBlockImage& store, bool forMask)
{
    const SBlockRules& rules = forMask ? kMaskRules : kLayerRules;
    if (!store.IsValid() || store.BlockWidth != rules.side)
        return rules.size;
    SBlockCursor cursor{store};
    while (cursor.Left() > 0)
        if (const DocFileCode code = ReadBlockChunk(in, cursor, rules); code != DocFileCode::Ok)
            return code;
    return DocFileCode::Ok;
}

WriteCode WriteStoreBlocks(ByteWriter& out, const CBlockImage& store, bool forMask)
{
    StoreWriter writer(out, store, forMask ? kMaskRules : kLayerRules);
    return writer.Run();
}

// ---- thumbnail ------------------------------------------------------------------------

BlockReadCode ReadDocumentThumbnail(ByteReader& in, TMTC& image)
{
    SDocumentHeader header;
    if (ReadDocumentHeader(in, header) != DocFileCode::Ok)
        return BlockReadCode::Tag;
    uint8_t tag[4];
    if (!in.Read(tag, sizeof tag) || le::U32(tag) != kTagThumbnail || !in.Seek(in.Position() - 4))
        return BlockReadCode::Tag;
    ImageBlockHead head;
    uint64_t length = 0;
    const ImageBlockRules rules{ThumbnailBytesPerPixel, kPreviewSide};
    return ReadImageBlockInto(in, rules, head, image, length);
}

BlockReadCode ReadDocumentThumbnail(const std::string& path, TMTC& image)
{
    return Guarded<BlockReadCode>([&] {
        FileReader in;
        if (const OpenCode opened = in.Open(path); opened != OpenCode::Ok)
            return Relay<BlockReadCode>(opened);
        return ReadDocumentThumbnail(in, image);
    });
}

} // namespace morvane
