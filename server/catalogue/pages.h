#pragma once

#include "server/store/store.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace mavrel::server {

struct PageReply
{
    int status = 200;
    QByteArray mimeType = QByteArrayLiteral("text/plain");
    QByteArray body;
};

// Whose reports count as staff reports (admin=true): a request carrying one of the staff tokens
// in its kStaffHeader, and, on a server that listens on loopback only, a loopback client.
class StaffAccess
{
public:
    StaffAccess() = default;
    explicit StaffAccess(const QList<QByteArray> &tokens);

    // `credential`: the header's value, empty when it was not sent. Takes the same time
    // whichever token it is compared with, and however much of one it matches.
    bool allows(QByteArrayView credential, const QHostAddress &client, bool loopbackOnly) const;

private:
    QList<QByteArray> m_digests; // of the tokens: compared at one length
};

// The catalogue pages the viewer requests, independent of the HTTP transport: a path, the raw
// query as it arrived and the client's address in, the reply bytes out.
class CataloguePages
{
public:
    CataloguePages(CatalogueStore &store, QString localizationFile = {});

    // Nothing when the path is not one of the catalogue pages. `staff`: StaffAccess allowed
    // the request; without it a staff report is an ordinary one.
    std::optional<PageReply> handle(QStringView path, QStringView rawQuery, const QString &client,
                                    bool staff = false);

    PageReply currentDate(QStringView rawQuery);
    PageReply channels(QStringView rawQuery, const QString &client, bool deadOnly);
    PageReply storedDate(QStringView rawQuery, const QString &client);
    PageReply report(QStringView rawQuery, const QString &client, bool staff = false);
    PageReply submit(QStringView rawQuery, const QString &client);
    PageReply localization();

private:
    CatalogueStore &m_store;
    QString m_localizationFile;
};

} // namespace mavrel::server
