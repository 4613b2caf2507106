#include "server/catalogue/cataloguepages.h"

#include "catalogue/kinds.h"
#include "catalogue/scramble.h"
#include "online/catalogueupdate.h"
#include "online/datetext.h"
#include "server/catalogue/guidepages.h"
#include "server/catalogue/updatereplies.h"
#include "server/http/ratelimitedlog.h"
#include "server/http/wire.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

HttpReply reply(int status, QByteArray body)
{
    return textReply(status, std::move(body));
}

QByteArray dateText(qint64 secs)
{
    return formatDateText(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC)).toLatin1();
}

// The "date" value of a query as seconds, blanks sent as "+" too.
std::optional<qint64> queryDate(const QHash<QByteArray, QByteArray> &query)
{
    QByteArray date = query.value(QByteArrayLiteral("date"));
    if (date.size() > kMaxShortValue)
        return std::nullopt;
    date.replace('+', ' ');
    const Result<QDateTime> parsed = parseDateText(QByteArrayView(date));
    if (!parsed)
        return std::nullopt;
    return parsed.value().toSecsSinceEpoch();
}

// An operator must see why requests fail, without a line for each request when the database
// fails them all: at most one line a second, with a count of the ones left out.
void logFailure(const Error &error)
{
    static RateLimitedLog log("catalogue-server: request failed: ");
    log.write(error.message);
}

// Update pages must never answer an error with "|": the viewer would read it as an update line.
HttpReply serverError(const Error &error)
{
    logFailure(error);
    return reply(500, QByteArrayLiteral("Server error"));
}

} // namespace

StaffAccess::StaffAccess(const QList<QByteArray> &tokens)
{
    for (const QByteArray &token : tokens)
        m_digests.append(QCryptographicHash::hash(token, QCryptographicHash::Sha256));
}

bool StaffAccess::allows(QByteArrayView credential, const QHostAddress &client,
                         bool loopbackOnly) const
{
    bool isV4 = false;
    const quint32 v4 = client.toIPv4Address(&isV4);
    if (loopbackOnly && (isV4 ? QHostAddress(v4) : client).isLoopback())
        return true;
    if (credential.isEmpty())
        return false;
    // Digests of one length, every byte of every one compared: the time tells nothing.
    const QByteArray digest = QCryptographicHash::hash(credential, QCryptographicHash::Sha256);
    unsigned char matched = 0;
    for (const QByteArray &token : m_digests) {
        unsigned char differ = 0;
        for (qsizetype i = 0; i < digest.size(); ++i)
            differ |= uchar(digest[i]) ^ uchar(token[i]);
        matched |= uchar(differ == 0);
    }
    return matched != 0;
}

CataloguePages::CataloguePages(CatalogueStore &store, QString localizationFile)
    : m_store(store), m_localizationFile(std::move(localizationFile))
{}

QList<QByteArray> CataloguePages::paths()
{
    return {"/ostrel/currentdate.asp",
            "/ostrel/getChannels.asp",
            "/ostrel/getChannelsOFFLINE.asp",
            "/ostrel/date.asp",
            kReportPath,
            "/ostrel/submit.asp",
            "/Languages/26/Localization.txt",
            kGuideNowPath,
            kGuideDayPath};
}

std::optional<HttpReply> CataloguePages::handle(QStringView path, QStringView rawQuery,
                                                const QString &client, bool staff)
{
    if (path == u"/ostrel/currentdate.asp")
        return currentDate(rawQuery);
    if (path == u"/ostrel/getChannels.asp")
        return channels(rawQuery, client, false);
    if (path == u"/ostrel/getChannelsOFFLINE.asp")
        return channels(rawQuery, client, true);
    if (path == u"/ostrel/date.asp")
        return storedDate(rawQuery, client);
    if (path == QLatin1StringView(kReportPath))
        return report(rawQuery, client, staff);
    if (path == u"/ostrel/submit.asp")
        return submit(rawQuery, client);
    if (path == u"/Languages/26/Localization.txt")
        return localization();
    if (path == QLatin1StringView(kGuideNowPath))
        return guideNow();
    if (path == QLatin1StringView(kGuideDayPath))
        return guideDay(rawQuery);
    return std::nullopt;
}

HttpReply CataloguePages::guideNow()
{
    auto rows = m_store.nowAndNext(m_store.now());
    if (!rows)
        return serverError(rows.error());
    HttpReply r = reply(200, guideNowText(rows.value()));
    r.contentType = QByteArrayLiteral("text/plain; charset=utf-8");
    return r;
}

HttpReply CataloguePages::guideDay(QStringView rawQuery)
{
    const auto day = parseGuideDay(rawQuery);
    if (!day)
        return reply(400, QByteArrayLiteral("Bad request: ") + day.error().message.toUtf8());
    auto programmes = m_store.programmes(day.value().guideId, day.value().from, day.value().to);
    if (!programmes)
        return serverError(programmes.error());
    // An empty day of a channel the catalogue has is a day without programmes.
    if (programmes.value().isEmpty()) {
        auto ids = m_store.guideIds();
        if (!ids)
            return serverError(ids.error());
        if (!ids.value().contains(day.value().guideId))
            return reply(404, QByteArrayLiteral("Unknown guide id"));
    }
    HttpReply r = reply(200, guideDayText(programmes.value()));
    r.contentType = QByteArrayLiteral("text/plain; charset=utf-8");
    return r;
}

HttpReply CataloguePages::currentDate(QStringView rawQuery)
{
    // Dead marks are no change of the catalogue: only the dead-channel download ("dead=1")
    // sees them, so ordinary viewers are not sent after an empty reply.
    const auto query = parseQuery(rawQuery);
    const bool dead = query && query.value().value(QByteArrayLiteral("dead")) == "1";
    auto latest = dead ? m_store.latestUpdateDate() : m_store.latestChange();
    if (!latest)
        return serverError(latest.error());
    return reply(200, dateText(latest.value()));
}

HttpReply CataloguePages::channels(QStringView rawQuery, const QString &client, bool deadOnly)
{
    auto query = parseQuery(rawQuery);
    if (!query)
        return reply(400, QByteArrayLiteral("Bad request"));
    const auto since = queryDate(query.value());
    if (!since)
        return reply(400, QByteArrayLiteral("Bad date"));
    if (m_replies)
        return sharedUpdate(*since, client, deadOnly);
    qint64 covered = 0;
    auto body = deadOnly ? m_store.deadReply(*since, client, &covered)
                         : m_store.updateReply(*since, client, &covered);
    if (!body)
        return serverError(body.error());
    return reply(200, withCoveredDate(std::move(body).value(), covered));
}

HttpReply CataloguePages::sharedUpdate(qint64 since, const QString &client, bool deadOnly)
{
    const auto busy = []() {
        HttpReply r = reply(503, QByteArrayLiteral("Busy"));
        r.headers.append({QByteArrayLiteral("Retry-After"), QByteArrayLiteral("1")});
        return r;
    };
    // Overloaded: refused without a look at the catalogue, even where a kept reply would do.
    if (m_replies->full())
        return busy();
    auto change = m_store.latestChange();
    if (!change)
        return serverError(change.error());
    auto update = m_store.latestUpdateDate();
    if (!update)
        return serverError(update.error());
    const CatalogueVersion version{change.value(), update.value()};
    if (const auto built = m_replies->cached(deadOnly, since, version))
        return builtUpdate(*built, client);
    HttpReply r;
    r.pending = m_replies->wait(deadOnly, since, version, client);
    return r.pending ? r : busy();
}

HttpReply CataloguePages::builtUpdate(const BuiltReply &built, const QString &client)
{
    // What each fetch must leave behind: the address's read memory for date.asp, and the
    // reply's date handed out, so that date.asp?date= takes it.
    if (auto r = m_store.fetched(client, built.since, built.stored, !built.deadOnly); !r)
        return serverError(r.error());
    HttpReply r = reply(200, built.body);
    r.gzipBody = built.gzipBody;
    return r;
}

HttpReply CataloguePages::failedUpdate(const Error &error)
{
    return serverError(error);
}

QByteArray withCoveredDate(QByteArray lines, qint64 covered)
{
    // After the last "<BR>" and without "|": every viewer's merge passes over it.
    lines += kCoveredMark;
    lines += dateText(covered);
    return lines;
}

HttpReply CataloguePages::storedDate(QStringView rawQuery, const QString &client)
{
    // Viewers behind one address share the address's memory; the date the viewer's own reply
    // carried is the one that fits its merge.
    std::optional<qint64> covered;
    if (!rawQuery.isEmpty()) {
        auto query = parseQuery(rawQuery);
        if (!query)
            return reply(400, QByteArrayLiteral("Bad request"));
        if (query.value().contains(QByteArrayLiteral("date"))) {
            covered = queryDate(query.value());
            if (!covered)
                return reply(400, QByteArrayLiteral("Bad date"));
        }
    }
    auto date = m_store.dateFor(client, covered);
    if (!date)
        return serverError(date.error());
    return reply(200, dateText(date.value()));
}

HttpReply CataloguePages::report(QStringView rawQuery, const QString &client, bool staff)
{
    auto query = parseQuery(rawQuery);
    if (!query)
        return reply(400, QByteArrayLiteral("Bad request"));
    const auto &q = query.value();
    const auto type = q.constFind(QByteArrayLiteral("strType"));
    const auto item = q.constFind(QByteArrayLiteral("strItem"));
    if (type == q.cend() || item == q.cend())
        return reply(400, QByteArrayLiteral("Bad request"));
    Report r;
    r.type = *type;
    r.value = q.value(QByteArrayLiteral("strValue"));
    r.item = unescapeItem(*item);
    // Anyone can write admin=true: without staff access it is an ordinary report.
    r.admin = staff && q.value(QByteArrayLiteral("admin")) == "true";
    r.client = client;
    if (r.type.size() > kMaxShortValue || r.value.size() > kMaxShortValue ||
        r.item.size() > kMaxNameBytes)
        return reply(400, QByteArrayLiteral("Too long"));
    if (auto recorded = m_store.recordReport(r); !recorded)
        return serverError(recorded.error());
    if (m_reportLog)
        m_reportLog->append(r);
    return reply(200, QByteArrayLiteral("OK"));
}

void ReportLog::append(const Report &report)
{
    const QByteArray line =
        report.type.toPercentEncoding() + ' ' + report.value.toPercentEncoding() + ' ' +
        report.item.toPercentEncoding() + ' ' + (report.admin ? '1' : '0') + '\n';
    const QMutexLocker lock(&m_mutex);
    QFile file(m_path);
    if (file.open(QIODevice::Append))
        file.write(line);
}

HttpReply CataloguePages::submit(QStringView rawQuery, const QString &client)
{
    auto query = parseQuery(rawQuery);
    if (!query)
        return reply(400, QByteArrayLiteral("ERROR|bad request|"));
    const auto &q = query.value();
    NewChannel c;
    c.name = q.value(QByteArrayLiteral("name"));
    c.kind = q.value(QByteArrayLiteral("type"));
    c.lang = q.value(QByteArrayLiteral("lang"));
    const QByteArray rating = q.value(QByteArrayLiteral("rating"));
    const QByteArray scrambled = q.value(QByteArrayLiteral("url"));
    if (c.name.size() > kMaxNameBytes || c.lang.size() > kMaxLangBytes ||
        c.kind.size() > kMaxShortValue || rating.size() > kMaxShortValue ||
        scrambled.size() > kMaxUrlBytes)
        return reply(400, QByteArrayLiteral("ERROR|too long|"));
    if (c.kind != kKindTV.latin1() && c.kind != kKindRadio.latin1())
        return reply(200, QByteArrayLiteral("REFUSED|kind must be TV or Radio|"));
    auto plain = decryptString(scrambled);
    if (!plain)
        return reply(400, QByteArrayLiteral("ERROR|bad address|"));
    c.url = std::move(plain).value();
    if (c.url.trimmed().isEmpty() || c.url.trimmed().compare("http://", Qt::CaseInsensitive) == 0)
        return reply(200, QByteArrayLiteral("REFUSED|missing address|"));
    if (const Result<void> checked = checkChannel(c); !checked)
        return reply(200, "REFUSED|" + checked.error().message.toLatin1() + '|');
    bool ok = false;
    const int stars = rating.trimmed().toInt(&ok);
    auto added = m_store.submit(c, ok ? stars : 0, client);
    if (!added) {
        logFailure(added.error());
        return reply(500, QByteArrayLiteral("ERROR|server|"));
    }
    const QByteArray id = QByteArray::number(added.value().id);
    switch (added.value().outcome) {
    case AddOutcome::Added:
        return reply(200, "SUCCESS|" + id + '|');
    case AddOutcome::Duplicate:
        return reply(200, "DUPE|" + id + '|');
    case AddOutcome::Invalid:
        break;
    }
    return reply(200, "REFUSED|" + added.value().reason.toLatin1() + '|');
}

HttpReply CataloguePages::localization()
{
    if (m_localizationFile.isEmpty())
        return reply(404, QByteArrayLiteral("Not Found"));
    QFile file(m_localizationFile);
    if (!file.open(QIODevice::ReadOnly))
        return reply(404, QByteArrayLiteral("Not Found"));
    return reply(200, file.readAll());
}

} // namespace mavrel::server
