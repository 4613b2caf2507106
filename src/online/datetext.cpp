#include "online/datetext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

QString formatDateText(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    QString text = u"%1/%2/%3"_s.arg(d.month()).arg(d.day()).arg(d.year(), 4, 10, QChar(u'0'));
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return text;
    int hour12 = t.hour() % 12;
    if (hour12 == 0)
        hour12 = 12;
    text += u" %1:%2:%3 %4"_s.arg(hour12)
                .arg(t.minute(), 2, 10, QChar(u'0'))
                .arg(t.second(), 2, 10, QChar(u'0'))
                .arg(t.hour() < 12 ? u"AM"_s : u"PM"_s);
    return text;
}

namespace {

// Reads 1..maxDigits decimal digits at pos; advances pos.
std::optional<int> readNumber(QStringView s, qsizetype &pos, int minDigits, int maxDigits)
{
    int value = 0;
    int digits = 0;
    while (pos < s.size() && digits < maxDigits && s[pos] >= u'0' && s[pos] <= u'9') {
        value = value * 10 + (s[pos].unicode() - u'0');
        ++pos;
        ++digits;
    }
    if (digits < minDigits || (pos < s.size() && s[pos] >= u'0' && s[pos] <= u'9'))
        return std::nullopt;
    return value;
}

bool expect(QStringView s, qsizetype &pos, QChar c)
{
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

void skipBlanks(QStringView s, qsizetype &pos)
{
    while (pos < s.size() && (s[pos] == u' ' || s[pos] == u'\t'))
        ++pos;
}

std::optional<QDateTime> readDateText(QStringView text)
{
    const QStringView s = text.trimmed();
    qsizetype pos = 0;
    const auto month = readNumber(s, pos, 1, 2);
    if (!month || !expect(s, pos, u'/'))
        return std::nullopt;
    const auto day = readNumber(s, pos, 1, 2);
    if (!day || !expect(s, pos, u'/'))
        return std::nullopt;
    const auto year = readNumber(s, pos, 4, 4);
    if (!year)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    if (pos == s.size())
        return QDateTime(date, QTime(0, 0), Qt::UTC);

    skipBlanks(s, pos);
    const auto hour = readNumber(s, pos, 1, 2);
    if (!hour || !expect(s, pos, u':'))
        return std::nullopt;
    const auto minute = readNumber(s, pos, 2, 2);
    if (!minute)
        return std::nullopt;
    int second = 0;
    if (expect(s, pos, u':')) {
        const auto sec = readNumber(s, pos, 2, 2);
        if (!sec)
            return std::nullopt;
        second = *sec;
    }
    skipBlanks(s, pos);
    const QStringView rest = s.sliced(pos);
    bool pm;
    if (rest.compare(u"AM", Qt::CaseInsensitive) == 0)
        pm = false;
    else if (rest.compare(u"PM", Qt::CaseInsensitive) == 0)
        pm = true;
    else
        return std::nullopt;
    if (*hour < 1 || *hour > 12 || *minute > 59 || second > 59)
        return std::nullopt;
    const int hour24 = (*hour % 12) + (pm ? 12 : 0);
    return QDateTime(date, QTime(hour24, *minute, second), Qt::UTC);
}

} // namespace

Result<QDateTime> parseDateText(QStringView text)
{
    if (std::optional<QDateTime> when = readDateText(text))
        return *when;
    return Result<QDateTime>::failure(u"'%1' is not a date"_s.arg(text.left(40)));
}

Result<QDateTime> parseDateText(QByteArrayView text)
{
    return parseDateText(QStringView(QString::fromLatin1(text)));
}

QDateTime initialUpdateDate()
{
    return QDateTime(QDate(2006, 3, 16), QTime(0, 0), Qt::UTC);
}

} // namespace mavrel
