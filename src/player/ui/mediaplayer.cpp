#include "mediaplayer.h"

#include "player/vlcengine.h"

#include <QHBoxLayout>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

constexpr int kPositionSteps = 1000;

} // namespace

MediaPlayer::MediaPlayer(QWidget *parent) : MediaPlayer(vlc::engine(), parent) {}

MediaPlayer::MediaPlayer(MediaEngine &engine, QWidget *parent)
    : QWidget(parent), m_session(new PlaybackSession(engine, this))
{
    buildUi();
    connect(m_session, &PlaybackSession::mediaError, this, &MediaPlayer::MediaError);
    connect(m_session, &PlaybackSession::stateChanged, this, [this](State state) {
        updateControls();
        emit stateChanged(state);
    });
    connect(m_session, &PlaybackSession::positionChanged, this, &MediaPlayer::onPositionChanged);
    updateControls();
}

// The session goes first (it is a child), so no engine event reaches a half-destroyed widget.
MediaPlayer::~MediaPlayer()
{
    delete m_session;
    m_session = nullptr;
}

QSize MediaPlayer::sizeHint() const
{
    return {320, 280};
}

void MediaPlayer::buildUi()
{
    m_surface = new QWidget(this);
    m_surface->setObjectName(u"videoSurface"_s);
    m_surface->setAccessibleName(tr("Video"));
    m_surface->setAutoFillBackground(true);
    QPalette black = m_surface->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_surface->setPalette(black);
    m_surface->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (vlc::embedsVideo()) {
        // Only the picture gets an X11 window of its own; the engine draws into it.
        m_surface->setAttribute(Qt::WA_DontCreateNativeAncestors);
        m_surface->setAttribute(Qt::WA_NativeWindow);
        m_session->setVideoWindow([this] { return quintptr(m_surface->winId()); });
    }

    auto makeButton = [this](const QString &name, const QString &caption,
                             QStyle::StandardPixmap icon) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setIcon(style()->standardIcon(icon));
        button->setAccessibleName(caption);
        button->setToolTip(caption);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    m_playPause = makeButton(u"playPauseButton"_s, tr("Play"), QStyle::SP_MediaPlay);
    m_stop = makeButton(u"stopButton"_s, tr("Stop"), QStyle::SP_MediaStop);
    m_mute = makeButton(u"muteButton"_s, tr("Mute"), QStyle::SP_MediaVolume);
    m_mute->setCheckable(true);

    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(u"positionSlider"_s);
    m_position->setAccessibleName(tr("Position"));
    m_position->setRange(0, kPositionSteps);
    m_position->setFocusPolicy(Qt::NoFocus);

    m_volumeSlider = new QSlider(Qt::Horizontal, this);
    m_volumeSlider->setObjectName(u"volumeSlider"_s);
    m_volumeSlider->setAccessibleName(tr("Volume"));
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(m_session->volume());
    m_volumeSlider->setFixedWidth(80);
    m_volumeSlider->setFocusPolicy(Qt::NoFocus);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(2, 0, 2, 0);
    bar->setSpacing(2);
    bar->addWidget(m_playPause);
    bar->addWidget(m_stop);
    bar->addWidget(m_position, 1);
    bar->addWidget(m_mute);
    bar->addWidget(m_volumeSlider);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_surface, 1);
    layout->addLayout(bar);

    connect(m_playPause, &QToolButton::clicked, this, [this] {
        if (state() == State::Playing || state() == State::Opening)
            pause();
        else
            play();
    });
    connect(m_stop, &QToolButton::clicked, this, &MediaPlayer::stop);
    connect(m_mute, &QToolButton::toggled, this, &MediaPlayer::setMuted);
    connect(m_volumeSlider, &QSlider::valueChanged, this, &MediaPlayer::setVolume);
    connect(m_position, &QSlider::sliderReleased, this,
            [this] { m_session->seek(double(m_position->value()) / kPositionSteps); });
}

void MediaPlayer::updateControls()
{
    const State s = state();
    const bool active = s == State::Playing || s == State::Opening;
    m_playPause->setIcon(
        style()->standardIcon(active ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    const QString caption = active ? tr("Pause") : tr("Play");
    m_playPause->setAccessibleName(caption);
    m_playPause->setToolTip(caption);
    m_playPause->setEnabled(active || !URL().isEmpty());
    m_stop->setEnabled(s != State::Closed && s != State::Stopped);
    m_mute->setIcon(
        style()->standardIcon(isMuted() ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    if (s != State::Playing && s != State::Paused) {
        m_position->setEnabled(false);
        m_position->setValue(0);
    }
}

void MediaPlayer::onPositionChanged(double position, bool seekable)
{
    m_position->setEnabled(seekable);
    if (!m_position->isSliderDown() && position >= 0)
        m_position->setValue(int(position * kPositionSteps));
}

void MediaPlayer::setVolume(int volume)
{
    const int before = m_session->volume();
    m_session->setVolume(volume);
    {
        const QSignalBlocker blocker(m_volumeSlider);
        m_volumeSlider->setValue(m_session->volume());
    }
    if (m_session->volume() != before)
        emit audioChanged();
}

void MediaPlayer::setMuted(bool muted)
{
    const bool before = m_session->isMuted();
    m_session->setMuted(muted);
    {
        const QSignalBlocker blocker(m_mute);
        m_mute->setChecked(muted);
    }
    updateControls();
    if (muted != before)
        emit audioChanged();
}

} // namespace mavrel
