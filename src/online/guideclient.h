#pragma once

#include "online/guidepages.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace mavrel {

// The catalogue server's guide pages, fetched in the background: nothing waits for them, and a
// failure only means there is no guide (the last one stays until a page arrives).
class GuideClient : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using Server = std::function<QByteArray()>;

    // `server` gives the catalogue server's address at each request.
    explicit GuideClient(Server server, QObject *parent = nullptr);
    ~GuideClient() override;

    // Tests move time by hand.
    void setClock(Clock clock);
    QDateTime now() const { return m_clock(); }

    const GuideNowTable &table() const { return m_table; }
    GuideNowTable::OnAt onNow(const QByteArray &guideId) const
    {
        return m_table.at(guideId, now());
    }

    // Asks for now.txt unless a request is under way.
    void refreshNow();
    // A programme ended: what is on changed, and the page is asked for again, at most once a
    // minute. The timer calls this; tests call it after moving the clock.
    void programmeEnded();
    void fetchDay(const QByteArray &guideId, QDate date, int offsetMinutes);

signals:
    // What is on may have changed: a page arrived or a programme ended.
    void nowChanged();
    void dayArrived(const QByteArray &guideId, QDate date, const QList<GuideProgramme> &day);
    void dayFailed(const QByteArray &guideId, QDate date);

private:
    QNetworkReply *get(const QByteArray &path);
    void armTimer();

    Server m_server;
    Clock m_clock;
    QNetworkAccessManager *m_network;
    QNetworkReply *m_nowReply = nullptr;
    GuideNowTable m_table;
    QDateTime m_lastRequest;
    QTimer m_timer;
};

} // namespace mavrel
