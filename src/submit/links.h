#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>

namespace mavrel {

// The three texts every search derives from one address.
struct PageBase
{
    QByteArray address;   // the address itself
    QByteArray directory; // cut back to its last "/"; empty without any "/"
    QByteArray domain;    // without scheme and "www.", up to and with its first "/"
};
PageBase pageBase(const QByteArray &address);

// The directory above an address ("http://example.com/a/b/" gives "http://example.com/a/").
QByteArray backDir(const QByteArray &address);

// Normalises a link found on a page into an address without its scheme for absolute links;
// the callers put "http://" back in front.
QByteArray resolveLink(QByteArray link, const QByteArray &firstBase, const QByteArray &secondBase,
                       const QByteArray &domain);

// True when the link names one of the stream formats (Windows Media, HLS and the playlists) or
// starts with a streaming protocol (mms, rtsp, rtmp).
bool isStreamLink(QByteArrayView link);
// True when the link holds one of the texts of the skip list (pictures, scripts, anchors, ...).
bool isSkippedLink(QByteArrayView link);
// True when the link, as resolveLink gives it, is a page the spider visits.
bool isPageLink(QByteArrayView link);
// False for a resolved link with a scheme other than http or https (ftp://, mailto:, ...).
bool isWebLink(QByteArrayView link);

// Runs before each line of a scan, so the event loop can run.
using LineHook = std::function<void()>;

// The stream links of a page, each once, in page order: href and src values naming a stream
// format, the sources of audio, video and source elements whatever their names, and mms, rtsp
// and rtmp addresses anywhere in the text. Relative links resolve against base.address as a
// browser resolves them; an absolute link stays as written. Only web and streaming addresses.
QList<QByteArray> extractStreamLinks(QByteArrayView page, const PageBase &base,
                                     const LineHook &beforeLine = {});

// The page links of a page as candidates for the spider's queue, in page order: only the first
// link of each line, resolved as the stream links are, not yet lower-cased or tested against
// what is known.
QList<QByteArray> extractPageLinks(QByteArrayView page, const PageBase &base);

} // namespace mavrel
