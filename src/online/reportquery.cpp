#include "online/reportquery.h"

#include "online/urlbytes.h"

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
    address += "/tv/getData.asp?strType=";
    address += percentEncodeBytes(strType);
    address += "&strValue=";
    address += percentEncodeBytes(strValue);
    address += "&strItem=";
    address += percentEncodeBytes(escapeReportItem(strItem));
    if (staffMode)
        address += "&admin=true";
    return address;
}

} // namespace mavrel
