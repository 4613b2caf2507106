#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class QIODevice;

namespace mavrel {

// The update date kept in date.dat, and the merge of the catalogue server's update replies into
// Data.txt. Both files are replaced whole (write to a temporary file, then rename), so a crash,
// a kill or a full disk leaves the old file or the new one, never a mixture.

// The date.dat of a data directory.
QString updateDateFile(const QString &dataDirectory);

// The first line of date.dat, or the date of a viewer that has never updated when there is no
// such file.
QString getINI(const QString &dataDirectory);

// Stores the text, followed by CR LF, as the whole of date.dat. When it cannot be written the
// old file is untouched.
Result<void> makeINI(const QString &dataDirectory, const QString &strDate);

// The reply of currentdate.asp or date.asp with blanks at both ends, tabs, CR and LF removed and
// everything after the first "PM" (else "AM") cut away.
QString cleanDateReply(QByteArrayView reply);

// An update reply ends with this mark and the date that a viewer merging it may store (the
// newest change the reply covers). It holds no "|", so every merge passes over it.
inline constexpr QByteArrayView kCoveredMark("COVERED ");

// The date an update reply says it covers, as the server wrote it; empty when it says none.
QString replyCoveredDate(QByteArrayView reply);

// One update line of a reply: command, id, then the eight catalogue fields after the id.
struct UpdateLine
{
    bool add = false; // the command is exactly "ADD"
    qint64 id = 0;
    // Name, kind, url, lang, spare1, spare2, favorites and rating, with the "|" between them.
    QByteArrayView fields;
};

// The update lines of a reply (elements separated by "<BR>" that contain a "|"), viewing into
// it. A line with fewer than ten fields, an id that is not a whole number, or a CR or LF in its
// first ten fields (it would break Data.txt's lines) makes the whole reply unusable: a reply the
// server did not mean is not half applied.
Result<QList<UpdateLine>> parseUpdateReply(QByteArrayView reply);

struct MergeSummary
{
    int appended = 0; // "ADD" lines written
    // Channels whose lines differ after the merge: a line that replaces one with the same text
    // (the replay of recent changes) or removes a channel the file does not hold is no change.
    int changed = 0;
    int total = 0; // catalogue lines the file holds afterwards
};

// Merges an update reply into the catalogue file: every channel a line names is removed, then
// each "ADD" line is appended as a catalogue line. On any failure (a malformed reply, no
// catalogue file, a read or write error) the file is unchanged.
Result<MergeSummary> mergeCatalogueUpdate(const QString &catalogueFile, QByteArrayView strDefs);

// The whole catalogue of a reply from the first date as a new catalogue file, its folder
// created as needed. The file appears complete or not at all: it is written beside and renamed.
Result<MergeSummary> writeFirstCatalogue(const QString &catalogueFile, QByteArrayView strDefs);

// The same, giving the number of lines appended.
Result<int> extractNewDefs(const QString &catalogueFile, QByteArrayView strDefs);

// The merge between devices: reads the catalogue from `catalogue`, writes the merged one to
// `out` (nothing when the reply is unusable).
Result<int> mergeUpdateReply(QIODevice *catalogue, QIODevice *out, QByteArrayView strDefs);

// Rewrites the catalogue file without the lines whose id (blanks trimmed) is among `ids` or is
// empty, and without lines that hold no "|"; the kept lines keep their order and the file ends
// with an empty line. `ids` in the form "12,15,20,".
Result<void> removeChannels(const QString &catalogueFile, QByteArrayView ids);

} // namespace mavrel
