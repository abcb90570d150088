#include "files/PresetLocation.h"

#include <filesystem>
#include <system_error>

#include "files/BrushPresetFile.h"
#include "files/NibPresetFile.h"
#include "paint/CPenMethodMngr.h"
#include "paint/CPenShapeMngr.h"

namespace morvane {

namespace {

bool IsFile(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string InFolder(const std::string& folder, const std::string& fileName)
{
    return (std::filesystem::path(folder) / fileName).string();
}

// Runs the read of the default file; on failure lets `fallBack` fill the
// list and forgets every path.
template <typename List, typename Read, typename FallBack>
bool ReadDefault(List& list, PresetLocation& where, const std::string& fileName, Read read, FallBack fallBack)
{
    const std::string path = FindDefaultPresetFile(where, fileName);
    if (!path.empty() && read(path))
        return true;
    fallBack();
    where.rememberedPath.clear();
    list.SetFileName(std::string());
    return false;
}

} // namespace

std::string FindDefaultPresetFile(PresetLocation& where, const std::string& fileName)
{
    if (IsFile(where.rememberedPath))
        return where.rememberedPath;
    if (!where.presetsFolder.empty() && IsFile(InFolder(where.presetsFolder, fileName)))
        return InFolder(where.presetsFolder, fileName);
    where.presetsFolder = InFolder(where.appFolder, "preset");
    const std::string path = InFolder(where.presetsFolder, fileName);
    return IsFile(path) ? path : std::string();
}

bool ReadDefaultNibPresetFile(CPenShapeMngr& list, PresetLocation& where, bool builtIns)
{
    return ReadDefault(
        list, where, kDefaultNibFile,
        [&](const std::string& path) { return ReadNibPresetFile(path, list, false, false) == PresetReadCode::Ok; },
        [&] {
            if (builtIns)
                list.FillBuiltIns();
        });
}

bool ReadDefaultBrushPresetFile(CPenMethodMngr& list, PresetLocation& where, bool addDefaults)
{
    return ReadDefault(
        list, where, kDefaultBrushFile,
        [&](const std::string& path) {
            return ReadBrushPresetFile(path, list, false, false) == PresetReadCode::Ok && list.HasEveryKind();
        },
        [&] {
            if (addDefaults)
                list.AddMissingDefaults();
        });
}

} // namespace morvane
