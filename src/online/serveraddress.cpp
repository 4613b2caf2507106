#include "online/serveraddress.h"

#include "buildconfig.h"

#include <QtGlobal>

namespace mavrel {

namespace {

QByteArray configuredAddress(const char *variable, const char *builtIn)
{
    QByteArray address = qgetenv(variable).trimmed();
    if (address.isEmpty())
        address = builtIn;
    while (address.endsWith('/'))
        address.chop(1);
    return address;
}

} // namespace

QByteArray catalogueServerAddress()
{
    return configuredAddress("MAVREL_CATALOGUE_URL", MAVREL_DEFAULT_CATALOGUE_URL);
}

QByteArray videoSiteAddress()
{
    return configuredAddress("MAVREL_VIDEOSITE_URL", MAVREL_DEFAULT_VIDEOSITE_URL);
}

} // namespace mavrel
