#include "app/CAppProfile.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>
#include <type_traits>

#include "input/InputRouter.h"
#include "platform/SettingsStore.h"

namespace morvane {

namespace {

// Sections in the order they are read at start and written at exit.
const char* const kLoadOrder[] = {"fileIO", "config", "color", "paper", "window", "font"};
const char* const kSaveOrder[] = {"window", "fileIO", "config", "color", "paper", "font"};

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

int32_t ClampInt(int64_t value, const SettingEntry& entry)
{
    if ((entry.flags & kSettingUnsetBelowZero) && value < 0)
        return static_cast<int32_t>(value);
    return static_cast<int32_t>(std::clamp<double>(static_cast<double>(value), entry.lo, entry.hi));
}

// Reads one value into its slot; false when the store has none of its kind.
bool ReadEntry(const SettingsStore& store, const SettingEntry& e)
{
    return std::visit(Overload{
        [&](int32_t* v) {
            std::optional<int32_t> read = store.ReadInt(e.section, e.name);
            if (read)
                *v = ClampInt(*read, e);
            return read.has_value();
        },
        [&](bool* v) {
            std::optional<int32_t> read = store.ReadInt(e.section, e.name);
            if (read)
                *v = *read != 0;
            return read.has_value();
        },
        [&](float* v) {
            std::optional<double> read = store.ReadReal(e.section, e.name);
            if (read)
                *v = std::isfinite(*read) ? static_cast<float>(std::clamp(*read, e.lo, e.hi))
                                          : std::get<float>(e.fallback);
            return read.has_value();
        },
        [&](std::string* v) {
            std::optional<std::string> read = store.ReadString(e.section, e.name);
            if (read)
                *v = *read;
            return read.has_value();
        },
    }, e.slot);
}

void WriteEntry(SettingsStore& store, const SettingEntry& e)
{
    std::visit(Overload{
        [&](int32_t* v) { store.Write(e.section, e.name, *v); },
        [&](bool* v) { store.Write(e.section, e.name, int32_t(*v ? 1 : 0)); },
        [&](float* v) { store.Write(e.section, e.name, double(*v)); },
        [&](std::string* v) { store.Write(e.section, e.name, *v); },
    }, e.slot);
}

void ApplyDefaults(const std::vector<SettingEntry>& entries)
{
    for (const SettingEntry& e : entries)
        AssignValue(e, e.fallback);
}

int32_t LocaleFromEnvironment()
{
    const char* lang = nullptr;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        lang = std::getenv(var);
        if (lang && *lang)
            break;
    }
    if (!lang)
        return 1033;
    struct Known {
        const char* prefix;
        int32_t id;
    };
    // Locale identifiers of the languages the program has texts or fonts for.
    static const Known kKnown[] = {{"ja", 1041}, {"ko", 1042}, {"zh_TW", 1028}, {"zh", 2052},
                                   {"de", 1031}, {"fr", 1036}, {"en", 1033}};
    for (const Known& k : kKnown)
        if (std::strncmp(lang, k.prefix, std::strlen(k.prefix)) == 0)
            return k.id;
    return 1033;
}

int32_t KernelVersion()
{
    utsname name{};
    if (uname(&name) != 0)
        return 0;
    int major = 0, minor = 0;
    if (std::sscanf(name.release, "%d.%d", &major, &minor) != 2)
        return 0;
    return std::clamp(major, 0, 10000) * 100 + std::clamp(minor, 0, 99);
}

// The folder and the file name of a path.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace

int32_t LanguageGroup(int32_t codePage, int32_t localeId)
{
    if (codePage == 932 || localeId == 1041)
        return 0;
    if (codePage == 949 || localeId == 1042)
        return 1;
    return 2;
}

AppEnvironment DetectEnvironment()
{
    AppEnvironment env;
    env.localeId = LocaleFromEnvironment();
    env.languageGroup = LanguageGroup(env.codePage, env.localeId);
    env.systemVersion = KernelVersion();
    // The root folder stands in for the system folder of other platforms.
    env.systemFolder.assign(1, '/');
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string exePath = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
    std::tie(env.appFolder, env.appFileName) = SplitPath(exePath);
    const char* tmp = std::getenv("TMPDIR");
    env.tempFolder = tmp && *tmp ? tmp : "/tmp";
    return env;
}

uint8_t GridAlphaFromOpacity(int percent)
{
    // Trunc(percent * 255 / 100 + 0.5) in integers.
    int p = std::clamp(percent, 0, 100);
    return static_cast<uint8_t>((p * 255 + 50) / 100);
}

int GridOpacityFromAlpha(uint8_t alpha)
{
    return (alpha * 100 + 127) / 255;
}

SettingData CurrentValue(const SettingEntry& entry)
{
    return std::visit([](auto* slot) { return SettingData(*slot); }, entry.slot);
}

void AssignValue(const SettingEntry& entry, const SettingData& value)
{
    std::visit([&](auto* slot) {
        using T = std::remove_pointer_t<decltype(slot)>;
        if (const T* typed = std::get_if<T>(&value))
            *slot = *typed;
    }, entry.slot);
}

CAppProfile::CAppProfile(AppEnvironment environment) : env_(std::move(environment))
{
    Reset();
}

std::vector<SettingEntry> CAppProfile::Table()
{
    std::vector<SettingEntry> table;
    BuildTable(table);
    return table;
}

const SettingEntry* FindSetting(const std::vector<SettingEntry>& table, const std::string& section,
                                const std::string& name)
{
    for (const SettingEntry& e : table)
        if (section == e.section && name == e.name)
            return &e;
    return nullptr;
}

void CAppProfile::Reset()
{
    window.forms.clear();
    window.panes.clear();
    ApplyDefaults(Table());
}

void CAppProfile::LoadSection(const SettingsStore& store, const char* section)
{
    for (const SettingEntry& e : Table())
        if (std::strcmp(e.section, section) == 0 && !(e.flags & kSettingWriteOnly))
            ReadEntry(store, e);
}

// Forms and panes with defaults for as many as the counts name; the counts
// themselves are clamped, so this never grows beyond the limits.
void CAppProfile::FitDocking()
{
    window.FloatFormCount = std::clamp<int32_t>(window.FloatFormCount, 0, kMaxFloatForms);
    std::vector<SettingEntry> fresh;
    while (window.forms.size() > static_cast<size_t>(window.FloatFormCount))
        window.forms.pop_back();
    while (window.forms.size() < static_cast<size_t>(window.FloatFormCount)) {
        window.forms.emplace_back();
        AddFormEntries(fresh, window.forms.back(), static_cast<int>(window.forms.size() - 1));
        ApplyDefaults(fresh);
        fresh.clear();
    }
    size_t paneCount = 0;
    for (FloatForm& form : window.forms) {
        form.PaneCount = std::clamp<int32_t>(form.PaneCount, -1, kMaxPanesPerForm);
        paneCount += static_cast<size_t>(std::max(form.PaneCount, 0));
    }
    while (window.panes.size() > paneCount)
        window.panes.pop_back();
    while (window.panes.size() < paneCount) {
        window.panes.emplace_back();
        AddPaneEntries(fresh, window.panes.back(), static_cast<int>(window.panes.size() - 1));
        ApplyDefaults(fresh);
        fresh.clear();
    }
}

void CAppProfile::LoadDocking(const SettingsStore& store)
{
    FitDocking();
    for (size_t i = 0; i < window.forms.size(); ++i) {
        std::vector<SettingEntry> rows;
        AddFormEntries(rows, window.forms[i], static_cast<int>(i));
        // The first row is the pane count: without it the form keeps its defaults.
        if (!ReadEntry(store, rows.front()))
            continue;
        for (size_t k = 1; k < rows.size(); ++k)
            ReadEntry(store, rows[k]);
    }
    FitDocking();
    for (size_t i = 0; i < window.panes.size(); ++i) {
        std::vector<SettingEntry> rows;
        AddPaneEntries(rows, window.panes[i], static_cast<int>(i));
        for (const SettingEntry& e : rows)
            ReadEntry(store, e);
    }
}

void CAppProfile::Load(const SettingsStore& store)
{
    Reset();
    for (const char* section : kLoadOrder) {
        LoadSection(store, section);
        if (std::strcmp(section, "window") == 0)
            LoadDocking(store);
    }
    // Older generations name a gradation file of a format this one does not read.
    if (config.appVerID <= 10)
        fileIO.gradFile2.clear();
    config.appVerID = kSettingsGeneration;
}

bool CAppProfile::SaveAtExit(SettingsStore& store)
{
    if (!savesAtExit_)
        return false;
    fileIO.appPath = env_.appFolder;
    config.appVerID = kSettingsGeneration;
    config.lastCP = env_.codePage;
    config.lastLCID = env_.localeId;
    FitDocking();
    std::vector<SettingEntry> table = Table();
    for (const char* section : kSaveOrder)
        for (const SettingEntry& e : table)
            if (std::strcmp(e.section, section) == 0)
                WriteEntry(store, e);
    return store.Flush();
}

int CAppProfile::GridOpacity() const
{
    return GridOpacityFromAlpha(static_cast<uint8_t>(static_cast<uint32_t>(config.GridColor) >> 24));
}

void CAppProfile::SetGridOpacity(int percent)
{
    uint32_t colour = static_cast<uint32_t>(config.GridColor) & 0x00FFFFFFu;
    config.GridColor = static_cast<int32_t>(colour | (uint32_t(GridAlphaFromOpacity(percent)) << 24));
}

SUserPaperPreset ToUserPaperPreset(const PaperPreset& preset)
{
    SUserPaperPreset user;
    user.unit = static_cast<SizeUnit>(preset.unit);
    user.resolution = preset.dpi;
    user.width = preset.w;
    user.height = preset.h;
    user.transparent = preset.transparent;
    // The settings clamp each number alone; a size is only sound with its unit.
    user.Sanitize();
    return user;
}

PaperPreset FromUserPaperPreset(const SUserPaperPreset& preset)
{
    return {static_cast<int32_t>(preset.unit), preset.resolution, preset.width, preset.height, preset.transparent};
}

InputSettings InputSettingsFrom(const CAppProfile& profile)
{
    const CAppProfile::Config& c = profile.config;
    return {c.ShortcutMode, c.mouseMBtnFunc, c.useRBtnColPicker, c.useAutoScroll};
}

} // namespace morvane
