#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QString>

namespace mavrel {

// Where the catalogue server address in use comes from.
enum class AddressSource
{
    Environment, // MAVREL_CATALOGUE_URL, set and not empty
    Setting,     // the per-user setting, when it holds a usable address
    BuiltIn,     // the value fixed when the product was built
};

struct ServerAddress
{
    QByteArray address;
    AddressSource source = AddressSource::BuiltIn;
};

// Scheme and host (and port) of the catalogue server, without a trailing slash, and where it
// came from: the environment first, then the stored setting, then the build's value. Every
// request to the catalogue server starts with this address.
ServerAddress catalogueServerAddressInUse();
QByteArray catalogueServerAddress();

// The typed address as it is stored and used: blanks and trailing slashes removed, an http or
// https address with a host and no query, user or fragment. Anything else fails with a reason
// for the user.
Result<QByteArray> normalizeServerAddress(const QString &typed);

// The same for the video site (MAVREL_VIDEOSITE_URL).
QByteArray videoSiteAddress();

} // namespace mavrel
