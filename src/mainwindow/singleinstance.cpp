#include "mainwindow/singleinstance.h"

#include "branding/branding.h"
#include "mainwindow/opentarget.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaMethod>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// A hand-over: the header line, one encoded address per line, an empty line. The holder
// answers "ok" once it has the whole message.
constexpr QByteArrayView kHeader = "mavrel-open 1\n";
constexpr QByteArrayView kAck = "ok\n";
constexpr qsizetype kMaxMessageBytes = 64 * 1024;
constexpr int kMaxTargets = 1000;

QString socketPathFor(const QString &lockPath)
{
    QString base = lockPath;
    if (base.endsWith(u".lock"_s))
        base.chop(5);
    return base + u".socket"_s;
}

// What a client sent so far: the whole message, or nullopt while more may come; junk sets
// `junk`.
std::optional<QList<QUrl>> parseMessage(const QByteArray &buffer, bool &junk)
{
    junk = false;
    if (!buffer.startsWith(kHeader.first(std::min(kHeader.size(), buffer.size())))) {
        junk = true;
        return std::nullopt;
    }
    const qsizetype end = buffer.indexOf("\n\n", kHeader.size() - 1);
    if (end < 0) {
        junk = buffer.size() > kMaxMessageBytes || buffer.count('\n') > kMaxTargets + 1;
        return std::nullopt;
    }
    const QByteArray body = buffer.mid(kHeader.size(), end + 1 - kHeader.size());
    if (end + 2 != buffer.size() || body.count('\n') > kMaxTargets) {
        junk = true;
        return std::nullopt;
    }
    QList<QUrl> targets;
    for (const QByteArray &line : body.split('\n')) {
        if (line.isEmpty())
            continue;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(line);
        if (utf8.hasError()) {
            junk = true;
            return std::nullopt;
        }
        // A client is not trusted: its addresses pass the same test as the command line's.
        if (auto target = openTargetFromText(text, {}))
            targets.append(std::move(target).value());
    }
    return targets;
}

} // namespace

SingleInstance::SingleInstance(const QString &lockPath, QObject *parent)
    : QObject(parent), m_lock(lockPath), m_socketPath(socketPathFor(lockPath))
{
    // A running instance holds the lock however long it runs; only a dead owner frees it.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryAcquire()
{
    if (m_lock.isLocked())
        return true;
    if (!m_lock.tryLock(0))
        return false;
    listen();
    return true;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock holder listens, so a socket file here is a dead holder's.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        // Still the one viewer; later starts just cannot hand over.
        qWarning("cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

void SingleInstance::accept()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
        // A client that stays silent is dropped; its socket goes with the disconnect.
        auto *timer = new QTimer(client);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, client, &QLocalSocket::abort);
        connect(timer, &QTimer::timeout, client, &QObject::deleteLater);
        timer->start(m_clientTimeoutMs);
        if (client->bytesAvailable() > 0)
            readClient(client);
    }
}

void SingleInstance::readClient(QLocalSocket *client)
{
    if (client->property("answered").toBool()) {
        client->readAll();
        return;
    }
    QByteArray buffer = client->property("buffer").toByteArray();
    buffer += client->read(kMaxMessageBytes + 1 - buffer.size());
    bool junk = false;
    const std::optional<QList<QUrl>> targets = parseMessage(buffer, junk);
    if (junk) {
        client->abort();
        client->deleteLater();
        return;
    }
    if (!targets) {
        client->setProperty("buffer", buffer);
        return;
    }
    client->setProperty("answered", true);
    client->setProperty("buffer", QByteArray());
    client->write(kAck.data(), kAck.size());
    client->disconnectFromServer();
    deliver(*targets);
}

void SingleInstance::deliver(const QList<QUrl> &targets)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&SingleInstance::openRequested)))
        emit openRequested(targets);
    else
        m_pending.append(targets);
}

void SingleInstance::connectNotify(const QMetaMethod &signal)
{
    if (signal != QMetaMethod::fromSignal(&SingleInstance::openRequested) || m_pending.isEmpty())
        return;
    // Raised later: the receiver is still being connected.
    QTimer::singleShot(0, this, [this] {
        const QList<QList<QUrl>> pending = std::exchange(m_pending, {});
        for (const QList<QUrl> &targets : pending)
            deliver(targets);
    });
}

Result<void> SingleInstance::handOver(const QList<QUrl> &targets, int timeoutMs)
{
    QByteArray message = kHeader.toByteArray();
    for (const QUrl &target : targets)
        message += target.toEncoded() + '\n';
    message += '\n';

    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return Result<void>::failure(
            u"no running viewer answered at %1: %2"_s.arg(m_socketPath, socket.errorString()));
    }
    socket.write(message);
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return Result<void>::failure(
                u"the running viewer did not take the addresses: %1"_s.arg(socket.errorString()));
        }
        answer += socket.readAll();
    }
    if (answer != kAck)
        return Result<void>::failure(u"the running viewer refused the addresses"_s);
    return {};
}

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + u'/' + branding().productName.toLower() + u".lock"_s;
}

} // namespace mavrel
