#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Files and the wire carry bytes; only the display needs text. These are the only places where
// one becomes the other.
namespace mavrel {

// UTF-8 when the bytes are valid UTF-8, else Windows-1252 (the five bytes that code page leaves
// undefined become the control characters of the same number, so nothing is lost).
QString displayText(QByteArrayView bytes);

// The reverse of the Windows-1252 half of displayText: every character up to U+00FF and every
// character of the code page maps to its byte. Returns false when some character has no byte.
bool toWindows1252(QStringView text, QByteArray *out);

bool isValidUtf8(QByteArrayView bytes);

// Text for HTML, in an element or in a quoted attribute: & < > " ' become references.
QString htmlEscaped(QStringView text);

// A tooltip that shows `text` exactly as it is. Qt takes a tooltip that looks like markup for
// rich text, so a name from a file or the network could lay itself out or load an image: the text
// is escaped inside markup that keeps it on one line. Empty stays empty (no tooltip).
QString plainToolTip(const QString &text);

} // namespace mavrel
