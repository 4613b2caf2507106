#include "branding/ui/frmwebsite.h"

#include "branding/branding.h"
#include "platform/widgets/desktopopen.h"

#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace mavrel {

frmWebsite::frmWebsite(QWidget *parent) : QWidget(parent, Qt::Window), Timer1(new QTimer(this))
{
    setObjectName(u"frmWebsite"_s);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(kLifetimeMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &frmWebsite::Timer1_Timer);
}

QString &frmWebsite::modeWord()
{
    static QString word;
    return word;
}

QString frmWebsite::withScheme(const QString &target)
{
    if (target.contains(u"https://"_s, Qt::CaseInsensitive) ||
        target.contains(u"http://"_s, Qt::CaseInsensitive))
        return target;
    return u"http://"_s + target;
}

void frmWebsite::Form_Load()
{
    QString target;
    if (modeWord() == u"Website"_s)
        target = branding().siteName;
    if (!target.isEmpty())
        openOnDesktop(QUrl(withScheme(target), QUrl::TolerantMode));
    modeWord().clear();
    Timer1->start();
}

void frmWebsite::Timer1_Timer()
{
    Timer1->stop();
    deleteLater(); // unload
}

} // namespace mavrel
