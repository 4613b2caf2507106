#include "mainwindow/localfiles.h"
#include "qstringprinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <ostream>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
        {u".wav"_s, true},        {u"movie.mp4"_s, true},      {u"notes.txt"_s, false},
        {u"mp3"_s, false},        {u"song.mp3.part"_s, false}, {u"clip.wmvx"_s, false},
        {u"archive.wm"_s, true},  {u"x.aiffx"_s, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(matchesMediaPattern(c.name), c.matches) << c.name.toStdString();
    EXPECT_TRUE(mediaFilePattern().startsWith(u"*.asf;*.wma;"_s));
    EXPECT_EQ(mediaFilePattern().split(u';').size(), 33 + 15);
}

// The sound-only formats do not hold the screen saver.
TEST(LocalFiles, TodaysFormatsAreListedAndTheirSoundIsKnown)
{
    const QStringList video =
        u"a.avi b.MP4 c.m4v d.Mkv e.webm f.OGV g.ts h.M3U8 i.pls j.xspf"_s.split(u' ');
    const QStringList sound = u"k.FLAC l.ogg m.Oga n.opus o.M4A p.aac q.mp3"_s.split(u' ');
    QTemporaryDir tmp;
    for (const QString &name : video + sound + QStringList{u"r.mp4.part"_s, u"s.m3u8x"_s}) {
        ASSERT_TRUE(QFile(tmp.path() + u'/' + name).open(QIODevice::WriteOnly));
        EXPECT_EQ(isAudioFileName(name), sound.contains(name)) << name.toStdString();
    }
    EXPECT_EQ(listMediaFiles(tmp.path()), video + sound);
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

// Opening a FIFO blocks until a writer comes, and sockets and devices are no media either: only
// regular files are offered, through a link or not.
TEST(LocalFiles, OnlyRegularFilesAreListed)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString dir = tmp.path();
    QFile regular(dir + u"/music.mp3"_s);
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + u"/hang.mp3"_s).constData(), 0600), 0);

    const QByteArray socketPath = QFile::encodeName(dir + u"/socket.wav"_s);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(std::size_t(socketPath.size()), sizeof address.sun_path);
    std::copy(socketPath.cbegin(), socketPath.cend(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ::close(fd);

    ASSERT_TRUE(QFile::link(dir + u"/hang.mp3"_s, dir + u"/fifo-link.mp3"_s));
    ASSERT_TRUE(QFile::link(dir + u"/music.mp3"_s, dir + u"/tune.mp3"_s));
    ASSERT_TRUE(QFile::link(dir + u"/gone.mp3"_s, dir + u"/dangling.mp3"_s));
    ASSERT_TRUE(QFile::link(u"/dev/null"_s, dir + u"/device.mp3"_s));

    EXPECT_EQ(listMediaFiles(dir), (QStringList{u"music.mp3"_s, u"tune.mp3"_s}));
}

} // namespace
