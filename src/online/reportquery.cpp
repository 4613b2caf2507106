#include "online/reportquery.h"

#include "online/querytext.h"

namespace mavrel {

QByteArray escapeReportItem(QByteArrayView item)
{
    QByteArray escaped = item.toByteArray();
    escaped.replace(":", "[colon]");
    escaped.replace("?", "[quest]");
    escaped.replace("/", "[slash]");
    return escaped;
}

QByteArray buildReportAddress(QByteArrayView serverAddress, QByteArrayView strItem,
                              QByteArrayView strType, QByteArrayView strValue, bool staffMode)
{
    QByteArray address = serverAddress.toByteArray();
    QueryItems items{{"strType", strType.toByteArray()},
                     {"strValue", strValue.toByteArray()},
                     {"strItem", escapeReportItem(strItem)}};
    if (staffMode)
        items.append(std::pair<QByteArray, QByteArray>("admin", "true"));
    return address + "/tv/getData.asp?" + buildQuery(items);
}

} // namespace mavrel
