#include "server/importer.h"

#include "catalogue/channelrecord.h"
#include "catalogue/kinds.h"

#include <QFile>

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
        out.channels.append(std::move(c));
    }
    return out;
}

ParsedSource parsePlaylist(QByteArrayView data)
{
    ParsedSource out;
    bool pending = false;
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
            const QByteArray group = attribute(attrs, "group-title");
            addNames(names, group);
            entry.lang = names.isEmpty() ? QByteArrayLiteral("Other") : names.join('/');
            const bool radio =
                attribute(attrs, "radio").compare("true", Qt::CaseInsensitive) == 0 ||
                group.contains("Radio") || group.contains("radio");
            entry.kind = QByteArray((radio ? kKindRadio : kKindTV).latin1());
            continue;
        }
        if (line.startsWith('#'))
            continue;
        if (!pending) {
            ++out.bad; // an address without a title
            continue;
        }
        entry.url = line.toByteArray();
        out.channels.append(entry);
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

Result<ImportCounts> importSource(CatalogueStore &store, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<ImportCounts>::failure(u"cannot read %1: %2"_s.arg(path, file.errorString()));
    const QByteArray data = file.readAll();
    const ParsedSource parsed =
        looksLikePlaylist(path, data) ? parsePlaylist(data) : parseCatalogueFile(data);
    ImportCounts counts;
    counts.skipped = parsed.bad;
    if (auto r = store.beginBatch(); !r)
        return r.error();
    for (const NewChannel &c : parsed.channels) {
        auto added = store.addChannel(c);
        if (!added) {
            store.rollbackBatch();
            return added.error();
        }
        switch (added.value().outcome) {
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
    if (auto r = store.commitBatch(); !r)
        return r.error();
    return counts;
}

} // namespace mavrel::server
