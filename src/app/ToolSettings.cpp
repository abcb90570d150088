#include "app/ToolSettings.h"

#include "app/CAppProfile.h"
#include "app/ToolState.h"
#include "files/PresetLocation.h"

namespace morvane {

void LoadToolPresets(ToolState& tools, CAppProfile& profile)
{
    CAppProfile::FileIO& io = profile.fileIO;
    PresetLocation brushes{io.brushFile, io.penPath, profile.Environment().appFolder};
    PresetLocation nibs{io.nibFile, io.penPath, profile.Environment().appFolder};
    tools.LoadPresets(brushes, nibs);
    io.brushFile = brushes.rememberedPath;
    io.nibFile = nibs.rememberedPath;
}

} // namespace morvane
