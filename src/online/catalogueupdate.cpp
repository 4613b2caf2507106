#include "online/catalogueupdate.h"

#include "catalogue/cataloguelinereader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QVarLengthArray>

#include <array>
#include <functional>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr QByteArrayView kSeparator("<BR>");
constexpr qsizetype kFlushBytes = qsizetype(1) << 20;

QByteArrayView trimBlanks(QByteArrayView s)
{
    while (!s.isEmpty() && s.front() == ' ')
        s = s.sliced(1);
    while (!s.isEmpty() && s.back() == ' ')
        s.chop(1);
    return s;
}

// A whole number as the legacy conversion reads it: blanks around, an optional sign, digits.
std::optional<qint64> readWholeNumber(QByteArrayView text)
{
    QByteArrayView s = trimBlanks(text);
    bool negative = false;
    if (!s.isEmpty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s = s.sliced(1);
    }
    if (s.isEmpty() || s.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// Buffered writes into the replacement file; remembers the first failure.
class CatalogueWriter
{
public:
    explicit CatalogueWriter(QIODevice *out) : m_out(out) { m_buffer.reserve(kFlushBytes); }

    void append(QByteArrayView bytes)
    {
        m_buffer.append(bytes);
        if (m_buffer.size() >= kFlushBytes)
            flush();
    }
    bool flush()
    {
        if (m_ok && !m_buffer.isEmpty())
            m_ok = m_out->write(m_buffer) == m_buffer.size();
        m_buffer.clear();
        return m_ok;
    }

private:
    QIODevice *m_out;
    QByteArray m_buffer;
    bool m_ok = true;
};

// Copies the catalogue lines whose trimmed id is not listed (the empty id always is), then the
// empty line, then what `appendAdded` writes. False when a read or a write failed.
using IdListed = std::function<bool(QByteArrayView trimmedId)>;

// What a copy saw: the number of lines it kept, and each line it dropped for being listed (its
// trimmed id and what follows the id's "|").
struct CopyTrace
{
    qsizetype kept = 0;
    std::function<void(QByteArrayView id, QByteArrayView rest)> dropped;
};

Result<void> copyKeptLines(QIODevice *in, QIODevice *out, const IdListed &listed,
                           const std::function<void(CatalogueWriter &)> &appendAdded,
                           CopyTrace *trace = nullptr)
{
    CatalogueWriter writer(out);
    CatalogueLineReader reader(in);
    QByteArrayView line;
    for (;;) {
        const Result<bool> more = reader.readLine(&line);
        if (!more)
            return more.error();
        if (!more.value())
            break;
        const qsizetype bar = line.indexOf('|');
        if (bar < 0)
            continue;
        const QByteArrayView id = trimBlanks(line.first(bar));
        if (id.isEmpty())
            continue;
        if (listed(id)) {
            if (trace)
                trace->dropped(id, line.sliced(bar + 1));
            continue;
        }
        if (trace)
            ++trace->kept;
        writer.append(line);
        writer.append("\r\n");
    }
    writer.append("\r\n");
    if (appendAdded)
        appendAdded(writer);
    if (!writer.flush())
        return Result<void>::failure(out->errorString());
    return {};
}

// The same into a replacement of the file, which takes its place in one step.
Result<void> rewriteCatalogue(const QString &path, const IdListed &listed,
                              const std::function<void(CatalogueWriter &)> &appendAdded,
                              CopyTrace *trace = nullptr)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return Result<void>::failure(u"the channel list %1 cannot be read"_s.arg(path));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return Result<void>::failure(u"the channel list %1 cannot be written"_s.arg(path));
    if (!copyKeptLines(&in, &out, listed, appendAdded, trace).ok() || !out.commit()) {
        out.cancelWriting();
        return Result<void>::failure(u"the channel list %1 could not be rewritten"_s.arg(path));
    }
    return {};
}

// The number a catalogue id names when it is written exactly as a decimal is (no sign but "-",
// no leading zero): only such a text can equal the decimal text of an update line's id.
std::optional<qint64> decimalId(QByteArrayView text)
{
    const bool negative = text.startsWith('-');
    const QByteArrayView digits = negative ? text.sliced(1) : text;
    if (digits.isEmpty() || digits.size() > 18 || (digits.size() > 1 && digits.front() == '0') ||
        (negative && digits == QByteArrayView("0")))
        return std::nullopt;
    qint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// Whether a catalogue id is among the ids of the update lines.
IdListed listedIn(const QList<UpdateLine> &lines)
{
    auto ids = std::make_shared<QSet<qint64>>();
    ids->reserve(lines.size());
    for (const UpdateLine &l : lines)
        ids->insert(l.id);
    return [ids](QByteArrayView id) {
        const std::optional<qint64> n = decimalId(id);
        return n && ids->contains(*n);
    };
}

// Which channels of a reply the merge leaves with other lines than they had: the lines a
// catalogue drops for a channel are compared, in their order, with the ones its "ADD" lines
// write. Views into the reply and the catalogue, so that a full replay costs no copies.
class ChangeCounter
{
public:
    explicit ChangeCounter(const QList<UpdateLine> &lines)
    {
        m_channels.reserve(lines.size());
        for (const UpdateLine &l : lines) {
            Channel &c = m_channels[l.id];
            if (l.add)
                c.added.append(l.fields);
        }
    }
    bool listed(qint64 id) const { return m_channels.contains(id); }
    void dropped(qint64 id, QByteArrayView rest)
    {
        Channel &c = m_channels[id];
        // An added line is its fields and a closing "|".
        const bool same = c.seen < c.added.size() && rest.size() == c.added[c.seen].size() + 1 &&
                          rest.startsWith(c.added[c.seen]) && rest.endsWith('|');
        c.differs = c.differs || !same;
        ++c.seen;
    }
    int changed() const
    {
        int n = 0;
        for (const Channel &c : m_channels)
            n += c.differs || c.seen != c.added.size() ? 1 : 0;
        return n;
    }

private:
    struct Channel
    {
        QVarLengthArray<QByteArrayView, 1> added;
        qsizetype seen = 0;
        bool differs = false;
    };
    QHash<qint64, Channel> m_channels;
};

int appendAddLines(CatalogueWriter &w, const QList<UpdateLine> &lines)
{
    int added = 0;
    for (const UpdateLine &l : lines) {
        if (!l.add)
            continue;
        w.append(QByteArray::number(l.id));
        w.append("|");
        w.append(l.fields);
        w.append("|\r\n");
        ++added;
    }
    return added;
}

} // namespace

QString updateDateFile(const QString &dataDirectory)
{
    return dataDirectory + u"/date.dat"_s;
}

QString getINI(const QString &dataDirectory)
{
    QFile file(updateDateFile(dataDirectory));
    if (!file.open(QIODevice::ReadOnly))
        return u"3/16/2006 12:00:00 AM"_s;
    // The date is short; a damaged file must not make us read a huge first line.
    QByteArray head = file.read(4096);
    const qsizetype end = head.indexOf('\r') >= 0 ? head.indexOf('\r') : head.indexOf('\n');
    if (end >= 0)
        head.truncate(end);
    return QString::fromLatin1(head);
}

Result<void> makeINI(const QString &dataDirectory, const QString &strDate)
{
    QSaveFile file(updateDateFile(dataDirectory));
    const auto failed = [&file] {
        return Result<void>::failure(u"%1: %2"_s.arg(file.fileName(), file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    const QByteArray bytes = strDate.toLatin1() + "\r\n";
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return failed();
    }
    if (!file.commit())
        return failed();
    return {};
}

QString cleanDateReply(QByteArrayView reply)
{
    QString text = QString::fromLatin1(reply).trimmed();
    text.remove(u'\t');
    text.remove(u'\r');
    text.remove(u'\n');
    qsizetype at = text.indexOf(u"PM"_s, 0, Qt::CaseInsensitive);
    if (at < 0)
        at = text.indexOf(u"AM"_s, 0, Qt::CaseInsensitive);
    if (at >= 0)
        text.truncate(at + 2);
    return text;
}

Result<QList<UpdateLine>> parseUpdateReply(QByteArrayView reply)
{
    using R = Result<QList<UpdateLine>>;
    QList<UpdateLine> lines;
    qsizetype from = 0;
    while (from <= reply.size()) {
        qsizetype to = reply.indexOf(kSeparator, from);
        if (to < 0)
            to = reply.size();
        const QByteArrayView element = reply.sliced(from, to - from);
        from = to + kSeparator.size();
        if (!element.contains('|'))
            continue;
        std::array<QByteArrayView, 10> fields;
        qsizetype count = 0;
        qsizetype start = 0;
        while (count < 10) {
            const qsizetype bar = element.indexOf('|', start);
            const qsizetype stop = bar < 0 ? element.size() : bar;
            fields[count++] = element.sliced(start, stop - start);
            if (bar < 0)
                break;
            start = bar + 1;
        }
        const int lineNo = int(lines.size()) + 1;
        if (count < 10)
            return R::failure(u"update line %1 has fewer than ten fields"_s.arg(lineNo));
        for (const QByteArrayView f : fields) {
            if (f.contains('\r') || f.contains('\n'))
                return R::failure(u"update line %1 holds a line break"_s.arg(lineNo));
        }
        const std::optional<qint64> id = readWholeNumber(fields[1]);
        if (!id)
            return R::failure(u"update line %1 has no channel number"_s.arg(lineNo));
        UpdateLine line;
        line.add = fields[0] == QByteArrayView("ADD");
        line.id = *id;
        // Fields 2 to 9 lie side by side in the element, with their separators.
        const qsizetype begin = fields[2].data() - element.data();
        const qsizetype end = fields[9].data() + fields[9].size() - element.data();
        line.fields = element.sliced(begin, end - begin);
        lines.append(line);
    }
    return lines;
}

QString replyCoveredDate(QByteArrayView reply)
{
    const qsizetype lastBreak = reply.lastIndexOf(kSeparator);
    const QByteArrayView tail = lastBreak < 0 ? reply : reply.sliced(lastBreak + kSeparator.size());
    if (!tail.startsWith(kCoveredMark) || tail.contains('|'))
        return {};
    return QString::fromLatin1(tail.sliced(kCoveredMark.size())).trimmed();
}

Result<MergeSummary> mergeCatalogueUpdate(const QString &catalogueFile, QByteArrayView strDefs)
{
    auto parsed = parseUpdateReply(strDefs);
    if (!parsed)
        return parsed.error();
    MergeSummary summary;
    ChangeCounter changes(parsed.value());
    CopyTrace trace;
    // Only ids that decimalId reads are listed.
    trace.dropped = [&](QByteArrayView id, QByteArrayView rest) {
        changes.dropped(*decimalId(id), rest);
    };
    // The counter's table of the reply's channels also says which lines the merge drops.
    const IdListed listed = [&](QByteArrayView id) {
        const std::optional<qint64> n = decimalId(id);
        return n && changes.listed(*n);
    };
    auto result = rewriteCatalogue(
        catalogueFile, listed,
        [&](CatalogueWriter &w) { summary.appended = appendAddLines(w, parsed.value()); }, &trace);
    if (!result)
        return result.error();
    summary.changed = changes.changed();
    summary.total = int(trace.kept) + summary.appended;
    return summary;
}

Result<MergeSummary> writeFirstCatalogue(const QString &catalogueFile, QByteArrayView strDefs)
{
    using R = Result<MergeSummary>;
    auto parsed = parseUpdateReply(strDefs);
    if (!parsed)
        return parsed.error();
    if (!QDir().mkpath(QFileInfo(catalogueFile).absolutePath()))
        return R::failure(u"the folder of %1 cannot be created"_s.arg(catalogueFile));
    QSaveFile out(catalogueFile);
    if (!out.open(QIODevice::WriteOnly))
        return R::failure(u"the channel list %1 cannot be written"_s.arg(catalogueFile));
    QBuffer none;
    none.open(QIODevice::ReadOnly);
    MergeSummary summary;
    if (!copyKeptLines(
             &none, &out, [](QByteArrayView) { return false; },
             [&](CatalogueWriter &w) { summary.appended = appendAddLines(w, parsed.value()); })
             .ok() ||
        !out.commit()) {
        out.cancelWriting();
        return R::failure(u"the channel list %1 could not be written"_s.arg(catalogueFile));
    }
    summary.changed = summary.appended;
    summary.total = summary.appended;
    return summary;
}

Result<int> extractNewDefs(const QString &catalogueFile, QByteArrayView strDefs)
{
    auto merged = mergeCatalogueUpdate(catalogueFile, strDefs);
    if (!merged)
        return merged.error();
    return merged.value().appended;
}

Result<int> mergeUpdateReply(QIODevice *catalogue, QIODevice *out, QByteArrayView strDefs)
{
    auto parsed = parseUpdateReply(strDefs);
    if (!parsed)
        return parsed.error();
    int added = 0;
    if (!copyKeptLines(catalogue, out, listedIn(parsed.value()), [&](CatalogueWriter &w) {
             added = appendAddLines(w, parsed.value());
         }).ok())
        return Result<int>::failure(u"the channel list could not be copied"_s);
    return added;
}

Result<void> removeChannels(const QString &catalogueFile, QByteArrayView ids)
{
    auto listed = std::make_shared<QSet<QByteArray>>();
    for (const QByteArray &id : ids.toByteArray().split(','))
        listed->insert(trimBlanks(id).toByteArray());
    return rewriteCatalogue(
        catalogueFile, [listed](QByteArrayView id) { return listed->contains(id.toByteArray()); },
        {});
}

} // namespace mavrel
