#include "server/sources/fetch.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace mavrel::server {

bool isAddress(const QString &source)
{
    return source.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           source.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

Result<std::unique_ptr<QTemporaryFile>>
fetchToFile(const QString &address, const FetchLimits &limits, const std::atomic<bool> *cancel)
{
    using R = Result<std::unique_ptr<QTemporaryFile>>;
    if (QCoreApplication::instance() == nullptr)
        return R::failure(u"%1: no application to fetch with"_s.arg(address));
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + u"/catalogue-source-XXXXXX"_s);
    if (!file->open())
        return R::failure(
            u"%1: cannot make a temporary file: %2"_s.arg(address, file->errorString()));
    // A thread of its own (the sync in serving mode) has no manager yet.
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(address)};
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      u"catalogue-server/1 (channel directory import)"_s);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits.maxRedirects);
    request.setTransferTimeout(limits.idleMs);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    // The reply holds no more than this before it is written out; the network waits meanwhile.
    reply->setReadBufferSize(256 * 1024);
    QEventLoop loop;
    QString failure;
    qint64 received = 0;
    QTimer total;
    total.setSingleShot(true);
    QObject::connect(&total, &QTimer::timeout, &loop, [&] {
        failure = u"took longer than %1 s"_s.arg(limits.totalMs / 1000.0);
        reply->abort();
    });
    // Aborting inside the reply's own signal makes it report its end twice.
    auto stop = [&] {
        QMetaObject::invokeMethod(reply.get(), &QNetworkReply::abort, Qt::QueuedConnection);
    };
    auto take = [&]() -> bool {
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > limits.maxBytes) {
            failure = u"is larger than %1 bytes"_s.arg(limits.maxBytes);
            return false;
        }
        if (file->write(chunk) != chunk.size()) {
            failure = u"cannot be stored: %1"_s.arg(file->errorString());
            return false;
        }
        return true;
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (!failure.isEmpty())
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 0 && (status < 200 || status > 299)) {
            failure = u"answered %1"_s.arg(status);
            stop();
            return;
        }
        if (!take())
            stop();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer watch;
    if (cancel) {
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (cancel->load() && failure.isEmpty()) {
                failure = u"stopped"_s;
                reply->abort();
            }
        });
        watch.start(100);
    }
    total.start(limits.totalMs);
    loop.exec();
    if (failure.isEmpty() && reply->error() == QNetworkReply::NoError)
        take();
    if (failure.isEmpty() && reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        failure = status != 0 ? u"answered %1"_s.arg(status) : reply->errorString();
        if (reply->error() == QNetworkReply::OperationCanceledError)
            failure = u"stalled for %1 s"_s.arg(limits.idleMs / 1000.0);
    }
    if (failure.isEmpty() && !file->flush())
        failure = u"cannot be stored: %1"_s.arg(file->errorString());
    if (!failure.isEmpty())
        return R::failure(u"%1: %2"_s.arg(address, failure));
    file->seek(0);
    return file;
}

} // namespace mavrel::server
