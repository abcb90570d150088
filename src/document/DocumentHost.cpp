#include "document/DocumentHost.h"

#include <algorithm>

namespace morvane {

int32_t RecordingDocumentHost::CountOf(Call call) const
{
    return int32_t(std::count_if(Calls.begin(), Calls.end(), [call](const Entry& e) { return e.call == call; }));
}

const RecordingDocumentHost::Entry* RecordingDocumentHost::LastOf(Call call) const
{
    auto it = std::find_if(Calls.rbegin(), Calls.rend(), [call](const Entry& e) { return e.call == call; });
    return it == Calls.rend() ? nullptr : &*it;
}

} // namespace morvane
