#include "desktop/screensaverinhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QDBusMessage screenSaverCall(const QString &method)
{
    return QDBusMessage::createMethodCall(u"org.freedesktop.ScreenSaver"_s,
                                          u"/org/freedesktop/ScreenSaver"_s,
                                          u"org.freedesktop.ScreenSaver"_s, method);
}

constexpr int kTimeoutMs = 1000;

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(const QDBusConnection &bus, const QString &application,
                                           QObject *parent)
    : QObject(parent), m_bus(bus), m_application(application)
{}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    m_wanted = false;
    // An inhibit granted after we are gone would never be released.
    if (m_pending) {
        m_call.waitForFinished();
        const QDBusPendingReply<quint32> reply = m_call;
        if (!reply.isError())
            m_cookie = reply.value();
    }
    release(true);
}

void ScreenSaverInhibitor::setInhibited(bool on)
{
    if (on == m_wanted)
        return;
    m_wanted = on;
    if (on && !m_pending && m_cookie == 0)
        request();
    else if (!on)
        release(false);
}

void ScreenSaverInhibitor::request()
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = screenSaverCall(u"Inhibit"_s);
    call << m_application << u"Playing a video"_s;
    m_pending = true;
    m_call = m_bus.asyncCall(call, kTimeoutMs);
    auto *watcher = new QDBusPendingCallWatcher(m_call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_pending = false;
        const QDBusPendingReply<quint32> reply = *watcher;
        if (reply.isError())
            return; // no screen saver service: nothing to do
        m_cookie = reply.value();
        if (!m_wanted) // released while asking
            release(false);
        else
            emit changed();
    });
}

void ScreenSaverInhibitor::release(bool wait)
{
    if (m_cookie == 0 || !m_bus.isConnected())
        return;
    QDBusMessage call = screenSaverCall(u"UnInhibit"_s);
    call << m_cookie;
    m_cookie = 0;
    // At exit the message must leave before the connection closes.
    if (wait)
        m_bus.call(call, QDBus::Block, kTimeoutMs);
    else
        m_bus.asyncCall(call);
    emit changed();
}

} // namespace mavrel
