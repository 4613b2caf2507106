#include "videosite/playerpage.h"

#include "platform/bytetext.h"

#include <QList>
#include <QString>

namespace mavrel {

QByteArray escapeHtml(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const QString text = displayText(bytes);
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (c >= 0x20 && c < 0x7f)
                out += char(c);
            else
                out += "&#" + QByteArray::number(quint32(c)) + ';';
        }
    }
    return out;
}

QByteArray videoPage(QByteArrayView site, QByteArrayView title, QByteArrayView videoId)
{
    const QByteArray player = escapeHtml(site) + "/v/" + escapeHtml(videoId);
    return "<html><body bgcolor=black><center><font color=white><h1>" + escapeHtml(title) +
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
