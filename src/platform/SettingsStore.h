#pragma once
// Persistent program settings: named values in named sections. A value of the
// wrong type reads as missing, so a damaged store falls back to defaults.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace morvane {

// Reals are their own kind (not 8 opaque bytes) so that a text store can keep
// them readable; a store that cannot tell kinds apart checks them on reading.
using SettingValue = std::variant<int32_t, std::string, std::vector<uint8_t>, double>;

enum class SettingKind : size_t { Int = 0, String = 1, Binary = 2, Real = 3 };

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<SettingValue> Read(const std::string& section, const std::string& name) const = 0;
    virtual void Write(const std::string& section, const std::string& name, const SettingValue& value) = 0;
    virtual void Remove(const std::string& section, const std::string& name) = 0;
    // Makes the written values durable; false when that failed.
    virtual bool Flush() = 0;

    std::optional<int32_t> ReadInt(const std::string& section, const std::string& name) const;
    std::optional<std::string> ReadString(const std::string& section, const std::string& name) const;
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& section, const std::string& name) const;
    std::optional<double> ReadReal(const std::string& section, const std::string& name) const;

protected:
    // The value when it is of `kind`. Stores that keep only text (INI files)
    // override this to parse the text strictly as that kind.
    virtual std::optional<SettingValue> ReadKind(const std::string& section, const std::string& name,
                                                 SettingKind kind) const;
};

class MemorySettingsStore final : public SettingsStore {
public:
    std::optional<SettingValue> Read(const std::string& section, const std::string& name) const override;
    void Write(const std::string& section, const std::string& name, const SettingValue& value) override;
    void Remove(const std::string& section, const std::string& name) override;
    bool Flush() override { return true; }

    size_t Size() const { return values_.size(); }

private:
    std::map<std::pair<std::string, std::string>, SettingValue> values_;
};

} // namespace morvane
