#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value) : m_name(name), m_saved(qgetenv(name))
    {
        m_wasSet = qEnvironmentVariableIsSet(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_wasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_saved;
    bool m_wasSet = false;
};

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/';
}

TEST(SpecialFolders, EveryFolderEndsWithSlashOrIsEmpty)
{
    const int all[] = {2,  5,  6,  7,  8,  9,  10, 11, 16, 20, 21, 22, 23, 25,
                       26, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 43, 45, 46};
    for (int csidl : all) {
        const QString folder = getSpecialFolder(csidl);
        EXPECT_TRUE(folder.isEmpty() || (folder.endsWith(u'/') && QDir::isAbsolutePath(folder)))
            << csidl << " " << folder.toStdString();
    }
    EXPECT_EQ(getSpecialFolder(CsidlAppData), dataHome());
    EXPECT_EQ(getSpecialFolder(CsidlBitBucket), dataHome() + u"Trash/"_s);
    EXPECT_EQ(getSpecialFolder(CsidlStartup),
              QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  u"/autostart/"_s);
    EXPECT_EQ(getSpecialFolder(CsidlDesktopDirectory),
              QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + u'/');
    EXPECT_EQ(getSpecialFolder(CsidlPersonal),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + u'/');
    // No such folders on this platform.
    EXPECT_EQ(getSpecialFolder(CsidlCommonAltStartup), QString());
    EXPECT_EQ(getSpecialFolder(CsidlCommonDesktopDirectory), QString());
    EXPECT_EQ(getSpecialFolder(0), QString());
    EXPECT_EQ(getSpecialFolder(-1), QString());
    EXPECT_EQ(getSpecialFolder(1000), QString());
}

TEST(SpecialFolders, TemplatesFollowUserDirs)
{
    QTemporaryDir config;
    ScopedEnv env("XDG_CONFIG_HOME", config.path().toUtf8());
    EXPECT_EQ(getSpecialFolder(CsidlTemplates), QDir::homePath() + u"/Templates/"_s);
    QFile dirs(config.filePath(u"user-dirs.dirs"_s));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("# comment\nXDG_DESKTOP_DIR=\"$HOME/Desk\"\nXDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n");
    dirs.close();
    EXPECT_EQ(getSpecialFolder(CsidlTemplates), QDir::homePath() + u"/Vorlagen/"_s);
}

TEST(SpecialFolders, TokensExpandInOrderWithTheirMatchingRules)
{
    const QString appData = dataHome();
    const QString user = getSpecialFolder(CsidlStartMenu);
    const QString allUsers = getSpecialFolder(CsidlCommonStartMenu);
    struct Case
    {
        QString path;
        QString expected;
    };
    const Case cases[] = {
        {u"[appdata]RUZAV"_s, appData + u"RUZAV"_s},
        {u"[APPDATA]ruzav"_s, appData + u"ruzav"_s},
        {u"[AppData]a/[appdata]b"_s, appData + u"a/"_s + appData + u"b"_s},
        {u"[USER]x"_s, u"[USER]x"_s},
        {u"[User][AllUser]"_s, u"[User][AllUser]"_s},
        {u"[user]x"_s, user + u"x"_s},
        {u"[alluser]x"_s, allUsers + u"x"_s},
        {u"/no/tokens/here.txt"_s, u"/no/tokens/here.txt"_s},
        {u""_s, u""_s},
        {u"[comstar]x"_s, u"x"_s},
        {u"[COMSTAR]"_s, u""_s},
        {u"[comprogfil]x"_s, u"x"_s},
        {u"[comprog]x"_s, allUsers + u"x"_s},
        {u"[unknown]x"_s, u"[unknown]x"_s},
        {u"[appdata"_s, u"[appdata"_s},
    };
    for (const Case &c : cases) {
        QString path = c.path;
        const QString returned = expandSpecialFolders(path);
        EXPECT_EQ(path, c.expected) << c.path.toStdString();
        EXPECT_EQ(returned, path);
    }
}

TEST(SpecialFolders, ResolvedFolderIsExpandedByLaterRowsOnly)
{
    // A data home whose name looks like tokens: rows after [appdata] still act on it, the
    // rows before it have already run.
    QTemporaryDir root;
    const QString home = root.path() + u"/[startsp][windir][user]"_s;
    ScopedEnv env("XDG_DATA_HOME", home.toUtf8());
    QString path = u"[appdata]RUZAV"_s;
    expandSpecialFolders(path);
    EXPECT_EQ(path, root.path() + u"/[startsp]"_s + getSpecialFolder(CsidlStartMenu) + u"/RUZAV"_s);
}

TEST(AppFolders, DataDirectory)
{
    EXPECT_EQ(dataDirectory(), dataHome() + u"RUZAV"_s);
    {
        ScopedEnv env("MAVREL_DATA_DIR", "/srv/mavrel/data/");
        EXPECT_EQ(dataDirectory(), u"/srv/mavrel/data"_s);
        setDataDirectoryOverride(u"/tmp/elsewhere"_s);
        EXPECT_EQ(dataDirectory(), u"/tmp/elsewhere"_s);
        setDataDirectoryOverride({});
    }
    EXPECT_EQ(dataDirectory(), dataHome() + u"RUZAV"_s);
}

TEST(AppFolders, ApplicationFolder)
{
    const QString unset = applicationFolderFor(QCoreApplication::applicationDirPath());
    EXPECT_EQ(applicationFolder(), unset);
    {
        ScopedEnv env("MAVREL_APP_DIR", "/opt/mavrel/");
        EXPECT_EQ(applicationFolder(), u"/opt/mavrel"_s);
        setApplicationFolderOverride(u"/tmp/app"_s);
        EXPECT_EQ(applicationFolder(), u"/tmp/app"_s);
        setApplicationFolderOverride({});
    }
    EXPECT_EQ(applicationFolder(), unset);
}

} // namespace
