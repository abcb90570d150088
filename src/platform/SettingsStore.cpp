#include "platform/SettingsStore.h"

namespace morvane {

namespace {
template <typename T>
std::optional<T> ReadAs(const SettingsStore& store, const std::string& section, const std::string& name)
{
    std::optional<SettingValue> value = store.Read(section, name);
    if (!value)
        return std::nullopt;
    if (const T* typed = std::get_if<T>(&*value))
        return *typed;
    return std::nullopt;
}
} // namespace

std::optional<int32_t> SettingsStore::ReadInt(const std::string& section, const std::string& name) const
{
    return ReadAs<int32_t>(*this, section, name);
}

std::optional<std::string> SettingsStore::ReadString(const std::string& section, const std::string& name) const
{
    return ReadAs<std::string>(*this, section, name);
}

std::optional<std::vector<uint8_t>> SettingsStore::ReadBinary(const std::string& section, const std::string& name) const
{
    return ReadAs<std::vector<uint8_t>>(*this, section, name);
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
