#include "server/store/cataloguestore.h"

#include "catalogue/kinds.h"
#include "server/store/postgresstore.h"
#include "server/store/sqlitestore.h"

using namespace Qt::StringLiterals;

namespace mavrel::server {

bool isPostgresLocation(const QString &location)
{
    return location.startsWith(u"postgresql://"_s) || location.startsWith(u"postgres://"_s);
}

Result<std::unique_ptr<CatalogueStore>> CatalogueStore::open(const QString &location,
                                                             StoreOptions options)
{
    if (isPostgresLocation(location))
        return PostgresStore::open(location, std::move(options));
    return SqliteStore::open(location, std::move(options));
}

StoreTraits CatalogueStore::traitsFor(const QString &location)
{
    // SQLite writes one transaction at a time: its worker threads share one connection.
    // PostgreSQL works on many at once, each worker thread on a connection of its own.
    if (isPostgresLocation(location))
        return StoreTraits{16, true, 2};
    return StoreTraits{4, false, 1};
}

Result<void> checkChannel(const NewChannel &c)
{
    if (c.name.trimmed().isEmpty())
        return Result<void>::failure(u"missing name"_s);
    if (!isCatalogueKind(c.kind))
        return Result<void>::failure(u"unknown kind"_s);
    if (c.url.trimmed().isEmpty())
        return Result<void>::failure(u"missing address"_s);
    if (c.lang.isEmpty())
        return Result<void>::failure(u"missing language"_s);
    if (c.name.size() > kMaxNameBytes || c.lang.size() > kMaxLangBytes ||
        c.spare1.size() > kMaxSpareBytes || c.spare2.size() > kMaxSpareBytes ||
        c.url.size() > kMaxUrlBytes)
        return Result<void>::failure(u"field too long"_s);
    for (const QByteArray *f : {&c.name, &c.kind, &c.lang, &c.spare1, &c.spare2}) {
        if (!isCarriableField(*f))
            return Result<void>::failure(u"field holds a separator"_s);
    }
    if (!isCarriableField(c.url) || !isCarriableAddress(c.url))
        return Result<void>::failure(u"address cannot be carried in a catalogue line"_s);
    return {};
}

} // namespace mavrel::server
