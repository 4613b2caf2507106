#pragma once

#include "catalogue/channelrecord.h"
#include "catalogue/channelrows.h"
#include "platform/result.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace mavrel {

// The main window's view state; the load updates it as the channel list does.
struct CatalogueViewState
{
    QString currentKind;
    QString currentLang;
    bool rebuildLangList = false;
    int langCount = 0;
};

struct CatalogueLoad
{
    int total = 0;
    int shown = 0;
    // Set only when the language list was rebuilt: the names after "All", and the text for
    // the combo box (the current language when it is one of them, else empty).
    std::optional<QStringList> languages;
    QString comboText;
    QString statusLine;
};

using MessageLookup = std::function<QString(const QString &key)>;

// Reads the catalogue file into rows (replacing what they held) and filters it by
// state.currentKind and state.currentLang (an empty kind becomes "TV", an empty language "All").
// The kind must equal the displayed text of a line's kind; the language is found in its
// displayed lang ignoring case, unless it is "All". A missing or unreadable file, one of 4 GiB or
// more, or a damaged line, ends the load: it fails with the MSG_NOTFOUND text, the rows read so
// far stay in rows (the list shows them), and the language list state is left as it was.
Result<CatalogueLoad> loadChannelList(const QString &catalogueFile, CatalogueViewState &state,
                                      const MessageLookup &messages, ChannelRows &rows);
// The status line: every channel, those shown, and the names of the language list.
QString catalogueStatusLine(const MessageLookup &messages, int total, int shown, int langCount);

// Three characters that sort as text in the order of the value: "" -> "1.0", "4" -> "4.0",
// "4.25" -> "4.2", "45" -> "4.0".
QString formatRating(const QString &text);
// Left-padded with "0" to six characters, never cut.
QString padFavorites(const QString &text);
// Sorts in place by character codes, capitals before small letters, the elements up to lastIndex
// (-1: the last one). O(n log n) whatever the input order.
void sortNames(QStringList &names, qsizetype lastIndex = -1, bool descending = false);

} // namespace mavrel
