#include "server/sources/xmltv.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>

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

// The sink refuses a programme titled "refuse", as a full disk would.
Read read(QByteArray data, const GuideFilter &filter = {0, 1LL << 40, {}})
{
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    Read r{GuideCounts(), {}};
    r.counts = readXmltv(in, filter, [&](Programme &&p) -> Result<void> {
        if (p.title == u"refuse"_s)
            return Result<void>::failure(u"disk full"_s);
        r.programmes.append(std::move(p));
        return {};
    });
    return r;
}

// Zones are read with whole programmes below.
TEST(XmltvTime, SecondsOptionalAndRejects)
{
    const std::pair<const char *, const char *> cases[] = {
        // expected nullptr: an error
        {"202612102000", "2026-12-10T20:00:00Z"}, // no seconds
        {"20240229235959 +0000", "2024-02-29T23:59:59Z"},
        {"20250229000000", nullptr}, // no such day
        {"20261210240000", nullptr},
        {"2026121020", nullptr},
        {"20261210200000 +01", nullptr},
        {"20261210200000 +0160", nullptr},
    };
    for (const auto &[text, expected] : cases) {
        const Result<qint64> t = parseXmltvTime(text);
        EXPECT_EQ(t.ok() ? t.value() : -1, expected ? utc(expected) : -1) << text;
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
        programme("a.tv", "20261211013000 -0530", "", "<title>Open end</title>") +
        programme("", "20261211013000", "", "<title>No channel</title>") +
        programme("a.tv", "tomorrow", "", "<title>Bad time</title>") +
        programme("a.tv", "20261211020000", "20261211020000", "<title>Ends at its start</title>") +
        programme("a.tv", "20261211020000", "",
                  "<title>" + kLongTitle + "</title><desc>" + kLongDesc + "</desc>"));
    const Read r = read(doc);
    ASSERT_TRUE(r.counts.ok()) << qPrintable(r.counts.error().message);
    EXPECT_EQ(r.counts.value().programmes, 3);
    EXPECT_EQ(r.counts.value().bad, 4); // no channel, bad time, no length, cut fields (kept)
    ASSERT_EQ(r.programmes.size(), 3);
    EXPECT_EQ(r.programmes[0],
              (Programme{"a.tv", utc("2026-12-10T19:00:00Z"), utc("2026-12-10T20:00:00Z"),
                         u"News & Weather"_s, u"Café"_s, u"Late"_s, u"News"_s}));
    EXPECT_EQ(r.programmes[1].start, utc("2026-12-11T07:00:00Z"));
    EXPECT_EQ(r.programmes[1].stop, 0);
    // Cut at a character: the description's two-byte letters are not split.
    EXPECT_EQ(r.programmes[2].title.toUtf8(), kLongTitle.first(1024));
    EXPECT_EQ(r.programmes[2].description.toUtf8(), kLongDesc.first(8191));
}

TEST(XmltvRead, WindowAndChannelFilters)
{
    const QByteArray doc =
        guide(programme("a.tv", "20261210080000", "20261210100000", "<title>Ends at from</title>") +
              programme("a.tv", "20261210090000", "20261210110000", "<title>Overlaps</title>") +
              programme("a.tv", "20261210110000", "", "<title>No stop</title>") +
              programme("a.tv", "20261210120000", "20261210130000", "<title>Starts at to</title>") +
              programme("b.tv", "20261210110000", "20261210120000", "<title>Other</title>"));
    const auto counts = [&](std::function<bool(const QByteArray &)> wanted) {
        const Read r =
            read(doc, {utc("2026-12-10T10:00:00Z"), utc("2026-12-10T12:00:00Z"), wanted});
        const GuideCounts c = r.counts.valueOr({-1, -1, -1, -1});
        return std::tuple(c.programmes, r.programmes.size(), c.outOfWindow, c.unknownChannel);
    };
    EXPECT_EQ(counts([](const QByteArray &id) { return id == "a.tv"; }), std::tuple(2, 2, 2, 1));
    // A channel not wanted is told before the window.
    EXPECT_EQ(counts([](const QByteArray &) { return false; }), std::tuple(0, 0, 0, 5));
}

// Plain or gzip by the first bytes; a damaged guide fails whole.
TEST(XmltvRead, StreamsPlainAndGzipAndFailsOnDamage)
{
    QByteArray many;
    for (int i = 0; i < 3000; ++i) // some pieces of input
        many += programme("a.tv", "20261210200000", "", "<desc>" + QByteArray(60, 'd') + "</desc>");
    const QByteArray doc = guide(many), zipped = gzip(doc);
    const std::pair<QByteArray, QString> cases[] = {
        // the error's words; empty: read whole
        {zipped, {}},
        {doc, {}},
        {zipped.first(zipped.size() - 6), u"truncated"_s},
        {zipped.first(12) + QByteArray(40, '\xff'), u"damaged"_s},
        {"", u"ends before"_s},
        {guide("<x>" + QByteArray(2 << 20, 'd') + "</x>"), u"over 1 MiB"_s},
        // Bytes that are no UTF-8 in a UTF-8 guide: the XML reader refuses the document.
        {guide("<x>\xff\xfe</x>"), u"not a readable guide"_s},
        {guide(programme("a.tv", "20261210200000", "", "<title>refuse</title>")), u"disk full"_s},
    };
    for (const auto &[bytes, why] : cases) {
        const Read r = read(bytes);
        EXPECT_EQ(r.counts.ok(), why.isEmpty()) << qPrintable(why);
        if (r.counts.ok())
            EXPECT_EQ(r.programmes.size(), 3000);
        else
            EXPECT_TRUE(r.counts.error().message.contains(why)) << qPrintable(why);
    }
}

} // namespace
} // namespace mavrel::server
