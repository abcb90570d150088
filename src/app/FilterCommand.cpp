#include "app/FilterCommand.h"

#include <exception>
#include <new>

#include "document/CFlt4Core.h"
#include "document/CLayerData.h"
#include "document/TPaper.h"
#include "platform/Clock.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

constexpr const char* kNoMemory = "メモリ不足のため実行できませんでした！";
constexpr const char* kException = "例外発生のため実行できません！";

} // namespace

FilterLastParams& FilterCommandState::LastParams(const FilterDescriptor& filter)
{
    auto [it, made] = params_.try_emplace(filter.code);
    if (made)
        it->second.record = DefaultRecord(filter);
    return it->second;
}

bool RunFilterCommand(TPaper& paper, int32_t layer, const FilterDescriptor& filter, bool useLast,
                      FilterCommandState& state, const FilterDialogRunner& dialog)
{
    try {
        CFlt4Core run(paper, true);
        switch (run.Attach(filter, layer)) {
        case FilterAttach::Ready: break;
        case FilterAttach::NoMemory: throw std::bad_alloc();
        default: return false;
        }
        std::vector<uint8_t> record = DefaultRecord(filter);
        if (filter.recordSize > 0) {
            FilterLastParams& last = state.LastParams(filter);
            // Remembered values are kept in range like recorded ones.
            if (!ValidateRecord(filter, {last.record}))
                last.record = DefaultRecord(filter);
            SanitizeRecord(filter, last.record);
            RunMoment moment{CurrentClock().Milliseconds(), run.Layer()->ProtectAlpha, run.Bounds(), last.bounds};
            if (*filter.dialog && !useLast) {
                FilterLastParams start = last;
                PrepareDialog(filter, start.record, moment);
                const std::optional<FilterLastParams> chosen = dialog ? dialog(filter, run, start) : std::nullopt;
                run.EndPreview(!chosen);
                if (!chosen)
                    return false;
                last = *chosen;
                last.bounds = run.Bounds();
                if (!ValidateRecord(filter, {last.record}))
                    last.record = DefaultRecord(filter);
                SanitizeRecord(filter, last.record);
                record = last.record;
            } else {
                record = PrepareRepeat(filter, last.record, moment);
            }
        }
        if (*filter.name)
            state.SetLastFilter(filter);
        return run.Apply({record}) == FilterResult::Done;
    } catch (const std::bad_alloc&) {
        Notifier().Warn(kNoMemory);
    } catch (const std::exception& e) {
        Notifier().Warn(std::string(kException) + "\n" + e.what());
    }
    return false;
}

} // namespace morvane
