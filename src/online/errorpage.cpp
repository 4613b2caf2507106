#include "online/errorpage.h"

#include <QByteArray>

#include <algorithm>
#include <array>

namespace mavrel {

namespace {

constexpr std::array<QByteArrayView, 6> kErrorMarkers = {
    "Not Available", "404", "Has Moved", "Error", "Not Found", "No web site is configured",
};

// How much of an untyped reply decides whether it is text.
constexpr qsizetype kSniffBytes = 512;

bool isTextualType(QByteArrayView contentType)
{
    QByteArray type = contentType.toByteArray();
    const qsizetype parameters = type.indexOf(';');
    if (parameters >= 0)
        type.truncate(parameters);
    type = type.trimmed().toLower();
    if (type.isEmpty() || type.startsWith("text/"))
        return true;
    if (!type.startsWith("application/"))
        return false;
    return type == "application/xml" || type == "application/json" ||
           type == "application/javascript" || type == "application/xhtml+xml" ||
           type.endsWith("+xml") || type.endsWith("+json");
}

// Bytes no text holds (NUL and the other C0 controls but tab, LF, FF, CR and ESC); compressed
// audio or video shows one within a few dozen bytes.
bool isBinaryByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x08 || byte == 0x0B || (byte >= 0x0E && byte <= 0x1A) ||
           (byte >= 0x1C && byte <= 0x1F);
}

} // namespace

bool isTextReply(QByteArrayView contentType, QByteArrayView body)
{
    if (!isTextualType(contentType))
        return false;
    const QByteArrayView head = body.first(std::min(body.size(), kSniffBytes));
    return std::none_of(head.begin(), head.end(), isBinaryByte);
}

bool isErrorReply(QByteArrayView contentType, QByteArrayView body)
{
    return isTextReply(contentType, body) && !isValidPage(body);
}

bool isValidPage(QByteArrayView page)
{
    // The markers are ASCII, so folding ASCII letters alone is exact for single-byte pages.
    const QByteArray folded = page.toByteArray().toLower();
    for (QByteArrayView marker : kErrorMarkers) {
        if (folded.contains(marker.toByteArray().toLower()))
            return false;
    }
    return true;
}

} // namespace mavrel
