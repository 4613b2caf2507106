#include "videosite/playerpage.h"

#include "platform/bytetext.h"

#include <QList>
#include <QString>

namespace mavrel {

namespace {

// HTML-escaped, and every character outside printable ASCII (the bytes read as UTF-8 when they
// are valid, else Windows-1252) a numeric reference, so the page is plain ASCII.
QByteArray asciiHtml(QByteArrayView bytes)
{
    const QString text = htmlEscaped(displayText(bytes));
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c >= 0x20 && c < 0x7f)
            out += char(c);
        else
            out += "&#" + QByteArray::number(quint32(c)) + ';';
    }
    return out;
}

} // namespace

QByteArray videoPage(QByteArrayView site, QByteArrayView title, QByteArrayView videoId)
{
    const QByteArray player = asciiHtml(site) + "/v/" + asciiHtml(videoId);
    return "<html><body bgcolor=black><center><font color=white><h1>" + asciiHtml(title) +
           "</h1><br></font>"
           "<object width='425' height='355'><param name='movie' value='" +
           player + "&rel=1'></param><param name='wmode' value='transparent'></param><embed src='" +
           player +
           "&rel=1' type='application/x-shockwave-flash' wmode='transparent' width='425' "
           "height='355'></embed></object>"
           "</center></body></html>\r\n";
}

QByteArray placeholderVideoPage()
{
    return "<html><body bgcolor=black><center><font color=white><h1>Please select a video from "
           "the list to the left</h1><br></font></center></body></html>\r\n";
}

} // namespace mavrel
