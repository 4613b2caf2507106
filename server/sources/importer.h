#pragma once

#include "platform/result.h"
#include "server/sources/fetch.h"
#include "server/sources/readers.h"
#include "server/store/cataloguestore.h"

#include <QString>

namespace mavrel::server {

// Reads a file or an http(s) address (downloaded into a temporary file first) a piece at a
// time, handing each entry to sink as soon as it is read; the kind of source is told by its
// first bytes and its name. Returns the counts of what was passed over.
Result<ParsedSource> readSource(const QString &source, const SourceLimits &limits,
                                const EntrySink &sink);

// The name a source owns its channels under: the address, or the file's absolute path.
QString sourceKey(const QString &source);

struct ImportCounts
{
    qint64 added = 0;
    qint64 skipped = 0;
    qint64 duplicate = 0;
    qint64 options = 0;
    qint64 updated = 0;  // sync only
    qint64 vanished = 0; // sync only: no longer listed, now dead
    qint64 returned = 0; // sync only: listed again, alive
};

// The line the import and sync commands print: "SOURCE: added N, skipped N, duplicate N", a
// sync's updated, vanished and returned, and the player options skipped, if any.
QByteArray countsText(const QString &source, const ImportCounts &counts, bool sync);

// Adds every channel of one source in one transaction; bad entries are counted, not fatal.
// The source owns the channels it added. Memory stays near what the channels the source
// already owns take: the entries go to the database as they are read.
Result<ImportCounts> importSource(CatalogueStore &store, const QString &source,
                                  const SourceLimits &limits = {});

// Brings the channels a source owns in line with it, in one transaction: adds the new ones,
// updates names, kinds and categories, marks the ones it no longer lists dead. Figures,
// reports and channels of other sources or of users are left alone. A source that cannot be
// read, or lists no channel at all, changes nothing.
Result<ImportCounts> syncSource(CatalogueStore &store, const QString &source,
                                const SourceLimits &limits = {});
Result<ImportCounts> syncParsed(CatalogueStore &store, const QString &key,
                                const ParsedSource &parsed, bool dropVanished);

} // namespace mavrel::server
