#include "server/catalogue/rules.h"

#include "catalogue/scramble.h"

#include <cmath>

namespace mavrel::server {

QByteArray formatRatingFigure(double sum, qint64 count)
{
    if (count <= 0)
        return QByteArrayLiteral("0");
    const double mean = std::round(sum / double(count) * 100.0) / 100.0;
    QByteArray text = QByteArray::number(mean, 'f', 2);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}

std::optional<double> parseRatingFigure(QByteArrayView text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !(value >= 1.0 && value <= 5.0))
        return std::nullopt;
    return value;
}

bool isCarriableField(QByteArrayView field)
{
    for (char c : field) {
        if (c == '|' || c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    return !field.contains(QByteArrayView("<BR>"));
}

bool isCarriableAddress(QByteArrayView plainUrl)
{
    if (plainUrl.contains(char(0xff)))
        return false;
    const auto scrambled = encryptString(plainUrl);
    return scrambled && isCarriableField(scrambled.value());
}

} // namespace mavrel::server
