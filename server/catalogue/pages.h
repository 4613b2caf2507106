#pragma once

#include "server/http/reply.h"
#include "server/store/store.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace mavrel::server {

// The page that records a viewer's report; the front limits how often one address may ask it.
inline constexpr char kReportPath[] = "/tv/getData.asp";

// The catalogue pages the viewer requests, independent of the HTTP transport: a path, the raw
// query as it arrived and the client's address in, the reply bytes out.
class CataloguePages
{
public:
    CataloguePages(CatalogueStore &store, QString localizationFile = {});

    // The paths handle() answers, for the front's route table.
    static QList<QByteArray> paths();
    // Nothing when the path is not one of the catalogue pages.
    std::optional<HttpReply> handle(QStringView path, QStringView rawQuery, const QString &client);

    HttpReply currentDate(QStringView rawQuery);
    HttpReply channels(QStringView rawQuery, const QString &client, bool deadOnly);
    HttpReply storedDate(QStringView rawQuery, const QString &client);
    HttpReply report(QStringView rawQuery, const QString &client);
    HttpReply submit(QStringView rawQuery, const QString &client);
    HttpReply localization();

private:
    CatalogueStore &m_store;
    QString m_localizationFile;
};

} // namespace mavrel::server
