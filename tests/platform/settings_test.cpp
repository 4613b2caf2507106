#include "platform/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

class UserSettingsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_file = userSettingsFilePath(u"Mavrel"_s);
        QDir(QFileInfo(m_file).absolutePath()).removeRecursively();
    }
    void TearDown() override { QDir(QFileInfo(m_file).absolutePath()).removeRecursively(); }

    void writeRaw(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(m_file).absolutePath());
        QFile file(m_file);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QString m_file;
};

TEST_F(UserSettingsTest, LivesInTheXdgConfigHome)
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    EXPECT_EQ(m_file, home + u"/Mavrel/Mavrel.ini"_s);
    storeSetting(SettingKey::TVLang, u"German"_s);
    QSettings raw(m_file, QSettings::IniFormat);
    EXPECT_EQ(raw.value(u"Settings/TVLang"_s).toString(), u"German"_s);
}

TEST_F(UserSettingsTest, EmptyStoreGivesTheDefaultOfEveryRow)
{
    struct Row
    {
        SettingKey key;
        QString expected;
    };
    const Row rows[] = {
        {SettingKey::TVLang, u"English"_s},
        {SettingKey::RadioLang, u"English"_s},
        {SettingKey::VideoLang, u"English"_s},
        {SettingKey::Language, u"English"_s},
        {SettingKey::ShowHelp, u"1"_s},
        {SettingKey::Drive, u""_s},
        {SettingKey::Dir, u""_s},
        {SettingKey::IgnorePermissionDeniedError, u"0"_s},
        {SettingKey::ListWidth, u""_s},
    };
    for (const Row &row : rows)
        EXPECT_EQ(readSetting(row.key), row.expected) << settingSpec(row.key).name.data();
    // Start-up detects the first start with its own default.
    EXPECT_EQ(readSetting(SettingKey::Language, QString()), QString());
    // Reading creates nothing.
    EXPECT_FALSE(QFileInfo::exists(m_file));
    // Every key of the product appears once per store.
    QStringList seen;
    for (const SettingSpec &spec : settingsSchema()) {
        const QString id = QString::number(int(spec.store)) + spec.name;
        EXPECT_FALSE(seen.contains(id)) << spec.name.data();
        seen << id;
    }
    EXPECT_EQ(seen.size(), 12);
}

TEST_F(UserSettingsTest, ValuesComeBackExactly)
{
    const QString values[] = {
        u""_s,
        u"0"_s,
        u"Arabic/Persian"_s,
        u"  padded  "_s,
        u"a, b"_s,
        u"@Variant(x)"_s,
        u"; not a comment"_s,
        u"x=y"_s,
        u"\"quoted\""_s,
        u"Ελληνικά"_s,
        u"C:\\Media"_s,
        u"/home/user/My Videos"_s,
        u"line\nbreak"_s,
    };
    for (const QString &value : values) {
        ASSERT_TRUE(saveSetting(u"Mavrel"_s, u"Settings"_s, u"Dir"_s, value));
        EXPECT_EQ(readSetting(SettingKey::Dir, u"default"_s), value);
    }
    // Storing overwrites; other keys keep their values.
    storeSetting(SettingKey::Drive, u"/media"_s);
    storeSetting(SettingKey::Drive, u"/mnt"_s);
    EXPECT_EQ(readSetting(SettingKey::Drive), u"/mnt"_s);
    EXPECT_EQ(readSetting(SettingKey::Dir), u"line\nbreak"_s);
}

TEST_F(UserSettingsTest, NamesIgnoreLetterCase)
{
    writeRaw("[settings]\ntvlang=German\n");
    EXPECT_EQ(readSetting(SettingKey::TVLang), u"German"_s);
    storeSetting(SettingKey::TVLang, u"Dutch"_s);
    EXPECT_EQ(getSetting(u"Mavrel"_s, u"SETTINGS"_s, u"TvLang"_s, u"d"_s), u"Dutch"_s);
    QSettings raw(m_file, QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(), QStringList{u"settings/tvlang"_s});
}

TEST_F(UserSettingsTest, DamagedFileFallsBackToDefaultsAndAcceptsNewValues)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) % 256));
    struct Case
    {
        const char *name;
        QByteArray content;
        QString tvLang; // what survives of the damaged file
    };
    const Case cases[] = {
        {"binary garbage", garbage, u"English"_s},
        {"empty file", QByteArray(), u"English"_s},
        {"NUL bytes in the key", QByteArray("[Settings]\nTV\0Lang=German\n", 26), u"English"_s},
        {"no key names", "[Settings]\n=\n==\n=German\n", u"English"_s},
        {"lines without '='", "[Settings]\nTVLang German\n[", u"English"_s},
        {"truncated serialised value", "[Settings]\nTVLang=@Variant(\\0\\0)\n", u"English"_s},
        // Readable lines after a damaged one keep their values.
        {"garbage before a good section", garbage + "\n[Settings]\nTVLang=German\n", u"German"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeRaw(c.content);
        EXPECT_EQ(readSetting(SettingKey::TVLang), c.tvLang);
        EXPECT_EQ(readSetting(SettingKey::ShowHelp), u"1"_s);
        EXPECT_EQ(readSetting(SettingKey::TVLang), c.tvLang); // the same on a second read
        storeSetting(SettingKey::Dir, u"/media/films"_s);
        EXPECT_EQ(readSetting(SettingKey::Dir), u"/media/films"_s);
        EXPECT_EQ(readSetting(SettingKey::TVLang), c.tvLang);
        QFile::remove(m_file);
    }
}

TEST_F(UserSettingsTest, UnreadableFileGivesDefaults)
{
    // A folder where the file should be cannot be read or written, even by root.
    QDir().mkpath(m_file);
    EXPECT_EQ(readSetting(SettingKey::Language), u"English"_s);
    EXPECT_FALSE(saveSetting(u"Mavrel"_s, u"Settings"_s, u"Language"_s, u"German"_s));
    EXPECT_EQ(readSetting(SettingKey::Language), u"English"_s);
}

TEST_F(UserSettingsTest, ApplicationNamesThatLeaveTheConfigHomeAreRefused)
{
    const QString bad[] = {u""_s, u"  "_s, u"../Mavrel"_s, u"a/b"_s, u".."_s, u"a\\b"_s};
    for (const QString &application : bad) {
        EXPECT_FALSE(saveSetting(application, u"Settings"_s, u"Key"_s, u"v"_s))
            << application.toStdString();
        EXPECT_EQ(getSetting(application, u"Settings"_s, u"Key"_s, u"d"_s), u"d"_s);
    }
    EXPECT_FALSE(saveSetting(u"Mavrel"_s, u""_s, u"Key"_s, u"v"_s));
    EXPECT_FALSE(saveSetting(u"Mavrel"_s, u"Settings"_s, u""_s, u"v"_s));
}

} // namespace
