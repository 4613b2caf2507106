#pragma once

#include "catalogue/catalogueview.h"
#include "mainwindow/channelcheck.h"
#include "online/reports.h"

#include <functional>

namespace mavrel {

class PlayerArea;

// What every panel of the main window shares: the message table, the status line, the staff
// state for reports, the one counter of "play this" requests and the player area.
struct PanelContext
{
    MessageLookup messages;
    std::function<void(const QString &text)> status; // the status bar's first panel
    std::function<ReportContext()> reportContext;
    PlayRequests *playRequests = nullptr;
    PlayerArea *player = nullptr;
};

} // namespace mavrel
