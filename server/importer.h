#pragma once

#include "platform/result.h"
#include "server/store.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace mavrel::server {

struct ParsedSource
{
    QList<NewChannel> channels;
    qint64 bad = 0; // entries that could not be read
};

// The viewer's catalogue file: catalogue lines, CR LF (a lone LF is taken as a line end too);
// lines without "|" are not entries. Ids and figures are kept.
ParsedSource parseCatalogueFile(QByteArrayView data);

// An M3U/M3U8 playlist: #EXTINF entries, each followed by its address. tvg-language and
// group-title give the languages, radio="true" (or a radio group) the kind "Radio".
ParsedSource parsePlaylist(QByteArrayView data);

bool looksLikePlaylist(const QString &path, QByteArrayView data);

struct ImportCounts
{
    qint64 added = 0;
    qint64 skipped = 0;
    qint64 duplicate = 0;
};

// Adds every channel of one source in one transaction; bad entries are counted, not fatal.
Result<ImportCounts> importSource(CatalogueStore &store, const QString &path);

} // namespace mavrel::server
