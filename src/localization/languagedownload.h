#pragma once

#include <QByteArray>
#include <QString>

namespace mavrel {

enum class DownloadOutcome
{
    Saved,      // the file was replaced
    Unusable,   // not a localisation file, or not received whole: nothing changed
    SaveFailed, // usable, but the file could not be replaced: the old one stays
};

// Stores a downloaded localisation file at `path`. Only a reply that arrived whole with a
// success status and holds translation items and at least one named language is used; it
// replaces the file in one step, from its first "<" (a byte-order mark or other leading bytes
// go), followed by CR LF.
DownloadOutcome storeLanguageDownload(const QByteArray &body, bool receivedWhole, int httpStatus,
                                      const QString &path);

} // namespace mavrel
