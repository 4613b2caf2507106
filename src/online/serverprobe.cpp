#include "online/serverprobe.h"

#include "online/catalogueupdate.h"
#include "online/datetext.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace mavrel {

namespace {

// A date is a few dozen bytes; a server that sends more is not answering that question.
constexpr qint64 kMaxReplyBytes = 4096;

ServerProbeResult networkFailure(const QNetworkReply &reply)
{
    using Kind = ServerProbeResult::Kind;
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return {Kind::Refused, 0, {}};
    case QNetworkReply::HostNotFoundError:
        return {Kind::HostNotFound, 0, {}};
    case QNetworkReply::TimeoutError:
        return {Kind::TimedOut, 0, {}};
    default:
        return {Kind::Unreachable, 0, reply.errorString()};
    }
}

} // namespace

ServerProbe::ServerProbe(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_timer(new QTimer(this))
{
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ServerProbe::timedOut);
}

ServerProbe::~ServerProbe()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void ServerProbe::start(const QByteArray &address)
{
    if (m_reply) {
        QNetworkReply *old = m_reply;
        m_reply = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    m_body.clear();
    QNetworkRequest request(QUrl::fromEncoded(address + "/ostrel/currentdate.asp"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(0); // the timer below covers the whole exchange
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        m_body += m_reply->read(kMaxReplyBytes + 1 - m_body.size());
        if (m_body.size() <= kMaxReplyBytes)
            return;
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        using Kind = ServerProbeResult::Kind;
        finish({status == 200 ? Kind::NotADate : Kind::HttpStatus, status, {}});
    });
    connect(m_reply, &QNetworkReply::finished, this, &ServerProbe::replyFinished);
    m_timer->start(m_timeoutMs);
}

void ServerProbe::replyFinished()
{
    using Kind = ServerProbeResult::Kind;
    QNetworkReply &reply = *m_reply;
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0 && reply.error() != QNetworkReply::NoError)
        return finish(networkFailure(reply));
    if (status != 200)
        return finish({Kind::HttpStatus, status, {}});
    m_body += reply.read(kMaxReplyBytes + 1 - m_body.size());
    const QString date = cleanDateReply(m_body);
    if (reply.error() != QNetworkReply::NoError || !parseDateText(QStringView(date)))
        return finish({Kind::NotADate, status, {}});
    finish({Kind::Answered, status, date});
}

void ServerProbe::timedOut()
{
    if (m_reply)
        finish({ServerProbeResult::Kind::TimedOut, 0, {}});
}

void ServerProbe::finish(const ServerProbeResult &result)
{
    m_timer->stop();
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    emit finished(result);
}

} // namespace mavrel
