#include "platform/paths.h"

#include "branding/branding.h"
#include "platform/appfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QString withSlash(QString folder)
{
    if (folder.isEmpty())
        return {};
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString writable(QStandardPaths::StandardLocation location)
{
    return withSlash(QStandardPaths::writableLocation(location));
}

QString dataHome()
{
    return writable(QStandardPaths::GenericDataLocation);
}

QString underDataHome(const QString &name)
{
    const QString home = dataHome();
    return home.isEmpty() ? QString() : home + name + u'/';
}

// The first system-wide data folder of the XDG base directories.
QString systemDataDir()
{
    const QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    for (const QString &dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            return withSlash(dir);
    }
    return u"/usr/local/share/"_s;
}

// XDG_TEMPLATES_DIR from user-dirs.dirs (Qt has no location for it), else ~/Templates.
QString templatesDir()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QFile file(config + u"/user-dirs.dirs"_s);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (!line.startsWith(u"XDG_TEMPLATES_DIR="_s))
                continue;
            QString value = line.mid(18);
            if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
                value = value.mid(1, value.size() - 2);
            value.replace(u"$HOME"_s, QDir::homePath());
            if (QDir::isAbsolutePath(value))
                return withSlash(value);
        }
    }
    return withSlash(QDir::homePath() + u"/Templates"_s);
}

struct FolderMapping
{
    int csidl;
    QString (*resolve)();
};

QString none()
{
    return {};
}

// How each special folder maps onto an XDG desktop. Folders shared by all users and
// Windows-only concepts (favourites, cookies, send-to, the alternate start-up folders, ...)
// have no counterpart and resolve to nothing.
const FolderMapping folderMappings[] = {
    {CsidlPrograms, [] { return underDataHome(u"applications"_s); }},
    {CsidlPersonal, [] { return writable(QStandardPaths::DocumentsLocation); }},
    {CsidlFavorites, none},
    {CsidlStartup,
     [] {
         const QString config = writable(QStandardPaths::GenericConfigLocation);
         return config.isEmpty() ? QString() : config + u"autostart/"_s;
     }},
    {CsidlRecent, none},
    {CsidlSendTo, none},
    {CsidlBitBucket, [] { return underDataHome(u"Trash"_s); }},
    {CsidlStartMenu, [] { return underDataHome(u"applications"_s); }},
    {CsidlDesktopDirectory, [] { return writable(QStandardPaths::DesktopLocation); }},
    {CsidlFonts, [] { return writable(QStandardPaths::FontsLocation); }},
    {CsidlTemplates, templatesDir},
    {CsidlCommonStartMenu, [] { return systemDataDir() + u"applications/"_s; }},
    {CsidlCommonPrograms, [] { return systemDataDir() + u"applications/"_s; }},
    {CsidlCommonDesktopDirectory, none},
    {CsidlAppData, dataHome},
    {CsidlAltStartup, none},
    {CsidlCommonAltStartup, none},
    {CsidlCommonFavorites, none},
    {CsidlInternetCache, [] { return writable(QStandardPaths::GenericCacheLocation); }},
    {CsidlCookies, none},
    {CsidlHistory, none},
    {CsidlCommonAppData, systemDataDir},
    {CsidlWindows, none},
    {CsidlSystem, [] { return u"/usr/lib/"_s; }},
    {CsidlProgramFiles, [] { return u"/opt/"_s; }},
    {CsidlProgramFilesCommon, none},
    {CsidlCommonTemplates, none},
    {CsidlCommonDocuments, none},
};

struct FolderToken
{
    QLatin1StringView token;
    int csidl;
};

// Replaced in this order, ignoring letter case.
const FolderToken folderTokens[] = {
    {"[startsp]"_L1, CsidlAltStartup},
    {"[appdata]"_L1, CsidlAppData},
    {"[recycle]"_L1, CsidlBitBucket},
    {"[comstar]"_L1, CsidlCommonAltStartup},
    {"[comapp]"_L1, CsidlCommonAppData},
    {"[desktop]"_L1, CsidlCommonDesktopDirectory},
    {"[comdocs]"_L1, CsidlCommonDocuments},
    {"[comfav]"_L1, CsidlCommonFavorites},
    {"[comprog]"_L1, CsidlCommonPrograms},
    {"[comstam]"_L1, CsidlCommonStartMenu},
    {"[comtemp]"_L1, CsidlCommonTemplates},
    {"[cookies]"_L1, CsidlCookies},
    {"[comdesk]"_L1, CsidlDesktopDirectory},
    {"[favorit]"_L1, CsidlFavorites},
    {"[fonts]"_L1, CsidlFonts},
    {"[history]"_L1, CsidlHistory},
    {"[netcach]"_L1, CsidlInternetCache},
    {"[progs]"_L1, CsidlPrograms},
    {"[progfil]"_L1, CsidlProgramFiles},
    {"[comprogfil]"_L1, CsidlProgramFilesCommon},
    {"[personl]"_L1, CsidlPersonal},
    {"[recent]"_L1, CsidlRecent},
    {"[sendto]"_L1, CsidlSendTo},
    {"[startup]"_L1, CsidlStartup},
    {"[strtmnu]"_L1, CsidlStartMenu},
    {"[system]"_L1, CsidlSystem},
    {"[templat]"_L1, CsidlTemplates},
    {"[windir]"_L1, CsidlWindows},
};

QString startMenuParent(int csidl)
{
    QString folder = getSpecialFolder(csidl);
    folder.remove(u"/Start Menu"_s, Qt::CaseInsensitive);
    return folder;
}

QString g_dataDirectoryOverride;
QString g_applicationFolderOverride;

QString withoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString executableFolder()
{
    if (!QCoreApplication::instance())
        return QDir::currentPath();
    return QCoreApplication::applicationDirPath();
}

} // namespace

QString getSpecialFolder(int csidl)
{
    for (const FolderMapping &mapping : folderMappings) {
        if (mapping.csidl == csidl)
            return mapping.resolve();
    }
    return {};
}

QString expandSpecialFolders(QString &path)
{
    for (const FolderToken &row : folderTokens)
        path.replace(row.token, getSpecialFolder(row.csidl), Qt::CaseInsensitive);
    path.replace(u"[user]"_s, startMenuParent(CsidlStartMenu), Qt::CaseSensitive);
    path.replace(u"[alluser]"_s, startMenuParent(CsidlCommonStartMenu), Qt::CaseSensitive);
    return path;
}

QString dataDirectory()
{
    if (!g_dataDirectoryOverride.isEmpty())
        return withoutTrailingSlash(g_dataDirectoryOverride);
    const QString fromEnvironment = qEnvironmentVariable("MAVREL_DATA_DIR");
    if (!fromEnvironment.isEmpty())
        return withoutTrailingSlash(fromEnvironment);
    // An unresolved application-data folder expands to nothing, leaving the relative "RUZAV".
    QString path = u"[appdata]RUZAV"_s;
    return expandSpecialFolders(path);
}

void setDataDirectoryOverride(const QString &folder)
{
    g_dataDirectoryOverride = folder;
}

QString applicationFolder()
{
    if (!g_applicationFolderOverride.isEmpty())
        return withoutTrailingSlash(g_applicationFolderOverride);
    const QString fromEnvironment = qEnvironmentVariable("MAVREL_APP_DIR");
    if (!fromEnvironment.isEmpty())
        return withoutTrailingSlash(fromEnvironment);
    return applicationFolderFor(executableFolder());
}

QString applicationFolderFor(const QString &executableFolder)
{
    if (QFileInfo(executableFolder + u'/' + QLatin1StringView(kPortableMarker)).isFile())
        return withoutTrailingSlash(executableFolder);
    // An unresolved data home leaves the relative "Mavrel", as the data directory does.
    return dataHome() + branding().productName;
}

QString shippedFilesFolder(const QString &executableFolder)
{
    return QDir::cleanPath(executableFolder + u"/../share/"_s + branding().productName.toLower());
}

Result<void> prepareApplicationFolder(const QString &folder, const QString &shippedFolder)
{
    if (!QDir().mkpath(folder)) {
        const QString reason = u"cannot create the folder"_s;
        reportApplicationFolderFailure(folder, reason);
        return Result<void>::failure(folder + u": "_s + reason);
    }
    Result<void> outcome;
    const QDir shipped(shippedFolder);
    for (const QFileInfo &source : shipped.entryInfoList(QDir::Files | QDir::Readable)) {
        const QString name = source.fileName();
        if (QFileInfo::exists(folder + u'/' + name))
            continue;
        QFile in(source.filePath());
        Result<void> copied = in.open(QIODevice::ReadOnly)
                                  ? writeFileReported(folder + u'/' + name, in.readAll())
                                  : Result<void>::failure(in.errorString());
        if (!copied && outcome)
            outcome = copied;
    }
    return outcome;
}

Result<void> prepareApplicationFolder()
{
    const QString folder = applicationFolder();
    const QString exe = executableFolder();
    if (folder == withoutTrailingSlash(exe))
        return {};
    return prepareApplicationFolder(folder, shippedFilesFolder(exe));
}

void setApplicationFolderOverride(const QString &folder)
{
    g_applicationFolderOverride = folder;
}

} // namespace mavrel
