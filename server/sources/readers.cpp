#include "server/sources/readers.h"

#include "catalogue/channelrecord.h"
#include "catalogue/kinds.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

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

void EntryReader::emitEntry(SourceEntry &&entry)
{
    if (m_sink)
        m_sink(std::move(entry));
    else
        m_out.entries.append(std::move(entry));
}

void LineReader::feed(QByteArrayView chunk)
{
    // CR LF ends a line and leaves an empty one, which no reader takes for anything.
    qsizetype start = 0;
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const char c = chunk[i];
        if (c != '\r' && c != '\n')
            continue;
        const QByteArrayView piece = chunk.sliced(start, i - start);
        start = i + 1;
        if (m_line.isEmpty() && !m_tooLong && piece.size() <= kMaxSourceLineBytes) {
            line(piece); // the usual case: the whole line is in this chunk
            continue;
        }
        keep(piece);
        endLine();
    }
    keep(chunk.sliced(start));
}

// The rest of a line that goes on in the next chunk; of a line too long, only its start.
void LineReader::keep(QByteArrayView piece)
{
    if (m_tooLong || piece.isEmpty())
        return;
    if (m_line.size() + piece.size() <= kMaxSourceLineBytes) {
        m_line.append(piece);
        return;
    }
    m_tooLong = true;
    m_line.append(piece.first(std::min<qsizetype>(piece.size(), 16)));
    m_line.truncate(16);
    m_line.squeeze();
}

void LineReader::endLine()
{
    if (m_tooLong)
        longLine(m_line);
    else
        line(m_line);
    m_line.clear();
    m_tooLong = false;
}

void LineReader::finish()
{
    if (!m_line.isEmpty() || m_tooLong)
        endLine();
    m_line = QByteArray();
}

void CatalogueFileReader::line(QByteArrayView line)
{
    if (!line.contains('|'))
        return;
    auto record = ChannelRecord::parse(line);
    if (!record) {
        ++m_out.bad;
        return;
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
    emitEntry({std::move(c), false});
}

void CatalogueFileReader::longLine(QByteArrayView head)
{
    // No catalogue line is that long; one that starts like one is counted.
    if (head.contains('|'))
        ++m_out.bad;
}

void PlaylistReader::line(QByteArrayView raw)
{
    QByteArrayView line = raw.trimmed();
    if (line.startsWith("\xef\xbb\xbf"))
        line = line.sliced(3);
    if (line.isEmpty())
        return;
    if (line.startsWith("#EXTINF")) {
        if (m_pending == Pending::Entry)
            ++m_out.bad; // an entry without an address
        m_pending = Pending::Entry;
        m_entry = NewChannel();
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
        m_entry.name = comma < 0 ? QByteArray() : line.sliced(comma + 1).trimmed().toByteArray();
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
        const QByteArray guideId = attribute(attrs, "tvg-id");
        if (guideId.size() <= kMaxSpareBytes && isCarriableField(guideId))
            m_entry.spare1 = guideId;
        m_entry.spare2 = logoAddress(attribute(attrs, "tvg-logo"));
        if (names.isEmpty())
            addNames(names, idCountry(guideId));
        const QByteArray group = attribute(attrs, "group-title");
        addNames(names, group);
        m_entry.lang = joinCategories(names);
        m_radioAttrs = attribute(attrs, "radio").compare("true", Qt::CaseInsensitive) == 0 ||
                       group.contains("Radio") || group.contains("radio");
        return;
    }
    if (line.startsWith("#EXTM3U")) {
        for (const char *key : {"x-tvg-url", "url-tvg"}) {
            for (const QByteArray &part : attribute(line, key).split(',')) {
                const QString guide = QString::fromUtf8(part.trimmed());
                if (!guide.isEmpty() && !m_out.guides.contains(guide) &&
                    m_out.guides.size() < kMaxPlaylistGuides)
                    m_out.guides.append(guide);
            }
        }
        return;
    }
    if (line.startsWith("#EXTVLCOPT")) {
        ++m_out.options;
        return;
    }
    if (line.startsWith('#'))
        return;
    if (m_pending != Pending::Entry) {
        // An address without a title, or the address of an entry already counted as lost.
        if (m_pending == Pending::None)
            ++m_out.bad;
        m_pending = Pending::None;
        return;
    }
    m_entry.url = line.toByteArray();
    const bool radio = m_radioAttrs || audioOnlyAddress(line);
    m_entry.kind = QByteArray((radio ? kKindRadio : kKindTV).latin1());
    emitEntry({std::move(m_entry), false});
    m_entry = NewChannel();
    m_pending = Pending::None;
}

void PlaylistReader::longLine(QByteArrayView head)
{
    QByteArrayView start = head.trimmed();
    if (start.startsWith("\xef\xbb\xbf"))
        start = start.sliced(3);
    if (start.startsWith("#EXTINF")) {
        // An entry lost at once, counted now; its address goes with it.
        if (m_pending == Pending::Entry)
            ++m_out.bad;
        ++m_out.bad;
        m_pending = Pending::Lost;
        return;
    }
    if (start.startsWith('#'))
        return; // a comment or an option, read or not
    // An address: the entry it ends is lost (counted already if its #EXTINF was), or it stood
    // alone.
    if (m_pending != Pending::Lost)
        ++m_out.bad;
    m_pending = Pending::None;
}

void PlaylistReader::finish()
{
    LineReader::finish();
    if (m_pending == Pending::Entry)
        ++m_out.bad;
    m_pending = Pending::None;
}

namespace {

template<typename Reader> ParsedSource parseWhole(QByteArrayView data)
{
    Reader reader;
    reader.feed(data);
    reader.finish();
    return reader.take();
}

} // namespace

ParsedSource parseCatalogueFile(QByteArrayView data)
{
    return parseWhole<CatalogueFileReader>(data);
}

ParsedSource parsePlaylist(QByteArrayView data)
{
    return parseWhole<PlaylistReader>(data);
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

QByteArray logoAddress(QByteArrayView address)
{
    const QByteArrayView a = address.trimmed();
    const QByteArray scheme = a.first(std::min<qsizetype>(a.size(), 8)).toByteArray().toLower();
    if (!scheme.startsWith("http://") && !scheme.startsWith("https://"))
        return {};
    if (a.size() > kMaxLogoBytes || !isCarriableField(a))
        return {};
    return a.toByteArray();
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
        if (m_capturing && !m_skippingString)
            m_object.append(c);
        if (m_inString) {
            if (m_escape)
                m_escape = false;
            else if (c == '\\')
                m_escape = true;
            else if (c == '"')
                m_inString = m_skippingString = false;
            if (m_capturing && !m_skippingString && m_inString &&
                m_object.size() - m_stringStart > kMaxJsonStringBytes) {
                // Read as an empty string, a key as well as a value; the rest is passed over.
                m_object.truncate(m_stringStart);
                m_object.append("\"\"");
                m_skippingString = true;
            }
            continue;
        }
        if (m_capturing && m_object.size() > kMaxStationBytes) {
            m_capturing = false;
            m_oversized = true;
            m_object = QByteArray();
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
            m_stringStart = m_object.size() - 1;
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
            } else if (m_depth == 1 && m_oversized) {
                m_oversized = false;
                ++m_out.bad;
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

Result<void> StationListReader::finish()
{
    if (!m_started || !m_ended || m_broken)
        return Result<void>::failure(u"not a whole station list (a JSON array of objects)"_s);
    return {};
}

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
    c.spare2 = logoAddress(textField(o, "favicon"_L1));
    seedFigures(c, numberField(o, "votes"_L1), numberField(o, "clickcount"_L1));
    const QJsonValue check = o.value("lastcheckok"_L1);
    e.down = (check.isDouble() && check.toDouble() == 0) || (check.isBool() && !check.toBool());
    emitEntry(std::move(e));
}

SourceParser::SourceParser(QString name, EntrySink sink)
    : m_name(std::move(name)), m_sink(std::move(sink))
{}

SourceParser::~SourceParser() = default;

void SourceParser::feed(QByteArrayView chunk)
{
    if (m_stations) {
        m_stations->feed(chunk);
        return;
    }
    if (m_lines) {
        m_lines->feed(chunk);
        return;
    }
    m_head.append(chunk);
    decide(false);
}

// The kind is told by the first byte that is no blank (after a byte order mark), and a playlist
// by its first 16 bytes. Blanks before the first text carry nothing: past the first 16 bytes
// they are not kept.
void SourceParser::decide(bool atEnd)
{
    QByteArrayView rest(m_head);
    if (rest.startsWith("\xef\xbb\xbf"))
        rest = rest.sliced(3);
    const QByteArrayView text = rest.trimmed();
    if (text.isEmpty() && !atEnd) {
        if (m_head.size() > kMaxSourceLineBytes)
            m_head.truncate(16);
        return;
    }
    if (!text.isEmpty() && text[0] == '[') {
        m_stations = std::make_unique<StationListReader>(m_sink);
        m_stations->feed(m_head);
    } else {
        if (m_head.size() < 16 && !atEnd)
            return;
        if (looksLikePlaylist(m_name, m_head))
            m_lines = std::make_unique<PlaylistReader>(m_sink);
        else
            m_lines = std::make_unique<CatalogueFileReader>(m_sink);
        m_lines->feed(m_head);
    }
    m_head = QByteArray();
}

Result<ParsedSource> SourceParser::finish()
{
    if (!m_stations && !m_lines)
        decide(true);
    if (m_stations) {
        if (const Result<void> whole = m_stations->finish(); !whole)
            return Result<ParsedSource>::failure(u"%1: %2"_s.arg(m_name, whole.error().message));
        return m_stations->take();
    }
    m_lines->finish();
    return m_lines->take();
}

} // namespace mavrel::server
