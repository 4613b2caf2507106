#pragma once

#include "platform/result.h"
#include "server/sources/fetch.h"
#include "server/sources/readers.h"
#include "server/store/cataloguestore.h"

#include <QString>
#include <QStringList>

#include <functional>

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
    QStringList guides;  // the guide addresses the source names (a playlist's x-tvg-url)
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

// The programmes a guide import keeps: from this long ago to this far ahead.
inline constexpr qint64 kGuideBackSecs = 6 * 3600;
inline constexpr qint64 kGuideAheadSecs = 7 * 24 * 3600;

struct GuideImport
{
    GuideCounts read;
    qint64 stored = 0; // the programmes now stored for the channels the guide covered
};

// Reads an XMLTV guide from a file or an http(s) address (downloaded into a temporary file
// first) into the store: the programmes of the catalogue's guide ids in the kept window. They
// replace those channels' programmes only once the whole guide read without error.
Result<GuideImport> importGuide(CatalogueStore &store, const QString &guide,
                                const SourceLimits &limits = {});
// "GUIDE: programmes N, out of window N, unknown channel N, bad N".
QByteArray guideCountsText(const QString &guide, const GuideImport &import);

// One run of the import or sync command (or of a scheduled sync): each source's channels, then
// the guides the sources name (http and https addresses only) and `guides`, each once, after
// all the channels; after a sync, programmes that ended over kGuideBackSecs ago are dropped.
struct SourceRun
{
    QStringList sources;
    QStringList guides;
    bool sync = false;
};
// Each source's and guide's counts line goes to `print`, each failure to `fail`; false when
// anything failed (the rest still runs).
bool runSources(CatalogueStore &store, const SourceRun &run, const SourceLimits &limits,
                const std::function<void(const QByteArray &)> &print,
                const std::function<void(const QString &)> &fail);

} // namespace mavrel::server
