#pragma once

#include "platform/result.h"

#include <QString>
#include <QStringList>

// The machine-wide store: system INI files (<system config dir>/<company>/<product>.ini for each
// absolute entry of $XDG_CONFIG_DIRS in order, else /etc/xdg), the key path
// "SOFTWARE\<company>\<application>\<section>" mapped onto nested groups. Reads take the first
// file holding the key; writes go to the first one. Ordinary users cannot write there, so a write
// the system file refuses goes to a per-user overlay with the same layout in the XDG config home;
// reads consult the overlay first.
namespace mavrel {

// Error numbers of getRegSetting (Error::code).
inline constexpr qint64 RegErrorAppNameEmpty = 0x800403E8;
inline constexpr qint64 RegErrorSectionEmpty = 0x800403E9;
inline constexpr qint64 RegErrorKeyEmpty = 0x800403EA;
// Base of "Could not open registry section" (plus the system error) and "Registry data not a
// string" (plus the registry type code of the stored value).
inline constexpr qint64 RegErrorBase = 0x800407D0;

// Registry type codes that a stored non-text value stands for.
inline constexpr int RegTypeSz = 1;
inline constexpr int RegTypeBinary = 3;  // @ByteArray(...) and other serialised values
inline constexpr int RegTypeDword = 4;   // @Variant(...) holding a 32-bit number or a bool
inline constexpr int RegTypeMultiSz = 7; // an unquoted comma list
inline constexpr int RegTypeQword = 11;  // @Variant(...) holding a 64-bit number
inline constexpr int SystemErrorAccessDenied = 5;

// The value, the default for a missing key or value, or an error (empty names; a section that
// exists but cannot be read; a value that is not text), with its number in Error::code.
Result<QString> getRegSetting(const QString &appName, const QString &section, const QString &key,
                              const QString &defaultValue);

// Writes the value; when neither the system file nor the overlay can be written it asks the user
// through the dialog seam (Abort/Retry/Ignore) unless the per-user setting
// "IgnorePermissionDeniedError" is "1". Never fails to its caller.
void saveRegSetting(const QString &appName, const QString &section, const QString &key,
                    const QString &value);

// The prompt shown when a machine-wide write fails.
QString permissionDeniedTitle();
QString permissionDeniedText();

// Where the two files live. Empty folders mean the defaults; tests point them at temporary
// folders.
struct MachineStoreFolders
{
    QString systemConfigDir;  // default: the entries of $XDG_CONFIG_DIRS, else /etc/xdg
    QString overlayConfigDir; // default: the XDG config home
};
void setMachineStoreFolders(const MachineStoreFolders &folders);
// The file writes go to: the first of machineStoreSystemFiles().
QString machineStoreSystemFile();
// The system files in the order reads consult them (after the overlay).
QStringList machineStoreSystemFiles();
QString machineStoreOverlayFile();

} // namespace mavrel
