#pragma once

#include "server/pages.h"
#include "server/videosite.h"

#include <QAbstractHttpServer>
#include <QByteArray>

class QHttpServerRequest;
class QTcpSocket;

namespace mavrel::server {

// The HTTP front of the catalogue: the catalogue pages, the demo streams under /media/, and 404
// for everything else. Runs in the thread that owns the store.
class CatalogueHttpServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit CatalogueHttpServer(CataloguePages &pages, QObject *parent = nullptr);
    // Also serves the video site (not owned; nullptr: none).
    void setVideoSite(const VideoSitePages *site) { m_videoSite = site; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    bool serveMedia(QStringView name, const QHttpServerRequest &request, QTcpSocket *socket);
    void streamTune(const QHttpServerRequest &request, QTcpSocket *socket, int melody);

    CataloguePages &m_pages;
    const VideoSitePages *m_videoSite = nullptr;
    QByteArray m_chime;
    QByteArray m_testCard;
};

// "::ffff:1.2.3.4" and "1.2.3.4" are the same client.
QString clientKey(const QHostAddress &address);

} // namespace mavrel::server
