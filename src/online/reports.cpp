#include "online/reports.h"

#include "online/reportquery.h"
#include "online/serveraddress.h"

#include <QFile>

namespace mavrel {

FetchResult sendData(const QByteArray &strItem, const QByteArray &strType,
                     const QByteArray &strValue, const ReportContext &context)
{
    const QByteArray address =
        buildReportAddress(catalogueServerAddress(), strItem, strType, strValue, context.staffMode);
    FetchOptions options;
    options.use = FetchUse::Report;
    options.owner = context.owner;
    if (context.staffMode && !context.staffToken.isEmpty())
        options.headers.append({kStaffHeader, context.staffToken});
    return fetchPage(address, options);
}

QByteArray readStaffToken(const QString &markerFile)
{
    QFile file(markerFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A token is one line; a longer one is no token.
    QByteArray line = file.readLine(4096);
    if (!line.endsWith('\n') && !file.atEnd())
        return {};
    if (const qsizetype cr = line.indexOf('\r'); cr >= 0)
        line.truncate(cr);
    return line.trimmed();
}

OfflineCause offlineCause(const FetchResult &fetched)
{
    const bool noReply = fetched.httpStatus == 0 && fetched.body.isEmpty() &&
                         (fetched.end == FetchEnd::Failed || fetched.end == FetchEnd::ConnectLimit);
    return noReply ? OfflineCause::NoConnection : OfflineCause::HostReplied;
}

bool offlineReportAllowed(OfflineCause cause, const NetworkState &network)
{
    return cause == OfflineCause::HostReplied || !network.appearsOffline();
}

bool sendOfflineReport(const QByteArray &strItem, const QByteArray &strValue, OfflineCause cause,
                       const ReportContext &context)
{
    if (!offlineReportAllowed(cause))
        return false;
    sendData(strItem, kReportOffline, strValue, context);
    return true;
}

} // namespace mavrel
