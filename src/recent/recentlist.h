#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace mavrel {

// Where an item was played from, which decides how it is played again.
enum class RecentSource // numbered from 0, in this order
{
    Channel,  // the channel list: checked and reported
    Favorite, // the favourites: checked, an offline one reported
    File,     // My Files, the desktop, a drop: played as it is
};

struct RecentItem
{
    RecentSource source = RecentSource::File;
    QByteArray name;    // as its list showed it
    QByteArray address; // plain, as handed to the check or the player
    QByteArray kind;    // the channel's kind ("TV", "Radio", ...); empty for files
    QDateTime when;     // UTC

    friend bool operator==(const RecentItem &, const RecentItem &) = default;
};

// The last items played, newest first, kept in a file of their own. One line per item; every
// field is percent-encoded, so no name or address can split a line or a field.
class RecentList
{
public:
    static constexpr int kMaxItems = 30;

    explicit RecentList(QString path) : m_path(std::move(path)) {}

    const QList<RecentItem> &items() const { return m_items; }
    QString path() const { return m_path; }

    // A missing or unreadable file is an empty list; lines that do not read are skipped.
    void load();
    // Puts the item first; the same address from the same place moves up rather than
    // repeating, and the oldest go beyond kMaxItems. The file is replaced atomically; when
    // that fails the list is still changed.
    Result<void> add(const RecentItem &item);
    Result<void> clear();

private:
    Result<void> save() const;

    QString m_path;
    QList<RecentItem> m_items;
};

// The item for something handed to the player now.
RecentItem playedNow(RecentSource source, const QByteArray &name, const QByteArray &address,
                     const QByteArray &kind = {});

QByteArray recentFileBytes(const QList<RecentItem> &items);
QList<RecentItem> parseRecentFile(QByteArrayView bytes);

} // namespace mavrel
