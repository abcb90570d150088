#pragma once
// Gives every stored value of a profile a value of its own: in range, not its
// default, and different from its neighbours', so that a value written under
// the wrong name or read into the wrong field shows on a round trip.
#include <algorithm>
#include <cstdint>
#include <string>

#include "app/CAppProfile.h"

namespace morvane {

inline SettingData SampleValue(const SettingEntry& e, int64_t i)
{
    if (std::holds_alternative<bool*>(e.slot))
        return !std::get<bool>(e.fallback);
    if (std::holds_alternative<std::string*>(e.slot))
        return std::string("値 ") + e.name + ", ä";
    if (std::holds_alternative<float*>(e.slot))
        return static_cast<float>(e.lo + (e.hi - e.lo) * double((i * 37) % 97 + 1) / 100.0);
    const int64_t lo = static_cast<int64_t>(std::max(e.lo, -100000.0));
    const int64_t span = static_cast<int64_t>(std::min(e.hi, 100000.0)) - lo + 1;
    int64_t v = lo + (i * 37 + 1) % span;
    if (v == std::get<int32_t>(e.fallback))
        v = lo + (v - lo + 1) % span;
    return static_cast<int32_t>(v);
}

// The values a sample leaves alone: the docking counts shape the table, and
// the save step sets the generation, code page, locale and program folder.
inline bool SampleLeaves(const SettingEntry& e)
{
    const std::string& n = e.name;
    return n == "FloatFormCount" || n.find("PaneCount") != std::string::npos || (e.flags & kSettingWriteOnly) ||
           n == "appVerID" || n == "lastCP" || n == "lastLCID";
}

// Two floating forms with one and two panes, then every value sampled. The
// values that the save step sets itself keep theirs.
inline void FillSample(CAppProfile& p)
{
    p.window.FloatFormCount = 2;
    p.window.forms.resize(2);
    p.window.forms[0].PaneCount = 1;
    p.window.forms[1].PaneCount = 2;
    p.window.panes.resize(3);
    int64_t i = 0;
    for (const SettingEntry& e : p.Table())
        if (!SampleLeaves(e))
            AssignValue(e, SampleValue(e, i++));
}

} // namespace morvane
