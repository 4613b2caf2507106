#pragma once

#include "server/app/options.h"
#include "server/store/cataloguestore.h"

#include <QString>

#include <optional>

namespace mavrel::server::app {

// The listening socket systemd passes to a socket-activated service: descriptor 3 when
// LISTEN_PID names this process and LISTEN_FDS is 1, none when no socket is meant for this
// process. The variables are removed either way, so that nothing started from here takes them
// for its own.
using PassedSocket = Result<std::optional<int>>;
PassedSocket takePassedSocket();

// The commands; each returns the process's exit code. serve fails on a passed socket that
// could not be taken.
int serve(const Options &o, CatalogueStore &store, const PassedSocket &passed);
int importSources(const Options &o, CatalogueStore &store);
int exportCatalogue(CatalogueStore &store);
int removeChannels(const Options &o, CatalogueStore &store);

} // namespace mavrel::server::app
