#include "server/sources/importer.h"

#include "catalogue/channelrecord.h"
#include "catalogue/kinds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <cmath>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

QList<QByteArrayView> splitLines(QByteArrayView data)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(data.sliced(start, i - start));
        if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < data.size())
        lines.append(data.sliced(start));
    return lines;
}

// Value of key="..." (or key=word) in an #EXTINF line, before the title.
QByteArray attribute(QByteArrayView attrs, QByteArrayView key)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = attrs.indexOf(key, from);
        if (at < 0)
            return {};
        from = at + key.size();
        const bool startsWord = at == 0 || attrs[at - 1] == ' ' || attrs[at - 1] == '\t';
        if (!startsWord || from >= attrs.size() || attrs[from] != '=')
            continue;
        qsizetype v = from + 1;
        if (v < attrs.size() && attrs[v] == '"') {
            const qsizetype end = attrs.indexOf('"', v + 1);
            return attrs.sliced(v + 1, (end < 0 ? attrs.size() : end) - v - 1).toByteArray();
        }
        qsizetype end = v;
        while (end < attrs.size() && attrs[end] != ' ' && attrs[end] != '\t')
            ++end;
        return attrs.sliced(v, end - v).toByteArray();
    }
}

// "a;b" or "a/b" -> names, appended to the list unless already there.
void addNames(QList<QByteArray> &names, const QByteArray &value)
{
    QByteArray v = value;
    v.replace(';', '/');
    v.replace(',', '/');
    for (const QByteArray &part : v.split('/')) {
        const QByteArray name = part.trimmed();
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
}

// "ca" -> "Canada"; nothing for what is no country code.
QByteArray countryName(QByteArrayView code)
{
    QByteArray c = code.trimmed().toByteArray().toUpper();
    if (c == "UK")
        c = "GB";
    if (c.size() != 2 || !std::isalpha(uchar(c[0])) || !std::isalpha(uchar(c[1])))
        return {};
    const QLocale::Territory t = QLocale::codeToTerritory(QString::fromLatin1(c));
    if (t == QLocale::AnyTerritory)
        return {};
    return QLocale::territoryToString(t).toUtf8();
}

// The country suffix of an id such as "Channel.ca" or "Channel.ca@HD".
QByteArray idCountry(QByteArrayView id)
{
    const qsizetype at = id.indexOf('@');
    if (at >= 0)
        id = id.first(at);
    const qsizetype dot = id.lastIndexOf('.');
    return dot < 0 ? QByteArray() : countryName(id.sliced(dot + 1));
}

bool audioOnlyAddress(QByteArrayView url)
{
    QByteArrayView path = url;
    for (const char stop : {'?', '#'}) {
        if (const qsizetype at = path.indexOf(stop); at >= 0)
            path = path.first(at);
    }
    for (const char *ext : {".mp3", ".aac", ".ogg", ".opus", ".m4a", ".flac", ".pls"}) {
        if (path.endsWith(ext) || QByteArray(path.toByteArray()).toLower().endsWith(ext))
            return true;
    }
    return false;
}

// "english" -> "English", "hip-hop" -> "Hip-Hop": categories as the viewer lists them.
QByteArray capitalised(const QByteArray &name)
{
    QString text = QString::fromUtf8(name);
    bool wordStart = true;
    for (QChar &c : text) {
        if (wordStart && c.isLower())
            c = c.toUpper();
        wordStart = c == u' ' || c == u'-';
    }
    return text.toUtf8();
}

// Categories joined with "/", as many whole ones as the field holds.
QByteArray joinCategories(const QList<QByteArray> &names)
{
    constexpr int kMostCategories = 4;
    QByteArray out;
    int n = 0;
    for (const QByteArray &name : names) {
        if (n == kMostCategories || out.size() + name.size() + 1 > kMaxLangBytes)
            break;
        if (!out.isEmpty())
            out += '/';
        out += name;
        ++n;
    }
    return out.isEmpty() ? QByteArrayLiteral("Other") : out;
}

} // namespace

ParsedSource parseCatalogueFile(QByteArrayView data)
{
    ParsedSource out;
    for (QByteArrayView line : splitLines(data)) {
        if (!line.contains('|'))
            continue;
        auto record = ChannelRecord::parse(line);
        if (!record) {
            ++out.bad;
            continue;
        }
        const ChannelRecord &r = record.value();
        NewChannel c;
        c.name = r.name;
        c.kind = r.kind;
        c.url = r.url;
        c.lang = r.lang;
        c.spare1 = r.spare1;
        c.spare2 = r.spare2;
        bool ok = false;
        c.favorites = r.favorites.trimmed().toLongLong(&ok);
        if (!ok || c.favorites < 0)
            c.favorites = 0;
        if (const auto rating = parseRatingFigure(r.rating)) {
            c.ratingSum = *rating;
            c.ratingCount = 1;
        }
        c.wantedId = r.id.trimmed().toLongLong(&ok);
        if (!ok || c.wantedId < 0)
            c.wantedId = 0;
        out.entries.append({std::move(c), false});
    }
    return out;
}

ParsedSource parsePlaylist(QByteArrayView data)
{
    ParsedSource out;
    bool pending = false;
    bool radioAttrs = false;
    NewChannel entry;
    for (QByteArrayView raw : splitLines(data)) {
        QByteArrayView line = raw.trimmed();
        if (line.startsWith("\xef\xbb\xbf"))
            line = line.sliced(3);
        if (line.isEmpty())
            continue;
        if (line.startsWith("#EXTINF")) {
            if (pending)
                ++out.bad; // an entry without an address
            pending = true;
            entry = NewChannel();
            // The title follows the first comma outside quotes.
            bool quoted = false;
            qsizetype comma = -1;
            for (qsizetype i = 0; i < line.size(); ++i) {
                if (line[i] == '"')
                    quoted = !quoted;
                else if (line[i] == ',' && !quoted) {
                    comma = i;
                    break;
                }
            }
            const QByteArrayView attrs = comma < 0 ? line : line.first(comma);
            entry.name = comma < 0 ? QByteArray() : line.sliced(comma + 1).trimmed().toByteArray();
            QList<QByteArray> names;
            addNames(names, attribute(attrs, "tvg-language"));
            if (names.isEmpty()) {
                QByteArray countries = attribute(attrs, "tvg-country");
                countries.replace(',', ';');
                for (const QByteArray &code : countries.split(';')) {
                    if (const QByteArray name = countryName(code); !name.isEmpty())
                        addNames(names, name);
                }
            }
            if (names.isEmpty())
                addNames(names, idCountry(attribute(attrs, "tvg-id")));
            const QByteArray group = attribute(attrs, "group-title");
            addNames(names, group);
            entry.lang = joinCategories(names);
            radioAttrs = attribute(attrs, "radio").compare("true", Qt::CaseInsensitive) == 0 ||
                         group.contains("Radio") || group.contains("radio");
            continue;
        }
        if (line.startsWith("#EXTVLCOPT")) {
            ++out.options;
            continue;
        }
        if (line.startsWith('#'))
            continue;
        if (!pending) {
            ++out.bad; // an address without a title
            continue;
        }
        entry.url = line.toByteArray();
        const bool radio = radioAttrs || audioOnlyAddress(line);
        entry.kind = QByteArray((radio ? kKindRadio : kKindTV).latin1());
        out.entries.append({entry, false});
        pending = false;
    }
    if (pending)
        ++out.bad;
    return out;
}

bool looksLikePlaylist(const QString &path, QByteArrayView data)
{
    if (path.endsWith(u".m3u"_s, Qt::CaseInsensitive) ||
        path.endsWith(u".m3u8"_s, Qt::CaseInsensitive))
        return true;
    QByteArrayView head = data.first(std::min<qsizetype>(data.size(), 16));
    if (head.startsWith("\xef\xbb\xbf"))
        head = head.sliced(3);
    return head.startsWith("#EXTM3U");
}

void seedFigures(NewChannel &channel, double votes, double clicks)
{
    if (std::isfinite(votes) && votes >= 1) {
        const double stars = std::min(5.0, 1.0 + std::log10(votes));
        channel.ratingSum = std::round(stars * 100) / 100;
        channel.ratingCount = 1;
    }
    // Six digits is what the viewer's column holds.
    if (std::isfinite(clicks) && clicks >= 1)
        channel.favorites = qint64(std::min(clicks, 999999.0));
}

void StationListReader::feed(QByteArrayView chunk)
{
    for (qsizetype i = 0; i < chunk.size() && !m_broken; ++i) {
        const char c = chunk[i];
        if (m_ended) {
            // Only blanks may follow the list.
            m_broken = c != ' ' && c != '\t' && c != '\r' && c != '\n';
            continue;
        }
        if (m_capturing)
            m_object.append(c);
        if (m_inString) {
            if (m_escape)
                m_escape = false;
            else if (c == '\\')
                m_escape = true;
            else if (c == '"')
                m_inString = false;
            continue;
        }
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (!m_started) {
            if (blank || (c == '\xef' || c == '\xbb' || c == '\xbf'))
                continue;
            if (c != '[') {
                m_broken = true;
                break;
            }
            m_started = true;
            m_depth = 1;
            continue;
        }
        if (c == '"') {
            m_inString = true;
            if (m_depth == 1 && !m_capturing && !m_otherElement) {
                m_otherElement = true;
                ++m_out.bad;
            }
            continue;
        }
        if (c == '{' || c == '[') {
            if (m_depth == 1 && !m_otherElement) {
                if (c == '{') {
                    m_capturing = true;
                    m_object = "{";
                } else {
                    m_otherElement = true;
                    ++m_out.bad;
                }
            }
            ++m_depth;
            continue;
        }
        if (c == '}' || c == ']') {
            --m_depth;
            if (m_depth == 1 && m_capturing) {
                m_capturing = false;
                station(m_object);
                m_object.clear();
            } else if (m_depth == 0) {
                m_ended = true;
            } else if (m_depth < 0) {
                m_broken = true;
            }
            continue;
        }
        if (m_depth == 1) {
            if (c == ',')
                m_otherElement = false;
            else if (!blank && !m_otherElement) {
                m_otherElement = true; // a number, true, false or null among the stations
                ++m_out.bad;
            }
        }
    }
}

bool StationListReader::finish()
{
    return m_started && m_ended && !m_broken;
}

namespace {

QByteArray textField(const QJsonObject &o, QLatin1StringView key)
{
    const QJsonValue v = o.value(key);
    return v.isString() ? v.toString().trimmed().toUtf8() : QByteArray();
}

double numberField(const QJsonObject &o, QLatin1StringView key)
{
    const QJsonValue v = o.value(key);
    if (v.isDouble())
        return v.toDouble();
    if (v.isString())
        return v.toString().toDouble();
    return 0;
}

void addCommaNames(QList<QByteArray> &names, const QByteArray &value)
{
    for (const QByteArray &part : value.split(',')) {
        const QByteArray name = capitalised(part.trimmed());
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
}

} // namespace

void StationListReader::station(const QByteArray &json)
{
    // Bytes that are no UTF-8 become U+FFFD rather than cost the station.
    const QByteArray text =
        QByteArrayView(json).isValidUtf8() ? json : QString::fromUtf8(json).toUtf8();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        ++m_out.bad;
        return;
    }
    const QJsonObject o = doc.object();
    SourceEntry e;
    NewChannel &c = e.channel;
    c.name = textField(o, "name"_L1);
    c.url = textField(o, "url_resolved"_L1);
    if (c.url.isEmpty())
        c.url = textField(o, "url"_L1);
    if (c.name.isEmpty() || c.url.isEmpty()) {
        ++m_out.bad;
        return;
    }
    c.kind = QByteArray(kKindRadio.latin1());
    QList<QByteArray> names;
    addCommaNames(names, textField(o, "language"_L1));
    if (names.isEmpty())
        addCommaNames(names, textField(o, "tags"_L1));
    if (names.isEmpty())
        addNames(names, countryName(textField(o, "countrycode"_L1)));
    c.lang = joinCategories(names);
    seedFigures(c, numberField(o, "votes"_L1), numberField(o, "clickcount"_L1));
    const QJsonValue check = o.value("lastcheckok"_L1);
    e.down = (check.isDouble() && check.toDouble() == 0) || (check.isBool() && !check.toBool());
    m_out.entries.append(std::move(e));
}

bool isAddress(const QString &source)
{
    return source.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           source.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

QString sourceKey(const QString &source)
{
    return isAddress(source) ? source : QFileInfo(source).absoluteFilePath();
}

namespace {

// Takes a source piece by piece; a station list is parsed as it comes, anything else whole.
class SourceParser
{
public:
    explicit SourceParser(QString name) : m_name(std::move(name)) {}

    void feed(QByteArrayView chunk)
    {
        if (m_kind == Kind::Unknown) {
            m_head.append(chunk);
            QByteArrayView rest(m_head);
            if (rest.startsWith("\xef\xbb\xbf"))
                rest = rest.sliced(3);
            const QByteArrayView trimmed = rest.trimmed();
            if (trimmed.isEmpty())
                return;
            m_kind = trimmed.startsWith('[') ? Kind::Stations : Kind::Lines;
            chunk = m_head;
        }
        if (m_kind == Kind::Stations)
            m_stations.feed(chunk);
        else if (chunk.data() != m_head.constData())
            m_head.append(chunk);
    }

    Result<ParsedSource> finish()
    {
        if (m_kind == Kind::Stations) {
            if (!m_stations.finish())
                return Result<ParsedSource>::failure(
                    u"%1: not a whole station list (a JSON array of objects)"_s.arg(m_name));
            return m_stations.take();
        }
        return looksLikePlaylist(m_name, m_head) ? parsePlaylist(m_head)
                                                 : parseCatalogueFile(m_head);
    }

private:
    enum class Kind
    {
        Unknown,
        Stations,
        Lines
    };
    QString m_name;
    Kind m_kind = Kind::Unknown;
    QByteArray m_head; // everything, unless a station list
    StationListReader m_stations;
};

Result<void> fetchInto(const QString &address, const FetchLimits &limits, SourceParser &parser)
{
    // A thread of its own (the sync in serving mode) has no manager yet.
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(address)};
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      u"catalogue-server/1 (channel directory import)"_s);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits.maxRedirects);
    request.setTransferTimeout(limits.stallMs);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QEventLoop loop;
    QString failure;
    qint64 received = 0;
    QTimer total;
    total.setSingleShot(true);
    QObject::connect(&total, &QTimer::timeout, &loop, [&] {
        failure = u"took longer than %1 s"_s.arg(limits.totalMs / 1000.0);
        reply->abort();
    });
    // Aborting inside the reply's own signal makes it report its end twice.
    auto stop = [&] {
        QMetaObject::invokeMethod(reply.get(), &QNetworkReply::abort, Qt::QueuedConnection);
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (!failure.isEmpty())
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 0 && (status < 200 || status > 299)) {
            failure = u"answered %1"_s.arg(status);
            stop();
            return;
        }
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > limits.maxBytes) {
            failure = u"is larger than %1 bytes"_s.arg(limits.maxBytes);
            stop();
            return;
        }
        parser.feed(chunk);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer watch;
    if (limits.cancel) {
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (limits.cancel->load() && failure.isEmpty()) {
                failure = u"stopped"_s;
                reply->abort();
            }
        });
        watch.start(100);
    }
    total.start(limits.totalMs);
    loop.exec();
    if (failure.isEmpty() && reply->error() == QNetworkReply::NoError) {
        const QByteArray rest = reply->readAll();
        received += rest.size();
        if (received > limits.maxBytes)
            failure = u"is larger than %1 bytes"_s.arg(limits.maxBytes);
        else
            parser.feed(rest);
    }
    if (failure.isEmpty() && reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        failure = status != 0 ? u"answered %1"_s.arg(status) : reply->errorString();
        if (reply->error() == QNetworkReply::OperationCanceledError)
            failure = u"stalled for %1 s"_s.arg(limits.stallMs / 1000.0);
    }
    if (!failure.isEmpty())
        return Result<void>::failure(u"%1: %2"_s.arg(address, failure));
    return {};
}

} // namespace

Result<ParsedSource> readSource(const QString &source, const FetchLimits &limits)
{
    SourceParser parser(isAddress(source) ? QUrl(source).path() : source);
    if (isAddress(source)) {
        if (QCoreApplication::instance() == nullptr)
            return Result<ParsedSource>::failure(u"%1: no application to fetch with"_s.arg(source));
        if (auto r = fetchInto(source, limits, parser); !r)
            return r.error();
        return parser.finish();
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return Result<ParsedSource>::failure(
            u"cannot read %1: %2"_s.arg(source, file.errorString()));
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0)
            return Result<ParsedSource>::failure(
                u"cannot read %1: %2"_s.arg(source, file.errorString()));
        if (n == 0)
            break;
        parser.feed(QByteArrayView(chunk.constData(), n));
    }
    return parser.finish();
}

Result<ImportCounts> syncParsed(CatalogueStore &store, const QString &key,
                                const ParsedSource &parsed, bool dropVanished)
{
    ImportCounts counts;
    counts.skipped = parsed.bad;
    counts.options = parsed.options;
    auto owned = store.sourceChannels(key);
    if (!owned)
        return owned.error();
    if (dropVanished && parsed.entries.isEmpty() && !owned.value().isEmpty())
        return Result<ImportCounts>::failure(u"%1 lists no channel: nothing changed"_s.arg(key));
    QHash<QByteArray, qsizetype> byUrl;
    for (qsizetype i = 0; i < owned.value().size(); ++i)
        byUrl.insert(owned.value()[i].url, i);
    QList<bool> listed(owned.value().size(), false);
    if (auto r = store.beginBatch(); !r)
        return r.error();
    auto fail = [&store](const Error &e) {
        store.rollbackBatch();
        return Result<ImportCounts>(e);
    };
    QList<const SourceEntry *> arriving;
    for (const SourceEntry &e : parsed.entries) {
        const NewChannel &c = e.channel;
        if (const auto it = byUrl.constFind(c.url); it != byUrl.cend()) {
            if (listed[*it]) {
                ++counts.duplicate;
                continue;
            }
            listed[*it] = true;
            const SourceChannel &o = owned.value()[*it];
            if (o.vanished != 0) {
                // Revived only if its vanishing killed it and no one has revived it since.
                const bool revive = o.vanished == 1 && o.dead;
                if (auto r = store.relist(o.id, revive); !r)
                    return fail(r.error());
                counts.returned += revive ? 1 : 0;
            }
            if (o.name != c.name || o.kind != c.kind || o.lang != c.lang) {
                if (channelProblem(c)) {
                    ++counts.skipped;
                    continue;
                }
                if (auto r = store.updateSourceFields(o.id, c); !r)
                    return fail(r.error());
                ++counts.updated;
            }
            continue;
        }
        arriving.append(&e);
    }
    // Only the source's own channels change above, and none of them has an address of these.
    auto added = store.addSourceChannels(arriving, key);
    if (!added)
        return fail(added.error());
    for (const AddResult &a : added.value()) {
        switch (a.outcome) {
        case AddOutcome::Added:
            ++counts.added;
            break;
        case AddOutcome::Duplicate:
            ++counts.duplicate;
            break;
        case AddOutcome::Invalid:
            ++counts.skipped;
            break;
        }
    }
    if (dropVanished) {
        for (qsizetype i = 0; i < listed.size(); ++i) {
            const SourceChannel &o = owned.value()[i];
            if (listed[i] || o.vanished != 0)
                continue;
            if (auto r = store.vanish(o.id, o.dead); !r)
                return fail(r.error());
            ++counts.vanished;
        }
    }
    if (auto r = store.commitBatch(); !r)
        return r.error();
    return counts;
}

Result<ImportCounts> importSource(CatalogueStore &store, const QString &source,
                                  const FetchLimits &limits)
{
    auto parsed = readSource(source, limits);
    if (!parsed)
        return parsed.error();
    return syncParsed(store, sourceKey(source), parsed.value(), false);
}

Result<ImportCounts> syncSource(CatalogueStore &store, const QString &source,
                                const FetchLimits &limits)
{
    auto parsed = readSource(source, limits);
    if (!parsed)
        return parsed.error();
    return syncParsed(store, sourceKey(source), parsed.value(), true);
}

} // namespace mavrel::server
