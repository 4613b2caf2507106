#include "catalogue/cataloguelinereader.h"
#include "catalogue/catalogueview.h"
#include "catalogue/channelrecord.h"
#include "catalogue/scramble.h"
#include "loadedlist.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

QByteArray line(const QByteArray &name, const QByteArray &lang, const QByteArray &kind = "TV")
{
    return "7|" + name + '|' + kind + '|' + encryptString("http://s/" + name).value() + '|' + lang +
           "|a|b|12|4.5|\r\n";
}

class ChannelRowsTest : public testing::Test
{
protected:
    QString write(const QByteArray &data)
    {
        QFile file(m_path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(data), data.size());
        return m_path;
    }

    LoadedList load(const QString &lang = u"All"_s)
    {
        CatalogueViewState state{u"TV"_s, lang, true, 0};
        return loadList(m_path, state, {});
    }

    static QStringList names(const ChannelRows &rows)
    {
        QStringList out;
        for (std::size_t i = 0; i < rows.size(); ++i)
            out << rows.text(i, ChannelRows::Text::Name);
        return out;
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(u"Data.txt"_s);
};

// Rows keep their own copy of the catalogue: a reload or a file rewritten in place (shorter,
// then gone) changes nothing in rows already handed out.
TEST_F(ChannelRowsTest, RowsOutliveReloadsAndTheFileTheyCameFrom)
{
    write(line("First", "English") + line("Second", "French"));
    const LoadedList before = load();
    ASSERT_FALSE(before.failed());

    write(line("Other", "German"));
    const LoadedList after = load();
    EXPECT_EQ(names(after.rows), (QStringList{u"Other"_s}));
    QFile::remove(m_path);

    ASSERT_EQ(before.rows.size(), 2u);
    const ChannelRow second = before.rows[1];
    EXPECT_EQ(second.record, (ChannelRecord{"7", "Second", "TV", "http://s/Second", "French", "a",
                                            "b", "12", "4.5"}));
    EXPECT_EQ(second.name, u"Second"_s);
    EXPECT_EQ(second.lang, u"French"_s);
    EXPECT_EQ(second.rating, u"4.5"_s);
    EXPECT_EQ(second.favorites, u"000012"_s);
    EXPECT_EQ(before.rows.text(0, ChannelRows::Text::Url), u"http://s/First"_s);

    // A copy shares the bytes and survives the original.
    ChannelRows copy;
    {
        LoadedList moved = before;
        copy = moved.rows;
    }
    EXPECT_EQ(names(copy), (QStringList{u"First"_s, u"Second"_s}));
}

// The file is read in blocks of a MiB and split as it arrives: line ends that straddle a block,
// lines longer than a block and a few rows out of a big file (their bytes are kept apart) must
// give what the plain line rules give.
TEST_F(ChannelRowsTest, BlockBoundariesAndFewRowsOfABigFile)
{
    constexpr qsizetype kBlock = qsizetype(1) << 20;
    const auto filler = [](qsizetype bytes) {
        QByteArray data;
        for (int i = 0; data.size() < bytes; ++i)
            data += line("Radio" + QByteArray::number(i), "German", "Radio");
        return data;
    };
    const auto padTo = [](QByteArray data, qsizetype size) {
        // A line without "|", so it counts for nothing, ending just before `size`.
        const qsizetype room = size - data.size() - 2;
        return data + QByteArray(std::max<qsizetype>(room, 0), 'x') + "\r\n";
    };
    const QByteArray head = filler(kBlock - 5000);
    const QByteArray shown = line("Shown", "English");
    const struct
    {
        const char *name;
        QByteArray data;
    } cases[] = {
        {"CR the last byte of a block, LF the first of the next",
         padTo(head, kBlock + 1 - shown.size()) + shown + line("Next", "English")},
        {"lone CR at a block end", padTo(head, kBlock + 1).chopped(1) + shown},
        {"line longer than a block",
         QByteArray(line("Long", "English"))
                 .replace("|a|", '|' + QByteArray(3 * kBlock, 'a') + '|') +
             line("After", "English")},
        {"few rows at the end of a big file", filler(3 * kBlock) + line("Last", "English/Kids")},
        {"last line without a line end", head + line("End", "English").chopped(2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write(c.data);
        const LoadedList result = load(u"English"_s);
        ASSERT_FALSE(result.failed());
        std::vector<ChannelRecord> expected;
        int total = 0;
        qsizetype shownBytes = 0;
        for (const QByteArray &l : splitCatalogueLines(c.data)) {
            if (!l.contains('|'))
                continue;
            ++total;
            const ChannelRecord record = ChannelRecord::parse(l).value();
            if (record.kind == "TV" && record.lang.contains("English")) {
                expected.push_back(record);
                shownBytes += l.size();
            }
        }
        EXPECT_EQ(result.total, total);
        std::vector<ChannelRecord> records;
        for (const ChannelRow &row : result.rows)
            records.push_back(row.record);
        EXPECT_EQ(records, expected);
        // Only the shown lines are held when they are a small part of the file.
        if (shownBytes * 4 < c.data.size()) {
            EXPECT_LE(result.rows.bufferBytes(), shownBytes + 64);
        }
    }
}

// Lines of one file may be UTF-8 or Windows-1252; each field decodes on its own.
TEST_F(ChannelRowsTest, MixedEncodingsDecodePerField)
{
    write(line("Caf\xc3\xa9", "Fran\xe7"
                              "ais") +
          line("Caf\xe9", "Deutsch/\xc3\x9f") + line("Plain", "English"));
    const LoadedList result = load();
    ASSERT_EQ(result.rows.size(), 3u);
    EXPECT_EQ(result.rows[0].name, u"Caf\u00e9"_s);
    EXPECT_EQ(result.rows[0].lang, u"Fran\u00e7ais"_s);
    EXPECT_EQ(result.rows[1].name, u"Caf\u00e9"_s);
    EXPECT_EQ(result.rows[1].record.name, "Caf\xe9"); // the file's own bytes
    EXPECT_EQ(result.rows[1].lang, u"Deutsch/\u00df"_s);
    EXPECT_EQ(result.languages.value_or(QStringList()),
              (QStringList{u"Deutsch"_s, u"English"_s, u"Fran\u00e7ais"_s, u"\u00df"_s}));
}

} // namespace
