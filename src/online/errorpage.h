#pragma once

#include <QByteArrayView>

namespace mavrel {

// False when a fetched page shows one of the error markers of dead stream addresses ("404",
// "Not Found", ...), searched anywhere in the bytes and ignoring ASCII letter case. The empty
// page is valid: an address that could not be fetched at all is given the benefit of the doubt.
bool isValidPage(QByteArrayView page);

} // namespace mavrel
