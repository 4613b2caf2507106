#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

// What a playback session needs of a media engine: one playback per address tried, and the
// events that tell how it goes.
namespace mavrel {

enum class EngineEvent
{
    Playing,    // the engine runs the media (it says so even for bytes it cannot read)
    TrackAdded, // a stream (audio, video) was found in the media
    Paused,
    EndReached,
    Error,
    MetaChanged, // what the stream announces (nowPlaying()) may have changed
};

// One address on the engine. Events are always delivered later, on the thread the playback
// lives in, and never after it is destroyed. Destroying it stops the media without waiting.
class EnginePlayback : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts opening and playing; false when the engine refuses at once.
    virtual bool play() = 0;
    // Has no effect unless canPause().
    virtual void setPaused(bool paused) = 0;
    virtual bool canPause() const = 0;
    virtual bool isSeekable() const = 0;
    // 0 to 1, or negative when unknown.
    virtual double position() const = 0;
    virtual void setPosition(double position) = 0;
    // Whether any audio or video was decoded so far.
    virtual bool hasDecoded() const = 0;
    virtual void setAudio(int volume, bool muted) = 0;
    // The title the stream announces now (a radio's song), empty when none.
    virtual QString nowPlaying() const { return {}; }
    // Whether a video track was found so far.
    virtual bool hasVideo() const { return false; }

signals:
    void engineEvent(mavrel::EngineEvent event);
    // How far the engine has filled its cache before (re)starting, 0 to 100; sent only when it
    // moved noticeably, so a receiver may show each one.
    void buffering(int percent);
};

class MediaEngine
{
public:
    virtual ~MediaEngine() = default;
    // Null when the engine cannot take the address at all. `videoWindow` is the native window
    // to draw into, or 0 for none.
    virtual std::unique_ptr<EnginePlayback> open(const QUrl &url, quintptr videoWindow) = 0;
};

} // namespace mavrel
