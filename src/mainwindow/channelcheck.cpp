#include "mainwindow/channelcheck.h"

#include "online/errorpage.h"
#include "online/reportquery.h"

#include <QByteArray>

using namespace Qt::StringLiterals;

namespace mavrel {

bool skipsCheckFetch(QByteArrayView address)
{
    return QByteArray::fromRawData(address.data(), address.size()).toLower().contains(".wmv");
}

CheckDecision decideCheck(QByteArrayView page, QByteArrayView contentType, bool checkOnly)
{
    CheckDecision decision;
    if (isErrorReply(contentType, page)) {
        decision.showOffline = true;
        decision.report = CheckReport::Offline;
        return decision;
    }
    decision.play = !checkOnly;
    decision.report = page.isEmpty() ? CheckReport::None : CheckReport::Online;
    return decision;
}

FetchLimits checkFetchLimits()
{
    FetchLimits limits = fetchLimits(FetchUse::ChannelCheck);
    limits.maxBytes = 32 * 1024;
    limits.totalMs = 4000;
    limits.idleMs = 3000;
    return limits;
}

QString checkingStatusText(int position, int rowCount, const QString &name)
{
    return u"Checking "_s + QString::number(position) + u" of "_s + QString::number(rowCount) +
           u" - "_s + name;
}

QByteArray reportType(CheckReport report)
{
    switch (report) {
    case CheckReport::Online:
        return kReportOnline;
    case CheckReport::Offline:
        return kReportOffline;
    case CheckReport::None:
        break;
    }
    return {};
}

} // namespace mavrel
