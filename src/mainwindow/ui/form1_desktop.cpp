// What desktop users expect of a viewer beyond its design: find-as-you-type in the lists and
// the keyboard, the desktop's media controls and no screen saver while a picture plays.
#include "branding/branding.h"
#include "catalogue/catalogueview.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "desktop/mprisservice.h"
#include "desktop/screensaverinhibitor.h"
#include "localization/clslanguages.h"
#include "localization/ui/windowcontrols.h"
#include "mainwindow/localfiles.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/keyrouter.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace mavrel {

void Form1::createDesktop()
{
    findChannels = new FindBar(ListView1, u"lblFind"_s, u"txtFind"_s);
    findFavorites = new FindBar(ListView2, u"lblFindFavorites"_s, u"txtFindFavorites"_s);
    connect(findChannels, &FindBar::findChanged, this, &Form1::showFindStatus);
    createKeyboard();
    createSessionBus(QDBusConnection::sessionBus());
}

void Form1::createSessionBus(const QDBusConnection &bus)
{
    delete m_mpris;
    delete m_screenSaver;
    m_mpris = new MprisService(bus, branding().productName, u"mavrel"_s, this);
    m_screenSaver = new ScreenSaverInhibitor(bus, branding().productName, this);
    MediaPlayer *player = WindowsMediaPlayer1;
    connect(m_mpris, &MprisService::playRequested, player, &MediaPlayer::play);
    connect(m_mpris, &MprisService::pauseRequested, player, &MediaPlayer::pause);
    connect(m_mpris, &MprisService::stopRequested, player, &MediaPlayer::stop);
    connect(m_mpris, &MprisService::playPauseRequested, this, &Form1::togglePause);
    connect(m_mpris, &MprisService::volumeRequested, player, [player](double volume) {
        player->setVolume(qRound(volume * 100));
        // Muted reads as volume 0 on the bus, so a louder volume from there is heard.
        if (player->volume() > 0)
            player->setMuted(false);
    });
    connect(m_mpris, &MprisService::raiseRequested, this, [this] {
        showNormal();
        raise();
        activateWindow();
    });
    connect(player, &MediaPlayer::stateChanged, m_mpris, [this] { followPlayer(); });
    connect(player, &MediaPlayer::audioChanged, m_mpris, [this] { showVolume(); });
    // A radio's song is the title the desktop shows; without one, the station's name.
    connect(player, &MediaPlayer::nowPlayingChanged, m_mpris, [this](const QString &title) {
        m_mpris->setNowPlaying(title.isEmpty() ? WindowsMediaPlayer1->mediaName() : title,
                               m_playingKind);
    });
    followPlayer();
}

void Form1::followPlayer()
{
    using State = MediaPlayer::State;
    MediaPlayer *player = WindowsMediaPlayer1;
    const State state = player->state();
    if (state == State::Opening) {
        // What plays came from the list whose frame is shown, else from the local files.
        QString title = QFileInfo(player->URL()).fileName();
        QString kind;
        for (const auto &[frame, list] : {std::pair{Frame1, ListView1}, {Frame3, ListView2}}) {
            const QModelIndex row = list->currentIndex();
            if (!frame->isHidden() && row.isValid()) {
                title = row.siblingAtColumn(0).data().toString();
                kind = row.siblingAtColumn(1).data().toString();
            }
        }
        m_playingKind = kind;
        if (!player->mediaName().isEmpty())
            title = player->mediaName();
        m_mpris->setNowPlaying(title, kind);
    }
    m_mpris->setStatus(state == State::Playing || state == State::Opening
                           ? MprisService::Status::Playing
                       : state == State::Paused ? MprisService::Status::Paused
                                                : MprisService::Status::Stopped);
    showVolume();
    const bool picture = m_playingKind.compare(u"Radio"_s, Qt::CaseInsensitive) != 0 &&
                         !(m_playingKind.isEmpty() && isAudioFileName(player->URL()));
    m_screenSaver->setInhibited(state == State::Playing && picture);
}

void Form1::showVolume()
{
    const MediaPlayer *player = WindowsMediaPlayer1;
    m_mpris->setVolume(player->isMuted() ? 0.0 : player->volume() / 100.0);
}

void Form1::createKeyboard()
{
    auto *keys = new KeyRouter(this);
    const QList<int> enter{Qt::Key_Return, Qt::Key_Enter};
    // Enter does what a click on the current row does.
    const auto onRow = [&](QAbstractItemView *list, void (Form1::*click)()) {
        keys->onKeys(list, enter, [this, list, click] {
            const QModelIndex current = list->currentIndex();
            if (!current.isValid())
                return;
            // A click chooses the row it plays; the current row need not be chosen yet.
            list->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
            (this->*click)();
        });
        keys->onKeys(list, {Qt::Key_Space}, [this] { togglePause(); });
    };
    onRow(ListView1, &Form1::ListView1_Click);
    onRow(ListView2, &Form1::ListView2_Click);
    onRow(ListView3, &Form1::ListView3_Click);
    keys->onKeys(WindowsMediaPlayer1, {Qt::Key_Space}, [this] { togglePause(); });
    keys->onKeys(WindowsMediaPlayer1->videoSurface(), {Qt::Key_Space}, [this] { togglePause(); });
    keys->onDoubleClick(WindowsMediaPlayer1->videoSurface(), [this] { togglePictureFullScreen(); });

    // Category buttons by Alt and a letter. The letters are not marked in the captions, which
    // the localisation file owns, and they avoid the menus' own letters.
    const std::pair<QPushButton *, Qt::Key> categories[] = {
        {cmdTV, Qt::Key_T},    {cmdRadio, Qt::Key_R},   {cmdFavorites, Qt::Key_V},
        {cmdFiles, Qt::Key_M}, {cmdYouTube, Qt::Key_Y}, {cmdXXX, Qt::Key_D},
    };
    for (const auto &category : categories) {
        QPushButton *button = category.first;
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | category.second), this);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isVisible() && button->isEnabled())
                button->click();
        });
    }

    const auto windowKey = [this](QKeySequence key, auto handler) {
        auto *shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, handler);
        return shortcut;
    };
    windowKey(Qt::Key_F11, [this] { togglePictureFullScreen(); });
    QShortcut *leave = windowKey(Qt::Key_Escape, [this] {
        if (m_fullScreen.on)
            togglePictureFullScreen();
    });
    leave->setEnabled(false);
    connect(this, &Form1::pictureFullScreenChanged, leave, &QShortcut::setEnabled);
    // The keyboard's media keys while the window has the focus.
    for (const Qt::Key key : {Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPlay})
        windowKey(key, [this] { togglePause(); });
    windowKey(Qt::Key_MediaPause, [this] { WindowsMediaPlayer1->pause(); });
    windowKey(Qt::Key_MediaStop, [this] { WindowsMediaPlayer1->stop(); });
    windowKey(Qt::Key_VolumeUp,
              [this] { WindowsMediaPlayer1->setVolume(WindowsMediaPlayer1->volume() + 5); });
    windowKey(Qt::Key_VolumeDown,
              [this] { WindowsMediaPlayer1->setVolume(WindowsMediaPlayer1->volume() - 5); });
    windowKey(Qt::Key_VolumeMute,
              [this] { WindowsMediaPlayer1->setMuted(!WindowsMediaPlayer1->isMuted()); });
}

void Form1::togglePause()
{
    using State = MediaPlayer::State;
    switch (WindowsMediaPlayer1->state()) {
    case State::Playing:
    case State::Opening:
        WindowsMediaPlayer1->pause();
        break;
    case State::Paused:
    case State::Stopped:
    case State::Ended:
        if (!WindowsMediaPlayer1->URL().isEmpty())
            WindowsMediaPlayer1->play();
        break;
    case State::Closed:
    case State::Error:
        break;
    }
}

void Form1::togglePictureFullScreen()
{
    FullScreenPicture &fs = m_fullScreen;
    if (!fs.on) {
        // Only the picture stays; the window keeps its own controls, merely hidden.
        if (!WindowsMediaPlayer1->isVisible())
            return;
        fs.on = true;
        fs.states = windowState();
        fs.playerRect = WindowsMediaPlayer1->geometry();
        fs.hidden.clear();
        QList<QWidget *> others{menuBar(), statusBar()};
        for (QObject *child : centralWidget()->children()) {
            if (auto *w = qobject_cast<QWidget *>(child); w && w != WindowsMediaPlayer1)
                others << w;
        }
        for (QWidget *w : std::as_const(others)) {
            if (!w->isHidden()) {
                fs.hidden << w;
                w->hide();
            }
        }
        showFullScreen();
        placeFullScreenPicture();
    } else {
        fs.on = false;
        // The layout places the rest from the picture's corner.
        WindowsMediaPlayer1->setGeometry(fs.playerRect);
        for (const QPointer<QWidget> &w : std::as_const(fs.hidden)) {
            if (w)
                w->show();
        }
        fs.hidden.clear();
        setWindowState(fs.states);
        layoutControls();
    }
    emit pictureFullScreenChanged(fs.on);
}

void Form1::placeFullScreenPicture()
{
    // The client area takes the room of the hidden menu and status bars first.
    layout()->activate();
    WindowsMediaPlayer1->setGeometry(centralWidget()->rect());
    WindowsMediaPlayer1->raise();
}

void Form1::addDesktopControls(WindowControls &c)
{
    c.addLabel(findChannels->label(), controlkind::Label);
    c.addOther(findChannels->box(), u"TextBox"_s);
    c.addLabel(findFavorites->label(), controlkind::Label);
    c.addOther(findFavorites->box(), u"TextBox"_s);
}

void Form1::showFindStatus()
{
    m_listStatus = catalogueStatusLine(
        [this](const QString &key) { return m_languages->getMessages(key); }, m_catalogueTotal,
        ListView1->proxy()->rowCount(), viewState().langCount);
    StatusBar1Panel1->setText(m_listStatus);
}

} // namespace mavrel
