#pragma once

#include <QByteArrayView>

namespace mavrel {

// False when a fetched page shows one of the error markers of dead stream addresses ("404",
// "Not Found", ...), searched anywhere in the bytes and ignoring ASCII letter case. The empty
// page is valid: an address that could not be fetched at all is given the benefit of the doubt.
bool isValidPage(QByteArrayView page);

// Whether a reply is text and so can be an error page: a textual content type (text/*, HTML,
// XML, JSON, script) or none, and first bytes free of the control bytes text never holds. Audio
// and video bytes hold any marker by chance; a stream's type or its first bytes say what it is.
bool isTextReply(QByteArrayView contentType, QByteArrayView body);

// The error-page test of a fetched reply: text (see isTextReply) showing an error marker.
bool isErrorReply(QByteArrayView contentType, QByteArrayView body);

} // namespace mavrel
