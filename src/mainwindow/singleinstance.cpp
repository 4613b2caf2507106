#include "mainwindow/singleinstance.h"

#include "branding/branding.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace mavrel {

SingleInstance::SingleInstance(const QString &lockPath) : m_lock(lockPath)
{
    // A running instance holds the lock however long it runs; only a dead owner frees it.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::tryAcquire()
{
    if (m_lock.isLocked())
        return true;
    return m_lock.tryLock(0);
}

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + u'/' + branding().productName.toLower() + u".lock"_s;
}

} // namespace mavrel
