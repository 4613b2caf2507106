#pragma once

#include "online/querytext.h"

#include <QByteArray>
#include <QHash>
#include <QStringView>

namespace mavrel::server {

// The query decoder is online/querytext.h, shared with the viewer's side.

// Undoes the viewer's three replacements in report names: [colon] [quest] [slash].
QByteArray unescapeItem(QByteArray item);

} // namespace mavrel::server
