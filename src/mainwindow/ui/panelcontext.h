#pragma once

#include "catalogue/catalogueview.h"
#include "mainwindow/channelcheck.h"
#include "online/reports.h"
#include "recent/recentlist.h"

#include <functional>

namespace mavrel {

class PlayerArea;

// What every panel of the main window shares: the message table, the status line, the staff
// state for reports, the one counter of "play this" requests, the player area and the recent list.
struct PanelContext
{
    MessageLookup messages;
    std::function<void(const QString &text)> status; // the status bar's first panel
    std::function<ReportContext()> reportContext;
    PlayRequests *playRequests = nullptr;
    PlayerArea *player = nullptr;
    // Something was handed to the player: the recent list keeps it.
    std::function<void(const RecentItem &item)> played;
};

} // namespace mavrel
