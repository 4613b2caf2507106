#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace mavrel {

// The viewer as a media player of the desktop's media controls (MPRIS 2): it shows what plays
// and hands play, pause and stop back as requests.
class MprisService : public QObject
{
    Q_OBJECT
public:
    enum class Status
    {
        Stopped,
        Playing,
        Paused
    };

    // identity: the name the desktop shows; busSuffix: the last part of the bus name.
    MprisService(const QDBusConnection &bus, const QString &identity, const QString &busSuffix,
                 QObject *parent = nullptr);
    ~MprisService() override;

    // False when there is no session bus or the name is taken; the viewer then goes without.
    bool registered() const { return m_registered; }
    QString busName() const { return m_busName; }

    void setStatus(Status status);
    // title: the channel's name; kind: its kind ("TV", "Radio", ...), empty for a file.
    void setNowPlaying(const QString &title, const QString &kind);
    void setVolume(double volume); // 0 to 1

    // What the adaptors read.
    QString statusText() const;
    QVariantMap metadata() const;
    double volume() const { return m_volume; }
    QString identity() const { return m_identity; }

signals:
    void playRequested();
    void pauseRequested();
    void playPauseRequested();
    void stopRequested();
    void raiseRequested();
    void volumeRequested(double volume);

private:
    void propertiesChanged(const QVariantMap &changed);

    QDBusConnection m_bus;
    QString m_identity;
    QString m_busName;
    bool m_registered = false;
    Status m_status = Status::Stopped;
    QString m_title;
    QString m_kind;
    double m_volume = 0.5;
    quint64 m_track = 0;
};

} // namespace mavrel
