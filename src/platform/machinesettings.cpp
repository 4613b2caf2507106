#include "platform/machinesettings.h"

#include "branding/branding.h"
#include "platform/dialogs.h"
#include "platform/inikeys_p.h"
#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

MachineStoreFolders g_folders;

// Most important first. Relative entries are invalid and ignored, as are empty ones.
QStringList systemConfigDirs()
{
    if (!g_folders.systemConfigDir.isEmpty())
        return {g_folders.systemConfigDir};
    QStringList dirs;
    const QString variable = qEnvironmentVariable("XDG_CONFIG_DIRS");
    for (const QString &dir : variable.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            dirs.append(dir);
    }
    if (dirs.isEmpty())
        dirs.append(u"/etc/xdg"_s);
    return dirs;
}

QString overlayConfigDir()
{
    if (!g_folders.overlayConfigDir.isEmpty())
        return g_folders.overlayConfigDir;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString storeFileUnder(const QString &dir)
{
    return dir + u'/' + branding().companyName + u'/' + branding().productName + u".ini"_s;
}

// "SOFTWARE\<company>\<application>\<section>" as nested groups.
QString groupPath(const QString &appName, const QString &section)
{
    return u"SOFTWARE/"_s + branding().companyName.trimmed() + u'/' + appName.trimmed() + u'/' +
           section.trimmed();
}

int registryTypeOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return RegTypeSz;
    case QMetaType::UnknownType:
        return 0; // REG_NONE
    case QMetaType::QStringList:
        return RegTypeMultiSz;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return RegTypeDword;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return RegTypeQword;
    default:
        return RegTypeBinary;
    }
}

struct Lookup
{
    enum Outcome
    {
        Missing,
        Found,
        Failed
    } outcome = Missing;
    QString value;
    Error error;
};

Lookup lookIn(const QString &path, const QString &group, const QString &key)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (!info.isFile() || !info.isReadable())
        return {
            Lookup::Failed,
            {},
            Error{u"Could not open registry section"_s, RegErrorBase + SystemErrorAccessDenied}};
    // Damaged lines read as absent (see getSetting).
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return {
            Lookup::Failed,
            {},
            Error{u"Could not open registry section"_s, RegErrorBase + SystemErrorAccessDenied}};
    const QString stored = detail::storedKey(settings, group, key);
    if (!settings.contains(stored))
        return {};
    const QVariant value = settings.value(stored);
    const int type = registryTypeOf(value);
    if (type != RegTypeSz)
        return {Lookup::Failed, {}, Error{u"Registry data not a string"_s, RegErrorBase + type}};
    return {Lookup::Found, value.toString(), {}};
}

bool writeTo(const QString &path, const QString &group, const QString &key, const QString &value)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return false;
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSettings settings(path, QSettings::IniFormat);
    // A file that cannot be read is not overwritten: its other values would be lost.
    if (settings.status() == QSettings::AccessError || !settings.isWritable())
        return false;
    settings.setValue(detail::storedKey(settings, group, key), value);
    settings.sync();
    return settings.status() != QSettings::AccessError;
}

// Once the system file holds the value, an older copy in the overlay must not hide it.
void dropFromOverlay(const QString &group, const QString &key)
{
    const QString path = machineStoreOverlayFile();
    if (!QFileInfo(path).isFile())
        return;
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return;
    const QString stored = detail::storedKey(settings, group, key);
    if (settings.contains(stored)) {
        settings.remove(stored);
        settings.sync();
    }
}

} // namespace

QString permissionDeniedTitle()
{
    return u"Permission Denied"_s;
}

QString permissionDeniedText()
{
    return branding().productName +
           u" requires read/write access to the system registry and hard drive in order to run "
           u"properly.  This user account does not have the proper permissions set.  As a result "
           u"some or all of your settings may not be properly saved.  Please contact your system "
           u"administrator or change the permission settings for this account.\r\n\r\n"
           u"If you would like to prevent this error message from being displayed again, please "
           u"press 'Ignore'."_s;
}

void setMachineStoreFolders(const MachineStoreFolders &folders)
{
    g_folders = folders;
}

QString machineStoreSystemFile()
{
    return storeFileUnder(systemConfigDirs().constFirst());
}

QStringList machineStoreSystemFiles()
{
    QStringList files;
    for (const QString &dir : systemConfigDirs())
        files.append(storeFileUnder(dir));
    return files;
}

QString machineStoreOverlayFile()
{
    return storeFileUnder(overlayConfigDir());
}

Result<QString> getRegSetting(const QString &appName, const QString &section, const QString &key,
                              const QString &defaultValue)
{
    if (appName.trimmed().isEmpty())
        return Error{u"AppName may not be empty"_s, RegErrorAppNameEmpty};
    if (section.trimmed().isEmpty())
        return Error{u"Section may not be empty"_s, RegErrorSectionEmpty};
    if (key.trimmed().isEmpty())
        return Error{u"Key may not be empty"_s, RegErrorKeyEmpty};

    const QString group = groupPath(appName, section);
    // The first file holding the key decides; one that cannot be read might hold it.
    for (const QString &path : QStringList{machineStoreOverlayFile()} + machineStoreSystemFiles()) {
        Lookup found = lookIn(path, group, key);
        if (found.outcome == Lookup::Found)
            return found.value;
        if (found.outcome == Lookup::Failed)
            return found.error;
    }
    return defaultValue;
}

void saveRegSetting(const QString &appName, const QString &section, const QString &key,
                    const QString &value)
{
    // Empty names would collapse the key path onto another section.
    if (appName.trimmed().isEmpty() || section.trimmed().isEmpty() || key.trimmed().isEmpty())
        return;
    const QString group = groupPath(appName, section);
    for (;;) {
        if (writeTo(machineStoreSystemFile(), group, key, value)) {
            dropFromOverlay(group, key);
            return;
        }
        if (writeTo(machineStoreOverlayFile(), group, key, value))
            return;
        if (readSetting(SettingKey::IgnorePermissionDeniedError) == u"1"_s)
            return;
        const DialogAnswer answer = dialogs().message(MessageBoxRequest{
            permissionDeniedText(), permissionDeniedTitle(), DialogButtons::AbortRetryIgnore,
            DialogIcon::None, DialogAnswer::Abort});
        if (answer == DialogAnswer::Retry)
            continue;
        if (answer == DialogAnswer::Ignore)
            storeSetting(SettingKey::IgnorePermissionDeniedError, u"1"_s);
        return;
    }
}

} // namespace mavrel
