#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <utility>

class QAbstractItemView;
class QDBusConnection;
class QWidget;

namespace mavrel {

class MediaPlayer;
class MprisService;
class ScreenSaverInhibitor;

// The desktop's media controls and the screen saver follow the player: what plays, whether it
// plays, its volume; the screen saver is held only while a picture plays.
class DesktopSession : public QObject
{
    Q_OBJECT
public:
    // `lists`: each list with the frame that shows it. What plays came from the current row of
    // the list whose frame is shown, else from the local files.
    using Lists = QList<std::pair<QWidget *, QAbstractItemView *>>;
    DesktopSession(const QDBusConnection &bus, MediaPlayer *player, const Lists &lists,
                   QWidget *window);

    MprisService *mediaControls() const { return m_mpris; }
    ScreenSaverInhibitor *screenSaver() const { return m_screenSaver; }

signals:
    void playPauseRequested();

private:
    void followPlayer();
    void showVolume();

    MediaPlayer *m_player;
    Lists m_lists;
    MprisService *m_mpris;
    ScreenSaverInhibitor *m_screenSaver;
    QString m_playingKind;
};

} // namespace mavrel
