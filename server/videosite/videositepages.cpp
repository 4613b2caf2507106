#include "server/videosite/videositepages.h"

#include "online/querytext.h"
#include "platform/bytetext.h"
#include "videosite/listing.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

// Text for the site's HTML, on one line.
QByteArray siteHtml(const QString &text)
{
    QString line = text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return htmlEscaped(line).toUtf8();
}

struct MediaType
{
    const char *extension;
    const char *mimeType;
};

constexpr MediaType kMediaTypes[] = {
    {"ogv", "video/ogg"},       {"ogg", "video/ogg"},       {"webm", "video/webm"},
    {"mp4", "video/mp4"},       {"m4v", "video/mp4"},       {"mkv", "video/x-matroska"},
    {"mov", "video/quicktime"}, {"avi", "video/x-msvideo"}, {"mpg", "video/mpeg"},
    {"mpeg", "video/mpeg"},     {"ts", "video/mp2t"},       {"wmv", "video/x-ms-wmv"},
};

QByteArray mimeTypeOf(const QString &suffix)
{
    for (const MediaType &m : kMediaTypes) {
        if (suffix.compare(QLatin1StringView(m.extension), Qt::CaseInsensitive) == 0)
            return m.mimeType;
    }
    return {};
}

QByteArray videoId(const QString &relativePath)
{
    const QByteArray hash =
        QCryptographicHash::hash(relativePath.toUtf8(), QCryptographicHash::Sha1);
    return hash.first(8).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// The values of a query as a browser sends them; an overlong one reads as none.
QHash<QByteArray, QByteArray> queryValues(const QByteArray &rawQuery)
{
    return parseQuery(QString::fromLatin1(rawQuery), QuerySender::Browser).valueOr({});
}

// The category of a listing number, from the viewer's own table of listings.
QString categoryOfNumber(const QByteArray &number)
{
    for (const QString &category : videoCategories()) {
        const std::optional<QByteArray> path = categoryPath(category);
        if (!path)
            continue;
        const QHash<QByteArray, QByteArray> q = queryValues(path->sliced(path->indexOf('?') + 1));
        if (q.value("t") == "t" && q.value("c") == number)
            return category;
    }
    return {};
}

int pageNumber(const QByteArray &text)
{
    bool ok = false;
    const int page = text.toInt(&ok);
    return ok && page >= 1 ? page : 1;
}

QByteArray pageOf(const QString &heading, const QByteArray &items, int page, int pages)
{
    return "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>" + siteHtml(heading) +
           "</title></head>\r\n<body>\r\n<h1>" + siteHtml(heading) + "</h1>\r\n" + items +
           "<p class=\"pager\">Page " + QByteArray::number(page) + " of " +
           QByteArray::number(std::max(pages, 1)) + "</p>\r\n</body></html>\r\n";
}

QList<const SiteVideo *> pageSlice(const QList<const SiteVideo *> &all, int page)
{
    return all.mid(qsizetype(page - 1) * VideoSitePages::kPageSize, VideoSitePages::kPageSize);
}

HttpReply htmlReply()
{
    HttpReply r;
    r.contentType = "text/html; charset=utf-8";
    return r;
}

HttpReply notFound()
{
    HttpReply r = htmlReply();
    r.status = 404;
    r.body = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
             "<p>No such video.</p></body></html>\r\n";
    return r;
}

} // namespace

QList<SiteVideo> scanVideoFolder(const QString &folder)
{
    QList<SiteVideo> out;
    const QDir root(folder);
    if (folder.isEmpty() || !root.exists())
        return out;
    QDirIterator it(folder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QByteArray mimeType = mimeTypeOf(info.suffix());
        if (mimeType.isEmpty())
            continue;
        const QString relative = root.relativeFilePath(info.filePath());
        const qsizetype slash = relative.indexOf(u'/');
        out.append({videoId(relative), info.completeBaseName(),
                    slash < 0 ? QString() : relative.first(slash), info.filePath(), mimeType,
                    info.size(), info.lastModified().toSecsSinceEpoch()});
    }
    std::sort(out.begin(), out.end(),
              [](const SiteVideo &a, const SiteVideo &b) { return a.filePath < b.filePath; });
    return out;
}

VideoSitePages::VideoSitePages(QList<SiteVideo> videos) : m_videos(std::move(videos)) {}

QList<SiteVideo> VideoSitePages::videos() const
{
    const QMutexLocker lock(&m_mutex);
    return m_videos;
}

void VideoSitePages::setVideos(QList<SiteVideo> videos)
{
    const QMutexLocker lock(&m_mutex);
    m_videos = std::move(videos);
}

std::optional<HttpReply> VideoSitePages::handle(const VideoSiteRequest &request) const
{
    std::optional<HttpReply> reply = answer(request);
    const QMutexLocker lock(&m_mutex);
    if (reply && !m_logPath.isEmpty()) {
        QFile log(m_logPath);
        if (log.open(QIODevice::Append)) {
            QByteArray line = request.path.toUtf8();
            if (!request.rawQuery.isEmpty())
                line += '?' + request.rawQuery;
            if (!request.range.isEmpty())
                line += ' ' + request.range;
            log.write(line + ' ' + QByteArray::number(reply->status) + '\n');
        }
    }
    return reply;
}

std::optional<HttpReply> VideoSitePages::answer(const VideoSiteRequest &request) const
{
    const QString &path = request.path;
    if (path == u"/browse")
        return browse(request.rawQuery);
    if (path == u"/results")
        return results(request.rawQuery);
    if (path == u"/watch")
        return watch(request.rawQuery);
    if (path.startsWith(u"/v/"))
        return player(QStringView(path).sliced(3));
    if (path.startsWith(u"/videos/"))
        return media(QStringView(path).sliced(8), request.range);
    return std::nullopt;
}

const SiteVideo *VideoSitePages::find(const QList<SiteVideo> &videos, QByteArrayView id)
{
    for (const SiteVideo &v : videos) {
        if (v.id == id)
            return &v;
    }
    return nullptr;
}

HttpReply VideoSitePages::browse(const QByteArray &rawQuery) const
{
    const QHash<QByteArray, QByteArray> q = queryValues(rawQuery);
    const QByteArray sort = q.value("s");
    QString category;
    if (q.value("t") == "t") {
        category = categoryOfNumber(q.value("c"));
        if (category.isEmpty())
            return notFound();
    }
    const QList<SiteVideo> all = videos();
    QList<const SiteVideo *> shown;
    for (const SiteVideo &v : all) {
        if (category.isEmpty() || v.category == category)
            shown.append(&v);
    }
    // The orders stand for popularity figures the site does not keep.
    std::stable_sort(shown.begin(), shown.end(), [&sort](const SiteVideo *a, const SiteVideo *b) {
        if (sort == "mp")
            return a->size > b->size;
        if (sort == "md")
            return a->modified > b->modified;
        return a->title.compare(b->title, Qt::CaseInsensitive) < 0;
    });
    const int page = pageNumber(q.value("p"));
    QByteArray items;
    for (const SiteVideo *v : pageSlice(shown, page)) {
        items += "<div class=\"video\"><a href=\"/watch?v=" + v->id +
                 "\" class=\"thumb\"><span class=\"play\"></span></a> <a href=\"/watch?v=" + v->id +
                 "\">" + siteHtml(v->title) + "</a> <span class=\"category\">" +
                 siteHtml(v->category) + "</span></div>\r\n";
    }
    const int pages = int((shown.size() + kPageSize - 1) / kPageSize);
    HttpReply r = htmlReply();
    r.body = pageOf(category.isEmpty() ? u"Videos"_s : category, items, page, pages);
    return r;
}

HttpReply VideoSitePages::results(const QByteArray &rawQuery) const
{
    const QHash<QByteArray, QByteArray> q = queryValues(rawQuery);
    const QString text = QString::fromUtf8(q.value("search_query"));
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    const QList<SiteVideo> all = videos();
    QList<const SiteVideo *> found;
    for (const SiteVideo &v : all) {
        if (std::all_of(words.begin(), words.end(), [&v](const QString &w) {
                return v.title.contains(w, Qt::CaseInsensitive);
            }))
            found.append(&v);
    }
    const int page = pageNumber(q.value("page"));
    QByteArray items;
    // The title is an attribute here, and the link text follows on the next line.
    for (const SiteVideo *v : pageSlice(found, page)) {
        items += "<div class=\"result\"><a href=\"/watch?v=" + v->id + "\" title=\"" +
                 siteHtml(v->title) + "\">\r\n" + siteHtml(v->title) + "</a></div>\r\n";
    }
    const int pages = int((found.size() + kPageSize - 1) / kPageSize);
    HttpReply r = htmlReply();
    r.body = pageOf(u"Results for "_s + text, items, page, pages);
    return r;
}

HttpReply VideoSitePages::watch(const QByteArray &rawQuery) const
{
    const QList<SiteVideo> all = videos();
    const SiteVideo *v = find(all, queryValues(rawQuery).value("v"));
    if (!v)
        return notFound();
    HttpReply r = htmlReply();
    r.body = pageOf(v->title,
                    "<iframe src=\"/v/" + v->id +
                        "\" width=\"640\" height=\"360\" allowfullscreen></iframe>\r\n",
                    1, 1);
    return r;
}

HttpReply VideoSitePages::player(QStringView idAndRest) const
{
    // Players add their own parameters after the id: "/v/<id>&rel=1".
    const qsizetype amp = idAndRest.indexOf(u'&');
    const QList<SiteVideo> all = videos();
    const SiteVideo *v = find(all, idAndRest.first(amp < 0 ? idAndRest.size() : amp).toUtf8());
    if (!v)
        return notFound();
    const qsizetype dot = v->filePath.lastIndexOf(u'.');
    HttpReply r = htmlReply();
    r.body = "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>" + siteHtml(v->title) +
             "</title><style>html,body{margin:0;height:100%;background:#000;overflow:hidden}"
             "video{display:block;width:100%;height:100%;object-fit:contain}</style></head>\r\n"
             "<body><video src=\"/videos/" +
             v->id + siteHtml(v->filePath.sliced(dot).toLower()) +
             "\" autoplay controls playsinline preload=\"auto\"></video></body></html>\r\n";
    return r;
}

std::optional<std::pair<qint64, qint64>> requestedRange(QByteArrayView header, qint64 size)
{
    const QByteArray h = header.trimmed().toByteArray();
    if (!h.startsWith("bytes=") || h.contains(','))
        return std::nullopt;
    const QByteArray spec = h.sliced(6).trimmed();
    const qsizetype dash = spec.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    const QByteArray first = spec.first(dash).trimmed();
    const QByteArray last = spec.sliced(dash + 1).trimmed();
    bool ok = true;
    if (first.isEmpty()) {
        // The last N bytes.
        const qint64 n = last.toLongLong(&ok);
        if (!ok || n < 0)
            return std::nullopt;
        if (n == 0 || size == 0)
            return std::pair<qint64, qint64>{-1, -1};
        return std::pair<qint64, qint64>{std::max<qint64>(0, size - n), size - 1};
    }
    const qint64 from = first.toLongLong(&ok);
    if (!ok || from < 0)
        return std::nullopt;
    qint64 to = size - 1;
    if (!last.isEmpty()) {
        to = last.toLongLong(&ok);
        if (!ok || to < from)
            return std::nullopt;
        to = std::min(to, size - 1);
    }
    if (from >= size)
        return std::pair<qint64, qint64>{-1, -1};
    return std::pair<qint64, qint64>{from, to};
}

HttpReply VideoSitePages::media(QStringView fileName, const QByteArray &range) const
{
    const qsizetype dot = fileName.indexOf(u'.');
    const QList<SiteVideo> all = videos();
    const SiteVideo *v = find(all, fileName.first(dot < 0 ? fileName.size() : dot).toUtf8());
    if (!v)
        return notFound();
    const qint64 size = QFileInfo(v->filePath).size();
    HttpReply r;
    r.contentType = v->mimeType;
    r.filePath = v->filePath;
    r.headers.append({QByteArray("Accept-Ranges"), QByteArray("bytes")});
    const auto wanted = requestedRange(range, size);
    if (wanted && wanted->first < 0) {
        r = {};
        r.status = 416;
        r.contentType = "text/plain";
        r.body = "Requested range not satisfiable";
        r.headers.append({QByteArray("Content-Range"), "bytes */" + QByteArray::number(size)});
        return r;
    }
    if (!wanted) {
        r.fileLength = size;
        return r;
    }
    const qint64 from = wanted ? wanted->first : 0;
    const qint64 to = std::min(wanted ? wanted->second : size - 1, from + kMaxRangeBytes - 1);
    r.status = 206;
    r.fileOffset = from;
    r.fileLength = to - from + 1;
    r.headers.append({QByteArray("Content-Range"), "bytes " + QByteArray::number(from) + '-' +
                                                       QByteArray::number(to) + '/' +
                                                       QByteArray::number(size)});
    return r;
}

} // namespace mavrel::server
