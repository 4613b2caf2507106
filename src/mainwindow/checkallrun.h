#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace mavrel {

// "Check all channels": every row of the channel list in turn is selected and checked without
// playing, then a pause of two ticks of Timer1 lets the event loop run before the next row.
//
// The window stays usable during a run. When the list is reloaded, emptied, reordered, or rows come
// or go while the run goes on, the remaining row numbers would name other channels than the ones
// the run set out to check, so the run ends there; it never selects a row that no longer exists.
class CheckAllRun : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<int()> rowCount;               // rows of the list now
        std::function<QString(int row)> rowName;     // the "Channel" text of a zero-based row
        std::function<void(int row)> selectRow;      // selects a zero-based row
        std::function<void()> checkSelected;         // checkChannel(true)
        std::function<void(const QString &)> status; // first panel of the status bar
    };

    static constexpr int kTimerIntervalMs = 1000;

    explicit CheckAllRun(Hooks hooks, QObject *parent = nullptr);
    ~CheckAllRun() override;

    // Runs over the whole list and returns when the last pause is over (or the run ended early).
    // A second call while a run is under way does nothing.
    void checkAllChannels();
    void Timer1_Timer();

    // The list the run works on was reloaded or changed its rows.
    void listChanged();
    // Ends a run under way after its current step (closing the window, quitting).
    void abort();

    bool isRunning() const { return m_running; }
    bool checkDone = true;
    int checkTicks = 0;
    QTimer Timer1;

signals:
    void pauseOver();
    void finished(int rowsChecked);

private:
    bool shouldStop() const { return m_aborted || m_listChanged; }

    Hooks m_hooks;
    bool m_running = false;
    bool m_aborted = false;
    bool m_listChanged = false;
};

} // namespace mavrel
