#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qstringprinter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

TEST(Files, GetFileName)
{
    const std::pair<QString, QString> cases[] = {
        {u"C:/a/b.txt"_s, u"b.txt"_s},  {u"/home/u/Data.txt"_s, u"Data.txt"_s},
        {u"b.txt"_s, u"b.txt"_s},       {u""_s, u""_s},
        {u"folder/"_s, u""_s},          {u"/"_s, u""_s},
        {u"a\\b.txt"_s, u"a\\b.txt"_s}, {u"a//b"_s, u"b"_s},
    };
    for (const auto &[path, name] : cases)
        EXPECT_EQ(getFileName(path), name) << path.toStdString();
}

TEST(Files, FileExists)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    QDir(root).mkpath(u"Folder/Sub"_s);
    for (const QString &name : {u"Data.txt"_s, u".hidden"_s, u"Folder/Favorites.txt"_s, u"a*b"_s}) {
        QFile file(root + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFile::link(root + u"/Data.txt"_s, root + u"/link.txt"_s);
    QFile::link(root + u"/missing.txt"_s, root + u"/dangling.txt"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(root + u"/pipe"_s).constData(), 0600), 0);

    struct Case
    {
        QString path;
        bool exists;
    };
    const Case cases[] = {
        {u"/Data.txt"_s, true},
        {u"/DATA.TXT"_s, true},
        {u"/data.txt"_s, true},
        {u"/Folder/favorites.TXT"_s, true},
        {u"/.HIDDEN"_s, true},
        {u"/link.txt"_s, true},
        {u"/Folder"_s, false},
        {u"/folder"_s, false},
        {u"/Folder/"_s, false},
        {u"/Folder/Sub"_s, false},
        // Only the last component may differ in letter case.
        {u"/FOLDER/Favorites.txt"_s, false},
        {u"/Data.tx"_s, false},
        {u"/Data.txt/x"_s, false},
        {u"/*.txt"_s, false},
        {u"/Data.tx?"_s, false},
        {u"/a*b"_s, false},
        {u"/dangling.txt"_s, false},
        {u"/pipe"_s, false},
        {u"/missing/Data.txt"_s, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fileExists(root + c.path), c.exists) << c.path.toStdString();
    EXPECT_FALSE(fileExists(QString()));
    EXPECT_FALSE(fileExists(u"/"_s));
    EXPECT_FALSE(fileExists(root + u"/Data.txt"_s + QChar(0)));

    // A name relative to the working folder.
    const QString saved = QDir::currentPath();
    QDir::setCurrent(root);
    EXPECT_TRUE(fileExists(u"data.TXT"_s));
    EXPECT_FALSE(fileExists(u"Folder"_s));
    QDir::setCurrent(saved);
}

} // namespace
