#include "platform/SettingsStore.h"

namespace morvane {

namespace {
template <typename T>
std::optional<T> Typed(const std::optional<SettingValue>& value)
{
    if (!value)
        return std::nullopt;
    if (const T* typed = std::get_if<T>(&*value))
        return *typed;
    return std::nullopt;
}
} // namespace

std::optional<SettingValue> SettingsStore::ReadKind(const std::string& section, const std::string& name,
                                                    SettingKind kind) const
{
    std::optional<SettingValue> value = Read(section, name);
    if (value && value->index() != static_cast<size_t>(kind))
        return std::nullopt;
    return value;
}

std::optional<int32_t> SettingsStore::ReadInt(const std::string& section, const std::string& name) const
{
    return Typed<int32_t>(ReadKind(section, name, SettingKind::Int));
}

std::optional<std::string> SettingsStore::ReadString(const std::string& section, const std::string& name) const
{
    return Typed<std::string>(ReadKind(section, name, SettingKind::String));
}

std::optional<std::vector<uint8_t>> SettingsStore::ReadBinary(const std::string& section, const std::string& name) const
{
    return Typed<std::vector<uint8_t>>(ReadKind(section, name, SettingKind::Binary));
}

std::optional<double> SettingsStore::ReadReal(const std::string& section, const std::string& name) const
{
    return Typed<double>(ReadKind(section, name, SettingKind::Real));
}

std::optional<SettingValue> MemorySettingsStore::Read(const std::string& section, const std::string& name) const
{
    auto it = values_.find({section, name});
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

void MemorySettingsStore::Write(const std::string& section, const std::string& name, const SettingValue& value)
{
    values_[{section, name}] = value;
}

void MemorySettingsStore::Remove(const std::string& section, const std::string& name)
{
    values_.erase({section, name});
}

} // namespace morvane
