#include "server/sources/xmltv.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

qint64 utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toSecsSinceEpoch();
}

QByteArray gzip(QByteArray plain)
{
    z_stream z{};
    QByteArray out(plain.size() + 64, Qt::Uninitialized);
    deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef *>(plain.data());
    z.avail_in = uInt(plain.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    deflateEnd(&z);
    return out.first(qsizetype(z.total_out));
}

QByteArray programme(const char *channel, const char *start, const char *stop,
                     const QByteArray &inner)
{
    QByteArray p = "<programme channel=\"" + QByteArray(channel) + "\" start=\"" + start + '"';
    if (*stop)
        p += " stop=\"" + QByteArray(stop) + '"';
    return p + '>' + inner + "</programme>\n";
}

QByteArray guide(const QByteArray &programmes)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
           "<tv><channel id=\"a.tv\"><display-name>A</display-name></channel>\n" +
           programmes + "</tv>\n";
}

struct Read
{
    Result<GuideCounts> counts;
    QList<Programme> programmes;
};

Read read(QIODevice &in, GuideFilter filter = {0, 1LL << 40, {}})
{
    Read r{GuideCounts(), {}};
    r.counts = readXmltv(in, filter, [&](Programme &&p) -> Result<void> {
        r.programmes.append(std::move(p));
        return {};
    });
    return r;
}

Read read(QByteArray data, GuideFilter filter = {0, 1LL << 40, {}})
{
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, std::move(filter));
}

// Zones are read with whole programmes below.
TEST(XmltvTime, SecondsOptionalAndRejects)
{
    const struct
    {
        const char *text;
        const char *expected; // nullptr: an error
    } cases[] = {
        {"202612102000", "2026-12-10T20:00:00Z"}, // no seconds
        {"20240229235959 +0000", "2024-02-29T23:59:59Z"},
        {"20250229000000", nullptr}, // no such day
        {"20261210240000", nullptr},
        {"2026121020", nullptr},
        {"20261210200000 +01", nullptr},
        {"20261210200000 +0160", nullptr},
    };
    for (const auto &c : cases) {
        const Result<qint64> t = parseXmltvTime(c.text);
        if (!c.expected) {
            EXPECT_FALSE(t.ok()) << c.text;
            continue;
        }
        ASSERT_TRUE(t.ok()) << c.text;
        EXPECT_EQ(t.value(), utc(c.expected)) << c.text;
    }
}

const QByteArray kLongTitle(2000, 'x');
const QByteArray kLongDesc = "x" + QByteArray("\xc3\xa9").repeated(5000);

TEST(XmltvRead, KeepsFieldsTimesAndCountsWhatItSkips)
{
    const QByteArray doc = guide(
        programme("a.tv", "20261210200000 +0100", "20261210210000 +0100",
                  "<title lang=\"en\">News &amp; Weather</title><title lang=\"fr\">Infos</title>"
                  "<sub-title>Caf&#233;</sub-title><desc>Late</desc><category>News</category>") +
        programme("a.tv", "20261210233000", "20261211013000", "<title>Across midnight</title>") +
        programme("a.tv", "20261211013000 -0530", "", "<title>Open end</title>") +
        programme("", "20261211013000", "", "<title>No channel</title>") +
        programme("a.tv", "tomorrow", "", "<title>Bad time</title>") +
        programme("a.tv", "20261211020000", "20261211020000", "<title>Ends at its start</title>") +
        programme("a.tv", "20261211020000", "",
                  "<title>" + kLongTitle + "</title><desc>" + kLongDesc + "</desc>"));
    const Read r = read(doc);
    ASSERT_TRUE(r.counts.ok()) << qPrintable(r.counts.error().message);
    EXPECT_EQ(r.counts.value().programmes, 4);
    EXPECT_EQ(r.counts.value().bad, 4); // no channel, bad time, no length, cut fields (kept)
    ASSERT_EQ(r.programmes.size(), 4);
    EXPECT_EQ(r.programmes[0],
              (Programme{"a.tv", utc("2026-12-10T19:00:00Z"), utc("2026-12-10T20:00:00Z"),
                         u"News & Weather"_s, u"Café"_s, u"Late"_s, u"News"_s}));
    EXPECT_EQ(r.programmes[1].stop - r.programmes[1].start, 2 * 3600);
    EXPECT_EQ(r.programmes[2].start, utc("2026-12-11T07:00:00Z"));
    EXPECT_EQ(r.programmes[2].stop, 0);
    // Cut at a character: the description's two-byte letters are not split.
    EXPECT_EQ(r.programmes[3].title.toUtf8(), kLongTitle.first(1024));
    EXPECT_EQ(r.programmes[3].description.toUtf8(), kLongDesc.first(8191));
}

TEST(XmltvRead, WindowAndChannelFilters)
{
    const QByteArray doc =
        guide(programme("a.tv", "20261210080000", "20261210100000", "<title>Ends at from</title>") +
              programme("a.tv", "20261210090000", "20261210110000", "<title>Overlaps</title>") +
              programme("a.tv", "20261210110000", "", "<title>No stop</title>") +
              programme("a.tv", "20261210120000", "20261210130000", "<title>Starts at to</title>") +
              programme("b.tv", "20261210110000", "20261210120000", "<title>Other</title>"));
    const struct
    {
        const char *name;
        std::function<bool(const QByteArray &)> wanted;
        qint64 kept, outOfWindow, unknown;
    } cases[] = {
        {"every channel", {}, 3, 2, 0},
        {"a.tv only", [](const QByteArray &id) { return id == "a.tv"; }, 2, 2, 1},
        {"another channel set", [](const QByteArray &) { return false; }, 0, 0, 5},
    };
    for (const auto &c : cases) {
        const GuideFilter filter{utc("2026-12-10T10:00:00Z"), utc("2026-12-10T12:00:00Z"),
                                 c.wanted};
        const Read r = read(doc, filter);
        ASSERT_TRUE(r.counts.ok()) << c.name;
        EXPECT_EQ(r.counts.value().programmes, c.kept) << c.name;
        EXPECT_EQ(r.programmes.size(), c.kept) << c.name;
        EXPECT_EQ(r.counts.value().outOfWindow, c.outOfWindow) << c.name;
        EXPECT_EQ(r.counts.value().unknownChannel, c.unknown) << c.name;
    }
}

// Plain or gzip by the first bytes, whatever the file is called; a damaged guide fails whole.
TEST(XmltvRead, StreamsPlainAndGzipAndFailsOnDamage)
{
    QByteArray many;
    for (int i = 0; i < 3000; ++i) // some pieces of input
        many += programme("a.tv", "20261210200000", "", "<desc>" + QByteArray(60, 'd') + "</desc>");
    const QByteArray doc = guide(many), zipped = gzip(doc);
    const QByteArray one = guide(programme("a.tv", "20261210200000", "", "<title>T</title>"));
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString why; // empty: read whole
    } cases[] = {
        {"guide.xml", zipped, {}},
        {"guide.gz", doc, {}},
        {"truncated.gz", zipped.first(zipped.size() - 6), u"truncated"_s},
        {"damaged.gz", zipped.first(12) + QByteArray(40, '\xff'), u"damaged"_s},
        {"unclosed.xml", doc.first(doc.size() - 7), u"ends before"_s},
        {"mismatched.xml", "<tv><programme></tv>", u"not a readable guide"_s},
        {"empty.xml", "", u"ends before"_s},
        {"huge-text.xml", guide("<x>" + QByteArray(2 << 20, 'd') + "</x>"), u"over 1 MiB"_s},
        // Bytes that are no UTF-8 in a UTF-8 guide: the XML reader refuses the document.
        {"latin1.xml", guide("<x>\xff\xfe</x>"), u"not a readable guide"_s},
    };
    const QTemporaryDir dir;
    for (const auto &c : cases) {
        QFile f(dir.filePath(QString::fromLatin1(c.name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(c.bytes) == c.bytes.size());
        f.close();
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const Read r = read(f);
        EXPECT_EQ(r.counts.ok(), c.why.isEmpty()) << c.name;
        if (r.counts.ok())
            EXPECT_EQ(r.programmes.size(), 3000) << c.name;
        else
            EXPECT_TRUE(r.counts.error().message.contains(c.why)) << c.name;
    }
    QByteArray data = one;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const auto failed = readXmltv(buffer, {0, 1LL << 40, {}}, [](Programme &&) {
        return Result<void>::failure(u"disk full"_s);
    });
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().message, u"disk full"_s);
}

} // namespace
} // namespace mavrel::server
