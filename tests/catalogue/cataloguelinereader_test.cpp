#include "catalogue/cataloguelinereader.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

using namespace mavrel;

namespace {

QList<QByteArray> readAll(const QByteArray &data, qsizetype blockSize)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    CatalogueLineReader reader(&buffer, blockSize);
    QList<QByteArray> lines;
    QByteArrayView line;
    Result<bool> more = reader.readLine(&line);
    for (; more.ok() && more.value(); more = reader.readLine(&line))
        lines.append(line.toByteArray());
    EXPECT_TRUE(more.ok());
    return lines;
}

TEST(CatalogueLineReader, LineEndsAtCrLfOrLoneCrButNotAtLoneLf)
{
    const QByteArray nul("a\0b", 3);
    const struct
    {
        const char *name;
        QByteArray data;
        QList<QByteArray> lines;
    } cases[] = {
        {"empty file", "", {}},
        {"crlf", "a|b\r\nc|d\r\n", {"a|b", "c|d"}},
        {"no final break", "a\r\nb", {"a", "b"}},
        {"only cr", "a\rb\rc", {"a", "b", "c"}},
        {"lone lf stays inside", "a\nb\r\nc\n", {"a\nb", "c\n"}},
        {"cr cr lf is an empty line", "a\r\r\nb", {"a", "", "b"}},
        {"lf cr", "a\n\rb", {"a\n", "b"}},
        {"empty lines", "\r\n\r\n", {"", ""}},
        {"just cr", "\r", {""}},
        {"just lf", "\n", {"\n"}},
        {"nul is data", nul + "\r\n" + nul, {nul, nul}},
        {"high bytes", "\xff\xfe\r\n\x80", {"\xff\xfe", "\x80"}},
    };
    // Small blocks put every line end, CR LF pairs included, across a block boundary.
    for (const qsizetype blockSize : {1, 2, 3, 5, 1 << 20}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", block " << blockSize);
            EXPECT_EQ(readAll(c.data, blockSize), c.lines);
        }
    }
}

TEST(CatalogueLineReader, LongLinesAcrossManyBlocks)
{
    const QByteArray big(100 * 1024, 'x');
    const QByteArray data = big + "\r\n" + "short\r" + big;
    for (const qsizetype blockSize : {7, 4096, 1 << 20}) {
        const QList<QByteArray> lines = readAll(data, blockSize);
        ASSERT_EQ(lines.size(), 3);
        EXPECT_EQ(lines[0], big);
        EXPECT_EQ(lines[1], "short");
        EXPECT_EQ(lines[2], big);
    }
}

TEST(CatalogueLineReader, AFailedReadIsNotAnEmptyFile)
{
    QFile closed(QStringLiteral("never-opened.txt"));
    CatalogueLineReader reader(&closed);
    QByteArrayView line;
    const Result<bool> read = reader.readLine(&line);
    EXPECT_FALSE(read.ok() && read.value());
    EXPECT_FALSE(read.ok());
}

} // namespace
