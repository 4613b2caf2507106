#include "branding/ui/frmsplash.h"

#include "branding/branding.h"
#include "branding/ui/artwork.h"
#include "branding/ui/windowicon.h"
#include "platform/settings.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

frmSplash::frmSplash(std::function<void()> loadMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_loadMainWindow(std::move(loadMainWindow)), Image1(new QLabel(this)),
      Timer2(new QTimer(this))
{
    setObjectName(u"frmSplash"_s);
    Image1->setObjectName(u"Image1"_s);
    Timer2->setObjectName(u"Timer2"_s);
    setWindowTitle(branding().productName);
    mavrel::setWindowIcon(this, u"AAA"_s, false);

    const QPixmap picture = splashPicture();
    Image1->setPixmap(picture);
    const QSize size = picture.deviceIndependentSize().toSize();
    Image1->setGeometry(0, 0, size.width(), size.height());
    setFixedSize(size);

    auto *caption = new QLabel(this);
    caption->setObjectName(u"lblVersion"_s);
    caption->setTextFormat(Qt::PlainText);
    caption->setText(u"Version %1.%2  \u00b7  %3"_s.arg(branding().versionMajor)
                         .arg(branding().versionMinor)
                         .arg(branding().companyName));
    caption->setStyleSheet(u"color: #a9c6ef;"_s);
    caption->setGeometry(40, size.height() - 46, size.width() - 80, 24);

    Timer2->setTimerType(Qt::PreciseTimer);
    Timer2->setInterval(kTickMilliseconds);
    connect(Timer2, &QTimer::timeout, this, &frmSplash::Timer2_Timer);
}

void frmSplash::Form_Load()
{
    // A store that cannot be read counts as "0": the window is shown.
    m_hiddenBySetting = readSetting(SettingKey::MachineChkSplash) == u"1"_s;
    Timer2->start();
}

void frmSplash::start()
{
    Form_Load();
    if (m_hiddenBySetting)
        return;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void frmSplash::Timer2_Timer()
{
    intTemp = qint16(intTemp + 2);
    if (intTemp != kHandOverCount)
        return;
    // Stopped first: loading the main window may run the event loop.
    Timer2->stop();
    if (m_loadMainWindow)
        m_loadMainWindow();
    hide();
}

} // namespace mavrel
