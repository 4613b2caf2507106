#include "mainwindow/ui/playerarea.h"

#include "branding/ui/artwork.h"
#include "localization/ui/windowcontrols.h"
#include "mainwindow/ui/guidedaywindow.h"
#include "mainwindow/ui/keyrouter.h"
#include "online/guideclient.h"
#include "platform/bytetext.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"
#include "videosite/ui/videositebrowser.h"

#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace mavrel {

PlayerArea::PlayerArea(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"playerArea"_s);
    WindowsMediaPlayer1 = named(new MediaPlayer(this), u"WindowsMediaPlayer1"_s, u"Player"_s);
    imgOffline = named(new QLabel(this), u"imgOffline"_s, u"Channel offline"_s);
    imgOffline->setPixmap(mavrel::offlinePicture());
    imgOffline->setScaledContents(true);
    imgOffline->setAccessibleDescription(
        u"The channel did not answer. Click the picture to hide it."_s);
    imgOffline->hide();
    cmdNowNext = named(new QPushButton(this), u"cmdNowNext"_s, u"On Now"_s);
    cmdNowNext->setFlat(true);
    cmdNowNext->setStyleSheet(u"text-align: left; padding: 0 4px;"_s);
    cmdNowNext->hide();
    connect(cmdNowNext, &QPushButton::clicked, this, [this] {
        if (m_guide && !m_guideId.isEmpty())
            GuideDayWindow::open(*m_guide, m_guideId, m_guideName, m_zone, m_messages, this);
    });
    // The design's places, in the window's coordinates; the layout starts from them.
    ResizableControls design;
    design.player = {5520, 1020, 9570, 6705};
    design.imgOffline = {11340, 120, 6000, 3000};
    applyGeometry(design);
    createKeyboard();
}

void PlayerArea::readGeometry(ResizableControls &c) const
{
    c.player = toTwips(geometry());
    c.wbyoutube = c.player;
    // The layout places the picture in the window's coordinates.
    c.imgOffline = toTwips(imgOffline->geometry().translated(pos()));
}

void PlayerArea::applyGeometry(const ResizableControls &c)
{
    const QRect area = toPixels(c.player);
    setGeometry(area);
    placePlayer();
    if (wbyoutube)
        wbyoutube->setGeometry(rect());
    imgOffline->setGeometry(toPixels(c.imgOffline).translated(-area.topLeft()));
}

void PlayerArea::addControls(WindowControls &c)
{
    c.addOther(WindowsMediaPlayer1, u"WindowsMediaPlayer"_s);
    c.addOther(imgOffline, u"Image"_s);
}

void PlayerArea::showPlayer()
{
    m_browserShown = false;
    if (wbyoutube)
        wbyoutube->hide();
    WindowsMediaPlayer1->show();
}

void PlayerArea::ensureBrowser()
{
    if (wbyoutube)
        return;
    wbyoutube = named(new QWebEngineView(this), u"wbyoutube"_s, m_browserName);
    wbyoutube->setGeometry(rect());
    allowPlayerPage(wbyoutube);
    if (!m_browserPage.isEmpty())
        wbyoutube->load(m_browserPage);
}

void PlayerArea::showBrowser()
{
    m_browserShown = true;
    ensureBrowser();
    wbyoutube->show();
    wbyoutube->raise();
    WindowsMediaPlayer1->pause();
    WindowsMediaPlayer1->hide();
}

void PlayerArea::setPage(const QUrl &page)
{
    m_browserPage = page;
    if (wbyoutube)
        wbyoutube->load(page);
}

void PlayerArea::loadPage(const QUrl &page)
{
    if (!wbyoutube) {
        m_browserPage = page;
        ensureBrowser();
        return;
    }
    setPage(page);
}

void PlayerArea::createKeyboard()
{
    m_keys = new KeyRouter(this);
    pauseOnSpaceIn({WindowsMediaPlayer1, WindowsMediaPlayer1->videoSurface()});
    m_keys->onDoubleClick(WindowsMediaPlayer1->videoSurface(),
                          [this] { togglePictureFullScreen(); });

    const auto windowKey = [this](QKeySequence key, auto handler) {
        auto *shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, handler);
        return shortcut;
    };
    QShortcut *leave = windowKey(Qt::Key_Escape, [this] {
        if (m_fullScreen.on)
            togglePictureFullScreen();
    });
    leave->setEnabled(false);
    connect(this, &PlayerArea::pictureFullScreenChanged, leave, &QShortcut::setEnabled);
    // The keyboard's media keys while the window has the focus.
    MediaPlayer *player = WindowsMediaPlayer1;
    for (const Qt::Key key : {Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPlay})
        windowKey(key, [this] { togglePause(); });
    windowKey(Qt::Key_MediaPause, [player] { player->pause(); });
    windowKey(Qt::Key_MediaStop, [player] { player->stop(); });
    windowKey(Qt::Key_VolumeUp, [player] { player->setVolume(player->volume() + 5); });
    windowKey(Qt::Key_VolumeDown, [player] { player->setVolume(player->volume() - 5); });
    windowKey(Qt::Key_VolumeMute, [player] { player->setMuted(!player->isMuted()); });
}

void PlayerArea::pauseOnSpaceIn(const QList<QWidget *> &widgets)
{
    for (QWidget *widget : widgets)
        m_keys->onKeys(widget, {Qt::Key_Space}, [this] { togglePause(); });
}

void PlayerArea::togglePause()
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

void PlayerArea::togglePictureFullScreen()
{
    auto *window = qobject_cast<QMainWindow *>(this->window());
    FullScreenPicture &fs = m_fullScreen;
    if (!window || !parentWidget())
        return;
    if (!fs.on) {
        // Only the picture stays; the window keeps its own controls, merely hidden.
        if (!WindowsMediaPlayer1->isVisible())
            return;
        fs.on = true;
        fs.states = window->windowState();
        fs.rect = geometry();
        fs.hidden.clear();
        QList<QWidget *> others{window->menuBar(), window->statusBar()};
        for (QObject *child : parentWidget()->children()) {
            if (auto *w = qobject_cast<QWidget *>(child); w && w != this)
                others << w;
        }
        for (QWidget *w : std::as_const(others)) {
            if (!w->isHidden()) {
                fs.hidden << w;
                w->hide();
            }
        }
        window->showFullScreen();
        showNowNext();
        placeFullScreenPicture();
    } else {
        fs.on = false;
        // The window's layout places the rest from the picture's corner.
        setGeometry(fs.rect);
        showNowNext();
        for (const QPointer<QWidget> &w : std::as_const(fs.hidden)) {
            if (w)
                w->show();
        }
        fs.hidden.clear();
        window->setWindowState(fs.states);
    }
    emit pictureFullScreenChanged(fs.on);
}

void PlayerArea::placeFullScreenPicture()
{
    if (!m_fullScreen.on)
        return;
    // The client area takes the room of the hidden menu and status bars first.
    if (QLayout *layout = window()->layout())
        layout->activate();
    setGeometry(parentWidget()->rect());
    placePlayer();
    raise();
}

void PlayerArea::setGuide(GuideClient *guide, MessageLookup messages)
{
    m_guide = guide;
    m_messages = std::move(messages);
    connect(guide, &GuideClient::nowChanged, this, &PlayerArea::showNowNext);
}

void PlayerArea::setGuideChannel(const QByteArray &guideId, const QString &channelName)
{
    m_guideId = guideId;
    m_guideName = channelName;
    showNowNext();
}

void PlayerArea::showNowNext()
{
    QString text;
    if (m_guide && !m_guideId.isEmpty() && !m_fullScreen.on) {
        const GuideNowTable::OnAt on = m_guide->onNow(m_guideId);
        if (!on.on.isNull()) {
            text = programmeLine(on.on, m_zone);
            if (!on.following.isNull())
                text += u" \u00b7 "_s + m_messages(u"MSG_GUIDENEXT"_s).arg(on.following.title);
        }
    }
    cmdNowNext->setText(text);
    cmdNowNext->setAccessibleName(text.isEmpty() ? u"On Now"_s : text);
    cmdNowNext->setToolTip(plainToolTip(text));
    cmdNowNext->setVisible(!text.isEmpty());
    placePlayer();
}

void PlayerArea::placePlayer()
{
    const int line = cmdNowNext->isHidden() ? 0 : cmdNowNext->sizeHint().height();
    WindowsMediaPlayer1->setGeometry(rect().adjusted(0, 0, 0, -line));
    cmdNowNext->setGeometry(0, height() - line, width(), line);
}

} // namespace mavrel
