#include "platform/settings.h"

#include "branding/branding.h"
#include "platform/inikeys_p.h"
#include "platform/machinesettings.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

const SettingSpec schema[] = {
    {SettingKey::TVLang, SettingStore::PerUser, "TVLang"_L1, "English"_L1},
    {SettingKey::RadioLang, SettingStore::PerUser, "RadioLang"_L1, "English"_L1},
    {SettingKey::VideoLang, SettingStore::PerUser, "VideoLang"_L1, "English"_L1},
    {SettingKey::Language, SettingStore::PerUser, "Language"_L1, "English"_L1},
    {SettingKey::ShowHelp, SettingStore::PerUser, "showHelp"_L1, "1"_L1},
    {SettingKey::Drive, SettingStore::PerUser, "Drive"_L1, ""_L1},
    {SettingKey::Dir, SettingStore::PerUser, "Dir"_L1, ""_L1},
    {SettingKey::IgnorePermissionDeniedError, SettingStore::PerUser,
     "IgnorePermissionDeniedError"_L1, "0"_L1},
    {SettingKey::CatalogueServer, SettingStore::PerUser, "CatalogueServer"_L1, ""_L1},
    {SettingKey::ListWidth, SettingStore::PerUser, "ListWidth"_L1, ""_L1},
    {SettingKey::MachineChkSplash, SettingStore::MachineWide, "chkSplash"_L1, "0"_L1},
    {SettingKey::MachineShowHelp, SettingStore::MachineWide, "showHelp"_L1, ""_L1},
};

// The application name becomes a folder and a file name: refuse anything that would leave the
// config home.
bool usableApplication(const QString &application)
{
    return !application.trimmed().isEmpty() && !application.contains(u'/') &&
           !application.contains(u'\\') && application != u"."_s && application != u".."_s;
}

} // namespace

QString settingsApplication()
{
    return branding().productName;
}

std::span<const SettingSpec> settingsSchema()
{
    return schema;
}

const SettingSpec &settingSpec(SettingKey key)
{
    for (const SettingSpec &spec : schema) {
        if (spec.key == key)
            return spec;
    }
    Q_UNREACHABLE();
}

QString userSettingsFilePath(const QString &application)
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return home + u'/' + application + u'/' + application + u".ini"_s;
}

QString getSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    if (!usableApplication(application) || section.isEmpty() || key.isEmpty())
        return defaultValue;
    const QString path = userSettingsFilePath(application);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return defaultValue;
    // Lines Qt cannot parse are dropped (FormatError): their keys read as absent. Qt reports
    // that status only on the first read of a file, so it cannot decide anything here.
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return defaultValue;
    const QVariant value = settings.value(detail::storedKey(settings, section, key));
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() == QMetaType::QStringList) // an unquoted comma in a hand-edited file
        return value.toStringList().join(u", "_s);
    if (!value.canConvert<QString>())
        return defaultValue;
    return value.toString();
}

Result<void> saveSetting(const QString &application, const QString &section, const QString &key,
                         const QString &value)
{
    if (!usableApplication(application) || section.isEmpty() || key.isEmpty())
        return Result<void>::failure(
            u"no setting named '%1' '%2' '%3'"_s.arg(application, section, key));
    const QString path = userSettingsFilePath(application);
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(detail::storedKey(settings, section, key), value);
    settings.sync();
    // A FormatError left over from reading a damaged file does not stop the write, which drops
    // the damaged lines.
    if (settings.status() == QSettings::AccessError)
        return Result<void>::failure(u"%1 cannot be written"_s.arg(path));
    return {};
}

QString readSetting(SettingKey key)
{
    return readSetting(key, settingSpec(key).defaultValue);
}

QString readSetting(SettingKey key, const QString &defaultValue)
{
    const SettingSpec &spec = settingSpec(key);
    if (spec.store == SettingStore::MachineWide)
        return getRegSetting(settingsApplication(), settingsSection, spec.name, defaultValue)
            .valueOr(defaultValue);
    return getSetting(settingsApplication(), settingsSection, spec.name, defaultValue);
}

void storeSetting(SettingKey key, const QString &value)
{
    const SettingSpec &spec = settingSpec(key);
    if (spec.store == SettingStore::MachineWide)
        saveRegSetting(settingsApplication(), settingsSection, spec.name, value);
    else
        (void)saveSetting(settingsApplication(), settingsSection, spec.name, value);
}

} // namespace mavrel
