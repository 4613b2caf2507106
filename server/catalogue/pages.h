#pragma once

#include "server/store/store.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace mavrel::server {

class CataloguePages;
class PendingReply;
class UpdateReplies;
struct BuiltReply;

struct PageReply
{
    int status = 200;
    QByteArray mimeType = QByteArrayLiteral("text/plain");
    QByteArray body;
    // The same body compressed (gzip), for clients that accept it; empty: none.
    QByteArray gzipBody;
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Set when the reply is not ready: the front parks the request until it is.
    std::shared_ptr<PendingReply> pending;
};

// A reply being made elsewhere (an update reply being built). The front parks its request
// without holding a worker, and finishes it on a worker once woken.
class PendingReply
{
public:
    virtual ~PendingReply() = default;
    // wake runs once, on any thread; at once when the reply is ready already. It may still run
    // after abandon().
    virtual void onReady(std::function<void()> wake) = 0;
    // The client has gone: nothing is made for it any more.
    virtual void abandon() = 0;
    // The reply, once woken, with the pages of the worker that answers.
    virtual PageReply finish(CataloguePages &pages) = 0;
};

// The catalogue pages the viewer requests, independent of the HTTP transport: a path, the raw
// query as it arrived and the client's address in, the reply bytes out.
class CataloguePages
{
public:
    CataloguePages(CatalogueStore &store, QString localizationFile = {});

    // Nothing when the path is not one of the catalogue pages.
    std::optional<PageReply> handle(QStringView path, QStringView rawQuery, const QString &client);

    PageReply currentDate(QStringView rawQuery);
    PageReply channels(QStringView rawQuery, const QString &client, bool deadOnly);
    PageReply storedDate(QStringView rawQuery, const QString &client);
    PageReply report(QStringView rawQuery, const QString &client);
    PageReply submit(QStringView rawQuery, const QString &client);
    PageReply localization();

    // Update replies are then built once per catalogue change and date asked, off the worker,
    // and shared (not owned; it outlives the pages). Without it, each request builds its own.
    void setUpdateReplies(UpdateReplies *replies) { m_replies = replies; }
    // A reply built earlier, with this request's own part: the bookkeeping of its fetch.
    PageReply builtUpdate(const BuiltReply &built, const QString &client);
    PageReply failedUpdate(const Error &error);

private:
    PageReply sharedUpdate(qint64 since, const QString &client, bool deadOnly);

    CatalogueStore &m_store;
    QString m_localizationFile;
    UpdateReplies *m_replies = nullptr;
};

// An update page's reply: its lines, then the date it covers.
QByteArray withCoveredDate(QByteArray lines, qint64 covered);

} // namespace mavrel::server
