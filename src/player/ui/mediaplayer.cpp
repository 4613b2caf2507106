#include "mediaplayer.h"

#include "player/vlcengine.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

constexpr int kPositionSteps = 1000;

// The feedback's texts when the message table has none.
constexpr struct
{
    const char16_t *key;
    const char16_t *text;
} kEnglish[] = {
    {u"MSG_PLAYCONNECTING", u"Connecting to %1\u2026"},
    {u"MSG_PLAYBUFFERING", u"Buffering %1%"},
    {u"MSG_PLAYOFFLINE", u"%1 is offline"},
    {u"MSG_PLAYUNREACHABLE", u"Could not reach %1"},
    {u"MSG_PLAYHTTPSTATUS", u"The server answered %1"},
    {u"MSG_PLAYUNDECODABLE", u"The stream could not be decoded"},
    {u"MSG_PLAYTIMEDOUT", u"%1 did not start playing in time"},
    {u"MSG_PLAYUNOPENABLE", u"%1 could not be opened"},
};

// A name for media given without one: a file's name, else the host, else the text.
QString nameFromAddress(const QString &text)
{
    const QUrl url = mediaLocationFromText(text);
    if (url.isLocalFile())
        return QFileInfo(url.toLocalFile()).fileName();
    return url.host().isEmpty() ? text : url.host();
}

} // namespace

MediaPlayer::MediaPlayer(QWidget *parent) : MediaPlayer(vlc::engine(), parent) {}

MediaPlayer::MediaPlayer(MediaEngine &engine, QWidget *parent)
    : QWidget(parent), m_session(new PlaybackSession(engine, this))
{
    buildUi();
    connect(m_session, &PlaybackSession::mediaError, this, &MediaPlayer::MediaError);
    connect(m_session, &PlaybackSession::stateChanged, this, [this](State state) {
        updateControls();
        updateFeedback();
        emit stateChanged(state);
    });
    connect(m_session, &PlaybackSession::positionChanged, this, &MediaPlayer::onPositionChanged);
    connect(m_session, &PlaybackSession::buffering, this, [this](int percent) {
        m_buffering = percent;
        updateFeedback();
    });
    connect(m_session, &PlaybackSession::trackAdded, this, &MediaPlayer::updateFeedback);
    connect(m_session, &PlaybackSession::nowPlayingChanged, this, [this](const QString &title) {
        updateFeedback();
        emit nowPlayingChanged(title);
    });
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
    // What opens, why it failed, a radio's name and song: over the picture until one plays.
    m_caption = new QLabel(m_surface);
    m_caption->setObjectName(u"playbackCaption"_s);
    m_caption->setTextFormat(Qt::PlainText); // names and titles come from the network
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setWordWrap(true);
    QPalette white = m_caption->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    m_caption->setPalette(white);
    QFont larger = m_caption->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    m_caption->setFont(larger);
    m_caption->hide();
    auto *surfaceLayout = new QVBoxLayout(m_surface);
    surfaceLayout->addWidget(m_caption);
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

void MediaPlayer::setURL(const QString &url, const QString &name)
{
    m_name = name.isEmpty() ? nameFromAddress(url.trimmed()) : name;
    m_notice.clear();
    m_preparing = false;
    m_buffering = -1;
    m_session->setURL(url);
    updateFeedback();
}

void MediaPlayer::prepare(const QString &name)
{
    m_name = name;
    m_notice.clear();
    m_preparing = true;
    m_buffering = -1;
    m_session->close();
    updateFeedback();
}

void MediaPlayer::showOffline(const QString &name)
{
    m_name = name;
    m_preparing = false;
    m_notice = message(u"MSG_PLAYOFFLINE"_s, name);
    m_session->close();
    updateFeedback();
}

void MediaPlayer::forgetNotice()
{
    m_notice.clear();
    m_preparing = false;
}

void MediaPlayer::setMessages(std::function<QString(const QString &)> lookup)
{
    m_messages = std::move(lookup);
    updateFeedback();
}

QString MediaPlayer::message(const QString &key, const QString &arg) const
{
    QString text = m_messages ? m_messages(key) : QString();
    if (text.isEmpty()) {
        for (const auto &entry : kEnglish) {
            if (key == QStringView(entry.key))
                text = QString::fromUtf16(entry.text);
        }
    }
    return text.contains(u"%1"_s) ? text.arg(arg) : text;
}

QString MediaPlayer::failureText() const
{
    using Kind = PlaybackFailure::Kind;
    const PlaybackFailure failure = m_session->failure();
    switch (failure.kind) {
    case Kind::Unreachable:
        return message(u"MSG_PLAYUNREACHABLE"_s, failure.host.isEmpty() ? m_name : failure.host);
    case Kind::HttpStatus:
        return message(u"MSG_PLAYHTTPSTATUS"_s, QString::number(failure.httpStatus));
    case Kind::Undecodable:
        return message(u"MSG_PLAYUNDECODABLE"_s);
    case Kind::TimedOut:
        return message(u"MSG_PLAYTIMEDOUT"_s, m_name);
    case Kind::None:
    case Kind::Unopenable:
        break;
    }
    return message(u"MSG_PLAYUNOPENABLE"_s, m_name);
}

void MediaPlayer::updateFeedback()
{
    const State s = state();
    const bool buffering = m_buffering >= 0 && m_buffering < 100;
    QStringList lines;
    if (!m_notice.isEmpty()) {
        lines << m_notice;
    } else if (s == State::Closed) {
        if (m_preparing)
            lines << message(u"MSG_PLAYCONNECTING"_s, m_name);
    } else if ((s == State::Opening && m_buffering >= 0) || (s == State::Playing && buffering)) {
        lines << message(u"MSG_PLAYBUFFERING"_s, QString::number(m_buffering));
    } else if (s == State::Opening) {
        lines << message(u"MSG_PLAYCONNECTING"_s, m_name);
    } else if (s == State::Playing || s == State::Paused) {
        lines << m_name;
        if (const QString title = nowPlaying(); !title.isEmpty())
            lines << title;
    } else if (s == State::Error) {
        lines << failureText();
    }
    // The picture, once there is one, needs no caption.
    const bool picture = (s == State::Playing || s == State::Paused) && !buffering &&
                         m_session->hasVideo() && m_notice.isEmpty();
    m_caption->setText(lines.join(u'\n'));
    m_caption->setVisible(!lines.isEmpty() && !picture);
    const QString status = lines.join(u" \u2013 "_s);
    if (status != m_statusText) {
        m_statusText = status;
        if (!status.isEmpty())
            emit statusTextChanged(status);
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
