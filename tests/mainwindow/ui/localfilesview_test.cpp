#include "mainwindow/ui/localfilesview.h"
#include "platform/settings.h"
#include "qstringprinter.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <ostream>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

// A folder tree in a temporary folder, with the three lists over it.
class LocalFilesViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path() + u"/drive"_s;
        other = tmp.path() + u"/other"_s;
        for (const QString &d : {u"/Music/Rock"_s, u"/Music/jazz"_s, u"/Video"_s, u"/.hidden"_s})
            ASSERT_TRUE(QDir().mkpath(root + d));
        ASSERT_TRUE(QDir().mkpath(other + u"/Films"_s));
        for (const QString &f : {u"/Music/b.MP3"_s, u"/Music/a.wav"_s, u"/Music/cover.jpg"_s,
                                 u"/Music/list.M3U"_s, u"/Music/notes.txt"_s, u"/top.wmv"_s}) {
            QFile file(root + f);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        view = std::make_unique<LocalFilesView>(&drive, &dir, &file,
                                                [this](const QString &p) { played << p; });
        view->setVolumes(
            {{root, u"Drive"_s}, {other, u"Other"_s}, {tmp.path() + u"/gone"_s, u"Gone"_s}});
    }

    static QStringList texts(const QListWidget &list)
    {
        QStringList out;
        for (int i = 0; i < list.count(); ++i)
            out << list.item(i)->text().trimmed();
        return out;
    }
    void activateDir(const QString &name)
    {
        const auto items = dir.findItems(name, Qt::MatchEndsWith);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        emit dir.itemActivated(items[0]);
    }

    QTemporaryDir tmp;
    QString root, other;
    QComboBox drive;
    QListWidget dir, file;
    std::unique_ptr<LocalFilesView> view;
    QStringList played;
};

TEST_F(LocalFilesViewTest, FoldersAndMatchingFilesAreListedAndRemembered)
{
    EXPECT_EQ(view->dirPath(), root);
    EXPECT_EQ(texts(file), QStringList{u"top.wmv"_s});
    activateDir(u"Music"_s);
    EXPECT_EQ(view->dirPath(), root + u"/Music"_s);
    EXPECT_EQ(readSetting(SettingKey::Dir), root + u"/Music"_s);
    EXPECT_EQ(texts(file), (QStringList{u"a.wav"_s, u"b.MP3"_s, u"list.M3U"_s}));
    // Its parents, itself, then its folders; hidden folders are left out.
    EXPECT_EQ(texts(dir), (QStringList{root, u"Music"_s, u"jazz"_s, u"Rock"_s}));

    file.setCurrentRow(1);
    view->File1_Click();
    EXPECT_EQ(played, QStringList{root + u"/Music/b.MP3"_s});

    activateDir(root); // back up to the drive's root
    EXPECT_EQ(view->dirPath(), root);
    EXPECT_EQ(texts(dir), (QStringList{root, u"Music"_s, u"Video"_s}));
}

TEST_F(LocalFilesViewTest, DriveChangeMovesToThatDriveAndBack)
{
    activateDir(u"Music"_s);
    drive.setCurrentIndex(1);
    EXPECT_EQ(view->dirPath(), other);
    EXPECT_EQ(readSetting(SettingKey::Drive), other);
    EXPECT_EQ(readSetting(SettingKey::Dir), other);
    EXPECT_TRUE(texts(file).isEmpty());
    // Back on the first drive, its folder is the one last used there.
    drive.setCurrentIndex(0);
    EXPECT_EQ(view->dirPath(), root + u"/Music"_s);

    // A drive that cannot be read leaves the lists where they were but is still saved.
    drive.setCurrentIndex(2);
    EXPECT_EQ(view->dirPath(), root + u"/Music"_s);
    EXPECT_EQ(readSetting(SettingKey::Drive), tmp.path() + u"/gone"_s);
    EXPECT_EQ(texts(file).size(), 3);
}

TEST_F(LocalFilesViewTest, FolderThatCannotBeListedShowsEmptyLists)
{
    const QString locked = root + u"/Video"_s;
    QFile((locked + u"/clip.avi"_s)).open(QIODevice::WriteOnly);
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    // Only where permissions bind: an administrator reads every folder.
    const bool enforced = !QFileInfo(locked).isReadable();
    activateDir(u"Video"_s);
    EXPECT_EQ(view->dirPath(), locked);
    EXPECT_EQ(readSetting(SettingKey::Dir), locked);
    if (enforced) {
        EXPECT_TRUE(texts(file).isEmpty());
        EXPECT_EQ(texts(dir), (QStringList{root, u"Video"_s}));
    }
    activateDir(root); // and back out
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Listing a folder that is gone, or a file, gives nothing rather than an error.
    EXPECT_TRUE(listMediaFiles(root + u"/nothing"_s).isEmpty());
    EXPECT_TRUE(listSubfolders(root + u"/top.wmv"_s).isEmpty());
    const QString before = view->dirPath();
    EXPECT_FALSE(view->setDirPath(root + u"/nothing"_s));
    EXPECT_EQ(view->dirPath(), before);
}

TEST_F(LocalFilesViewTest, StartUpRestoresDriveAndFolder)
{
    struct Case
    {
        const char *what;
        QString savedDrive, savedDir;
        QString expectedDir;
        int expectedDrive;
    };
    const Case cases[] = {
        {"folder gone", other, other + u"/Deleted"_s, other, 1},
        {"both", other, other + u"/Films"_s, other + u"/Films"_s, 1},
        {"folder on the first drive", QString(), root + u"/Music/jazz"_s, root + u"/Music/jazz"_s,
         0},
        {"drive gone", tmp.path() + u"/gone"_s, root + u"/Video"_s, root + u"/Video"_s, 0},
        {"nothing saved", QString(), QString(), root, 0},
    };
    for (const Case &c : cases) {
        drive.blockSignals(true);
        drive.setCurrentIndex(0);
        drive.blockSignals(false);
        ASSERT_TRUE(view->setDirPath(root));
        storeSetting(SettingKey::Drive, c.savedDrive);
        storeSetting(SettingKey::Dir, c.savedDir);
        view->restoreFromSettings();
        EXPECT_EQ(view->dirPath(), c.expectedDir) << c.what;
        EXPECT_EQ(drive.currentIndex(), c.expectedDrive) << c.what;
        // The saved folder survives the drive change that restoring runs.
        if (!c.savedDir.isEmpty() && c.expectedDir == c.savedDir) {
            EXPECT_EQ(readSetting(SettingKey::Dir), c.savedDir) << c.what;
        }
    }
}

TEST_F(LocalFilesViewTest, TypingFindsAFolderByItsName)
{
    activateDir(u"Music"_s);
    QTest::keyClicks(&dir, u"ja"_s);
    EXPECT_EQ(dir.currentIndex().data().toString(), u"jazz"_s);
}

TEST_F(LocalFilesViewTest, AClickOrEnterPlaysOnceMovingDoesNot)
{
    activateDir(u"Music"_s); // a.wav, b.MP3, list.M3U
    const QPoint second = file.visualItemRect(file.item(1)).center();
    QTest::mouseClick(file.viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(file.viewport(), Qt::LeftButton, {}, second); // made a double click
    QTest::mouseRelease(file.viewport(), Qt::LeftButton, {}, second);
    QTest::keyClick(&file, Qt::Key_Down);
    EXPECT_EQ(played, QStringList{root + u"/Music/b.MP3"_s});
    QTest::keyClick(&file, Qt::Key_Return);
    EXPECT_EQ(played, (QStringList{root + u"/Music/b.MP3"_s, root + u"/Music/list.M3U"_s}));
}

// Videos, else Music, else home, on the (deepest) drive holding it, saving nothing; a stored
// folder wins. In the paths ~ is the home folder, @ the test drive.
TEST_F(LocalFilesViewTest, FirstStartOpensTheVideosFolder)
{
    struct Case
    {
        const char *folders, *videos, *music, *stored, *expected;
        int drive;
    };
    const Case cases[] = {
        {"Videos Music", "$HOME/Videos", "$HOME/Music", "", "~/Videos", 1},
        {"Videos Music", "$HOME/", "$HOME/Music", "", "~/Music", 1}, // Videos turned off
        {"", "$HOME/Films", "", "", "~", 1},
        {"Videos", "$HOME/Videos", "", "@/Music", "@/Music", 0},
    };
    const QString home = tmp.path() + u"/home"_s;
    const auto path = [&](const char *p) {
        return QString::fromUtf8(p).replace(u'~', home).replace(u'@', root);
    };
    const auto restore = qScopeGuard([home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME")] {
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
    });
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home)); // user-dirs.dirs and the settings
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        ASSERT_TRUE(QDir(home).removeRecursively() && QDir().mkpath(home));
        for (const QString &folder : QString::fromUtf8(c.folders).split(u' ', Qt::SkipEmptyParts))
            ASSERT_TRUE(QDir(home).mkdir(folder));
        QFile dirs(home + u"/user-dirs.dirs"_s);
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write(
            u"XDG_VIDEOS_DIR=\"%1\"\nXDG_MUSIC_DIR=\"%2\"\n"_s.arg(path(c.videos), path(c.music))
                .toUtf8());
        dirs.close();
        if (*c.stored)
            storeSetting(SettingKey::Dir, path(c.stored));
        view->setVolumes({{tmp.path(), u"Root"_s}, {home, u"Home"_s}, {root, u"Drive"_s}});
        view->restoreFromSettings();
        EXPECT_EQ(view->dirPath(), path(c.expected));
        EXPECT_EQ(drive.currentIndex(), c.drive);
        EXPECT_EQ(QFile::exists(userSettingsFilePath(settingsApplication())), *c.stored != 0);
    }
}

} // namespace
