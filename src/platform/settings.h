#pragma once

#include "platform/result.h"

#include <QLatin1StringView>
#include <QString>

#include <span>

namespace mavrel {

// Every setting the product keeps, named once. Callers pass one of these; the key text, the
// store and the default come from the schema below.
enum class SettingKey
{
    TVLang,
    RadioLang,
    VideoLang,
    Language,
    ShowHelp,
    Drive,
    Dir,
    IgnorePermissionDeniedError,
    CatalogueServer,  // the address named in the viewer; empty when none is
    ListWidth,        // the left panel's width the user dragged it to, in twips
    MachineChkSplash, // machine-wide "chkSplash"
    MachineShowHelp,  // machine-wide "showHelp"
};

enum class SettingStore
{
    PerUser,
    MachineWide,
};

struct SettingSpec
{
    SettingKey key;
    SettingStore store;
    QLatin1StringView name;
    QLatin1StringView defaultValue; // the empty text where the setting has no default
};

// Application and section under which every setting of the product lives.
QString settingsApplication(); // the product name
inline constexpr QLatin1StringView settingsSection{"Settings"};

std::span<const SettingSpec> settingsSchema();
const SettingSpec &settingSpec(SettingKey key);

// The per-user store: an INI file "<application>/<application>.ini" in the XDG config home
// ($XDG_CONFIG_HOME, else ~/.config), one group per section. Values are text; a missing key, an
// unreadable or corrupt file gives the default. Nothing is cached: every call reads the file.
QString getSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue);
// Creates or overwrites the value; fails when the names are unusable or the file could not be
// written.
Result<void> saveSetting(const QString &application, const QString &section, const QString &key,
                         const QString &value);
QString userSettingsFilePath(const QString &application);

// Schema-driven access. The per-user rows read and write the per-user store, the machine-wide
// rows go through getRegSetting/saveRegSetting (a failed machine-wide read gives the default).
QString readSetting(SettingKey key);
// With the caller's own default (start-up reads "Language" with "" to detect the first start).
QString readSetting(SettingKey key, const QString &defaultValue);
void storeSetting(SettingKey key, const QString &value);

} // namespace mavrel
