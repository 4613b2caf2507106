#pragma once

#include "player/mediakinds.h" // isAudioFileName, for the file list

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace mavrel {

// The extensions the file list shows, as the pattern "*.asf;*.wma;...": the classic formats,
// then today's (mp4, mkv, webm, ogg, flac, m3u8, ...).
QString mediaFilePattern();
// True when the name matches one pattern of mediaFilePattern(), the extension in any letter case.
bool matchesMediaPattern(QStringView fileName);

// A mounted volume offered as a drive.
struct Volume
{
    QString path;  // the folder it starts at
    QString label; // what the drive list shows
    friend bool operator==(const Volume &, const Volume &) = default;
};

// The drives from a mount table in the format of /proc/self/mounts: the root, the user's home
// folder, and whatever is mounted under /media, /run/media or /mnt (removable media, other
// disks). Escaped blanks in mount points (\040) are decoded.
QList<Volume> volumesFromMountTable(const QByteArray &mountTable, const QString &homePath);
// The same for this machine.
QList<Volume> mountedVolumes();

// Where the lists open when no folder is stored: the user's XDG Videos folder, else Music, else
// the home folder. One that cannot be listed, or that is home itself (the XDG entry of a folder
// the user turned off), is passed over.
QString firstFolder();

// The index of the volume holding `folder` (the deepest one, so home wins over the root), or -1
// when none does.
qsizetype volumeHolding(const QList<Volume> &volumes, const QString &folder);

// The folders below `folder`, names only, hidden ones left out, in name order ignoring case.
// A folder that cannot be listed gives the empty list.
QStringList listSubfolders(const QString &folder);
// The regular files of `folder` (or links to one) that match the media pattern, names only, in
// name order ignoring case. A folder that cannot be listed gives the empty list.
QStringList listMediaFiles(const QString &folder);

// True when `path` is a folder that can be entered and listed.
bool isListableFolder(const QString &path);

// The folders from `root` down to `folder` (both included) when `folder` lies inside `root`;
// otherwise just `folder`.
QStringList folderChain(const QString &root, const QString &folder);

// The path of a file in a folder; the root folder gets no second separator.
QString filePathIn(const QString &folder, const QString &fileName);

} // namespace mavrel
