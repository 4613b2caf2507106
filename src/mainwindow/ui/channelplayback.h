#pragma once

#include "mainwindow/channelcheck.h"
#include "online/reports.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QLabel;

namespace mavrel {

class MediaPlayer;

// The channel the list has selected: its name and address as the catalogue holds them.
struct SelectedChannel
{
    QByteArray name;
    QByteArray address;
    QByteArray kind;
};

// Playing channels from the channel list: the check before playing, the offline picture, the
// reports, and the player's error and warning events.
//
// A media error reports only an item that a channel check handed to the player, under the name
// of that channel: a favourite, a local file or any other address that fails inside the player
// reports nothing, since the error says nothing about the row the list happens to show selected.
class ChannelPlayback : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<std::optional<SelectedChannel>()> selectedChannel;
        std::function<ReportContext()> reportContext;
        std::function<void(const QString &text)> status;    // first panel of the status bar
        std::function<QString(const QString &key)> message; // the message table
        // A channel was handed to the player (not by a check-only run).
        std::function<void(const SelectedChannel &channel)> played;
    };

    // `window` owns the checks: when it goes away during a fetch, the check ends quietly.
    // `requests` is shared with the window's other ways to play something; without it the
    // channel list only supersedes its own clicks.
    ChannelPlayback(MediaPlayer *player, QLabel *offlinePicture, Hooks hooks, QObject *window,
                    PlayRequests *requests = nullptr);

    // Checks the channel the list has selected.
    void checkChannel(bool checkOnly);
    // Checks and plays a channel as a click in the list does, whatever the list shows now.
    void playChannel(const SelectedChannel &channel);
    void ListView1_Click();
    void imgOffline_Click();
    void WindowsMediaPlayer1_MediaError(const QString &url);
    void WindowsMediaPlayer1_Warning(int warningType, int param, const QString &description);

    // The channel last played from the list, and its address as given to the player.
    const std::optional<SelectedChannel> &playingChannel() const { return m_playing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void check(const SelectedChannel &channel, bool checkOnly);
    void report(const QByteArray &name, const QByteArray &type, OfflineCause cause);

    QPointer<MediaPlayer> m_player;
    QPointer<QLabel> m_offline;
    const QObject *m_offlineObject = nullptr;
    Hooks m_hooks;
    QObject *m_window;
    std::optional<SelectedChannel> m_playing;
    QString m_playingText;
    OfflineCause m_playingCause = OfflineCause::NoConnection; // what the check saw of its host
    PlayRequests m_ownRequests;
    PlayRequests *m_requests;
};

// The status box's text goes into the status bar's first panel, and the event loop runs so that
// the panel repaints while a long operation keeps writing (not again from inside itself).
void mirrorStatusText(const QString &text, QLabel *panel);

} // namespace mavrel
