// A filter started by the user: the dialog's update cycle on a stepped
// clock, the command entry with a scripted dialog, and the preview pane's
// zoom geometry.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/FilterCommand.h"
#include "app/FilterDialogController.h"
#include "app/PreviewZoom.h"
#include "document/CFlt4Core.h"
#include "document/DocumentHost.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "platform/Clock.h"
#include "platform/UserNotifier.h"
#include "support/Checksum.h"

namespace morvane {
namespace {

using Change = FilterDialogController::Change;

TEST(FilterDialogController, NumbersWaitForThePauseOthersUpdateAtOnce)
{
    FixedClock clock;
    const FilterDescriptor& bc = *FilterByCode(62);
    FilterDialogController c(bc, DefaultRecord(bc), true, clock);
    EXPECT_TRUE(c.NeedsUpdate()); // the first update always runs
    c.StoreApplied();
    EXPECT_FALSE(c.NeedsUpdate());

    // Three slider moves 300 ms apart: one update, 700 ms after the last.
    for (double b : {10.0, 20.0, 30.0}) {
        EXPECT_EQ(c.SetValue(0, 0, b), Change::Debounced);
        clock.Advance(300);
        EXPECT_FALSE(c.TimerDue());
    }
    clock.Advance(399);
    EXPECT_FALSE(c.TimerDue());
    clock.Advance(1);
    EXPECT_TRUE(c.TimerDue());
    EXPECT_TRUE(c.NeedsUpdate());
    c.StoreApplied();
    EXPECT_FALSE(c.TimerPending());

    // A check box, the preview box and the defaults button: at once.
    EXPECT_EQ(c.SetValue(2, 0, 1), Change::Immediate);
    EXPECT_EQ(c.SetPreview(false), Change::Immediate);
    EXPECT_TRUE(c.NeedsUpdate());
    EXPECT_EQ(c.ResetDefaults(), Change::Immediate);
    EXPECT_EQ(c.Current(), DefaultRecord(bc));

    // Shown values round halves away from zero and stay in range; a
    // value set back to what was applied needs no update.
    c.StoreApplied();
    c.SetValue(0, 0, -2.5);
    EXPECT_EQ(c.Value(0), -3);
    c.SetValue(0, 0, 0);
    EXPECT_FALSE(c.NeedsUpdate());
    c.SetValue(1, 0, 900);
    EXPECT_EQ(c.Value(1), 100);
    const FilterDescriptor& levels = *FilterByCode(60);
    FilterDialogController l(levels, DefaultRecord(levels), true, clock);
    l.SetValue(1, 2, 0.125); // the middle is stored x 100
    EXPECT_DOUBLE_EQ(l.Value(1, 2), 0.13);
}

struct FilterDocument {
    RecordingDocumentHost host;
    TPaper paper{host};
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    FilterCommandState state;

    FilterDocument()
    {
        EXPECT_TRUE(paper.NewPicture("f", false, false, 72, 30, 20, 30, 20));
        EXPECT_TRUE(paper.LayerAt(0)->Store->FillRect({3, 3, 20, 10}, 0xFF4080C0u));
    }
    ~FilterDocument() { SetNotifier(previous); }
    uint64_t Sum() { return support::Checksum(*paper.LayerAt(0)->Store); }
    int32_t Steps() { return paper.EventManager()->CommittedSteps(); }
};

TEST(FilterCommand, DialogCancelOkAndRepeat)
{
    FilterDocument d;
    const FilterDescriptor& poster = *FilterByCode(27);
    const uint64_t before = d.Sum();
    const int32_t steps = d.Steps();
    int asked = 0;
    FilterLastParams chosen{DefaultRecord(poster), true};
    chosen.record[0] = 3;
    bool ok = false;
    auto dialog = [&](const FilterDescriptor& f, CFlt4Core& run, const FilterLastParams& last)
        -> std::optional<FilterLastParams> {
        ++asked;
        EXPECT_EQ(&f, &poster);
        run.PreviewOnDocument({chosen.record}); // a preview that must not stay
        if (!ok)
            return std::nullopt;
        EXPECT_EQ(last.record[0], asked == 1 ? 4 : 3);
        return chosen;
    };
    EXPECT_FALSE(RunFilterCommand(d.paper, 0, poster, false, d.state, dialog));
    EXPECT_EQ(d.Sum(), before);
    EXPECT_EQ(d.Steps(), steps);
    EXPECT_EQ(d.state.LastFilter(), nullptr);

    ok = true;
    asked = 0;
    // First OK: started from the defaults (4 levels).
    ASSERT_TRUE(RunFilterCommand(d.paper, 0, poster, false, d.state, dialog));
    EXPECT_EQ(d.Steps(), steps + 1);
    EXPECT_EQ(d.state.LastFilter(), &poster);
    EXPECT_EQ(d.state.LastParams(poster).record[0], 3);
    const uint64_t once = d.Sum();
    EXPECT_NE(once, before);
    // The repeat takes the last values without asking.
    ASSERT_TRUE(RunFilterCommand(d.paper, 0, poster, true, d.state, dialog));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(d.Steps(), steps + 2);

    // Not repeatable filters leave the last filter alone.
    ASSERT_TRUE(RunFilterCommand(d.paper, 0, *FilterByCode(20), false, d.state, dialog));
    EXPECT_EQ(d.state.LastFilter(), &poster);
}

FilterResult Throws(const FilterContext&, const FilterRecord&) { throw std::runtime_error("boom"); }
FilterResult OutOfMemory(const FilterContext&, const FilterRecord&) { throw std::bad_alloc(); }

TEST(FilterCommand, FailuresAreToldAndChangeNothing)
{
    const FilterDescriptor throwing{"actA", "a", 81, 0, "", {}, &Throws};
    const FilterDescriptor hungry{"actB", "b", 81, 0, "", {}, &OutOfMemory};
    FilterDocument d;
    const uint64_t before = d.Sum();
    EXPECT_FALSE(RunFilterCommand(d.paper, 0, throwing, false, d.state, {}));
    EXPECT_FALSE(RunFilterCommand(d.paper, 0, hungry, false, d.state, {}));
    ASSERT_EQ(d.notifier.messages.size(), 2u);
    EXPECT_EQ(d.notifier.messages[0].text, "例外発生のため実行できません！\nboom");
    EXPECT_EQ(d.notifier.messages[1].text, "メモリ不足のため実行できませんでした！");
    EXPECT_EQ(d.Sum(), before);
    // A layer that is not there: nothing is said or done.
    EXPECT_FALSE(RunFilterCommand(d.paper, 5, *FilterByCode(81), false, d.state, {}));
    EXPECT_EQ(d.notifier.messages.size(), 2u);
}


TEST(PreviewZoom, HundredPercentSitsMidSlider)
{
    for (double minZoom : {5.0, 25.0, 60.0}) {
        EXPECT_NEAR(ZoomToTrack(100, minZoom, 1600), (minZoom + 1600) / 2, 1e-9) << minZoom;
        EXPECT_NEAR(ZoomToTrack(minZoom, minZoom, 1600), minZoom, 1e-9);
        EXPECT_NEAR(ZoomToTrack(1600, minZoom, 1600), 1600, 1e-9);
        for (double zoom : {minZoom, 80.0, 100.0, 400.0, 1600.0})
            EXPECT_NEAR(TrackToZoom(ZoomToTrack(zoom, minZoom, 1600), minZoom, 1600), std::max(zoom, minZoom), 1e-6);
    }
    // From 100 % up the slider is linear.
    EXPECT_NEAR(ZoomToTrack(850, 100, 1600), 850, 1e-9);
    EXPECT_EQ(PaneMinZoom(8000, 6000, 400, 300), 5);
    EXPECT_EQ(PaneMinZoom(100, 80, 400, 300), 100);
}

TEST(PreviewZoom, ViewStaysInsideTheLayer)
{
    const PaneView v = PaneViewAt(1000, 800, 200, 150, 200, {990, 5});
    EXPECT_EQ(v.scaledW, 200);
    EXPECT_EQ(v.view, (EdgeRect{900, 0, 1000, 75}));
    const PaneView small = PaneViewAt(50, 40, 200, 150, 100, {25, 20});
    EXPECT_EQ(small.view, (EdgeRect{0, 0, 50, 40}));
    EXPECT_EQ(small.scaledW, 50);
}

} // namespace
} // namespace morvane
