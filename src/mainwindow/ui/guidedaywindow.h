#pragma once

#include "catalogue/catalogueview.h"
#include "online/guidepages.h"

#include <QByteArray>
#include <QDate>
#include <QDialog>
#include <QTimeZone>

class QListWidget;

namespace mavrel {

class GuideClient;

// One channel's programmes of a day, in the user's time zone: a plain list, each programme's
// description as its tooltip. It fills when the day page arrives; without it the list stays
// empty.
class GuideDayWindow : public QDialog
{
    Q_OBJECT
public:
    GuideDayWindow(GuideClient &guide, const QByteArray &guideId, const QString &channelName,
                   QDate day, const QTimeZone &zone, const MessageLookup &messages,
                   QWidget *parent);

    QListWidget *list() const { return lstGuideDay; }

    // Opens the window for today in the user's time zone.
    static GuideDayWindow *open(GuideClient &guide, const QByteArray &guideId,
                                const QString &channelName, const QTimeZone &zone,
                                const MessageLookup &messages, QWidget *parent);

private:
    void fill(const QList<GuideProgramme> &day);

    QListWidget *lstGuideDay;
    QTimeZone m_zone;
};

} // namespace mavrel
