#include "online/reports.h"

#include "online/reportquery.h"
#include "online/serveraddress.h"

namespace mavrel {

FetchResult sendData(const QByteArray &strItem, const QByteArray &strType,
                     const QByteArray &strValue, const ReportContext &context)
{
    const QByteArray address =
        buildReportAddress(catalogueServerAddress(), strItem, strType, strValue, context.staffMode);
    FetchOptions options;
    options.use = FetchUse::Report;
    options.owner = context.owner;
    return fetchPage(address, options);
}

} // namespace mavrel
