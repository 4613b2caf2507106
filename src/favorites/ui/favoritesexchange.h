#pragma once

#include "favorites/favorites.h"
#include "platform/result.h"

#include <QObject>
#include <QString>

#include <functional>

namespace mavrel {

class FavoritesController;

// File ▸ Export Favorites… and File ▸ Import Playlist…: the favourites out as an extended M3U,
// and a playlist's entries in as favourites. A playlist is read off the user-interface thread;
// one that cannot be read or is too large changes nothing.
class FavoritesExchange : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<QString(const QString &key)> message;
        std::function<void(const QString &text)> status;
        std::function<QByteArray()> videoSite; // the video site's address, for video favourites
    };

    FavoritesExchange(FavoritesController &favorites, Hooks hooks, QObject *parent);

    // Ask for a file, then write or read it.
    void exportFavorites();
    void importPlaylist();

    Result<void> exportTo(const QString &path);
    // Starts reading; importFinished() follows, also when nothing was added.
    void importFrom(const QString &path);
    bool importing() const { return m_importing; }

signals:
    // `added` favourites came from the playlist (0 also when it was refused).
    void importFinished(int added);

private:
    void addImported(const QString &path, const Result<QList<Favorite>> &read);
    QString message(const QString &key) const { return m_hooks.message(key); }

    FavoritesController &m_favorites;
    Hooks m_hooks;
    QString m_lastFolder;
    bool m_importing = false;
};

} // namespace mavrel
