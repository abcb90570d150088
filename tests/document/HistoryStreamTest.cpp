// The undo history and the recording move together: whatever happens to the
// history (a record that cannot be made, a record whose layer is gone, a
// stream with fewer steps than the history), the stream keeps replaying to
// the picture on screen and the recording goes on.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "LivePaper.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

using namespace testing_layers;

constexpr char kPushFailed[] = "メモリ不足によりアンドゥ情報の保存に失敗しました！";
constexpr char kEventsMended[] = "イベント状態の問題を修正しました!";
constexpr char kEventsBroken[] = "イベント記録に問題が検出されました!";

struct Notes {
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    ~Notes() { SetNotifier(previous); }
    bool Said(const char* text) const
    {
        for (const auto& m : notifier.messages)
            if (m.text == text)
                return true;
        return false;
    }
};

bool UndoOnce(TPaper& paper)
{
    int32_t layer = -1;
    ExtentRect rect{};
    return paper.Undo(layer, rect);
}

bool RedoOnce(TPaper& paper)
{
    int32_t layer = -1;
    ExtentRect rect{};
    return paper.Redo(layer, rect);
}

std::vector<uint8_t> StreamOf(TPaper& paper)
{
    CEventMngr& events = *paper.EventManager();
    std::vector<uint8_t> stream(size_t(events.WritePosition()));
    events.Read(0, stream.data(), int64_t(stream.size()));
    return stream;
}

struct FailingPush {
    const char* what;
    // Makes the change; the history record is built while memory is short.
    std::function<bool(Live&)> change;
};

// A change whose record cannot be made stands and stays recorded; the
// history goes whole instead of stepping the stream over the wrong step, so
// undo and redo after it keep the stream equal to the picture.
TEST(HistoryStream, AFailedPushDropsTheHistoryAndTheStreamStaysThePicture)
{
    const FailingPush cases[] = {
        {"stroke",
         [](Live& l) {
             // Over blocks the first stroke on the layer committed: only the
             // record asks for memory.
             TPaper& p = *l;
             if (!p.StrokeBegin(l.flow, l.pen, true, 0.9f, 34, 2) || !p.StrokePoint(l.flow, l.pen, true, 0.5f, 2, 30))
                 return false;
             ScopedMemoryLimit none(0);
             EdgeRect out;
             return p.StrokeEnd(l.flow, l.pen, true, out);
         }},
        {"alpha", [](Live& l) {
             ScopedMemoryLimit none(0);
             return l->SetLayerAlpha(2, 0);
         }},
    };
    for (const FailingPush& c : cases) {
        SCOPED_TRACE(c.what);
        Notes notes;
        Live live;
        ASSERT_TRUE(live->SetLayerOpacity(1, 90));
        ASSERT_TRUE(live->UndoManager()->CanUndo());
        const auto pixelsBefore = StateOf(*live).composite;
        ASSERT_TRUE(c.change(live));
        EXPECT_NE(StateOf(*live).composite, pixelsBefore) << "the change stands";
        EXPECT_TRUE(notes.Said(kPushFailed));
        EXPECT_FALSE(live->UndoManager()->CanUndo());
        EXPECT_FALSE(UndoOnce(*live)) << "nothing is left to undo";
        ExpectStreamIsThePicture(*live, "after the failed push");

        // The history starts again from here, in step with the stream.
        ASSERT_TRUE(live->SetLayerMode(1, kModeScreen));
        ASSERT_TRUE(UndoOnce(*live));
        ExpectStreamIsThePicture(*live, "after an undo");
        ASSERT_TRUE(RedoOnce(*live));
        ExpectStreamIsThePicture(*live, "after a redo");
        EXPECT_TRUE(live->EventManager()->IsRecording());
    }
}

// A record whose layer is gone is dropped, and the stream steps back over
// its step with it: the next undo takes back its own step, not the dropped
// record's.
TEST(HistoryStream, ARecordWhoseLayerIsGoneStepsTheStreamWithIt)
{
    Live live;
    const std::vector<uint8_t> base = StreamOf(*live);
    ASSERT_TRUE(live->SetLayerMode(1, kModeScreen));
    ASSERT_TRUE(live->SetLayerOpacity(2, 90));
    // The layer leaves by a change no longer in the history.
    ASSERT_TRUE(live->DeleteLayer(2, false));
    EXPECT_FALSE(UndoOnce(*live)) << "the opacity record's layer is gone";
    ASSERT_TRUE(UndoOnce(*live)) << "the mode record";
    EXPECT_EQ(live->LayerAt(1)->Mode, kModeMultiply);
    EXPECT_EQ(StreamOf(*live), base) << "both steps left the stream";
}

// A stream with fewer undo steps than the history: the user is told, the
// history gives way and the recording goes on (only the user stops it).
TEST(HistoryStream, AStreamBehindTheHistoryClearsTheHistoryAndKeepsRecording)
{
    Notes notes;
    Live live;
    // The stream keeps fewer steps than the history holds records.
    ASSERT_TRUE(live->EventManager()->SetUndoDepth(2));
    for (int opacity : {100, 120, 140, 160})
        ASSERT_TRUE(live->SetLayerOpacity(1, opacity));
    ASSERT_LT(live->EventManager()->UndoCount(), live->UndoManager()->UndoCount());
    EXPECT_FALSE(UndoOnce(*live));
    EXPECT_TRUE(notes.Said(kEventsMended));
    EXPECT_TRUE(notes.Said(kEventsBroken));
    EXPECT_FALSE(live->UndoManager()->CanUndo());
    EXPECT_TRUE(live->EventManager()->IsRecording());
    EXPECT_EQ(live->LayerAt(1)->Opacity, 160) << "nothing was undone";
    ASSERT_TRUE(live->SetLayerOpacity(1, 30));
    ExpectStreamIsThePicture(*live, "after the mismatch");
}

} // namespace
} // namespace morvane
