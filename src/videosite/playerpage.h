#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace mavrel {

// The page that shows a video of the video site: the title as a heading and the site's player
// for the id, 425 x 355, as one line followed by CR LF. The title and the id come from a remote
// page and the file is opened with local-file rights, so both are HTML-escaped; the page is
// plain ASCII (other characters become character references).
QByteArray videoPage(QByteArrayView site, QByteArrayView title, QByteArrayView videoId);

// The page shown before any video is chosen.
QByteArray placeholderVideoPage();

} // namespace mavrel
