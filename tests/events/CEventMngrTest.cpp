// The event manager's recording side: state records written only when they
// change, strokes as one step, undo and redo of steps, embedded tones and
// nibs, marks, file flags, stopping, and a packet that cannot be kept.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <map>
#include <random>
#include <span>
#include <vector>

#include "events/CEventMngr.h"
#include "events/EventPayloads.h"
#include "platform/Clock.h"
#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

using Header = std::pair<int, int>;
using Headers = std::vector<Header>;

constexpr char kStopped[] = "イベント記録中に例外が発生しました!\r以降のイベント記録は停止します...";

struct Packet {
    uint64_t offset;
    Header header;
    std::vector<uint8_t> payload;
};

std::vector<uint8_t> StreamOf(const CEventMngr& m)
{
    std::vector<uint8_t> out(size_t(m.WritePosition()));
    if (!out.empty()) {
        EXPECT_EQ(m.Read(0, out.data(), int64_t(out.size())), int64_t(out.size()));
    }
    return out;
}

std::vector<Packet> PacketsOf(std::span<const uint8_t> stream)
{
    std::vector<Packet> out;
    const PacketWalk walk = WalkPackets(
        stream,
        [](void* user, uint64_t offset, uint8_t cat, uint8_t code, std::span<const uint8_t> payload) {
            static_cast<std::vector<Packet>*>(user)->push_back({offset, {cat, code}, {payload.begin(), payload.end()}});
            return true;
        },
        &out);
    EXPECT_TRUE(walk.ok);
    return out;
}

Headers HeadersFrom(const CEventMngr& m, int64_t from)
{
    const std::vector<uint8_t> all = StreamOf(m);
    Headers out;
    for (const Packet& p : PacketsOf(std::span(all).subspan(size_t(from))))
        out.push_back(p.header);
    return out;
}

std::vector<uint8_t> Command(uint8_t category, uint8_t code, size_t size, uint8_t fill = 0)
{
    std::vector<uint8_t> p(2 + size, fill);
    p[0] = category;
    p[1] = code;
    return p;
}

// A 4 x 3 pattern whose bytes follow the seed.
std::vector<uint8_t> Pattern(uint8_t seed)
{
    std::vector<uint8_t> px(12);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = uint8_t(seed + i * 7);
    return px;
}

SyncedTone FakeTone(uint32_t id)
{
    SyncedTone t;
    t.embedded.id = id;
    t.embedded.width = 4;
    t.embedded.height = 3;
    t.pixels = Pattern(uint8_t(id));
    t.reference.id = id;
    return t;
}

SyncedNib FakeNib(uint32_t id)
{
    SyncedNib n;
    n.embedded.id = id;
    n.embedded.width = 4;
    n.embedded.height = 3;
    n.pixels = Pattern(uint8_t(id + 100));
    n.reference.id = id;
    n.reference.width = 4;
    n.reference.height = 3;
    return n;
}

class EventMngrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = SetNotifier(&notifier);
        mngr = std::make_unique<CEventMngr>(kSegment);
        mngr->SetSyncSource([this](EventSyncState& s) { s = state; });
        ASSERT_TRUE(mngr->Start(16));
    }
    void TearDown() override { SetNotifier(previous_); }

    bool Stroke(int points, PacketId start = PacketId::StrokeStartEarlier)
    {
        bool ok = mngr->BeginStroke(start, 0, 0xFFFF, 1, 2, 0.5f);
        for (int i = 1; i < points; ++i)
            ok = ok && mngr->AddPoint(float(i), 2, 0.5f);
        return ok && mngr->EndStroke();
    }
    bool Send(const std::vector<uint8_t>& packet) { return mngr->Record(packet.data(), packet.size()); }

    // Small segments so that tests cross their boundaries.
    static constexpr int32_t kSegment = 256;
    RecordingNotifier notifier;
    EventSyncState state;
    std::unique_ptr<CEventMngr> mngr;

private:
    UserNotifier* previous_ = nullptr;
};

TEST_F(EventMngrTest, CommandsSyncTheStateTheirCategoryDependsOn)
{
    const Headers document{{0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 8}, {0, 12}};
    Headers all = document;
    for (int code : {13, 16, 17, 18, 48, 50, 52, 53, 56, 57, 58, 60})
        all.push_back({0, code});
    struct Case {
        std::vector<uint8_t> packet;
        Headers states;
    } cases[] = {
        {Command(2, 1, 4), document},  {Command(4, 2, 4), document}, {Command(5, 8, 12), document},
        {Command(10, 1, 4), document}, {Command(6, 0, 22), all},      {Command(32, 0, 4), all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.packet[0]));
        ASSERT_TRUE(mngr->Start(16));
        EXPECT_EQ(HeadersFrom(*mngr, 0), (Headers{{0, 0}}));
        const int32_t steps = mngr->CommittedSteps();
        ASSERT_TRUE(Send(c.packet));
        Headers expected{{0, 0}};
        expected.insert(expected.end(), c.states.begin(), c.states.end());
        expected.push_back({c.packet[0], c.packet[1]});
        EXPECT_EQ(HeadersFrom(*mngr, 0), expected);
        EXPECT_EQ(mngr->CommittedSteps(), steps + 1);
        // The same state again: only the command.
        const int64_t before = mngr->WritePosition();
        ASSERT_TRUE(Send(c.packet));
        EXPECT_EQ(HeadersFrom(*mngr, before), (Headers{{c.packet[0], c.packet[1]}}));
    }
}

TEST_F(EventMngrTest, StrokesArePointPacketsOfSixteenInOneStep)
{
    struct Case {
        int points;
        Headers packets;
        int64_t pointBytes;
    } cases[] = {
        {1, {{16, 0}, {18, 1}}, 12},
        {16, {{16, 0}, {18, 16}}, 192},
        {17, {{16, 0}, {17, 16}, {18, 1}}, 204},
        {33, {{16, 0}, {17, 16}, {17, 16}, {18, 1}}, 396},
    };
    ASSERT_TRUE(Stroke(1)); // the state goes before the first stroke only
    for (const Case& c : cases) {
        SCOPED_TRACE(c.points);
        const int64_t before = mngr->WritePosition();
        const int32_t steps = mngr->CommittedSteps();
        ASSERT_TRUE(Stroke(c.points));
        EXPECT_EQ(HeadersFrom(*mngr, before), c.packets);
        EXPECT_EQ(mngr->WritePosition() - before, 6 + 2 * int64_t(c.packets.size() - 1) + c.pointBytes);
        EXPECT_EQ(mngr->CommittedSteps(), steps + 1);
    }
    // The points go in as given, little-endian.
    const std::vector<uint8_t> all = StreamOf(*mngr);
    const Packet last = PacketsOf(all).back();
    StrokePointsPayload points;
    ASSERT_TRUE(points.Decode(std::span(all).subspan(size_t(last.offset), 2 + last.payload.size())));
    EXPECT_EQ(points.points[0], (StreamStrokePoint{32, 2, 0.5f}));
}

TEST_F(EventMngrTest, AChangedPenWritesOnlyTheRecordThatChanged)
{
    ASSERT_TRUE(Stroke(2));
    const int64_t before = mngr->WritePosition();
    state.penRadius.radius = 7;
    ASSERT_TRUE(Stroke(2));
    EXPECT_EQ(HeadersFrom(*mngr, before), (Headers{{0, 17}, {16, 0}, {18, 2}}));
}

TEST_F(EventMngrTest, UndoThenANewStrokeOverwritesTheUndoneStep)
{
    ASSERT_TRUE(Stroke(3));
    const std::vector<uint8_t> afterFirst = StreamOf(*mngr);
    ASSERT_TRUE(Stroke(20));
    ASSERT_TRUE(mngr->UndoStep());
    EXPECT_EQ(StreamOf(*mngr), afterFirst);
    EXPECT_EQ(mngr->RedoCount(), 1);
    ASSERT_TRUE(Stroke(1));
    EXPECT_EQ(mngr->RedoCount(), 0);
    EXPECT_FALSE(mngr->RedoStep());
    EXPECT_EQ(HeadersFrom(*mngr, int64_t(afterFirst.size())), (Headers{{16, 0}, {18, 1}}));
}

TEST_F(EventMngrTest, RedoRestoresTheBytesAndTheirStateIsWrittenAgain)
{
    ASSERT_TRUE(Stroke(2));
    state.penRadius.radius = 9;
    state.currentLayer.layer = 3;
    ASSERT_TRUE(Stroke(40));
    const std::vector<uint8_t> done = StreamOf(*mngr);
    ASSERT_TRUE(mngr->UndoStep());
    ASSERT_TRUE(mngr->RedoStep());
    EXPECT_EQ(StreamOf(*mngr), done);
    // The restored records stay forgotten: the next step says them again.
    const int64_t before = mngr->WritePosition();
    ASSERT_TRUE(Stroke(1));
    EXPECT_EQ(HeadersFrom(*mngr, before), (Headers{{0, 8}, {0, 17}, {16, 0}, {18, 1}}));
}

TEST_F(EventMngrTest, ToneAndNibAreEmbeddedOnceAndAgainAfterTheirStepIsUndone)
{
    struct Case {
        const char* name;
        Header embedded, reference;
        void (*use)(EventSyncState&);
        void (*change)(EventSyncState&);
    } cases[] = {
        {"tone", {0, 36}, {0, 37},
         [](EventSyncState& s) { s.usesTone = true, s.tone = FakeTone(5); },
         [](EventSyncState& s) { s.tone.reference.valueA = 77; }},
        {"nib", {0, 44}, {0, 45},
         [](EventSyncState& s) { s.bitmapNib = true, s.nib = FakeNib(6); },
         [](EventSyncState& s) { s.nib.reference.scale = 150; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state = {};
        ASSERT_TRUE(mngr->Start(16));
        ASSERT_TRUE(Stroke(1));
        c.use(state);
        int64_t before = mngr->WritePosition();
        ASSERT_TRUE(Stroke(1));
        const Headers first = HeadersFrom(*mngr, before);
        EXPECT_EQ(std::count(first.begin(), first.end(), c.embedded), 1);
        EXPECT_EQ(std::count(first.begin(), first.end(), c.reference), 0);
        // Used again unchanged: nothing; changed: the reference only.
        before = mngr->WritePosition();
        ASSERT_TRUE(Stroke(1));
        EXPECT_EQ(HeadersFrom(*mngr, before), (Headers{{16, 0}, {18, 1}}));
        c.change(state);
        before = mngr->WritePosition();
        ASSERT_TRUE(Stroke(1));
        EXPECT_EQ(HeadersFrom(*mngr, before), (Headers{c.reference, {16, 0}, {18, 1}}));
        // Undo down to before the embedding: the next use embeds again.
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(mngr->UndoStep());
        before = mngr->WritePosition();
        ASSERT_TRUE(Stroke(1));
        const Headers again = HeadersFrom(*mngr, before);
        EXPECT_EQ(std::count(again.begin(), again.end(), c.embedded), 1);
        // The embedded packet decodes, pixels included.
        const std::vector<uint8_t> all = StreamOf(*mngr);
        for (const Packet& p : PacketsOf(all)) {
            if (p.header == c.embedded) {
                EXPECT_TRUE(DecodePacket(std::span(all).subspan(size_t(p.offset), 2 + p.payload.size())));
            }
        }
    }
}

TEST_F(EventMngrTest, TheEndMarkSyncsNothingAndComesOffAfterASave)
{
    ASSERT_TRUE(Send(Command(4, 1, 4))); // a new layer: the current layer must be said again
    const std::vector<uint8_t> before = StreamOf(*mngr);
    const int32_t steps = mngr->CommittedSteps();
    ASSERT_TRUE(mngr->EndMark());
    EXPECT_EQ(mngr->State(), EventMngrState::Ended);
    EXPECT_EQ(HeadersFrom(*mngr, int64_t(before.size())), (Headers{{2, 255}}));
    uint8_t header[2] = {};
    ASSERT_TRUE(mngr->LastStepHeader(header));
    EXPECT_EQ(Header(header[0], header[1]), Header(2, 255));
    // Nothing is recorded while the mark stands.
    ASSERT_TRUE(Send(Command(2, 1, 4)));
    EXPECT_EQ(mngr->WritePosition(), int64_t(before.size()) + 2);

    ASSERT_TRUE(mngr->RemoveEndMark());
    EXPECT_EQ(mngr->State(), EventMngrState::Recording);
    EXPECT_EQ(StreamOf(*mngr), before);
    EXPECT_EQ(mngr->CommittedSteps(), steps);
    EXPECT_EQ(mngr->RedoCount(), 0);
    ASSERT_TRUE(Stroke(2));
    EXPECT_EQ(HeadersFrom(*mngr, int64_t(before.size())).front(), Header(0, 8));
    // Only a stream that ends in the mark loses it.
    EXPECT_FALSE(mngr->RemoveEndMark());
}

TEST_F(EventMngrTest, FileFlagsAreSetAndClearedInPlace)
{
    ImageBlockPayload image;
    image.SetKind(PacketId::PasteAsLayer);
    image.width = image.height = 1;
    image.pixels.assign(4, 9);
    SealImageBlock(image);
    ASSERT_TRUE(Send(image.Encode()));
    ASSERT_TRUE(Send(Command(2, 1, 4)));
    state.documentFlags.flags = 1;
    ASSERT_TRUE(Send(Command(2, 1, 4)));
    const std::vector<uint8_t> clean = StreamOf(*mngr);

    bool found = true;
    ASSERT_TRUE(mngr->QueryFileFlag(CEventMngr::kProtectionFlag, found));
    EXPECT_FALSE(found);
    EXPECT_EQ(mngr->ImageBlockCount(), 1);
    ASSERT_TRUE(mngr->SetFileFlag(CEventMngr::kProtectionFlag, true));
    ASSERT_TRUE(mngr->QueryFileFlag(CEventMngr::kProtectionFlag, found));
    EXPECT_TRUE(found);
    int flagged = 0;
    const std::vector<uint8_t> set = StreamOf(*mngr);
    for (const Packet& p : PacketsOf(set)) {
        if (p.header == Header(0, 12))
            flagged += (p.payload[1] & 0x80) != 0;
    }
    EXPECT_EQ(flagged, 2);
    ASSERT_TRUE(mngr->SetFileFlag(CEventMngr::kProtectionFlag, false));
    EXPECT_EQ(StreamOf(*mngr), clean);

    // A stream that cannot be walked is left alone.
    const uint8_t junk[] = {0xEE, 0xEE, 0, 0};
    ASSERT_TRUE(mngr->BeginLoad());
    ASSERT_TRUE(mngr->AppendRaw(clean.data(), int64_t(clean.size())));
    ASSERT_TRUE(mngr->AppendRaw(junk, 4));
    EXPECT_FALSE(mngr->SetFileFlag(CEventMngr::kProtectionFlag, true));
    EXPECT_FALSE(mngr->QueryFileFlag(CEventMngr::kProtectionFlag, found));
    const std::vector<uint8_t> loaded = StreamOf(*mngr);
    EXPECT_TRUE(std::equal(clean.begin(), clean.end(), loaded.begin()));
}

TEST_F(EventMngrTest, StoppingAsksTwiceAndRecordsNothingAfterwards)
{
    struct Case {
        std::vector<Answer> answers;
        bool saveWorks;
        bool stopped;
        int saves;
    } cases[] = {
        {{Answer::Cancel}, true, false, 0},
        {{Answer::Ok, Answer::No}, true, true, 0},
        {{Answer::Ok, Answer::Yes}, true, true, 1},
        // The events the user wanted kept are not thrown away.
        {{Answer::Ok, Answer::Yes}, false, false, 1},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(mngr->Start(16));
        ASSERT_TRUE(Stroke(3));
        notifier.script.assign(c.answers.begin(), c.answers.end());
        int saves = 0;
        EXPECT_EQ(mngr->StopRecordingAsked([&] { return ++saves, c.saveWorks; }), c.stopped);
        EXPECT_EQ(saves, c.saves);
        EXPECT_EQ(mngr->IsRecordingWithEvents(), !c.stopped);
    }
    ASSERT_TRUE(mngr->Start(16));
    notifier.script = {Answer::Ok, Answer::No};
    ASSERT_TRUE(mngr->StopRecordingAsked(nullptr));
    EXPECT_TRUE(Send(Command(2, 1, 4)));
    EXPECT_TRUE(Stroke(5));
    EXPECT_EQ(mngr->WritePosition(), 0);
    EXPECT_FALSE(mngr->HasEvents());
    EXPECT_FALSE(mngr->StopRecordingAsked(nullptr));
}

TEST_F(EventMngrTest, BadInputIsRefusedAndLeavesTheStream)
{
    ASSERT_TRUE(Stroke(1));
    const std::vector<uint8_t> before = StreamOf(*mngr);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::function<bool()> call;
    } cases[] = {
        {"short payload", [&] { return Send(Command(2, 1, 3)); }},
        {"unknown header", [&] { return Send(Command(3, 0, 4)); }},
        {"stroke through Record", [&] { return Send(Command(18, 1, 12)); }},
        {"no header", [&] { return mngr->Record(nullptr, 0); }},
        {"not a stroke kind", [&] { return mngr->BeginStroke(PacketId::MorePoints, 0, 0, 1, 1, 1); }},
        {"NaN start", [&] { return mngr->BeginStroke(PacketId::StrokeStartEarlier, 0, 0, nan, 1, 1); }},
        {"far start", [&] { return mngr->BeginStroke(PacketId::StrokeStartEarlier, 0, 0, 1, 3e6f, 1); }},
        {"point without stroke", [&] { return mngr->AddPoint(1, 1, 1); }},
        {"end without stroke", [&] { return mngr->EndStroke(); }},
        {"redo with nothing undone", [&] { return mngr->RedoStep(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(StreamOf(*mngr), before);
        EXPECT_TRUE(mngr->IsRecording());
    }
    // Nothing may land inside an open stroke.
    ASSERT_TRUE(mngr->BeginStroke(PacketId::StrokeStartEarlier, 0, 0, 1, 1, 1));
    EXPECT_FALSE(Send(Command(2, 1, 4)));
    EXPECT_FALSE(mngr->AddPoint(nan, 1, 1));
    EXPECT_FALSE(mngr->UndoStep());
    ASSERT_TRUE(mngr->EndStroke());
    EXPECT_TRUE(notifier.messages.empty());
}

// Points are taken by the stream's coordinate rule, at its edges too.
TEST_F(EventMngrTest, PointsFollowTheCoordinateRule)
{
    const float reach = float((int64_t(1) << 20) + 32767);
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, -0.0f, 1e-45f, 0.5f, -1234.5f, reach, -reach, std::nextafter(reach, inf),
                            -std::nextafter(reach, inf), 3e38f, inf, -inf, std::numeric_limits<float>::quiet_NaN()};
    ASSERT_TRUE(mngr->BeginStroke(PacketId::StrokeStartEarlier, 0, 0, 1, 1, 1));
    for (float v : values) {
        SCOPED_TRACE(v);
        EXPECT_EQ(mngr->AddPoint(v, 1, 0.5f), IsStreamCoordinate(v));
        EXPECT_EQ(mngr->AddPoint(1, v, 0.5f), IsStreamCoordinate(v));
        EXPECT_EQ(mngr->AddPoint(1, 1, v), std::isfinite(v));
    }
    ASSERT_TRUE(mngr->EndStroke());
}

TEST_F(EventMngrTest, APacketThatCannotBeKeptStopsTheRecording)
{
    ASSERT_TRUE(Stroke(1));
    ScopedMemoryLimit none(0);
    // Fill the current segment: the next one cannot be had.
    bool kept = true;
    for (int i = 0; i < 100 && kept; ++i)
        kept = Stroke(1);
    EXPECT_FALSE(kept);
    EXPECT_EQ(mngr->State(), EventMngrState::Idle);
    EXPECT_FALSE(mngr->HasEvents());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, kStopped);
    EXPECT_TRUE(Send(Command(2, 1, 4)));
    EXPECT_EQ(mngr->WritePosition(), 0);
}

TEST_F(EventMngrTest, LoadingTakesTheBytesAndTheStepCount)
{
    ASSERT_TRUE(mngr->StartMarks());
    ASSERT_TRUE(Stroke(30));
    const std::vector<uint8_t> recorded = StreamOf(*mngr);
    const int32_t steps = mngr->CommittedSteps();
    CEventMngr loaded(kSegment);
    ASSERT_TRUE(loaded.BeginLoad());
    for (size_t at = 0; at < recorded.size(); at += 100)
        ASSERT_TRUE(loaded.AppendRaw(recorded.data() + at, int64_t(std::min<size_t>(100, recorded.size() - at))));
    loaded.EndLoad(steps, 40, 0x4000);
    EXPECT_EQ(StreamOf(loaded), recorded);
    EXPECT_EQ(loaded.CommittedSteps(), steps);
    EXPECT_EQ(loaded.CommittedLength(), int64_t(recorded.size()));
    EXPECT_EQ(loaded.EventGeneration, 40);
    EXPECT_EQ(loaded.EventFlags, 0x4000);
    EXPECT_FALSE(loaded.IsRecording());
    // The marks: data blocks of their sizes, then the start mark as a step.
    const Headers marks = HeadersFrom(*mngr, 0);
    EXPECT_EQ(Headers(marks.begin() + 7, marks.begin() + 10), (Headers{{1, 17}, {1, 16}, {2, 254}}));
}

// A replayed stream goes on recording after a step: only a cut between
// packets of an unprotected stream of the appendable generations is taken,
// and what lay beyond cannot come back.
TEST_F(EventMngrTest, ResumingCutsALoadedStreamAtAStepAndRecordsOn)
{
    ASSERT_TRUE(Send(Command(2, 8, 28)));
    ASSERT_TRUE(mngr->StartMarks());
    ASSERT_TRUE(Send(Command(2, 1, 4)));
    const int64_t cut = mngr->WritePosition();
    ASSERT_TRUE(Stroke(40));
    ASSERT_TRUE(mngr->EndMark());
    const std::vector<uint8_t> recorded = StreamOf(*mngr);
    const int32_t steps = mngr->CommittedSteps();
    auto loaded = [&](uint8_t generation) {
        auto m = std::make_unique<CEventMngr>(kSegment);
        EXPECT_TRUE(m->BeginLoad());
        EXPECT_TRUE(m->AppendRaw(recorded.data(), int64_t(recorded.size())));
        m->EndLoad(steps, generation, 0);
        return m;
    };
    const struct {
        const char* name;
        uint8_t generation;
        bool isProtected;
        int64_t at;
    } refused[] = {
        {"inside a packet", 41, false, cut - 1},
        {"past the end", 41, false, int64_t(recorded.size()) + 2},
        {"earlier generation", 16, false, cut},
        {"protected", 41, true, cut},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        auto m = loaded(c.generation);
        m->Protected = c.isProtected;
        EXPECT_FALSE(m->ResumeAt(c.at, 3));
        EXPECT_EQ(StreamOf(*m), recorded);
        EXPECT_FALSE(m->IsRecording());
    }
    auto m = loaded(41);
    ASSERT_TRUE(m->ResumeAt(cut, 3));
    EXPECT_TRUE(m->IsRecording());
    EXPECT_EQ(m->WritePosition(), cut);
    EXPECT_EQ(m->CommittedSteps(), 3);
    EXPECT_EQ(m->UndoCount(), 0);
    EXPECT_EQ(m->StateValidBits(), 0u);
    // Nothing of the dropped stroke can be had again.
    EXPECT_FALSE(m->RedoStep());
    EXPECT_EQ(m->Read(cut, nullptr, 0), 0);
    EXPECT_EQ(std::vector<uint8_t>(recorded.begin(), recorded.begin() + cut), StreamOf(*m));
}

// The start time is the moment in UTC, whatever zone the machine is set to.
TEST_F(EventMngrTest, StartTimeIsUniversalTime)
{
    const char* zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    Clock* before = SetClock(nullptr);
    const std::time_t first = std::time(nullptr);
    ASSERT_TRUE(mngr->StartMarks());
    const std::time_t last = std::time(nullptr);
    SetClock(before);
    zone ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();

    const std::vector<uint8_t> stream = StreamOf(*mngr);
    std::vector<uint8_t> time;
    for (const Packet& p : PacketsOf(stream))
        if (p.header == Header(1, 17))
            time = p.payload;
    // The block's length, then its sixteen bytes.
    ASSERT_EQ(time.size(), 20u);
    const auto field = [&](int i) { return int(time[size_t(4 + 2 * i)] | time[size_t(5 + 2 * i)] << 8); };
    std::tm recorded{};
    recorded.tm_year = field(0) - 1900;
    recorded.tm_mon = field(1) - 1;
    recorded.tm_mday = field(3);
    recorded.tm_hour = field(4);
    recorded.tm_min = field(5);
    recorded.tm_sec = field(6);
    const std::time_t at = ::timegm(&recorded);
    EXPECT_GE(at, first);
    EXPECT_LE(at, last);
    EXPECT_EQ(field(2), recorded.tm_wday) << "day of the week";
}

// The last tone packet names the tone, and the stream embeds that tone
// before it: a replay can find it.
bool ToneInEffect(const std::vector<uint8_t>& stream, uint32_t id)
{
    bool embedded = false, named = false;
    for (const Packet& p : PacketsOf(stream)) {
        if (p.header != Header(0, 36) && p.header != Header(0, 37))
            continue;
        const uint32_t at = uint32_t(p.payload[0] | p.payload[1] << 8 | p.payload[2] << 16 | p.payload[3] << 24);
        named = at == id;
        embedded = embedded || (named && p.header == Header(0, 36));
    }
    return named && embedded;
}

// Random record, stroke, undo, redo and discard: the stream always equals
// the stream as it stood after the last step the history holds, its steps
// walk to the committed count, and after each new step the last record of
// each synced state code in the stream says the state it was recorded with.
TEST_F(EventMngrTest, RandomHistoryKeepsTheStreamEqualToItsSteps)
{
    ASSERT_TRUE(mngr->Start(1024));
    std::mt19937 rng(20261210);
    std::vector<std::vector<uint8_t>> after{StreamOf(*mngr)};
    size_t done = 0;
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto lastSaid = [&](int code) {
        std::vector<uint8_t> last;
        const std::vector<uint8_t> all = StreamOf(*mngr);
        for (const Packet& p : PacketsOf(all))
            if (p.header == Header(0, code))
                last = p.payload;
        return last;
    };
    auto encoded = [](auto payload, uint8_t code) {
        payload.code = code;
        std::vector<uint8_t> bytes = payload.Encode();
        return std::vector<uint8_t>(bytes.begin() + 2, bytes.end());
    };
    for (int i = 0; i < 600; ++i) {
        const int op = pick(10);
        if (op < 5) {
            state.canvasColour.colour = uint32_t(pick(3));
            state.currentLayer.layer = uint16_t(pick(3));
            state.penRadius.radius = float(1 + pick(3));
            state.usesTone = pick(3) == 0;
            state.tone = FakeTone(uint32_t(1 + pick(2)));
            if (pick(3) == 0)
                mngr->DiscardRedo();
            const bool stroke = op < 2;
            ASSERT_TRUE(stroke ? Stroke(1 + pick(40)) : Send(Command(op == 2 ? 4 : 2, 1, 4, uint8_t(pick(4)))));
            after.resize(++done);
            after.push_back(StreamOf(*mngr));
            ASSERT_EQ(lastSaid(2), encoded(state.canvasColour, 2)) << "operation " << i;
            ASSERT_EQ(lastSaid(8), encoded(state.currentLayer, 8)) << "operation " << i;
            if (stroke) {
                ASSERT_EQ(lastSaid(17), encoded(state.penRadius, 17)) << "operation " << i;
            }
            if (state.usesTone) {
                ASSERT_TRUE(ToneInEffect(StreamOf(*mngr), state.tone.reference.id)) << "operation " << i;
            }
        } else if (op < 8) {
            ASSERT_EQ(mngr->UndoStep(), done > 0);
            done -= done > 0;
        } else {
            const bool can = done + 1 < after.size();
            ASSERT_EQ(mngr->RedoStep(), can);
            done += can;
        }
        ASSERT_EQ(StreamOf(*mngr), after[done]) << "operation " << i;
        const std::vector<uint8_t> all = StreamOf(*mngr);
        ASSERT_EQ(WalkPackets(all).steps, uint64_t(mngr->CommittedSteps()));
        ASSERT_EQ(mngr->RedoCount(), int32_t(after.size() - 1 - done));
    }
    EXPECT_TRUE(notifier.messages.empty());
}

} // namespace
} // namespace morvane
