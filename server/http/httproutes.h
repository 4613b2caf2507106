#pragma once

#include "server/http/httpreply.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace mavrel::server {

// A request as the front decoded it.
struct HttpRequest
{
    QByteArray path;     // percent-decoded
    QByteArray rawQuery; // exactly as sent, after the first "?"
    QString client;      // the client's address (clientKey)
    QByteArray range;    // the Range header's value, empty when there was none
    bool staff = false;  // StaffAccess allowed it: a staff report counts as one
};

using HttpHandler = std::function<HttpReply(const HttpRequest &)>;

// Which handler answers which path: an exact path first, then the longest prefix registered;
// nothing matches: 404. Filled before serving, read by every worker thread afterwards.
class HttpRoutes
{
public:
    void add(QByteArray path, HttpHandler handler);
    void addPrefix(QByteArray prefix, HttpHandler handler);
    // Replaces the handler of an exact path already added with what wrap makes of it.
    void wrap(const QByteArray &path, const std::function<HttpHandler(HttpHandler)> &wrap);

    HttpReply answer(const HttpRequest &request) const;

private:
    QHash<QByteArray, HttpHandler> m_exact;
    std::vector<std::pair<QByteArray, HttpHandler>> m_prefixes; // longest first
};

HttpReply notFoundReply();

} // namespace mavrel::server
