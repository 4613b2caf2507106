#pragma once

#include <QString>

namespace mavrel {

// Folder numbers of the special-folder tokens.
enum Csidl : int
{
    CsidlPrograms = 2,
    CsidlPersonal = 5,
    CsidlFavorites = 6,
    CsidlStartup = 7,
    CsidlRecent = 8,
    CsidlSendTo = 9,
    CsidlBitBucket = 10,
    CsidlStartMenu = 11,
    CsidlDesktopDirectory = 16,
    CsidlFonts = 20,
    CsidlTemplates = 21,
    CsidlCommonStartMenu = 22,
    CsidlCommonPrograms = 23,
    CsidlCommonDesktopDirectory = 25,
    CsidlAppData = 26,
    CsidlAltStartup = 29,
    CsidlCommonAltStartup = 30,
    CsidlCommonFavorites = 31,
    CsidlInternetCache = 32,
    CsidlCookies = 33,
    CsidlHistory = 34,
    CsidlCommonAppData = 35,
    CsidlWindows = 36,
    CsidlSystem = 37,
    CsidlProgramFiles = 38,
    CsidlProgramFilesCommon = 43,
    CsidlCommonTemplates = 45,
    CsidlCommonDocuments = 46,
};

// The Linux folder standing for a special folder, ending in "/", or the empty text where this
// platform has no such folder (or the number is unknown). The folder need not exist.
QString getSpecialFolder(int csidl);

// Replaces every special-folder token ("[appdata]", "[comdesk]", ..., "[user]", "[alluser]") in
// `path`, stores the result back and returns it.
QString expandSpecialFolders(QString &path);

// The folder of Data.txt and date.dat, without a trailing "/": the expansion of
// "[appdata]RUZAV" (so ~/.local/share/RUZAV), or "RUZAV" when the application-data folder cannot
// be resolved. Overridden by $MAVREL_DATA_DIR or setDataDirectoryOverride. Never created here.
QString dataDirectory();
void setDataDirectoryOverride(const QString &folder); // empty: no override

// The folder of the running executable, without a trailing "/" (Favorites.txt, Localization.txt,
// admin.txt, ...). Overridden by $MAVREL_APP_DIR or setApplicationFolderOverride.
QString applicationFolder();
void setApplicationFolderOverride(const QString &folder); // empty: no override

} // namespace mavrel
