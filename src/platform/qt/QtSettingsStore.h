#pragma once
// The settings file of the desktop program: an INI file, one group per
// section. INI keeps text only, so each read parses the text strictly as the
// kind asked for, and text that does not parse counts as missing.
#include <QSettings>
#include <QString>

#include "platform/SettingsStore.h"

namespace morvane {

class QtSettingsStore final : public SettingsStore {
public:
    // vantrell/VELDRANE4.conf under the user's config folder.
    QtSettingsStore();
    // Any INI file (tests).
    explicit QtSettingsStore(const QString& fileName);

    std::optional<SettingValue> Read(const std::string& section, const std::string& name) const override;
    void Write(const std::string& section, const std::string& name, const SettingValue& value) override;
    void Remove(const std::string& section, const std::string& name) override;
    bool Flush() override;

    QString FileName() const { return settings_.fileName(); }
    static QString DefaultFileName();

protected:
    std::optional<SettingValue> ReadKind(const std::string& section, const std::string& name,
                                         SettingKind kind) const override;

private:
    mutable QSettings settings_;
};

} // namespace morvane
