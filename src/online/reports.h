#pragma once

#include "online/fetch.h"
#include "online/networkstate.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace mavrel {

// What a report needs from the window that sends it.
struct ReportContext
{
    bool staffMode = false;   // adds the staff flag to every report
    QObject *owner = nullptr; // the sending window; see FetchOptions::owner
    // Sent beside the staff flag (kStaffHeader) when not empty: the server counts the flag
    // only with a token it knows.
    QByteArray staffToken = {};
};

// The staff token in the staff-mode marker file (admin.txt): its first line without blanks;
// empty when there is none or the file cannot be read.
QByteArray readStaffToken(const QString &markerFile);

// Sends one report (favourite, rating, online, offline) to the catalogue server and waits for
// the reply, which is ignored; a lost report is not noticed. The result only tells whether the
// owner survived the wait.
FetchResult sendData(const QByteArray &strItem, const QByteArray &strType,
                     const QByteArray &strValue, const ReportContext &context);

// Why a channel is about to be reported offline.
enum class OfflineCause
{
    HostReplied,  // its host answered: an error status, an error page, media that does not decode
    NoConnection, // nothing came back: no DNS answer, no route, refused, no reply in time
};

// NoConnection when the fetch got neither a status nor a byte from the host.
OfflineCause offlineCause(const FetchResult &fetched);

// Whether an OFFLINE report for `cause` is sent at all: a failure to connect while this machine
// itself appears offline says nothing about the channel, and must not count against it.
bool offlineReportAllowed(OfflineCause cause, const NetworkState &network = networkState());

// Sends an OFFLINE report unless offlineReportAllowed() says no; returns whether it was sent.
bool sendOfflineReport(const QByteArray &strItem, const QByteArray &strValue, OfflineCause cause,
                       const ReportContext &context);

} // namespace mavrel
