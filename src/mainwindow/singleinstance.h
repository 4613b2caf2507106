#pragma once

#include "platform/result.h"

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QUrl>

class QLocalServer;
class QLocalSocket;

namespace mavrel {

// One viewer per user: a lock file in the user's runtime folder. A lock left behind by a
// process that no longer runs does not count. The holder listens on a local socket next to the
// lock, where a later start hands over what it was asked to open.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process holds the lock (now or already); the holder then listens.
    bool tryAcquire();
    bool held() const { return m_lock.isLocked(); }

    // Sends `targets` to the holder and waits for its acknowledgement; an empty list asks it to
    // come to the front. Fails when nobody answers within `timeoutMs`.
    Result<void> handOver(const QList<QUrl> &targets, int timeoutMs = 3000);

    QString socketPath() const { return m_socketPath; }
    // How long the holder waits for a client's whole message before dropping it.
    void setClientTimeout(int ms) { m_clientTimeoutMs = ms; }

    static QString defaultLockPath();

signals:
    // In the holder, once per hand-over; raised as soon as a receiver is connected when the
    // hand-over came before one was.
    void openRequested(const QList<QUrl> &targets);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    void listen();
    void accept();
    void readClient(QLocalSocket *client);
    void deliver(const QList<QUrl> &targets);

    QLockFile m_lock;
    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    int m_clientTimeoutMs = 5000;
    QList<QList<QUrl>> m_pending;
};

} // namespace mavrel
