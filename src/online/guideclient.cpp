#include "online/guideclient.h"

#include "online/fetchlimits.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <optional>

namespace mavrel {

namespace {

constexpr qint64 kMinRefreshMs = 60'000;

// The body of a finished reply, or nothing for anything but a whole 200 answer.
std::optional<QByteArray> bodyOf(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status != 200)
        return std::nullopt;
    return reply->readAll();
}

} // namespace

GuideClient::GuideClient(Server server, QObject *parent)
    : QObject(parent), m_server(std::move(server)),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }),
      m_network(new QNetworkAccessManager(this))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &GuideClient::programmeEnded);
}

GuideClient::~GuideClient() = default;

void GuideClient::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

QNetworkReply *GuideClient::get(const QByteArray &path)
{
    const FetchLimits limits = fetchLimits(FetchUse::ServerPage);
    QNetworkRequest request(QUrl::fromEncoded(m_server() + path));
    request.setTransferTimeout(limits.totalMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_network->get(request);
    // A page bigger than any guide is not one.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limits](qint64 received) {
        if (received > limits.maxBytes)
            reply->abort();
    });
    return reply;
}

void GuideClient::refreshNow()
{
    if (m_nowReply)
        return;
    m_lastRequest = now();
    m_nowReply = get("/guide/now.txt");
    QNetworkReply *reply = m_nowReply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        m_nowReply = nullptr;
        if (const std::optional<QByteArray> body = bodyOf(reply)) {
            m_table.setLines(parseNowPage(*body));
            emit nowChanged();
        }
        armTimer();
    });
}

void GuideClient::programmeEnded()
{
    emit nowChanged();
    const qint64 since = m_lastRequest.isValid() ? m_lastRequest.msecsTo(now()) : kMinRefreshMs;
    if (since >= kMinRefreshMs)
        refreshNow();
    else
        m_timer.start(std::chrono::milliseconds(kMinRefreshMs - since));
}

void GuideClient::armTimer()
{
    const QDateTime current = now();
    const QDateTime change = m_table.nextChange(current);
    if (!change.isValid()) {
        m_timer.stop();
        return;
    }
    qint64 wait = current.msecsTo(change);
    if (m_lastRequest.isValid())
        wait = std::max(wait, kMinRefreshMs - m_lastRequest.msecsTo(current));
    m_timer.start(std::chrono::milliseconds(std::max<qint64>(wait, 1000)));
}

void GuideClient::fetchDay(const QByteArray &guideId, QDate date, int offsetMinutes)
{
    QNetworkReply *reply = get(dayPagePath(guideId, date, offsetMinutes));
    connect(reply, &QNetworkReply::finished, this, [this, reply, guideId, date] {
        reply->deleteLater();
        if (const std::optional<QByteArray> body = bodyOf(reply))
            emit dayArrived(guideId, date, parseDayPage(*body));
        else
            emit dayFailed(guideId, date);
    });
}

} // namespace mavrel
