// Nib (".psh") and brush (".pmt") preset files: round trips that rewrite to
// the same bytes, and hostile files that give their code and message and
// leave no half-read item behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "PresetFixture.h"
#include "codecs/CodePage.h"
#include "files/BrushPresetFile.h"
#include "files/NibPresetFile.h"

using namespace morvane;
using namespace morvane::testing;

namespace {

const std::string kPencilCp932 = "\x89\x94\x95\x4D"; // 鉛筆

bool Contains(const Bytes& bytes, const std::string& what)
{
    const Bytes needle(what.begin(), what.end());
    return std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) != bytes.end();
}

void Put32At(Bytes& b, size_t at, uint32_t v)
{
    le::Put32(b.data() + at, v);
}
uint32_t U32At(const Bytes& b, size_t at)
{
    return le::U32(b.data() + at);
}

std::string FailureText(const char* list, int code)
{
    return std::string(list) + "の読み込みに失敗しました! (err=" + std::to_string(code) + ")";
}

std::string PartialText(const char* list, int count)
{
    return std::to_string(count) + "個の" + list + "が読み込めませんでした！";
}

CPenShapeMngr NibList()
{
    CPenShapeMngr list;
    list.Add(RoundNib("鉛筆"));
    list.Add(BitmapNib("ペン先B"));
    list.Add(std::make_unique<CPenShapeObj>(AirMapRecord{}, NibRecord{}, false));
    list.Select(1);
    return list;
}

CPenMethodMngr BrushList()
{
    CPenMethodMngr list;
    auto pencil = Preset(PaintKind::Pencil4, "鉛筆", RoundNib("丸"));
    const TMTC icon = PatternIcon(128, 9);
    pencil->SetIcon(&icon);
    list.Add(std::move(pencil));

    auto water = Preset(PaintKind::WaterColor4, "水彩", BitmapNib("紙"));
    PenMethodBlock block = water->Block();
    block.method.exact = true;
    block.useGradation = true;
    block.method.effect2 = 40;
    block.brush.pressureSize = true;
    water->SetBlock(block);
    list.Add(std::move(water));

    auto dodge = Preset(PaintKind::Dodge4, "覆い焼き");
    dodge->SetNib(nullptr);
    list.Add(std::move(dodge));

    list.Select(1);
    list.SetAlternate(2, false);
    list.SetRemembered({2, 0, 1, 2, 1});
    return list;
}

template <typename List> WriteCode Write(const std::string& path, const List& list)
{
    if constexpr (std::is_same_v<List, CPenShapeMngr>)
        return WriteNibPresetFile(path, list);
    else
        return WriteBrushPresetFile(path, list);
}

template <typename List> Bytes FileOf(const List& list)
{
    TempFolder dir;
    EXPECT_EQ(Write(dir / "f", list), WriteCode::Ok);
    return ReadBytes(dir / "f");
}

struct ReadOutcome {
    int code;
    int count;
    std::vector<std::string> messages;
};

ReadOutcome ReadNibs(const Bytes& bytes, CPenShapeMngr* into = nullptr)
{
    CPenShapeMngr own;
    CPenShapeMngr& list = into ? *into : own;
    ScopedNotifier notifier;
    MemoryReader in(bytes);
    const int code = CodeNumber(ReadNibPresets(in, "x.psh", list, false, false));
    return {code, list.Count(), notifier.Texts()};
}

ReadOutcome ReadBrushes(const Bytes& bytes, CPenMethodMngr* into = nullptr)
{
    CPenMethodMngr own;
    CPenMethodMngr& list = into ? *into : own;
    ScopedNotifier notifier;
    MemoryReader in(bytes);
    const int code = CodeNumber(ReadBrushPresets(in, "x.pmt", list, false, false));
    return {code, list.Count(), notifier.Texts()};
}

// The first chunk of every file starts after the 32-byte header; its record
// after the chunk's 8-byte head.
constexpr size_t kChunk = 32, kRecord = 40;

// Where the image block after a one-item nib file's chunk starts.
size_t NibBlock(const Bytes& b)
{
    return kRecord + U32At(b, kChunk + 4);
}

struct HostileCase {
    const char* name;
    std::function<void(Bytes&)> mutate;
    int code;
};

} // namespace

TEST(NibPresetFile, RoundTripKeepsEveryItemAndRewritesTheSameBytes)
{
    TempFolder dir;
    const CPenShapeMngr list = NibList();
    ASSERT_EQ(WriteNibPresetFile(dir / "a.psh", list), WriteCode::Ok);
    EXPECT_TRUE(Contains(ReadBytes(dir / "a.psh"), kPencilCp932));

    CPenShapeMngr back;
    ScopedNotifier notifier;
    ASSERT_EQ(ReadNibPresetFile(dir / "a.psh", back, false, true), PresetReadCode::Ok);
    EXPECT_TRUE(notifier.notifier.messages.empty());
    ASSERT_EQ(back.Count(), 3);
    for (int32_t i = 0; i < 3; ++i)
        ExpectSameNib(list.Item(i), back.Item(i));
    EXPECT_EQ(back.Selected(), 1);
    EXPECT_EQ(back.FileName(), dir / "a.psh");
    EXPECT_TRUE(back.Modified());

    ASSERT_EQ(WriteNibPresetFile(dir / "b.psh", back), WriteCode::Ok);
    EXPECT_EQ(ReadBytes(dir / "b.psh"), ReadBytes(dir / "a.psh"));
    EXPECT_EQ(CodeNumber(WriteNibPresetFile(dir / "no/such/folder.psh", back)), 6);

    // Appending keeps what the list held, its selection and its file name.
    ASSERT_EQ(ReadNibPresetFile(dir / "b.psh", back, true, false), PresetReadCode::Ok);
    EXPECT_EQ(back.Count(), 6);
    EXPECT_EQ(back.Selected(), 1);
    EXPECT_EQ(back.FileName(), dir / "a.psh");
    ExpectSameNib(list.Item(1), back.Item(4));
}

TEST(BrushPresetFile, RoundTripKeepsEveryPresetAndRewritesTheSameBytes)
{
    TempFolder dir;
    const CPenMethodMngr list = BrushList();
    ASSERT_EQ(WriteBrushPresetFile(dir / "a.pmt", list), WriteCode::Ok);
    EXPECT_TRUE(Contains(ReadBytes(dir / "a.pmt"), kPencilCp932));

    CPenMethodMngr back;
    ScopedNotifier notifier;
    ASSERT_EQ(ReadBrushPresetFile(dir / "a.pmt", back, false, false), PresetReadCode::Ok);
    EXPECT_TRUE(notifier.notifier.messages.empty());
    ASSERT_EQ(back.Count(), 3);
    for (int32_t i = 0; i < 3; ++i)
        ExpectSamePreset(list.Item(i), back.Item(i));
    EXPECT_EQ(back.Selected(), 1);
    EXPECT_EQ(back.Alternate(), 2);
    EXPECT_TRUE(back.RememberedSet());
    EXPECT_EQ(back.RememberedIndexes(), list.RememberedIndexes());
    EXPECT_EQ(back.FileName(), dir / "a.pmt");

    ASSERT_EQ(WriteBrushPresetFile(dir / "b.pmt", back), WriteCode::Ok);
    EXPECT_EQ(ReadBytes(dir / "b.pmt"), ReadBytes(dir / "a.pmt"));
}

TEST(BrushPresetFile, RememberedIndexesAreStoredOneByteEachInTheirOrderAndClamped)
{
    CPenMethodMngr list = BrushList();
    list.SetRemembered({1, 300, 2, -1, 0}); // set straight: the writer must clamp
    const Bytes bytes = FileOf(list);
    // Stored as first, second, fifth, fourth, third.
    EXPECT_EQ(Bytes(bytes.begin() + 26, bytes.begin() + 31), (Bytes{1, 255, 0, 0, 2}));
    EXPECT_EQ(bytes[16], 3); // alternate and remembered indexes present
}

TEST(NibPresetFile, HostileFilesGiveTheirCodeAndMessage)
{
    const Bytes round = FileOf([] {
        CPenShapeMngr l;
        l.Add(RoundNib("x"));
        return l;
    }());
    const Bytes bitmap = FileOf([] {
        CPenShapeMngr l;
        l.Add(BitmapNib("y"));
        return l;
    }());
    const HostileCase roundCases[] = {
        {"wrong file tag", [](Bytes& b) { b[0] = 'X'; }, 16},
        {"header size 28", [](Bytes& b) { b[4] = 28; }, 17},
        {"file version 2", [](Bytes& b) { b[8] = 2; }, 12},
        {"no items", [](Bytes& b) { b[12] = 0; }, 37},
        {"chunk beyond the file", [](Bytes& b) { Put32At(b, kChunk + 4, U32At(b, kChunk + 4) + 1); }, 10},
        {"payload below the record", [](Bytes& b) { Put32At(b, kChunk + 4, 119); }, 11},
        {"name longer than the payload",
         [](Bytes& b) { le::Put16(b.data() + kRecord + 2, U32At(b, kChunk + 4) - 119); }, 11},
        {"item version 2", [](Bytes& b) { b[kRecord + 4] = 2; }, 12},
        {"unknown nib type", [](Bytes& b) { b[kRecord] = 7; }, 15},
    };
    const HostileCase bitmapCases[] = {
        {"image block tag", [](Bytes& b) { b[NibBlock(b)] = 'X'; }, 16},
        {"image block kind 3", [](Bytes& b) { b[NibBlock(b) + 8] = 3; }, 14},
        {"pixel format 9", [](Bytes& b) { b[NibBlock(b) + 10] = 9; }, 15},
        {"zero-sized bitmap", [](Bytes& b) { Put32At(b, NibBlock(b) + 24, 0); }, 15},
        {"oversized bitmap",
         [](Bytes& b) {
             Put32At(b, NibBlock(b) + 24, 4097);
             Put32At(b, NibBlock(b) + 28, 1);
             Put32At(b, NibBlock(b) + 36, 4097);
         },
         15},
        {"image block cut off", [](Bytes& b) { b.resize(b.size() - 8); }, 9},
        {"image block head cut off", [](Bytes& b) { b.resize(NibBlock(b) + 20); }, 8},
    };
    auto run = [](const Bytes& base, const HostileCase& c) {
        Bytes bytes = base;
        c.mutate(bytes);
        const ReadOutcome out = ReadNibs(bytes);
        EXPECT_EQ(out.code, c.code) << c.name;
        EXPECT_EQ(out.count, 0) << c.name;
        EXPECT_EQ(out.messages, std::vector<std::string>{FailureText(kNibListName, c.code)}) << c.name;
    };
    for (const HostileCase& c : roundCases)
        run(round, c);
    for (const HostileCase& c : bitmapCases)
        run(bitmap, c);

    TempFolder dir;
    CPenShapeMngr list;
    ScopedNotifier notifier;
    EXPECT_EQ(CodeNumber(ReadNibPresetFile(dir / "missing.psh", list, false, false)), 4);
    EXPECT_EQ(notifier.Texts(), std::vector<std::string>{FailureText(kNibListName, 4)});
}

TEST(NibPresetFile, RefusedItemsAreSkippedAndTheEndOfTheFileEndsTheRead)
{
    CPenShapeMngr three = NibList();
    const Bytes bytes = FileOf(three);

    // The bitmap item's pixel format is refused: the items around it load.
    Bytes refused = bytes;
    const size_t second = kChunk + 8 + U32At(bytes, kChunk + 4);
    const size_t block = second + 8 + U32At(bytes, second + 4);
    refused[block + 10] = 9;
    CPenShapeMngr list;
    ReadOutcome out = ReadNibs(refused, &list);
    EXPECT_EQ(out.code, 0);
    EXPECT_EQ(out.messages, std::vector<std::string>{PartialText(kNibListName, 1)});
    ASSERT_EQ(out.count, 2);
    ExpectSameNib(three.Item(2), list.Item(1));

    // A count of 40 over three items.
    Bytes counted = bytes;
    counted[12] = 40;
    out = ReadNibs(counted);
    EXPECT_EQ(out.code, 0);
    EXPECT_EQ(out.count, 3);
    EXPECT_EQ(out.messages, std::vector<std::string>{PartialText(kNibListName, 37)});
}

TEST(BrushPresetFile, HostileFilesGiveTheirCodeAndMessage)
{
    CPenMethodMngr one;
    one.Add(Preset(PaintKind::Pencil4, "p", BitmapNib("n")));
    const TMTC icon = PatternIcon(128, 1);
    one.Item(0)->SetIcon(&icon);
    const Bytes base = FileOf(one);
    auto iconAt = [](const Bytes& b) { return kRecord + U32At(b, kChunk + 4); };
    const HostileCase cases[] = {
        {"wrong file tag", [](Bytes& b) { b[0] = 'X'; }, 16},
        {"header size 20", [](Bytes& b) { b[4] = 20; }, 17},
        {"file version 2", [](Bytes& b) { b[8] = 2; }, 12},
        {"no presets", [](Bytes& b) { b[12] = 0; }, 37},
        {"chunk beyond the file", [](Bytes& b) { Put32At(b, kChunk + 4, uint32_t(b.size())); }, 10},
        {"short 72-byte record", [](Bytes& b) { Put32At(b, kChunk + 4, 40); }, 11},
        {"name longer than the payload", [](Bytes& b) { le::Put16(b.data() + kRecord + 2, 0x7FFF); }, 11},
        {"record version 2", [](Bytes& b) { b[kRecord + 4] = 2; }, 12},
        {"unknown render class", [](Bytes& b) { b[kRecord + 16] = 9; }, 15},
        {"icon block kind 0", [&](Bytes& b) { b[iconAt(b) + 8] = 0; }, 14},
        {"icon of 2000 x 1",
         [&](Bytes& b) {
             Put32At(b, iconAt(b) + 24, 2000);
             Put32At(b, iconAt(b) + 28, 1);
             Put32At(b, iconAt(b) + 36, 8000);
         },
         15},
        {"icon block tag", [&](Bytes& b) { b[iconAt(b)] = 'Y'; }, 16},
        {"nib chunk of another tag", [&](Bytes& b) { b[iconAt(b) + 8 + U32At(b, iconAt(b) + 4)] = 'Z'; }, 16},
        {"file cut inside the nib", [](Bytes& b) { b.resize(b.size() - 30); }, 9},
    };
    for (const HostileCase& c : cases) {
        Bytes bytes = base;
        c.mutate(bytes);
        const ReadOutcome out = ReadBrushes(bytes);
        EXPECT_EQ(out.code, c.code) << c.name;
        EXPECT_EQ(out.count, 0) << c.name;
        EXPECT_EQ(out.messages, std::vector<std::string>{FailureText(kBrushListName, c.code)}) << c.name;
    }
}

TEST(BrushPresetFile, ShortRecordEndsTheReadKeepingWhatCameBefore)
{
    const CPenMethodMngr list = BrushList();
    Bytes bytes = FileOf(list);
    // The second preset's chunk: after the first chunk, its icon block and its nib.
    CPenMethodMngr first;
    first.Add(std::make_unique<CPenMethodObj>());
    ASSERT_TRUE(first.Item(0)->CopyFrom(*list.Item(0)));
    const size_t second = FileOf(first).size();
    ASSERT_EQ(U32At(bytes, second), le::Tag("PMTD"));
    Put32At(bytes, second + 4, 40); // 40 bytes cannot hold the 72-byte record

    CPenMethodMngr back;
    const ReadOutcome out = ReadBrushes(bytes, &back);
    EXPECT_EQ(out.code, 11);
    ASSERT_EQ(out.count, 1);
    ExpectSamePreset(list.Item(0), back.Item(0));
    EXPECT_EQ(out.messages, std::vector<std::string>{PartialText(kBrushListName, 2)});
    EXPECT_TRUE(back.FileName().empty());
}

TEST(BrushPresetFile, InvalidClassIsSkippedWithTheIconAndNibItAnnounces)
{
    const CPenMethodMngr list = BrushList();
    Bytes bytes = FileOf(list);
    CPenMethodMngr first;
    first.Add(std::make_unique<CPenMethodObj>());
    ASSERT_TRUE(first.Item(0)->CopyFrom(*list.Item(0)));
    const size_t second = FileOf(first).size();
    bytes[second + 8 + 16] = 9; // the watercolour with its bitmap nib

    CPenMethodMngr back;
    const ReadOutcome out = ReadBrushes(bytes, &back);
    EXPECT_EQ(out.code, 0);
    ASSERT_EQ(out.count, 2);
    ExpectSamePreset(list.Item(0), back.Item(0));
    ExpectSamePreset(list.Item(2), back.Item(1));
    EXPECT_EQ(out.messages, std::vector<std::string>{PartialText(kBrushListName, 1)});
}
