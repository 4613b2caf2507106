#pragma once

#include "server/store/cataloguestore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>

namespace mavrel::server {

// What a source may cost to read: a hostile one (one endless line, one huge JSON string) is
// skipped piece by piece instead of being held.
constexpr qsizetype kMaxSourceLineBytes = 64 * 1024; // a playlist or catalogue line
constexpr qsizetype kMaxJsonStringBytes = 16 * 1024; // a string in a station
constexpr qsizetype kMaxStationBytes = 64 * 1024;    // one station object
// A channel's logo address (spare2), and the guide addresses a playlist names at most.
constexpr qsizetype kMaxLogoBytes = std::min<qsizetype>(1024, kMaxSpareBytes);
constexpr qsizetype kMaxPlaylistGuides = 32;

struct ParsedSource
{
    QList<SourceEntry> entries;
    qint64 bad = 0;     // entries that could not be read
    qint64 options = 0; // player option lines of a playlist (skipped)
    QStringList guides; // a playlist's guide addresses (x-tvg-url, url-tvg), in order
};

// Takes each entry as soon as it is read, so that a source's entries need not be held at once.
using EntrySink = std::function<void(SourceEntry &&)>;

// What every reader shares: the counts, and the entries handed to a sink (or kept, without one).
class EntryReader
{
public:
    explicit EntryReader(EntrySink sink = {}) : m_sink(std::move(sink)) {}
    // The counts, and the entries when there was no sink.
    ParsedSource take() { return std::move(m_out); }

protected:
    void emitEntry(SourceEntry &&entry);

    ParsedSource m_out;

private:
    EntrySink m_sink;
};

// Text taken a line at a time (CR, LF or CR LF ends one); a line longer than
// kMaxSourceLineBytes is passed over, and only its first bytes are seen.
class LineReader : public EntryReader
{
public:
    using EntryReader::EntryReader;
    virtual ~LineReader() = default;
    void feed(QByteArrayView chunk);
    virtual void finish();

protected:
    virtual void line(QByteArrayView line) = 0;
    virtual void longLine(QByteArrayView head) = 0;

private:
    void keep(QByteArrayView piece);
    void endLine();

    QByteArray m_line;
    bool m_tooLong = false;
};

// The viewer's catalogue file: catalogue lines, CR LF (a lone LF is taken as a line end too);
// lines without "|" are not entries. Ids and figures are kept.
class CatalogueFileReader : public LineReader
{
public:
    using LineReader::LineReader;

protected:
    void line(QByteArrayView line) override;
    void longLine(QByteArrayView head) override;
};

// An M3U/M3U8 playlist: #EXTINF entries, each followed by its address. The categories are the
// languages (tvg-language), else the countries (tvg-country, else the suffix of tvg-id), then
// the groups (group-title); values split at ";". Radio: radio="true", a radio group or an
// audio-only address. The guide id (tvg-id) goes to spare1, the logo (tvg-logo) to spare2; the
// #EXTM3U line's x-tvg-url (or url-tvg) lists the guides, separated by commas.
class PlaylistReader : public LineReader
{
public:
    using LineReader::LineReader;
    void finish() override;

protected:
    void line(QByteArrayView line) override;
    void longLine(QByteArrayView head) override;

private:
    enum class Pending
    {
        None,
        Entry,
        Lost // an #EXTINF too long to read: its address goes with it
    };
    Pending m_pending = Pending::None;
    bool m_radioAttrs = false;
    NewChannel m_entry;
};

ParsedSource parseCatalogueFile(QByteArrayView data);
ParsedSource parsePlaylist(QByteArrayView data);

bool looksLikePlaylist(const QString &path, QByteArrayView data);

// A radio directory's station list: one JSON array of station objects, read piece by piece so
// that only one station is held as JSON at a time. The favicon is the logo (spare2). A string
// longer than kMaxJsonStringBytes is read as empty; a station longer than kMaxStationBytes is
// skipped and counted.
class StationListReader : public EntryReader
{
public:
    using EntryReader::EntryReader;
    void feed(QByteArrayView chunk);
    // Fails when the text was no array of stations (or ended inside it).
    Result<void> finish();

private:
    void station(const QByteArray &json);

    QByteArray m_object;
    qsizetype m_stringStart = 0;
    int m_depth = 0;
    bool m_started = false;
    bool m_ended = false;
    bool m_broken = false;
    bool m_inString = false;
    bool m_escape = false;
    bool m_capturing = false;
    bool m_skippingString = false;
    bool m_oversized = false;
    bool m_otherElement = false;
};

// A logo address as a catalogue line carries it: http or https, at most kMaxLogoBytes, without
// a field separator; else empty.
QByteArray logoAddress(QByteArrayView address);

// The station list's figures as the catalogue's: votes give the rating (1 vote: 1 star,
// 10: 2, 100: 3, 1,000: 4, 10,000 or more: 5; none: unrated), clicks the favourites figure.
void seedFigures(NewChannel &channel, double votes, double clicks);

// Any source piece by piece: its first bytes tell a station list ("[") from lines, and the
// lines are a playlist or catalogue lines by looksLikePlaylist(name, first bytes).
class SourceParser
{
public:
    SourceParser(QString name, EntrySink sink);
    ~SourceParser();
    void feed(QByteArrayView chunk);
    // The counts; a failure when a station list was not whole.
    Result<ParsedSource> finish();

private:
    void decide(bool atEnd);

    QString m_name;
    EntrySink m_sink;
    QByteArray m_head; // the first bytes, until the kind is known
    bool m_blankSoFar = true;
    std::unique_ptr<StationListReader> m_stations;
    std::unique_ptr<LineReader> m_lines;
};

} // namespace mavrel::server
