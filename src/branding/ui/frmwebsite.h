#pragma once

#include <QString>
#include <QWidget>

class QTimer;

namespace mavrel {

// Opens the publisher's website in the user's browser, then unloads itself a second later.
// It is loaded but never shown.
class frmWebsite : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kLifetimeMilliseconds = 1000;

    explicit frmWebsite(QWidget *parent = nullptr);

    // What to open: "Website" opens the site; other words open nothing.
    static QString &modeWord();
    // The address for a target: "http://" in front unless it names http or https already.
    static QString withScheme(const QString &target);

    void Form_Load();
    void Timer1_Timer();

private:
    QTimer *Timer1;
};

} // namespace mavrel
