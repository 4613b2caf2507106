#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace mavrel {

// The start window. It counts the ticks of Timer2 and, on the 75th, hands over to the main
// window exactly once.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHandOverCount = 150; // intTemp on the 75th tick
    // 75 ticks of 13 ms keep the window up for about a second.
    static constexpr int kTickMilliseconds = 13;

    explicit frmSplash(std::function<void()> loadMainWindow, QWidget *parent = nullptr);

    // Loads the window (reads "chkSplash", starts the timer) and shows it unless the setting
    // asks for it to stay invisible.
    void start();

    void Form_Load();
    void Timer2_Timer();

    bool hiddenBySetting() const { return m_hiddenBySetting; }
    QTimer *timer() const { return Timer2; }
    qint16 intTemp = 0;

private:
    std::function<void()> m_loadMainWindow;
    QLabel *Image1;
    QTimer *Timer2;
    bool m_hiddenBySetting = false;
};

} // namespace mavrel
