#include "server/http/httproutes.h"

#include <algorithm>

namespace mavrel::server {

void HttpRoutes::add(QByteArray path, HttpHandler handler)
{
    m_exact.insert(std::move(path), std::move(handler));
}

void HttpRoutes::addPrefix(QByteArray prefix, HttpHandler handler)
{
    const auto at = std::find_if(m_prefixes.begin(), m_prefixes.end(),
                                 [&](const auto &p) { return p.first.size() < prefix.size(); });
    m_prefixes.emplace(at, std::move(prefix), std::move(handler));
}

void HttpRoutes::wrap(const QByteArray &path, const std::function<HttpHandler(HttpHandler)> &wrap)
{
    const auto it = m_exact.find(path);
    if (it != m_exact.end())
        *it = wrap(std::move(*it));
}

HttpReply HttpRoutes::answer(const HttpRequest &request) const
{
    if (const auto it = m_exact.constFind(request.path); it != m_exact.cend())
        return (*it)(request);
    for (const auto &[prefix, handler] : m_prefixes) {
        if (request.path.startsWith(prefix))
            return handler(request);
    }
    return notFoundReply();
}

HttpReply notFoundReply()
{
    return textReply(404, QByteArrayLiteral("404 Not Found"));
}

} // namespace mavrel::server
