#pragma once

#include "catalogue/catalogueview.h"
#include "mainwindow/layout.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QTimeZone>
#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;
class QWebEngineView;

namespace mavrel {

class GuideClient;
class KeyRouter;
class MediaPlayer;
class WindowControls;

// The right-hand side of the main window: the player, the video site's browser in its place
// while the video site is shown, the offline picture over it, and the picture on the whole
// screen. The keyboard's player keys work anywhere in the window.
class PlayerArea : public QWidget
{
    Q_OBJECT
public:
    explicit PlayerArea(QWidget *parent);

    MediaPlayer *player() const { return WindowsMediaPlayer1; }
    QLabel *offlinePicture() const { return imgOffline; }
    // The browser is created the first time it is shown, so start-up never waits for it.
    QWebEngineView *browser() const { return wbyoutube; }
    QUrl browserPage() const { return m_browserPage; }
    bool browserShown() const { return m_browserShown; }

    void showPlayer();
    // Pauses the player: a video page plays its own sound.
    void showBrowser();
    // The page the browser shows once it is created.
    void setPage(const QUrl &page);
    // Shows a page now, creating the browser.
    void loadPage(const QUrl &page);
    void setBrowserName(const QString &name) { m_browserName = name; }

    void togglePause();
    // Space in these widgets pauses and resumes too.
    void pauseOnSpaceIn(const QList<QWidget *> &widgets);
    void togglePictureFullScreen();
    bool pictureFullScreen() const { return m_fullScreen.on; }
    // After the window changed size: the picture takes the whole window again.
    void placeFullScreenPicture();

    void readGeometry(ResizableControls &c) const;
    void applyGeometry(const ResizableControls &c);
    void addControls(WindowControls &c);

    // The now/next line under the player, for the playing channel's guide id (empty: none).
    void setGuide(GuideClient *guide, MessageLookup messages);
    void setGuideChannel(const QByteArray &guideId, const QString &channelName);
    QByteArray guideChannel() const { return m_guideId; }
    // The user's zone; tests set their own.
    void setGuideZone(const QTimeZone &zone) { m_zone = zone; }
    QPushButton *nowNextLine() const { return cmdNowNext; }

signals:
    void pictureFullScreenChanged(bool on);

private:
    void ensureBrowser();
    void createKeyboard();
    void showNowNext();
    // The player takes what the now/next line leaves.
    void placePlayer();

    MediaPlayer *WindowsMediaPlayer1;
    QLabel *imgOffline;
    QWebEngineView *wbyoutube = nullptr;
    QUrl m_browserPage;
    QString m_browserName;
    bool m_browserShown = false;
    struct FullScreenPicture
    {
        bool on = false;
        QList<QPointer<QWidget>> hidden; // what made room for the picture, shown again after
        Qt::WindowStates states;
        QRect rect;
    };
    FullScreenPicture m_fullScreen;
    KeyRouter *m_keys;
    QPushButton *cmdNowNext;
    GuideClient *m_guide = nullptr;
    MessageLookup m_messages;
    QByteArray m_guideId;
    QString m_guideName;
    QTimeZone m_zone = QTimeZone::systemTimeZone();
};

} // namespace mavrel
