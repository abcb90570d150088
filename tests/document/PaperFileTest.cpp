// Document files: the reader over files built here (every rule and hostile
// field with its code and message), the round trip of a document that
// varies every attribute, and saves that fail without touching the old file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "LivePaper.h"
#include "document/CMaskMngr.h"
#include "document/PaperFile.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/EventRecorder.h"
#include "files/ByteStream.h"
#include "files/DocumentFile.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"
#include "storage/Compression.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

using support::Bytes;
using testing_layers::Live;
using testing_layers::StateOf;
using testing_layers::WithoutIds;
using testing_layers::PaperState;

// A document file put together chunk by chunk.
struct FileBuilder {
    Bytes bytes;

    explicit FileBuilder(int32_t w = 100, int32_t h = 70, void (*edit)(SDocumentHeader&) = nullptr)
    {
        SDocumentHeader header;
        header.width = w;
        header.height = h;
        header.resolution = 72;
        header.flags = SDocumentHeader::kLayerNameValid;
        header.layerNameNext = 7;
        if (edit)
            edit(header);
        bytes.resize(SDocumentHeader::kBytes);
        header.Encode(bytes.data());
    }
    FileBuilder& Layer(const SClipLayerAttr& attr, const std::string& name = "abcde", uint32_t tag = kTagLayer)
    {
        MemoryWriter out;
        EXPECT_EQ(WriteLayerHead(out, attr, name, tag), WriteCode::Ok);
        bytes.insert(bytes.end(), out.Bytes().begin(), out.Bytes().end());
        return *this;
    }
    // A block chunk: kind 2 with count entries of value, or kind 1 with the
    // given data (compressed as they are unless packed is given).
    FileBuilder& Blocks(uint8_t kind, int32_t count, uint32_t value, int32_t side = 32, uint32_t tag = kTagLayerBlocks,
                        const Bytes* packed = nullptr, uint32_t unpacked = 0)
    {
        Bytes data;
        if (kind == 2) {
            for (int32_t i = 0; i < count; ++i)
                data.insert(data.end(), {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
        } else if (packed) {
            data = *packed;
        } else {
            const Bytes plain(size_t(side) * side * (side == 32 ? 4 : 1) * size_t(count), uint8_t(value));
            MemoryCompressSink sink;
            EXPECT_TRUE(Compress(plain, sink, 3));
            data.assign(sink.Data().begin(), sink.Data().end());
            unpacked = uint32_t(plain.size());
        }
        const uint32_t packedLength = kind == 1 ? uint32_t(data.size()) : 0;
        while (data.size() % 4)
            data.push_back(0);
        uint8_t head[40] = {};
        le::Put32(head, tag);
        le::Put32(head + 4, uint32_t(32 + data.size()));
        le::Put32(head + 8, uint32_t(side));
        le::Put32(head + 12, uint32_t(side));
        head[16] = kind;
        le::Put32(head + 20, uint32_t(count));
        le::Put32(head + 24, packedLength);
        le::Put32(head + 28, unpacked);
        bytes.insert(bytes.end(), head, head + 40);
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    FileBuilder& Chunk(const char (&tag)[5], uint32_t length, size_t actual = SIZE_MAX)
    {
        uint8_t head[8];
        le::Put32(head, le::Tag(tag));
        le::Put32(head + 4, length);
        bytes.insert(bytes.end(), head, head + 8);
        bytes.resize(bytes.size() + (actual == SIZE_MAX ? length : actual));
        return *this;
    }
};

SClipLayerAttr LayerOf(int32_t index, int32_t w, int32_t h, int mode = kModeNormal)
{
    SClipLayerAttr a;
    a.index = index;
    a.flags = SClipLayerAttr::kVisible | SClipLayerAttr::kDitherValid;
    a.mode = uint8_t(mode);
    a.modeClass = mode <= 3 ? 0 : 1;
    a.SetStore(w, h, 32);
    a.nominalWidth = w;
    a.nominalHeight = h;
    return a;
}

SClipLayerAttr MaskOf(int32_t w, int32_t h)
{
    SClipLayerAttr a;
    a.flags = SClipLayerAttr::kHasBlocks;
    a.mode = 0;
    a.SetStore(w, h, 64);
    return a;
}

SClipLayerAttr EmptyMask()
{
    SClipLayerAttr a = MaskOf(0, 0);
    a.flags = 0;
    return a;
}

// The 100 x 70 file of the format's example: one layer, its 4 x 3 blocks
// as one uniform chunk.
FileBuilder OneLayer(SClipLayerAttr attr = LayerOf(0, 100, 70))
{
    FileBuilder f;
    f.Layer(attr).Blocks(2, 12, 0x80402010u);
    return f;
}

struct Loaded {
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    RecordingDocumentHost host;
    TPaper paper{host};
    DocFileCode code;

    explicit Loaded(const Bytes& bytes)
    {
        EXPECT_TRUE(paper.NewPicture("before", false, false, 96, 30, 20, 30, 20));
        MemoryReader in(bytes);
        code = LoadDocumentFile(in, paper, "t.mci");
    }
    ~Loaded() { SetNotifier(previous); }
    bool Said(const std::string& part) const
    {
        for (const NotifiedMessage& m : notifier.messages)
            if (m.text.find(part) != std::string::npos)
                return true;
        return false;
    }
};

template <class Edit>
Bytes Patched(Bytes bytes, Edit edit)
{
    edit(bytes);
    return bytes;
}

// Offsets inside the first layer chunk of OneLayer.
constexpr size_t kLayer = SDocumentHeader::kBytes;
constexpr size_t kHead = kLayer + 8;
constexpr size_t kBlock = kLayer + 88; // after the 80-byte head and 8 of name
const char* const kLayerFailed = "レイヤの読み込みに失敗しました! ";
const char* const kMaskFailed = "マスクの読み込みに失敗しました! ";

TEST(DocumentFile, ReaderTable)
{
    const Bytes good = OneLayer().bytes;
    Bytes tooManyBlocks = OneLayer().bytes;
    FileBuilder overlong;
    overlong.Layer(LayerOf(0, 100, 70)).Blocks(2, 13, 0);
    FileBuilder unknownLast = OneLayer();
    unknownLast.Chunk("ABCD", 4);
    FileBuilder shortPixels;
    shortPixels.Layer(LayerOf(0, 32, 32)).Blocks(1, 1, 7, 32, kTagLayerBlocks, nullptr);
    shortPixels.bytes[kBlock + 28] ^= 4; // unpacked length no longer 4096
    FileBuilder garbage;
    const Bytes noise(64, 0x5A);
    garbage.Layer(LayerOf(0, 32, 32)).Blocks(1, 1, 0, 32, kTagLayerBlocks, &noise, 4096);
    FileBuilder wrongKind = OneLayer();
    wrongKind.bytes[kBlock + 16] = 3;
    FileBuilder zeroCount;
    zeroCount.Layer(LayerOf(0, 32, 32)).Blocks(2, 0, 0);
    FileBuilder maskAcross;
    SClipLayerAttr badMask = MaskOf(100, 70);
    badMask.blocksX = 1;
    maskAcross.Layer(LayerOf(0, 100, 70)).Blocks(2, 12, 0).Layer(badMask, "m", kTagMask);
    FileBuilder maskOk;
    maskOk.Layer(LayerOf(0, 100, 70)).Blocks(2, 12, 0).Layer(MaskOf(100, 70), "m", kTagMask);
    maskOk.Blocks(2, 4, 0x1FF, 64, kTagMaskBlocks);
    FileBuilder emptyMask(100, 70, [](SDocumentHeader& h) { h.currentMask = 0; });
    emptyMask.Layer(LayerOf(0, 100, 70)).Blocks(2, 12, 0).Layer(EmptyMask(), "空", kTagMask);
    SClipLayerAttr side32 = MaskOf(100, 70);
    side32.SetStore(100, 70, 32);
    FileBuilder maskSide;
    maskSide.Layer(LayerOf(0, 100, 70)).Blocks(2, 12, 0).Layer(side32, "m", kTagMask);
    FileBuilder tooManyMasks;
    tooManyMasks.Layer(LayerOf(0, 100, 70)).Blocks(2, 12, 0);
    for (int32_t i = 0; i <= CMaskMngr::kMaxMasks; ++i)
        tooManyMasks.Layer(EmptyMask(), "m", kTagMask);
    FileBuilder pastEnd = OneLayer();
    pastEnd.Chunk("ABCD", 400, 4);
    FileBuilder thumbLast = OneLayer();
    thumbLast.Chunk("MTNL", 4);
    FileBuilder blockLast = OneLayer();
    blockLast.Chunk("MBIM", 4);

    struct Row {
        const char* what;
        Bytes bytes;
        DocFileCode code;
        const char* message;
        std::function<void(Loaded&)> check;
    };
    const auto untouched = [](Loaded& l) {
        EXPECT_EQ(l.paper.Name, "before");
        EXPECT_EQ(l.paper.Width, 30);
        EXPECT_EQ(l.host.CountOf(RecordingDocumentHost::Call::BeginProgress), 0);
    };
    const Row rows[] = {
        {"the example file", good, DocFileCode::Ok, nullptr,
         [](Loaded& l) {
             ASSERT_EQ(l.paper.LayerCount(), 1);
             const CLayerData& layer = *l.paper.LayerAt(0);
             EXPECT_EQ(layer.Name, "abcde");
             EXPECT_EQ(layer.Store->CommittedBytes(), 0);
             EXPECT_EQ(layer.Store->GetPixel(99, 69), 0x80402010u);
             EXPECT_EQ(l.paper.Width, 100);
             EXPECT_EQ(l.paper.Layers().NameCounter, 7);
             EXPECT_EQ(l.paper.Name, "t.mci");
         }},
        {"width 10001", FileBuilder(10001, 70).bytes, DocFileCode::PictureSize, nullptr, untouched},
        {"width 0", FileBuilder(0, 70).bytes, DocFileCode::PictureSize, nullptr, untouched},
        {"version 2", FileBuilder(10, 10, [](SDocumentHeader& h) { h.version = 2; }).bytes, DocFileCode::Version,
         nullptr, untouched},
        {"another tag", Patched(good, [](Bytes& b) { b[0] = 'X'; }), DocFileCode::Tag, nullptr, untouched},
        {"header length", Patched(good, [](Bytes& b) { b[4] = 40; }), DocFileCode::HeaderSize, nullptr, untouched},
        {"short header", Bytes(good.begin(), good.begin() + 30), DocFileCode::ShortRead, nullptr, untouched},
        {"mode 5 of class 1", OneLayer(LayerOf(0, 100, 70, 5)).bytes, DocFileCode::Ok, nullptr,
         [](Loaded& l) { EXPECT_EQ(l.paper.LayerAt(0)->Mode, 5); }},
        {"class 2", Patched(OneLayer(LayerOf(0, 100, 70, 5)).bytes, [](Bytes& b) { b[kHead + 54] = 2; }),
         DocFileCode::Version, kLayerFailed, nullptr},
        {"mode 22", Patched(good, [](Bytes& b) { b[kHead + 6] = 22; }), DocFileCode::Version, kLayerFailed, nullptr},
        {"no layer", FileBuilder().bytes, DocFileCode::Ok, nullptr,
         [](Loaded& l) {
             ASSERT_EQ(l.paper.LayerCount(), 1);
             EXPECT_EQ(l.paper.LayerAt(0)->Mode, kModeNormal);
             EXPECT_TRUE(l.paper.LayerAt(0)->Visible);
             EXPECT_EQ(l.paper.LayerAt(0)->Store->Width, 100);
         }},
        {"unknown last chunk", unknownLast.bytes, DocFileCode::Tag,
         "1個の未知のデータブロックを無視しました!  (id = ABCD)",
         [](Loaded& l) {
             EXPECT_TRUE(l.Said("読み込み中にエラーが検出されました! (err=16)"));
             EXPECT_EQ(l.paper.LayerCount(), 1);
         }},
        {"thumbnail last", thumbLast.bytes, DocFileCode::ThumbnailSkipped, "(err=19)", nullptr},
        {"block chunk last", blockLast.bytes, DocFileCode::BlockSkipped, "(err=2)", nullptr},
        {"layer length below 72", Patched(good, [](Bytes& b) { b[kLayer + 4] = 40; }), DocFileCode::ShortRead,
         kLayerFailed, nullptr},
        {"index past the stack", Patched(good, [](Bytes& b) { b[kHead] = 1; }), DocFileCode::CannotAddLayer,
         kLayerFailed, [](Loaded& l) { EXPECT_EQ(l.paper.LayerCount(), 1); }},
        {"store beyond the limits", OneLayer(LayerOf(0, 40000, 70)).bytes, DocFileCode::CannotAddLayer, kLayerFailed,
         nullptr},
        {"blocks across wrong", Patched(good, [](Bytes& b) { b[kHead + 16] = 3; }), DocFileCode::LayerBlockSize,
         kLayerFailed, nullptr},
        {"block side 16", Patched(good, [](Bytes& b) { b[kBlock + 8] = 16; }), DocFileCode::LayerBlockSize,
         kLayerFailed, nullptr},
        {"count past the blocks left", overlong.bytes, DocFileCode::LayerBlockOutside, kLayerFailed,
         [](Loaded& l) { EXPECT_EQ(l.paper.LayerCount(), 1); }},
        {"count 0", zeroCount.bytes, DocFileCode::LayerBlockCount, kLayerFailed, nullptr},
        {"kind 3", wrongKind.bytes, DocFileCode::LayerBlockKind, kLayerFailed, nullptr},
        {"unpacked length not 4096 a block", shortPixels.bytes, DocFileCode::LayerBlockLength, kLayerFailed,
         nullptr},
        {"data that do not unpack", garbage.bytes, DocFileCode::LayerBlockLength, kLayerFailed, nullptr},
        {"block chunk cut short", Bytes(good.begin(), good.end() - 8), DocFileCode::ShortRead, kLayerFailed,
         nullptr},
        {"chunk past the end", pastEnd.bytes, DocFileCode::PastEnd, nullptr, nullptr},
        {"mask blocks across wrong", maskAcross.bytes, DocFileCode::MaskBlockLength, kMaskFailed, nullptr},
        {"a mask loaded; no current mask selects a new empty one", maskOk.bytes, DocFileCode::Ok, nullptr,
         [](Loaded& l) {
             const CMaskMngr& masks = l.paper.Masks();
             ASSERT_EQ(masks.Count(), 2);
             EXPECT_EQ(masks.At(0)->ValueAt(99, 69), 0xFF);
             EXPECT_EQ(masks.Current(), 1);
             EXPECT_FALSE(masks.HasSelection());
         }},
        {"an empty mask has no store", emptyMask.bytes, DocFileCode::Ok, nullptr,
         [](Loaded& l) {
             ASSERT_EQ(l.paper.Masks().Count(), 1);
             EXPECT_EQ(l.paper.Masks().At(0)->name, "空");
             EXPECT_FALSE(l.paper.Masks().At(0)->pixels);
         }},
        {"mask block side 32", maskSide.bytes, DocFileCode::MaskBlockSize, kMaskFailed, nullptr},
        {"mask past the list's bound", tooManyMasks.bytes, DocFileCode::CannotAddMask, kMaskFailed,
         [](Loaded& l) { EXPECT_EQ(l.paper.Masks().Count(), CMaskMngr::kMaxMasks); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Loaded l(row.bytes);
        const std::string code = "(err=" + std::to_string(CodeNumber(row.code)) + ")";
        if (row.message == kLayerFailed || row.message == kMaskFailed) {
            // A chunk that fails is reported by itself; the load goes on.
            EXPECT_TRUE(l.Said(row.message + code));
        } else {
            EXPECT_EQ(CodeNumber(l.code), CodeNumber(row.code));
            if (row.message) {
                EXPECT_TRUE(l.Said(row.message));
            }
        }
        if (row.check)
            row.check(l);
    }
}

TEST(DocumentFile, AFiveCharacterNameTakesEightBytes)
{
    const SClipLayerAttr attr = LayerOf(0, 10, 10);
    MemoryWriter out;
    ASSERT_EQ(WriteLayerHead(out, attr, "abcde"), WriteCode::Ok);
    ASSERT_EQ(out.Bytes().size(), 88u);
    EXPECT_EQ(LayerHeadSize("abcde"), 88u);
    EXPECT_EQ(le::U32(&out.Bytes()[4]), 80u);
    EXPECT_EQ(le::U16(&out.Bytes()[60]), 6u);
    EXPECT_EQ(Bytes(out.Bytes().begin() + 80, out.Bytes().end()), (Bytes{'a', 'b', 'c', 'd', 'e', 0, 0, 0}));
    // Mode 5 writes 1 in the word at 62.
    SClipLayerAttr mode5 = attr;
    mode5.mode = 5;
    mode5.modeClass = 1;
    uint8_t raw[SClipLayerAttr::kBytes];
    mode5.Encode(raw);
    EXPECT_EQ(le::U16(raw + 54), 1u);
    SClipLayerAttr back;
    back.Decode(raw);
    EXPECT_EQ(back.validate(0), DocFileCode::Ok);
}

TEST(DocumentFile, NamesAreCutAndTheCurrentIndicesClamped)
{
    FileBuilder f(100, 70, [](SDocumentHeader& h) {
        h.currentLayer = 9;
        h.currentMask = 5;
        h.flags |= SDocumentHeader::kSelectionUsed;
    });
    f.Layer(LayerOf(0, 100, 70), std::string(300, 'x')).Blocks(2, 12, 0);
    f.Layer(MaskOf(100, 70), "m", kTagMask).Blocks(2, 4, 0, 64, kTagMaskBlocks);
    Loaded l(f.bytes);
    EXPECT_EQ(l.code, DocFileCode::Ok);
    EXPECT_EQ(l.paper.LayerAt(0)->Name, std::string(255, 'x'));
    EXPECT_EQ(l.paper.CurrentLayer(), 0);
    // A current mask outside the list: a new empty mask is selected.
    EXPECT_EQ(l.paper.Masks().Count(), 2);
    EXPECT_EQ(l.paper.Masks().Current(), 1);
    EXPECT_FALSE(l.paper.Masks().HasSelection());
    EXPECT_TRUE(l.paper.SelectionUsed);
}

TEST(DocumentFile, ADecompressionBombEndsItsChunkWithoutMemory)
{
    // 2048 blocks of zeros compress to almost nothing.
    FileBuilder f(100, 70);
    f.Layer(LayerOf(0, 32 * 128, 32 * 64)).Blocks(1, 8192, 1);
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    RecordingDocumentHost host;
    TPaper paper(host);
    DocFileCode code;
    {
        ScopedMemoryLimit limit(uint64_t(4) << 20);
        MemoryReader in(f.bytes);
        code = LoadDocumentFile(in, paper, "bomb.mci");
    }
    SetNotifier(previous);
    // The layer's chunk ends with 1; its block chunk is then passed over.
    EXPECT_EQ(code, DocFileCode::BlockSkipped);
    EXPECT_TRUE(std::any_of(notifier.messages.begin(), notifier.messages.end(), [](const NotifiedMessage& m) {
        return m.text == "レイヤの読み込みに失敗しました! (err=1)";
    }));
    ASSERT_EQ(paper.LayerCount(), 1);
    EXPECT_LE(paper.LayerAt(0)->Store->CommittedBytes(), int64_t(4) << 20);
}

// A document that varies every attribute the file keeps.
void Vary(Live& live)
{
    TPaper& p = *live;
    for (int mode = 0; mode < 22; ++mode) {
        ASSERT_TRUE(p.AddLayer(p.LayerCount(), 48, 36, mode % 3 != 0, 10 * mode, mode)) << mode;
    }
    CLayerData& a = *p.LayerAt(4);
    a.Name = "日本語の名前";
    ASSERT_TRUE(p.SetLayerProtectAlpha(4, true));
    ASSERT_TRUE(p.SetLayerDither(5, true, 77));
    p.LayerAt(5)->DitherSeed.Value = 0xDEADBEEF;
    ASSERT_TRUE(p.LinkLayer(7, true));
    ASSERT_TRUE(p.LinkLayer(8, true));
    ASSERT_TRUE(p.LinkLayer(8, true));
    p.LayerAt(6)->Store->DefaultUniform = 0x11223344;
    ASSERT_TRUE(p.SetPaperColour(0x00C0D0E0));
    p.CheckerTransparency = true;
    p.Resolution = 350;
    p.Layers().NameCounter = 41;
    ASSERT_TRUE(p.SelectLayer(3));
    // Masks: an empty first one, one larger than the picture and placed off
    // it with committed and uniform blocks, a small one, the second current.
    CMaskMngr& masks = p.Masks();
    masks.At(0)->name = "選択範囲なし";
    auto large = std::make_unique<CMaskData>("日本語のマスク");
    large->pixels = std::make_unique<CBlockVCH>(150, 100);
    large->pixels->FillRect({3, 4, 20, 10}, 200);
    large->pixels->FillRect({64, 0, 64, 64}, 77);
    large->offsetX = 30;
    large->offsetY = -5;
    ASSERT_EQ(masks.Insert(1, std::move(large)), 1);
    auto small = std::make_unique<CMaskData>(masks.NextName());
    small->pixels = std::make_unique<CBlockVCH>(10, 10);
    small->pixels->FillRect({0, 0, 10, 10}, 255);
    small->offsetX = -7;
    small->offsetY = -8;
    ASSERT_EQ(masks.Insert(2, std::move(small)), 2);
    masks.NextName();
    ASSERT_TRUE(masks.SetCurrent(1));
    p.SelectionBorderShown = false;
    p.SelectionUsed = true;
}

Bytes Saved(TPaper& paper)
{
    MemoryWriter out;
    EXPECT_EQ(SaveDocumentFile(out, paper), DocFileCode::Ok);
    return out.Bytes();
}

TEST(DocumentFile, ASavedDocumentLoadsAndSavesToTheSameBytes)
{
    Live live;
    Vary(live);
    const Bytes first = Saved(*live);
    RecordingDocumentHost host;
    TPaper loaded(host);
    MemoryReader in(first);
    ASSERT_EQ(LoadDocumentFile(in, loaded, "a.mci"), DocFileCode::Ok);
    EXPECT_TRUE(WithoutIds(StateOf(*live)) == WithoutIds(StateOf(loaded)))
        << testing_layers::Difference(WithoutIds(StateOf(*live)), WithoutIds(StateOf(loaded)));
    EXPECT_EQ(loaded.CurrentLayer(), 3);
    EXPECT_EQ(loaded.Resolution, 350);
    EXPECT_TRUE(loaded.CheckerTransparency);
    EXPECT_EQ(loaded.Layers().NameCounter, 41);
    EXPECT_EQ(loaded.LayerAt(4)->Name, "日本語の名前");
    EXPECT_EQ(loaded.LayerAt(5)->DitherSeed.Value, 0xDEADBEEFu);
    EXPECT_EQ(loaded.LayerAt(6)->Store->DefaultUniform, 0x11223344u);
    EXPECT_EQ(loaded.LayerAt(2)->Store->Width, 60); // larger than the picture, offset
    for (int32_t i = 0; i < loaded.LayerCount(); ++i)
        EXPECT_EQ(loaded.LayerAt(i)->Store->CommittedBytes(), live->LayerAt(i)->Store->CommittedBytes()) << i;
    // The masks: names, rectangles, bytes, current index and flags are in
    // the state compared above; the stores keep their uniform blocks.
    const CMaskMngr& masks = loaded.Masks();
    ASSERT_EQ(masks.Count(), 3);
    EXPECT_EQ(masks.Current(), 1);
    EXPECT_EQ(masks.NameCounter(), live->Masks().NameCounter());
    EXPECT_FALSE(masks.At(0)->pixels);
    EXPECT_EQ(masks.At(1)->name, "日本語のマスク");
    EXPECT_EQ(masks.At(1)->Rect(), (EdgeRect{-30, 5, 120, 105}));
    EXPECT_EQ(masks.At(1)->ValueAt(-27, 9), 200);
    EXPECT_EQ(masks.At(2)->Rect(), (EdgeRect{7, 8, 17, 18}));
    for (int32_t i = 1; i < 3; ++i)
        EXPECT_EQ(masks.At(i)->pixels->CommittedBytes(), live->Masks().At(i)->pixels->CommittedBytes()) << i;
    EXPECT_FALSE(loaded.SelectionBorderShown);
    EXPECT_TRUE(loaded.SelectionUsed);
    EXPECT_EQ(Saved(loaded), first);
    // The preview reads the header and the thumbnail chunk only.
    TMTC preview;
    MemoryReader head(std::span<const uint8_t>(first.data(), 4096));
    ASSERT_EQ(ReadDocumentThumbnail(head, preview), BlockReadCode::Ok);
    EXPECT_EQ(preview.Width, 48);
    EXPECT_EQ(preview.Height, 36);
}

// A saved document opened again goes on recording where its file stopped:
// painted on, its recording replays to its picture, and undo and redo of
// what was painted after the open still work.
TEST(DocumentFile, AReopenedDocumentGoesOnRecordingItsStream)
{
    const support::TempFolder folder;
    Live live;
    ASSERT_EQ(SaveDocumentFile(folder / "a.mci", *live), DocFileCode::Ok);
    ASSERT_TRUE(live.Draw({{5, 5, 1.0f}, {30, 30, 0.5f}})); // the live stream stays usable after a save

    Live reopened(true);
    ASSERT_EQ(LoadDocumentFile(folder / "a.mci", *reopened), DocFileCode::Ok);
    CEventMngr& events = *reopened->EventManager();
    EXPECT_EQ(events.State(), EventMngrState::Recording);
    ASSERT_TRUE(reopened.Draw({{40, 2, 0.8f}, {3, 30, 1.0f}}));
    int32_t layer = -1;
    ExtentRect rect{};
    const PaperState painted = WithoutIds(StateOf(*reopened));
    ASSERT_TRUE(reopened->Undo(layer, rect));
    ASSERT_TRUE(reopened->Redo(layer, rect));
    EXPECT_TRUE(WithoutIds(StateOf(*reopened)) == painted);
    const PaperState replayed = testing_layers::SavedAndReplayed(*reopened, folder / "a.vd4");
    EXPECT_TRUE(replayed == painted) << testing_layers::Difference(replayed, painted);
}

// A file without a recording: the recording starts from a snapshot of the
// loaded picture, which replays equal to it field for field, and which the
// render mode refuses as a recording with images.
TEST(DocumentFile, AFileWithoutARecordingStartsFromASnapshot)
{
    const support::TempFolder folder;
    Live live;
    Vary(live);
    live->EventManager()->Reset();
    ASSERT_EQ(SaveDocumentFile(folder / "b.mci", *live), DocFileCode::Ok);

    Live reopened(true);
    ASSERT_EQ(LoadDocumentFile(folder / "b.mci", *reopened), DocFileCode::Ok);
    EXPECT_TRUE(reopened->EventManager()->IsRecordingWithEvents());
    EXPECT_EQ(reopened->CurrentLayer(), 3);
    EXPECT_EQ(reopened->UndoManager()->UndoCount(), 0);
    // The snapshot alone replays to the loaded document, masks included.
    const PaperState loadedState = WithoutIds(StateOf(*reopened));
    const PaperState snapshot =
        testing_layers::SavedAndReplayed(*reopened, folder / "c.vd4", PlaybackMode::Interactive);
    EXPECT_TRUE(snapshot == loadedState) << testing_layers::Difference(snapshot, loadedState);
    ASSERT_EQ(snapshot.masks.size(), 3u);
    EXPECT_EQ(snapshot.currentMask, 1);
    ASSERT_TRUE(reopened.Draw({{40, 2, 0.8f}, {3, 30, 1.0f}}));
    const PaperState painted = WithoutIds(StateOf(*reopened));
    const std::string events = folder / "b.vd4";
    const PaperState replayed = testing_layers::SavedAndReplayed(*reopened, events, PlaybackMode::Interactive);
    EXPECT_TRUE(replayed == painted) << testing_layers::Difference(replayed, painted);

    RecordingDocumentHost host;
    TPaper player(host);
    PaperPlaybackTarget target(player);
    CEventPlayer render(*player.EventManager(), target);
    EXPECT_EQ(render.Open(events, PlaybackMode::Render), CEventPlayer::kOpenImages);
}

// A document that records nothing (the export run) passes over the file's
// recording and still gets every layer.
TEST(DocumentFile, ADocumentWithoutARecorderSkipsTheRecording)
{
    const support::TempFolder folder;
    Live live;
    ASSERT_EQ(SaveDocumentFile(folder / "a.mci", *live), DocFileCode::Ok);
    RecordingDocumentHost host;
    TPaper quiet(host, {}, std::make_unique<NullEventRecorder>());
    ASSERT_EQ(LoadDocumentFile(folder / "a.mci", quiet), DocFileCode::Ok);
    EXPECT_TRUE(WithoutIds(StateOf(quiet)) == WithoutIds(StateOf(*live)));
}

TEST(DocumentFile, AFailedSaveLeavesTheOldFile)
{
    const support::TempFolder folder;
    Live live;
    const std::string path = folder / "a.mci";
    support::WriteBytes(path, Bytes{1, 2, 3});
    chmod(path.c_str(), 0640);
    {
        ScopedMemoryLimit limit(0);
        EXPECT_EQ(SaveDocumentFile(path, *live), DocFileCode::NoMemory);
    }
    const std::string locked = folder / "locked";
    std::filesystem::create_directory(locked);
    support::WriteBytes(locked + "/b.mci", Bytes{4});
    chmod(locked.c_str(), 0555);
    const bool rootIgnoresModes = ::access(locked.c_str(), W_OK) == 0;
    if (!rootIgnoresModes) {
        EXPECT_EQ(SaveDocumentFile(locked + "/b.mci", *live), DocFileCode::CannotOpen);
        EXPECT_EQ(support::ReadBytes(locked + "/b.mci"), Bytes{4});
    }
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(SaveDocumentFile(folder / "missing/c.mci", *live), DocFileCode::CannotOpen);
    EXPECT_EQ(support::ReadBytes(path), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
    // A save that works keeps the old permission bits and writes through a link.
    const std::string link = folder / "link.mci";
    std::filesystem::create_symlink(path, link);
    ASSERT_EQ(SaveDocumentFile(link, *live), DocFileCode::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_GT(support::ReadBytes(path).size(), 100u);
}

} // namespace
} // namespace morvane
