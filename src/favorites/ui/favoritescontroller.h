#pragma once

#include "favorites/favorites.h"
#include "mainwindow/channelcheck.h"
#include "online/fetchlimits.h"
#include "online/reports.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace mavrel {

class CollatingSortProxy;
class FavoritesModel;
class ListViewEnh;

// A video of the video-site list: its title and id.
struct SelectedVideo
{
    QByteArray title;
    QByteArray id;
};

// The favourites list and its file, the channel actions (add, rate, report offline) and playing
// a favourite. The window supplies what lies outside the list through hooks.
class FavoritesController : public QObject, public FavoriteList
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<std::optional<Favorite>()> selectedChannel; // the channel list's row
        std::function<std::optional<SelectedVideo>()> selectedVideo;
        std::function<ReportContext()> reportContext;
        std::function<bool()> loadingDisabled; // "Don't Load Video While Editing"
        // `name`: the favourite's, as the list shows it.
        std::function<void(bool shown, const QString &name)> setOfflinePicture;
        std::function<void(const QByteArray &title, const QByteArray &id)> playVideo;
        std::function<void(const QString &name)> showPlayer;
        std::function<void(const QByteArray &address, const QString &name)> playAddress;
        // A favourite was handed to the player or the video page.
        std::function<void(const Favorite &favorite)> played;
        std::function<void(const QString &text)> status;    // confirmations and failed saves
        std::function<QString(const QString &key)> message; // the message table
        std::optional<FetchLimits> checkLimits;
        PlayRequests *playRequests = nullptr; // shared with the window's other ways to play
    };

    // `view` shows the rows (its source model is set here); `window` owns the fetches.
    FavoritesController(ListViewEnh *view, QString filePath, Hooks hooks, QObject *window);

    FavoritesModel &model() { return *m_model; }
    QString filePath() const { return m_path; }

    void loadFavorites();
    Result<void> saveFavorites() override;
    // Refuses, saying so in the status, a favourite whose line the file cannot hold.
    void addFavorite(const Favorite &favorite) override;
    // Adds the favourites whose addresses the list does not hold yet, all at once; returns how
    // many were added. Those too long to be saved are left out.
    int addNewFavorites(const QList<Favorite> &favorites);

    void doChannelAction(QByteArrayView word);
    void addSelectedVideo();
    void removeSelected();
    void playSelected();
    // Checks and plays a favourite as a click in the list does, listed or not.
    void playFavorite(const Favorite &favorite);

    // Every row in the list's order (its sort order, if sorted), whatever the find bar shows.
    QList<Favorite> favoritesInListOrder() const;

private:
    bool appendFavorite(const Favorite &favorite);
    // The message `key` with its %1 (the channel's name) and %2 filled in, in the status line.
    void say(const QString &key, QByteArrayView name, const QString &second = {});
    int selectedSourceRow() const;
    PlayRequests &playRequests()
    {
        return m_hooks.playRequests ? *m_hooks.playRequests : m_ownRequests;
    }

    ListViewEnh *m_view;
    FavoritesModel *m_model;
    QString m_path;
    Hooks m_hooks;
    QObject *m_window;
    CollatingSortProxy *m_listOrder; // the view's order without its find text
    PlayRequests m_ownRequests;
};

// Fills a pop-up menu with the items of a table; actions[i] is the item of index i (separators
// included, as the menu's index numbers count them).
void fillActionMenu(QMenu *menu, const ActionItem *items, int count, const QString &namePrefix,
                    QList<QAction *> &actions);

} // namespace mavrel

namespace mavrel {

// Calls `handler` with the button and the position whenever a mouse button is released over
// `widget` (a list's viewport); lives as long as the widget.
void onMouseUp(QWidget *widget, std::function<void(Qt::MouseButton button, QPoint pos)> handler);

} // namespace mavrel
