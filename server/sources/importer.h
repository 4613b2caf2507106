#pragma once

#include "platform/result.h"
#include "server/store/store.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <atomic>

namespace mavrel::server {

struct ParsedSource
{
    QList<SourceEntry> entries;
    qint64 bad = 0;     // entries that could not be read
    qint64 options = 0; // player option lines of a playlist (skipped)
};

// The viewer's catalogue file: catalogue lines, CR LF (a lone LF is taken as a line end too);
// lines without "|" are not entries. Ids and figures are kept.
ParsedSource parseCatalogueFile(QByteArrayView data);

// An M3U/M3U8 playlist: #EXTINF entries, each followed by its address. The categories are the
// languages (tvg-language), else the countries (tvg-country, else the suffix of tvg-id), then
// the groups (group-title); values split at ";". Radio: radio="true", a radio group or an
// audio-only address.
ParsedSource parsePlaylist(QByteArrayView data);

bool looksLikePlaylist(const QString &path, QByteArrayView data);

// A radio directory's station list: one JSON array of station objects, read piece by piece so
// that only one station is held as JSON at a time.
class StationListReader
{
public:
    void feed(QByteArrayView chunk);
    // False when the text was no array of stations (or ended inside it).
    bool finish();
    ParsedSource take() { return std::move(m_out); }

private:
    void station(const QByteArray &json);

    ParsedSource m_out;
    QByteArray m_object;
    int m_depth = 0;
    bool m_started = false;
    bool m_ended = false;
    bool m_broken = false;
    bool m_inString = false;
    bool m_escape = false;
    bool m_capturing = false;
    bool m_otherElement = false;
};

// The station list's figures as the catalogue's: votes give the rating (1 vote: 1 star,
// 10: 2, 100: 3, 1,000: 4, 10,000 or more: 5; none: unrated), clicks the favourites figure.
void seedFigures(NewChannel &channel, double votes, double clicks);

struct FetchLimits
{
    qint64 maxBytes = 512LL * 1024 * 1024;
    int totalMs = 300000;
    int stallMs = 30000;
    int maxRedirects = 5;
    const std::atomic<bool> *cancel = nullptr; // a fetch under way stops soon after it is set
};

bool isAddress(const QString &source);

// A file or an http(s) address; the kind of source is told by its first bytes and its name.
Result<ParsedSource> readSource(const QString &source, const FetchLimits &limits = {});

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

// Adds every channel of one source in one transaction; bad entries are counted, not fatal.
// The source owns the channels it added.
Result<ImportCounts> importSource(CatalogueStore &store, const QString &source,
                                  const FetchLimits &limits = {});

// Brings the channels a source owns in line with it, in one transaction: adds the new ones,
// updates names, kinds and categories, marks the ones it no longer lists dead. Figures,
// reports and channels of other sources or of users are left alone. A source that cannot be
// read, or lists no channel at all, changes nothing.
Result<ImportCounts> syncSource(CatalogueStore &store, const QString &source,
                                const FetchLimits &limits = {});
Result<ImportCounts> syncParsed(CatalogueStore &store, const QString &key,
                                const ParsedSource &parsed, bool dropVanished);

} // namespace mavrel::server
