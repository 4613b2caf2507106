#include "mainwindow/ui/guidedaywindow.h"

#include "online/guideclient.h"
#include "platform/bytetext.h"
#include "platform/widgets/named.h"

#include <QListWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

GuideDayWindow::GuideDayWindow(GuideClient &guide, const QByteArray &guideId,
                               const QString &channelName, QDate day, const QTimeZone &zone,
                               const MessageLookup &messages, QWidget *parent)
    : QDialog(parent), m_zone(zone)
{
    setObjectName(u"frmGuideDay"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    const QString title = messages(u"MSG_GUIDEDAY"_s).arg(channelName, QLocale().toString(day));
    setWindowTitle(title);
    setAccessibleName(title);
    lstGuideDay = named(new QListWidget(this), u"lstGuideDay"_s, title);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lstGuideDay);
    resize(420, 480);
    // The local day, midnight to midnight at the offset it starts with.
    const int offset = zone.offsetFromUtc(QDateTime(day, QTime(0, 0), zone)) / 60;
    connect(&guide, &GuideClient::dayArrived, this,
            [this, guideId, day](const QByteArray &id, QDate date,
                                 const QList<GuideProgramme> &programmes) {
                if (id == guideId && date == day)
                    fill(programmes);
            });
    guide.fetchDay(guideId, day, offset);
}

GuideDayWindow *GuideDayWindow::open(GuideClient &guide, const QByteArray &guideId,
                                     const QString &channelName, const QTimeZone &zone,
                                     const MessageLookup &messages, QWidget *parent)
{
    const QDate today = guide.now().toTimeZone(zone).date();
    auto *window = new GuideDayWindow(guide, guideId, channelName, today, zone, messages, parent);
    window->show();
    return window;
}

void GuideDayWindow::fill(const QList<GuideProgramme> &day)
{
    lstGuideDay->clear();
    for (const GuideProgramme &programme : day) {
        auto *item = new QListWidgetItem(programmeLine(programme, m_zone), lstGuideDay);
        if (!programme.description.isEmpty())
            item->setToolTip(plainToolTip(programme.description));
    }
}

} // namespace mavrel
