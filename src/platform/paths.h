#pragma once

#include "platform/result.h"

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

// The folder of the user's own files (Favorites.txt, Localization.txt, admin.txt, youtube.html,
// ...), without a trailing "/". A copy with the portable marker next to its executable (the build
// tree writes one, an installation does not) keeps the executable's folder; an installed copy uses
// $XDG_DATA_HOME/Mavrel, so users do not share favourites and nobody needs to write to /usr.
// Overridden by $MAVREL_APP_DIR or setApplicationFolderOverride.
QString applicationFolder();
void setApplicationFolderOverride(const QString &folder); // empty: no override

inline constexpr auto kPortableMarker = "mavrel.portable";

// applicationFolder() for an executable in `executableFolder`, without the overrides.
QString applicationFolderFor(const QString &executableFolder);

// The read-only files an installation ships (Help.html, ...): <prefix>/share/mavrel beside
// <prefix>/bin, found from the executable so an unpacked or relocated tree works too.
QString shippedFilesFolder(const QString &executableFolder);

// Creates `folder` and copies into it each file of `shippedFolder` it lacks; a file already there
// (edited or downloaded by the user) is never replaced. Each failure is reported (appfolder.h);
// the first is returned.
Result<void> prepareApplicationFolder(const QString &folder, const QString &shippedFolder);

// The same for the running program, unless its application folder is its executable's folder
// (a build tree or a portable copy, which carries its files itself).
Result<void> prepareApplicationFolder();

} // namespace mavrel
