#pragma once

#include "platform/result.h"

#include <QList>
#include <QString>
#include <QUrl>

class QMimeData;

// What the viewer is asked to open from outside: the command line, the desktop (a file manager,
// a browser's stream link) and drops on the window.
namespace mavrel {

// Turns one argument or dropped text into the address to play: http, https, mms, rtsp, rtmp and
// file addresses, and paths (relative ones resolve against `workingFolder`, the caller's current
// folder; without one they are refused). Any other scheme, an empty text or one with a control
// character is refused with a message naming it (Error::message, English; Error::code 1).
Result<QUrl> openTargetFromText(const QString &text, const QString &workingFolder);

// A text as a refusal may show it: without a password, control characters as "?".
QString shownTargetText(const QString &text);

// The addresses of a drop: its URLs, else its text's lines. Unsupported ones are left out, and
// so are relative paths: a drop has no working folder.
QList<QUrl> openTargetsFromMime(const QMimeData &mime);

// The name the player and the recent list show for an address: a file's name, or the address
// without its query, fragment, user name and password.
QString openTargetName(const QUrl &url);

} // namespace mavrel
