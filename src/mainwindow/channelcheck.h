#pragma once

#include "online/fetchlimits.h"

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace mavrel {

// What a channel check does with the page its address answered with.
enum class CheckReport
{
    None,
    Online,
    Offline,
};

struct CheckDecision
{
    bool play = false;        // hand the address to the player
    bool showOffline = false; // show the offline picture
    CheckReport report = CheckReport::None;
};

// Windows Media files are played without a look at the address first: the fetch would only
// download the file. Anywhere in the address, any letter case.
bool skipsCheckFetch(QByteArrayView address);

// The empty page (nothing could be fetched, or nothing was) plays without a report; a text reply
// with an error marker marks the channel dead; any other reply (a stream's bytes included, marker
// or not) plays and reports it online. `contentType` is the reply's Content-Type, empty if none.
CheckDecision decideCheck(QByteArrayView page, QByteArrayView contentType, bool checkOnly);

// How much of an address a check reads. Error pages are small, so the first 32 KiB decide;
// a live stream, which never ends, must not hold the click up for long.
FetchLimits checkFetchLimits();

// The "play this" requests of one window (a channel, a favourite, a file, a video). Checks wait
// for the network with the event loop running, so an older one can end after a newer choice;
// only the newest request may then play, show the offline picture or report.
class PlayRequests
{
public:
    quint64 begin() { return ++m_newest; }
    quint64 newest() const { return m_newest; }
    bool isNewest(quint64 request) const { return request == m_newest; }

private:
    quint64 m_newest = 0;
};

// "Checking 2 of 3 - Name" (one-based position).
QString checkingStatusText(int position, int rowCount, const QString &name);

// The report type sent for a check result ("ONLINE", "OFFLINE"); empty for None.
QByteArray reportType(CheckReport report);

} // namespace mavrel
