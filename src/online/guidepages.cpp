#include "online/guidepages.h"

#include "catalogue/channelrecord.h"
#include "online/querytext.h"

#include <QStringBuilder>

#include <optional>

using namespace Qt::StringLiterals;

namespace mavrel {

QString decodeGuideField(QByteArrayView field)
{
    if (!field.contains('%'))
        return QString::fromUtf8(field);
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size()) {
            const QByteArrayView code = field.sliced(i + 1, 2);
            const char byte = code == "25"   ? '%'
                              : code == "7C" ? '|'
                              : code == "0D" ? '\r'
                              : code == "0A" ? '\n'
                                             : '\0';
            if (byte != '\0') {
                bytes.append(byte);
                i += 2;
                continue;
            }
        }
        bytes.append(field[i]);
    }
    return QString::fromUtf8(bytes);
}

namespace {

std::optional<int> digits(QByteArrayView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

Result<QDateTime> parseGuideTime(QByteArrayView field)
{
    // Exactly the one form the server writes.
    const auto bad = [&] {
        return Result<QDateTime>::failure(u"Not a guide time: "_s + QString::fromUtf8(field));
    };
    if (field.size() != 20 || field[4] != '-' || field[7] != '-' || field[10] != 'T' ||
        field[13] != ':' || field[16] != ':' || field[19] != 'Z')
        return bad();
    const auto year = digits(field, 0, 4), month = digits(field, 5, 2), day = digits(field, 8, 2);
    const auto hour = digits(field, 11, 2), minute = digits(field, 14, 2),
               second = digits(field, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return bad();
    const QDate date(*year, *month, *day);
    const QTime time(*hour, *minute, *second);
    if (!date.isValid() || !time.isValid())
        return bad();
    return QDateTime(date, time, QTimeZone::utc());
}

namespace {

// Start and stop of a programme; both empty: none.
Result<GuideProgramme> readTimes(QByteArrayView start, QByteArrayView stop, bool mayBeAbsent)
{
    if (mayBeAbsent && start.isEmpty() && stop.isEmpty())
        return GuideProgramme{};
    const Result<QDateTime> from = parseGuideTime(start);
    if (!from)
        return from.error();
    const Result<QDateTime> to = parseGuideTime(stop);
    if (!to)
        return to.error();
    // The server writes an end no guide gave as the start itself.
    if (to.value() < from.value())
        return Result<GuideProgramme>::failure(u"A programme that ends before it starts"_s);
    GuideProgramme programme;
    programme.start = from.value();
    programme.stop = to.value();
    return programme;
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

template<typename T, typename Parse> QList<T> parsePage(QByteArrayView page, Parse parse)
{
    QList<T> result;
    qsizetype from = 0;
    while (from < page.size()) {
        qsizetype end = page.indexOf('\n', from);
        if (end < 0)
            end = page.size();
        const QByteArrayView line = page.sliced(from, end - from);
        from = end + 1;
        if (withoutLineEnd(line).isEmpty())
            continue;
        if (Result<T> item = parse(line))
            result.append(std::move(item).value());
    }
    return result;
}

} // namespace

Result<NowAndNext> parseNowLine(QByteArrayView line)
{
    const QList<QByteArrayView> fields = splitFields(withoutLineEnd(line));
    if (fields.size() != 7 || fields[0].isEmpty())
        return Result<NowAndNext>::failure(u"A now line needs seven fields"_s);
    Result<GuideProgramme> now = readTimes(fields[1], fields[2], true);
    if (!now)
        return now.error();
    Result<GuideProgramme> next = readTimes(fields[4], fields[5], true);
    if (!next)
        return next.error();
    NowAndNext result{fields[0].toByteArray(), std::move(now).value(), std::move(next).value()};
    result.now.title = decodeGuideField(fields[3]);
    result.next.title = decodeGuideField(fields[6]);
    return result;
}

Result<GuideProgramme> parseDayLine(QByteArrayView line)
{
    const QList<QByteArrayView> fields = splitFields(withoutLineEnd(line));
    if (fields.size() != 6)
        return Result<GuideProgramme>::failure(u"A day line needs six fields"_s);
    Result<GuideProgramme> programme = readTimes(fields[0], fields[1], false);
    if (!programme)
        return programme;
    GuideProgramme &p = programme.value();
    p.title = decodeGuideField(fields[2]);
    p.subTitle = decodeGuideField(fields[3]);
    p.category = decodeGuideField(fields[4]);
    p.description = decodeGuideField(fields[5]);
    return programme;
}

QList<NowAndNext> parseNowPage(QByteArrayView page)
{
    return parsePage<NowAndNext>(page, parseNowLine);
}

QList<GuideProgramme> parseDayPage(QByteArrayView page)
{
    return parsePage<GuideProgramme>(page, parseDayLine);
}

QByteArray dayPagePath(const QByteArray &guideId, QDate date, int offsetMinutes)
{
    return "/guide/day.txt?" + buildQuery({{"id", guideId},
                                           {"date", date.toString(Qt::ISODate).toLatin1()},
                                           {"offset", QByteArray::number(offsetMinutes)}});
}

QString programmeLine(const GuideProgramme &programme, const QTimeZone &zone)
{
    const auto clock = [&](const QDateTime &t) { return t.toTimeZone(zone).toString(u"HH:mm"_s); };
    if (!programme.endKnown())
        return clock(programme.start) % u' ' % programme.title;
    return clock(programme.start) % u'\u2013' % clock(programme.stop) % u' ' % programme.title;
}

void GuideNowTable::setLines(const QList<NowAndNext> &lines)
{
    m_lines.clear();
    for (const NowAndNext &line : lines)
        m_lines.insert(line.guideId, line);
}

GuideNowTable::OnAt GuideNowTable::at(const QByteArray &guideId, const QDateTime &when) const
{
    const auto found = m_lines.constFind(guideId);
    if (found == m_lines.cend())
        return {};
    if (found->now.runsAt(when))
        return {found->now, found->next};
    if (found->next.runsAt(when))
        return {found->next, {}};
    return {};
}

QDateTime GuideNowTable::nextChange(const QDateTime &when) const
{
    QDateTime first;
    const auto consider = [&](const QDateTime &t) {
        if (t.isValid() && t > when && (!first.isValid() || t < first))
            first = t;
    };
    for (const NowAndNext &line : m_lines) {
        for (const GuideProgramme *p : {&line.now, &line.next}) {
            if (!p->isNull()) {
                consider(p->start);
                consider(p->stop);
            }
        }
    }
    return first;
}

} // namespace mavrel
