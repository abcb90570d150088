#include "platform/qt/QtSettingsStore.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <limits>

namespace morvane {

namespace {

QString Key(const std::string& section, const std::string& name)
{
    return QString::fromUtf8(section) + u'/' + QString::fromUtf8(name);
}

// A hand-written value with a comma comes back from the INI reader as a list.
std::optional<QString> AsText(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return std::nullopt;
}

std::optional<SettingValue> ParseInt(const QString& text)
{
    bool ok = false;
    qlonglong n = text.trimmed().toLongLong(&ok, 10);
    if (!ok || n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return SettingValue(static_cast<int32_t>(n));
}

std::optional<SettingValue> ParseReal(const QString& text)
{
    bool ok = false;
    double d = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return SettingValue(d);
}

std::vector<uint8_t> Bytes(const QByteArray& a)
{
    return std::vector<uint8_t>(a.begin(), a.end());
}

} // namespace

// QSettings' own user-scope INI file would be named ".ini"; the program's
// file is ".conf", next to where other programs keep theirs.
QString QtSettingsStore::DefaultFileName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QStringLiteral("/vantrell/VELDRANE4.conf");
}

QtSettingsStore::QtSettingsStore() : QtSettingsStore(DefaultFileName()) {}

QtSettingsStore::QtSettingsStore(const QString& fileName) : settings_(fileName, QSettings::IniFormat) {}

std::optional<SettingValue> QtSettingsStore::Read(const std::string& section, const std::string& name) const
{
    QVariant v = settings_.value(Key(section, name));
    if (v.typeId() == QMetaType::QByteArray)
        return SettingValue(Bytes(v.toByteArray()));
    if (std::optional<QString> text = AsText(v))
        return SettingValue(text->toStdString());
    return std::nullopt;
}

std::optional<SettingValue> QtSettingsStore::ReadKind(const std::string& section, const std::string& name,
                                                      SettingKind kind) const
{
    QVariant v = settings_.value(Key(section, name));
    if (kind == SettingKind::Binary)
        return v.typeId() == QMetaType::QByteArray ? std::optional(SettingValue(Bytes(v.toByteArray())))
                                                   : std::nullopt;
    std::optional<QString> text = AsText(v);
    if (!text)
        return std::nullopt;
    switch (kind) {
    case SettingKind::Int:
        return ParseInt(*text);
    case SettingKind::Real:
        return ParseReal(*text);
    default:
        return SettingValue(text->toStdString());
    }
}

// Numbers are written as text too: they come back as text from the file, and
// from QSettings' in-process cache as whatever was written, and both must
// read alike.
void QtSettingsStore::Write(const std::string& section, const std::string& name, const SettingValue& value)
{
    QVariant v = std::visit([](const auto& x) -> QVariant {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>)
            return QString::fromUtf8(x);
        else if constexpr (std::is_same_v<T, std::vector<uint8_t>>)
            return QByteArray(reinterpret_cast<const char*>(x.data()), static_cast<qsizetype>(x.size()));
        else if constexpr (std::is_same_v<T, double>)
            return QString::number(x, 'g', 17); // exact on reading back
        else
            return QString::number(x);
    }, value);
    settings_.setValue(Key(section, name), v);
}

void QtSettingsStore::Remove(const std::string& section, const std::string& name)
{
    settings_.remove(Key(section, name));
}

bool QtSettingsStore::Flush()
{
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

} // namespace morvane
