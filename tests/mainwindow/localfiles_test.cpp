#include "mainwindow/localfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

TEST(LocalFiles, PatternMatchesTheExtensionInAnyCase)
{
    struct Case
    {
        QString name;
        bool matches;
    };
    const Case cases[] = {
        {u"song.mp3"_s, true},    {u"SONG.MP3"_s, true},       {u"Clip.WmV"_s, true},
        {u"show.dvr-ms"_s, true}, {u"tune.MIDI"_s, true},      {u"a.qt"_s, true},
        {u".wav"_s, true},        {u"movie.mp4"_s, false},     {u"notes.txt"_s, false},
        {u"mp3"_s, false},        {u"song.mp3.part"_s, false}, {u"clip.wmvx"_s, false},
        {u"archive.wm"_s, true},  {u"x.aiffx"_s, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(matchesMediaPattern(c.name), c.matches) << c.name.toStdString();
    EXPECT_TRUE(mediaFilePattern().startsWith(u"*.asf;*.wma;"_s));
    EXPECT_EQ(mediaFilePattern().split(u';').size(), 33);
}

TEST(LocalFiles, VolumesFromTheMountTable)
{
    const QByteArray table = "sysfs /sys sysfs rw 0 0\n"
                             "/dev/sda1 / ext4 rw 0 0\n"
                             "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
                             "/dev/sr0 /run/media/ann/DISC iso9660 ro 0 0\n"
                             "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
                             "tmpfs /run/user/1000 tmpfs rw 0 0\n"
                             "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
                             "garbage\n";
    const QList<Volume> volumes = volumesFromMountTable(table, u"/home/ann"_s);
    QStringList paths;
    for (const Volume &v : volumes)
        paths << v.path;
    EXPECT_EQ(paths, (QStringList{u"/"_s, u"/home/ann"_s, u"/media/ann/USB STICK"_s,
                                  u"/mnt/backup"_s, u"/run/media/ann/DISC"_s}));
    EXPECT_EQ(volumes[1].label, u"Home (/home/ann)"_s);
    // Root alone when the table cannot be read.
    EXPECT_EQ(volumesFromMountTable({}, u"/"_s).size(), 1);
    EXPECT_FALSE(mountedVolumes().isEmpty());
}

TEST(LocalFiles, ChainsAndPaths)
{
    EXPECT_EQ(folderChain(u"/"_s, u"/home/ann/Music"_s),
              (QStringList{u"/"_s, u"/home"_s, u"/home/ann"_s, u"/home/ann/Music"_s}));
    EXPECT_EQ(folderChain(u"/media/usb"_s, u"/media/usb/a"_s),
              (QStringList{u"/media/usb"_s, u"/media/usb/a"_s}));
    EXPECT_EQ(folderChain(u"/media/usb"_s, u"/media/usb2/a"_s), QStringList{u"/media/usb2/a"_s});
    EXPECT_EQ(filePathIn(u"/"_s, u"a.mp3"_s), u"/a.mp3"_s);
    EXPECT_EQ(filePathIn(u"/music"_s, u"a.mp3"_s), u"/music/a.mp3"_s);
}

} // namespace
