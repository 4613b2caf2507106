#include "platform/machinesettings.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "qstringprinter.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

const QString app = u"Mavrel"_s;
const QString section = u"Settings"_s;

class MachineStoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_system = m_root.filePath(u"etc-xdg"_s);
        m_overlay = m_root.filePath(u"user-config"_s);
        QDir().mkpath(m_system);
        QDir().mkpath(m_overlay);
        setMachineStoreFolders({m_system, m_overlay});
        QFile::remove(userSettingsFilePath(app));
    }
    void TearDown() override
    {
        setMachineStoreFolders({});
        QFile::remove(userSettingsFilePath(app));
    }

    // The company folder inside a config folder; a regular file in its place makes every write
    // below it fail, also for root.
    static QString companyFolder(const QString &configDir) { return configDir + u"/Brintover"_s; }
    static void block(const QString &configDir)
    {
        QDir(companyFolder(configDir)).removeRecursively();
        QFile file(companyFolder(configDir));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    static void unblock(const QString &configDir) { QFile::remove(companyFolder(configDir)); }

    static QString rawValue(const QString &file, const QString &key)
    {
        QSettings settings(file, QSettings::IniFormat);
        return settings.value(u"SOFTWARE/Brintover/Mavrel/Settings/"_s + key).toString();
    }
    static void writeRawFile(const QString &file, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
    }

    QString read(const QString &key, const QString &fallback = u"default"_s)
    {
        const Result<QString> result = getRegSetting(app, section, key, fallback);
        return result.ok() ? result.value() : u"error: "_s + result.error().message;
    }

    QTemporaryDir m_root;
    QString m_system;
    QString m_overlay;
    ScopedScriptedDialogs m_dialogs;
};

TEST_F(MachineStoreTest, FilesLiveUnderTheConfiguredFolders)
{
    EXPECT_EQ(machineStoreSystemFile(), m_system + u"/Brintover/Mavrel.ini"_s);
    EXPECT_EQ(machineStoreOverlayFile(), m_overlay + u"/Brintover/Mavrel.ini"_s);

    setMachineStoreFolders({});
    const QByteArray saved = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", "relative:/opt/xdg::/other");
    EXPECT_EQ(machineStoreSystemFile(), u"/opt/xdg/Brintover/Mavrel.ini"_s);
    EXPECT_EQ(machineStoreSystemFiles(),
              QStringList({u"/opt/xdg/Brintover/Mavrel.ini"_s, u"/other/Brintover/Mavrel.ini"_s}));
    for (const char *unset : {"", ":", "relative"}) {
        qputenv("XDG_CONFIG_DIRS", unset);
        EXPECT_EQ(machineStoreSystemFiles(), QStringList({u"/etc/xdg/Brintover/Mavrel.ini"_s}))
            << unset;
    }
    qunsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(machineStoreSystemFile(), u"/etc/xdg/Brintover/Mavrel.ini"_s);
    if (!saved.isNull())
        qputenv("XDG_CONFIG_DIRS", saved);
}

TEST_F(MachineStoreTest, SystemFoldersAreReadInOrderAndTheFirstHoldingTheKeyWins)
{
    const QString dirs[] = {m_root.filePath(u"first"_s), m_root.filePath(u"second"_s),
                            m_root.filePath(u"third"_s)};
    const auto file = [](const QString &dir) { return dir + u"/Brintover/Mavrel.ini"_s; };
    writeRawFile(file(dirs[0]), "[SOFTWARE]\nBrintover\\Mavrel\\Settings\\a=first\n");
    writeRawFile(file(dirs[1]), "[SOFTWARE]\nBrintover\\Mavrel\\Settings\\a=second\n"
                                "Brintover\\Mavrel\\Settings\\b=second\n"
                                "Brintover\\Mavrel\\Settings\\bad=@ByteArray(x)\n");
    writeRawFile(file(dirs[2]), "[SOFTWARE]\nBrintover\\Mavrel\\Settings\\b=third\n"
                                "Brintover\\Mavrel\\Settings\\c=third\n");
    const QByteArray saved = qgetenv("XDG_CONFIG_DIRS");
    // Empty and relative entries are skipped, not read as the working folder.
    qputenv("XDG_CONFIG_DIRS",
            (u"::"_s + dirs[0] + u":third:"_s + dirs[1] + u":"_s + dirs[2]).toUtf8());
    setMachineStoreFolders({{}, m_overlay});

    EXPECT_EQ(read(u"a"_s), u"first"_s);
    EXPECT_EQ(read(u"b"_s), u"second"_s);
    EXPECT_EQ(read(u"c"_s), u"third"_s);
    EXPECT_EQ(read(u"absent"_s), u"default"_s);
    EXPECT_EQ(read(u"bad"_s), u"error: Registry data not a string"_s); // not passed over

    // Writes go to the first folder; the overlay is read before every system file.
    saveRegSetting(app, section, u"c"_s, u"written"_s);
    EXPECT_EQ(rawValue(file(dirs[0]), u"c"_s), u"written"_s);
    EXPECT_EQ(rawValue(file(dirs[2]), u"c"_s), u"third"_s);
    EXPECT_EQ(read(u"c"_s), u"written"_s);
    writeRawFile(machineStoreOverlayFile(), "[SOFTWARE]\nBrintover\\Mavrel\\Settings\\b=overlay\n");
    EXPECT_EQ(read(u"b"_s), u"overlay"_s);

    if (saved.isNull())
        qunsetenv("XDG_CONFIG_DIRS");
    else
        qputenv("XDG_CONFIG_DIRS", saved);
}

TEST_F(MachineStoreTest, EmptyNamesFailInOrder)
{
    struct Case
    {
        QString app, section, key;
        qint64 code;
        QString message;
    };
    const Case cases[] = {
        {u""_s, u""_s, u""_s, 0x800403E8, u"AppName may not be empty"_s},
        {u"   "_s, u"Settings"_s, u"chkSplash"_s, 0x800403E8, u"AppName may not be empty"_s},
        {u"Mavrel"_s, u" "_s, u""_s, 0x800403E9, u"Section may not be empty"_s},
        {u"Mavrel"_s, u"Settings"_s, u"  "_s, 0x800403EA, u"Key may not be empty"_s},
    };
    for (const Case &c : cases) {
        const Result<QString> result = getRegSetting(c.app, c.section, c.key, u"d"_s);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().code, c.code);
        EXPECT_EQ(result.error().message, c.message);
    }
}

TEST_F(MachineStoreTest, ReadsTextDefaultsAndRefusesOtherTypes)
{
    writeRawFile(
        machineStoreSystemFile(),
        "[SOFTWARE]\n"
        "Brintover\\Mavrel\\Settings\\chkSplash=1\n"
        "Brintover\\Mavrel\\Settings\\empty=\n"
        "Brintover\\Mavrel\\Settings\\number=7\n"
        "Brintover\\Mavrel\\Settings\\dword=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\x1)\n"
        "Brintover\\Mavrel\\Settings\\qword=@Variant(\\0\\0\\0\\x4\\0\\0\\0\\0\\0\\0\\0\\0\\x1)\n"
        "Brintover\\Mavrel\\Settings\\binary=@ByteArray(\\x1\\x2)\n"
        "Brintover\\Mavrel\\Settings\\multi=a, b\n"
        "Brintover\\Mavrel\\Settings\\none=@Invalid()\n"
        "Brintover\\Mavrel\\Other\\chkSplash=2\n");
    struct Case
    {
        const char *key;
        QString value;   // when it reads
        qint64 code = 0; // when it fails
    };
    const Case cases[] = {
        {"chkSplash", u"1"_s},
        {"empty", u""_s},
        {"number", u"7"_s}, // plain INI numbers are text
        {"absent", u"default"_s},
        {"CHKSPLASH", u"1"_s}, // names ignore letter case, as in the registry
        {"dword", {}, RegErrorBase + RegTypeDword},
        {"qword", {}, RegErrorBase + RegTypeQword},
        {"binary", {}, RegErrorBase + RegTypeBinary},
        {"multi", {}, RegErrorBase + RegTypeMultiSz},
        {"none", {}, RegErrorBase},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        const Result<QString> result =
            getRegSetting(app, section, QString::fromLatin1(c.key), u"default"_s);
        if (c.code == 0) {
            ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
            EXPECT_EQ(result.value(), c.value);
        } else {
            ASSERT_FALSE(result.ok());
            EXPECT_EQ(result.error().code, c.code);
            EXPECT_EQ(result.error().message, u"Registry data not a string"_s);
        }
    }
    // Names of the key path are trimmed; other sections and applications are apart.
    EXPECT_EQ(getRegSetting(u" Mavrel "_s, u"  Settings"_s, u"chkSplash"_s, u"d"_s).valueOr({}),
              u"1"_s);
    EXPECT_EQ(getRegSetting(app, u"Other"_s, u"chkSplash"_s, u"d"_s).valueOr({}), u"2"_s);
    EXPECT_EQ(getRegSetting(u"MAVREL"_s, u"settings"_s, u"chksplash"_s, u"d"_s).valueOr({}),
              u"1"_s);
    // A write in other letter case replaces the stored value instead of adding a second one.
    saveRegSetting(u"mavrel"_s, u"SETTINGS"_s, u"ChkSplash"_s, u"0"_s);
    EXPECT_EQ(rawValue(machineStoreSystemFile(), u"chkSplash"_s), u"0"_s);
    {
        QSettings raw(machineStoreSystemFile(), QSettings::IniFormat);
        EXPECT_EQ(raw.allKeys().filter(u"splash"_s, Qt::CaseInsensitive).size(), 2); // + Other
    }
    EXPECT_EQ(getRegSetting(u"Elsewhere"_s, section, u"chkSplash"_s, u"d"_s).valueOr({}), u"d"_s);
    // The splash window's failed read counts as the default.
    writeRawFile(machineStoreSystemFile(), "[SOFTWARE]\nBrintover\\Mavrel\\Settings\\chkSplash=@"
                                           "Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\x1)\n");
    EXPECT_EQ(readSetting(SettingKey::MachineChkSplash), u"0"_s);
}

TEST_F(MachineStoreTest, UnreadableSectionFails)
{
    // A folder where the file should be: it exists but cannot be opened, even by root.
    QDir().mkpath(machineStoreSystemFile());
    const Result<QString> result = getRegSetting(app, section, u"chkSplash"_s, u"0"_s);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, RegErrorBase + SystemErrorAccessDenied);
    EXPECT_EQ(result.error().message, u"Could not open registry section"_s);
}

TEST_F(MachineStoreTest, WritableSystemFileTakesTheValue)
{
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    EXPECT_EQ(rawValue(machineStoreSystemFile(), u"showHelp"_s), u"0"_s);
    EXPECT_FALSE(QFileInfo::exists(machineStoreOverlayFile()));
    EXPECT_EQ(read(u"showHelp"_s), u"0"_s);
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(MachineStoreTest, RefusedSystemWriteGoesToTheOverlayWhichReadsFirst)
{
    writeRawFile(machineStoreSystemFile(),
                 "[SOFTWARE]\nBrintover\\Mavrel\\Settings\\chkSplash=0\n");
    QFile::setPermissions(machineStoreSystemFile(),
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    // Read-only files stop only ordinary users; root is stopped by a file in place of a folder.
    if (geteuid() == 0) {
        QFile::remove(machineStoreSystemFile());
        block(m_system);
    }

    saveRegSetting(app, section, u"chkSplash"_s, u"1"_s);
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
    EXPECT_EQ(rawValue(machineStoreOverlayFile(), u"chkSplash"_s), u"1"_s);
    EXPECT_EQ(read(u"chkSplash"_s), u"1"_s);
    EXPECT_EQ(readSetting(SettingKey::MachineChkSplash), u"1"_s);

    // Once the system file can take the value again, the overlay's older copy goes.
    if (geteuid() == 0)
        unblock(m_system);
    else
        QFile::setPermissions(machineStoreSystemFile(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    saveRegSetting(app, section, u"chkSplash"_s, u"0"_s);
    EXPECT_EQ(rawValue(machineStoreSystemFile(), u"chkSplash"_s), u"0"_s);
    EXPECT_EQ(rawValue(machineStoreOverlayFile(), u"chkSplash"_s), QString());
    EXPECT_EQ(read(u"chkSplash"_s), u"0"_s);
}

TEST_F(MachineStoreTest, ReadOnlyFoldersForOrdinaryUsers)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; covered by the blocked-folder tests";
    QFile::setPermissions(m_system, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(m_overlay, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    m_dialogs.pushAnswer(DialogAnswer::Abort);
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    EXPECT_EQ(m_dialogs.shown().size(), 1);
    QFile::setPermissions(m_overlay,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    EXPECT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(read(u"showHelp"_s), u"0"_s);
    QFile::setPermissions(m_system,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(MachineStoreTest, PermissionPromptWhenNeitherFileCanBeWritten)
{
    block(m_system);
    block(m_overlay);

    // Abort: nothing stored, and the next failure asks again.
    m_dialogs.pushAnswer(DialogAnswer::Abort);
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    const ScriptedDialogs::Shown &prompt = m_dialogs.shown().first();
    EXPECT_EQ(prompt.title, u"Permission Denied"_s);
    EXPECT_EQ(
        prompt.text,
        u"Mavrel requires read/write access to the system registry and hard drive in order to "
        u"run properly.  This user account does not have the proper permissions set.  As a "
        u"result some or all of your settings may not be properly saved.  Please contact your "
        u"system administrator or change the permission settings for this account.\r\n\r\nIf "
        u"you would like to prevent this error message from being displayed again, please "
        u"press 'Ignore'."_s);
    EXPECT_EQ(prompt.buttons, DialogButtons::AbortRetryIgnore);
    EXPECT_EQ(prompt.defaultButton, DialogAnswer::Abort);
    EXPECT_EQ(prompt.icon, DialogIcon::None);
    EXPECT_EQ(read(u"showHelp"_s), u"default"_s);

    // No answer queued: the default button, Abort.
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    EXPECT_EQ(m_dialogs.shown().size(), 2);
    EXPECT_EQ(m_dialogs.shown().last().answer, DialogAnswer::Abort);
    EXPECT_EQ(readSetting(SettingKey::IgnorePermissionDeniedError), u"0"_s);
}

TEST_F(MachineStoreTest, RetryRepeatsTheWrite)
{
    block(m_system);
    block(m_overlay);
    m_dialogs.pushAnswer(DialogAnswer::Retry);
    m_dialogs.pushAnswer(DialogAnswer::Retry);
    // The user frees the overlay folder while the second prompt is up.
    m_dialogs.setOnShown([this](const ScriptedDialogs::Shown &) {
        if (m_dialogs.shown().size() == 2)
            unblock(m_overlay);
    });
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    EXPECT_EQ(m_dialogs.shown().size(), 2);
    EXPECT_EQ(m_dialogs.pendingAnswers(), 0);
    EXPECT_EQ(read(u"showHelp"_s), u"0"_s);
    EXPECT_EQ(rawValue(machineStoreOverlayFile(), u"showHelp"_s), u"0"_s);
}

TEST_F(MachineStoreTest, IgnoreSilencesThePromptInLaterRunsToo)
{
    block(m_system);
    block(m_overlay);
    m_dialogs.pushAnswer(DialogAnswer::Ignore);
    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(read(u"showHelp"_s), u"default"_s);
    QSettings userFile(userSettingsFilePath(app), QSettings::IniFormat);
    EXPECT_EQ(userFile.value(u"Settings/IgnorePermissionDeniedError"_s).toString(), u"1"_s);

    saveRegSetting(app, section, u"showHelp"_s, u"0"_s);
    EXPECT_EQ(m_dialogs.shown().size(), 1);

    // A later run: nothing kept in memory, only what the per-user file says.
    ScopedScriptedDialogs laterRun;
    setMachineStoreFolders({});
    setMachineStoreFolders({m_system, m_overlay});
    saveRegSetting(app, section, u"chkSplash"_s, u"1"_s);
    EXPECT_TRUE(laterRun.shown().isEmpty());
    EXPECT_EQ(read(u"chkSplash"_s), u"default"_s);
}

TEST_F(MachineStoreTest, EmptyNamesAreNotWritten)
{
    saveRegSetting(u" "_s, section, u"showHelp"_s, u"0"_s);
    saveRegSetting(app, u""_s, u"showHelp"_s, u"0"_s);
    saveRegSetting(app, section, u""_s, u"0"_s);
    EXPECT_FALSE(QFileInfo::exists(machineStoreSystemFile()));
    EXPECT_FALSE(QFileInfo::exists(machineStoreOverlayFile()));
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

} // namespace
