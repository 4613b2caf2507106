#include "mainwindow/localfiles.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// The classic formats first, then what players and phones write today and the playlists beside
// them.
constexpr QLatin1StringView kPattern{
    "*.asf;*.wma;*.wmv;*.wm;*.wax;*.wvx;*.wmx;*.wpl;*.dvr-ms;*.wmd;*.avi;*.mpg;*.mpeg;*.m1v;"
    "*.mp2;*.mp3;*.mpa;*.mpe;*.mpv2;*.m3u;*.mid;*.midi;*.rmi;*.aif;*.aifc;*.aiff;*.au;*.snd;"
    "*.wav;*.cda;*.ivf;*.mov;*.qt;"
    "*.mp4;*.m4v;*.mkv;*.webm;*.ogv;*.ogg;*.oga;*.opus;*.flac;*.m4a;*.aac;*.ts;*.m3u8;*.pls;"
    "*.xspf"};

const QStringList &mediaExtensions()
{
    static const QStringList extensions = [] {
        QStringList list;
        for (const QString &part : QString(kPattern).split(u';', Qt::SkipEmptyParts))
            list << part.mid(1); // ".asf"
        return list;
    }();
    return extensions;
}

// Mount points write blanks, tabs, newlines and backslashes as \ooo.
QString decodeMountField(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int code = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

bool isRemovableMountPoint(const QString &path)
{
    return path.startsWith(u"/media/"_s) || path.startsWith(u"/run/media/"_s) ||
           path == u"/mnt"_s || path.startsWith(u"/mnt/"_s);
}

void sortNames(QStringList &names)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
}

QStringList listEntries(const QString &folder, QDir::Filters filters)
{
    if (!isListableFolder(folder))
        return {};
    QDir dir(folder);
    QStringList names = dir.entryList(filters | QDir::NoDotAndDotDot, QDir::NoSort);
    sortNames(names);
    return names;
}

} // namespace

QString mediaFilePattern()
{
    return QString(kPattern);
}

bool matchesMediaPattern(QStringView fileName)
{
    return std::any_of(
        mediaExtensions().cbegin(), mediaExtensions().cend(),
        [&](const QString &ext) { return fileName.endsWith(ext, Qt::CaseInsensitive); });
}

QList<Volume> volumesFromMountTable(const QByteArray &mountTable, const QString &homePath)
{
    QList<Volume> volumes{{u"/"_s, u"/"_s}};
    if (!homePath.isEmpty() && homePath != u"/"_s)
        volumes.append({homePath, u"Home (%1)"_s.arg(homePath)});

    QStringList removable;
    for (const QByteArray &line : mountTable.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const QString mountPoint = decodeMountField(fields[1]);
        if (isRemovableMountPoint(mountPoint) && !removable.contains(mountPoint))
            removable << mountPoint;
    }
    sortNames(removable);
    for (const QString &path : removable)
        volumes.append({path, path});
    return volumes;
}

QList<Volume> mountedVolumes()
{
    QFile mounts(u"/proc/self/mounts"_s);
    QByteArray table;
    // The file reports a size of 0: read until the end rather than by size.
    if (mounts.open(QIODevice::ReadOnly))
        table = mounts.readAll();
    return volumesFromMountTable(table, QDir::homePath());
}

QString firstFolder()
{
    const QString home = QDir::cleanPath(QDir::homePath());
    for (const auto location : {QStandardPaths::MoviesLocation, QStandardPaths::MusicLocation}) {
        const QString folder = QDir::cleanPath(QStandardPaths::writableLocation(location));
        if (folder != home && isListableFolder(folder))
            return folder;
    }
    return home;
}

qsizetype volumeHolding(const QList<Volume> &volumes, const QString &folder)
{
    qsizetype best = -1;
    qsizetype bestLength = -1;
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        const QString root = QDir::cleanPath(volumes[i].path);
        if (!root.isEmpty() && root.size() > bestLength &&
            folderChain(root, folder).first() == root) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

bool isListableFolder(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

QStringList listSubfolders(const QString &folder)
{
    return listEntries(folder, QDir::Dirs);
}

QStringList listMediaFiles(const QString &folder)
{
    QStringList names = listEntries(folder, QDir::Files | QDir::Hidden | QDir::System);
    // Opening a FIFO, socket or device blocks or fails; a symbolic link counts by its target.
    names.removeIf([&](const QString &name) {
        return !matchesMediaPattern(name) || !QFileInfo(filePathIn(folder, name)).isFile();
    });
    return names;
}

QStringList folderChain(const QString &root, const QString &folder)
{
    const QString cleanRoot = QDir::cleanPath(root);
    const QString cleanFolder = QDir::cleanPath(folder);
    const QString rootWithSlash = cleanRoot.endsWith(u'/') ? cleanRoot : cleanRoot + u'/';
    if (cleanFolder != cleanRoot && !cleanFolder.startsWith(rootWithSlash))
        return {cleanFolder};
    QStringList chain{cleanRoot};
    const QStringList parts = cleanFolder.mid(rootWithSlash.size()).split(u'/', Qt::SkipEmptyParts);
    QString path = cleanRoot;
    for (const QString &part : parts) {
        path = filePathIn(path, part);
        chain << path;
    }
    return chain;
}

QString filePathIn(const QString &folder, const QString &fileName)
{
    if (folder.endsWith(u'/'))
        return folder + fileName;
    return folder + u'/' + fileName;
}

} // namespace mavrel
