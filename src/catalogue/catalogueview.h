#pragma once

#include "catalogue/channelrecord.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace mavrel {

// One row of the channel list: the record's bytes (reports, favourites and playback use them)
// and the texts the list shows, decoded once.
struct ChannelRow
{
    ChannelRecord record; // url plain
    QString name;
    QString kind;
    QString lang;
    QString rating;    // formatRating
    QString favorites; // padFavorites
    QString url;       // the plain address as text (the staff "URL" column, the player)
};

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
    std::vector<ChannelRow> rows; // moved into the list model as they are
    int total = 0;
    int shown = 0;
    // Set only when the language list was rebuilt: the names after "All", and the text for
    // the combo box (the current language when it is one of them, else empty).
    std::optional<QStringList> languages;
    QString comboText;
    QString statusLine;   // empty when the load failed
    QString errorMessage; // MSG_NOTFOUND text when the load failed, else empty
    bool failed() const { return !errorMessage.isNull(); }
};

using MessageLookup = std::function<QString(const QString &key)>;

// Reads the catalogue file and filters it by state.currentKind and state.currentLang.
CatalogueLoad loadChannelList(const QString &catalogueFile, CatalogueViewState &state,
                              const MessageLookup &messages);

QString formatRating(const QString &text);
QString padFavorites(const QString &text);
void sortNames(QStringList &names, qsizetype lastIndex = -1, bool descending = false);

} // namespace mavrel
