#include "document/PaperSnapshot.h"

#include "document/TPaper.h"
#include "events/CEventMngr.h"

namespace morvane {

void ContinueRecording(TPaper& paper, bool streamLoaded)
{
    CEventMngr* events = paper.EventManager();
    if (!events)
        return;
    if (streamLoaded && events->ResumeLoaded())
        return;
    events->Reset();
}

} // namespace morvane
