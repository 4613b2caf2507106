#include "online/catalogueupdate.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class MergeTest : public ::testing::Test
{
protected:
    QString path() const { return dir.path() + u"/Data.txt"_s; }
    QTemporaryDir dir;
};

TEST_F(MergeTest, RemovesThenAppendsAsTheFileRulesSay)
{
    // Lines 3 (blank id) and 4 (no "|") go with every merge.
    const QList<QByteArray> lines = {"7|Old News|TV|aaa|English|||1|2|",
                                     "007|Padded|TV|bbb|English|||1|2|",
                                     "9|Gone|TV|ccc|English|||1|2|",
                                     "  |Blank id|TV|ddd|English|||1|2|",
                                     "no bar at all",
                                     "12|Kept|Radio|eee|French|||3|4|"};
    const struct
    {
        const char *name;
        QByteArray reply;
        QList<int> kept; // indices into lines
        QByteArray tail; // what follows the kept lines and the empty line
        int count;
        int changed; // channels whose lines differ afterwards
    } cases[] = {
        {"add and other command",
         "ADD|7|News|TV|xyz|English|||12|4.5<BR>X|9|Old|TV|abc|English|||3|2<BR>",
         {1, 5},
         "7|News|TV|xyz|English|||12|4.5|\r\n",
         1,
         2},
        {"lower-case add removes", "add|7|News|TV|xyz|English|||12|4.5<BR>", {1, 2, 5}, "", 0, 1},
        {"padded id is a number",
         "head<BR>ADD| 007|N|TV|u|L|||0|0|extra|fields<BR>tail",
         {1, 2, 5},
         "7|N|TV|u|L|||0|0|\r\n",
         1,
         1},
        {"same id twice",
         "ADD|12|A|TV|u|L|||0|0<BR>ADD|12|B|TV|u|L|||0|0",
         {0, 1, 2},
         "12|A|TV|u|L|||0|0|\r\n12|B|TV|u|L|||0|0|\r\n",
         2,
         1},
        {"replayed line and removal of an absent channel",
         "ADD|12|Kept|Radio|eee|French|||3|4<BR>X|55|Never|TV|u|L|||0|0<BR>COVERED 5/21/2009",
         {0, 1, 2},
         "12|Kept|Radio|eee|French|||3|4|\r\n",
         1,
         0},
        {"empty reply still cleans", "", {0, 1, 2, 5}, "", 0, 0},
    };
    QByteArray catalogue;
    for (const QByteArray &l : lines)
        catalogue += l + "\r\n";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(path(), catalogue);
        const Result<MergeSummary> merged = mergeCatalogueUpdate(path(), c.reply);
        ASSERT_TRUE(merged) << merged.error().message.toStdString();
        EXPECT_EQ(merged.value().appended, c.count);
        EXPECT_EQ(merged.value().changed, c.changed);
        QByteArray expected;
        for (const int i : c.kept)
            expected += lines[i] + "\r\n";
        const QByteArray once = readAll(path());
        EXPECT_EQ(once, expected + "\r\n" + c.tail);
        // Applying the same reply again gives the same file.
        ASSERT_TRUE(extractNewDefs(path(), c.reply));
        EXPECT_EQ(readAll(path()), once);
    }
}

TEST_F(MergeTest, AnUnusableReplyOrFileChangesNothing)
{
    const QByteArray catalogue = "7|Old|TV|aaa|English|||1|2|\r\n";
    const QByteArray replies[] = {
        "ADD|8|New|TV|u|L|||0|0<BR>ADD|9|Short|TV|u|L|||0<BR>",  // nine fields
        "ADD|8|New|TV|u|L|||0|0<BR>ADD|x9|Bad|TV|u|L|||0|0<BR>", // id not a number
        "ADD||New|TV|u|L|||0|0<BR>",                             // no id
        "ADD|99999999999999999999|N|TV|u|L|||0|0<BR>",           // beyond any id
        "ADD|8|New\r\nline|TV|u|L|||0|0<BR>",                    // would break Data.txt
        "\r\nADD|8|New|TV|u|L|||0|0<BR>",                        // CR LF is no separator
    };
    for (const QByteArray &reply : replies) {
        SCOPED_TRACE(reply.toStdString());
        writeAll(path(), catalogue);
        EXPECT_FALSE(extractNewDefs(path(), reply));
        EXPECT_EQ(readAll(path()), catalogue);
    }
    QFile::remove(path());
    EXPECT_FALSE(extractNewDefs(path(), "ADD|8|New|TV|u|L|||0|0<BR>"));
    EXPECT_FALSE(QFile::exists(path())) << "a missing catalogue is not created";
}

TEST_F(MergeTest, RemoveChannelsComparesTrimmedText)
{
    writeAll(path(), "5|a|TV|u|L|||0|0|\r\n 6 |b|TV|u|L|||0|0|\r\n06|c|TV|u|L|||0|0|\r\n");
    ASSERT_TRUE(removeChannels(path(), " 6"));
    EXPECT_EQ(readAll(path()), "5|a|TV|u|L|||0|0|\r\n06|c|TV|u|L|||0|0|\r\n\r\n");
}

TEST(UpdateDate, RepliesAreCleaned)
{
    const struct
    {
        QByteArray reply;
        QString cleaned;
    } cases[] = {
        {"5/21/2009 10:00:00 AM\r\n<html>", u"5/21/2009 10:00:00 AM"_s},
        {"  \t5/21/2009\t 1:00:00 pm junk PM", u"5/21/2009 1:00:00 pm"_s},
        {" 3/16/2006 \r\n", u"3/16/2006"_s},
        {"Server error", u"Server error"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(cleanDateReply(c.reply), c.cleaned) << c.reply.toStdString();
}

} // namespace
} // namespace mavrel
