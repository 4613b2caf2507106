#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>

namespace mavrel {

// Asks the desktop not to blank the screen (org.freedesktop.ScreenSaver) while a picture plays.
// Where the desktop has no such service nothing happens and nothing is reported.
class ScreenSaverInhibitor : public QObject
{
    Q_OBJECT
public:
    ScreenSaverInhibitor(const QDBusConnection &bus, const QString &application,
                         QObject *parent = nullptr);
    // Releases a held inhibit.
    ~ScreenSaverInhibitor() override;

    void setInhibited(bool on);
    bool wanted() const { return m_wanted; }
    // The desktop's cookie while it holds our inhibit, else 0.
    quint32 cookie() const { return m_cookie; }

signals:
    // The desktop granted or released the inhibit.
    void changed();

private:
    void request();
    void release(bool wait);

    QDBusConnection m_bus;
    QString m_application;
    bool m_wanted = false;
    bool m_pending = false; // an Inhibit call is under way
    QDBusPendingCall m_call = QDBusPendingCall::fromError(QDBusError());
    quint32 m_cookie = 0;
};

} // namespace mavrel
