#pragma once

#include <functional>

namespace mavrel {

// Runs `handler` on the event loop of the calling thread when the process receives SIGTERM,
// SIGINT or SIGHUP (a session logging out, kill, Ctrl+C), so the program can close as if the user
// had closed it instead of dying half-way through a write. A later call replaces the handler.
// An empty handler gives the signals their default action back. Returns false when the signals
// could not be caught.
bool onTerminationSignals(std::function<void()> handler);

} // namespace mavrel
