#pragma once

#include <QByteArray>

namespace mavrel {

// Scheme and host (and port) of the catalogue server, without a trailing slash: the value of
// MAVREL_CATALOGUE_URL when set and not empty, else the value fixed when the product was built.
QByteArray catalogueServerAddress();

// The same for the video site (MAVREL_VIDEOSITE_URL).
QByteArray videoSiteAddress();

} // namespace mavrel
