// Event containers and files: both containers round-trip through a store,
// every corrupt header or block gives its code with the reader back where
// the container began, the thumbnail chunk fits its picture, and saves of a
// recording load back into a fresh manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "PresetFixture.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/CMemSeg.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "files/ImageBlock.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/MemoryBudget.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

using testing::Bytes;

constexpr size_t kPrefix = 12; // a container inside a larger file

// A walkable stream of exactly n bytes (n >= 8): a DataBlock of
// pseudo-random bytes, then the start mark closing the step.
Bytes StreamOf(size_t n, uint32_t seed = 1)
{
    const uint32_t data = uint32_t(n - 8);
    Bytes s = {1, 0, uint8_t(data), uint8_t(data >> 8), uint8_t(data >> 16), uint8_t(data >> 24)};
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < data; ++i)
        s.push_back(uint8_t(rng() % 7)); // compressible, but not to nothing
    s.insert(s.end(), {2, 254});
    return s;
}

void Fill(CSegmentedStore& store, const Bytes& bytes)
{
    store.Reset();
    ASSERT_TRUE(store.Append(bytes.data(), int64_t(bytes.size())));
}

Bytes Contents(const CSegmentedStore& store)
{
    Bytes bytes(size_t(store.Position()));
    if (!bytes.empty()) {
        EXPECT_EQ(store.Read(0, bytes.data(), int64_t(bytes.size())), store.Position());
    }
    return bytes;
}

EventContainerInfo InfoOf(size_t length)
{
    EventContainerInfo info;
    info.width = 640;
    info.height = 480;
    info.flags = kEventFlagInteractive;
    info.steps = 3;
    info.length = uint32_t(length);
    return info;
}

TMTC Picture(int32_t w, int32_t h)
{
    TMTC picture(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *picture.PixelPtr(x, y) = (uint32_t(x * 5 + y * 3) & 0xFFu) | 0x40332200u;
    return picture;
}

enum class Form { Packed, Plain, ThumbPacked, ThumbPlain };

// The container of a stream as a file: kPrefix bytes of something else first.
Bytes File(const Bytes& stream, Form form, const EventContainerInfo& info)
{
    CSegmentedStore store;
    Fill(store, stream);
    MemoryWriter out;
    out.WriteZeros(kPrefix);
    if (form == Form::ThumbPacked || form == Form::ThumbPlain) {
        EXPECT_EQ(WriteThumbnailChunk(out, Picture(40, 30), info.generation), EventFileCode::Ok);
    }
    const bool packed = form == Form::Packed || form == Form::ThumbPacked;
    EXPECT_EQ(packed ? WriteContainer(out, store, info) : WritePlain(out, store, info), EventFileCode::Ok);
    return out.Bytes();
}

uint32_t U32At(const Bytes& b, size_t at)
{
    return le::U32(b.data() + at);
}
void Put32At(Bytes& b, size_t at, uint32_t v)
{
    le::Put32(b.data() + at, v);
}

// Offsets of a packed file without thumbnail.
constexpr size_t kHead = kPrefix, kBlock1 = kPrefix + 56;
size_t Block2(const Bytes& f)
{
    return kBlock1 + 8 + U32At(f, kBlock1 + 4);
}

struct ReadOutcome {
    int code;
    uint64_t position;
    EventContainerInfo info;
};

ReadOutcome Read(const Bytes& file, EventStreamSink& sink)
{
    MemoryReader in(file);
    EXPECT_TRUE(in.Skip(kPrefix));
    ReadOutcome out{};
    out.code = CodeNumber(ReadContainer(in, sink, out.info));
    out.position = in.Position();
    return out;
}

TEST(EventContainer, BothFormsRoundTripBlockPerSegment)
{
    struct Case {
        size_t length;
        Form form;
        uint32_t blocks; // 0: plain
        uint32_t lastBlock;
    };
    const Case cases[] = {
        {65536, Form::Packed, 1, 65536},  {65537, Form::Packed, 2, 1},     {200000, Form::ThumbPacked, 4, 3392},
        {65537, Form::Plain, 0, 0},       {10, Form::ThumbPlain, 0, 0},    {8, Form::Packed, 1, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.length << " form " << int(c.form));
        const Bytes stream = StreamOf(c.length);
        const Bytes file = File(stream, c.form, InfoOf(c.length));
        EXPECT_EQ(file.size() % 4, 0u);
        EXPECT_EQ(File(stream, c.form, InfoOf(c.length)), file) << "a second write differs";
        if (c.form == Form::Packed) {
            EXPECT_EQ(U32At(file, kHead), le::Tag("MEVP"));
            EXPECT_EQ(U32At(file, kHead + 40), c.blocks);
            EXPECT_EQ(U32At(file, kHead + 44), 65536u);
            size_t block = kBlock1;
            for (uint32_t i = 1; i < c.blocks; ++i)
                block += 8 + U32At(file, block + 4);
            EXPECT_EQ(U32At(file, block + 12), c.lastBlock);
            EXPECT_EQ(block + 8 + U32At(file, block + 4), file.size());
        }

        CSegmentedStore store;
        Fill(store, StreamOf(100, 9)); // what was there goes
        StoreSink sink(store);
        const ReadOutcome r = Read(file, sink);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.position, file.size());
        EXPECT_EQ(Contents(store), stream);
        EXPECT_EQ(r.info.width, 640);
        EXPECT_EQ(r.info.height, 480);
        EXPECT_EQ(r.info.generation, 41);
        EXPECT_EQ(r.info.steps, 3u);
        EXPECT_EQ(r.info.length, c.length);
        const bool plain = c.form == Form::Plain || c.form == Form::ThumbPlain;
        EXPECT_EQ(r.info.flags, plain ? 0 : kEventFlagInteractive);
    }
}

TEST(EventContainer, BlocksThatStraddleTheReadersSegmentsComeBackWhole)
{
    // Written in blocks of 40000, which fall across the reader's 65536-byte
    // segments; a writer of another segment size would say so in its header.
    const Bytes stream = StreamOf(150000);
    CSegmentedStore small(40000);
    Fill(small, stream);
    MemoryWriter out;
    ASSERT_EQ(WriteContainer(out, small, InfoOf(stream.size())), EventFileCode::Ok);
    Bytes file = out.Bytes();
    ASSERT_EQ(U32At(file, 40), 4u);
    Put32At(file, 44, 65536);

    CSegmentedStore store;
    StoreSink sink(store);
    MemoryReader in(file);
    EventContainerInfo info;
    ASSERT_EQ(ReadContainer(in, sink, info), EventFileCode::Ok);
    EXPECT_EQ(Contents(store), stream);
}

class RefusingSink final : public EventStreamSink {
public:
    explicit RefusingSink(int32_t segmentSize) : segmentSize_(segmentSize) {}
    int32_t SegmentSize() const override { return segmentSize_; }
    bool Clear() override { return true; }
    bool Append(std::span<const uint8_t>) override { return false; }

private:
    int32_t segmentSize_;
};

TEST(EventContainer, CorruptContainersGiveTheirCodesAndLeaveTheReaderAtTheirStart)
{
    struct Case {
        const char* name;
        Form form;
        std::function<void(Bytes&)> mutate;
        int code;
        bool emptied; // the store had been emptied for the stream
    };
    const size_t thumbLength = kPrefix + 4; // the thumbnail block's length field
    const size_t plainHead = kHead;
    const Case cases[] = {
        {"cut in the header", Form::Packed, [](Bytes& f) { f.resize(kHead + 50); }, 9, false},
        {"cut in the first 40 bytes", Form::Plain, [](Bytes& f) { f.resize(kHead + 20); }, 9, false},
        {"unknown tag", Form::Packed, [](Bytes& f) { f[kHead] = 'X'; }, 16, false},
        {"header length not 48", Form::Packed, [](Bytes& f) { Put32At(f, kHead + 4, 40); }, 16, false},
        {"generation 42", Form::Packed, [](Bytes& f) { f[kHead + 16] = 42; }, 12, false},
        {"protected", Form::Packed, [](Bytes& f) { f[kHead + 19] |= 0x80; }, 39, false},
        {"no blocks", Form::Packed, [](Bytes& f) { Put32At(f, kHead + 40, 0); }, 42, false},
        {"block size 32768", Form::Packed, [](Bytes& f) { Put32At(f, kHead + 44, 32768); }, 44, false},
        {"stream length past 2^31", Form::Packed, [](Bytes& f) { Put32At(f, kHead + 28, 0x80000000u); }, 44, false},
        {"block tag", Form::Packed, [](Bytes& f) { f[kBlock1] = 'X'; }, 16, true},
        {"block field below 20", Form::Packed, [](Bytes& f) { Put32At(f, kBlock1 + 4, 19); }, 44, true},
        {"compressed past the field", Form::Packed,
         [](Bytes& f) { Put32At(f, kBlock1 + 16, U32At(f, kBlock1 + 4) - 19); }, 44, true},
        {"uncompressed past the block size", Form::Packed, [](Bytes& f) { Put32At(f, kBlock1 + 12, 65537); }, 44,
         true},
        {"empty block", Form::Packed, [](Bytes& f) { Put32At(f, kBlock1 + 12, 0); }, 44, true},
        {"offset not the length so far", Form::Packed, [](Bytes& f) { Put32At(f, Block2(f) + 8, 65535); }, 44,
         true},
        {"a block past the stream length", Form::Packed, [](Bytes& f) { Put32At(f, kHead + 28, 30000); }, 44,
         true},
        {"stream longer than its blocks", Form::Packed, [](Bytes& f) { Put32At(f, kHead + 28, 65538); }, 9, true},
        {"block field past the file", Form::Packed, [](Bytes& f) { Put32At(f, Block2(f) + 4, 0x7FFFFFF0); }, 9,
         true},
        {"data cut short", Form::Packed, [](Bytes& f) { f.resize(kBlock1 + 40); }, 9, true},
        {"data do not unpack", Form::Packed, [](Bytes& f) { f[kBlock1 + 60] ^= 0x55; }, 45, true},
        {"data unpack to another length", Form::Packed, [](Bytes& f) { Put32At(f, kBlock1 + 12, 65535); }, 45,
         true},
        {"thumbnail length below 40", Form::ThumbPacked, [=](Bytes& f) { Put32At(f, thumbLength, 20); }, 16,
         false},
        {"thumbnail past the end", Form::ThumbPlain, [=](Bytes& f) { Put32At(f, thumbLength, 0x10000000); }, 9,
         false},
        {"plain generation 42", Form::Plain, [=](Bytes& f) { f[plainHead + 16] = 42; }, 12, false},
        {"plain with flags", Form::Plain, [=](Bytes& f) { f[plainHead + 18] = 1; }, 15, false},
        {"plain length 2^31", Form::Plain, [=](Bytes& f) { Put32At(f, plainHead + 28, 0x80000000u); }, 17, false},
        {"plain length past its head length", Form::Plain,
         [=](Bytes& f) { Put32At(f, plainHead + 4, U32At(f, plainHead + 28) + 31); }, 17, false},
        {"plain stream cut short", Form::Plain, [](Bytes& f) { f.resize(f.size() - 100); }, 41, true},
        {"plain padding missing", Form::Plain, [](Bytes& f) { f.resize(f.size() - 3); }, 9, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = File(StreamOf(65537), c.form, InfoOf(65537));
        c.mutate(file);
        CSegmentedStore store;
        const Bytes before = StreamOf(100, 9);
        Fill(store, before);
        StoreSink sink(store);
        const ReadOutcome r = Read(file, sink);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.position, kPrefix);
        EXPECT_EQ(Contents(store), c.emptied ? Bytes() : before);
    }
}

// A container bomb: a few tens of kilobytes that unpack to 32 MiB of one
// data block. On a small canvas nothing can need that much and it is
// refused before a byte is unpacked; a canvas whose pictures could fill it
// reads it whole.
TEST(EventContainer, AStreamFarBeyondItsFileAndCanvasIsRefusedUnread)
{
    const uint32_t data = 32u << 20;
    Bytes stream = {1, 0, uint8_t(data), uint8_t(data >> 8), uint8_t(data >> 16), uint8_t(data >> 24)};
    stream.resize(stream.size() + data, 0);
    stream.insert(stream.end(), {2, 254});
    EventContainerInfo info = InfoOf(stream.size());
    info.width = 64;
    info.height = 48;
    Bytes file = File(stream, Form::Packed, info);
    ASSERT_LT(file.size(), size_t(64) << 10);

    CSegmentedStore store;
    const Bytes before = StreamOf(100, 9);
    Fill(store, before);
    StoreSink sink(store);
    const uint64_t refusals = MemoryBudget::Refusals();
    const ReadOutcome small = Read(file, sink);
    EXPECT_EQ(small.code, 1);
    EXPECT_EQ(small.position, kPrefix);
    EXPECT_EQ(Contents(store), before);
    EXPECT_GT(MemoryBudget::Refusals(), refusals);

    Put32At(file, kHead + 8, 2000);
    Put32At(file, kHead + 12, 1000);
    const ReadOutcome large = Read(file, sink);
    EXPECT_EQ(large.code, 0);
    EXPECT_EQ(store.Position(), int64_t(stream.size()));
}

TEST(EventContainer, ASinkThatCannotTakeTheStreamIsReported)
{
    for (Form form : {Form::Packed, Form::Plain}) {
        const Bytes file = File(StreamOf(1000), form, InfoOf(1000));
        RefusingSink none(0), refusing(65536);
        EXPECT_EQ(Read(file, none).code, 40);
        const ReadOutcome r = Read(file, refusing);
        EXPECT_EQ(r.code, 45);
        EXPECT_EQ(r.position, kPrefix);
    }
}

// Takes limit bytes, then fails.
class LimitedWriter final : public ByteWriter {
public:
    explicit LimitedWriter(size_t limit) : limit_(limit) {}
    bool Write(const void*, size_t size) override
    {
        if (failed_ || size > limit_ - written_)
            return failed_ = true, false;
        written_ += size;
        return true;
    }
    uint64_t Position() const override { return written_; }

private:
    size_t limit_, written_ = 0;
    bool failed_ = false;
};

TEST(EventContainer, WritersRefuseWhatCannotBeWritten)
{
    struct Case {
        const char* name;
        Bytes stream;
        size_t length;   // the header's stream length
        size_t capacity; // of the writer
        int code;
    };
    Bytes invalid = StreamOf(100);
    invalid[98] = invalid[99] = 0xEE; // a header outside the packet table
    const Case cases[] = {
        {"empty stream", StreamOf(100), 0, SIZE_MAX, 42},
        {"length past the stream", StreamOf(100), 101, SIZE_MAX, 43},
        {"invalid packet", invalid, 100, SIZE_MAX, 47},
        {"short header", StreamOf(100), 100, 20, 8},
        {"short data", StreamOf(70000), 70000, 200, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSegmentedStore store;
        Fill(store, c.stream);
        LimitedWriter packed(c.capacity), plain(c.capacity);
        EXPECT_EQ(CodeNumber(WriteContainer(packed, store, InfoOf(c.length))), c.code);
        EXPECT_EQ(CodeNumber(WritePlain(plain, store, InfoOf(c.length))), c.code);
    }
}

TEST(EventContainer, ThumbnailChunkFitsTheCompositeIntoItsSquareOpaque)
{
    struct Case {
        int32_t w, h;
        uint16_t generation;
        int32_t thumbW, thumbH;
        uint16_t kind;
    };
    const Case cases[] = {
        {600, 300, 41, 256, 128, 2}, {100, 50, 15, 100, 50, 1}, {3, 1000, 16, 1, 256, 2}, {256, 256, 0, 256, 256, 1}};
    testing::TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
        const TMTC picture = Picture(c.w, c.h);
        CSegmentedStore store;
        Fill(store, StreamOf(64));
        MemoryWriter out;
        ASSERT_EQ(WriteThumbnailChunk(out, picture, c.generation), EventFileCode::Ok);
        EventContainerInfo info = InfoOf(64);
        info.width = c.w;
        info.height = c.h;
        ASSERT_EQ(WritePlain(out, store, info), EventFileCode::Ok);
        EXPECT_EQ(out.Bytes()[8], c.kind);
        testing::WriteBytes(folder / "t.vd4", out.Bytes());

        TMTC image;
        int32_t canvasW = 0, canvasH = 0;
        ASSERT_EQ(ReadThumbnail(folder / "t.vd4", image, canvasW, canvasH), BlockReadCode::Ok);
        EXPECT_EQ(canvasW, c.w);
        EXPECT_EQ(canvasH, c.h);
        ASSERT_EQ(image.Width, c.thumbW);
        ASSERT_EQ(image.Height, c.thumbH);
        const bool copied = c.thumbW == c.w && c.thumbH == c.h;
        for (int32_t y = 0; y < image.Height; ++y)
            for (int32_t x = 0; x < image.Width; ++x) {
                ASSERT_EQ(image.GetPixel(x, y) >> 24, 255u);
                if (copied) {
                    ASSERT_EQ(image.GetPixel(x, y) & 0xFFFFFFu, picture.GetPixel(x, y) & 0xFFFFFFu);
                }
            }
    }
    TMTC image;
    int32_t w = 0, h = 0;
    testing::WriteBytes(folder / "bare.vd4", File(StreamOf(64), Form::Packed, InfoOf(64)));
    EXPECT_EQ(CodeNumber(ReadThumbnail(folder / "bare.vd4", image, w, h)), 16) << "the prefix is no thumbnail";
    EXPECT_EQ(CodeNumber(ReadThumbnail(folder / "missing.vd4", image, w, h)), 4);
}

// ---- saving and loading a document's recording ----

// A new canvas, two layer commands and a stroke of each engine recorded
// through the document.
struct RecordedPaper {
    RecordingDocumentHost host;
    TPaper paper{host};
    TStroke pen;
    TFlowImage flow;

    RecordedPaper()
    {
        EXPECT_TRUE(paper.NewPicture("a", false, false, 150, 64, 48, 64, 48));
        EXPECT_TRUE(paper.AddLayer(1, 64, 48, true, 200, kModeNormal));
        EXPECT_TRUE(paper.FlipLayerH(1));
        for (uint8_t engine : {2, 1}) {
            EXPECT_TRUE(paper.SetStrokeEngine(engine));
            EXPECT_TRUE(paper.StrokeBegin(flow, pen, true, 0.5f, 10, 4));
            for (int i = 1; i < 20; ++i) // 20 points: a full point packet and the rest
                EXPECT_TRUE(paper.StrokePoint(flow, pen, true, 0.8f, 10.0f + float(i), 4.0f + 2.0f * float(i)));
            EdgeRect changed;
            EXPECT_TRUE(paper.StrokeEnd(flow, pen, true, changed));
        }
    }
    CEventMngr& Events() { return *paper.EventManager(); }
};

Bytes StreamOf(const CEventMngr& events)
{
    return Contents(events.Store());
}

// The container header of a saved file, past its thumbnail.
size_t HeadOf(const Bytes& file)
{
    return le::U32(file.data()) == le::Tag("MTNL") ? 8 + U32At(file, 4) : 0;
}

TEST(EventFile, ARecordingSavesWithItsHeaderAndLoadsBackWithItsSteps)
{
    struct Case {
        const char* name;
        EventSaveRequest request;
        uint32_t tag;
        uint16_t generation, flags;
    };
    auto Request = [](bool compressed, bool thumbnail, int generation, int flags, bool option) {
        EventSaveRequest r;
        r.compressed = compressed;
        r.withThumbnail = thumbnail;
        r.generation = generation;
        r.flags = flags;
        r.optionFlag = option;
        return r;
    };
    const Case cases[] = {
        {"interactive", Request(true, true, -1, -1, false), le::Tag("MEVP"), 41, 0x4000},
        {"with the optional mark", Request(true, false, -1, -1, true), le::Tag("MEVP"), 41, 0x5000},
        {"generation 16, given flags", Request(true, false, 16, 0x0123, false), le::Tag("MEVP"), 16, 0x0123},
        {"generation 42 asked", Request(true, true, 42, -1, false), le::Tag("MEVP"), 41, 0x4000},
        {"plain", Request(false, true, -1, -1, false), le::Tag("MEVS"), 41, 0},
    };
    testing::TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedPaper recorded;
        CEventMngr& live = recorded.Events();
        const Bytes before = StreamOf(live);
        const int32_t steps = live.CommittedSteps();
        ASSERT_EQ(steps, 6) << "canvas and marks, two layer commands, two strokes";

        const std::string path = folder / "a.vd4";
        ASSERT_EQ(SaveEventFile(path, recorded.paper, c.request), EventFileCode::Ok);
        const Bytes file = testing::ReadBytes(path);
        ASSERT_EQ(SaveEventFile(path, recorded.paper, c.request), EventFileCode::Ok);
        EXPECT_EQ(testing::ReadBytes(path), file) << "a second save differs";
        EXPECT_EQ(StreamOf(live), before) << "the end mark stayed";
        EXPECT_EQ(live.CommittedSteps(), steps);
        EXPECT_TRUE(live.IsRecording());

        const size_t head = HeadOf(file);
        EXPECT_EQ(head != 0, c.request.withThumbnail);
        EXPECT_EQ(U32At(file, head), c.tag);
        EXPECT_EQ(le::U16(file.data() + head + 16), c.generation);
        EXPECT_EQ(le::U16(file.data() + head + 18), c.flags);
        EXPECT_EQ(U32At(file, head + 24), uint32_t(steps + 1)) << "the end mark is a step";

        RecordingDocumentHost host;
        TPaper loaded(host);
        ASSERT_EQ(LoadEventFile(path, loaded), EventFileCode::Ok);
        Bytes expected = before;
        expected.insert(expected.end(), {2, 255});
        EXPECT_EQ(StreamOf(*loaded.EventManager()), expected);
        EXPECT_EQ(loaded.EventManager()->CommittedSteps(), steps + 1);
        EXPECT_EQ(loaded.EventManager()->EventGeneration, c.generation);
        EXPECT_STREQ(EventFileExtension(loaded.EventManager()->EventGeneration), c.generation == 16 ? ".vd3" : ".vd4")
            << "the extension it is saved again under";
        EXPECT_EQ(loaded.EventManager()->State(), EventMngrState::Idle);
    }
}

TEST(EventFile, ProtectionIsInTheFileOnlyAndEverySaveClearsTheImagePermission)
{
    testing::TempFolder folder;
    testing::ScopedNotifier notes;
    RecordedPaper recorded;
    CEventMngr& live = recorded.Events();
    ASSERT_TRUE(live.SetFileFlag(CEventMngr::kImagePermissionFlag, true));
    bool found = false;
    ASSERT_TRUE(live.QueryFileFlag(CEventMngr::kImagePermissionFlag, found));
    ASSERT_TRUE(found) << "the stream holds no document switches";

    ASSERT_EQ(SaveProtectedEventFile(folder / "p.vd4", recorded.paper, {}), EventFileCode::Ok);
    EXPECT_TRUE(notes.Texts().empty());
    ASSERT_TRUE(live.QueryFileFlag(CEventMngr::kProtectionFlag, found));
    EXPECT_FALSE(found) << "the live stream stays unprotected";
    ASSERT_TRUE(live.QueryFileFlag(CEventMngr::kImagePermissionFlag, found));
    EXPECT_FALSE(found);

    RecordingDocumentHost host;
    TPaper loaded(host);
    ASSERT_EQ(LoadEventFile(folder / "p.vd4", loaded), EventFileCode::Ok);
    ASSERT_TRUE(loaded.EventManager()->QueryFileFlag(CEventMngr::kProtectionFlag, found));
    EXPECT_TRUE(found);
    ASSERT_TRUE(loaded.EventManager()->QueryFileFlag(CEventMngr::kImagePermissionFlag, found));
    EXPECT_FALSE(found);

    ASSERT_TRUE(live.SetFileFlag(CEventMngr::kProtectionFlag, true));
    EXPECT_EQ(CodeNumber(SaveProtectedEventFile(folder / "q.vd4", recorded.paper, {})), 39);
    EXPECT_EQ(notes.Texts(), std::vector<std::string>{"このイベントファイルはすでに保護されているため保存できません!"});
    EXPECT_FALSE(std::filesystem::exists(folder / "q.vd4"));
}

TEST(EventFile, SavesThatCannotGiveAPlayableFileAreRefused)
{
    testing::TempFolder folder;
    testing::ScopedNotifier notes;
    RecordingDocumentHost host;
    TPaper bare(host); // recording, but its stream never saw a new canvas
    ASSERT_TRUE(bare.EventManager() && bare.EventManager()->IsRecording());
    const Bytes before = StreamOf(*bare.EventManager());
    EXPECT_EQ(CodeNumber(SaveEventFile(folder / "a.vd4", bare, {})), 42);
    EXPECT_EQ(notes.Texts().size(), 1u);
    EXPECT_EQ(StreamOf(*bare.EventManager()), before);

    RecordedPaper stopped;
    stopped.Events().Reset();
    EXPECT_EQ(CodeNumber(SaveEventFile(folder / "a.vd4", stopped.paper, {})), 40);
    EXPECT_FALSE(std::filesystem::exists(folder / "a.vd4"));

    TPaper loaded(host);
    EXPECT_EQ(CodeNumber(LoadEventFile(folder / "missing.vd4", loaded)), 4);
}

TEST(EventFile, AFailedSaveLeavesTheOldFileAndTheLiveStream)
{
    testing::TempFolder folder;
    RecordedPaper recorded;
    CEventMngr& live = recorded.Events();
    const Bytes before = StreamOf(live);
    const std::string path = folder / "a.vd4";
    const Bytes old = {'o', 'l', 'd'};
    testing::WriteBytes(path, old);
    {
        ScopedMemoryLimit scarce(0); // the thumbnail and the compressor get nothing
        EXPECT_EQ(CodeNumber(SaveEventFile(path, recorded.paper, {})), 1);
    }
    EXPECT_EQ(testing::ReadBytes(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << "a temporary file stayed";
    EXPECT_EQ(StreamOf(live), before);
    EXPECT_TRUE(live.IsRecording());
    EXPECT_EQ(SaveEventFile(path, recorded.paper, {}), EventFileCode::Ok) << "the recording goes on";
}

TEST(EventFile, TheExtensionDecidesTheTypeAndFollowsTheGeneration)
{
    const std::pair<const char*, EventFileType> types[] = {
        {"a.KTE", EventFileType::Legacy}, {"b.vd4", EventFileType::Current}, {"c.Me3", EventFileType::Current},
        {"d.mes", EventFileType::Current}, {"e.mci", EventFileType::None},    {"f.vd4/g", EventFileType::None},
        {"noext", EventFileType::None}};
    for (auto [name, type] : types)
        EXPECT_EQ(EventFileTypeOf(name), type) << name;
    const std::pair<int, const char*> extensions[] = {{41, ".vd4"}, {32, ".vd4"}, {31, ".vd3"},
                                                      {16, ".vd3"}, {15, ".mes"}, {0, ".mes"}};
    for (auto [generation, extension] : extensions)
        EXPECT_STREQ(EventFileExtension(generation), extension) << generation;
}

} // namespace
} // namespace morvane
