#pragma once

#include "server/http/httpreply.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <optional>
#include <utility>

namespace mavrel::server {

// One video the site offers: a file, its category (the folder under the videos folder) and its
// title (the file name without its extension).
struct SiteVideo
{
    QByteArray id; // 11 URL-safe characters, stable for the same relative path
    QString title;
    QString category; // empty for a file directly in the videos folder
    QString filePath;
    QByteArray mimeType;
    qint64 size = 0;
    qint64 modified = 0; // seconds since the epoch
};

// Every video file under `folder` (recursively, by extension). Unreadable or missing folders
// give nothing.
QList<SiteVideo> scanVideoFolder(const QString &folder);

// A request as the front decoded it: the path (percent-decoded), the query exactly as sent, and
// the Range header's value (empty when there was none).
struct VideoSiteRequest
{
    QString path;
    QByteArray rawQuery;
    QByteArray range;
};

// The pages of the video site the viewer browses (HTML unless said otherwise; the files as a
// byte range that the front sends as it can): /browse listings (20 a page), /results
// searches, /watch?v=, the player page /v/<id> that fills its frame, and the files under
// /videos/ with byte ranges.
class VideoSitePages
{
public:
    static constexpr int kPageSize = 20;
    // The largest part of a file one reply carries; players ask for the rest.
    static constexpr qint64 kMaxRangeBytes = 8 * 1024 * 1024;

    explicit VideoSitePages(QList<SiteVideo> videos);

    // Nothing when the path is not one of the site's.
    std::optional<HttpReply> handle(const VideoSiteRequest &request) const;

    // Safe from any thread: fronts answer on several threads, and the list may change while
    // they do.
    QList<SiteVideo> videos() const;
    void setVideos(QList<SiteVideo> videos);
    // Appends one line per request answered ("<path>[?<query>] [<range>]") to the file.
    void setRequestLog(const QString &path) { m_logPath = path; }

    HttpReply browse(const QByteArray &rawQuery) const;
    HttpReply results(const QByteArray &rawQuery) const;
    HttpReply watch(const QByteArray &rawQuery) const;
    HttpReply player(QStringView idAndRest) const;
    HttpReply media(QStringView fileName, const QByteArray &range) const;

private:
    std::optional<HttpReply> answer(const VideoSiteRequest &request) const;
    static const SiteVideo *find(const QList<SiteVideo> &videos, QByteArrayView id);

    mutable QMutex m_mutex; // guards m_videos and the log
    QList<SiteVideo> m_videos;
    QString m_logPath;
};

// The byte range a Range header asks of a file of `size` bytes: nothing for a header that is
// absent, malformed or asks several ranges (the whole file is sent then); {-1, -1} when the
// range lies outside the file.
std::optional<std::pair<qint64, qint64>> requestedRange(QByteArrayView header, qint64 size);

} // namespace mavrel::server
