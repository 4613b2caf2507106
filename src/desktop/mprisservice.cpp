#include "desktop/mprisservice.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

const QString kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kPlayerInterface = u"org.mpris.MediaPlayer2.Player"_s;

class RootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

public:
    explicit RootAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service)
    {}
    bool canQuit() const { return false; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return m_service->identity(); }
    QStringList none() const { return {}; }

public slots:
    void Raise() { emit m_service->raiseRequested(); }
    void Quit() {}

private:
    MprisService *m_service;
};

class PlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

public:
    explicit PlayerAdaptor(MprisService *service)
        : QDBusAbstractAdaptor(service), m_service(service)
    {}
    QString playbackStatus() const { return m_service->statusText(); }
    double rate() const { return 1.0; }
    void setRate(double) {} // live streams play at their own pace
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const { return m_service->volume(); }
    void setVolume(double volume) { emit m_service->volumeRequested(qBound(0.0, volume, 1.0)); }
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Play() { emit m_service->playRequested(); }
    void Pause() { emit m_service->pauseRequested(); }
    void PlayPause() { emit m_service->playPauseRequested(); }
    void Stop() { emit m_service->stopRequested(); }
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}
    void OpenUri(const QString &) {}

private:
    MprisService *m_service;
};

} // namespace

MprisService::MprisService(const QDBusConnection &bus, const QString &identity,
                           const QString &busSuffix, QObject *parent)
    : QObject(parent), m_bus(bus), m_identity(identity),
      m_busName(u"org.mpris.MediaPlayer2."_s + busSuffix)
{
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    if (!m_bus.isConnected())
        return;
    if (!m_bus.registerObject(kPath, this))
        return;
    m_registered = m_bus.registerService(m_busName);
    if (!m_registered)
        m_bus.unregisterObject(kPath);
}

MprisService::~MprisService()
{
    if (m_registered) {
        m_bus.unregisterService(m_busName);
        m_bus.unregisterObject(kPath);
    }
}

QString MprisService::statusText() const
{
    switch (m_status) {
    case Status::Playing:
        return u"Playing"_s;
    case Status::Paused:
        return u"Paused"_s;
    case Status::Stopped:
        break;
    }
    return u"Stopped"_s;
}

QVariantMap MprisService::metadata() const
{
    QVariantMap map;
    map.insert(u"mpris:trackid"_s, QVariant::fromValue(QDBusObjectPath(u"/org/mavrel/track/"_s +
                                                                       QString::number(m_track))));
    if (!m_title.isEmpty())
        map.insert(u"xesam:title"_s, m_title);
    // Media controls show the artist under the title: the kind says what plays.
    if (!m_kind.isEmpty()) {
        map.insert(u"xesam:artist"_s, QStringList{m_kind});
        map.insert(u"xesam:genre"_s, QStringList{m_kind});
    }
    return map;
}

void MprisService::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    propertiesChanged({{u"PlaybackStatus"_s, statusText()}});
}

void MprisService::setNowPlaying(const QString &title, const QString &kind)
{
    if (title == m_title && kind == m_kind)
        return;
    m_title = title;
    m_kind = kind;
    ++m_track;
    propertiesChanged({{u"Metadata"_s, metadata()}});
}

void MprisService::setVolume(double volume)
{
    if (qFuzzyCompare(volume + 1.0, m_volume + 1.0))
        return;
    m_volume = volume;
    propertiesChanged({{u"Volume"_s, volume}});
}

void MprisService::propertiesChanged(const QVariantMap &changed)
{
    if (!m_registered)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, u"org.freedesktop.DBus.Properties"_s,
                                                     u"PropertiesChanged"_s);
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}

} // namespace mavrel

#include "mprisservice.moc"
