#pragma once

#include "online/fetch.h"

#include <QByteArray>
#include <QObject>

namespace mavrel {

// What a report needs from the window that sends it.
struct ReportContext
{
    bool staffMode = false;   // adds the staff flag to every report
    QObject *owner = nullptr; // the sending window; see FetchOptions::owner
};

// Sends one report (favourite, rating, online, offline) to the catalogue server and waits for
// the reply, which is ignored; a lost report is not noticed. The result only tells whether the
// owner survived the wait.
FetchResult sendData(const QByteArray &strItem, const QByteArray &strType,
                     const QByteArray &strValue, const ReportContext &context);

} // namespace mavrel
