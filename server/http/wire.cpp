#include "server/http/wire.h"

namespace mavrel::server {

QByteArray unescapeItem(QByteArray item)
{
    item.replace("[colon]", ":");
    item.replace("[quest]", "?");
    item.replace("[slash]", "/");
    return item;
}

} // namespace mavrel::server
