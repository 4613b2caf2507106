#pragma once

#include "server/http/reply.h"
#include "server/store/store.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace mavrel::server {

// The page that records a viewer's report; the front limits how often one address may ask it.
inline constexpr char kReportPath[] = "/tv/getData.asp";

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

    // The paths handle() answers, for the front's route table.
    static QList<QByteArray> paths();
    // Nothing when the path is not one of the catalogue pages. `staff`: StaffAccess allowed
    // the request; without it a staff report is an ordinary one.
    std::optional<HttpReply> handle(QStringView path, QStringView rawQuery, const QString &client,
                                    bool staff = false);

    HttpReply currentDate(QStringView rawQuery);
    HttpReply channels(QStringView rawQuery, const QString &client, bool deadOnly);
    HttpReply storedDate(QStringView rawQuery, const QString &client);
    HttpReply report(QStringView rawQuery, const QString &client, bool staff = false);
    HttpReply submit(QStringView rawQuery, const QString &client);
    HttpReply localization();

private:
    CatalogueStore &m_store;
    QString m_localizationFile;
};

} // namespace mavrel::server
