#include "online/serveraddress.h"

#include "buildconfig.h"
#include "platform/settings.h"

#include <QUrl>
#include <QtGlobal>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QByteArray withoutTrailingSlashes(QByteArray address)
{
    while (address.endsWith('/'))
        address.chop(1);
    return address;
}

QByteArray environmentAddress(const char *variable)
{
    return withoutTrailingSlashes(qgetenv(variable).trimmed());
}

} // namespace

ServerAddress catalogueServerAddressInUse()
{
    if (QByteArray address = environmentAddress("MAVREL_CATALOGUE_URL"); !address.isEmpty())
        return {address, AddressSource::Environment};
    // A hand-edited file may hold anything: an unusable value counts as no value.
    const QString stored = readSetting(SettingKey::CatalogueServer).trimmed();
    if (!stored.isEmpty()) {
        if (Result<QByteArray> address = normalizeServerAddress(stored))
            return {address.value(), AddressSource::Setting};
    }
    return {withoutTrailingSlashes(MAVREL_DEFAULT_CATALOGUE_URL), AddressSource::BuiltIn};
}

QByteArray catalogueServerAddress()
{
    return catalogueServerAddressInUse().address;
}

Result<QByteArray> normalizeServerAddress(const QString &typed)
{
    const QUrl url(typed.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s))
        return Result<QByteArray>::failure(u"only http:// and https:// addresses can be used"_s);
    if (url.host().isEmpty())
        return Result<QByteArray>::failure(u"the address names no host"_s);
    // Request paths are appended to the address, so a query or fragment would swallow them.
    if (url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return Result<QByteArray>::failure(
            u"the address may hold a scheme, a host, a port and a path only"_s);
    return withoutTrailingSlashes(url.toEncoded());
}

QByteArray videoSiteAddress()
{
    const QByteArray address = environmentAddress("MAVREL_VIDEOSITE_URL");
    return address.isEmpty() ? withoutTrailingSlashes(MAVREL_DEFAULT_VIDEOSITE_URL) : address;
}

} // namespace mavrel
