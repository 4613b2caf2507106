#pragma once

#include "server/store/store.h"

#include <QByteArray>
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

// The catalogue pages the viewer requests, independent of the HTTP transport: a path, the raw
// query as it arrived and the client's address in, the reply bytes out.
class CataloguePages
{
public:
    CataloguePages(CatalogueStore &store, QString localizationFile = {});

    // Nothing when the path is not one of the catalogue pages.
    std::optional<PageReply> handle(QStringView path, QStringView rawQuery, const QString &client);

    PageReply currentDate(QStringView rawQuery);
    PageReply channels(QStringView rawQuery, const QString &client, bool deadOnly);
    PageReply storedDate(QStringView rawQuery, const QString &client);
    PageReply report(QStringView rawQuery, const QString &client);
    PageReply submit(QStringView rawQuery, const QString &client);
    PageReply localization();

private:
    CatalogueStore &m_store;
    QString m_localizationFile;
};

} // namespace mavrel::server
