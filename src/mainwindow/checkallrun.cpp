#include "mainwindow/checkallrun.h"

#include "mainwindow/channelcheck.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

namespace mavrel {

CheckAllRun::CheckAllRun(Hooks hooks, QObject *parent) : QObject(parent), m_hooks(std::move(hooks))
{
    Timer1.setInterval(kTimerIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &CheckAllRun::Timer1_Timer);
}

CheckAllRun::~CheckAllRun()
{
    abort();
}

void CheckAllRun::checkAllChannels()
{
    if (m_running)
        return;
    m_running = true;
    m_aborted = false;
    m_listChanged = false;
    QPointer<CheckAllRun> self(this);

    const int n = m_hooks.rowCount();
    int checked = 0;
    for (int row = 0; row < n; ++row) {
        if (shouldStop() || row >= m_hooks.rowCount())
            break;
        m_hooks.status(checkingStatusText(row + 1, m_hooks.rowCount(), m_hooks.rowName(row)));
        QCoreApplication::processEvents();
        if (!self)
            return;
        if (shouldStop() || row >= m_hooks.rowCount())
            break;
        m_hooks.selectRow(row);
        checkDone = false;
        m_hooks.checkSelected();
        if (!self)
            return;
        ++checked;
        if (shouldStop())
            break;

        Timer1.start();
        QEventLoop pause;
        connect(this, &CheckAllRun::pauseOver, &pause, &QEventLoop::quit);
        pause.exec();
        if (!self)
            return;
        // Anything but the end of the pause (abort, the application quitting) ends the run.
        if (!checkDone)
            break;
    }
    Timer1.stop();
    checkTicks = 0;
    m_running = false;
    emit finished(checked);
}

void CheckAllRun::Timer1_Timer()
{
    ++checkTicks;
    if (checkTicks > 1) {
        checkTicks = 0;
        checkDone = true;
        Timer1.stop();
        emit pauseOver();
    }
}

void CheckAllRun::listChanged()
{
    if (!m_running)
        return;
    m_listChanged = true;
}

void CheckAllRun::abort()
{
    if (!m_running)
        return;
    m_aborted = true;
    Timer1.stop();
    emit pauseOver();
}

} // namespace mavrel
